#pragma once

#include "engine/type_description.h"
#include "orbit/orbit_fractal.h"

namespace orbit {

// x' = y - sqrt(|b x - c|) sign(x), y' = a - x.
class HopalongFractal final : public OrbitFractal {
  public:
    static const engine::TypeDescription kDescription;

    HopalongFractal(const platform::Services& services, double a, double b, double c);

    void iterate() override;
};

}  // namespace orbit
