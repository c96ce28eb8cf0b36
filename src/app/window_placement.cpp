#include "app/window_placement.h"

#include <algorithm>
#include <climits>
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

platform::Point positionToStore(const platform::Rect& client, const platform::Rect&) {
    return platform::Point{client.left, client.top};
}

std::optional<platform::Point> restoredClientPosition(platform::Point stored, int width, int height,
                                                      const FrameMargins& frame,
                                                      const std::vector<platform::Rect>& screens) {
    // In 64 bits: stored values come from a file and may lie anywhere.
    const auto clampToInt = [](std::int64_t v) {
        return static_cast<int>(std::clamp<std::int64_t>(v, INT_MIN, INT_MAX));
    };
    const std::int64_t left = std::int64_t{stored.x} - frame.left;
    const std::int64_t top = std::int64_t{stored.y} - frame.top;
    const platform::Rect window{
        clampToInt(left), clampToInt(top),
        clampToInt(std::int64_t{stored.x} + std::max(width, 0) + frame.right),
        clampToInt(std::int64_t{stored.y} + std::max(height, 0) + frame.bottom)};
    const std::optional<platform::Point> kept = keptOnScreen(window, screens);
    if (!kept)
        return std::nullopt;
    return platform::Point{clampToInt(std::int64_t{kept->x} + frame.left),
                           clampToInt(std::int64_t{kept->y} + frame.top)};
}

}  // namespace app
