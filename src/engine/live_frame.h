#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "engine/frame_reuse.h"
#include "platform/bitmap.h"
#include "platform/geometry.h"
#include "view/deep_view.h"

namespace engine {

// How the frame of one view lies over the frame of another of the same size: the
// pixel size ratio and the offset of the top-left pixel, in the old frame's pixels.
// Views far too distant for a double (or not usable) give a motion that reuses nothing.
FrameMotion motionBetween(const view::DeepView& from, const view::DeepView& to);

// What one frame of a moving view took: the share of its pixels taken over from the
// frame before, the samples computed for it and whether any pixel is still inexact.
struct LiveFrameFigures {
    double reusedShare = 0.0;
    std::int64_t computed = 0;
    std::int64_t pixels = 0;
    bool exact = false;
};

// The picture shown while the view moves: each frame takes the previous frame's pixels
// to their new places, then computes new samples coarse to fine from a focus for as
// long as the caller allows. Its pixels stand in for the picture only while moving;
// the ordinary run computes the picture once the view rests.
class LiveFrame {
  public:
    // Computes the colours of the pixels spots of the frame's current view into out.
    using Sampler =
        std::function<void(const std::vector<platform::Point>& spots, platform::Color* out)>;
    // Whether the frame's time is up; asked between batches of samples.
    using TimeUp = std::function<bool()>;

    // A frame of view whose pixels are known: exact (error 0) when the picture was
    // complete, to be computed afresh otherwise.
    LiveFrame(const view::DeepView& view, std::vector<platform::Color> pixels, bool exact);

    // Moves the frame to view, then refines it until timeUp.
    LiveFrameFigures advance(const view::DeepView& view, platform::Point focus,
                             const Sampler& sample, const TimeUp& timeUp);

    const std::vector<platform::Color>& pixels() const noexcept { return pixels_; }
    const view::DeepView& view() const noexcept { return view_; }

    // Samples further from their pixel than this (in pixels) are computed again: a
    // little blur, far less work than an exact frame.
    static constexpr float kTolerance = 1.0F;
    // New areas first show as blocks of this many pixels, then sharpen.
    static constexpr int kCoarsest = 16;
    // Samples handed to the sampler at once: enough to share among threads, few enough
    // to keep to the frame's time.
    static constexpr std::size_t kBatch = 2048;

  private:
    // Where each pixel's sample was computed, in the frame's pixels (infinite where
    // there is none): its distance from the pixel is the pixel's true error, which
    // grows only as fast as the zoom, where a bound added up frame by frame would
    // grow by half a pixel every frame.
    // Each new pixel takes, of the old pixel reuse names and its neighbours, the one
    // whose sample lies nearest.
    void moveSamples(const FrameReuse& reuse, const FrameMotion& motion);
    std::vector<float> errors() const;

    view::DeepView view_;
    std::vector<platform::Color> pixels_;
    std::vector<float> sampleX_;
    std::vector<float> sampleY_;
};

}  // namespace engine
