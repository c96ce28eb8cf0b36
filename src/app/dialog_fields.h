#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace app {

// Result codes of the dialogs (the Type dialog returns a type id or 0 instead).
constexpr int kDialogOk = 1;
constexpr int kDialogCancel = 2;
constexpr int kDialogDefault = 3;

// Button texts shared by the dialogs.
inline constexpr const char* kOkText = "Ok";
inline constexpr const char* kCancelText = "Cancel";
inline constexpr const char* kDefaultText = "Default";
// The label of a field that the current type does not use.
inline constexpr const char* kUnusedLabel = "---";

// Numbers as the dialog fields show them: the C library's formats with '.' as the
// decimal point whatever the user's locale.
std::string formatShortest(double value);  // "%lg": six significant digits
std::string formatFixed(double value);     // "%lf": six decimals
std::string formatInteger(long long value);
// A count with its digits grouped as the user's locale groups them ("1,234,567",
// "1.234.567"); in the C locale, which has no separator, by commas in threes.
std::string formatGrouped(std::uint64_t value);

// One number per field, read as "%lf" reads it (leading white space, anything after
// the number ignored). nullopt when nothing converts, and also for NaN and infinities
// ("nan", "inf", "1e999"): no field may hand those on.
std::optional<double> parseDouble(const std::string& text);
// A decimal integer as "%d" reads it: leading white space, an optional sign, digits.
// nullopt when there are no digits. Values beyond the int range are clamped to it
// instead of overflowing.
std::optional<int> parseInteger(const std::string& text);

// What a field hands on: its number, or the value it had when it does not parse.
double readDouble(const std::string& text, double previous);
int readInteger(const std::string& text, int previous);

// An up-down control attached to a number field. Holding its button makes the steps
// grow: each entry gives the step used once the button has been held that long.
struct SpinStep {
    int afterSeconds;
    int step;
};
struct SpinRange {
    int minimum;
    int maximum;
    std::span<const SpinStep> steps;  // ascending afterSeconds, the first one at 0
};

// The step of a button held for heldMs milliseconds (1 when the table is empty).
int spinStepAfter(std::span<const SpinStep> steps, std::int64_t heldMs);
// The value after count steps of size step (negative count: downwards) from the
// field's text, kept within the range. A field that does not parse counts from the
// minimum. Values outside the range are only ever changed by stepping.
int stepSpinValue(const std::string& text, const SpinRange& range, int count, int step);

}  // namespace app
