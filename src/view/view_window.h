#pragma once

#include <deque>
#include <memory>
#include <optional>

namespace view {
class DeepView;
}  // namespace view

namespace view {

// A rectangle of the plane tied to the pixel grid of the picture.
class ViewWindow {
  public:
    explicit ViewWindow(bool keepAspect = true);

    void setScreenSize(int width, int height);
    // Orders the corners, corrects the aspect and derives the scales. A rectangle
    // that would give no finite, positive extent or scale (both extents zero, an
    // infinite or NaN edge) is refused: the view keeps its previous rectangle and
    // the result is false.
    bool setRect(double x1, double y1, double x2, double y2);
    void centreOnOrigin();
    void scaleAbout(double cx, double cy, double factor);
    void fitToAspect(double& x1, double& y1, double& x2, double& y2) const;
    void recompute();

    static bool sameView(const ViewWindow& a, const ViewWindow& b);

    // The views setRect and scaleAbout would give, leaving this one alone.
    ViewWindow withRect(double x1, double y1, double x2, double y2) const;
    ViewWindow scaledAbout(double cx, double cy, double factor) const;
    // Magnified by factor so that the plane point at pixel (column, row) keeps its
    // pixel: scaled about the centre that leaves that point in place.
    ViewWindow zoomedAtPixel(int column, int row, double factor) const;
    // The same scale moved by (dx, dy) plane units.
    ViewWindow panned(double dx, double dy) const;

    // The same centre and scale (plane units per pixel) on a picture of another size:
    // a larger picture shows more of the plane, a smaller one less. nullopt when the
    // mapped rectangle is unusable.
    std::optional<ViewWindow> resizedTo(int newWidth, int newHeight) const;

    // Whether double precision still tells every two neighbouring pixels of the
    // picture apart on both axes. The one place that limits the depth of zoom.
    bool resolvesPixels() const;

    // Pixel to plane (the escape-time scan and the stylus selection).
    double planeX(int column) const { return xmin + column * xscale; }
    double planeY(int row) const { return ymin + (maxY - row - 1) * yscale; }

    bool keepAspect;
    int width = 240;
    int height = 320;
    int maxY = 319;
    double xmin = -100.0;
    double ymin = -100.0;
    double xmax = 100.0;
    double ymax = 100.0;
    double xrange = 0.0;
    double yrange = 0.0;
    double xcenter = 0.0;
    double ycenter = 0.0;
    double xscale = 0.0;
    double yscale = 0.0;
    double xpix = 0.0;
    double ypix = 0.0;

  private:
    bool usable() const;
};

// Whether going from current to target would show a view that double precision
// cannot resolve. A target that shows more of the plane on both axes never does, so
// a view stored too deep can always be left by zooming out.
bool zoomsTooDeep(const ViewWindow& current, const ViewWindow& target);

// Plane to pixel: trunc of the whole expression to a 32-bit integer. Returns false
// (and leaves the outputs alone) when a coordinate is not finite or does not fit.
bool planeToPixel(const ViewWindow& view, double x, double y, int& column, int& row);

// A double truncated towards zero into a 32-bit integer; false when it is NaN,
// infinite or out of range.
bool truncToInt(double value, int& result);

// A view deeper than double resolves, shared by the views and runs that show it.
using DeepViewPtr = std::shared_ptr<const view::DeepView>;

// The views left behind, to go back to, and the views gone back from, to go forward
// to again, as a browser keeps pages. A new view clears the way forward. The newest
// views are kept: when the history is full, the oldest is forgotten.
//
// Back and forward together hold at most kCapacity views. A deep view holds two
// coordinates of at most numeric::BigFloat::kMostPrecision bits, so the history is
// bounded in memory whatever the depth.
class ZoomHistory {
  public:
    static constexpr int kCapacity = 256;

    // The view left behind, with its rounded rectangle (view) and, for a deep view,
    // its precise form. Clears the way forward and, when full, forgets the oldest.
    void push(const ViewWindow& view, DeepViewPtr deep = nullptr);
    // Takes the newest view back without keeping the one it replaces. Straight after a
    // push it undoes that push whole: the way forward and a forgotten view return.
    bool pop(ViewWindow& view, DeepViewPtr* deep = nullptr);
    // Back and Forward: the view shown (view, deep) goes onto the other side and the
    // newest view of this side replaces it. False (nothing changes) when there is none.
    bool back(ViewWindow& view, DeepViewPtr& deep);
    bool forward(ViewWindow& view, DeepViewPtr& deep);

    // The views to go back to, the oldest at 0.
    int count() const { return static_cast<int>(back_.size()); }
    int capacity() const { return kCapacity; }
    const ViewWindow& at(int index) const { return entry(back_, index).view; }
    const DeepViewPtr& deepAt(int index) const { return entry(back_, index).deep; }
    // The views to go forward to, the next one last.
    int forwardCount() const { return static_cast<int>(forward_.size()); }
    const ViewWindow& forwardAt(int index) const { return entry(forward_, index).view; }
    const DeepViewPtr& forwardDeepAt(int index) const { return entry(forward_, index).deep; }

    // Every view mapped as ViewWindow::resizedTo maps it, in the same order; a view
    // that cannot be mapped is left out.
    ZoomHistory resizedTo(int newWidth, int newHeight) const;

    static bool same(const ZoomHistory& a, const ZoomHistory& b);

  private:
    struct Entry {
        ViewWindow view;
        DeepViewPtr deep;
    };
    static const Entry& entry(const std::deque<Entry>& side, int index) {
        return side[static_cast<std::size_t>(index)];
    }
    static bool move(std::deque<Entry>& from, std::deque<Entry>& to, ViewWindow& view,
                     DeepViewPtr& deep);
    void forgetUndo();

    std::deque<Entry> back_;
    std::deque<Entry> forward_;
    // What the last push cleared and forgot, for a pop that undoes it.
    bool undoablePush_ = false;
    std::deque<Entry> clearedForward_;
    std::optional<Entry> forgotten_;
};

// A deep view on a picture of another size, as ViewWindow::resizedTo maps a view;
// null when there is none or the mapped view is one double holds.
DeepViewPtr resizedDeepView(const DeepViewPtr& deep, int newWidth, int newHeight);

// A view with its zoom history, carried over to a picture of another size when the
// window is resized.
struct ViewState {
    ViewWindow view;
    ZoomHistory history;
    DeepViewPtr deep;

    static bool same(const ViewState& a, const ViewState& b);
};

}  // namespace view
