#include "complex/julia_fractal.h"

#include "complex/escape_kernels.h"

namespace complex {

using fixed28::toFixed28;

const engine::TypeDescription JuliaFractal::kDescription{
    .id = engine::kJulia,
    .name = "Julia",
    .nameStringId = 506,
    .description =
        "Classic Julia set fractal.\r\n"
        "z(0) = pixel\r\n"
        "z(n+1) = z(n)^2 + c\r\n"
        "Two parameters:\r\n"
        "real & imaginary parts of c.",
    .family = engine::TypeFamily::kComplex,
    .defaultParameters = {-0.7, 0.3, 0.0},
    .defaultView = {.x1 = -2.0, .y1 = -2.6, .x2 = 2.2, .y2 = 2.6},
    .create = engine::createWithDefaults<JuliaFractal>,
};

JuliaFractal::JuliaFractal(const platform::Services& services)
    : ComplexFractal(services, kDescription, kernels::Formula::kJulia) {}

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

}  // namespace complex
