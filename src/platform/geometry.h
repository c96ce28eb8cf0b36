#pragma once

namespace platform {

// A pixel position; (0, 0) is the top-left corner.
struct Point {
    int x = 0;
    int y = 0;
    friend bool operator==(const Point&, const Point&) = default;
};

// A rectangle in pixels: left and top inclusive; whether right and bottom are
// inclusive depends on the operation that receives it.
struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    friend bool operator==(const Rect&, const Rect&) = default;
};

}  // namespace platform
