// Zooming: every change of the view stops the run, records the old view in the
// history and, with "Animated Zoom" on, shows the transition, then starts again.
// Views double precision resolves are zoomed in double precision, exactly as they
// always were. Beyond them, a type that computes deep views zooms on in the precise
// form of the view; for any other type such a zoom changes nothing at all (the window
// tells the user before it gets here).
#include <cmath>
#include <cstdint>
#include <utility>

#include "engine/fractal.h"

namespace engine {

namespace {

// The rectangle of `inner` in the pixels of `outer`, by the plane-to-pixel rule.
// False when a corner does not fit a pixel coordinate.
bool viewInPixelsOf(const view::ViewWindow& inner, const view::ViewWindow& outer,
                    platform::Rect& rect) {
    return view::truncToInt((inner.xmin - outer.xmin) * outer.xpix, rect.left) &&
           view::truncToInt(outer.maxY - (inner.ymax - outer.ymin) * outer.ypix, rect.top) &&
           view::truncToInt((inner.xmax - outer.xmin) * outer.xpix, rect.right) &&
           view::truncToInt(outer.maxY - (inner.ymin - outer.ymin) * outer.ypix, rect.bottom);
}

bool liesInside(const view::ViewWindow& inner, const view::ViewWindow& outer) {
    return inner.xmin >= outer.xmin && inner.xmax <= outer.xmax && inner.ymin >= outer.ymin &&
           inner.ymax <= outer.ymax;
}

}  // namespace

namespace {

// log2(10): decimal exponents to binary ones.
constexpr double kBitsPerDigit = 3.321928094887362;

}  // namespace

bool Fractal::acceptsDeepTarget(const view::DeepView& target) const {
    long exponent = 0;
    target.spanX().mantissa(&exponent);
    return static_cast<double>(exponent) >= kNarrowestDeepExponent * kBitsPerDigit;
}

bool Fractal::changeViewTo(const view::DeepView& target, bool animate, bool zoomIn) {
    const view::DeepView current = preciseView();
    if (view::DeepView::same(current, target) || !acceptsDeepTarget(target))
        return false;
    restartWith([&] {
        if (animate && options_.animZoom) {
            platform::Rect rect;
            const bool fits =
                zoomIn ? current.pixelRectOf(target, rect) : target.pixelRectOf(current, rect);
            if (fits)
                animateZoom(rect, zoomIn, false);
        }
        pushView();
        setPreciseView(target);
    });
    return true;
}

bool Fractal::beyondDouble(const view::ViewWindow& target) const {
    return deepView_ || view::zoomsTooDeep(view_, target);
}

void Fractal::scaleView(double factor) {
    const view::ViewWindow target = view_.scaledAbout(view_.xcenter, view_.ycenter, factor);
    if (beyondDouble(target)) {
        if (computesDeepViews())
            changeViewTo(preciseView().scaledAboutCentre(factor), false, false);
        return;
    }
    restartWith([&] {
        pushView();
        view_ = target;
    });
}

void Fractal::scaleViewAt(double x, double y, double factor) {
    const view::ViewWindow target = view_.scaledAbout(x, y, factor);
    if (beyondDouble(target)) {
        if (computesDeepViews()) {
            const view::DeepView current = preciseView();
            const long bits = current.precision();
            changeViewTo(
                current.scaledAbout(numeric::BigFloat(bits, x), numeric::BigFloat(bits, y), factor),
                false, false);
        }
        return;
    }
    restartWith([&] {
        pushView();
        view_ = target;
    });
}

void Fractal::zoomByFactor(double factor) {
    if (factor == 1.0)
        return;
    const view::ViewWindow target = view_.scaledAbout(view_.xcenter, view_.ycenter, factor);
    if (beyondDouble(target)) {
        if (computesDeepViews())
            changeViewTo(preciseView().scaledAboutCentre(factor), factor > 0.0, factor > 1.0);
        return;
    }
    if (!options_.animZoom) {
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
    if (view::truncToInt(cx - hw + 0.5, rect.left) && view::truncToInt(cy - hh + 0.5, rect.top) &&
        view::truncToInt(hw + cx + 0.5, rect.right) &&
        view::truncToInt(hh + cy + 0.5, rect.bottom)) {
        animateZoom(rect, factor > 1.0, false);
    }
}

bool Fractal::zoomToPixels(int column1, int row1, int column2, int row2, bool zoomIn) {
    const view::ViewWindow target = view_.withRect(view_.planeX(column1), view_.planeY(row1),
                                                   view_.planeX(column2), view_.planeY(row2));
    if (computesDeepViews() && beyondDouble(target)) {
        const view::DeepView deepTarget =
            preciseView().zoomedToPixels(column1, row1, column2, row2);
        if (!acceptsDeepTarget(deepTarget))
            return false;
        changeViewTo(deepTarget, true, zoomIn);
        return true;
    }
    if (view::zoomsTooDeep(view_, target))
        return false;
    zoomToRect(view_.planeX(column1), view_.planeY(row1), view_.planeX(column2), view_.planeY(row2),
               zoomIn);
    return true;
}

void Fractal::zoomToRect(double x1, double y1, double x2, double y2, bool zoomIn) {
    if (view::zoomsTooDeep(view_, view_.withRect(x1, y1, x2, y2)))
        return;
    restartWith([&] {
        if (options_.animZoom)
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
    if (view::truncToInt((x1 - view_.xmin) * view_.xpix, rect.left) &&
        view::truncToInt(view_.maxY - (y2 - view_.ymin) * view_.ypix, rect.top) &&
        view::truncToInt((x2 - view_.xmin) * view_.xpix, rect.right) &&
        view::truncToInt(view_.maxY - (y1 - view_.ymin) * view_.ypix, rect.bottom)) {
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
    gestureBaseDeep_ = deepView_;
    if (!animation.scratch.empty())
        animation.scratch.copyFrom(picture, 0, 0, width, height, 0, 0);
    liveFrame_.reset();
    liveFrameDue_ = false;
    if (prepareLiveSamples())
        liveFrame_.emplace(preciseView(), liveFramePixels(), runState.completed.load());
}

bool Fractal::stepViewGesture(const view::ViewWindow& target) {
    if (!gestureBase_ || deepView_ || view::zoomsTooDeep(view_, target))
        return false;
    view_ = target;
    showGestureFrame();
    return true;
}

view::DeepView Fractal::preciseGestureBase() const {
    if (!gestureBase_)
        return preciseView();
    return gestureBaseDeep_ ? *gestureBaseDeep_ : view::DeepView::fromViewWindow(*gestureBase_);
}

bool Fractal::stepViewGesture(const view::DeepView& target) {
    if (!gestureBase_ || !computesDeepViews() || !acceptsDeepTarget(target))
        return false;
    if (view::DeepView::same(preciseView(), target))
        return true;
    setPreciseView(target);
    showGestureFrame();
    return true;
}

void Fractal::showGestureFrame() {
    // A type with live samples draws its frames on the window's frame timer.
    if (liveFrame_) {
        liveFrameDue_ = true;
        return;
    }
    // Where the picture the gesture started from lies in the pixels of the view
    // reached; a frame that no pixel coordinate can hold is not shown.
    int x = 0, y = 0, w = 0, h = 0;
    if (deepView_ || gestureBaseDeep_) {
        const view::DeepView base =
            gestureBaseDeep_ ? *gestureBaseDeep_ : view::DeepView::fromViewWindow(*gestureBase_);
        platform::Rect rect;
        if (animation.scratch.empty() || !preciseView().pixelRectOf(base, rect))
            return;
        // The corners fit an int each; their distance may not.
        const std::int64_t right = rect.right, left = rect.left;
        const std::int64_t bottom = rect.bottom, top = rect.top;
        if (!view::truncToInt(static_cast<double>(right - left), w) ||
            !view::truncToInt(static_cast<double>(bottom - top), h)) {
            return;
        }
        x = rect.left;
        y = rect.top;
    } else {
        const view::ViewWindow& base = *gestureBase_;
        const double left = std::floor((base.xmin - view_.xmin) * view_.xpix + 0.5);
        const double top = std::floor((view_.ymax - base.ymax) * view_.ypix + 0.5);
        const double right = std::floor((base.xmax - view_.xmin) * view_.xpix + 0.5);
        const double bottom = std::floor((view_.ymax - base.ymin) * view_.ypix + 0.5);
        if (animation.scratch.empty() || !view::truncToInt(left, x) || !view::truncToInt(top, y) ||
            !view::truncToInt(right - left, w) || !view::truncToInt(bottom - top, h)) {
            return;
        }
    }
    picture.whiteness(0, 0, width, height);
    picture.stretchFrom(animation.scratch, x, y, w, h, 0, 0, width, height);
    windowDC.copyFrom(picture, 0, 0, width, height, 0, 0);
    window.markDirty();
}

void Fractal::endViewGesture() {
    if (!gestureBase_)
        return;
    const bool moved = gestureBaseDeep_ || deepView_
                           ? !(gestureBaseDeep_ && deepView_ &&
                               view::DeepView::same(*gestureBaseDeep_, *deepView_))
                           : !view::ViewWindow::sameView(*gestureBase_, view_);
    if (!moved)
        popView();
    gestureBase_.reset();
    gestureBaseDeep_.reset();
    liveFrame_.reset();
    liveFrameDue_ = false;
    startCalculation();
}

void Fractal::zoomPrevious() {
    if (history.count() == 0)
        return;
    restartWith([&] { moveThroughHistory(&view::ZoomHistory::back); });
}

void Fractal::zoomNext() {
    if (history.forwardCount() == 0)
        return;
    restartWith([&] { moveThroughHistory(&view::ZoomHistory::forward); });
}

void Fractal::moveThroughHistory(bool (view::ZoomHistory::*step)(view::ViewWindow&,
                                                                 view::DeepViewPtr&)) {
    const view::ViewWindow old = view_;
    const view::DeepViewPtr oldDeep = deepView_;
    (history.*step)(view_, deepView_);
    if (!options_.animZoom)
        return;
    if (oldDeep || deepView_) {
        animateDeepZoomBetween(oldDeep ? *oldDeep : view::DeepView::fromViewWindow(old),
                               preciseView());
    } else if (!view::ViewWindow::sameView(old, view_)) {
        animateZoomBetween(old, view_);
    }
}

void Fractal::animateDeepZoomBetween(const view::DeepView& from, const view::DeepView& to) {
    if (view::DeepView::same(from, to))
        return;
    const bool zoomIn = compare(to.spanX(), from.spanX()) < 0;
    platform::Rect rect;
    if (zoomIn ? from.pixelRectOf(to, rect) : to.pixelRectOf(from, rect))
        animateZoom(rect, zoomIn, false);
}

void Fractal::animateZoomBetween(const view::ViewWindow& from, const view::ViewWindow& to) {
    const bool zoomIn = liesInside(to, from);
    platform::Rect rect;
    const bool fits = zoomIn ? viewInPixelsOf(to, from, rect) : viewInPixelsOf(from, to, rect);
    if (fits)
        animateZoom(rect, zoomIn, false);
}

}  // namespace engine
