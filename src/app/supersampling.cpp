#include "app/supersampling.h"

#include <algorithm>

#include "app/linear_light.h"
#include "catalogue/fractal_types.h"
#include "complex/complex_fractal.h"

namespace app {

namespace {

// The byte whose rounding interval holds the mean.
unsigned encodeMean(std::uint64_t sum, int count) {
    return byteOfLinear(static_cast<double>(sum) / static_cast<double>(count));
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
    for (int x = 0; x < sampleWidth; ++x) {
        const platform::Color color = samples[x];
        std::uint64_t* sum = &sums_[static_cast<std::size_t>(x / factor_) * 3];
        sum[0] += linearOfByte(platform::redOf(color));
        sum[1] += linearOfByte(platform::greenOf(color));
        sum[2] += linearOfByte(platform::blueOf(color));
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
