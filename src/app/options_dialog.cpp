#include "app/options_dialog.h"

#include <cmath>

#include "app/dialog_fields.h"

namespace app {

OptionsForm OptionsDialog::open(const engine::Fractal& fractal) {
    OptionsForm form;
    const engine::Options options = fractal.options();
    form.alarm = options.alarm;
    form.animZoom = options.animZoom;
    form.allCores = options.allCores;
    form.delay = formatShortest(options.slideshowDelay * 0.001);
    form.autoIterations = options.autoIterations;
    form.exactCounts = options.exactCounts;
    form.referenceMemory = formatInteger(options.referenceMemoryMiB);
    form.zoomSpeed = formatShortest(options.zoomSpeedPercent / 100.0);
    return form;
}

int OptionsDialog::delayMilliseconds(const std::string& text) {
    const auto seconds = parseDouble(text);
    if (!seconds)
        return 0;
    int ms = 0;
    if (!view::truncToInt(*seconds * 1000.0, ms))
        return 0;
    return ms > 0 ? ms : 0;
}

int OptionsDialog::referenceMemoryMiB(const std::string& text) {
    const auto mib = parseInteger(text);
    if (!mib || !engine::Options::referenceMemoryAllowed(*mib))
        return 0;
    return *mib;
}

int OptionsDialog::zoomSpeedPercent(const std::string& text) {
    const auto factor = parseDouble(text);
    // The range is checked on the double, so the rounding below cannot overflow.
    if (!factor || !(*factor >= engine::Options::kLeastZoomSpeedPercent / 100.0 &&
                     *factor <= engine::Options::kMostZoomSpeedPercent / 100.0))
        return 0;
    const auto percent = std::lround(*factor * 100.0);
    return engine::Options::zoomSpeedAllowed(percent) ? static_cast<int>(percent) : 0;
}

int OptionsDialog::ok(const OptionsForm& form, engine::Fractal& fractal) {
    engine::Options options = fractal.options();
    options.alarm = form.alarm;
    options.animZoom = form.animZoom;
    options.allCores = form.allCores;
    if (const int ms = delayMilliseconds(form.delay); ms > 0)
        options.slideshowDelay = ms;
    options.autoIterations = form.autoIterations;
    options.exactCounts = form.exactCounts;
    if (const int mib = referenceMemoryMiB(form.referenceMemory); mib > 0)
        options.referenceMemoryMiB = mib;
    if (const int percent = zoomSpeedPercent(form.zoomSpeed); percent > 0)
        options.zoomSpeedPercent = percent;
    fractal.setOptions(options);
    return kDialogOk;
}

}  // namespace app
