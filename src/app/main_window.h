#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>

#include "app/shell.h"
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

  private:
    std::intptr_t defaultProcessing(unsigned message, std::uintptr_t wParam, std::intptr_t lParam);

    std::intptr_t onActivate(std::uintptr_t wParam, std::intptr_t lParam);
    std::intptr_t onPaint(std::uintptr_t wParam, std::intptr_t lParam);
    std::intptr_t onClose();
    std::intptr_t onDestroy();
    std::intptr_t onKeyDown(std::uintptr_t wParam, std::intptr_t lParam);
    std::intptr_t onTimer(std::uintptr_t wParam, std::intptr_t lParam);
    std::intptr_t onSize(std::uintptr_t wParam, std::intptr_t lParam);
    std::intptr_t onNewFractal(std::uintptr_t wParam, std::intptr_t lParam);

    // Stylus zoom selection.
    void enterSelectMode();
    void cancelSelectMode();
    std::intptr_t onStylusDown(std::uintptr_t wParam, std::intptr_t lParam);
    std::intptr_t onStylusMove(std::uintptr_t wParam, std::intptr_t lParam);
    std::intptr_t onStylusUp(std::uintptr_t wParam, std::intptr_t lParam);

    // The command table (main_window_commands.cpp).
    std::intptr_t onCommand(std::uintptr_t wParam, std::intptr_t lParam);
    void runCommand(unsigned id, engine::Fractal& fractal);
    void runModalDialog(DialogId dialog, engine::Fractal& fractal);
    void chooseType(engine::Fractal& fractal);
    void showParametersDialog(engine::Fractal& fractal);
    void openPicture(engine::Fractal& fractal);
    void startSlideshow(engine::Fractal& fractal);
    void savePicture(engine::Fractal& fractal);
    void loadPaletteFile(engine::Fractal& fractal);
    void clearScreen(engine::Fractal& fractal);
    void exitProgram();

    // Stops and destroys the fractal shown (and a held object), leaving none.
    void destroyFractals();
    // Tells the user when going to target would zoom beyond the depth double
    // precision resolves; true when the zoom is refused.
    bool refuseTooDeep(const engine::Fractal& fractal, const engine::ViewWindow& target);
    void showTooDeepMessage();
    // Tells the user about each new problem of the settings store (a file it cannot
    // read or write) once; the program goes on with the settings in memory.
    void reportStoreProblems();
    void switchDisplayOn();
    FileDialogRequest pictureFileDialog() const;
    FileDialogRequest paletteFileDialog() const;

    platform::Window& window_;
    platform::SettingsStore& store_;
    platform::Sound& sound_;
    Shell& shell_;
    engine::SettingsKey settings_;

    engine::FractalPtr currentFractal_;
    engine::FractalPtr heldFractal_;
    // From an Open until the factory runs, the held object is still the one shown.
    bool heldIsCurrent_ = false;
    // From a resize until the factory runs: the type and the view of the object that
    // was shown, to go on at the new size.
    struct ResizedFractal {
        engine::FractalType type;
        engine::ViewState view;
    };
    std::optional<ResizedFractal> resized_;

    bool selecting_ = false;
    bool dragging_ = false;
    platform::Point anchorPoint_;
    platform::Point dragPoint_;
    bool displayOff_ = false;
    bool closed_ = false;
    std::set<std::string> reportedStoreProblems_;
};

}  // namespace app
