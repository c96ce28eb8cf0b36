#include "complex/mandelbrot_fractal.h"

#include "complex/escape_kernels.h"

namespace complex {

using fixed28::toFixed28;

namespace {

engine::FractalPtr create(const platform::Services& services) {
    return engine::FractalPtr(new MandelbrotFractal(services));
}

}  // namespace

const engine::TypeDescription MandelbrotFractal::kDescription{
    .id = engine::kMandelbrot,
    .name = "Mandelbrot",
    .nameStringId = 505,
    .description =
        "Classic Mandelbrot set fractal.\r\n"
        "c = pixel\r\n"
        "z(n+1) = z(n)^2 + c\r\n"
        "Two parameters:\r\n"
        "real & imaginary perturbations of z(0).",
    .family = engine::TypeFamily::kComplex,
    .defaultParameters = {0.0, 0.0, 0.0},
    .defaultView = {.x1 = -2.1, .y1 = -1.69, .x2 = 1.0, .y2 = 1.72},
    .formula = kernels::Formula::kMandelbrot,
    .create = create,
};

MandelbrotFractal::MandelbrotFractal(const platform::Services& services)
    : ComplexFractal(services) {
    identifyAs(kDescription.id);
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
