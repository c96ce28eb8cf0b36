#pragma once

#include "engine/type_description.h"
#include "orbit/orbit_fractal.h"

namespace orbit {

// x' = y - |(cos(b) sin(x) + c) - sin(a + b + c) x| sign(x), y' = a - x.
class ThreeplyFractal final : public OrbitFractal {
  public:
    static const engine::TypeDescription kDescription;

    ThreeplyFractal(const platform::Services& services, double a, double b, double c);

    void prepareCalculation() override;
    void iterate() override;

    // Derived from the run's a, b and c, so that the map needs one sine per point.
    double cosB = 0.0;
    double sinABC = 0.0;
};

}  // namespace orbit
