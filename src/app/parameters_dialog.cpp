#include "app/parameters_dialog.h"

#include "app/dialog_fields.h"
#include "platform/string_table.h"

namespace app {

namespace {

std::string labelText(int stringId) {
    return std::string(platform::loadString(stringId));
}

void adaptToType(engine::FractalType type, ParametersForm& form) {
    form.labels = {"A:", "B:", "C:"};
    switch (type) {
        case engine::kMartin:
            form.enabled = {true, false, false};
            form.labels[1] = form.labels[2] = kUnusedLabel;
            break;
        case engine::kHenon:
            form.enabled = {true, true, false};
            form.labels[2] = kUnusedLabel;
            break;
        case engine::kGingerbreadman:
            form.enabled = {true, true, false};
            form.labels = {labelText(platform::kStringLabelX0), labelText(platform::kStringLabelY0),
                           kUnusedLabel};
            break;
        default:
            break;
    }
}

}  // namespace

ParametersForm ParametersDialog::open(const orbit::OrbitFractal& fractal) {
    ParametersForm form;
    adaptToType(fractal.type, form);
    form.values = {formatShortest(fractal.paramA()), formatShortest(fractal.paramB()),
                   formatShortest(fractal.paramC())};
    form.pointsPerColor = formatInteger(fractal.getPointsPerColor());
    form.randomColors = fractal.options().randomColors;
    return form;
}

int ParametersDialog::ok(const ParametersForm& form, orbit::OrbitFractal& fractal) {
    const double a = readDouble(form.values[0], fractal.paramA());
    const double b = readDouble(form.values[1], fractal.paramB());
    const double c = readDouble(form.values[2], fractal.paramC());
    fractal.setParameters(a, b, c);
    // Read as a plain decimal integer: a field without digits means 0, that is a new
    // colour after every point.
    fractal.setPointsPerColor(parseInteger(form.pointsPerColor).value_or(0));
    fractal.setOption(&engine::Options::randomColors, form.randomColors);
    return kDialogOk;
}

int ParametersDialog::useDefaults(orbit::OrbitFractal& fractal) {
    fractal.setDefaultParameters();
    return kDialogDefault;
}

}  // namespace app
