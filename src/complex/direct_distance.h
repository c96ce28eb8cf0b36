#pragma once

#include "complex/exact_orbit.h"
#include "numeric/big_float.h"
#include "numeric/ext_float.h"

namespace complex {

// The estimated distance to the boundary of Mandelbrot's or Julia's set of the point
// (x, y), in pixels of spacing h, from its orbit and the orbit's derivative iterated
// directly at the given precision: count - 1 steps (the point escaped at the test count)
// and on until |z| is large, as the deep walk reads it. For the pixels whose difference
// from the reference a deep walk cannot keep. 0 after a stop (asked every few hundred
// steps), for other types and where nothing can be told.
double directDistance(const EscapeFormula& formula, const numeric::BigFloat& x,
                      const numeric::BigFloat& y, const numeric::ExtFloat& spacing, long precision,
                      int count, const StopCheck& stop = {});

}  // namespace complex
