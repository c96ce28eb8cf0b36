#pragma once

#include "complex/complex_fractal.h"
#include "engine/fractal_types.h"

namespace complex {

// z(0) the pixel; paramReal is p1, added to the real part, paramImag is p2,
// the factor of the previous iterate.
class PhoenixFractal final : public ComplexFractal {
  public:
    static const engine::TypeDescription kDescription;

    explicit PhoenixFractal(const platform::Services& services);

    int iteratePoint(double x, double y) override;
    EscapeValue smoothPoint(double x, double y) override;
    std::optional<kernels::BatchSetup> batchSetup() const override;
};

}  // namespace complex
