#pragma once

#include "orbit/orbit_fractal.h"

namespace orbit {

// x' = y - sqrt(|b x - c|) sign(x), y' = a - x.
class HopalongFractal final : public OrbitFractal {
  public:
    HopalongFractal(const platform::Services& services, double a, double b, double c);

    void setDefaultParameters() override;
    void setDefaultView() override;
    void iterate() override;
};

}  // namespace orbit
