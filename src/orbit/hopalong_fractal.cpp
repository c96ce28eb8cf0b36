#include "orbit/hopalong_fractal.h"

#include <cmath>

namespace orbit {

const engine::TypeDescription HopalongFractal::kDescription{
    .id = engine::kHopalong,
    .name = "Hopalong",
    .nameStringId = 500,
    .description =
        "Orbit in two dimensions.\r\n"
        "x(0) = y(0) = 0\r\n"
        "x(n+1) = y(n) - sign(x(n)) * sqrt(abs(b*x(n)-c))\r\n"
        "y(n+1) = a - x(n)\r\n"
        "Parameters are a, b, and c.",
    .family = engine::TypeFamily::kOrbit,
    .defaultParameters = {10.0, 20.0, 30.0},
    .defaultView = {.centredOnOrigin = true},
    .create = engine::createWithDefaults<HopalongFractal>,
};

HopalongFractal::HopalongFractal(const platform::Services& services, double a, double b, double c)
    : OrbitFractal(services, a, b, c) {
    identifyAs(kDescription);
}

// Evaluated step by step in this order, so that an orbit is the same bit for bit
// wherever it is computed.
void HopalongFractal::iterate() {
    const OrbitParameters& p = runParameters();
    const double x = orbitX;
    const double y = orbitY;
    double u = p.b * x - p.c;
    u = std::fabs(u);
    u = std::sqrt(u);
    const double t = u * sign(x);
    orbitX = y - t;
    orbitY = p.a - x;
}

}  // namespace orbit
