// What a user can type into the dialogs' number fields.
#include <cmath>
#include <cstdint>
#include <string>

#include "app/complex_parameters_dialog.h"
#include "app/dialog_fields.h"
#include "app/options_dialog.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    if (const auto d = app::parseDouble(text); d && !std::isfinite(*d))
        __builtin_trap();
    const double kept = app::readDouble(text, 1.5);
    if (!std::isfinite(kept))
        __builtin_trap();
    (void)app::parseInteger(text);
    const int percent = app::readInteger(text, 50);
    const int depth = app::ComplexParametersDialog::reliefDepthFromPercent(percent);
    if (depth < 0 || depth > 255)
        __builtin_trap();
    (void)app::ComplexParametersDialog::reliefPercent(depth);
    if (app::OptionsDialog::delayMilliseconds(text) < 0)
        __builtin_trap();
    const int stepped = app::stepSpinValue(text, app::ComplexParametersDialog::kReliefRange,
                                           size > 0 ? data[0] - 128 : 1, 5);
    (void)stepped;
    return 0;
}
