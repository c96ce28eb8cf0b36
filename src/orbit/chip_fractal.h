#pragma once

#include "engine/type_description.h"
#include "orbit/orbit_fractal.h"

namespace orbit {

// x' = y - atan(ln(|c x - b|)^2) cos(ln(|b x - c|)^2) sign(x), y' = a - x.
class ChipFractal final : public OrbitFractal {
  public:
    static const engine::TypeDescription kDescription;

    ChipFractal(const platform::Services& services, double a, double b, double c);

    void iterate() override;
};

}  // namespace orbit
