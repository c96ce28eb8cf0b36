#include "complex/mandelbrot_fractal.h"

#include "complex/escape_kernels.h"

namespace complex {

using fixed28::toFixed28;

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
    .create = engine::createWithDefaults<MandelbrotFractal>,
};

MandelbrotFractal::MandelbrotFractal(const platform::Services& services)
    : ComplexFractal(services, kDescription, kernels::Formula::kMandelbrot) {}

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

}  // namespace complex
