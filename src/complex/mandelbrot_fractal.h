#pragma once

#include "complex/complex_fractal.h"

namespace complex {

// z(0) from the two parameters, c the pixel.
class MandelbrotFractal final : public ComplexFractal {
  public:
    explicit MandelbrotFractal(const platform::Services& services);

    void setDefaultParameters() override;
    void setDefaultView() override;
    using ComplexFractal::iteratePoint;
    using ComplexFractal::smoothPoint;
    int iteratePoint(const EscapeParameters& p, double x, double y) override;
    EscapeValue smoothPoint(const EscapeParameters& p, double x, double y) override;
    std::optional<kernels::BatchSetup> batchSetup(const EscapeParameters& p) const override;
};

}  // namespace complex
