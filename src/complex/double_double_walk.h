#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "complex/escape_value.h"
#include "complex/exact_orbit.h"
#include "numeric/double_double.h"

// The walk of one pixel of Mandelbrot or Julia with its difference, its constant and the
// reference's iterates all in twice double's precision: every step of it, with the walk
// that counts' escape test and rebasing. Beside small copies of the set a count of 10^5
// can change within 2^-30 of a pixel, below what differences in double keep over so many
// steps; here the rounding of a step is 2^-106 of its terms, and such a count is the
// pixel's own. Tens of times the cost of a step of the walk that counts, so it is kept for
// the pixels whose counts are that close to changing (see escapeMarginInPixels).
namespace complex::perturbation_detail {

struct ComplexDD {
    numeric::DoubleDouble re, im;
};

// m 2^e: a difference or constant of any magnitude in twice double's precision.
struct WideComplexDD {
    ComplexDD m;
    std::int64_t e = 0;
};

// An orbit with what rounding to double left out of each state.
struct PreciseOrbit {
    const ReferenceOrbit* orbit = nullptr;
    const std::vector<OrbitRemainder>* remainders = nullptr;
};

struct PreciseWalkSetup {
    EscapeFormula formula;
    PreciseOrbit primary;
    // The orbit from 0 that a pixel nearer 0 than its reference goes on along.
    PreciseOrbit critical;
    bool smooth = false;
};

// The count of the pixel whose difference from the primary orbit starts at start and whose
// constant differs from the reference's by dc (0 for Julia); c is its constant in double,
// for the smooth count. None after a stop (asked every few thousand steps), or where the
// orbits are not whole.
std::optional<EscapeValue> countPrecisely(const PreciseWalkSetup& setup, const WideComplexDD& start,
                                          const WideComplexDD& dc, double cr, double ci,
                                          const StopCheck& stop = {});

}  // namespace complex::perturbation_detail
