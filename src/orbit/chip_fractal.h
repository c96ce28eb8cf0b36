#pragma once

#include "orbit/orbit_fractal.h"

namespace orbit {

// x' = y - atan(ln(|c x - b|)^2) cos(ln(|b x - c|)^2) sign(x), y' = a - x.
class ChipFractal final : public OrbitFractal {
  public:
    ChipFractal(const platform::Services& services, double a, double b, double c);

    void setDefaultParameters() override;
    void setDefaultView() override;
    void iterate() override;
};

}  // namespace orbit
