#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "engine/color_table.h"
#include "engine/fractal_parts.h"
#include "engine/live_frame.h"
#include "engine/options.h"
#include "engine/run_inputs.h"
#include "engine/settings_key.h"
#include "persist/picture_file.h"
#include "platform/bitmap.h"
#include "platform/clock.h"
#include "platform/geometry.h"
#include "platform/services.h"
#include "platform/thread_priority.h"
#include "platform/write_target.h"
#include "view/deep_view.h"
#include "view/view_window.h"

namespace engine {

// The type id: 1..13; 0 only before a type constructor has run.
using FractalType = std::int32_t;

constexpr FractalType kHopalong = 1;
constexpr FractalType kQuadruptwo = 2;
constexpr FractalType kThreeply = 3;
constexpr FractalType kChip = 4;
constexpr FractalType kMandelbrot = 5;
constexpr FractalType kJulia = 6;
constexpr FractalType kMartin = 7;
constexpr FractalType kHenon = 8;
constexpr FractalType kGingerbreadman = 9;
constexpr FractalType kUnity = 10;
constexpr FractalType kSpider = 11;
constexpr FractalType kManowar = 12;
constexpr FractalType kPhoenix = 13;

// Status codes of the picture file and slideshow operations.
using persist::kStatusCannotCreate;
using persist::kStatusCannotOpen;
using persist::kStatusCannotStoreParameters;
using persist::kStatusNotABitmap;
using persist::kStatusOk;

// What a save did: a status above and, when it failed, why (naming no file).
struct SaveResult {
    int status = kStatusOk;
    std::string reason;
};

// Statistics of the current or last run, read consistently by the Statistics dialog.
struct RunStatistics {
    bool running = false;
    // 64 bits: at desktop speed 32-bit counters wrap within a minute.
    std::uint64_t pointCount = 0;
    std::uint64_t iterationCount = 0;
    // The memory the run's reference orbits take (a deep view); 0 when it has none.
    std::uint64_t referenceBytes = 0;
    std::uint32_t startTick = 0;
    std::uint32_t endTick = 0;
    platform::LocalTime startTime;
    platform::LocalTime endTime;
};

// How a picture deeper than double precision was computed: the times of its reference
// orbit (0 when the last picture's served), of the approximation table and of the
// pixels, in milliseconds, and what the pixels needed.
struct DeepReport {
    double referenceMs = 0.0;
    double tableMs = 0.0;
    double pixelsMs = 0.0;
    bool referenceReused = false;
    std::uint64_t referenceBytes = 0;
    std::uint64_t tableBytes = 0;
    long interiorPixels = 0;  // found inside by their cycle before the limit
    long directPixels = 0;    // counted by direct iteration in arbitrary precision
    long exactPixels = 0;     // counted again in twice double's precision
    // Whether the run counted pixels again that way (the option exactCounts).
    bool exactCounts = false;
};

// The fractal shown: everything that belongs to one picture. Owned through
// FractalPtr, whose deleter stops the worker while the whole object still exists.
//
// Threads: the user-interface thread calls everything; the worker runs only
// calculate() and what it calls (kernels, plotPoint, fillRect, the statistics). A run
// reads the view, the colours and its family's parameters from the copy taken as it
// started (runInputs() and the family's own), so the user-interface thread may change
// them at any time: they take effect from the next run. Every change the user
// makes goes through restartWith, which stops, applies the change and starts again.
class Fractal {
  public:
    Fractal(const Fractal&) = delete;
    Fractal& operator=(const Fractal&) = delete;
    virtual ~Fractal();

    // Virtual interface, in slot order.
    virtual bool loadParameters();
    virtual bool saveParameters();
    virtual void setDefaultParameters();
    virtual int calculate() = 0;
    virtual void startCalculation();
    virtual void stopCalculation();
    virtual void pauseCalculation();
    virtual void resumeCalculation();
    // Takes the copy of what the next run computes from (the view and the colours,
    // then the family's own through the virtual prepareCalculation). startCalculation
    // calls it; so does a picture computed without a run (an export).
    void prepareRun();
    virtual void prepareCalculation();
    virtual void clearPicture();
    virtual void setDefaultView();
    virtual void zoomPrevious();
    // Forward again to the view the last zoomPrevious left; nothing after a new view.
    void zoomNext();
    virtual void scaleView(double factor);
    virtual void scaleViewAt(double x, double y, double factor);
    virtual void zoomByFactor(double factor);
    virtual void zoomToRect(double x1, double y1, double x2, double y2, bool zoomIn);
    // Writes nothing (kStatusCannotStoreParameters) when the picture could not carry
    // its parameter string whole. A pipe or a device is refused, as the window does.
    virtual int saveImage(const std::string& path);
    virtual int openImage(const std::string& path, bool animate);
    // What the window title notes about the run just started (empty: nothing).
    virtual std::string titleNote() const { return {}; }
    // The figures of the last deep picture's computation; nullopt for other pictures.
    virtual std::optional<DeepReport> deepReport() const { return std::nullopt; }
    // The second half of openImage, on a picture file the caller has already read:
    // the file's type (when it has one) and parameters, its view, its pixels.
    void showOpenedPicture(const platform::Bitmap& image, std::optional<FractalType> type,
                           const std::string& params, bool animate);

    // The creation sequence of a new object: the stored parameters, or the type's
    // defaults, then a white picture, then exactly one run. Nothing is computed or
    // drawn before the final start. With a view carried from an object of another
    // picture size, that view (same centre and scale) and its history replace the
    // stored rectangle; a view that cannot be mapped leaves the stored one.
    void startFromSettings(const std::optional<view::ViewState>& carried = std::nullopt);
    // The view and zoom history to carry to an object of another picture size. A view
    // that has not changed since it was itself carried here goes on in the form it
    // came in, so resizing back and forth never accumulates rounding.
    view::ViewState viewToCarry() const;
    // Continues the picture that previous has just read from a file.
    void takeOverPicture(Fractal& previous);

    // Run control.
    // Stops the run, applies change and starts again: the one way a change reaches
    // the picture.
    void restartWith(const std::function<void()>& change);
    void raiseWorkerPriority();
    void lowerWorkerPriority();
    // Ends a run without saving anything and waits for the worker (used before
    // destruction, while the whole object still exists).
    void haltWorker();
    RunStatistics statistics() const;
    // At most this many threads compute a picture (clamped to 1..kMostThreads), whatever
    // options().allCores says; nullopt: the cores when allCores is set, else one. From the
    // next run.
    void setThreadLimit(std::optional<int> limit);
    // The threads the current (or next) run computes with.
    int calculationThreads() const;
    // Runs work as a run's team runs it, for a picture computed without a run (an
    // export, while no worker exists): on the calling thread and calculationThreads() - 1
    // helpers; returns when every one has returned.
    void computeOnTeam(const std::function<void()>& work);
    static constexpr int kMostThreads = 256;
    bool isRunning() const noexcept { return runState.running.load(std::memory_order_acquire); }
    bool isFinished() const noexcept { return runState.finished.load(std::memory_order_acquire); }

    // Drawing surfaces. plotPoint and fillRect run on the worker thread.
    void plotPoint(int x, int y, platform::Color color) noexcept {
        windowDC.setPixel(x, y, color);
        picture.setPixel(x, y, color);
        window.markDirty();
    }
    // count pixels of row y from column x on, in both surfaces at once.
    void plotRow(int x, int y, int count, const platform::Color* colors) noexcept {
        windowDC.writeRow(x, y, count, colors);
        picture.writeRow(x, y, count, colors);
        window.markDirty();
    }
    void fillRect(const platform::Rect& rect, platform::Color color) noexcept;
    void paint(const platform::Rect& rect);
    void clearPictureBase();  // the base body of clearPicture: white picture, shown
    void drawRubberBand(platform::Point p, platform::Point q, bool draw);
    void animateZoom(const platform::Rect& rect, bool zoomIn, bool preparedPicture);
    // Blinks the selection frame around start twice before an opened picture grows out
    // of it.
    void markAnimationStart(const platform::Rect& start);

    // The view setDefaultView would show, leaving everything as it is.
    view::ViewWindow defaultView();

    // Zoom history.
    void pushView();
    void popView();

    // A view change made of many small steps (wheel notches, held keys, a drag): the
    // calculation stops at the first step and the view before it goes into the history
    // once; every step shows the picture moved and scaled at once, and the calculation
    // starts again when the gesture ends.
    void beginViewGesture();
    bool inViewGesture() const { return gestureBase_.has_value(); }
    // The view the gesture started from (the current view outside a gesture).
    const view::ViewWindow& gestureBase() const { return gestureBase_ ? *gestureBase_ : view_; }
    view::DeepView preciseGestureBase() const;
    // Moves to target and shows it; false (nothing changes) when double precision could
    // not resolve target's pixels.
    bool stepViewGesture(const view::ViewWindow& target);
    // The same for a type that computes deep views, with the target in precise form;
    // false (nothing changes) when it is no usable view or narrower than the narrowest.
    bool stepViewGesture(const view::DeepView& target);
    // While a gesture moves the view of a type that computes samples of any view, the
    // frames are drawn by advanceGestureFrame (the window calls it on its frame timer):
    // the last frame's pixels moved to their new places, then new samples computed
    // coarse to fine from focus for about budgetMs. nullopt when nothing was drawn
    // (no gesture, or a type that shows the picture moved and scaled at once instead).
    std::optional<LiveFrameFigures> advanceGestureFrame(platform::Point focus, unsigned budgetMs);
    // Whether the view moved since the last frame drawn, or that frame is not exact.
    bool gestureFrameDue() const noexcept { return liveFrame_ && liveFrameDue_; }
    // The selection: zooms to the plane rectangle between the pixels' points.
    // False when the view would be narrower than the narrowest one.
    bool zoomToPixels(int column1, int row1, int column2, int row2, bool zoomIn);
    // Starts the calculation of the view reached; a gesture that ends where it began
    // leaves no entry in the history.
    void endViewGesture();

    // Colours.
    int loadPalette();
    // Shows the colours read from the palette file at path from the next run on (only
    // between a stop and a start; the caller has stored path as the palette).
    void usePalette(const std::string& path, ColorTable&& colors);
    std::string paletteDirectory() const;
    std::string paletteFolderName() const;
    std::string paletteFileName() const;

    // Picture files.
    std::string proposeFileName(int capacity) const;
    // The view and the parameters as the one line of text stored under the type's
    // name; empty for a type without any.
    virtual std::string parameterString() const { return {}; }
    // The parameter string a picture saved now carries: the object's own, whatever the
    // settings hold. nullopt when it is longer than a picture's reader takes.
    std::optional<std::string> pictureParameters() const;
    // saveImage with the reason of a failure. streams tells whether a pipe or a device
    // at path is written into (a command-line tool) or refused (the window).
    SaveResult saveImageTo(const std::string& path, platform::StreamTargets streams);
    // The pixels only, without the type and the parameter string: for a picture that
    // does not all show them (an escape-time run that did not complete).
    SaveResult savePlainImageTo(const std::string& path, platform::StreamTargets streams);
    // The folder of a picture saved at path becomes the picture folder, stored at once.
    void rememberPictureFolder(const std::string& path);
    // Slideshow.
    int startSlideshow(const std::string& path, unsigned timerId, bool sameTypeOnly);
    int slideshowTick();
    void stopSlideshow();

    // Pseudo-random numbers 0..32767, seeded once per object from the local time.
    int nextRandom() noexcept;

    // The view the next run shows (the one under way shows runInputs().view); for a
    // deep view, its rectangle rounded to the nearest view double resolves.
    const view::ViewWindow& view() const noexcept { return view_; }
    // Changes the view of the next run; nothing is stopped, pushed or started.
    void setView(const view::ViewWindow& view) {
        view_ = view;
        deepView_.reset();
    }
    // False when the rectangle gives no usable view (the view stays as it was).
    bool setViewRect(double x1, double y1, double x2, double y2) {
        deepView_.reset();
        return view_.setRect(x1, y1, x2, y2);
    }
    // The next run's view when it is deeper than double resolves; null otherwise.
    const view::DeepView* deepView() const noexcept { return deepView_.get(); }
    // The next run's view in the form that holds any depth.
    view::DeepView preciseView() const;
    // Sets the next run's view; one that double holds becomes that view::ViewWindow.
    void setPreciseView(const view::DeepView& view);
    // Whether the type computes views deeper than double resolves (its zooms then go
    // on where double precision ends).
    virtual bool computesDeepViews() const { return false; }
    // The colours of single pixels of the next run's view, for the frames shown while a
    // gesture moves it: prepareLiveSamples readies them for the view (false: the type
    // has none), liveSamples computes spots into out. User-interface thread, no run.
    virtual bool prepareLiveSamples() { return false; }
    virtual void liveSamples(const std::vector<platform::Point>& spots, platform::Color* out);
    // The pixels the first frame of a gesture takes over: the picture's own, or the same
    // picture coloured as live samples are where the picture's colours depend on
    // neighbours that moving frames do not have.
    virtual std::vector<platform::Color> liveFramePixels() const { return picture.snapshot(); }
    // The narrowest view the zooms go to: its parameter string still fits the
    // settings and picture files.
    static constexpr double kNarrowestDeepExponent = -30000;
    // The colours of the next run.
    const ColorTable& colorTable() const noexcept { return colorTable_; }

    // The options of the next run (the worker reads them while a run goes on).
    Options options() const noexcept;
    // Stores nothing: the options reach the settings with the next stop that stores.
    void setOptions(const Options& options) noexcept;
    template <class T>
    void setOption(T Options::*field, T value) noexcept {
        Options changed = options();
        changed.*field = value;
        setOptions(changed);
    }
    // Whether a picture opened from a file is being taken over (no run starts).
    bool isTakingOver() const noexcept { return takingOver_; }

    static constexpr int kTypeNameCapacity = 80;
    static constexpr int kFileParamsCapacity = kMaxParameterUnits;
    static constexpr int kMaxSequence = 999;

    // ----- State of the object (names as the rest of the program knows them) -----
    // Owned by the user-interface thread unless marked "shared": the worker and its
    // helpers read or write those during a run.
    SettingsKey settings;
    platform::Window& window;    // shared: the worker draws into its pixels
    platform::Bitmap& windowDC;  // shared: the window's own pixels
    platform::Sound& sound;
    platform::Bitmap picture;  // shared: the persistent copy of the picture
    std::string typeName = "Unknown";
    const platform::Rect clientRect;
    const int width = 0;
    const int height = 0;
    RunState runState;  // shared
    int numColors = 0;
    view::ZoomHistory history;
    FractalType type = 0;
    OpenedPicture opened;
    Folders folders;
    AnimationSurfaces animation;
    SlideshowState slideshow;

  protected:
    explicit Fractal(const platform::Services& services);

    // Set while defaultView asks setDefaultView for its view: the types' default views
    // then only set this view.
    view::ViewWindow* defaultProbe = nullptr;

    // What the run under way (or the last one) computes from; read by the worker.
    const RunInputs& runInputs() const noexcept { return *runInputs_; }
    // Sets the view of the next run to the rectangle; the default views stop, keep the
    // old view in the history, set it and start.
    void showDefaultRect(double x1, double y1, double x2, double y2);
    void showDefaultCentredOnOrigin();

    // The worker's poll: waits while paused, then tells whether to go on.
    bool keepRunning() noexcept {
        if (runState.paused.load(std::memory_order_relaxed))
            waitWhilePaused();
        return runState.running.load(std::memory_order_relaxed);
    }
    // Statistics; only the worker writes them during a run.
    void addPoints(std::uint64_t n) noexcept {
        runState.pointCount.store(runState.pointCount.load(std::memory_order_relaxed) + n,
                                  std::memory_order_relaxed);
    }
    void addIterations(std::uint64_t n) noexcept {
        runState.iterationCount.store(runState.iterationCount.load(std::memory_order_relaxed) + n,
                                      std::memory_order_relaxed);
    }
    // The same for runs of several threads: each adds what it counted in one step.
    void addTally(std::uint64_t points, std::uint64_t iterations) noexcept {
        runState.pointCount.fetch_add(points, std::memory_order_relaxed);
        runState.iterationCount.fetch_add(iterations, std::memory_order_relaxed);
    }
    // Runs work on the worker and on calculationThreads() - 1 helper threads, which keep
    // the worker's priority; returns when every one has returned. Helper threads the
    // system refuses leave the work to fewer threads, so work must share itself out.
    void runOnTeam(const std::function<void()>& work);
    // The threads of the run under way (decided as it started).
    int teamSize() const noexcept { return runThreads_; }

  private:
    friend class TakingOverScope;
    // Writes a picture file at path through write (told whether it is a PNG file), after
    // checking the picture fits the format; the folder is remembered once it is written.
    SaveResult writePictureFile(const std::string& path, platform::StreamTargets streams,
                                const std::function<bool(std::FILE*, bool png)>& write);
    // The options as the worker reads them while the dialogs change them.
    struct OptionCells {
        std::atomic<bool> alarm{false};
        std::atomic<bool> animZoom{true};
        std::atomic<int> animZoomSleep{40};
        std::atomic<int> slideshowDelay{2000};
        std::atomic<bool> allCores{true};
        std::atomic<bool> randomColors{true};
        std::atomic<int> referenceMemoryMiB{Options::kDefaultReferenceMiB};
        std::atomic<bool> autoIterations{false};
        std::atomic<bool> exactCounts{false};
        std::atomic<int> zoomSpeedPercent{Options::kDefaultZoomSpeedPercent};
    };
    OptionCells options_;
    bool takingOver_ = false;
    static void workerMain(Fractal* fractal);
    void finishCalculation();
    void waitWhilePaused() noexcept;
    void applyWorkerPriority();
    void runOnThreads(int threads, const std::function<void()>& work);
    void allocateSurface(platform::Bitmap& surface);
    void joinFinishedWorker();
    void waitForFinished();
    void writeOptions();
    void readOptions();
    void continueView(const view::ViewState& carried);

    // Changes the next run's view to target (a deep-capable type's zoom): stops,
    // records the view, optionally animates, starts. False when target is refused.
    bool changeViewTo(const view::DeepView& target, bool animate, bool zoomIn);
    bool acceptsDeepTarget(const view::DeepView& target) const;
    // Whether target (or the view it starts from) lies beyond what double resolves.
    bool beyondDouble(const view::ViewWindow& target) const;

    // The view and the colours of the next run.
    view::ViewWindow view_;
    view::DeepViewPtr deepView_;
    view::DeepViewPtr gestureBaseDeep_;
    ColorTable colorTable_;
    // Taken by prepareRun; never changed while a worker exists.
    std::shared_ptr<const RunInputs> runInputs_;
    std::thread workerThread_;
    std::atomic<int> workerThreadId_{0};
    // The priority the window asked for last (active or inactive application).
    std::atomic<int> wantedWorkerNice_{platform::kWorkerNiceNormal};
    std::atomic<bool> workerExists_{false};
    std::optional<int> threadLimit_;
    int runThreads_ = 1;  // decided as a run starts
    std::mutex teamMutex_;
    std::vector<int> teamThreadIds_;  // the helpers of the run, for their priority
    std::mutex pauseMutex_;
    std::condition_variable pauseChanged_;
    std::mutex finishMutex_;
    std::condition_variable finishChanged_;
    mutable std::mutex timesMutex_;
    std::uint32_t startTick_ = 0;
    std::uint32_t endTick_ = 0;
    platform::LocalTime startTime_;
    platform::LocalTime endTime_;
    std::uint32_t randomState_ = 1;
    // The view this object was given at creation after a resize, as it came and as
    // it was mapped to this picture size.
    std::optional<view::ViewState> carriedFrom_;
    std::optional<view::ViewState> carriedTo_;
    std::optional<view::ViewWindow> gestureBase_;
    void showGestureFrame();
    // The frames of a gesture on a type with live samples; none otherwise.
    std::optional<LiveFrame> liveFrame_;
    bool liveFrameDue_ = false;
    // The animated zoom's frames for each kind of zoom.
    void animateZoomByFactor(double factor);
    void animateZoomToRect(double x1, double y1, double x2, double y2, bool zoomIn);
    void animateZoomBetween(const view::ViewWindow& from, const view::ViewWindow& to);
    void animateDeepZoomBetween(const view::DeepView& from, const view::DeepView& to);
    // Back or forward through the history, with the animation between the two views.
    void moveThroughHistory(bool (view::ZoomHistory::*step)(view::ViewWindow&, view::DeepViewPtr&));
};

// Holds the taking over set for its lifetime, restoring the previous value after.
class TakingOverScope {
  public:
    explicit TakingOverScope(Fractal& fractal) : fractal_(fractal), previous_(fractal.takingOver_) {
        fractal_.takingOver_ = true;
    }
    ~TakingOverScope() { fractal_.takingOver_ = previous_; }
    TakingOverScope(const TakingOverScope&) = delete;
    TakingOverScope& operator=(const TakingOverScope&) = delete;

  private:
    Fractal& fractal_;
    bool previous_;
};

// Stops the worker before destruction begins, so that no worker ever runs code of a
// part of the object that is already destroyed.
struct FractalDeleter {
    void operator()(Fractal* fractal) const {
        if (fractal == nullptr)
            return;
        fractal->haltWorker();
        delete fractal;
    }
};
using FractalPtr = std::unique_ptr<Fractal, FractalDeleter>;

}  // namespace engine
