#include "view/view_window.h"

#include "view/deep_view.h"

#include <cmath>
#include <limits>

namespace view {

namespace {

bool finitePositive(double v) {
    return std::isfinite(v) && v > 0.0;
}

// The distance from |v| to the next larger double.
double spacingAt(double v) {
    const double magnitude = std::fabs(v);
    return std::nextafter(magnitude, std::numeric_limits<double>::infinity()) - magnitude;
}

// Whether the rectangle has the aspect as nearly as its edges can: a rectangle fitted
// before (a stored view, the View dialog's untouched fields) misses it only by the
// rounding of its edges, and fitting it again would move an edge by that rounding
// every time it is read back.
bool hasAspectWithinRounding(double xmin, double ymin, double xmax, double ymax, double aspect) {
    const double heightForWidth = (xmax - xmin) / aspect;
    const double rounding =
        2.0 * ((spacingAt(xmin) + spacingAt(xmax)) / aspect + spacingAt(ymin) + spacingAt(ymax));
    return std::isfinite(rounding) && std::fabs(heightForWidth - (ymax - ymin)) <= rounding;
}

}  // namespace

ViewWindow::ViewWindow(bool keepAspect) : keepAspect(keepAspect) {}

void ViewWindow::setScreenSize(int newWidth, int newHeight) {
    width = newWidth;
    height = newHeight;
    maxY = newHeight - 1;
    recompute();
}

bool ViewWindow::setRect(double x1, double y1, double x2, double y2) {
    const ViewWindow previous = *this;
    xmin = x1 < x2 ? x1 : x2;
    ymin = y1 < y2 ? y1 : y2;
    xmax = x1 < x2 ? x2 : x1;
    ymax = y1 < y2 ? y2 : y1;
    recompute();
    // A rectangle without a usable extent would make every scale zero, infinite or NaN,
    // and everything that maps pixels would go wrong; keep the view that worked.
    if (usable())
        return true;
    *this = previous;
    return false;
}

bool ViewWindow::usable() const {
    return std::isfinite(xmin) && std::isfinite(xmax) && std::isfinite(ymin) &&
           std::isfinite(ymax) && finitePositive(xrange) && finitePositive(yrange) &&
           finitePositive(xscale) && finitePositive(yscale) && finitePositive(xpix) &&
           finitePositive(ypix);
}

void ViewWindow::centreOnOrigin() {
    const int halfWidth = width / 2;
    const int halfHeight = height / 2;
    setRect(-halfWidth, -halfHeight, halfWidth, halfHeight);
}

void ViewWindow::scaleAbout(double cx, double cy, double factor) {
    if (!(factor > 0.0))
        return;
    const ViewWindow previous = *this;
    const double halfWidth = xrange * (1.0 / factor) * 0.5;
    const double halfHeight = yrange * (1.0 / factor) * 0.5;
    xmin = cx - halfWidth;
    ymin = cy - halfHeight;
    xmax = halfWidth + cx;
    ymax = halfHeight + cy;
    recompute();
    if (!usable())
        *this = previous;
}

ViewWindow ViewWindow::withRect(double x1, double y1, double x2, double y2) const {
    ViewWindow result = *this;
    result.setRect(x1, y1, x2, y2);
    return result;
}

ViewWindow ViewWindow::scaledAbout(double cx, double cy, double factor) const {
    ViewWindow result = *this;
    result.scaleAbout(cx, cy, factor);
    return result;
}

ViewWindow ViewWindow::zoomedAtPixel(int column, int row, double factor) const {
    if (!(factor > 0.0))
        return *this;
    const double x = planeX(column);
    const double y = planeY(row);
    return scaledAbout(x + (xcenter - x) / factor, y + (ycenter - y) / factor, factor);
}

ViewWindow ViewWindow::panned(double dx, double dy) const {
    return withRect(xmin + dx, ymin + dy, xmax + dx, ymax + dy);
}

std::optional<ViewWindow> ViewWindow::resizedTo(int newWidth, int newHeight) const {
    if (!usable() || newWidth <= 0 || newHeight <= 0)
        return std::nullopt;
    // Back at its own size a view is exactly what it was: resizing there and back
    // never drifts.
    if (newWidth == width && newHeight == height)
        return *this;
    const double halfWidth = xscale * newWidth * 0.5;
    const double halfHeight = yscale * newHeight * 0.5;
    ViewWindow mapped = *this;
    mapped.width = newWidth;
    mapped.height = newHeight;
    mapped.maxY = newHeight - 1;
    mapped.xmin = xcenter - halfWidth;
    mapped.xmax = xcenter + halfWidth;
    mapped.ymin = ycenter - halfHeight;
    mapped.ymax = ycenter + halfHeight;
    mapped.recompute();
    if (!mapped.usable())
        return std::nullopt;
    return mapped;
}

namespace {

// The largest distance between neighbouring doubles of magnitude up to `magnitude`.
double largestSpacingUpTo(double magnitude) {
    return std::nextafter(magnitude, std::numeric_limits<double>::infinity()) - magnitude;
}

// Pixel k of an axis lies at lo + k * step, the product and the sum each rounded to
// the nearest double, for k from -1 (the row below the picture) up to the pixel
// count; |lo| + range bounds every exact product and sum. With S the largest spacing
// of doubles up to that bound, each product is off by at most S / 2, so the exact sums
// of neighbouring pixels lie more than step - S apart; two reals more than S apart
// round to different doubles. So step > 2 S is enough, and it errs on the safe side
// by a factor of about four.
bool axisResolves(double lo, double range, double step) {
    return step > 2.0 * largestSpacingUpTo(std::fabs(lo) + range);
}

}  // namespace

bool ViewWindow::resolvesPixels() const {
    return axisResolves(xmin, xrange, xscale) && axisResolves(ymin, yrange, yscale);
}

bool zoomsTooDeep(const ViewWindow& current, const ViewWindow& target) {
    const bool showsMore = target.xscale > current.xscale && target.yscale > current.yscale;
    return !showsMore && !target.resolvesPixels();
}

void ViewWindow::fitToAspect(double& x1, double& y1, double& x2, double& y2) const {
    const double aspect = static_cast<double>(width) / static_cast<double>(height);
    const double dx = x2 - x1;
    const double dy = y2 - y1;
    const double q = dx / aspect;
    if (q >= dy) {
        const double d = (q - dy) * 0.5;
        y1 = y1 - d;
        y2 = y2 + d;
    } else {
        const double d = (dy * aspect - dx) * 0.5;
        x1 = x1 - d;
        x2 = x2 + d;
    }
}

void ViewWindow::recompute() {
    const double aspect = static_cast<double>(width) / static_cast<double>(height);
    if (keepAspect && !hasAspectWithinRounding(xmin, ymin, xmax, ymax, aspect)) {
        xrange = xmax - xmin;
        yrange = ymax - ymin;
        const double q = xrange / aspect;
        if (q >= yrange) {
            const double d = (q - yrange) * 0.5;
            ymin = ymin - d;
            ymax = d + ymax;
        } else {
            const double d = (yrange * aspect - xrange) * 0.5;
            xmin = xmin - d;
            xmax = d + xmax;
        }
    }
    xrange = xmax - xmin;
    yrange = ymax - ymin;
    xcenter = (xmin + xmax) * 0.5;
    ycenter = (ymin + ymax) * 0.5;
    xscale = xrange / width;
    yscale = yrange / height;
    xpix = width / xrange;
    ypix = height / yrange;
}

bool ViewWindow::sameView(const ViewWindow& a, const ViewWindow& b) {
    return a.width == b.width && a.height == b.height && a.xmin == b.xmin && a.xmax == b.xmax &&
           a.ymin == b.ymin && a.ymax == b.ymax;
}

bool truncToInt(double value, int& result) {
    // Every double strictly between these bounds truncates into the int32 range.
    constexpr double kLow = -2147483649.0;
    constexpr double kHigh = 2147483648.0;
    if (!(value > kLow && value < kHigh))
        return false;  // also refuses NaN
    result = static_cast<int>(value);
    return true;
}

bool planeToPixel(const ViewWindow& view, double x, double y, int& column, int& row) {
    int c = 0;
    int r = 0;
    if (!truncToInt((x - view.xmin) * view.xpix, c))
        return false;
    if (!truncToInt(view.maxY - (y - view.ymin) * view.ypix, r))
        return false;
    column = c;
    row = r;
    return true;
}

void ZoomHistory::push(const ViewWindow& view, DeepViewPtr deep) {
    clearedForward_ = std::move(forward_);
    forward_.clear();
    forgotten_.reset();
    if (back_.size() >= static_cast<std::size_t>(kCapacity)) {
        forgotten_ = std::move(back_.front());
        back_.pop_front();
    }
    back_.push_back(Entry{view, std::move(deep)});
    undoablePush_ = true;
}

void ZoomHistory::forgetUndo() {
    undoablePush_ = false;
    clearedForward_.clear();
    forgotten_.reset();
}

DeepViewPtr resizedDeepView(const DeepViewPtr& deep, int newWidth, int newHeight) {
    if (!deep)
        return nullptr;
    const std::optional<view::DeepView> mapped = deep->resizedTo(newWidth, newHeight);
    if (!mapped || !mapped->isDeep())
        return nullptr;
    return std::make_shared<const view::DeepView>(*mapped);
}

ZoomHistory ZoomHistory::resizedTo(int newWidth, int newHeight) const {
    ZoomHistory mapped;
    const auto mapSide = [&](const std::deque<Entry>& from, std::deque<Entry>& to) {
        for (const Entry& e : from) {
            if (const std::optional<ViewWindow> view = e.view.resizedTo(newWidth, newHeight))
                to.push_back(Entry{*view, resizedDeepView(e.deep, newWidth, newHeight)});
        }
    };
    mapSide(back_, mapped.back_);
    mapSide(forward_, mapped.forward_);
    return mapped;
}

bool ZoomHistory::pop(ViewWindow& view, DeepViewPtr* deep) {
    if (back_.empty())
        return false;
    view = back_.back().view;
    DeepViewPtr taken = std::move(back_.back().deep);
    back_.pop_back();
    if (deep != nullptr)
        *deep = std::move(taken);
    if (undoablePush_) {
        forward_ = std::move(clearedForward_);
        if (forgotten_)
            back_.push_front(std::move(*forgotten_));
    }
    forgetUndo();
    return true;
}

bool ZoomHistory::move(std::deque<Entry>& from, std::deque<Entry>& to, ViewWindow& view,
                       DeepViewPtr& deep) {
    if (from.empty())
        return false;
    // Back and forward together never exceed the capacity: one view goes in as one
    // comes out.
    to.push_back(Entry{view, deep});
    view = from.back().view;
    deep = std::move(from.back().deep);
    from.pop_back();
    return true;
}

bool ZoomHistory::back(ViewWindow& view, DeepViewPtr& deep) {
    forgetUndo();
    return move(back_, forward_, view, deep);
}

bool ZoomHistory::forward(ViewWindow& view, DeepViewPtr& deep) {
    forgetUndo();
    return move(forward_, back_, view, deep);
}

namespace {

bool sameDeep(const DeepViewPtr& a, const DeepViewPtr& b) {
    if (!a || !b)
        return !a && !b;
    return view::DeepView::same(*a, *b);
}

}  // namespace

bool ZoomHistory::same(const ZoomHistory& a, const ZoomHistory& b) {
    const auto sameSide = [](const std::deque<Entry>& x, const std::deque<Entry>& y) {
        if (x.size() != y.size())
            return false;
        for (std::size_t i = 0; i < x.size(); ++i) {
            if (!ViewWindow::sameView(x[i].view, y[i].view) || !sameDeep(x[i].deep, y[i].deep))
                return false;
        }
        return true;
    };
    return sameSide(a.back_, b.back_) && sameSide(a.forward_, b.forward_);
}

bool ViewState::same(const ViewState& a, const ViewState& b) {
    return ViewWindow::sameView(a.view, b.view) && sameDeep(a.deep, b.deep) &&
           ZoomHistory::same(a.history, b.history);
}

}  // namespace view
