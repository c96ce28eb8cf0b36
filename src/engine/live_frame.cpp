#include "engine/live_frame.h"

#include <cmath>
#include <limits>
#include <optional>
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
    sampleX_.assign(count, std::numeric_limits<float>::infinity());
    sampleY_.assign(count, std::numeric_limits<float>::infinity());
    if (!exact)
        return;
    std::size_t k = 0;
    for (int y = 0; y < view.height(); ++y) {
        for (int x = 0; x < view.width(); ++x, ++k) {
            sampleX_[k] = static_cast<float>(x);
            sampleY_[k] = static_cast<float>(y);
        }
    }
}

void LiveFrame::moveSamples(const FrameReuse& reuse, const FrameMotion& motion) {
    constexpr float kNone = std::numeric_limits<float>::infinity();
    const int oldWidth = view_.width();
    const int oldHeight = view_.height();
    std::vector<platform::Color> moved(reuse.source.size(), platform::kBlack);
    std::vector<float> movedX(reuse.source.size(), kNone);
    std::vector<float> movedY(reuse.source.size(), kNone);
    // Single precision is ample for positions within a frame, and far quicker here.
    const auto inverse = static_cast<float>(1.0 / motion.scale);
    const auto shiftX = static_cast<float>(motion.shiftX);
    const auto shiftY = static_cast<float>(motion.shiftY);
    const auto distanceTo = [&](std::size_t old, float x, float y, float& sx, float& sy) {
        sx = (sampleX_[old] - shiftX) * inverse;
        sy = (sampleY_[old] - shiftY) * inverse;
        return std::max(std::fabs(sx - x), std::fabs(sy - y));
    };
    std::size_t k = 0;
    for (int row = 0; row < reuse.height; ++row) {
        const auto y = static_cast<float>(row);
        for (int column = 0; column < reuse.width; ++column, ++k) {
            const std::int64_t from = reuse.source[k];
            if (from < 0 || static_cast<std::size_t>(from) >= sampleX_.size())
                continue;
            const auto x = static_cast<float>(column);
            const auto direct = static_cast<std::size_t>(from);
            float sx = 0.0F;
            float sy = 0.0F;
            float best = distanceTo(direct, x, y, sx, sy);
            moved[k] = pixels_[direct];
            movedX[k] = sx;
            movedY[k] = sy;
            if (best <= 0.5F)
                continue;
            // The nearest old pixel may show a sample further off than a neighbour does.
            const auto oldX = static_cast<int>(from % oldWidth);
            const auto oldY = static_cast<int>(from / oldWidth);
            for (int j = std::max(oldY - 1, 0); j <= std::min(oldY + 1, oldHeight - 1); ++j) {
                for (int i = std::max(oldX - 1, 0); i <= std::min(oldX + 1, oldWidth - 1); ++i) {
                    const std::size_t old = (static_cast<std::size_t>(j) * oldWidth) + i;
                    const float distance = distanceTo(old, x, y, sx, sy);
                    if (distance < best) {
                        best = distance;
                        moved[k] = pixels_[old];
                        movedX[k] = sx;
                        movedY[k] = sy;
                    }
                }
            }
        }
    }
    pixels_ = std::move(moved);
    sampleX_ = std::move(movedX);
    sampleY_ = std::move(movedY);
}

std::vector<float> LiveFrame::errors() const {
    std::vector<float> error(sampleX_.size(), std::numeric_limits<float>::infinity());
    const int width = view_.width();
    for (std::size_t k = 0; k < error.size(); ++k) {
        const float dx = std::fabs(sampleX_[k] - static_cast<float>(static_cast<int>(k) % width));
        const float dy = std::fabs(sampleY_[k] - static_cast<float>(static_cast<int>(k) / width));
        // Infinite and not-a-number distances stay infinite.
        if (std::isfinite(dx) && std::isfinite(dy))
            error[k] = std::max(dx, dy);
    }
    return error;
}

LiveFrameFigures LiveFrame::advance(const view::DeepView& view, platform::Point focus,
                                    const Sampler& sample, const TimeUp& timeUp) {
    const int width = view.width();
    const int height = view.height();
    const FrameMotion motion = motionBetween(view_, view);
    const FrameReuse reuse = reuseFrame(width, height, view_.width(), view_.height(), motion);
    LiveFrameFigures figures;
    figures.reusedShare = reuse.reusedShare();
    figures.pixels = static_cast<std::int64_t>(reuse.source.size());
    moveSamples(reuse, motion);
    view_ = view;

    Refinement refinement(width, height, errors(), kCoarsest, focus.x, focus.y, kTolerance);
    std::vector<Refinement::Sample> batch;
    std::vector<platform::Point> spots;
    std::vector<platform::Color> colors;
    // A sample taken from the next pass waits for the batch of its own pass.
    std::optional<Refinement::Sample> waiting;
    int waitingStep = 0;
    for (;;) {
        batch.clear();
        int step = 0;
        if (waiting) {
            batch.push_back(*waiting);
            step = waitingStep;
            waiting.reset();
        }
        Refinement::Sample next;
        while (batch.size() < kBatch && refinement.next(next)) {
            if (step != 0 && refinement.passStep() != step) {
                waiting = next;
                waitingStep = refinement.passStep();
                break;
            }
            step = refinement.passStep();
            batch.push_back(next);
        }
        if (batch.empty())
            break;
        spots.clear();
        for (const Refinement::Sample& s : batch)
            spots.push_back({s.x, s.y});
        colors.assign(spots.size(), platform::kBlack);
        sample(spots, colors.data());
        for (std::size_t k = 0; k < batch.size(); ++k) {
            const platform::Color color = colors[k];
            const auto x = static_cast<float>(batch[k].x);
            const auto y = static_cast<float>(batch[k].y);
            refinement.computed(batch[k], [&](std::int64_t to, std::int64_t) {
                pixels_[static_cast<std::size_t>(to)] = color;
                sampleX_[static_cast<std::size_t>(to)] = x;
                sampleY_[static_cast<std::size_t>(to)] = y;
            });
        }
        figures.computed += static_cast<std::int64_t>(batch.size());
        if (timeUp())
            break;
    }
    figures.exact = refinement.inexact() == 0;
    return figures;
}

}  // namespace engine
