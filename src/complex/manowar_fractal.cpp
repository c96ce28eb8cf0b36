#include "complex/manowar_fractal.h"

#include "complex/escape_kernels.h"

namespace complex {

using fixed28::toFixed28;

const engine::TypeDescription ManowarFractal::kDescription{
    .id = engine::kManowar,
    .name = "Manowar",
    .nameStringId = 511,
    .description =
        "Complex fractal.\r\n"
        "c = pixel\r\n"
        "z(n+1) = z(n)^2 + z1(n) + c(n)\r\n"
        "z1(n+1) = z(n)\r\n"
        "Two parameters:\r\n"
        "real & imaginary perturbations of z(0).",
    .family = engine::TypeFamily::kComplex,
    .defaultParameters = {0.0, 0.0, 0.0},
    .defaultView = {.x1 = -1.2, .y1 = -1.4, .x2 = 1.2, .y2 = 1.4},
    .create = engine::createWithDefaults<ManowarFractal>,
};

ManowarFractal::ManowarFractal(const platform::Services& services)
    : ComplexFractal(services, kDescription, kernels::Formula::kManowar) {}

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

}  // namespace complex
