#pragma once

#include "complex/complex_fractal.h"

namespace complex {

// z(0) the pixel; the parameters play no part.
class UnityFractal final : public ComplexFractal {
  public:
    explicit UnityFractal(const platform::Services& services);

    void setDefaultParameters() override;
    void setDefaultView() override;
    using ComplexFractal::iteratePoint;
    using ComplexFractal::smoothPoint;
    int iteratePoint(const EscapeParameters& p, double x, double y) override;
    EscapeValue smoothPoint(const EscapeParameters& p, double x, double y) override;
    std::optional<kernels::BatchSetup> batchSetup(const EscapeParameters& p) const override;
};

}  // namespace complex
