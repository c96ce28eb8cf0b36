#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include "app/bookmark_store.h"
#include "app/location.h"
#include "app/minibrot_job.h"
#include "app/picture_export.h"
#include "app/picture_open_job.h"
#include "app/shell.h"
#include "app/shipped_palettes.h"
#include "engine/fractal.h"
#include "engine/settings_key.h"
#include "platform/geometry.h"
#include "platform/services.h"

namespace app {

// The program's one window: its procedure turns every message (commands, stylus,
// keys, activation, timers, closing) into calls on the fractal shown, the dialogs
// and the desktop's services. It owns the current fractal object and, while a
// picture file is being opened, the held object that read it.
//
// Everything here runs on the user-interface thread.
class MainWindow {
  public:
    MainWindow(platform::Window& window, platform::SettingsStore& settings, platform::Sound& sound,
               Shell& shell);
    ~MainWindow();
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    // The last start-up step: posts the creation of the type stored as "Fractal".
    void start();

    std::intptr_t windowProc(unsigned message, std::uintptr_t wParam, std::intptr_t lParam);

    // The fractal shown; null before the first WM_NEWFRACTAL and between a type change
    // and the following one. While a picture is being opened it is the held object.
    engine::Fractal* currentFractal() const;
    engine::Fractal* heldFractal() const { return heldFractal_.get(); }

    bool selecting() const { return selecting_; }
    bool dragging() const { return dragging_; }
    platform::Point anchorPoint() const { return anchorPoint_; }
    platform::Point dragPoint() const { return dragPoint_; }
    bool displayOff() const { return displayOff_; }
    // The palettes that come with the program, for the Palette menu: entry i is
    // command IDM_PALETTE_FIRST + i.
    const std::vector<ShippedPalette>& shippedPalettes() const { return shippedPalettes_; }
    // The Palette menu's command of the colours shown (IDM_PALETTE_BUILT_IN for the
    // built-in ones); 0 when they come from another file, or no fractal is shown.
    unsigned currentPaletteCommand() const;
    // The export running in the background; null when none.
    ExportJob* exportJob() const { return exportJob_.get(); }
    // The picture file being read for Open; null when none.
    PictureOpenJob* openJob() const { return openJob_.get(); }
    // The search for the nearest minibrot; null when none runs.
    MinibrotJob* minibrotJob() const { return minibrotJob_.get(); }
    // Keeps the bookmarks in the file at path from now on (without a call, in memory
    // only), and reads it.
    void useBookmarkFile(const std::string& path);
    // The Locations menu's bookmarks: entry i is command IDM_BOOKMARK_FIRST + i.
    const std::vector<Bookmark>& bookmarks() const { return bookmarks_.bookmarks(); }
    // Whether the palette of the picture shown is being turned (colour cycling).
    bool cyclingColors() const { return cyclingColors_; }
    // Whether the user stopped the calculation of the picture shown (Stop).
    bool stoppedByUser() const;
    // The status bar's line; pointer is the picture pixel under the pointer, if any.
    std::string statusText(std::optional<platform::Point> pointer);
    // The same line made to fit a bar width wide, as measure measures text.
    std::string statusText(std::optional<platform::Point> pointer, int width,
                           const std::function<int(const std::string&)>& measure);
    // Whether the status line stays as it is until the next run or pointer move.
    bool statusSettled() const;

  private:
    std::intptr_t handleMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam);
    // Names the opened file in the title while the view and parameters shown are the
    // file's, and the type otherwise.
    void followTitle();
    std::intptr_t defaultProcessing(unsigned message, std::uintptr_t wParam, std::intptr_t lParam);

    std::intptr_t onActivate(std::uintptr_t wParam, std::intptr_t lParam);
    std::intptr_t onPaint(std::uintptr_t wParam, std::intptr_t lParam);
    std::intptr_t onClose();
    std::intptr_t onDestroy();
    std::intptr_t onKeyDown(std::uintptr_t wParam, std::intptr_t lParam);
    std::intptr_t onTimer(std::uintptr_t wParam, std::intptr_t lParam);
    std::intptr_t onSize(std::uintptr_t wParam, std::intptr_t lParam);
    std::intptr_t onNewFractal(std::uintptr_t wParam, std::intptr_t lParam);
    std::intptr_t onExportDone();
    std::intptr_t onOpenDone();
    std::intptr_t onMinibrotDone();

    // Stylus zoom selection.
    void enterSelectMode();
    void cancelSelectMode();
    std::intptr_t onStylusDown(std::uintptr_t wParam, std::intptr_t lParam);
    std::intptr_t onStylusMove(std::uintptr_t wParam, std::intptr_t lParam);
    std::intptr_t onStylusUp(std::uintptr_t wParam, std::intptr_t lParam);

    // Wheel, keys, panning, stop and continue (main_window_navigation.cpp).
    std::intptr_t onMouseWheel(std::uintptr_t wParam, std::intptr_t lParam);
    std::intptr_t onDoubleClick(std::uintptr_t wParam, std::intptr_t lParam);
    std::intptr_t onPanButtonDown(std::uintptr_t wParam, std::intptr_t lParam);
    std::intptr_t onPanButtonUp(std::uintptr_t wParam, std::intptr_t lParam);
    bool panFollows(std::intptr_t lParam);
    // True when the key was one of the navigation keys; alt: held with Alt.
    bool navigateByKey(unsigned key, bool alt, engine::Fractal& fractal);
    // Back and Forward through the zoom history, by key.
    bool moveThroughHistoryByKey(unsigned key, bool alt, engine::Fractal& fractal);
    // One step of a run of steps; the run ends once the wheel and keys rest.
    void stepView(engine::Fractal& fractal, const view::ViewWindow& target);
    void stepView(engine::Fractal& fractal, const view::DeepView& target);
    void beginSteps(engine::Fractal& fractal);
    void endStep(bool accepted);
    void zoomAtCentre(engine::Fractal& fractal, double factor);
    void panByEighths(engine::Fractal& fractal, int right, int up);
    // Ends a run of steps or a pan: computes the view reached.
    void finishNavigation();

    // Continuous zoom and the frames of a moving view (main_window_motion.cpp).
    std::intptr_t onRightButtonDown(std::uintptr_t wParam, std::intptr_t lParam);
    std::intptr_t onRightButtonUp();
    std::intptr_t onKeyUp(std::uintptr_t wParam, std::intptr_t lParam);
    // A zoom key repeated while held; false for any other key.
    bool holdZoomKey(unsigned key, engine::Fractal& fractal);
    void startContinuousZoom(engine::Fractal& fractal, int direction, unsigned key,
                             platform::Point focus);
    void zoomContinuously(engine::Fractal& fractal);
    // The frame timer runs from the first step of a motion to its end.
    void startFrames();
    void stopFrames();
    void drawFrame();
    // What the status bar says while the view moves; empty when it does not.
    std::string motionText() const;
    // What the status bar says in place of the view's facts while a minibrot is searched
    // for or the view moves; none otherwise.
    std::optional<std::string> passingStatus() const;
    bool navigating() const { return stepping_ || panButton_ != 0; }
    void stopCalculationByUser(engine::Fractal& fractal);
    void continueCalculation(engine::Fractal& fractal);

    // The command table (main_window_commands.cpp).
    std::intptr_t onCommand(std::uintptr_t wParam, std::intptr_t lParam);
    void runCommand(unsigned id, engine::Fractal& fractal);
    void runModalDialog(DialogId dialog, engine::Fractal& fractal);
    void chooseType(engine::Fractal& fractal);
    void showParametersDialog(engine::Fractal& fractal);
    void openPicture(engine::Fractal& fractal);
    void startSlideshow(engine::Fractal& fractal);
    void savePicture(engine::Fractal& fractal);
    void writePicture(engine::Fractal& fractal, const std::string& path, bool plain);
    void completePicture(engine::Fractal& fractal, const std::string& path);
    void showSaveProblem(const std::string& path, const std::string& problem);
    // Tells the user that an export runs already; true when one does.
    bool refuseSecondExport();
    // Whether the window may close now; asks first while an export runs.
    bool mayCloseDuringExport();
    void exportPicture(engine::Fractal& fractal);
    // Cancels an export that still runs and waits for it; its progress goes away.
    void endExport();
    void endOpen();
    // Find Nearest Minibrot: searches around the view shown on a thread of its own.
    void findMinibrot(engine::Fractal& fractal);
    // Cancels a search that still runs; true when one did.
    bool endMinibrotSearch();
    // Shows the picture read from path and makes its type and parameters current.
    void showOpenedFile(engine::Fractal& fractal, const std::string& path,
                        const persist::PictureFile& file);
    void loadPaletteFile(engine::Fractal& fractal);
    // The colours of the palette file at path from now on, stored for the next start;
    // a file that gives no colours is refused with a message and changes nothing.
    void switchPalette(engine::Fractal& fractal, const std::string& path);
    void editGradient(engine::Fractal& fractal);
    void useBuiltInPalette(engine::Fractal& fractal);
    // New colours for the picture shown: a finished escape-time picture takes them at
    // once from its kept values; any other is computed again with them.
    void changeColors(engine::Fractal& fractal, const std::function<void()>& change);
    // A command of the Palette menu; false for any other id.
    bool runPaletteCommand(unsigned id, engine::Fractal& fractal);
    void clearScreen(engine::Fractal& fractal);
    void exitProgram();
    // The colouring commands; false for any other id.
    bool runColorCommand(unsigned id, engine::Fractal& fractal);
    void startColorCycling();
    // Every key and every command ends colour cycling; the timer goes with it.
    void stopColorCycling();
    void cycleColorsTick();

    // Locations and bookmarks (main_window_locations.cpp).
    void copyLocation(engine::Fractal& fractal);
    void pasteLocation(engine::Fractal& fractal);
    // Shows the location of text through the normal change of view (the view left goes
    // into the history); the parser's reason, or why it cannot be shown, when it is
    // refused: nothing changes then.
    std::string goToLocation(engine::Fractal& fractal, const std::string& text);
    std::string goToSameType(engine::Fractal& fractal, const Location& location,
                             const view::DeepView& target);
    std::string goToOtherType(engine::Fractal& fractal, const Location& location,
                              const view::DeepView& target);
    // After a type change by a location: the limit it asked for, when the new type had
    // no parameters to carry it.
    void applyPendingIterations(engine::Fractal& fractal);
    void addBookmark(engine::Fractal& fractal);
    void renameBookmark();
    void deleteBookmark();
    // A command of the Locations menu's list; false for any other id.
    bool runBookmarkCommand(unsigned id, engine::Fractal& fractal);
    // Asks which bookmark; nullopt when there is none or the user cancels.
    std::optional<std::size_t> chooseBookmark(const std::string& caption);

    // Stops and destroys the fractal shown (and a held object), leaving none.
    void destroyFractals();
    // Tells the user when going to target would zoom beyond the depth double
    // precision resolves; true when the zoom is refused.
    bool refuseTooDeep(const engine::Fractal& fractal, const view::ViewWindow& target);
    void showTooDeepMessage();
    // Why a zoom of the view went no further: double's depth, or for a type that
    // computes deep views the narrowest view that can be stored.
    void showZoomRefusedMessage();
    // Tells the user about each new problem of the settings store (a file it cannot
    // read or write) once; the program goes on with the settings in memory.
    void reportStoreProblems();
    void switchDisplayOn();
    FileDialogRequest pictureFileDialog(FileDialogRequest::Kind kind) const;
    FileDialogRequest paletteFileDialog() const;

    platform::Window& window_;
    platform::SettingsStore& store_;
    platform::Sound& sound_;
    Shell& shell_;
    engine::SettingsKey settings_;
    std::string shippedPaletteFolder_;
    std::vector<ShippedPalette> shippedPalettes_;

    engine::FractalPtr currentFractal_;
    engine::FractalPtr heldFractal_;
    // From an Open until the factory runs, the held object is still the one shown.
    bool heldIsCurrent_ = false;
    // From a resize until the factory runs: the type and the view of the object that
    // was shown, to go on at the new size.
    struct ResizedFractal {
        engine::FractalType type;
        view::ViewState view;
    };
    std::optional<ResizedFractal> resized_;

    bool selecting_ = false;
    bool dragging_ = false;
    platform::Point anchorPoint_;
    platform::Point dragPoint_;
    bool displayOff_ = false;
    // The name of the picture file being opened, for the title.
    std::string openedFileName_;
    // The picture file opened last, with the parameter string (view and parameters) of
    // its picture, and whether the title names it now.
    struct TitledFile {
        std::string name;
        std::string parameters;
        bool named = true;
    };
    std::optional<TitledFile> titledFile_;

    // A run of wheel or key steps in progress, and whether one of its steps was refused
    // as too deep (told once, when the run ends).
    bool stepping_ = false;
    bool stepRefused_ = false;
    // A pan by dragging: the button that holds it and where it was pressed.
    std::uintptr_t panButton_ = 0;
    platform::Point panAnchor_;
    // A continuous zoom (a zoom key or the right button held) and the frame figures.
    struct Motion {
        int zoom = 0;      // +1 in, -1 out, 0 none
        unsigned key = 0;  // the zoom key held; 0: the right button
        platform::Point focus;
        std::uint32_t lastTick = 0;
        bool frames = false;  // the frame timer runs
        std::uint32_t firstFrameTick = 0;
        int framesDrawn = 0;
        double reusedShare = 0.0;
        double computedShare = 0.0;
        double framesPerSecond = 0.0;
    };
    Motion motion_;
    bool closed_ = false;
    // The export running in the background, if any.
    std::unique_ptr<ExportJob> exportJob_;
    // The picture file being read for Open, if any.
    std::unique_ptr<PictureOpenJob> openJob_;
    // The search for the nearest minibrot, if any.
    std::unique_ptr<MinibrotJob> minibrotJob_;
    // The user chose to close the window once the export has ended.
    bool closeWhenExportDone_ = false;
    std::set<std::string> reportedStoreProblems_;
    BookmarkStore bookmarks_;
    std::optional<int> pendingIterations_;
    bool cyclingColors_ = false;
};

}  // namespace app
