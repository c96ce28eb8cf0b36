// Zooming: every change of the view stops the run, records the old view in the
// history and, with "Animated Zoom" on, shows the transition, then starts again.
// A zoom beyond the depth double precision resolves changes nothing at all (the
// window tells the user before it gets here).
#include <cmath>
#include <utility>

#include "engine/fractal.h"

namespace engine {

namespace {

// The rectangle of `inner` in the pixels of `outer`, by the plane-to-pixel rule.
// False when a corner does not fit a pixel coordinate.
bool viewInPixelsOf(const ViewWindow& inner, const ViewWindow& outer, platform::Rect& rect) {
    return truncToInt((inner.xmin - outer.xmin) * outer.xpix, rect.left) &&
           truncToInt(outer.maxY - (inner.ymax - outer.ymin) * outer.ypix, rect.top) &&
           truncToInt((inner.xmax - outer.xmin) * outer.xpix, rect.right) &&
           truncToInt(outer.maxY - (inner.ymin - outer.ymin) * outer.ypix, rect.bottom);
}

bool liesInside(const ViewWindow& inner, const ViewWindow& outer) {
    return inner.xmin >= outer.xmin && inner.xmax <= outer.xmax && inner.ymin >= outer.ymin &&
           inner.ymax <= outer.ymax;
}

}  // namespace

void Fractal::scaleView(double factor) {
    const ViewWindow target = view_.scaledAbout(view_.xcenter, view_.ycenter, factor);
    if (zoomsTooDeep(view_, target))
        return;
    restartWith([&] {
        pushView();
        view_ = target;
    });
}

void Fractal::scaleViewAt(double x, double y, double factor) {
    const ViewWindow target = view_.scaledAbout(x, y, factor);
    if (zoomsTooDeep(view_, target))
        return;
    restartWith([&] {
        pushView();
        view_ = target;
    });
}

void Fractal::zoomByFactor(double factor) {
    if (factor == 1.0)
        return;
    const ViewWindow target = view_.scaledAbout(view_.xcenter, view_.ycenter, factor);
    if (zoomsTooDeep(view_, target))
        return;
    if (!animZoom) {
        scaleView(factor);
        return;
    }
    restartWith([&] {
        if (factor > 0.0)
            animateZoomByFactor(factor);
        pushView();
        view_ = target;
    });
}

void Fractal::animateZoomByFactor(double factor) {
    // Zooming out, the whole picture shrinks into this rectangle; zooming in, this
    // part of the picture grows to fill the window.
    const double share = factor > 1.0 ? 1.0 / factor : factor;
    const double cx = width * 0.5;
    const double cy = height * 0.5;
    const double hw = width * share * 0.5;
    const double hh = height * share * 0.5;
    platform::Rect rect;
    if (truncToInt(cx - hw + 0.5, rect.left) && truncToInt(cy - hh + 0.5, rect.top) &&
        truncToInt(hw + cx + 0.5, rect.right) && truncToInt(hh + cy + 0.5, rect.bottom)) {
        animateZoom(rect, factor > 1.0, false);
    }
}

void Fractal::zoomToRect(double x1, double y1, double x2, double y2, bool zoomIn) {
    if (zoomsTooDeep(view_, view_.withRect(x1, y1, x2, y2)))
        return;
    restartWith([&] {
        if (animZoom)
            animateZoomToRect(x1, y1, x2, y2, zoomIn);
        pushView();
        // The selection itself, not the fitted corners: setRect widens it the same
        // way, and so the view is exactly the same with and without the animation.
        view_.setRect(x1, y1, x2, y2);
    });
}

void Fractal::animateZoomToRect(double x1, double y1, double x2, double y2, bool zoomIn) {
    if (x1 > x2)
        std::swap(x1, x2);
    if (y1 > y2)
        std::swap(y1, y2);
    view_.fitToAspect(x1, y1, x2, y2);
    platform::Rect rect;
    if (truncToInt((x1 - view_.xmin) * view_.xpix, rect.left) &&
        truncToInt(view_.maxY - (y2 - view_.ymin) * view_.ypix, rect.top) &&
        truncToInt((x2 - view_.xmin) * view_.xpix, rect.right) &&
        truncToInt(view_.maxY - (y1 - view_.ymin) * view_.ypix, rect.bottom)) {
        animateZoom(rect, zoomIn, false);
    }
}

void Fractal::beginViewGesture() {
    if (gestureBase_)
        return;
    // Nothing is saved here: the view reached is stored by the next stop that stores.
    stopSlideshow();
    haltWorker();
    pushView();
    gestureBase_ = view_;
    if (!scratch.empty())
        scratch.copyFrom(picture, 0, 0, width, height, 0, 0);
}

bool Fractal::stepViewGesture(const ViewWindow& target) {
    if (!gestureBase_ || zoomsTooDeep(view_, target))
        return false;
    view_ = target;
    showGestureFrame();
    return true;
}

void Fractal::showGestureFrame() {
    // Where the picture the gesture started from lies in the pixels of the view
    // reached; a frame that no pixel coordinate can hold is not shown.
    const ViewWindow& base = *gestureBase_;
    const double left = std::floor((base.xmin - view_.xmin) * view_.xpix + 0.5);
    const double top = std::floor((view_.ymax - base.ymax) * view_.ypix + 0.5);
    const double right = std::floor((base.xmax - view_.xmin) * view_.xpix + 0.5);
    const double bottom = std::floor((view_.ymax - base.ymin) * view_.ypix + 0.5);
    int x = 0, y = 0, w = 0, h = 0;
    if (scratch.empty() || !truncToInt(left, x) || !truncToInt(top, y) ||
        !truncToInt(right - left, w) || !truncToInt(bottom - top, h)) {
        return;
    }
    picture.whiteness(0, 0, width, height);
    picture.stretchFrom(scratch, x, y, w, h, 0, 0, width, height);
    windowDC.copyFrom(picture, 0, 0, width, height, 0, 0);
    window.markDirty();
}

void Fractal::endViewGesture() {
    if (!gestureBase_)
        return;
    if (ViewWindow::sameView(*gestureBase_, view_))
        popView();
    gestureBase_.reset();
    startCalculation();
}

void Fractal::zoomPrevious() {
    if (history.count() == 0)
        return;
    restartWith([&] {
        const ViewWindow old = view_;
        popView();
        if (animZoom && !ViewWindow::sameView(old, view_))
            animateZoomBetween(old, view_);
    });
}

void Fractal::animateZoomBetween(const ViewWindow& from, const ViewWindow& to) {
    const bool zoomIn = liesInside(to, from);
    platform::Rect rect;
    const bool fits = zoomIn ? viewInPixelsOf(to, from, rect) : viewInPixelsOf(from, to, rect);
    if (fits)
        animateZoom(rect, zoomIn, false);
}

}  // namespace engine
