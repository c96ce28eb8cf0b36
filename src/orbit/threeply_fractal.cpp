#include "orbit/threeply_fractal.h"

#include <cmath>

namespace orbit {

ThreeplyFractal::ThreeplyFractal(const platform::Services& services, double a, double b, double c)
    : OrbitFractal(services, a, b, c) {
    identifyAs(engine::kThreeply);
}

void ThreeplyFractal::setDefaultParameters() {
    setParameters(10.0, 20.0, 30.0);
}

void ThreeplyFractal::setDefaultView() {
    showCentredOnOrigin();
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
