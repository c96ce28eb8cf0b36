#include "complex/unity_fractal.h"

#include "complex/escape_kernels.h"

namespace complex {

using fixed28::toFixed28;

const engine::TypeDescription UnityFractal::kDescription{
    .id = engine::kUnity,
    .name = "Unity",
    .nameStringId = 509,
    .description =
        "Complex fractal.\r\n"
        "z(0) = pixel\r\n"
        "x = real(z(n)), y = imag(z(n))\r\n"
        "k = x^2 + y^2\r\n"
        "y = (2 - k) * x\r\n"
        "x = (2 - k) * y\r\n"
        "z(n+1) = x + i * y\r\n"
        "No parameters.",
    .family = engine::TypeFamily::kComplex,
    .defaultParameters = {0.0, 0.0, 0.0},
    .defaultView = {.x1 = -1.75, .y1 = -2.0, .x2 = 1.75, .y2 = 2.0},
    .create = engine::createWithDefaults<UnityFractal>,
};

UnityFractal::UnityFractal(const platform::Services& services)
    : ComplexFractal(services, kDescription, kernels::Formula::kUnity) {}

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

}  // namespace complex
