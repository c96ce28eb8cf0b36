#pragma once

#include <optional>

#include "complex/exact_orbit.h"
#include "numeric/big_float.h"

namespace complex {

// A plane point on the edge between the points whose count reaches threshold and those
// that escape before it, found by bisection on the segment from a point that reaches it
// to one that does not, with direct iteration at the given precision until the
// segment is shorter than 2^-bits. Views around such points show detail at every
// depth down to 2^-bits: the measurements and tests of deep pictures are made there.
struct PlanePoint {
    numeric::BigFloat x;
    numeric::BigFloat y;
};

std::optional<PlanePoint> findBoundaryPoint(const EscapeFormula& formula, int threshold,
                                            const PlanePoint& reaching, const PlanePoint& escaping,
                                            long bits, long precision);

}  // namespace complex

namespace complex {

// The centre of a small copy of the Mandelbrot set (z(0) = 0): the c near guess where
// the iterate 0 returns to 0 after period steps, by Newton's method at the given
// precision. nullopt when the method does not settle, or when stop (asked at every
// step of every round) ends it.
std::optional<PlanePoint> findNucleus(const PlanePoint& guess, int period, long precision,
                                      const StopCheck& stop = {});

}  // namespace complex
