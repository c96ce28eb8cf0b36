#pragma once

#include "engine/type_description.h"
#include "orbit/orbit_fractal.h"

namespace orbit {

// x' = y - atan(ln(|c x - b|)^2) sin(ln |b x - c|) sign(x), y' = a - x.
class QuadruptwoFractal final : public OrbitFractal {
  public:
    static const engine::TypeDescription kDescription;

    QuadruptwoFractal(const platform::Services& services, double a, double b, double c);

    void iterate() override;
};

}  // namespace orbit
