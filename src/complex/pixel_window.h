#pragma once

namespace complex {

// Columns [left, left + width) and rows [top, top + height) of a picture whose top-left
// pixel is (0, 0).
struct PixelWindow {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    int right() const noexcept { return left + width; }
    int bottom() const noexcept { return top + height; }
    friend bool operator==(const PixelWindow&, const PixelWindow&) = default;
};

}  // namespace complex
