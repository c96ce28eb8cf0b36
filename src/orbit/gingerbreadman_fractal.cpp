#include "orbit/gingerbreadman_fractal.h"

#include <cmath>

namespace orbit {

GingerbreadmanFractal::GingerbreadmanFractal(const platform::Services& services, double a, double b,
                                             double c)
    : OrbitFractal(services, a, b, c) {
    identifyAs(engine::kGingerbreadman);
    orbitX = a;
    orbitY = b;
}

void GingerbreadmanFractal::setDefaultParameters() {
    setParameters(-0.1, 0.0, 0.0);
}

void GingerbreadmanFractal::setDefaultView() {
    showRect(-4.5, 8.5, 8.5, -4.5);
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
