#include "app/main_window.h"
#include "catalogue/fractal_types.h"

#include <cstdlib>
#include <utility>

#include "app/display_power.h"
#include "app/help.h"
#include "app/messages.h"
#include "app/status_line.h"
#include "catalogue/factory.h"
#include "platform/clock.h"
#include "platform/string_table.h"

namespace app {

namespace {

// A selection must span at least this many pixels in both directions.
constexpr int kMinimumSelection = 5;

// The status line while a minibrot is searched for.
constexpr char kSearchingText[] = "Searching for a minibrot\u2026 (Esc stops)";

engine::FractalType typeFromParam(std::uintptr_t wParam) {
    // The type travels as a 32-bit signed value (a stored -1 arrives as 0xFFFFFFFF).
    return static_cast<engine::FractalType>(static_cast<std::uint32_t>(wParam & 0xFFFFFFFFu));
}

}  // namespace

MainWindow::MainWindow(platform::Window& window, platform::SettingsStore& settings,
                       platform::Sound& sound, Shell& shell)
    : window_(window),
      store_(settings),
      sound_(sound),
      shell_(shell),
      settings_(settings),
      shippedPaletteFolder_(shippedPaletteFolder()),
      shippedPalettes_(listShippedPalettes(shippedPaletteFolder_)) {}

MainWindow::~MainWindow() {
    endOpen();
    endExport();
    destroyFractals();
}

void MainWindow::start() {
    std::uint32_t stored = 0;
    settings_.readDword("Fractal", stored);  // a first start has none: 0 makes a Mandelbrot
    window_.postMessage(WM_NEWFRACTAL, stored, 0);
}

engine::Fractal* MainWindow::currentFractal() const {
    if (currentFractal_)
        return currentFractal_.get();
    return heldIsCurrent_ ? heldFractal_.get() : nullptr;
}

namespace {

// Whether the message ends a run of wheel or key steps, or a pan, before it is handled.
bool endsNavigation(unsigned message) {
    switch (message) {
        case WM_DESTROY:
        case WM_SIZE:
        case WM_ACTIVATE:
        case WM_CLOSE:
        case WM_HELP:
        case WM_COMMAND:
        case WM_NEWFRACTAL:
            return true;
        default:
            return false;
    }
}

}  // namespace

std::intptr_t MainWindow::windowProc(unsigned message, std::uintptr_t wParam,
                                     std::intptr_t lParam) {
    const std::intptr_t result = handleMessage(message, wParam, lParam);
    // Painting never changes what is shown.
    if (message != WM_PAINT)
        followTitle();
    return result;
}

void MainWindow::followTitle() {
    const engine::Fractal* fractal = currentFractal_.get();
    if (!titledFile_ || fractal == nullptr || heldIsCurrent_)
        return;
    const bool shows = fractal->parameterString() == titledFile_->parameters;
    if (shows == titledFile_->named)
        return;
    titledFile_->named = shows;
    window_.setTitleSubject(shows ? titledFile_->name : fractal->typeName);
}

std::intptr_t MainWindow::handleMessage(unsigned message, std::uintptr_t wParam,
                                        std::intptr_t lParam) {
    if (navigating() && endsNavigation(message))
        finishNavigation();
    switch (message) {
        case WM_CREATE:
            return 0;
        case WM_DESTROY:
            return onDestroy();
        case WM_EXPORTDONE:
            return onExportDone();
        case WM_OPENDONE:
            return onOpenDone();
        case WM_MINIBROTDONE:
            return onMinibrotDone();
        case WM_SIZE:
            return onSize(wParam, lParam);
        case WM_ACTIVATE:
            return onActivate(wParam, lParam);
        case WM_PAINT:
            return onPaint(wParam, lParam);
        case WM_CLOSE:
            if (wParam != kCloseNow && !mayCloseDuringExport())
                return 0;
            return onClose();
        case WM_SETTINGCHANGE:
            return 0;
        case WM_HELP:
            showHelp(shell_, kHelpContents);
            return 1;
        case WM_KEYDOWN:
            return onKeyDown(wParam, lParam);
        case WM_KEYUP:
            return onKeyUp(wParam, lParam);
        case WM_COMMAND:
            return onCommand(wParam, lParam);
        case WM_TIMER:
            return onTimer(wParam, lParam);
        case WM_MOUSEMOVE:
            return onStylusMove(wParam, lParam);
        case WM_LBUTTONDOWN:
            return onStylusDown(wParam, lParam);
        case WM_LBUTTONUP:
            return onStylusUp(wParam, lParam);
        case WM_LBUTTONDBLCLK:
            return onDoubleClick(wParam, lParam);
        case WM_MBUTTONDOWN:
            return onPanButtonDown(MK_MBUTTON, lParam);
        case WM_MBUTTONUP:
            return onPanButtonUp(wParam, lParam);
        case WM_RBUTTONDOWN:
            return onRightButtonDown(wParam, lParam);
        case WM_RBUTTONUP:
            return onRightButtonUp();
        case WM_MOUSEWHEEL:
            return onMouseWheel(wParam, lParam);
        case WM_NEWFRACTAL:
            return onNewFractal(wParam, lParam);
        default:
            return defaultProcessing(message, wParam, lParam);
    }
}

std::intptr_t MainWindow::defaultProcessing(unsigned message, std::uintptr_t wParam,
                                            std::intptr_t lParam) {
    return shell_.defaultProcessing(message, wParam, lParam);
}

std::intptr_t MainWindow::onActivate(std::uintptr_t wParam, std::intptr_t lParam) {
    if (engine::Fractal* fractal = currentFractal()) {
        if (lowWord(wParam) != WA_INACTIVE) {
            fractal->raiseWorkerPriority();
        } else {
            fractal->lowerWorkerPriority();
        }
        fractal->stopSlideshow();
        if (selecting_)
            cancelSelectMode();
        if (displayOff_)
            switchDisplayOn();
    }
    return defaultProcessing(WM_ACTIVATE, wParam, lParam);
}

std::intptr_t MainWindow::onPaint(std::uintptr_t wParam, std::intptr_t lParam) {
    const auto bits = static_cast<std::uintptr_t>(lParam);
    const platform::Rect update{static_cast<int>(lowWord(wParam)),
                                static_cast<int>(highWord(wParam)), static_cast<int>(lowWord(bits)),
                                static_cast<int>(highWord(bits))};
    const bool hasUpdate = update.right > update.left && update.bottom > update.top;
    if (engine::Fractal* fractal = currentFractal(); fractal != nullptr && hasUpdate) {
        fractal->paint(update);
    }
    return 0;
}

std::intptr_t MainWindow::onClose() {
    // The screen the program switched off is given back whichever way it ends.
    if (displayOff_)
        switchDisplayOn();
    endMinibrotSearch();
    if (engine::Fractal* fractal = currentFractal()) {
        fractal->stopCalculation();
        settings_.writeDword("Fractal", static_cast<std::uint32_t>(fractal->type));
    }
    closed_ = true;
    endExport();  // the user has agreed to cancel it, or it has ended
    currentFractal_.reset();
    heldFractal_.reset();
    heldIsCurrent_ = false;
    // Destroying the window.
    return windowProc(WM_DESTROY, 0, 0);
}

bool MainWindow::mayCloseDuringExport() {
    if (!exportJob_)
        return true;
    const Shell::Answer answer = shell_.askYesNoCancel(
        std::string(platform::loadString(platform::kStringWindowTitle)),
        "The picture is still being written to " + exportJob_->path() +
            ".\n\nFinish it before closing? Yes closes the window once it is written. No "
            "cancels it and closes now. Cancel keeps the window open.");
    if (answer == Shell::Answer::Yes)
        closeWhenExportDone_ = true;
    return answer == Shell::Answer::No;
}

std::intptr_t MainWindow::onDestroy() {
    shell_.quit(0);
    return 0;
}

std::intptr_t MainWindow::onKeyDown(std::uintptr_t wParam, std::intptr_t lParam) {
    engine::Fractal* fractal = currentFractal();
    if (fractal == nullptr)
        return defaultProcessing(WM_KEYDOWN, wParam, lParam);
    fractal->stopSlideshow();
    stopColorCycling();
    if (displayOff_) {
        // The key only wakes the display.
        switchDisplayOn();
        return 0;
    }
    if ((lParam & KF_REPEAT) != 0 && !heldIsCurrent_ && !dragging_ && panButton_ == 0 &&
        holdZoomKey(static_cast<unsigned>(wParam), *fractal)) {
        return 0;
    }
    if (!heldIsCurrent_ && !dragging_ && panButton_ == 0 &&
        navigateByKey(static_cast<unsigned>(wParam), (lParam & KF_ALTDOWN) != 0, *fractal)) {
        return 0;
    }
    if (navigating())
        finishNavigation();
    return defaultProcessing(WM_KEYDOWN, wParam, lParam);
}

std::intptr_t MainWindow::onTimer(std::uintptr_t wParam, std::intptr_t lParam) {
    if (wParam == kNavigationTimerId) {
        finishNavigation();
        return 0;
    }
    if (wParam == kColorCycleTimerId) {
        cycleColorsTick();
        return 0;
    }
    if (wParam == kFrameTimerId) {
        drawFrame();
        return 0;
    }
    if (wParam != kSlideshowTimerId)
        return defaultProcessing(WM_TIMER, wParam, lParam);
    if (engine::Fractal* fractal = currentFractal())
        fractal->slideshowTick();
    return 0;
}

std::intptr_t MainWindow::onSize(std::uintptr_t, std::intptr_t lParam) {
    const auto bits = static_cast<std::uintptr_t>(lParam);
    const int width = static_cast<int>(lowWord(bits));
    const int height = static_cast<int>(highWord(bits));
    if (width <= 0 || height <= 0)
        return 0;
    if (width == window_.surface().width() && height == window_.surface().height())
        return 0;
    if (heldIsCurrent_) {
        // An opened picture waits for its new object; resize once that exists.
        window_.postMessage(WM_SIZE, 0, lParam);
        return 0;
    }
    // The picture size is fixed for a fractal object's life: a new size takes a new
    // object, which goes on with the same centre, scale and zoom history. Sizes that
    // follow before it exists only change the size it will have.
    if (selecting_)
        cancelSelectMode();
    const bool recreate = currentFractal_ != nullptr;
    if (recreate)
        resized_ = ResizedFractal{currentFractal_->type, currentFractal_->viewToCarry()};
    destroyFractals();
    window_.resizeSurface(width, height);
    window_.surface().whiteness(0, 0, width, height);
    window_.markDirty();
    if (recreate)
        window_.postMessage(WM_NEWFRACTAL, static_cast<std::uint32_t>(resized_->type), 0);
    return 0;
}

std::intptr_t MainWindow::onNewFractal(std::uintptr_t wParam, std::intptr_t lParam) {
    const std::optional<ResizedFractal> resized = std::exchange(resized_, std::nullopt);
    const platform::Services services{window_, store_, sound_};
    engine::FractalPtr created = catalogue::createFractal(typeFromParam(wParam), services);
    if (!created)
        return 0;
    currentFractal_ = std::move(created);
    heldIsCurrent_ = false;
    if (heldFractal_ && lParam != 0) {
        currentFractal_->takeOverPicture(*heldFractal_);
        window_.invalidate(nullptr, false);
        heldFractal_.reset();
        titledFile_ = TitledFile{openedFileName_, currentFractal_->parameterString()};
        window_.setTitleSubject(openedFileName_);
    } else if (resized && resized->type == currentFractal_->type) {
        // The same picture at another size keeps its title.
        currentFractal_->startFromSettings(resized->view);
        if (titledFile_ && titledFile_->named) {
            titledFile_->parameters = currentFractal_->parameterString();
        } else {
            titledFile_.reset();
        }
    } else {
        currentFractal_->startFromSettings();
        titledFile_.reset();
        window_.setTitleSubject(currentFractal_->typeName);
    }
    applyPendingIterations(*currentFractal_);
    reportStoreProblems();
    return 0;
}

std::optional<std::string> MainWindow::passingStatus() const {
    if (minibrotJob_)
        return std::string(kSearchingText);
    if (std::string moving = motionText(); !moving.empty())
        return moving;
    return std::nullopt;
}

std::string MainWindow::statusText(std::optional<platform::Point> pointer) {
    engine::Fractal* fractal = currentFractal();
    if (fractal == nullptr)
        return {};
    if (std::optional<std::string> passing = passingStatus())
        return *passing;
    return app::statusText(statusFacts(*fractal, pointer, platform::tickCount(), stoppedByUser()));
}

std::string MainWindow::statusText(std::optional<platform::Point> pointer, int width,
                                   const std::function<int(const std::string&)>& measure) {
    engine::Fractal* fractal = currentFractal();
    if (fractal == nullptr)
        return {};
    if (std::optional<std::string> passing = passingStatus())
        return *passing;
    return app::statusText(statusFacts(*fractal, pointer, platform::tickCount(), stoppedByUser()),
                           width, measure);
}

bool MainWindow::statusSettled() const {
    const engine::Fractal* fractal = currentFractal();
    // While a minibrot is searched for the line says so, and says otherwise once it ends.
    if (minibrotJob_ || motion_.frames)
        return false;
    return fractal == nullptr || !fractal->isRunning() || fractal->runState.paused.load();
}

void MainWindow::destroyFractals() {
    endMinibrotSearch();
    if (engine::Fractal* fractal = currentFractal())
        fractal->stopCalculation();
    currentFractal_.reset();
    heldFractal_.reset();
    heldIsCurrent_ = false;
}

bool MainWindow::refuseTooDeep(const engine::Fractal& fractal, const view::ViewWindow& target) {
    if (!view::zoomsTooDeep(fractal.view(), target))
        return false;
    showTooDeepMessage();
    return true;
}

void MainWindow::showTooDeepMessage() {
    shell_.showMessage(std::string(platform::loadString(platform::kStringWindowTitle)),
                       std::string(platform::loadString(platform::kStringTooDeep)));
}

void MainWindow::showZoomRefusedMessage() {
    const engine::Fractal* fractal = currentFractal();
    if (fractal == nullptr || !fractal->computesDeepViews()) {
        showTooDeepMessage();
        return;
    }
    shell_.showMessage(std::string(platform::loadString(platform::kStringWindowTitle)),
                       std::string(platform::loadString(platform::kStringDeepestView)));
}

void MainWindow::reportStoreProblems() {
    // Once the window is closed there is nobody left to tell.
    if (closed_)
        return;
    while (std::optional<std::string> problem = store_.takeProblem()) {
        if (reportedStoreProblems_.insert(*problem).second)
            shell_.showMessage(std::string(platform::loadString(platform::kStringWindowTitle)),
                               *problem);
    }
}

void MainWindow::switchDisplayOn() {
    if (displayPowerOn(shell_))
        displayOff_ = false;
}

// ----- Stylus zoom selection -----

void MainWindow::enterSelectMode() {
    selecting_ = true;
    window_.setTitleText(std::string(platform::loadString(platform::kStringSelectArea)));
}

void MainWindow::cancelSelectMode() {
    window_.invalidate(nullptr, false);  // the next paint removes the band
    selecting_ = false;
    dragging_ = false;
    window_.restoreTitle();
}

std::intptr_t MainWindow::onStylusDown(std::uintptr_t wParam, std::intptr_t lParam) {
    engine::Fractal* fractal = currentFractal();
    if (fractal == nullptr)
        return defaultProcessing(WM_LBUTTONDOWN, wParam, lParam);
    fractal->stopSlideshow();
    if (dragging_) {
        cancelSelectMode();
        return 0;
    }
    if (navigating())
        finishNavigation();
    if (!selecting_)
        return onPanButtonDown(MK_LBUTTON, lParam);
    anchorPoint_ = dragPoint_ = pointFromLParam(lParam);
    dragging_ = true;
    fractal->drawRubberBand(anchorPoint_, dragPoint_, true);
    return 0;
}

std::intptr_t MainWindow::onStylusMove(std::uintptr_t wParam, std::intptr_t lParam) {
    if (panFollows(lParam))
        return 0;
    if (motion_.zoom != 0 && motion_.key == 0) {
        motion_.focus = pointFromLParam(lParam);  // the zoom heads for the pointer
        return 0;
    }
    engine::Fractal* fractal = currentFractal();
    if (fractal == nullptr || !selecting_ || !dragging_) {
        return defaultProcessing(WM_MOUSEMOVE, wParam, lParam);
    }
    fractal->drawRubberBand(anchorPoint_, dragPoint_, false);
    dragPoint_ = pointFromLParam(lParam);
    fractal->drawRubberBand(anchorPoint_, dragPoint_, true);
    return 0;
}

std::intptr_t MainWindow::onStylusUp(std::uintptr_t wParam, std::intptr_t lParam) {
    if (panButton_ == MK_LBUTTON)
        return onPanButtonUp(wParam, lParam);
    engine::Fractal* fractal = currentFractal();
    if (fractal == nullptr || !selecting_)
        return defaultProcessing(WM_LBUTTONUP, wParam, lParam);
    fractal->drawRubberBand(anchorPoint_, dragPoint_, false);
    dragPoint_ = pointFromLParam(lParam);
    if (std::abs(dragPoint_.x - anchorPoint_.x) < kMinimumSelection ||
        std::abs(dragPoint_.y - anchorPoint_.y) < kMinimumSelection) {
        window_.invalidate(nullptr, false);
    } else {
        if (!fractal->zoomToPixels(anchorPoint_.x, anchorPoint_.y, dragPoint_.x, dragPoint_.y,
                                   true))
            showZoomRefusedMessage();
    }
    selecting_ = false;
    dragging_ = false;
    window_.restoreTitle();
    reportStoreProblems();
    return 0;
}

}  // namespace app
