#pragma once

#include <array>
#include <string>

#include "orbit/orbit_fractal.h"

namespace app {

// What the Parameters dialog of the orbit types shows, field by field.
struct ParametersForm {
    std::array<std::string, 3> labels;  // of a, b, c
    std::array<bool, 3> enabled{true, true, true};
    std::array<std::string, 3> values;  // a, b, c as shown
    std::string pointsPerColor;
    bool randomColors = false;
};

// The orbit types' a, b, c, points per colour and random colours.
class ParametersDialog {
  public:
    static constexpr const char* kCaption = "Parameters";
    static constexpr const char* kPointsPerColorLabel = "Pt/color:";
    static constexpr const char* kRandomColorsText = "Rnd. color";

    // The fields on opening, adapted to the type: Martin uses only a, Henon a and b,
    // Gingerbreadman's a and b are the start point.
    static ParametersForm open(const orbit::OrbitFractal& fractal);
    // Applies the fields (disabled ones too, as shown) and restarts the run.
    static int ok(const ParametersForm& form, orbit::OrbitFractal& fractal);
    // The type's default parameters.
    static int useDefaults(orbit::OrbitFractal& fractal);
};

}  // namespace app
