#include "complex/julia_fractal.h"

#include "complex/escape_kernels.h"

namespace complex {

using fixed28::toFixed28;

JuliaFractal::JuliaFractal(const platform::Services& services) : ComplexFractal(services) {
    identifyAs(engine::kJulia);
}

void JuliaFractal::setDefaultParameters() {
    applyDefaultParameters(-0.7, 0.3);
}

void JuliaFractal::setDefaultView() {
    applyDefaultView(-2.0, -2.6, 2.2, 2.6);
}

int JuliaFractal::iteratePoint(const EscapeParameters& p, double x, double y) {
    const int limit = p.maxIterations;
    if (p.integer) {
        return kernels::quadratic(toFixed28(x), toFixed28(y), toFixed28(p.paramReal),
                                  toFixed28(p.paramImag), limit);
    }
    return kernels::quadratic(x, y, p.paramReal, p.paramImag, limit);
}

// Always in double precision: the fixed-point words cannot hold the iterate out to
// the smooth bailout.
EscapeValue JuliaFractal::smoothPoint(const EscapeParameters& p, double x, double y) {
    return kernels::quadraticSmooth(x, y, p.paramReal, p.paramImag, p.maxIterations);
}

std::optional<kernels::BatchSetup> JuliaFractal::batchSetup(const EscapeParameters& p) const {
    return kernels::BatchSetup{kernels::Formula::kJulia, p.maxIterations, p.integer,
                               p.paramReal, p.paramImag};
}

}  // namespace complex
