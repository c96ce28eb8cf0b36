#include "app/complex_parameters_dialog.h"

#include <bit>
#include <climits>
#include <cstdint>

#include "complex/exact_orbit.h"
#include "complex/reference_budget.h"
#include "platform/c_format.h"
#include "platform/string_table.h"
#include "platform/text.h"

namespace app {

namespace {

// 100/255 and 2.55 as the nearest floats: the percentages users have seen and stored
// depend on the single-precision rounding.
constexpr float kPercentPerDepth = std::bit_cast<float>(std::uint32_t{0x3EC8C8C9});
constexpr float kDepthPerPercent = std::bit_cast<float>(std::uint32_t{0x40233333});
constexpr std::size_t kMethodNameUnits = 79;  // an 80-character buffer

std::string stringText(int id) {
    return std::string(platform::loadString(id));
}

void showRelief(ComplexParametersForm& form, const complex::ComplexFractal& fractal) {
    if (form.methodIndex == complex::kRelief) {
        form.relief = formatInteger(ComplexParametersDialog::reliefPercent(fractal.reliefDepth));
        form.reliefEnabled = true;
    } else {
        form.relief.clear();
        form.reliefEnabled = false;
    }
}

// Whether the field holds a number beyond the int range, which parseInteger takes as
// the largest int.
bool beyondIntRange(const std::string& text) {
    if (parseInteger(text) != INT_MAX)
        return false;
    std::size_t i = text.find_first_of("0123456789");
    while (i < text.size() && text[i] == '0')
        ++i;
    std::size_t end = i;
    while (end < text.size() && text[end] >= '0' && text[end] <= '9')
        ++end;
    const std::string digits = text.substr(i, end - i);
    const std::string largest = std::to_string(INT_MAX);
    return digits.size() > largest.size() || (digits.size() == largest.size() && digits > largest);
}

// Why the next run could not compute this many iterations; empty when it can. Views
// deeper than double resolves are computed by perturbation, whose reference orbits
// must fit in the memory the options allow.
std::string iterationRefusal(const complex::ComplexFractal& fractal, const std::string& typed,
                             const complex::EscapeFormula& formula) {
    if (fractal.deepView() == nullptr || !fractal.formula())
        return {};
    if (beyondIntRange(typed))
        return "At this depth the iteration limit is at most " +
               formatGrouped(complex::kMostDeepIterations) + ".";
    // The automatic limit replaces the one typed, and keeps within the memory itself.
    if (fractal.options().autoIterations)
        return {};
    const complex::ReferenceNeed need = complex::referenceNeed(formula);
    if (need.bytes <= fractal.referenceMemoryBytes())
        return {};
    const std::string orbits = need.orbits == 1
                                   ? "its reference orbit"
                                   : "its " + std::to_string(need.orbits) + " reference orbits";
    return "At this depth " + formatGrouped(static_cast<std::uint64_t>(formula.maxIterations)) +
           " iterations need " + formatGrouped(need.bytes) + " bytes for " + orbits + " (" +
           formatGrouped(need.statesEach) + " states of " + std::to_string(need.stateBytes) +
           " bytes each); the options allow " +
           formatGrouped(static_cast<std::uint64_t>(fractal.options().referenceMemoryMiB)) +
           " MiB.";
}

}  // namespace

int ComplexParametersDialog::reliefPercent(int depth) {
    // |depth| < 2^31 keeps the product far inside the range of long long.
    const float percent = static_cast<float>(depth) * kPercentPerDepth + 0.5f;
    return static_cast<int>(static_cast<long long>(percent));
}

int ComplexParametersDialog::reliefDepthFromPercent(int percent) {
    const float depth = static_cast<float>(percent) * kDepthPerPercent + 0.5f;
    const auto whole = static_cast<long long>(depth);  // |depth| < 5.5e9
    return static_cast<int>(static_cast<unsigned long long>(whole) & 0xFFu);
}

ComplexParametersForm ComplexParametersDialog::open(const complex::ComplexFractal& fractal) {
    ComplexParametersForm form;
    if (fractal.type == engine::kPhoenix) {
        form.realLabel = stringText(platform::kStringLabelP1);
        form.imagLabel = stringText(platform::kStringLabelP2);
    } else {
        form.realLabel = "Real[0]:";
        form.imagLabel = "Imag[0]:";
    }
    form.parametersEnabled = fractal.type != engine::kUnity;
    form.iterations = formatInteger(fractal.maxIterations());
    // Every digit: a parameter typed with more than six survives an untouched Ok.
    form.real = platform::formatRoundTrip(fractal.paramReal());
    form.imag = platform::formatRoundTrip(fractal.paramImag());
    for (std::size_t i = 0; i < form.methods.size(); ++i) {
        form.methods[i] = platform::truncateUtf16(
            platform::loadString(platform::kStringFirstMethod + static_cast<int>(i)),
            kMethodNameUnits);
    }
    const int method = fractal.method;
    form.methodIndex = method == complex::kRelief     ? complex::kRelief
                       : method == complex::kTesseral ? complex::kTesseral
                                                      : complex::kSimple;
    showRelief(form, fractal);
    form.useInteger = fractal.useInteger();
    for (std::size_t i = 0; i < form.colourings.size(); ++i)
        form.colourings[i] = kColouringNames[i];
    // A value this program does not know is shown as what it draws: bands.
    form.colouringIndex =
        fractal.colouring == complex::kSmooth ? complex::kSmooth : complex::kBands;
    return form;
}

void ComplexParametersDialog::methodChanged(ComplexParametersForm& form,
                                            const complex::ComplexFractal& fractal) {
    showRelief(form, fractal);
}

int ComplexParametersDialog::ok(const ComplexParametersForm& form,
                                complex::ComplexFractal& fractal) {
    std::string refusal;
    return ok(form, fractal, refusal);
}

int ComplexParametersDialog::ok(const ComplexParametersForm& form, complex::ComplexFractal& fractal,
                                std::string& refusal) {
    const int iterations = readInteger(form.iterations, fractal.maxIterations());
    const double real = readDouble(form.real, fractal.paramReal());
    const double imag = readDouble(form.imag, fractal.paramImag());
    refusal.clear();
    if (fractal.formula()) {
        refusal =
            iterationRefusal(fractal, form.iterations,
                             complex::EscapeFormula{*fractal.formula(), real, imag, iterations});
    }
    if (!refusal.empty())
        return kRefused;
    const bool integer = form.useInteger;
    fractal.setParameters(iterations, real, imag, integer);
    if (form.methodIndex >= 0)
        fractal.setMethod(form.methodIndex);
    // An unknown stored value stays unless the user picks another colouring.
    const int shown = fractal.colouring == complex::kSmooth ? complex::kSmooth : complex::kBands;
    if (form.colouringIndex >= 0 && form.colouringIndex != shown)
        fractal.setColouring(form.colouringIndex);
    if (fractal.method == complex::kRelief) {
        if (const auto percent = parseInteger(form.relief)) {
            fractal.reliefDepth = reliefDepthFromPercent(*percent);
        }
    }
    fractal.setParameters(iterations, real, imag, integer);
    return kDialogOk;
}

int ComplexParametersDialog::useDefaults(complex::ComplexFractal& fractal) {
    fractal.setDefaultParameters();
    return kDialogDefault;
}

}  // namespace app
