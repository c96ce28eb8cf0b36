#include "orbit/threeply_fractal.h"

#include <cmath>

namespace orbit {

ThreeplyFractal::ThreeplyFractal(const platform::Services& services, double a, double b, double c)
    : OrbitFractal(services, a, b, c) {
    identifyAs(engine::kThreeply);
    computeDerivedValues();
}

void ThreeplyFractal::setDefaultParameters() {
    setParameters(10.0, 20.0, 30.0);
}

void ThreeplyFractal::setDefaultView() {
    showCentredOnOrigin();
}

// The derived values must be current before the worker runs again.
void ThreeplyFractal::setParameters(double a, double b, double c) {
    stopCalculation();
    storeParameters(a, b, c);
    computeDerivedValues();
    startCalculation();
}

void ThreeplyFractal::computeDerivedValues() {
    cosB = std::cos(paramB);
    sinABC = std::sin((paramC + paramA) + paramB);
}

// Evaluated step by step in this order, so that an orbit is the same bit for bit
// wherever it is computed.
void ThreeplyFractal::iterate() {
    const double x = orbitX;
    const double y = orbitY;
    double u = std::sin(x);
    u = cosB * u;
    u = u + paramC;
    const double w = sinABC * x;
    u = u - w;
    u = std::fabs(u);
    const double t = u * sign(x);
    orbitX = y - t;
    orbitY = paramA - x;
}

}  // namespace orbit
