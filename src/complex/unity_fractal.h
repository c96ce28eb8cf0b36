#pragma once

#include "complex/complex_fractal.h"
#include "engine/type_description.h"

namespace complex {

// z(0) the pixel; the parameters play no part.
class UnityFractal final : public ComplexFractal {
  public:
    static const engine::TypeDescription kDescription;

    explicit UnityFractal(const platform::Services& services);

    using ComplexFractal::iteratePoint;
    using ComplexFractal::smoothPoint;
    int iteratePoint(const EscapeParameters& p, double x, double y) override;
    EscapeValue smoothPoint(const EscapeParameters& p, double x, double y) override;
};

}  // namespace complex
