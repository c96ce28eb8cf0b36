#pragma once

#include "complex/color_controls.h"
#include "complex/escape_value.h"
#include "engine/color_table.h"
#include "platform/bitmap.h"

namespace complex {

// How escape counts become colours; stored per type with its parameters. Any other
// value colours as kBands and is kept as it is.
constexpr int kBands = 0;   // one palette entry per whole count
constexpr int kSmooth = 1;  // the continuous count, blended between neighbouring entries

// Channel-wise shading of the relief scan; depth is 0..255.
platform::Color brightenColor(platform::Color color, int depth) noexcept;
platform::Color darkenColor(platform::Color color, int depth) noexcept;

// A value after the transfer (value is 0 or more).
double transferred(double value, Transfer transfer) noexcept;

// The one mapping from escape values to colours, for one run: the palette, the
// iteration limit, the colouring and the controls that spread the values over the
// palette (their density already found when it is automatic). Every escape-time picture is coloured
// through it, whoever computes it. Points that never escaped are black in every colouring.
//
// Holds the palette by reference: the palette must not change while it is in use.
class EscapeColouring {
  public:
    EscapeColouring(const engine::ColorTable& palette, int maxIterations, int colouring,
                    const ColorControls& controls = {}) noexcept
        : palette_(&palette),
          maxIterations_(maxIterations),
          smooth_(colouring == kSmooth),
          distance_(controls.distance),
          controls_(controls),
          spread_(controls.density != 1.0 || controls.offset != 0.0 ||
                  controls.transfer != Transfer::kLinear),
          perDensity_(1.0 / controls.density),
          entries_(palette.colorCount()),
          perEntries_(entries_ > 0 ? 1.0 / entries_ : 0.0) {}

    bool smooth() const noexcept { return smooth_; }
    // Colours from the values' distances (the runs must give them).
    bool byDistance() const noexcept { return distance_; }
    // Whether points of one count can differ in colour, so that a rectangle with a
    // uniform border is no one colour unless it is inside.
    bool variesWithinCount() const noexcept { return smooth_ || distance_; }
    bool inside(int count) const noexcept { return count >= maxIterations_; }
    int maxIterations() const noexcept { return maxIterations_; }
    const ColorControls& controls() const noexcept { return controls_; }

    // The colour of a whole count.
    platform::Color band(int count) const noexcept {
        if (inside(count))
            return platform::kBlack;
        return spread_ ? atPosition(position(count), false) : palette_->colorAt(count);
    }
    // The colours of count whole counts at once, as band gives them.
    void bands(const int* counts, int count, platform::Color* out) const noexcept {
        if (spread_) {
            for (int k = 0; k < count; ++k)
                out[k] = band(counts[k]);
            return;
        }
        palette_->colorsAt(counts, count, maxIterations_, out);
    }
    // The entries either side of the continuous count, mixed by its fraction.
    platform::Color blend(const EscapeValue& value) const noexcept;
    // The colour of a pixel without shading.
    platform::Color plain(const EscapeValue& value) const noexcept {
        if (distance_)
            return distanceColor(value);
        return smooth_ ? blend(value) : band(value.count);
    }
    // The colour of a point outside from its distance to the boundary: the palette runs
    // kEntriesPerOctave entries (spread by the density, turned by the offset) each time
    // the distance doubles, so that the bands follow the boundary at the same spacing
    // on the screen whatever the depth and the iteration limit; within kBoundaryPixels
    // of the boundary the colour fades to black, which draws the filaments about one
    // pixel wide (the estimate lies within a factor of two of the true distance).
    platform::Color distanceColor(const EscapeValue& value) const noexcept;
    static constexpr double kEntriesPerOctave = 8.0;
    static constexpr double kBoundaryPixels = 0.5;
    // The relief scan's colour, shaded against the previous pixel of its diagonal
    // (previous.count < 0: the diagonal's first pixel, never shaded). Colours by distance
    // are not shaded: the fading boundary draws the relief already. Bands lighten or
    // darken by the whole depth where the count rises or falls; Smooth by the part of
    // the depth that the continuous count rises or falls, up to the whole depth for a
    // change of one count or more. Controls that spread the counts over the palette
    // compare palette positions instead of counts.
    platform::Color relief(const EscapeValue& value, const EscapeValue& previous,
                           int depth) const noexcept;
    // The relief colours of count whole counts at once, each shaded against the whole
    // count in above (negative where the pixel has no neighbour), as relief gives them.
    void reliefBands(const int* counts, const int* above, int count, int depth,
                     platform::Color* out) const noexcept;

  private:
    // Where a value lies on the palette, in entries from its first.
    double position(double value) const noexcept {
        return transferred(value, controls_.transfer) * perDensity_ + controls_.offset;
    }
    // The entry at a position (turned into the palette), mixed with the next one by
    // the position's fraction when mixed.
    platform::Color atPosition(double position, bool mixed) const noexcept;
    platform::Color spreadRelief(const EscapeValue& value, const EscapeValue& previous,
                                 int depth) const noexcept;
    // The continuous count of a value, taken at its whole count where it is no use.
    double continuousOf(const EscapeValue& value) const noexcept;

    const engine::ColorTable* palette_;
    int maxIterations_;
    bool smooth_;
    bool distance_;
    ColorControls controls_;
    // Whether the controls move any value from the entry of its count (the defaults
    // keep every colour exactly as it has always been computed).
    bool spread_;
    // Multiplications where divisions would be: recolouring a picture is to take a few
    // milliseconds. Computing and recolouring share these, so they agree bit for bit.
    double perDensity_;
    int entries_;
    double perEntries_;
};

}  // namespace complex
