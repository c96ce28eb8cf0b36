#pragma once

#include "complex/complex_fractal.h"
#include "engine/type_description.h"

namespace complex {

// z(0) the pixel; paramReal is p1, added to the real part, paramImag is p2,
// the factor of the previous iterate.
class PhoenixFractal final : public ComplexFractal {
  public:
    static const engine::TypeDescription kDescription;

    explicit PhoenixFractal(const platform::Services& services);

    using ComplexFractal::iteratePoint;
    using ComplexFractal::smoothPoint;
    int iteratePoint(const EscapeParameters& p, double x, double y) override;
    EscapeValue smoothPoint(const EscapeParameters& p, double x, double y) override;
};

}  // namespace complex
