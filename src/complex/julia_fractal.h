#pragma once

#include "complex/complex_fractal.h"
#include "engine/fractal_types.h"

namespace complex {

// z(0) the pixel, c from the two parameters.
class JuliaFractal final : public ComplexFractal {
  public:
    static const engine::TypeDescription kDescription;

    explicit JuliaFractal(const platform::Services& services);

    int iteratePoint(double x, double y) override;
    EscapeValue smoothPoint(double x, double y) override;
    std::optional<kernels::BatchSetup> batchSetup() const override;
};

}  // namespace complex
