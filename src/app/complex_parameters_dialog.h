#pragma once

#include <array>
#include <string>

#include "app/dialog_fields.h"
#include "complex/complex_fractal.h"

namespace app {

// What the Complex Parameters dialog shows, field by field.
struct ComplexParametersForm {
    std::string iterations;
    std::string realLabel;
    std::string imagLabel;
    bool parametersEnabled = true;  // labels and fields of real and imaginary
    std::string real;
    std::string imag;
    std::array<std::string, 3> methods;  // the list, in scan-method order
    int methodIndex = -1;                // the selection; -1 for none
    std::string relief;                  // the relief depth as a percentage
    bool reliefEnabled = false;
    bool useInteger = false;
    std::array<std::string, 2> colourings;  // the list, in colouring order
    int colouringIndex = -1;                // the selection; -1 for none
};

// The escape-time types' iterations, parameters, scan method, relief depth and
// arithmetic.
class ComplexParametersDialog {
  public:
    static constexpr const char* kCaption = "Complex Parameters";
    static constexpr const char* kIterationsLabel = "Iterat.:";
    static constexpr const char* kMethodLabel = "Method:";
    static constexpr const char* kIntegerText = "Integer algorithm";
    static constexpr const char* kColouringLabel = "Colouring:";
    static constexpr std::array<const char*, 2> kColouringNames{"Bands", "Smooth"};

    static constexpr std::array<SpinStep, 4> kIterationSteps{
        {{0, 10}, {5, 50}, {10, 100}, {20, 500}}};
    static constexpr SpinRange kIterationRange{10, 10000, kIterationSteps};
    static constexpr std::array<SpinStep, 2> kReliefSteps{{{0, 1}, {3, 5}}};
    static constexpr SpinRange kReliefRange{0, 100, kReliefSteps};

    // Ok's result when the fields are refused: nothing changes, the dialog shows the
    // reason and stays open with what was typed.
    static constexpr int kRefused = 5;

    static ComplexParametersForm open(const complex::ComplexFractal& fractal);
    // The method list has changed to form.methodIndex: only "Relief" has a depth.
    static void methodChanged(ComplexParametersForm& form, const complex::ComplexFractal& fractal);
    // Applies the fields: the parameters restart the run, then the method, colouring
    // and depth are set and the run is restarted once more with them. An iteration
    // limit that the view's arithmetic cannot compute is refused: kRefused, with the
    // reason in refusal.
    static int ok(const ComplexParametersForm& form, complex::ComplexFractal& fractal,
                  std::string& refusal);
    static int ok(const ComplexParametersForm& form, complex::ComplexFractal& fractal);
    static int useDefaults(complex::ComplexFractal& fractal);

    // The depth 0..255 as the percentage the field shows, and back. Both are computed
    // in single precision, as they always were; the way back keeps the low 8 bits, so
    // 101 % gives 2.
    static int reliefPercent(int depth);
    static int reliefDepthFromPercent(int percent);
};

}  // namespace app
