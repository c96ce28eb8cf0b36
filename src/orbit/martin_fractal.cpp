#include "orbit/martin_fractal.h"

#include <cmath>
#include <numbers>

namespace orbit {

namespace {

// An object with the type's default parameters.
engine::FractalPtr create(const platform::Services& services) {
    const auto& p = MartinFractal::kDescription.defaultParameters;
    return engine::FractalPtr(new MartinFractal(services, p[0]));
}

}  // namespace

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
    .formula = std::nullopt,
    .create = create,
};

MartinFractal::MartinFractal(const platform::Services& services, double a)
    : OrbitFractal(services, a, 0.0, 0.0) {
    identifyAs(kDescription.id);
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
