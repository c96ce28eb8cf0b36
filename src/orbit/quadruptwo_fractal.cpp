#include "orbit/quadruptwo_fractal.h"

#include <cmath>

namespace orbit {

QuadruptwoFractal::QuadruptwoFractal(const platform::Services& services, double a, double b,
                                     double c)
    : OrbitFractal(services, a, b, c) {
    identifyAs(engine::kQuadruptwo);
}

void QuadruptwoFractal::setDefaultParameters() {
    setParameters(40.0, 10.0, 30.0);
}

void QuadruptwoFractal::setDefaultView() {
    showCentredOnOrigin();
}

// Evaluated step by step in this order, so that an orbit is the same bit for bit
// wherever it is computed.
void QuadruptwoFractal::iterate() {
    const OrbitParameters& p = runParameters();
    const double x = orbitX;
    const double y = orbitY;
    double u = p.b * x - p.c;
    u = std::fabs(u);
    u = std::log(u);
    u = std::sin(u);
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
