#pragma once

#include "engine/type_description.h"
#include "orbit/orbit_fractal.h"

namespace orbit {

// x' = y - sin(x), y' = a - x. Only a is used; b and c are always 0.
class MartinFractal final : public OrbitFractal {
  public:
    static const engine::TypeDescription kDescription;

    MartinFractal(const platform::Services& services, double a);

    void setParameters(double a, double b, double c) override;
    void iterate() override;
};

}  // namespace orbit
