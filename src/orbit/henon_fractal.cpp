#include "orbit/henon_fractal.h"

namespace orbit {

HenonFractal::HenonFractal(const platform::Services& services, double a, double b)
    : OrbitFractal(services, a, b, 0.0) {
    identifyAs(engine::kHenon);
}

void HenonFractal::setDefaultParameters() {
    setParameters(1.4, 0.3, 0.0);
}

void HenonFractal::setDefaultView() {
    showRect(-2.0, -2.0, 2.0, 2.0);
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
