// The frames shown while a gesture moves the view: the picture moved with the view and
// refined within each frame's time, until the ordinary run computes it at rest.
#include <algorithm>

#include "engine/fractal.h"

namespace engine {

void Fractal::liveSamples(const std::vector<platform::Point>&, platform::Color*) {}

std::optional<LiveFrameFigures> Fractal::advanceGestureFrame(platform::Point focus,
                                                             unsigned budgetMs) {
    if (!liveFrame_ || !prepareLiveSamples())
        return std::nullopt;
    const std::uint32_t start = platform::tickCount();
    const auto timeUp = [start, budgetMs] { return platform::tickCount() - start >= budgetMs; };
    const auto sample = [this](const std::vector<platform::Point>& spots, platform::Color* out) {
        liveSamples(spots, out);
    };
    focus.x = std::clamp(focus.x, 0, std::max(width - 1, 0));
    focus.y = std::clamp(focus.y, 0, std::max(height - 1, 0));
    const LiveFrameFigures figures = liveFrame_->advance(preciseView(), focus, sample, timeUp);
    liveFrameDue_ = !figures.exact;
    const std::vector<platform::Color>& pixels = liveFrame_->pixels();
    std::size_t k = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x, ++k)
            picture.setPixel(x, y, pixels[k]);
    windowDC.copyFrom(picture, 0, 0, width, height, 0, 0);
    window.markDirty();
    return figures;
}

}  // namespace engine
