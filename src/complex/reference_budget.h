#pragma once

#include <cstdint>

#include "complex/exact_orbit.h"

namespace complex {

// What the reference orbits of a deep picture need at most: one orbit of the picture's
// centre; for the types that rebase onto it (Julia, Unity, Mandelbrot with a starting
// value) an orbit of the critical point as well; for those that check flagged pixels
// against a second reference (Spider, Manowar, Phoenix) that one as well. Each keeps
// maxIterations + 1 states of stateBytes.
struct ReferenceNeed {
    int orbits = 1;
    std::uint64_t statesEach = 0;
    std::uint64_t stateBytes = 0;
    std::uint64_t bytes = 0;
};

ReferenceNeed referenceNeed(const EscapeFormula& formula);

// The largest iteration limit whose reference orbits fit in mostBytes; 0 when not even
// one iteration does.
int mostIterationsWithin(kernels::Formula type, double paramReal, double paramImag,
                         std::uint64_t mostBytes);

// The bytes of a size in MiB.
constexpr std::uint64_t bytesOfMiB(int mib) {
    return mib > 0 ? static_cast<std::uint64_t>(mib) << 20 : 0;
}

}  // namespace complex
