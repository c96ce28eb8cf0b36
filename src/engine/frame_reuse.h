#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace engine {

// How a frame lies over the one before it while the view moves: the new frame's pixel
// (i, j) shows the plane point at the old frame's pixel position
// (scale * i + shiftX, scale * j + shiftY), pixel centres at whole positions. A zoom in
// has a scale below 1, a pan a scale of 1.
struct FrameMotion {
    double scale = 1.0;
    double shiftX = 0.0;
    double shiftY = 0.0;
};

// One axis of a motion: for each new index the nearest old index, or -1 where the new
// pixel lies outside the old frame; and how far the new pixel's point lies from that
// old sample, in new pixels.
struct AxisReuse {
    std::vector<int> nearest;
    std::vector<float> offset;
};

// The nearest old sample of every index of a new axis of newCount pixels over an old
// one of oldCount. A motion that is not finite, or whose scale is not positive, reuses
// nothing.
AxisReuse reuseAxis(int newCount, int oldCount, double scale, double shift);

// What a new frame takes from the old one, pixel by pixel: the old pixel to copy (row
// major; -1 where there is none) and the distance in new pixels between the point the
// new pixel shows and the point the copied sample was computed at (0 for an exact
// copy, infinity where nothing was copied). The distance orders the refinement: the
// worst samples are recomputed first.
struct FrameReuse {
    int width = 0;
    int height = 0;
    std::vector<std::int64_t> source;
    std::vector<float> error;

    // The share of pixels taken from the old frame (0..1).
    double reusedShare() const noexcept;
};

// oldError, when given, is the old frame's own error per pixel (as the refinement left
// it): a copy of an approximate sample carries that error on, magnified by the zoom.
FrameReuse reuseFrame(int newWidth, int newHeight, int oldWidth, int oldHeight,
                      const FrameMotion& motion, const std::vector<float>* oldError = nullptr);

// The old frame's samples moved to their new places: values[source] where there is a
// source, fill elsewhere.
template <class T>
std::vector<T> moveSamples(const FrameReuse& reuse, const std::vector<T>& old, const T& fill) {
    std::vector<T> moved(reuse.source.size(), fill);
    for (std::size_t k = 0; k < moved.size(); ++k) {
        const std::int64_t from = reuse.source[k];
        if (from >= 0 && static_cast<std::size_t>(from) < old.size())
            moved[k] = old[static_cast<std::size_t>(from)];
    }
    return moved;
}

// The order in which a moving frame's samples are computed within the time each frame
// has: in passes from coarse to fine (a sample every 2^k pixels, down to every pixel),
// and within a pass from the focus outwards (the centre, or the pointer a zoom heads
// for), ring by ring. A sample is asked for only where the frame's error there is above
// 0; once computed, it stands for the pixels of its block whose own sample lies farther
// away, so that missing parts show at once as coarse blocks and sharpen pass by pass.
class Refinement {
  public:
    struct Sample {
        int x = 0;
        int y = 0;
        // The block [left, right) x [top, bottom) it may stand for: the pixels nearer
        // it than any other sample of its pass.
        int left = 0;
        int top = 0;
        int right = 1;
        int bottom = 1;
    };

    // error as FrameReuse gives it (taken over); coarsest a power of two of at least 1.
    // Samples are asked for only where the error is above tolerance (in pixels; 0 asks
    // for every pixel not computed at its own place).
    Refinement(int width, int height, std::vector<float> error, int coarsest, int focusX,
               int focusY, float tolerance = 0.0F);

    // The next sample to compute, or none when every pixel is exact.
    bool next(Sample& sample);

    // Records a computed sample; fill(to, from) is called for each pixel index "to" of
    // its block that now takes the sample at index "from" (the sample's own pixel
    // included).
    template <class Fill>
    void computed(const Sample& sample, Fill&& fill) {
        const std::int64_t from = index(sample.x, sample.y);
        for (int y = sample.top; y < sample.bottom; ++y) {
            for (int x = sample.left; x < sample.right; ++x) {
                const auto distance =
                    static_cast<float>(std::max(std::abs(x - sample.x), std::abs(y - sample.y)));
                float& e = error_[static_cast<std::size_t>(index(x, y))];
                if (distance < e) {
                    e = distance;
                    fill(index(x, y), from);
                }
            }
        }
    }

    // The spacing of the pass the last sample came from: samples of a finer pass are
    // best asked for once those of the coarser one have been computed.
    int passStep() const noexcept { return step_; }
    float errorAt(int x, int y) const { return error_[static_cast<std::size_t>(index(x, y))]; }
    // The pixels whose error is still above the tolerance.
    std::int64_t inexact() const noexcept;
    // The errors as they stand, for the next frame's reuse.
    const std::vector<float>& errors() const noexcept { return error_; }

  private:
    std::int64_t index(int x, int y) const noexcept {
        return (static_cast<std::int64_t>(y) * width_) + x;
    }
    // Builds the ring order of the grid of the current pass.
    void startPass();
    // The span one grid point stands for on an axis of count pixels whose grid starts
    // at first: half the step either side, and out to the edge beyond the outer points.
    void span(int at, int first, int count, int& from, int& to) const;

    int width_;
    int height_;
    std::vector<float> error_;
    int step_;
    int focusX_;
    int focusY_;
    float tolerance_;
    std::vector<std::int64_t> order_;  // grid points of the pass, nearest the focus first
    std::size_t position_ = 0;
};

}  // namespace engine
