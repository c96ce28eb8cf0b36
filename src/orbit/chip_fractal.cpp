#include "orbit/chip_fractal.h"

#include <cmath>

namespace orbit {

const engine::TypeDescription ChipFractal::kDescription{
    .id = engine::kChip,
    .name = "Chip",
    .nameStringId = 501,
    .description =
        "Orbit in two dimensions.\r\n"
        "x(0) = y(0) = 0\r\n"
        "x(n+1) = y(n) - sign(x(n)) * cos(sqr(ln(abs(b*x(n)-c)))) * "
        "arctan(sqr(ln(abs(c*x(n)-b))))\r\n"
        "y(n+1) = a - x(n)\r\n"
        "Parameters are a, b, and c.",
    .family = engine::TypeFamily::kOrbit,
    .defaultParameters = {10.0, 20.0, 30.0},
    .defaultView = {.centredOnOrigin = true},
    .create = engine::createWithDefaults<ChipFractal>,
};

ChipFractal::ChipFractal(const platform::Services& services, double a, double b, double c)
    : OrbitFractal(services, a, b, c) {
    identifyAs(kDescription);
}

// Evaluated step by step in this order, so that an orbit is the same bit for bit
// wherever it is computed.
void ChipFractal::iterate() {
    const OrbitParameters& p = runParameters();
    const double x = orbitX;
    const double y = orbitY;
    double u = p.b * x - p.c;
    u = std::fabs(u);
    u = std::log(u);
    u = u * u;
    u = std::cos(u);
    double v = p.c * x - p.b;
    v = std::fabs(v);
    v = std::log(v);
    v = v * v;
    v = std::atan(v);
    double t = v * u;
    t = t * sign(x);
    orbitX = y - t;
    orbitY = p.a - x;
}

}  // namespace orbit
