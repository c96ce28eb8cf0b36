#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/bitmap.h"

namespace engine {

// The 255 colours used when no palette file is loaded.
const std::array<platform::Color, 255>& builtInPalette();

// The most colours a palette file gives; the rest of a longer file is ignored.
inline constexpr int kMaxPaletteEntries = 4096;

// The fractal's list of colours. The entries are never changed in place, only
// replaced: copies share them, so a run can keep the colours it started with.
class ColorTable {
  public:
    ColorTable() = default;
    ColorTable(const ColorTable&) = default;
    ColorTable& operator=(const ColorTable&) = default;
    // The entries move; the other table is left empty.
    ColorTable(ColorTable&& other) noexcept;
    ColorTable& operator=(ColorTable&& other) noexcept;

    // Replaces the entries by a copy of count colours (count taken as a 16-bit signed
    // number); 1 on success, 2 when the array cannot be allocated (the table is empty).
    int setColors(const platform::Color* source, int count);
    // Replaces the entries by the colours of a palette file; the number read, 0 when
    // nothing was loaded (the table is unchanged when the file cannot be opened).
    // whyNone (when given) receives the one-line reason when the file gave no colour.
    int loadFile(const std::string& path, int maxCount, std::string* whyNone = nullptr);

    // Entry (index mod count) for an index of 0 or more; defaultColor for an empty
    // table or a negative index. Never allocates or locks.
    platform::Color colorAt(int index) const noexcept {
        if (colorCount_ <= 0 || index < 0)
            return defaultColor_;
        // Counts below the table size are the common case; skip the division there.
        return colors_[static_cast<std::size_t>(index < colorCount_ ? index : index % colorCount_)];
    }

    // out[k] = colorAt(indices[k]) for k < count, or black where indices[k] >= blackFrom.
    void colorsAt(const int* indices, int count, int blackFrom,
                  platform::Color* out) const noexcept {
        // The table read once: the stores into out could otherwise alias it.
        const platform::Color* colors = colors_.get();
        const int size = colorCount_;
        const platform::Color fallback = defaultColor_;
        if (size <= 0) {
            for (int k = 0; k < count; ++k)
                out[k] = indices[k] >= blackFrom ? platform::kBlack : fallback;
            return;
        }
        for (int k = 0; k < count; ++k) {
            const int index = indices[k];
            // Inside and outside points mix at random along a run: a choice of values
            // instead of a branch the processor would mispredict.
            const bool black = index >= blackFrom;
            const int wrapped = index < 0 ? 0 : index < size ? index : index % size;
            const platform::Color color = index < 0 ? fallback : colors[wrapped];
            out[k] = black ? platform::kBlack : color;
        }
    }

    int colorCount() const noexcept { return colorCount_; }
    platform::Color defaultColor() const noexcept { return defaultColor_; }

  private:
    void clear();
    // Replaces the entries by the colours of palette text.
    int fill(const std::string& text, int maxCount, std::string& whyNone);

    std::shared_ptr<const platform::Color[]> colors_;
    int colorCount_ = 0;
    platform::Color defaultColor_ = 0;
};

// Reads palette text: triples of unsigned decimal numbers separated by white space,
// each reduced to its low 8 bits, until the first token that is not a number or
// maxCount entries. Exposed for the file reader and its tests.
int parsePalette(const char* text, std::size_t size, platform::Color* out, int maxCount);

}  // namespace engine
