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

int ManowarFractal::iteratePoint(const EscapeParameters& p, double x, double y) {
    const int limit = p.maxIterations;
    if (p.integer) {
        return kernels::manowar(toFixed28(p.paramReal), toFixed28(p.paramImag), toFixed28(x),
                                toFixed28(y), limit);
    }
    return kernels::manowar(p.paramReal, p.paramImag, x, y, limit);
}

// Always in double precision: the fixed-point words cannot hold the iterate out to
// the smooth bailout.
EscapeValue ManowarFractal::smoothPoint(const EscapeParameters& p, double x, double y) {
    return kernels::manowarSmooth(p.paramReal, p.paramImag, x, y, p.maxIterations);
}

std::optional<kernels::BatchSetup> ManowarFractal::batchSetup(const EscapeParameters& p) const {
    return kernels::BatchSetup{kernels::Formula::kManowar, p.maxIterations, p.integer,
                               p.paramReal, p.paramImag};
}

}  // namespace complex
