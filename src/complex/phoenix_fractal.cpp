#include "complex/phoenix_fractal.h"

#include "complex/escape_kernels.h"

namespace complex {

using fixed28::toFixed28;

const engine::TypeDescription PhoenixFractal::kDescription{
    .id = engine::kPhoenix,
    .name = "Phoenix",
    .nameStringId = 512,
    .description =
        "Complex fractal.\r\n"
        "z(0) = pixel, y(0) = 0\r\n"
        "z(n+1) = z(n)^2 + p1 + p2*y(n)\r\n"
        "y(n+1) = z(n)\r\n"
        "Two parameters:\r\n"
        "p1 & p2.",
    .family = engine::TypeFamily::kComplex,
    .defaultParameters = {0.56667, -0.5, 0.0},
    .defaultView = {.x1 = -2.0, .y1 = -2.6, .x2 = 2.2, .y2 = 2.6},
    .create = engine::createWithDefaults<PhoenixFractal>,
};

PhoenixFractal::PhoenixFractal(const platform::Services& services)
    : ComplexFractal(services, kDescription, kernels::Formula::kPhoenix) {}

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

}  // namespace complex
