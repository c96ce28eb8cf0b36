// Zooming: every change of the view is bracketed by a stop and a start, records
// the old view in the history and, with "Animated Zoom" on, shows the transition.
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
    if (zoomsTooDeep(view, view.scaledAbout(view.xcenter, view.ycenter, factor)))
        return;
    stopCalculation();
    pushView();
    view.scaleAbout(view.xcenter, view.ycenter, factor);
    startCalculation();
}

void Fractal::scaleViewAt(double x, double y, double factor) {
    if (zoomsTooDeep(view, view.scaledAbout(x, y, factor)))
        return;
    stopCalculation();
    pushView();
    view.scaleAbout(x, y, factor);
    startCalculation();
}

void Fractal::zoomByFactor(double factor) {
    if (factor == 1.0 || zoomsTooDeep(view, view.scaledAbout(view.xcenter, view.ycenter, factor)))
        return;
    if (!animZoom) {
        scaleView(factor);
        return;
    }
    stopCalculation();
    if (factor > 0.0) {
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
    pushView();
    view.scaleAbout(view.xcenter, view.ycenter, factor);
    startCalculation();
}

void Fractal::zoomToRect(double x1, double y1, double x2, double y2, bool zoomIn) {
    if (zoomsTooDeep(view, view.withRect(x1, y1, x2, y2)))
        return;
    stopCalculation();
    if (animZoom) {
        double fx1 = x1, fy1 = y1, fx2 = x2, fy2 = y2;
        if (fx1 > fx2)
            std::swap(fx1, fx2);
        if (fy1 > fy2)
            std::swap(fy1, fy2);
        view.fitToAspect(fx1, fy1, fx2, fy2);
        platform::Rect rect;
        if (truncToInt((fx1 - view.xmin) * view.xpix, rect.left) &&
            truncToInt(view.maxY - (fy2 - view.ymin) * view.ypix, rect.top) &&
            truncToInt((fx2 - view.xmin) * view.xpix, rect.right) &&
            truncToInt(view.maxY - (fy1 - view.ymin) * view.ypix, rect.bottom)) {
            animateZoom(rect, zoomIn, false);
        }
    }
    pushView();
    // The selection itself, not the fitted corners: setRect widens it the same way,
    // and so the view is exactly the same with and without the animation.
    view.setRect(x1, y1, x2, y2);
    startCalculation();
}

void Fractal::beginViewGesture() {
    if (gestureBase_)
        return;
    stopCalculation();
    pushView();
    gestureBase_ = view;
    if (!scratch.empty())
        scratch.copyFrom(picture, 0, 0, width, height, 0, 0);
}

bool Fractal::stepViewGesture(const ViewWindow& target) {
    if (!gestureBase_ || zoomsTooDeep(view, target))
        return false;
    view = target;
    showGestureFrame();
    return true;
}

void Fractal::showGestureFrame() {
    // Where the picture the gesture started from lies in the pixels of the view
    // reached; a frame that no pixel coordinate can hold is not shown.
    const ViewWindow& base = *gestureBase_;
    const double left = std::floor((base.xmin - view.xmin) * view.xpix + 0.5);
    const double top = std::floor((view.ymax - base.ymax) * view.ypix + 0.5);
    const double right = std::floor((base.xmax - view.xmin) * view.xpix + 0.5);
    const double bottom = std::floor((view.ymax - base.ymin) * view.ypix + 0.5);
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
    if (ViewWindow::sameView(*gestureBase_, view))
        popView();
    gestureBase_.reset();
    startCalculation();
}

void Fractal::zoomPrevious() {
    if (history.count() == 0)
        return;
    stopCalculation();
    const ViewWindow old = view;
    popView();
    if (animZoom && !ViewWindow::sameView(old, view)) {
        const bool zoomIn = liesInside(view, old);
        platform::Rect rect;
        const bool fits =
            zoomIn ? viewInPixelsOf(view, old, rect) : viewInPixelsOf(old, view, rect);
        if (fits)
            animateZoom(rect, zoomIn, false);
    }
    startCalculation();
}

}  // namespace engine
