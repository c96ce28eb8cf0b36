#include "complex/unity_fractal.h"

#include "complex/escape_kernels.h"

namespace complex {

using fixed28::toFixed28;

UnityFractal::UnityFractal(const platform::Services& services) : ComplexFractal(services) {
    identifyAs(engine::kUnity);
}

void UnityFractal::setDefaultParameters() {
    applyDefaultParameters(0.0, 0.0);
}

void UnityFractal::setDefaultView() {
    applyDefaultView(-1.75, -2.0, 1.75, 2.0);
}

int UnityFractal::iteratePoint(const EscapeParameters& p, double x, double y) {
    const int limit = p.maxIterations;
    if (p.integer)
        return kernels::unity(toFixed28(x), toFixed28(y), limit);
    return kernels::unity(x, y, limit);
}

// Always in double precision: the fixed-point words cannot hold the iterate out to
// the smooth bailout.
EscapeValue UnityFractal::smoothPoint(const EscapeParameters& p, double x, double y) {
    return kernels::unitySmooth(x, y, p.maxIterations);
}

std::optional<kernels::BatchSetup> UnityFractal::batchSetup(const EscapeParameters& p) const {
    return kernels::BatchSetup{kernels::Formula::kUnity, p.maxIterations, p.integer,
                               p.paramReal, p.paramImag};
}

}  // namespace complex
