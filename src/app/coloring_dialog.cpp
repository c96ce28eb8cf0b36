#include "app/coloring_dialog.h"

#include <cmath>

#include "app/dialog_fields.h"
#include "platform/c_format.h"

namespace app {

namespace {

// Trims the blanks a user may type around a number.
std::string trimmed(const std::string& text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    const std::size_t last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

// A quarter of an octave: four presses double or halve the density. The steps land on
// the quarters themselves (4 after eight presses from 1, not 3.9999999999999987).
constexpr double kStepsPerOctave = 4.0;

double densityStep(double from, bool coarser) {
    const double quarters = std::round(std::log2(from) * kStepsPerOctave);
    return std::exp2((quarters + (coarser ? 1.0 : -1.0)) / kStepsPerOctave);
}

}  // namespace

ColoringForm ColoringDialog::open(const complex::ComplexFractal& fractal) {
    const complex::ColorControls& controls = fractal.colorControls();
    ColoringForm form;
    form.automaticDensity = controls.automaticDensity;
    form.density = platform::formatRoundTrip(controls.automaticDensity ? fractal.lastDensity()
                                                                       : controls.density);
    form.offset = platform::formatRoundTrip(controls.offset);
    for (std::size_t i = 0; i < form.transfers.size(); ++i)
        form.transfers[i] = kTransferNames[i];
    form.transferIndex = static_cast<int>(controls.transfer);
    if (controls.automaticDensity)
        form.foundDensity = "found: " + formatShortest(fractal.lastDensity());
    form.distance = controls.distance;
    form.distanceOffered = fractal.carriesDistance();
    return form;
}

std::optional<complex::ColorControls> ColoringDialog::read(const ColoringForm& form,
                                                           std::string& refusal) {
    complex::ColorControls controls;
    controls.automaticDensity = form.automaticDensity;
    refusal.clear();
    if (!form.automaticDensity) {
        const std::optional<double> density = complex::readNumber(trimmed(form.density));
        refusal = density ? complex::densityRefusal(*density) : "the density is not a number";
        if (!refusal.empty())
            return std::nullopt;
        controls.density = *density;
    }
    const std::optional<double> offset = complex::readNumber(trimmed(form.offset));
    refusal = offset ? complex::offsetRefusal(*offset) : "the offset is not a number";
    if (!refusal.empty())
        return std::nullopt;
    controls.offset = *offset;
    if (form.transferIndex >= 0 && form.transferIndex < static_cast<int>(form.transfers.size()))
        controls.transfer = static_cast<complex::Transfer>(form.transferIndex);
    controls.distance = form.distance;
    return controls;
}

bool ColoringDialog::preview(const ColoringForm& form, complex::ComplexFractal& fractal,
                             std::string& refusal) {
    const std::optional<complex::ColorControls> controls = read(form, refusal);
    if (!controls)
        return false;
    if (*controls != fractal.colorControls())
        showColorControls(fractal, *controls);
    return true;
}

int ColoringDialog::ok(const ColoringForm& form, complex::ComplexFractal& fractal,
                       std::string& refusal) {
    if (!preview(form, fractal, refusal))
        return kRefused;
    fractal.saveParameters();
    return kDialogOk;
}

void ColoringDialog::cancel(const complex::ColorControls& opened,
                            complex::ComplexFractal& fractal) {
    if (opened != fractal.colorControls())
        showColorControls(fractal, opened);
}

void showColorControls(complex::ComplexFractal& fractal, const complex::ColorControls& controls) {
    if (fractal.isRunning()) {
        fractal.restartWith([&] { fractal.setColorControls(controls); });
        return;
    }
    fractal.setColorControls(controls);
    if (!fractal.recolor())
        fractal.restartWith([] {});
}

std::optional<complex::ColorControls> densityStepped(const complex::ComplexFractal& fractal,
                                                     bool coarser) {
    complex::ColorControls controls = fractal.colorControls();
    const double from = controls.automaticDensity ? fractal.lastDensity() : controls.density;
    const double density = densityStep(from, coarser);
    if (!complex::densityRefusal(density).empty())
        return std::nullopt;
    controls.density = density;
    controls.automaticDensity = false;
    return controls;
}

std::optional<complex::ColorControls> offsetStepped(const complex::ComplexFractal& fractal,
                                                    int entries) {
    complex::ColorControls controls = fractal.colorControls();
    const int count = fractal.colorTable().colorCount();
    double offset = controls.offset + entries;
    // A turn by the whole palette shows the same picture: the offset stays small.
    if (count > 0)
        offset = std::fmod(offset, static_cast<double>(count));
    if (!complex::offsetRefusal(offset).empty())
        return std::nullopt;
    controls.offset = offset;
    return controls;
}

}  // namespace app
