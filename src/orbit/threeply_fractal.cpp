#include "orbit/threeply_fractal.h"

#include <cmath>

namespace orbit {

const engine::TypeDescription ThreeplyFractal::kDescription{
    .id = engine::kThreeply,
    .name = "Threeply",
    .nameStringId = 503,
    .description =
        "Orbit in two dimensions.\r\n"
        "x(0) = y(0) = 0\r\n"
        "x(n+1) = y(n) - sign(x(n)) * (abs(sin(x(n))*cos(b) + c-x(n)*sin(a+b+c)))\r\n"
        "y(n+1) = a - x(n)\r\n"
        "Parameters are a, b, and c.",
    .family = engine::TypeFamily::kOrbit,
    .defaultParameters = {10.0, 20.0, 30.0},
    .defaultView = {.centredOnOrigin = true},
    .create = engine::createWithDefaults<ThreeplyFractal>,
};

ThreeplyFractal::ThreeplyFractal(const platform::Services& services, double a, double b, double c)
    : OrbitFractal(services, a, b, c) {
    identifyAs(kDescription);
}

// The derived values of the run's parameters, once per run rather than per point.
void ThreeplyFractal::prepareCalculation() {
    OrbitFractal::prepareCalculation();
    const OrbitParameters& p = runParameters();
    cosB = std::cos(p.b);
    sinABC = std::sin((p.c + p.a) + p.b);
}

// Evaluated step by step in this order, so that an orbit is the same bit for bit
// wherever it is computed.
void ThreeplyFractal::iterate() {
    const OrbitParameters& p = runParameters();
    const double x = orbitX;
    const double y = orbitY;
    double u = std::sin(x);
    u = cosB * u;
    u = u + p.c;
    const double w = sinABC * x;
    u = u - w;
    u = std::fabs(u);
    const double t = u * sign(x);
    orbitX = y - t;
    orbitY = p.a - x;
}

}  // namespace orbit
