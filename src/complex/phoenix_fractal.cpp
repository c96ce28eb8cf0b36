#include "complex/phoenix_fractal.h"

#include "complex/escape_kernels.h"

namespace complex {

using fixed28::toFixed28;

PhoenixFractal::PhoenixFractal(const platform::Services& services) : ComplexFractal(services) {
    identifyAs(engine::kPhoenix);
}

void PhoenixFractal::setDefaultParameters() {
    applyDefaultParameters(0.56667, -0.5);
}

void PhoenixFractal::setDefaultView() {
    applyDefaultView(-2.0, -2.6, 2.2, 2.6);
}

int PhoenixFractal::iteratePoint(double x, double y) {
    const int limit = maxIterations;
    if (integerArithmetic()) {
        return kernels::phoenix(toFixed28(x), toFixed28(y), toFixed28(paramReal),
                                toFixed28(paramImag), limit);
    }
    return kernels::phoenix(x, y, paramReal, paramImag, limit);
}

// Always in double precision: the fixed-point words cannot hold the iterate out to
// the smooth bailout.
EscapeValue PhoenixFractal::smoothPoint(double x, double y) {
    return kernels::phoenixSmooth(x, y, paramReal, paramImag, maxIterations);
}

std::optional<kernels::BatchSetup> PhoenixFractal::batchSetup() const {
    return kernels::BatchSetup{kernels::Formula::kPhoenix, maxIterations, integerArithmetic(),
                               paramReal, paramImag};
}

}  // namespace complex
