#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "numeric/big_float.h"
#include "platform/geometry.h"
#include "view/view_window.h"
// The text and stored forms of a view, which callers of DeepView use alongside it.
#include "view/view_field.h"
#include "view/view_text.h"

namespace view {

// A view of the plane at any depth: a centre and the plane extents of a picture of
// width x height pixels, in numbers of as many bits as the depth needs.
//
// A view that double precision can hold is kept exactly as the ViewWindow it came
// from (its edges are doubles), and every operation on it is the ViewWindow operation,
// so shallow views behave exactly as they always did. Only where the ViewWindow result
// could no longer tell neighbouring pixels apart does the operation work in numeric::BigFloat;
// a result that double can resolve again is rounded back to a ViewWindow. Deep views
// keep their extents to 64 bits (only their ratio to the pixels matters) and always
// have the picture's proportions up to a share of 2^-48.
//
// Operations that cannot give a usable view (a factor of zero or less, a width below
// the narrowest supported, more precision than supported, an extent double overflows)
// leave the view as it is, as ViewWindow does.
class DeepView {
  public:
    // The narrowest plane extent a view may have on its longer side.
    static constexpr std::string_view kNarrowestExtent = "1e-100000";

    // Exactly the rectangle and picture size of view. A view stored deeper than double
    // resolves gets the form every deep view has: fitted to the proportions, with the
    // precision its depth needs.
    static DeepView fromViewWindow(const view::ViewWindow& view);
    // A view centred on (x, y) spanX wide and spanY high, widened to the picture's
    // proportions as ViewWindow::setRect widens a rectangle (it only grows). nullopt
    // when the picture size or the extents are unusable.
    static std::optional<DeepView> fromCentre(const numeric::BigFloat& x,
                                              const numeric::BigFloat& y,
                                              const numeric::BigFloat& spanX,
                                              const numeric::BigFloat& spanY, int width,
                                              int height);
    // The same with the height following from the width and the picture's proportions.
    static std::optional<DeepView> fromCentreAndWidth(const numeric::BigFloat& x,
                                                      const numeric::BigFloat& y,
                                                      const numeric::BigFloat& planeWidth,
                                                      int width, int height);

    int width() const { return width_; }
    int height() const { return height_; }
    const numeric::BigFloat& centreX() const { return centreX_; }
    const numeric::BigFloat& centreY() const { return centreY_; }
    // Plane width and height of the whole picture.
    const numeric::BigFloat& spanX() const { return spanX_; }
    const numeric::BigFloat& spanY() const { return spanY_; }
    long precision() const { return centreX_.precision(); }

    // Pixel to plane, as ViewWindow::planeX and planeY map them: pixel (column, row)
    // lies at (originX + i * spacingX, originY + j * spacingY) with i = column and
    // j = height - 2 - row (row 0 is the top; the picture's bottom row is j = -1).
    numeric::BigFloat originX() const;
    numeric::BigFloat originY() const;
    numeric::BigFloat spacingX() const;
    numeric::BigFloat spacingY() const;
    numeric::BigFloat planeX(long column) const;
    numeric::BigFloat planeY(long row) const;

    // The ViewWindow this view is, when double holds it exactly and resolves its
    // pixels; nullopt for a deep view.
    std::optional<view::ViewWindow> shallowView() const;
    bool isDeep() const { return !shallowView().has_value(); }
    // The narrowest view about the centre (rounded to double) that double resolves:
    // the view itself when it is shallow, the rectangle older readers get otherwise.
    view::ViewWindow nearestShallowView() const;
    // Where inner's rectangle lies in this view's pixels, by the plane-to-pixel rule
    // (the animated zoom's frames). False when a corner does not fit a pixel coordinate.
    bool pixelRectOf(const DeepView& inner, platform::Rect& rect) const;

    // The zoom operations. Each gives the new view and leaves this one alone.
    // The rectangle with corners (x1, y1) and (x2, y2), widened to the proportions.
    DeepView withPlaneRect(const numeric::BigFloat& x1, const numeric::BigFloat& y1,
                           const numeric::BigFloat& x2, const numeric::BigFloat& y2) const;
    // The selection: the plane rectangle between the points of two pixels.
    DeepView zoomedToPixels(int column1, int row1, int column2, int row2) const;
    // Magnified by factor (above 1 zooms in) about the centre, or about (x, y).
    DeepView scaledAboutCentre(double factor) const;
    DeepView scaledAbout(const numeric::BigFloat& x, const numeric::BigFloat& y,
                         double factor) const;
    // Magnified by factor keeping the plane point at pixel (column, row) there.
    DeepView zoomedAtPixel(int column, int row, double factor) const;
    // The same scale moved so that what was at pixel (c + columns, r + rows) is at
    // (c, r): positive columns look right, positive rows look down.
    DeepView pannedByPixels(double columns, double rows) const;
    // The same scale moved by shares of the plane extents (the arrow keys move by an
    // eighth): positive x looks right, positive y looks up.
    DeepView pannedByShare(double shareX, double shareY) const;
    // The same scale centred on the plane point of pixel (column, row).
    DeepView centredOnPixel(int column, int row) const;
    // The same centre and scale on a picture of another size; nullopt when unusable.
    std::optional<DeepView> resizedTo(int newWidth, int newHeight) const;

    static bool same(const DeepView& a, const DeepView& b);

  private:
    DeepView(int width, int height, numeric::BigFloat x, numeric::BigFloat y,
             numeric::BigFloat spanX, numeric::BigFloat spanY);
    // The one door for new views: fits, chooses the precision, rounds a view double
    // resolves back to that ViewWindow, refuses what is unusable.
    static std::optional<DeepView> make(const numeric::BigFloat& x, const numeric::BigFloat& y,
                                        numeric::BigFloat spanX, numeric::BigFloat spanY, int width,
                                        int height);
    // withPlaneRect without the attempt in double precision.
    DeepView preciseRect(const numeric::BigFloat& x1, const numeric::BigFloat& y1,
                         const numeric::BigFloat& x2, const numeric::BigFloat& y2) const;
    DeepView orThis(const std::optional<DeepView>& view) const { return view ? *view : *this; }

    int width_ = 1;
    int height_ = 1;
    numeric::BigFloat centreX_;
    numeric::BigFloat centreY_;
    numeric::BigFloat spanX_;
    numeric::BigFloat spanY_;
};

// The precision (bits) a view centred up to |x|, |y| with pixels spacing apart
// needs; more than numeric::BigFloat::kMostPrecision when it cannot be had.
long precisionNeeded(const numeric::BigFloat& x, const numeric::BigFloat& y,
                     const numeric::BigFloat& spacing);

}  // namespace view
