#include "gui/dialogs/dialogs.h"

#include <memory>

#include "app/dialog_fields.h"
#include "gui/dialogs/about_dialog_widget.h"
#include "gui/dialogs/coloring_dialog_widget.h"
#include "gui/dialogs/complex_parameters_dialog_widget.h"
#include "gui/dialogs/options_dialog_widget.h"
#include "gui/dialogs/parameters_dialog_widget.h"
#include "gui/dialogs/statistics_dialog_widget.h"
#include "gui/dialogs/type_dialog_widget.h"
#include "gui/dialogs/view_dialog_widget.h"

namespace gui {

namespace {

std::unique_ptr<DialogFrame> makeDialog(app::DialogId dialog, engine::Fractal& fractal,
                                        app::Shell& shell, QWidget* parent) {
    switch (dialog) {
        case app::DialogId::About:
            return std::make_unique<AboutDialogWidget>(parent);
        case app::DialogId::Type:
            return std::make_unique<TypeDialogWidget>(parent, fractal, &shell);
        case app::DialogId::Parameters:
            if (auto* orbit = dynamic_cast<orbit::OrbitFractal*>(&fractal)) {
                return std::make_unique<ParametersDialogWidget>(parent, *orbit);
            }
            return nullptr;
        case app::DialogId::View:
            return std::make_unique<ViewDialogWidget>(parent, fractal);
        case app::DialogId::ComplexParameters:
            if (auto* escape = dynamic_cast<complex::ComplexFractal*>(&fractal)) {
                return std::make_unique<ComplexParametersDialogWidget>(parent, *escape);
            }
            return nullptr;
        case app::DialogId::Options:
            return std::make_unique<OptionsDialogWidget>(parent, fractal, &shell);
        case app::DialogId::Statistics:
            return std::make_unique<StatisticsDialogWidget>(parent, fractal);
        case app::DialogId::Coloring:
            if (auto* escape = dynamic_cast<complex::ComplexFractal*>(&fractal))
                return std::make_unique<ColoringDialogWidget>(parent, *escape);
            return nullptr;
    }
    return nullptr;
}

}  // namespace

int runDialog(app::DialogId dialog, engine::Fractal& fractal, app::Shell& shell, QWidget* parent) {
    const std::unique_ptr<DialogFrame> widget = makeDialog(dialog, fractal, shell, parent);
    if (!widget)
        return app::kDialogCancel;
    return widget->exec();
}

}  // namespace gui
