#pragma once

#include <array>
#include <optional>
#include <string>

#include "complex/color_controls.h"
#include "complex/complex_fractal.h"

namespace app {

// What the Colouring dialog shows, field by field.
struct ColoringForm {
    std::string density;  // values (after the transfer) a palette step
    bool automaticDensity = false;
    std::string offset;                    // palette entries the palette is turned by
    std::array<std::string, 3> transfers;  // the list, in transfer order
    int transferIndex = 0;
    // What the automatic density found for the picture shown; empty when not automatic.
    std::string foundDensity;
    // Colours by the distance to the boundary; offered only for the types that carry
    // it (the check box is disabled for the others).
    bool distance = false;
    bool distanceOffered = false;
};

// An escape-time picture's colouring controls, shown on the picture as they change:
// a finished picture is coloured again from its kept values at once, any other is
// computed again.
class ColoringDialog {
  public:
    static constexpr const char* kCaption = "Colouring";
    static constexpr const char* kDensityLabel = "Density:";
    static constexpr const char* kAutomaticText = "Automatic density";
    static constexpr const char* kOffsetLabel = "Offset:";
    static constexpr const char* kTransferLabel = "Transfer:";
    static constexpr const char* kDistanceText = "Distance estimation (Mandelbrot and Julia)";
    static constexpr std::array<const char*, 3> kTransferNames{"Linear", "Square root",
                                                               "Logarithm"};
    // Ok's result when the fields are refused: the dialog shows the reason and stays.
    static constexpr int kRefused = 5;

    static ColoringForm open(const complex::ComplexFractal& fractal);
    // The controls of the form; nullopt with the reason in refusal when a field is no
    // density or offset that can be used.
    static std::optional<complex::ColorControls> read(const ColoringForm& form,
                                                      std::string& refusal);
    // The live preview: the picture shows the form's controls; a refused form changes
    // nothing (the reason in refusal).
    static bool preview(const ColoringForm& form, complex::ComplexFractal& fractal,
                        std::string& refusal);
    // Keeps the form's controls (stored with the type's parameters): kDialogOk, or
    // kRefused with the reason.
    static int ok(const ColoringForm& form, complex::ComplexFractal& fractal, std::string& refusal);
    // Puts back the controls the dialog opened with.
    static void cancel(const complex::ColorControls& opened, complex::ComplexFractal& fractal);
};

// Shows controls on the picture: coloured again from its kept values where they
// serve, otherwise computed again.
void showColorControls(complex::ComplexFractal& fractal, const complex::ColorControls& controls);

// The keys' steps: the density a quarter of an octave finer or coarser (an automatic
// density is first taken as the one it found), the offset one palette entry on or
// back (kept within the palette). nullopt when the step would leave the range.
std::optional<complex::ColorControls> densityStepped(const complex::ComplexFractal& fractal,
                                                     bool coarser);
std::optional<complex::ColorControls> offsetStepped(const complex::ComplexFractal& fractal,
                                                    int entries);

}  // namespace app
