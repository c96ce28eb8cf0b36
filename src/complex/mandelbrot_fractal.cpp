#include "complex/mandelbrot_fractal.h"

#include "complex/escape_kernels.h"

namespace complex {

using fixed28::toFixed28;

MandelbrotFractal::MandelbrotFractal(const platform::Services& services)
    : ComplexFractal(services) {
    identifyAs(engine::kMandelbrot);
}

void MandelbrotFractal::setDefaultParameters() {
    applyDefaultParameters(0.0, 0.0);
}

void MandelbrotFractal::setDefaultView() {
    applyDefaultView(-2.1, -1.69, 1.0, 1.72);
}

int MandelbrotFractal::iteratePoint(const EscapeParameters& p, double x, double y) {
    const int limit = p.maxIterations;
    if (p.integer) {
        return kernels::quadratic(toFixed28(p.paramReal), toFixed28(p.paramImag), toFixed28(x),
                                  toFixed28(y), limit);
    }
    return kernels::quadratic(p.paramReal, p.paramImag, x, y, limit);
}

// Always in double precision: the fixed-point words cannot hold the iterate out to
// the smooth bailout.
EscapeValue MandelbrotFractal::smoothPoint(const EscapeParameters& p, double x, double y) {
    return kernels::quadraticSmooth(p.paramReal, p.paramImag, x, y, p.maxIterations);
}

std::optional<kernels::BatchSetup> MandelbrotFractal::batchSetup(const EscapeParameters& p) const {
    return kernels::BatchSetup{kernels::Formula::kMandelbrot, p.maxIterations, p.integer,
                               p.paramReal, p.paramImag};
}

}  // namespace complex
