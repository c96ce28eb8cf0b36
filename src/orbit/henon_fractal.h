#pragma once

#include "engine/type_description.h"
#include "orbit/orbit_fractal.h"

namespace orbit {

// x' = (y + 1) - (a x) x, y' = b x. c is always 0.
class HenonFractal final : public OrbitFractal {
  public:
    static const engine::TypeDescription kDescription;

    HenonFractal(const platform::Services& services, double a, double b);

    void setParameters(double a, double b, double c) override;
    void iterate() override;
};

}  // namespace orbit
