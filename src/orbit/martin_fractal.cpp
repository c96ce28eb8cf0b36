#include "orbit/martin_fractal.h"

#include <cmath>
#include <numbers>

namespace orbit {

MartinFractal::MartinFractal(const platform::Services& services, double a)
    : OrbitFractal(services, a, 0.0, 0.0) {
    identifyAs(engine::kMartin);
}

void MartinFractal::setDefaultParameters() {
    setParameters(std::numbers::pi, 0.0, 0.0);
}

void MartinFractal::setDefaultView() {
    showCentredOnOrigin();
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
