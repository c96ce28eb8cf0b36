#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace complex {

// What the count goes through before the palette spreads it: the count itself, its
// square root or its logarithm (of one more than the count, so that 0 stays 0).
enum class Transfer { kLinear = 0, kSquareRoot = 1, kLogarithm = 2 };

// How a picture's kept values are spread over the palette: density values (after the
// transfer) per palette step, the palette turned by offset entries. The defaults give
// the pictures of one palette entry per count. With automaticDensity the density is
// found from the picture's own counts as each picture is computed. With distance the
// colour comes from each point's estimated distance to the set's boundary instead of its
// count, where the type's derivative is known (Mandelbrot and Julia); other types keep
// their counts' colours.
struct ColorControls {
    double density = 1.0;
    double offset = 0.0;
    Transfer transfer = Transfer::kLinear;
    bool automaticDensity = false;
    bool distance = false;

    bool isDefault() const noexcept {
        return density == 1.0 && offset == 0.0 && transfer == Transfer::kLinear &&
               !automaticDensity && !distance;
    }
    friend bool operator==(const ColorControls&, const ColorControls&) = default;
};

// Controls given one by one (on a command line): each given replaces the one held.
struct ColorControlChanges {
    std::optional<double> density;
    bool automaticDensity = false;
    std::optional<double> offset;
    std::optional<Transfer> transfer;
    std::optional<bool> distance;

    ColorControls appliedTo(ColorControls controls) const noexcept {
        if (density) {
            controls.density = *density;
            controls.automaticDensity = false;
        }
        if (automaticDensity)
            controls.automaticDensity = true;
        if (offset)
            controls.offset = *offset;
        if (transfer)
            controls.transfer = *transfer;
        if (distance)
            controls.distance = *distance;
        return controls;
    }
};

// A density finer than this would spread one count over thousands of palette
// entries; one coarser than this puts any picture into a single entry.
inline constexpr double kFinestDensity = 1e-3;
inline constexpr double kCoarsestDensity = 1e9;
// Turning the palette further than this is no use and loses the offset's fraction.
inline constexpr double kLargestOffset = 1e9;

// Why a density or an offset cannot be used (empty when it can): a density must be a
// number between kFinestDensity and kCoarsestDensity, an offset a number of at most
// kLargestOffset either way.
std::string densityRefusal(double density);
std::string offsetRefusal(double offset);

// The transfer's word ("linear", "sqrt", "log") and back; nullopt for any other word.
std::string_view transferWord(Transfer transfer) noexcept;
std::optional<Transfer> transferFromWord(std::string_view word) noexcept;

// A whole text as a number (no sign of anything else around it); nullopt otherwise.
std::optional<double> readNumber(std::string_view text);

// The field a parameter string carries for controls that are not the defaults, with
// its leading comma ("color:<density or auto>:<offset>:<transfer>", and ":distance"
// after them when the colour comes from distances); empty for the defaults, so that such
// strings stay as they always were.
std::string colorControlsField(const ColorControls& controls);
// The controls a parameter string carries; the defaults when it carries none, or
// when its field is damaged (a missing part, a density or offset that would be
// refused, an unknown transfer).
ColorControls readColorControlsField(std::string_view parameters);

}  // namespace complex
