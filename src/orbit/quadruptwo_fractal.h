#pragma once

#include "orbit/orbit_fractal.h"

namespace orbit {

// x' = y - atan(ln(|c x - b|)^2) sin(ln |b x - c|) sign(x), y' = a - x.
class QuadruptwoFractal final : public OrbitFractal {
  public:
    QuadruptwoFractal(const platform::Services& services, double a, double b, double c);

    void setDefaultParameters() override;
    void setDefaultView() override;
    void iterate() override;
};

}  // namespace orbit
