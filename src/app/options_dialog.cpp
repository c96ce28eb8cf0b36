#include "app/options_dialog.h"

#include "app/dialog_fields.h"

namespace app {

OptionsForm OptionsDialog::open(const engine::Fractal& fractal) {
    OptionsForm form;
    form.alarm = fractal.alarm;
    form.animZoom = fractal.animZoom;
    form.allCores = fractal.allCores;
    form.delay = formatShortest(fractal.slideshowDelay * 0.001);
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

int OptionsDialog::ok(const OptionsForm& form, engine::Fractal& fractal) {
    fractal.alarm = form.alarm;
    fractal.animZoom = form.animZoom;
    fractal.allCores = form.allCores;
    if (const int ms = delayMilliseconds(form.delay); ms > 0)
        fractal.slideshowDelay = ms;
    return kDialogOk;
}

}  // namespace app
