#pragma once

#include "complex/complex_fractal.h"

namespace complex {

// z(0) the pixel; the parameters play no part.
class UnityFractal final : public ComplexFractal {
  public:
    explicit UnityFractal(const platform::Services& services);

    void setDefaultParameters() override;
    void setDefaultView() override;
    int iteratePoint(double x, double y) override;
    EscapeValue smoothPoint(double x, double y) override;
    std::optional<kernels::BatchSetup> batchSetup() const override;
};

}  // namespace complex
