// Desktop navigation: the wheel zooms at the pointer, keys zoom and pan, dragging pans,
// a double-click centres, and the calculation can be stopped and continued.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <utility>

#include "app/main_window.h"
#include "app/messages.h"
#include "catalogue/fractal_types.h"

namespace app {

namespace {

constexpr double kWheelNotchFactor = 1.25;
constexpr double kKeyZoomFactor = 1.5;
// A wheel message carrying more than this (a storm the window coalesced) zooms as far
// as this many notches.
constexpr int kLargestWheelDelta = 16 * WHEEL_DELTA;
// A run of steps ends once the wheel and the keys have rested this long.
constexpr unsigned kStepRestMs = 300;
// A press moves the picture only once the pointer has gone this far.
constexpr int kPanThreshold = 2;

}  // namespace

bool MainWindow::stoppedByUser() const {
    const engine::Fractal* fractal = currentFractal();
    if (fractal == nullptr)
        return false;
    if (fractal->isRunning())
        return fractal->runState.paused.load();
    return fractal->isFinished() && !fractal->runState.completed.load();
}

void MainWindow::stepView(engine::Fractal& fractal, const view::ViewWindow& target) {
    beginSteps(fractal);
    endStep(fractal.stepViewGesture(target));
}

void MainWindow::stepView(engine::Fractal& fractal, const view::DeepView& target) {
    beginSteps(fractal);
    endStep(fractal.stepViewGesture(target));
}

void MainWindow::beginSteps(engine::Fractal& fractal) {
    if (fractal.inViewGesture())
        return;
    fractal.beginViewGesture();
    stepping_ = true;
    stepRefused_ = false;
    startFrames();
}

void MainWindow::endStep(bool accepted) {
    if (!accepted)
        stepRefused_ = true;
    // Every step puts the end of the run further off.
    window_.setTimer(kNavigationTimerId, kStepRestMs);
}

void MainWindow::finishNavigation() {
    window_.killTimer(kNavigationTimerId);
    stopFrames();
    const bool refused = std::exchange(stepRefused_, false);
    stepping_ = false;
    panButton_ = 0;
    engine::Fractal* fractal = currentFractal();
    if (fractal == nullptr || !fractal->inViewGesture())
        return;
    fractal->endViewGesture();
    // Told once for the whole run, after it: a message box in the middle of a turn of
    // the wheel would hold back the steps that follow.
    if (refused)
        showZoomRefusedMessage();
}

std::intptr_t MainWindow::onMouseWheel(std::uintptr_t wParam, std::intptr_t lParam) {
    engine::Fractal* fractal = currentFractal();
    if (fractal == nullptr || heldIsCurrent_ || dragging_ || panButton_ != 0)
        return defaultProcessing(WM_MOUSEWHEEL, wParam, lParam);
    fractal->stopSlideshow();
    const int delta = std::clamp(wheelDelta(wParam), -kLargestWheelDelta, kLargestWheelDelta);
    if (delta == 0)
        return 0;
    const platform::Point p = pointFromLParam(lParam);
    const double factor = std::pow(kWheelNotchFactor, static_cast<double>(delta) / WHEEL_DELTA);
    if (fractal->computesDeepViews())
        stepView(*fractal, fractal->preciseView().zoomedAtPixel(p.x, p.y, factor));
    else
        stepView(*fractal, fractal->view().zoomedAtPixel(p.x, p.y, factor));
    return 0;
}

void MainWindow::zoomAtCentre(engine::Fractal& fractal, double factor) {
    if (fractal.computesDeepViews()) {
        stepView(fractal, fractal.preciseView().scaledAboutCentre(factor));
        return;
    }
    const view::ViewWindow& view = fractal.view();
    stepView(fractal, view.scaledAbout(view.xcenter, view.ycenter, factor));
}

void MainWindow::panByEighths(engine::Fractal& fractal, int right, int up) {
    if (fractal.computesDeepViews()) {
        stepView(fractal, fractal.preciseView().pannedByShare(right / 8.0, up / 8.0));
        return;
    }
    const view::ViewWindow& view = fractal.view();
    stepView(fractal, view.panned(right * view.xrange / 8.0, up * view.yrange / 8.0));
}

bool MainWindow::moveThroughHistoryByKey(unsigned key, bool alt, engine::Fractal& fractal) {
    const bool back = key == VK_BACK || key == VK_BROWSER_BACK || (alt && key == VK_LEFT);
    const bool forward = key == VK_BROWSER_FORWARD || (alt && key == VK_RIGHT);
    if (!back && !forward)
        return false;
    finishNavigation();
    if (back) {
        fractal.zoomPrevious();
    } else {
        fractal.zoomNext();
    }
    return true;
}

bool MainWindow::navigateByKey(unsigned key, bool alt, engine::Fractal& fractal) {
    // Before the arrows pan: with Alt they go back and forward.
    if (moveThroughHistoryByKey(key, alt, fractal))
        return true;
    switch (key) {
        case VK_ADD:
        case VK_OEM_PLUS:
        case VK_PRIOR:
            zoomAtCentre(fractal, kKeyZoomFactor);
            return true;
        case VK_SUBTRACT:
        case VK_OEM_MINUS:
        case VK_NEXT:
            zoomAtCentre(fractal, 1.0 / kKeyZoomFactor);
            return true;
        case VK_LEFT:
            panByEighths(fractal, -1, 0);
            return true;
        case VK_RIGHT:
            panByEighths(fractal, 1, 0);
            return true;
        case VK_UP:
            panByEighths(fractal, 0, 1);
            return true;
        case VK_DOWN:
            panByEighths(fractal, 0, -1);
            return true;
        default:
            break;
    }
    // The keys that are not steps end a run of steps first.
    switch (key) {
        case VK_HOME:
            finishNavigation();
            fractal.setDefaultView();
            return true;
        case VK_ESCAPE:
            finishNavigation();
            if (endMinibrotSearch()) {
                // The search was what Escape ended; the picture goes on.
            } else if (selecting_) {
                cancelSelectMode();
            } else {
                stopCalculationByUser(fractal);
            }
            return true;
        default:
            return false;
    }
}

// ----- Panning -----

std::intptr_t MainWindow::onPanButtonDown(std::uintptr_t wParam, std::intptr_t lParam) {
    engine::Fractal* fractal = currentFractal();
    if (fractal == nullptr || heldIsCurrent_)
        return 0;
    finishNavigation();
    panButton_ = wParam;
    panAnchor_ = pointFromLParam(lParam);
    return 0;
}

bool MainWindow::panFollows(std::intptr_t lParam) {
    engine::Fractal* fractal = currentFractal();
    if (fractal == nullptr || panButton_ == 0)
        return false;
    const platform::Point p = pointFromLParam(lParam);
    const int dx = p.x - panAnchor_.x;
    const int dy = p.y - panAnchor_.y;
    if (!fractal->inViewGesture()) {
        if (std::abs(dx) < kPanThreshold && std::abs(dy) < kPanThreshold)
            return true;
        fractal->beginViewGesture();
        startFrames();
    }
    // The plane point pressed on follows the pointer: whole pixels of the view pressed on.
    if (fractal->computesDeepViews()) {
        fractal->stepViewGesture(fractal->preciseGestureBase().pannedByPixels(-dx, -dy));
        return true;
    }
    const view::ViewWindow& base = fractal->gestureBase();
    fractal->stepViewGesture(base.panned(-dx * base.xscale, dy * base.yscale));
    return true;
}

std::intptr_t MainWindow::onPanButtonUp(std::uintptr_t, std::intptr_t lParam) {
    if (panButton_ == 0)
        return 0;
    panFollows(lParam);
    finishNavigation();
    return 0;
}

std::intptr_t MainWindow::onDoubleClick(std::uintptr_t wParam, std::intptr_t lParam) {
    engine::Fractal* fractal = currentFractal();
    if (fractal == nullptr || heldIsCurrent_)
        return defaultProcessing(WM_LBUTTONDBLCLK, wParam, lParam);
    if (selecting_)
        return onStylusDown(wParam, lParam);  // the second press of the selection
    fractal->stopSlideshow();
    finishNavigation();
    const platform::Point p = pointFromLParam(lParam);
    const view::ViewWindow view = fractal->view();
    const double dx = view.planeX(p.x) - view.xcenter;
    const double dy = view.planeY(p.y) - view.ycenter;
    fractal->beginViewGesture();
    const bool moved =
        fractal->computesDeepViews()
            ? fractal->stepViewGesture(fractal->preciseGestureBase().centredOnPixel(p.x, p.y))
            : fractal->stepViewGesture(view.panned(dx, dy));
    if (!moved)
        stepRefused_ = true;
    finishNavigation();
    return 0;
}

// ----- Stop and continue -----

void MainWindow::stopCalculationByUser(engine::Fractal& fractal) {
    if (!fractal.isRunning())
        return;
    // An orbit waits where it is, so that Continue goes on with the same orbit; an
    // escape-time picture stops and keeps what it has drawn.
    if (catalogue::isOrbitType(fractal.type)) {
        fractal.pauseCalculation();
    } else {
        fractal.haltWorker();
    }
}

void MainWindow::continueCalculation(engine::Fractal& fractal) {
    if (fractal.isRunning()) {
        fractal.resumeCalculation();
    } else if (!fractal.runState.completed.load()) {
        fractal.startCalculation();
    }
}

}  // namespace app
