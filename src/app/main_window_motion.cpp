// Continuous zoom while a zoom key or the right button is held, and the frames of a
// moving view: drawn on the frame timer while the view moves, and never at rest.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "app/main_window.h"
#include "app/messages.h"

namespace app {

namespace {

// The frame timer's period: frames follow one another as fast as they are computed.
constexpr unsigned kFramePeriodMs = 15;
// The time a frame spends computing new samples, measured on the program's clock. With
// moving the old pixels and painting a 1280 x 720 window, 30 ms keeps to 15 frames a
// second and more.
constexpr unsigned kFrameBudgetMs = 30;
// A tick that comes late (the window was busy) zooms no further than this.
constexpr std::uint32_t kLongestZoomStepMs = 200;

// +1 for a key that zooms in, -1 for one that zooms out, 0 for any other.
int zoomDirectionOf(unsigned key) {
    switch (key) {
        case VK_ADD:
        case VK_OEM_PLUS:
        case VK_PRIOR:
            return 1;
        case VK_SUBTRACT:
        case VK_OEM_MINUS:
        case VK_NEXT:
            return -1;
        default:
            return 0;
    }
}

}  // namespace

bool MainWindow::holdZoomKey(unsigned key, engine::Fractal& fractal) {
    const int direction = zoomDirectionOf(key);
    if (direction == 0)
        return false;
    if (motion_.zoom != direction || motion_.key != key) {
        const platform::Point centre{fractal.width / 2, fractal.height / 2};
        startContinuousZoom(fractal, direction, key, centre);
    }
    return true;
}

std::intptr_t MainWindow::onKeyUp(std::uintptr_t wParam, std::intptr_t) {
    if (motion_.zoom != 0 && motion_.key != 0 && motion_.key == wParam)
        finishNavigation();
    return 0;
}

std::intptr_t MainWindow::onRightButtonDown(std::uintptr_t wParam, std::intptr_t lParam) {
    engine::Fractal* fractal = currentFractal();
    if (fractal == nullptr || heldIsCurrent_ || dragging_ || panButton_ != 0 || selecting_)
        return 0;
    if (navigating())
        finishNavigation();
    const int direction = (wParam & MK_SHIFT) != 0 ? -1 : 1;
    startContinuousZoom(*fractal, direction, 0, pointFromLParam(lParam));
    return 0;
}

std::intptr_t MainWindow::onRightButtonUp() {
    if (motion_.zoom != 0 && motion_.key == 0)
        finishNavigation();
    return 0;
}

void MainWindow::startContinuousZoom(engine::Fractal& fractal, int direction, unsigned key,
                                     platform::Point focus) {
    fractal.stopSlideshow();
    beginSteps(fractal);
    startFrames();
    motion_.zoom = direction;
    motion_.key = key;
    motion_.focus = focus;
    motion_.lastTick = platform::tickCount();
    endStep(true);
}

void MainWindow::zoomContinuously(engine::Fractal& fractal) {
    const std::uint32_t now = platform::tickCount();
    const std::uint32_t elapsed = std::min(now - motion_.lastTick, kLongestZoomStepMs);
    motion_.lastTick = now;
    if (elapsed == 0)
        return;
    const double speed = fractal.options().zoomSpeedPercent / 100.0;
    const double factor = std::pow(speed, motion_.zoom * (elapsed / 1000.0));
    if (motion_.key != 0) {
        zoomAtCentre(fractal, factor);
    } else if (fractal.computesDeepViews()) {
        stepView(fractal,
                 fractal.preciseView().zoomedAtPixel(motion_.focus.x, motion_.focus.y, factor));
    } else {
        stepView(fractal, fractal.view().zoomedAtPixel(motion_.focus.x, motion_.focus.y, factor));
    }
}

void MainWindow::startFrames() {
    if (motion_.frames)
        return;
    window_.setTimer(kFrameTimerId, kFramePeriodMs);
    motion_ = Motion{};
    motion_.frames = true;
}

void MainWindow::stopFrames() {
    if (motion_.frames)
        window_.killTimer(kFrameTimerId);
    motion_.frames = false;
    motion_.zoom = 0;
    motion_.key = 0;
}

void MainWindow::drawFrame() {
    engine::Fractal* fractal = currentFractal();
    if (fractal == nullptr || !fractal->inViewGesture()) {
        stopFrames();
        return;
    }
    if (motion_.zoom != 0)
        zoomContinuously(*fractal);
    if (!fractal->gestureFrameDue())
        return;
    // A pan and the wheel refine from the centre; a held zoom from where it heads.
    const platform::Point focus = motion_.zoom != 0
                                      ? motion_.focus
                                      : platform::Point{fractal->width / 2, fractal->height / 2};
    const auto figures = fractal->advanceGestureFrame(focus, kFrameBudgetMs);
    if (!figures)
        return;
    const std::uint32_t now = platform::tickCount();
    if (motion_.framesDrawn == 0)
        motion_.firstFrameTick = now;
    ++motion_.framesDrawn;
    motion_.reusedShare = figures->reusedShare;
    motion_.computedShare = figures->pixels > 0 ? static_cast<double>(figures->computed) /
                                                      static_cast<double>(figures->pixels)
                                                : 0.0;
    const std::uint32_t span = now - motion_.firstFrameTick;
    if (motion_.framesDrawn > 1 && span > 0)
        motion_.framesPerSecond = (motion_.framesDrawn - 1) * 1000.0 / span;
}

std::string MainWindow::motionText() const {
    if (!motion_.frames || motion_.framesDrawn < 2)
        return {};
    char text[128];
    std::snprintf(text, sizeof text, "Moving | %.0f frames/s | %.0f %% reused, %.1f %% computed",
                  motion_.framesPerSecond, motion_.reusedShare * 100.0,
                  motion_.computedShare * 100.0);
    return text;
}

}  // namespace app
