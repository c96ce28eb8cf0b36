#pragma once

#include "engine/type_description.h"
#include "orbit/orbit_fractal.h"

namespace orbit {

// x' = (1 - y) + |x|, y' = x, from the start point (a, b); c is kept but unused.
// A new run goes on from the point reached: the orbit moves back to (a, b) only when
// the parameters are set.
class GingerbreadmanFractal final : public OrbitFractal {
  public:
    static const engine::TypeDescription kDescription;

    GingerbreadmanFractal(const platform::Services& services, double a, double b, double c);

    void setParameters(double a, double b, double c) override;
    void prepareCalculation() override;
    void iterate() override;
};

}  // namespace orbit
