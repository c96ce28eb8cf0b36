#include "orbit/henon_fractal.h"

namespace orbit {

const engine::TypeDescription HenonFractal::kDescription{
    .id = engine::kHenon,
    .name = "Henon",
    .nameStringId = 507,
    .description =
        "Orbit in two dimensions.\r\n"
        "x(0) = y(0) = 0\r\n"
        "x(n+1) = 1 + y(n) - a*x(n)*x(n)\r\n"
        "y(n+1) = b*x(n)\r\n"
        "Two parameters: a and b.",
    .family = engine::TypeFamily::kOrbit,
    .defaultParameters = {1.4, 0.3, 0.0},
    .defaultView = {.x1 = -2.0, .y1 = -2.0, .x2 = 2.0, .y2 = 2.0},
    .create = engine::createWithDefaults<HenonFractal>,
};

HenonFractal::HenonFractal(const platform::Services& services, double a, double b)
    : OrbitFractal(services, a, b, 0.0) {
    identifyAs(kDescription);
}

void HenonFractal::setParameters(double a, double b, double) {
    OrbitFractal::setParameters(a, b, 0.0);
}

void HenonFractal::iterate() {
    const OrbitParameters& p = runParameters();
    const double x = orbitX;
    const double y = orbitY;
    orbitX = (y + 1.0) - (p.a * x) * x;
    orbitY = p.b * x;
}

}  // namespace orbit
