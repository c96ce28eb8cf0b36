#include "app/supersampling.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "catalogue/fractal_types.h"
#include "complex/complex_fractal.h"
#include "engine/oklab.h"

namespace app {

namespace {

// Linear light in whole numbers, so that the sums of the samples are exact and a
// picture comes out the same whatever the order they are added in.
constexpr double kLinearScale = 16777216.0;  // 2^24: 256 samples of 1 fit 32 bits

struct LinearLight {
    // The linear light of each byte.
    std::array<std::uint32_t, 256> ofByte{};
    // The linear light halfway (in sRGB) between byte k and k + 1: a mean below it
    // rounds to k or below.
    std::array<double, 255> between{};
};

std::uint32_t scaledLinear(double linear) {
    return static_cast<std::uint32_t>(std::lround(std::clamp(linear, 0.0, 1.0) * kLinearScale));
}

double linearAtSrgb(double encoded) {
    if (encoded <= 0.04045)
        return encoded / 12.92;
    return std::pow((encoded + 0.055) / 1.055, 2.4);
}

const LinearLight& linearLight() {
    static const LinearLight table = [] {
        LinearLight made;
        for (unsigned byte = 0; byte < 256; ++byte)
            made.ofByte[byte] = scaledLinear(engine::linearFromSrgb(byte));
        for (unsigned k = 0; k < 255; ++k)
            made.between[k] = linearAtSrgb((k + 0.5) / 255.0) * kLinearScale;
        return made;
    }();
    return table;
}

// The byte whose rounding interval holds the mean.
unsigned encodeMean(std::uint64_t sum, int count) {
    const LinearLight& light = linearLight();
    const double mean = static_cast<double>(sum) / static_cast<double>(count);
    return static_cast<unsigned>(
        std::upper_bound(light.between.begin(), light.between.end(), mean) - light.between.begin());
}

// How far (in samples, positive right and down) the samples' view is moved so that the
// middle of each pixel's grid falls on the pixel's point. Unmoved, the grid of a column
// starts at its point; a row's point lies a whole pixel below its rectangle's share,
// which the samples, a sample below theirs, must make up.
struct SampleShift {
    double columns;
    double rows;
};

SampleShift sampleShift(int factor) {
    const double half = (factor - 1) / 2.0;
    return {-half, 2.0 * factor - 2.0 - half};
}

}  // namespace

std::optional<std::string> supersampleProblem(engine::FractalType type, int width, int height,
                                              int factor) {
    if (factor < 1 || factor > kMostSupersample) {
        return "a pixel averages 1 to " + std::to_string(kMostSupersample) +
               " samples a side, not " + std::to_string(factor);
    }
    if (factor == 1)
        return std::nullopt;
    if (catalogue::isOrbitType(type))
        return "orbit pictures are not anti-aliased: their points are plotted, not sampled";
    const std::int64_t most = std::int64_t{65536} / factor;
    if (width > most || height > most) {
        return "a " + std::to_string(width) + "x" + std::to_string(height) + " picture with " +
               std::to_string(factor) + "x" + std::to_string(factor) +
               " samples a pixel is too large: its samples are exported up to 65536 a side";
    }
    return std::nullopt;
}

view::ViewWindow sampleWindow(const view::ViewWindow& view, int factor) {
    if (factor <= 1 || factor > kMostSupersample)
        return view;
    view::ViewWindow finer = view;
    const bool keepAspect = finer.keepAspect;
    // The very rectangle, only finer: its edges are not fitted to any proportions.
    finer.keepAspect = false;
    finer.setScreenSize(view.width * factor, view.height * factor);
    const SampleShift shift = sampleShift(factor);
    finer.xmin += shift.columns * finer.xscale;
    finer.xmax += shift.columns * finer.xscale;
    finer.ymin -= shift.rows * finer.yscale;
    finer.ymax -= shift.rows * finer.yscale;
    finer.recompute();
    finer.keepAspect = keepAspect;
    return finer;
}

std::optional<view::DeepView> sampleView(const view::DeepView& view, int factor) {
    if (factor < 1 || factor > kMostSupersample)
        return std::nullopt;
    if (factor == 1)
        return view;
    const std::optional<view::DeepView> samples =
        view::DeepView::fromCentre(view.centreX(), view.centreY(), view.spanX(), view.spanY(),
                                   view.width() * factor, view.height() * factor);
    if (!samples)
        return std::nullopt;
    const SampleShift shift = sampleShift(factor);
    return samples->pannedByPixels(shift.columns, shift.rows);
}

bool showSamples(engine::Fractal& fractal, int factor) {
    if (factor == 1)
        return true;
    std::optional<view::DeepView> deepSamples;
    std::optional<view::ViewWindow> samples;
    if (const view::DeepView* deep = fractal.deepView()) {
        deepSamples = sampleView(*deep, factor);
        if (!deepSamples)
            return false;
    } else {
        samples = sampleWindow(fractal.view(), factor);
        // Samples closer than double tells apart are computed as a deep view, where the
        // type can.
        if (!samples->resolvesPixels() && fractal.computesDeepViews()) {
            deepSamples = view::DeepView::fromViewWindow(*samples);
            samples.reset();
        }
    }
    // The limit chosen for the picture's own view, which its parameter string tells,
    // holds for its samples too.
    fractal.setOption(&engine::Options::autoIterations, false);
    engine::TakingOverScope hold(fractal);
    if (auto* escapeTime = dynamic_cast<complex::ComplexFractal*>(&fractal))
        escapeTime->setSamplesPerPixel(factor);
    if (samples)
        fractal.setView(*samples);
    else
        fractal.setPreciseView(*deepSamples);
    return true;
}

SampleAverager::SampleAverager(engine::RowSink& out, int width, int factor)
    : out_(out),
      width_(std::max(width, 0)),
      factor_(std::clamp(factor, 1, kMostSupersample)),
      sums_(static_cast<std::size_t>(width_) * 3, 0),
      row_(static_cast<std::size_t>(width_), platform::kBlack) {}

bool SampleAverager::takeRow(int row, const platform::Color* samples, int sampleWidth) {
    if (sampleWidth != width_ * factor_ || row < 0)
        return false;
    const LinearLight& light = linearLight();
    for (int x = 0; x < sampleWidth; ++x) {
        const platform::Color color = samples[x];
        std::uint64_t* sum = &sums_[static_cast<std::size_t>(x / factor_) * 3];
        sum[0] += light.ofByte[platform::redOf(color)];
        sum[1] += light.ofByte[platform::greenOf(color)];
        sum[2] += light.ofByte[platform::blueOf(color)];
    }
    if (row % factor_ != factor_ - 1)
        return true;
    const int count = factor_ * factor_;
    for (std::size_t x = 0; x < row_.size(); ++x) {
        const std::uint64_t* sum = &sums_[x * 3];
        row_[x] = platform::rgb(encodeMean(sum[0], count), encodeMean(sum[1], count),
                                encodeMean(sum[2], count));
    }
    std::fill(sums_.begin(), sums_.end(), 0);
    return out_.takeRow(row / factor_, row_.data(), width_);
}

}  // namespace app
