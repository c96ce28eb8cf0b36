#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "engine/color_table.h"
#include "platform/bitmap.h"

namespace engine {

// One colour of a gradient at its place on the bar, 0 (left) to 1 (right).
struct GradientStop {
    double position = 0.0;
    platform::Color color = platform::kBlack;
    friend bool operator==(const GradientStop&, const GradientStop&) = default;
};

// Colour stops along a bar, kept in order of position, mixed in OKLab between
// neighbours; before the first stop and after the last their colours hold.
class Gradient {
  public:
    // The fewest and most entries a gradient is sampled to (a palette file holds no more
    // colours than Load Palette reads).
    static constexpr int kFewestEntries = 2;
    static constexpr int kMostEntries = kMaxPaletteEntries;
    // The most stops a gradient holds (and a palette gives when made editable).
    static constexpr std::size_t kMostStops = 256;

    Gradient() = default;
    explicit Gradient(std::vector<GradientStop> stops);

    // Evenly spaced entries of a palette as stops, at most stopCount (at least two
    // when the palette has two colours), the first and the last entry among them.
    static Gradient fromPalette(const std::vector<platform::Color>& colors, std::size_t stopCount);

    const std::vector<GradientStop>& stops() const { return stops_; }
    bool empty() const { return stops_.empty(); }

    // Each returns the stop's index after the change, nullopt when nothing changed (a
    // position that is not a number, an index out of range, a full gradient). Positions
    // are clamped to 0..1; a stop at the same position as others goes after them.
    std::optional<std::size_t> addStop(double position, platform::Color color);
    std::optional<std::size_t> moveStop(std::size_t index, double position);
    bool removeStop(std::size_t index);
    bool setStopColor(std::size_t index, platform::Color color);

    // The colour at position (clamped to 0..1); black for a gradient without stops.
    platform::Color colorAt(double position) const;
    // count entries from the left end to the right end (both ends included); none for
    // a gradient without stops or a count outside kFewestEntries..kMostEntries.
    std::vector<platform::Color> sample(int count) const;

  private:
    std::size_t insert(GradientStop stop);

    std::vector<GradientStop> stops_;
};

// Palette text as Load Palette reads it: one colour a line, "red green blue".
std::string paletteText(const std::vector<platform::Color>& colors);

}  // namespace engine
