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

int PhoenixFractal::iteratePoint(const EscapeParameters& p, double x, double y) {
    const int limit = p.maxIterations;
    if (p.integer) {
        return kernels::phoenix(toFixed28(x), toFixed28(y), toFixed28(p.paramReal),
                                toFixed28(p.paramImag), limit);
    }
    return kernels::phoenix(x, y, p.paramReal, p.paramImag, limit);
}

// Always in double precision: the fixed-point words cannot hold the iterate out to
// the smooth bailout.
EscapeValue PhoenixFractal::smoothPoint(const EscapeParameters& p, double x, double y) {
    return kernels::phoenixSmooth(x, y, p.paramReal, p.paramImag, p.maxIterations);
}

std::optional<kernels::BatchSetup> PhoenixFractal::batchSetup(const EscapeParameters& p) const {
    return kernels::BatchSetup{kernels::Formula::kPhoenix, p.maxIterations, p.integer,
                               p.paramReal, p.paramImag};
}

}  // namespace complex
