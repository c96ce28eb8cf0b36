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

int MandelbrotFractal::iteratePoint(double x, double y) {
    const int limit = maxIterations;
    if (integerArithmetic()) {
        return kernels::quadratic(toFixed28(paramReal), toFixed28(paramImag), toFixed28(x),
                                  toFixed28(y), limit);
    }
    return kernels::quadratic(paramReal, paramImag, x, y, limit);
}

// Always in double precision: the fixed-point words cannot hold the iterate out to
// the smooth bailout.
EscapeValue MandelbrotFractal::smoothPoint(double x, double y) {
    return kernels::quadraticSmooth(paramReal, paramImag, x, y, maxIterations);
}

std::optional<kernels::BatchSetup> MandelbrotFractal::batchSetup() const {
    return kernels::BatchSetup{kernels::Formula::kMandelbrot, maxIterations, integerArithmetic(),
                               paramReal, paramImag};
}

}  // namespace complex
