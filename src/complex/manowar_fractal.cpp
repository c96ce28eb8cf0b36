#include "complex/manowar_fractal.h"

#include "complex/escape_kernels.h"

namespace complex {

using fixed28::toFixed28;

ManowarFractal::ManowarFractal(const platform::Services& services) : ComplexFractal(services) {
    identifyAs(engine::kManowar);
}

void ManowarFractal::setDefaultParameters() {
    applyDefaultParameters(0.0, 0.0);
}

void ManowarFractal::setDefaultView() {
    applyDefaultView(-1.2, -1.4, 1.2, 1.4);
}

int ManowarFractal::iteratePoint(double x, double y) {
    const int limit = maxIterations;
    if (integerArithmetic()) {
        return kernels::manowar(toFixed28(paramReal), toFixed28(paramImag), toFixed28(x),
                                toFixed28(y), limit);
    }
    return kernels::manowar(paramReal, paramImag, x, y, limit);
}

// Always in double precision: the fixed-point words cannot hold the iterate out to
// the smooth bailout.
EscapeValue ManowarFractal::smoothPoint(double x, double y) {
    return kernels::manowarSmooth(paramReal, paramImag, x, y, maxIterations);
}

std::optional<kernels::BatchSetup> ManowarFractal::batchSetup() const {
    return kernels::BatchSetup{kernels::Formula::kManowar, maxIterations, integerArithmetic(),
                               paramReal, paramImag};
}

}  // namespace complex
