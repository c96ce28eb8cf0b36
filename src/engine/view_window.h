#pragma once

#include <array>

namespace engine {

// A rectangle of the plane tied to the pixel grid of the picture.
class ViewWindow {
  public:
    explicit ViewWindow(bool keepAspect = true);

    void setScreenSize(int width, int height);
    // Orders the corners, corrects the aspect and derives the scales. A rectangle
    // that would give no finite, positive extent or scale (both extents zero, an
    // infinite or NaN edge) is refused: the view keeps its previous rectangle.
    void setRect(double x1, double y1, double x2, double y2);
    void centreOnOrigin();
    void scaleAbout(double cx, double cy, double factor);
    void fitToAspect(double& x1, double& y1, double& x2, double& y2) const;
    void recompute();

    static bool sameView(const ViewWindow& a, const ViewWindow& b);

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
};

// Plane to pixel: trunc of the whole expression to a 32-bit integer. Returns false
// (and leaves the outputs alone) when a coordinate is not finite or does not fit.
bool planeToPixel(const ViewWindow& view, double x, double y, int& column, int& row);

// A double truncated towards zero into a 32-bit integer; false when it is NaN,
// infinite or out of range.
bool truncToInt(double value, int& result);

// Up to 32 earlier views, the newest last; a full history drops new entries.
class ZoomHistory {
  public:
    static constexpr int kCapacity = 32;

    bool push(const ViewWindow& view);
    bool pop(ViewWindow& view);
    int count() const { return count_; }
    int capacity() const { return kCapacity; }
    const ViewWindow& at(int index) const { return entries_[static_cast<std::size_t>(index)]; }

  private:
    std::array<ViewWindow, kCapacity> entries_;
    int count_ = 0;
};

}  // namespace engine
