#include "orbit/hopalong_fractal.h"

#include <cmath>

namespace orbit {

HopalongFractal::HopalongFractal(const platform::Services& services, double a, double b, double c)
    : OrbitFractal(services, a, b, c) {
    identifyAs(engine::kHopalong);
}

void HopalongFractal::setDefaultParameters() {
    setParameters(10.0, 20.0, 30.0);
}

void HopalongFractal::setDefaultView() {
    showCentredOnOrigin();
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
