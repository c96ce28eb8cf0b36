#include "engine/frame_reuse.h"

#include <cmath>
#include <limits>

namespace engine {

namespace {

// A distance in pixels as a float; a distance float cannot hold becomes infinity.
float toError(double pixels) {
    return pixels < static_cast<double>(std::numeric_limits<float>::max())
               ? static_cast<float>(pixels)
               : std::numeric_limits<float>::infinity();
}

}  // namespace

AxisReuse reuseAxis(int newCount, int oldCount, double scale, double shift) {
    AxisReuse axis;
    const auto count = static_cast<std::size_t>(std::max(newCount, 0));
    axis.nearest.assign(count, -1);
    axis.offset.assign(count, std::numeric_limits<float>::infinity());
    if (!(scale > 0.0) || !std::isfinite(scale) || !std::isfinite(shift) || oldCount <= 0)
        return axis;
    for (std::size_t i = 0; i < count; ++i) {
        const double position = (scale * static_cast<double>(i)) + shift;
        const double nearest = std::floor(position + 0.5);
        // Checked in double before it becomes an index.
        if (!(nearest >= 0.0 && nearest < static_cast<double>(oldCount)))
            continue;
        axis.nearest[i] = static_cast<int>(nearest);
        axis.offset[i] = toError(std::fabs(position - nearest) / scale);
    }
    return axis;
}

double FrameReuse::reusedShare() const noexcept {
    if (source.empty())
        return 0.0;
    std::size_t reused = 0;
    for (const std::int64_t from : source)
        reused += from >= 0 ? 1 : 0;
    return static_cast<double>(reused) / static_cast<double>(source.size());
}

FrameReuse reuseFrame(int newWidth, int newHeight, int oldWidth, int oldHeight,
                      const FrameMotion& motion, const std::vector<float>* oldError) {
    FrameReuse reuse;
    reuse.width = std::max(newWidth, 0);
    reuse.height = std::max(newHeight, 0);
    const AxisReuse columns = reuseAxis(reuse.width, oldWidth, motion.scale, motion.shiftX);
    const AxisReuse rows = reuseAxis(reuse.height, oldHeight, motion.scale, motion.shiftY);
    const auto pixels =
        static_cast<std::size_t>(reuse.width) * static_cast<std::size_t>(reuse.height);
    reuse.source.assign(pixels, -1);
    reuse.error.assign(pixels, std::numeric_limits<float>::infinity());
    std::size_t k = 0;
    for (int j = 0; j < reuse.height; ++j) {
        const int oldRow = rows.nearest[static_cast<std::size_t>(j)];
        for (int i = 0; i < reuse.width; ++i, ++k) {
            const int oldColumn = columns.nearest[static_cast<std::size_t>(i)];
            if (oldRow < 0 || oldColumn < 0)
                continue;
            const std::int64_t from = (static_cast<std::int64_t>(oldRow) * oldWidth) + oldColumn;
            reuse.source[k] = from;
            double error = std::max(columns.offset[static_cast<std::size_t>(i)],
                                    rows.offset[static_cast<std::size_t>(j)]);
            if (oldError != nullptr && static_cast<std::size_t>(from) < oldError->size())
                error +=
                    static_cast<double>((*oldError)[static_cast<std::size_t>(from)]) / motion.scale;
            reuse.error[k] = toError(error);
        }
    }
    return reuse;
}

Refinement::Refinement(int width, int height, std::vector<float> error, int coarsest, int focusX,
                       int focusY, float tolerance)
    : width_(std::max(width, 0)),
      height_(std::max(height, 0)),
      error_(std::move(error)),
      step_(1),
      focusX_(std::clamp(focusX, 0, std::max(width_ - 1, 0))),
      focusY_(std::clamp(focusY, 0, std::max(height_ - 1, 0))),
      tolerance_(std::max(tolerance, 0.0F)) {
    error_.resize(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_),
                  std::numeric_limits<float>::infinity());
    while (step_ * 2 <= std::clamp(coarsest, 1, 1 << 12))
        step_ *= 2;
    startPass();
}

void Refinement::startPass() {
    order_.clear();
    position_ = 0;
    // The grid of this pass is aligned on the focus, so that the focus is sampled first.
    // Ring by ring outwards, each ring row by row: built directly rather than sorted, as
    // the finest pass holds every pixel and is built again for every frame.
    const int reach = std::max({focusX_, width_ - 1 - focusX_, focusY_, height_ - 1 - focusY_});
    for (int ring = 0; ring <= reach; ring += step_) {
        const int top = std::max(focusY_ - ring, focusY_ % step_);
        const int bottom = std::min(focusY_ + ring, height_ - 1);
        const int left = focusX_ - ring;
        const int right = focusX_ + ring;
        for (int y = top; y <= bottom; y += step_) {
            if (std::abs(y - focusY_) == ring) {
                for (int x = std::max(left, focusX_ % step_); x <= std::min(right, width_ - 1);
                     x += step_)
                    order_.push_back(index(x, y));
                continue;
            }
            if (left >= 0)
                order_.push_back(index(left, y));
            if (ring > 0 && right < width_)
                order_.push_back(index(right, y));
        }
    }
}

bool Refinement::next(Sample& sample) {
    for (;;) {
        while (position_ < order_.size()) {
            const std::int64_t k = order_[position_++];
            if (error_[static_cast<std::size_t>(k)] > tolerance_) {
                sample.x = static_cast<int>(k % width_);
                sample.y = static_cast<int>(k / width_);
                span(sample.x, focusX_ % step_, width_, sample.left, sample.right);
                span(sample.y, focusY_ % step_, height_, sample.top, sample.bottom);
                return true;
            }
        }
        if (step_ == 1)
            return false;
        step_ /= 2;
        startPass();
    }
}

void Refinement::span(int at, int first, int count, int& from, int& to) const {
    const int before = step_ / 2;
    from = at - first < step_ ? 0 : at - before;
    to = at + step_ >= count ? count : at + (step_ - before);
}

std::int64_t Refinement::inexact() const noexcept {
    std::int64_t count = 0;
    for (const float e : error_)
        count += e > tolerance_ ? 1 : 0;
    return count;
}

}  // namespace engine
