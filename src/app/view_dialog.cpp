#include "app/view_dialog.h"

#include "app/dialog_fields.h"
#include "platform/c_format.h"
#include "view/deep_view.h"

namespace app {

ViewForm ViewDialog::open(const engine::Fractal& fractal) {
    const view::ViewWindow& view = fractal.view();
    using platform::formatRoundTrip;
    return ViewForm{formatRoundTrip(view.xmin), formatRoundTrip(view.xmax),
                    formatRoundTrip(view.ymin), formatRoundTrip(view.ymax)};
}

int ViewDialog::ok(const ViewForm& form, engine::Fractal& fractal) {
    const view::ViewWindow& view = fractal.view();
    const double xmin = readDouble(form.xmin, view.xmin);
    const double xmax = readDouble(form.xmax, view.xmax);
    const double ymin = readDouble(form.ymin, view.ymin);
    const double ymax = readDouble(form.ymax, view.ymax);
    if (view::zoomsTooDeep(view, view.withRect(xmin, ymin, xmax, ymax)))
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

std::optional<DeepViewForm> ViewDialog::openDeep(const engine::Fractal& fractal) {
    const view::DeepView* view = fractal.deepView();
    if (view == nullptr)
        return std::nullopt;
    return DeepViewForm{view::centreXText(*view), view::centreYText(*view), view::widthText(*view)};
}

int ViewDialog::okDeep(const DeepViewForm& form, engine::Fractal& fractal, std::string& refusal) {
    const view::ViewTextResult text =
        view::parseCentreAndWidth(form.real, form.imaginary, form.width);
    if (!text.value) {
        refusal = text.error;
        return kRefused;
    }
    const std::optional<view::DeepView> view = view::DeepView::fromCentreAndWidth(
        text.value->x, text.value->y, text.value->width, fractal.width, fractal.height);
    if (!view) {
        refusal = "The view does not fit the picture.";
        return kRefused;
    }
    // Only the escape-time types compute views deeper than double resolves.
    if (!fractal.computesDeepViews() && view->isDeep())
        return kTooDeep;
    fractal.restartWith([&] {
        fractal.pushView();
        fractal.setPreciseView(*view);
    });
    return kDialogOk;
}

std::optional<DeepViewForm> ViewDialog::openCentre(const engine::Fractal& fractal) {
    if (!fractal.computesDeepViews() || fractal.deepView() != nullptr)
        return std::nullopt;
    const view::DeepView view = view::DeepView::fromViewWindow(fractal.view());
    return DeepViewForm{view::centreXText(view), view::centreYText(view), view::widthText(view)};
}

int ViewDialog::okEdgesOrCentre(const ViewForm& edges, const DeepViewForm& centre,
                                const DeepViewForm& shownCentre, engine::Fractal& fractal,
                                std::string& refusal) {
    const bool centreTyped = centre.real != shownCentre.real ||
                             centre.imaginary != shownCentre.imaginary ||
                             centre.width != shownCentre.width;
    if (centreTyped)
        return okDeep(centre, fractal, refusal);
    return ok(edges, fractal);
}

}  // namespace app
