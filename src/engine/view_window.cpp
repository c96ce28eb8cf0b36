#include "engine/view_window.h"

#include <cmath>
#include <limits>

namespace engine {

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

void ViewWindow::setRect(double x1, double y1, double x2, double y2) {
    const ViewWindow previous = *this;
    xmin = x1 < x2 ? x1 : x2;
    ymin = y1 < y2 ? y1 : y2;
    xmax = x1 < x2 ? x2 : x1;
    ymax = y1 < y2 ? y2 : y1;
    recompute();
    // A rectangle without a usable extent would make every scale zero, infinite or NaN,
    // and everything that maps pixels would go wrong; keep the view that worked.
    const bool usable = std::isfinite(xmin) && std::isfinite(xmax) && std::isfinite(ymin) &&
                        std::isfinite(ymax) && finitePositive(xrange) && finitePositive(yrange) &&
                        finitePositive(xscale) && finitePositive(yscale) && finitePositive(xpix) &&
                        finitePositive(ypix);
    if (!usable)
        *this = previous;
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
    const bool usable = finitePositive(xrange) && finitePositive(yrange) && finitePositive(xpix) &&
                        finitePositive(ypix) && finitePositive(xscale) && finitePositive(yscale);
    if (!usable)
        *this = previous;
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

bool ZoomHistory::push(const ViewWindow& view) {
    if (count_ >= kCapacity)
        return false;
    entries_[static_cast<std::size_t>(count_)] = view;
    ++count_;
    return true;
}

bool ZoomHistory::pop(ViewWindow& view) {
    if (count_ <= 0)
        return false;
    --count_;
    view = entries_[static_cast<std::size_t>(count_)];
    return true;
}

}  // namespace engine
