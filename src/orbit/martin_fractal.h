#pragma once

#include "orbit/orbit_fractal.h"

namespace orbit {

// x' = y - sin(x), y' = a - x. Only a is used; b and c are always 0.
class MartinFractal final : public OrbitFractal {
  public:
    MartinFractal(const platform::Services& services, double a);

    void setDefaultParameters() override;
    void setDefaultView() override;
    void setParameters(double a, double b, double c) override;
    void iterate() override;
};

}  // namespace orbit
