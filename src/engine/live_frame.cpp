#include "engine/live_frame.h"

#include <cmath>
#include <limits>
#include <utility>

namespace engine {

namespace {

// A ratio or offset of plane numbers as a double; nullopt-like NaN when not finite.
double ratioOf(const numeric::BigFloat& numerator, const numeric::BigFloat& denominator) {
    if (denominator.toDouble() == 0.0)
        return std::numeric_limits<double>::quiet_NaN();
    return (numerator / denominator).toDouble();
}

}  // namespace

FrameMotion motionBetween(const view::DeepView& from, const view::DeepView& to) {
    FrameMotion motion;
    motion.scale = ratioOf(to.spacingX(), from.spacingX());
    motion.shiftX = ratioOf(to.planeX(0) - from.planeX(0), from.spacingX());
    // Rows count downwards while the plane's y counts upwards.
    motion.shiftY = ratioOf(from.planeY(0) - to.planeY(0), from.spacingY());
    return motion;
}

LiveFrame::LiveFrame(const view::DeepView& view, std::vector<platform::Color> pixels, bool exact)
    : view_(view), pixels_(std::move(pixels)) {
    const auto count =
        static_cast<std::size_t>(view.width()) * static_cast<std::size_t>(view.height());
    pixels_.resize(count, platform::kBlack);
    error_.assign(count, exact ? 0.0F : std::numeric_limits<float>::infinity());
}

LiveFrameFigures LiveFrame::advance(const view::DeepView& view, platform::Point focus,
                                    const Sampler& sample, const TimeUp& timeUp) {
    const int width = view.width();
    const int height = view.height();
    const FrameReuse reuse = reuseFrame(width, height, view_.width(), view_.height(),
                                        motionBetween(view_, view), &error_);
    LiveFrameFigures figures;
    figures.reusedShare = reuse.reusedShare();
    figures.pixels = static_cast<std::int64_t>(reuse.source.size());
    pixels_ = moveSamples(reuse, pixels_, platform::kBlack);
    view_ = view;

    Refinement refinement(width, height, reuse.error, kCoarsest, focus.x, focus.y, kTolerance);
    std::vector<Refinement::Sample> batch;
    std::vector<platform::Point> spots;
    std::vector<platform::Color> colors;
    for (;;) {
        batch.clear();
        Refinement::Sample next;
        while (batch.size() < kBatch && refinement.next(next))
            batch.push_back(next);
        if (batch.empty())
            break;
        spots.clear();
        for (const Refinement::Sample& s : batch)
            spots.push_back({s.x, s.y});
        colors.assign(spots.size(), platform::kBlack);
        sample(spots, colors.data());
        for (std::size_t k = 0; k < batch.size(); ++k) {
            const platform::Color color = colors[k];
            refinement.computed(batch[k], [&](std::int64_t to, std::int64_t) {
                pixels_[static_cast<std::size_t>(to)] = color;
            });
        }
        figures.computed += static_cast<std::int64_t>(batch.size());
        if (timeUp())
            break;
    }
    error_ = refinement.errors();
    figures.exact = refinement.inexact() == 0;
    return figures;
}

}  // namespace engine
