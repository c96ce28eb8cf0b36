#include "complex/kept_values.h"

#include <algorithm>

namespace complex {

void KeptValues::reset(int width, int height, bool smooth) {
    width_ = std::max(width, 0);
    height_ = std::max(height, 0);
    smooth_ = smooth;
    const std::size_t pixels = static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_);
    counts_.assign(pixels, 0);
    if (smooth)
        continuous_.assign(pixels, 0.0);
    else
        continuous_ = {};
}

void KeptValues::clear() noexcept {
    width_ = height_ = 0;
    counts_ = {};
    continuous_ = {};
}

void KeptValues::fill(int x, int y, int w, int h, int count) noexcept {
    const int left = std::max(x, 0);
    const int top = std::max(y, 0);
    const int right = std::min(x + w, width_);
    const int bottom = std::min(y + h, height_);
    for (int row = top; row < bottom; ++row) {
        for (int column = left; column < right; ++column)
            put(column, row, EscapeValue{count, static_cast<double>(count)});
    }
}

void colorKeptRows(const KeptValues& kept, const EscapeColouring& colouring, bool relief,
                   int reliefDepth, int first, int last, platform::Color* out) noexcept {
    const int width = kept.width();
    for (int row = std::max(first, 0); row < std::min(last, kept.height()); ++row) {
        platform::Color* pixels = out + static_cast<std::size_t>(row - first) * width;
        if (!relief) {
            for (int column = 0; column < width; ++column)
                pixels[column] = colouring.plain(kept.at(column, row));
            continue;
        }
        for (int column = 0; column < width; ++column) {
            const EscapeValue previous =
                column > 0 && row > 0 ? kept.at(column - 1, row - 1) : EscapeValue{-1, -1.0};
            pixels[column] = colouring.relief(kept.at(column, row), previous, reliefDepth);
        }
    }
}

}  // namespace complex
