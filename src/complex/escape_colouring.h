#pragma once

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

// The one mapping from escape values to colours, for one run: the palette, the
// iteration limit and the colouring. Every escape-time picture is coloured through it,
// whoever computes it. Points that never escaped are black in every colouring.
//
// Holds the palette by reference: the palette must not change while it is in use.
class EscapeColouring {
  public:
    EscapeColouring(const engine::ColorTable& palette, int maxIterations, int colouring) noexcept
        : palette_(&palette), maxIterations_(maxIterations), smooth_(colouring == kSmooth) {}

    bool smooth() const noexcept { return smooth_; }
    bool inside(int count) const noexcept { return count >= maxIterations_; }

    // The palette entry of a whole count.
    platform::Color band(int count) const noexcept {
        return inside(count) ? platform::kBlack : palette_->colorAt(count);
    }
    // The entries either side of the continuous count, mixed by its fraction.
    platform::Color blend(const EscapeValue& value) const noexcept;
    // The colour of a pixel without shading.
    platform::Color plain(const EscapeValue& value) const noexcept {
        return smooth_ ? blend(value) : band(value.count);
    }
    // The relief scan's colour, shaded against the previous pixel of its diagonal
    // (previous.count < 0: the diagonal's first pixel, never shaded). Bands lighten or
    // darken by the whole depth where the count rises or falls; Smooth by the part of
    // the depth that the continuous count rises or falls, up to the whole depth for a
    // change of one count or more.
    platform::Color relief(const EscapeValue& value, const EscapeValue& previous,
                           int depth) const noexcept;

  private:
    const engine::ColorTable* palette_;
    int maxIterations_;
    bool smooth_;
};

}  // namespace complex
