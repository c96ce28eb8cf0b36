#include "view/deep_view.h"
#include "view/view_numbers.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <memory>
#include <utility>
#include <vector>

namespace view {

namespace {

// Extents whose proportions miss the picture's by less than this share are taken as
// fitted: the rounding of a fitted pair is far below it, and a pixel's worth across a
// million pixels far above.
constexpr double kFittedTolerance = 0x1p-48;

// The binary exponent e of value = m * 2^e, 0.5 <= |m| < 1; LONG_MIN for zero.
long exponentOf(const numeric::BigFloat& value) {
    if (value.isZero() || !value.isFinite())
        return LONG_MIN;
    return value.exponent();
}

// The bits the exact sum and difference of two doubles need: from above the larger
// one's top bit down to the lower of their last bits.
long exactBitsFor(double a, double b) {
    long top = LONG_MIN;
    long bottom = LONG_MAX;
    for (const double v : {a, b}) {
        if (v == 0.0 || !std::isfinite(v))
            continue;
        int e = 0;
        std::frexp(v, &e);
        top = std::max(top, static_cast<long>(e));
        bottom = std::min(bottom, std::max(static_cast<long>(e) - 53, -1074L));
    }
    if (top == LONG_MIN)
        return numeric::BigFloat::kLeastPrecision;
    return top + 1 - bottom + 1;
}

bool finitePositive(double v) {
    return std::isfinite(v) && v > 0.0;
}

// A ViewWindow with exactly these edges and the fields ViewWindow derives from them,
// without the aspect correction (the edges are fitted already).
view::ViewWindow viewFromEdges(int width, int height, double xmin, double ymin, double xmax,
                               double ymax) {
    view::ViewWindow view(true);
    view.width = width;
    view.height = height;
    view.maxY = height - 1;
    view.xmin = xmin;
    view.ymin = ymin;
    view.xmax = xmax;
    view.ymax = ymax;
    view.keepAspect = false;
    view.recompute();
    view.keepAspect = true;
    return view;
}

bool usable(const view::ViewWindow& v) {
    return std::isfinite(v.xmin) && std::isfinite(v.xmax) && std::isfinite(v.ymin) &&
           std::isfinite(v.ymax) && finitePositive(v.xrange) && finitePositive(v.yrange) &&
           finitePositive(v.xscale) && finitePositive(v.yscale) && finitePositive(v.xpix) &&
           finitePositive(v.ypix);
}

bool shallowAndResolved(const view::ViewWindow& v) {
    return usable(v) && v.resolvesPixels();
}

// The double a value rounds to, and whether it is exactly that double.
bool exactDouble(const numeric::BigFloat& value, double& result) {
    result = value.toDouble();
    return std::isfinite(result) && value == numeric::BigFloat(value.precision(), result);
}

// Widens the narrower of the two extents to the picture's proportions, unless they
// have them already up to the rounding of a fitted pair.
void fitToProportions(numeric::BigFloat& spanX, numeric::BigFloat& spanY, int width, int height) {
    const long precision = std::max(spanX.precision(), spanY.precision()) + 64;
    const numeric::BigFloat heightForWidth =
        withPrecision(spanX, precision) * static_cast<double>(height) / static_cast<double>(width);
    if (compare(heightForWidth, spanY) >= 0) {
        if (compare(heightForWidth - spanY, spanY * kFittedTolerance) > 0)
            spanY = heightForWidth;
    } else {
        const numeric::BigFloat widthForHeight = withPrecision(spanY, precision) *
                                                 static_cast<double>(width) /
                                                 static_cast<double>(height);
        if (compare(widthForHeight - spanX, spanX * kFittedTolerance) > 0)
            spanX = widthForHeight;
    }
}

}  // namespace

const numeric::BigFloat& narrowestExtent() {
    static const numeric::BigFloat narrowest =
        *numeric::BigFloat::parse(DeepView::kNarrowestExtent, 64);
    return narrowest;
}

long precisionNeeded(const numeric::BigFloat& x, const numeric::BigFloat& y,
                     const numeric::BigFloat& spacing) {
    const long spacingExponent = exponentOf(spacing);
    if (spacingExponent == LONG_MIN)
        return numeric::BigFloat::kMostPrecision + 1;
    const long magnitude = std::max({exponentOf(x), exponentOf(y), 2L});
    // Checked before numeric::precisionFor clamps it.
    if (magnitude - spacingExponent > numeric::BigFloat::kMostPrecision)
        return numeric::BigFloat::kMostPrecision + 1;
    return numeric::precisionFor(spacingExponent, magnitude);
}

DeepView::DeepView(int width, int height, numeric::BigFloat x, numeric::BigFloat y,
                   numeric::BigFloat spanX, numeric::BigFloat spanY)
    : width_(width),
      height_(height),
      centreX_(std::move(x)),
      centreY_(std::move(y)),
      spanX_(std::move(spanX)),
      spanY_(std::move(spanY)) {}

DeepView DeepView::fromViewWindow(const view::ViewWindow& view) {
    // The bits the depth needs, as for any view (the derived scales of a view not yet
    // computed are left out of it).
    const double spacing = std::min((view.xmax - view.xmin) / std::max(view.width, 1),
                                    (view.ymax - view.ymin) / std::max(view.height, 1));
    const double farX = std::max(std::fabs(view.xmin), std::fabs(view.xmax));
    const double farY = std::max(std::fabs(view.ymin), std::fabs(view.ymax));
    const long depthBits =
        finitePositive(spacing) && std::isfinite(farX) && std::isfinite(farY)
            ? std::min(precisionNeeded(numeric::BigFloat(64, farX), numeric::BigFloat(64, farY),
                                       numeric::BigFloat(64, spacing)),
                       numeric::BigFloat::kMostPrecision)
            : numeric::BigFloat::kLeastPrecision;
    // Enough bits that the centre and extents are exact: the edges come back bit for bit.
    const long precision = std::max(
        {depthBits, exactBitsFor(view.xmin, view.xmax), exactBitsFor(view.ymin, view.ymax)});
    numeric::BigFloat x(precision, view.xmin);
    x += numeric::BigFloat(precision, view.xmax);
    x *= 0.5;
    numeric::BigFloat y(precision, view.ymin);
    y += numeric::BigFloat(precision, view.ymax);
    y *= 0.5;
    numeric::BigFloat spanX(precision, view.xmax);
    spanX -= numeric::BigFloat(precision, view.xmin);
    numeric::BigFloat spanY(precision, view.ymax);
    spanY -= numeric::BigFloat(precision, view.ymin);
    DeepView exact(view.width, view.height, std::move(x), std::move(y), std::move(spanX),
                   std::move(spanY));
    if (exact.shallowView())
        return exact;
    // A view stored deeper than double resolves takes the form every deep view has.
    const std::optional<DeepView> deep =
        make(exact.centreX_, exact.centreY_, exact.spanX_, exact.spanY_, view.width, view.height);
    return deep ? *deep : exact;
}

std::optional<DeepView> DeepView::make(const numeric::BigFloat& x, const numeric::BigFloat& y,
                                       numeric::BigFloat spanX, numeric::BigFloat spanY, int width,
                                       int height) {
    if (width <= 0 || height <= 0 || !x.isFinite() || !y.isFinite() || !spanX.isFinite() ||
        !spanY.isFinite() || spanX.sign() < 0 || spanY.sign() < 0) {
        return std::nullopt;
    }
    // Fitted always, so that a view read back on a picture of the same size is exactly
    // the view written.
    fitToProportions(spanX, spanY, width, height);
    // The narrowest limit is on the longer side, so that a width the text accepts makes
    // a view on pictures of any shape.
    if (compare(spanX, narrowestExtent()) < 0 && compare(spanY, narrowestExtent()) < 0)
        return std::nullopt;
    spanX.setPrecision(kExtentPrecision);
    spanY.setPrecision(kExtentPrecision);
    const numeric::BigFloat spacing =
        smaller(spanX / static_cast<double>(width), spanY / static_cast<double>(height));
    const long precision = precisionNeeded(x, y, spacing);
    if (precision > numeric::BigFloat::kMostPrecision)
        return std::nullopt;
    DeepView view(width, height, withPrecision(x, precision), withPrecision(y, precision),
                  std::move(spanX), std::move(spanY));

    // A view double resolves is kept as exactly the ViewWindow it rounds to.
    const view::ViewWindow rounded =
        viewFromEdges(width, height, view.originX().toDouble(), view.originY().toDouble(),
                      (view.centreX_ + view.spanX_ * 0.5).toDouble(),
                      (view.centreY_ + view.spanY_ * 0.5).toDouble());
    if (shallowAndResolved(rounded))
        return fromViewWindow(rounded);
    // Too deep for double, or too large for it: only the first is a view.
    if (!std::isfinite(rounded.xmin) || !std::isfinite(rounded.xmax) ||
        !std::isfinite(rounded.ymin) || !std::isfinite(rounded.ymax) ||
        !std::isfinite(rounded.xrange) || !std::isfinite(rounded.yrange)) {
        return std::nullopt;
    }
    return view;
}

std::optional<DeepView> DeepView::fromCentre(const numeric::BigFloat& x, const numeric::BigFloat& y,
                                             const numeric::BigFloat& spanX,
                                             const numeric::BigFloat& spanY, int width,
                                             int height) {
    if (spanX.sign() <= 0 && spanY.sign() <= 0)
        return std::nullopt;
    return make(x, y, spanX, spanY, width, height);
}

std::optional<DeepView> DeepView::fromCentreAndWidth(const numeric::BigFloat& x,
                                                     const numeric::BigFloat& y,
                                                     const numeric::BigFloat& planeWidth, int width,
                                                     int height) {
    if (planeWidth.sign() <= 0 || width <= 0 || height <= 0)
        return std::nullopt;
    const numeric::BigFloat planeHeight = withPrecision(planeWidth, kExtentPrecision + 64) *
                                          static_cast<double>(height) / static_cast<double>(width);
    return make(x, y, planeWidth, planeHeight, width, height);
}

numeric::BigFloat DeepView::originX() const {
    return centreX_ - spanX_ * 0.5;
}

numeric::BigFloat DeepView::originY() const {
    return centreY_ - spanY_ * 0.5;
}

numeric::BigFloat DeepView::spacingX() const {
    return withPrecision(spanX_, precision()) / static_cast<double>(width_);
}

numeric::BigFloat DeepView::spacingY() const {
    return withPrecision(spanY_, precision()) / static_cast<double>(height_);
}

numeric::BigFloat DeepView::planeX(long column) const {
    return originX() + spacingX() * static_cast<double>(column);
}

numeric::BigFloat DeepView::planeY(long row) const {
    const double j = static_cast<double>(height_) - 2.0 - static_cast<double>(row);
    return originY() + spacingY() * j;
}

std::optional<view::ViewWindow> DeepView::shallowView() const {
    double xmin = 0.0, ymin = 0.0, xmax = 0.0, ymax = 0.0;
    const long bits = precision() + 2;
    if (!exactDouble(withPrecision(centreX_, bits) - spanX_ * 0.5, xmin) ||
        !exactDouble(withPrecision(centreX_, bits) + spanX_ * 0.5, xmax) ||
        !exactDouble(withPrecision(centreY_, bits) - spanY_ * 0.5, ymin) ||
        !exactDouble(withPrecision(centreY_, bits) + spanY_ * 0.5, ymax)) {
        return std::nullopt;
    }
    const view::ViewWindow view = viewFromEdges(width_, height_, xmin, ymin, xmax, ymax);
    if (!shallowAndResolved(view))
        return std::nullopt;
    return view;
}

view::ViewWindow DeepView::nearestShallowView() const {
    if (const auto view = shallowView())
        return *view;
    const double x = centreX_.toDouble();
    const double y = centreY_.toDouble();
    // The picture's proportions from the start: a rectangle that has them is set
    // again unchanged, so an older reader opens exactly this view. Below double's
    // normal range the search starts at its smallest normal number.
    double halfWidth = (spanX_ * 0.5).toDouble();
    if (!(halfWidth >= std::numeric_limits<double>::min()))
        halfWidth = std::numeric_limits<double>::min() * width_;
    double halfHeight = halfWidth * height_ / width_;
    // Each doubling widens the view; a few thousand reach any double's spacing.
    for (int i = 0; i < 4200; ++i) {
        const view::ViewWindow raw = viewFromEdges(width_, height_, x - halfWidth, y - halfHeight,
                                                   x + halfWidth, y + halfHeight);
        if (shallowAndResolved(raw)) {
            // As setRect leaves it, which is what a reader of the rectangle gets.
            view::ViewWindow view(true);
            view.setScreenSize(width_, height_);
            view.setRect(raw.xmin, raw.ymin, raw.xmax, raw.ymax);
            if (shallowAndResolved(view))
                return view;
        }
        if (!std::isfinite(halfWidth) || !std::isfinite(halfHeight))
            break;
        halfWidth *= 2.0;
        halfHeight *= 2.0;
    }
    view::ViewWindow fallback(true);
    fallback.setScreenSize(width_, height_);
    fallback.centreOnOrigin();
    return fallback;
}

bool DeepView::pixelRectOf(const DeepView& inner, platform::Rect& rect) const {
    const auto outerView = shallowView();
    const auto innerView = inner.shallowView();
    double left = 0.0, top = 0.0, right = 0.0, bottom = 0.0;
    const double maxY = static_cast<double>(height_ - 1);
    if (outerView && innerView) {
        left = (innerView->xmin - outerView->xmin) * outerView->xpix;
        top = maxY - (innerView->ymax - outerView->ymin) * outerView->ypix;
        right = (innerView->xmax - outerView->xmin) * outerView->xpix;
        bottom = maxY - (innerView->ymin - outerView->ymin) * outerView->ypix;
    } else {
        // The differences are small numbers even when the coordinates are deep.
        const numeric::BigFloat x0 = originX();
        const numeric::BigFloat y0 = originY();
        const numeric::BigFloat dx = spacingX();
        const numeric::BigFloat dy = spacingY();
        const numeric::BigFloat innerX0 = inner.originX();
        const numeric::BigFloat innerY0 = inner.originY();
        left = ((innerX0 - x0) / dx).toDouble();
        right = ((innerX0 + inner.spanX_ - x0) / dx).toDouble();
        top = maxY - ((innerY0 + inner.spanY_ - y0) / dy).toDouble();
        bottom = maxY - ((innerY0 - y0) / dy).toDouble();
    }
    platform::Rect result;
    if (!view::truncToInt(left, result.left) || !view::truncToInt(top, result.top) ||
        !view::truncToInt(right, result.right) || !view::truncToInt(bottom, result.bottom)) {
        return false;
    }
    rect = result;
    return true;
}

namespace {

long workingPrecision(const DeepView& view, double factor) {
    // Room for the new depth: log2 of the factor, and some to spare.
    const double extra = factor > 1.0 ? std::ceil(std::log2(factor)) : 0.0;
    return std::min(view.precision() + 64 + static_cast<long>(std::min(extra, 1e6)),
                    numeric::BigFloat::kMostPrecision + 64);
}

bool usableFactor(double factor) {
    return std::isfinite(factor) && factor > 0.0;
}

}  // namespace

DeepView DeepView::withPlaneRect(const numeric::BigFloat& x1, const numeric::BigFloat& y1,
                                 const numeric::BigFloat& x2, const numeric::BigFloat& y2) const {
    double a = 0.0, b = 0.0, c = 0.0, d = 0.0;
    if (const auto view = shallowView(); view && exactDouble(x1, a) && exactDouble(y1, b) &&
                                         exactDouble(x2, c) && exactDouble(y2, d)) {
        const view::ViewWindow result = view->withRect(a, b, c, d);
        if (result.resolvesPixels())
            return fromViewWindow(result);
    }
    return preciseRect(x1, y1, x2, y2);
}

DeepView DeepView::preciseRect(const numeric::BigFloat& x1, const numeric::BigFloat& y1,
                               const numeric::BigFloat& x2, const numeric::BigFloat& y2) const {
    const long bits =
        std::max({x1.precision(), y1.precision(), x2.precision(), y2.precision(), precision()}) + 2;
    const bool xOrdered = compare(x1, x2) <= 0;
    const bool yOrdered = compare(y1, y2) <= 0;
    const numeric::BigFloat& left = xOrdered ? x1 : x2;
    const numeric::BigFloat& right = xOrdered ? x2 : x1;
    const numeric::BigFloat& bottom = yOrdered ? y1 : y2;
    const numeric::BigFloat& top = yOrdered ? y2 : y1;
    const numeric::BigFloat spanX = withPrecision(right, bits) - left;
    const numeric::BigFloat spanY = withPrecision(top, bits) - bottom;
    // A rectangle of no extent at all is refused, as ViewWindow refuses it.
    if (spanX.isZero() && spanY.isZero())
        return *this;
    const numeric::BigFloat x = (withPrecision(left, bits) + right) * 0.5;
    const numeric::BigFloat y = (withPrecision(bottom, bits) + top) * 0.5;
    return orThis(make(x, y, spanX, spanY, width_, height_));
}

DeepView DeepView::zoomedToPixels(int column1, int row1, int column2, int row2) const {
    if (const auto view = shallowView()) {
        const view::ViewWindow result = view->withRect(view->planeX(column1), view->planeY(row1),
                                                       view->planeX(column2), view->planeY(row2));
        if (result.resolvesPixels())
            return fromViewWindow(result);
    }
    return preciseRect(planeX(column1), planeY(row1), planeX(column2), planeY(row2));
}

DeepView DeepView::scaledAboutCentre(double factor) const {
    if (!usableFactor(factor))
        return *this;
    if (const auto view = shallowView()) {
        const view::ViewWindow result = view->scaledAbout(view->xcenter, view->ycenter, factor);
        if (result.resolvesPixels())
            return fromViewWindow(result);
    }
    return orThis(make(centreX_, centreY_, spanX_ / factor, spanY_ / factor, width_, height_));
}

DeepView DeepView::scaledAbout(const numeric::BigFloat& x, const numeric::BigFloat& y,
                               double factor) const {
    if (!usableFactor(factor))
        return *this;
    double a = 0.0, b = 0.0;
    if (const auto view = shallowView(); view && exactDouble(x, a) && exactDouble(y, b)) {
        const view::ViewWindow result = view->scaledAbout(a, b, factor);
        if (result.resolvesPixels())
            return fromViewWindow(result);
    }
    return orThis(make(x, y, spanX_ / factor, spanY_ / factor, width_, height_));
}

DeepView DeepView::zoomedAtPixel(int column, int row, double factor) const {
    if (!usableFactor(factor))
        return *this;
    if (const auto view = shallowView()) {
        const view::ViewWindow result = view->zoomedAtPixel(column, row, factor);
        if (result.resolvesPixels())
            return fromViewWindow(result);
    }
    // The new extents, and the centre that puts the point back at its pixel:
    // point = new origin + i * new spacing, new centre = new origin + new extent / 2.
    const long bits = workingPrecision(*this, factor);
    numeric::BigFloat spanX = withPrecision(spanX_, bits) / factor;
    numeric::BigFloat spanY = withPrecision(spanY_, bits) / factor;
    // Fitted before the centre is placed, so the point stays where it is.
    fitToProportions(spanX, spanY, width_, height_);
    spanX.setPrecision(kExtentPrecision);
    spanY.setPrecision(kExtentPrecision);
    const double i = static_cast<double>(column);
    const double j = static_cast<double>(height_) - 2.0 - static_cast<double>(row);
    numeric::BigFloat x = withPrecision(planeX(column), bits);
    x -= spanX / static_cast<double>(width_) * i;
    x += spanX * 0.5;
    numeric::BigFloat y = withPrecision(planeY(row), bits);
    y -= spanY / static_cast<double>(height_) * j;
    y += spanY * 0.5;
    return orThis(make(x, y, spanX, spanY, width_, height_));
}

DeepView DeepView::pannedByPixels(double columns, double rows) const {
    if (!std::isfinite(columns) || !std::isfinite(rows))
        return *this;
    if (const auto view = shallowView()) {
        const view::ViewWindow result = view->panned(columns * view->xscale, -rows * view->yscale);
        if (result.resolvesPixels())
            return fromViewWindow(result);
    }
    const long bits = precision() + 64;
    numeric::BigFloat x = withPrecision(centreX_, bits);
    x += withPrecision(spacingX(), bits) * columns;
    numeric::BigFloat y = withPrecision(centreY_, bits);
    y -= withPrecision(spacingY(), bits) * rows;
    return orThis(make(x, y, spanX_, spanY_, width_, height_));
}

DeepView DeepView::pannedByShare(double shareX, double shareY) const {
    if (!std::isfinite(shareX) || !std::isfinite(shareY))
        return *this;
    if (const auto view = shallowView()) {
        const view::ViewWindow result = view->panned(shareX * view->xrange, shareY * view->yrange);
        if (result.resolvesPixels())
            return fromViewWindow(result);
    }
    const long bits = precision() + 64;
    numeric::BigFloat x = withPrecision(centreX_, bits);
    x += withPrecision(spanX_, bits) * shareX;
    numeric::BigFloat y = withPrecision(centreY_, bits);
    y += withPrecision(spanY_, bits) * shareY;
    return orThis(make(x, y, spanX_, spanY_, width_, height_));
}

DeepView DeepView::centredOnPixel(int column, int row) const {
    if (const auto view = shallowView()) {
        const view::ViewWindow result =
            view->panned(view->planeX(column) - view->xcenter, view->planeY(row) - view->ycenter);
        if (result.resolvesPixels())
            return fromViewWindow(result);
    }
    return orThis(make(planeX(column), planeY(row), spanX_, spanY_, width_, height_));
}

std::optional<DeepView> DeepView::resizedTo(int newWidth, int newHeight) const {
    if (newWidth <= 0 || newHeight <= 0)
        return std::nullopt;
    if (newWidth == width_ && newHeight == height_)
        return *this;
    if (const auto view = shallowView()) {
        const std::optional<view::ViewWindow> result = view->resizedTo(newWidth, newHeight);
        if (result && result->resolvesPixels())
            return fromViewWindow(*result);
    }
    const long bits = kExtentPrecision + 64;
    const numeric::BigFloat spanX =
        withPrecision(spanX_, bits) * static_cast<double>(newWidth) / static_cast<double>(width_);
    const numeric::BigFloat spanY =
        withPrecision(spanY_, bits) * static_cast<double>(newHeight) / static_cast<double>(height_);
    return make(centreX_, centreY_, spanX, spanY, newWidth, newHeight);
}

bool DeepView::same(const DeepView& a, const DeepView& b) {
    return a.width_ == b.width_ && a.height_ == b.height_ && a.centreX_ == b.centreX_ &&
           a.centreY_ == b.centreY_ && a.spanX_ == b.spanX_ && a.spanY_ == b.spanY_;
}

}  // namespace view
