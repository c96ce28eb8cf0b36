#pragma once

#include <optional>
#include <string>

#include "complex/boundary_point.h"
#include "complex/exact_orbit.h"
#include "engine/fractal.h"
#include "numeric/big_float.h"
#include "numeric/ext_float.h"
#include "view/deep_view.h"

namespace complex {

// The part of the plane a search looks at: a view's centre and half its extents.
struct SearchRegion {
    numeric::BigFloat centreX;
    numeric::BigFloat centreY;
    numeric::ExtFloat halfWidth;
    numeric::ExtFloat halfHeight;
};

// A small copy of the Mandelbrot set: its nucleus (the centre of its main cardioid),
// the period of that centre's cycle, and its scale against the whole set. The copy
// lies within about 2 * size of its nucleus, as the whole set lies within 2 of 0.
struct Minibrot {
    PlanePoint nucleus;
    int period = 0;
    numeric::ExtFloat size;
};

struct MinibrotSearch {
    enum class Outcome { kFound, kNone, kRefused, kStopped };
    Outcome outcome = Outcome::kNone;
    std::optional<Minibrot> minibrot;
    // Why none was found, or why the search was refused: one sentence for a message.
    std::string reason;
};

// The minibrot of the lowest period in the region (or close around it), for the
// Mandelbrot type with z(0) = 0; every other formula is refused. Periods go up to the
// formula's iteration limit. stop is asked at every step of arbitrary precision.
MinibrotSearch findNearestMinibrot(const EscapeFormula& formula, const SearchRegion& region,
                                   const StopCheck& stop = {});

// The plane width of a picture of pixelsWide x pixelsHigh whose shorter side shows the
// minibrot whole, centred on its nucleus.
numeric::ExtFloat widthShowing(const Minibrot& minibrot, int pixelsWide, int pixelsHigh);

// Why a type or its parameters have no minibrots to find.
extern const char* const kOnlyPlainMandelbrot;

// The formula of an escape-time fractal's next run; nullopt for any other type.
std::optional<EscapeFormula> formulaOf(const engine::Fractal& fractal);

// The region a view shows: its centre and half its plane extents.
SearchRegion regionOf(const view::DeepView& view);

// The view of a picture of pixelsWide x pixelsHigh centred on the minibrot's nucleus
// that shows it whole; nullopt when no view can be that narrow.
std::optional<view::DeepView> viewShowing(const Minibrot& minibrot, int pixelsWide, int pixelsHigh);

}  // namespace complex
