#include "complex/reference_budget.h"

#include <algorithm>

namespace complex {

namespace {

int orbitsOf(kernels::Formula type, double paramReal, double paramImag) {
    switch (type) {
        case kernels::Formula::kJulia:
        case kernels::Formula::kUnity:
            return 2;
        case kernels::Formula::kMandelbrot:
            return paramReal != 0.0 || paramImag != 0.0 ? 2 : 1;
        case kernels::Formula::kSpider:
        case kernels::Formula::kManowar:
        case kernels::Formula::kPhoenix:
            return 2;
        default:
            return 1;
    }
}

}  // namespace

ReferenceNeed referenceNeed(const EscapeFormula& formula) {
    ReferenceNeed need;
    need.orbits = orbitsOf(formula.type, formula.paramReal, formula.paramImag);
    need.statesEach = static_cast<std::uint64_t>(std::max(formula.maxIterations, 1)) + 1;
    need.stateBytes = ReferenceOrbit::bytesPerState(formula.type);
    // At most 3 x 2^31 x 40 bytes: far inside 64 bits.
    need.bytes = need.statesEach * need.stateBytes * static_cast<std::uint64_t>(need.orbits);
    return need;
}

int mostIterationsWithin(kernels::Formula type, double paramReal, double paramImag,
                         std::uint64_t mostBytes) {
    const auto orbits = static_cast<std::uint64_t>(orbitsOf(type, paramReal, paramImag));
    const std::uint64_t states = mostBytes / (ReferenceOrbit::bytesPerState(type) * orbits);
    if (states < 2)
        return 0;
    return static_cast<int>(
        std::min<std::uint64_t>(states - 1, static_cast<std::uint64_t>(kMostDeepIterations)));
}

}  // namespace complex
