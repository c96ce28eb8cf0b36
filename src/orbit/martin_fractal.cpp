#include "orbit/martin_fractal.h"

#include <cmath>
#include <numbers>

namespace orbit {

const engine::TypeDescription MartinFractal::kDescription{
    .id = engine::kMartin,
    .name = "Martin",
    .nameStringId = 504,
    .description =
        "Orbit in two dimensions.\r\n"
        "x(0) = y(0) = 0\r\n"
        "x(n+1) = y(n) - sin(x(n))\r\n"
        "y(n+1) = a - x(n)\r\n"
        "Parameter is a (try a value near pi).",
    .family = engine::TypeFamily::kOrbit,
    .defaultParameters = {std::numbers::pi, 0.0, 0.0},
    .defaultView = {.centredOnOrigin = true},
    .create = engine::createWithDefaults<MartinFractal>,
};

MartinFractal::MartinFractal(const platform::Services& services, double a)
    : OrbitFractal(services, a, 0.0, 0.0) {
    identifyAs(kDescription);
}

void MartinFractal::setParameters(double a, double, double) {
    OrbitFractal::setParameters(a, 0.0, 0.0);
}

void MartinFractal::iterate() {
    const OrbitParameters& p = runParameters();
    const double x = orbitX;
    const double y = orbitY;
    orbitX = y - std::sin(x);
    orbitY = p.a - x;
}

}  // namespace orbit
