#include "app/window_placement.h"

#include <algorithm>
#include <cstdint>

namespace app {

namespace {

std::int64_t overlap(const platform::Rect& a, const platform::Rect& b) {
    const std::int64_t width = std::int64_t{std::min(a.right, b.right)} - std::max(a.left, b.left);
    const std::int64_t height = std::int64_t{std::min(a.bottom, b.bottom)} - std::max(a.top, b.top);
    return width > 0 && height > 0 ? width * height : 0;
}

// The start of a span of length size moved the least to lie within [low, high).
int keptWithin(int start, std::int64_t size, int low, int high) {
    const std::int64_t last = std::int64_t{high} - size;
    if (last <= low)
        return low;
    return static_cast<int>(std::clamp<std::int64_t>(start, low, last));
}

}  // namespace

std::optional<platform::Point> keptOnScreen(const platform::Rect& window,
                                            const std::vector<platform::Rect>& screens) {
    const platform::Rect* best = nullptr;
    std::int64_t bestOverlap = 0;
    for (const platform::Rect& screen : screens) {
        const std::int64_t shown = overlap(window, screen);
        if (shown > bestOverlap) {
            best = &screen;
            bestOverlap = shown;
        }
    }
    if (best == nullptr)
        return std::nullopt;
    const std::int64_t width = std::int64_t{window.right} - window.left;
    const std::int64_t height = std::int64_t{window.bottom} - window.top;
    return platform::Point{keptWithin(window.left, width, best->left, best->right),
                           keptWithin(window.top, height, best->top, best->bottom)};
}

}  // namespace app
