#pragma once

#include "complex/complex_fractal.h"
#include "engine/type_description.h"

namespace complex {

// z(0) from the two parameters, c the pixel.
class MandelbrotFractal final : public ComplexFractal {
  public:
    static const engine::TypeDescription kDescription;

    explicit MandelbrotFractal(const platform::Services& services);

    using ComplexFractal::iteratePoint;
    using ComplexFractal::smoothPoint;
    int iteratePoint(const EscapeParameters& p, double x, double y) override;
    EscapeValue smoothPoint(const EscapeParameters& p, double x, double y) override;
};

}  // namespace complex
