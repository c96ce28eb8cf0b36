#include "app/view_dialog.h"

#include "app/dialog_fields.h"
#include "platform/c_format.h"

namespace app {

ViewForm ViewDialog::open(const engine::Fractal& fractal) {
    const engine::ViewWindow& view = fractal.view();
    using platform::formatRoundTrip;
    return ViewForm{formatRoundTrip(view.xmin), formatRoundTrip(view.xmax),
                    formatRoundTrip(view.ymin), formatRoundTrip(view.ymax)};
}

int ViewDialog::ok(const ViewForm& form, engine::Fractal& fractal) {
    const engine::ViewWindow& view = fractal.view();
    const double xmin = readDouble(form.xmin, view.xmin);
    const double xmax = readDouble(form.xmax, view.xmax);
    const double ymin = readDouble(form.ymin, view.ymin);
    const double ymax = readDouble(form.ymax, view.ymax);
    if (engine::zoomsTooDeep(view, view.withRect(xmin, ymin, xmax, ymax)))
        return kTooDeep;
    fractal.restartWith([&] {
        fractal.pushView();
        fractal.setViewRect(xmin, ymin, xmax, ymax);
    });
    return kDialogOk;
}

int ViewDialog::useDefaults(engine::Fractal& fractal) {
    fractal.setDefaultView();
    return kDialogDefault;
}

}  // namespace app
