#include "orbit/gingerbreadman_fractal.h"

#include <cmath>

namespace orbit {

const engine::TypeDescription GingerbreadmanFractal::kDescription{
    .id = engine::kGingerbreadman,
    .name = "Gingerbreadman",
    .nameStringId = 508,
    .description =
        "Orbit in two dimensions.\r\n"
        "x(n+1) = 1 - y(n) + |x(n)|\r\n"
        "y(n+1) = x(n)\r\n"
        "Two parameters:\r\n"
        "initial values of x(0) and y(0).",
    .family = engine::TypeFamily::kOrbit,
    .defaultParameters = {-0.1, 0.0, 0.0},
    .defaultView = {.x1 = -4.5, .y1 = 8.5, .x2 = 8.5, .y2 = -4.5},
    .create = engine::createWithDefaults<GingerbreadmanFractal>,
};

GingerbreadmanFractal::GingerbreadmanFractal(const platform::Services& services, double a, double b,
                                             double c)
    : OrbitFractal(services, a, b, c) {
    identifyAs(kDescription);
    orbitX = a;
    orbitY = b;
}

void GingerbreadmanFractal::setParameters(double a, double b, double c) {
    restartWith([&] {
        storeParameters(a, b, c);
        orbitX = a;
        orbitY = b;
    });
}

void GingerbreadmanFractal::prepareCalculation() {
    takeRunParameters();
    resetColors();
}

void GingerbreadmanFractal::iterate() {
    const double x = orbitX;
    const double y = orbitY;
    orbitX = (1.0 - y) + std::fabs(x);
    orbitY = x;
}

}  // namespace orbit
