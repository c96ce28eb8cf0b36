#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/fractal.h"
#include "engine/row_sink.h"
#include "persist/picture_file.h"
#include "view/deep_view.h"

namespace app {

// The most samples a side a pixel of an exported picture averages.
inline constexpr int kMostSupersample = persist::kMostSupersample;

// Why a width x height picture cannot be exported with factor x factor samples a pixel
// (one line); nullopt when it can. Factor 1 is the plain picture.
std::optional<std::string> supersampleProblem(engine::FractalType type, int width, int height,
                                              int factor);

// The samples of a view: the same plane rectangle on a picture factor times as wide and
// high, shifted so that the factor x factor samples of each pixel lie on a regular grid
// a factor-th of a pixel apart, centred on the pixel's own point. The rectangle keeps
// its proportions, whatever they are. sampleView gives nullopt when the samples are
// finer than any view can be.
view::ViewWindow sampleWindow(const view::ViewWindow& view, int factor);
std::optional<view::DeepView> sampleView(const view::DeepView& view, int factor);

// Sets the fractal (not calculating) to compute the samples of its next run's view, with
// the iteration limit it has now; false when they are finer than any view can be.
bool showSamples(engine::Fractal& fractal, int factor);

// Takes the rows of the samples (factor times as many, each factor times as wide) and
// hands each picture row on to out once its samples are in: every pixel the mean of its
// samples in linear light, encoded back to sRGB and rounded to the nearest byte.
class SampleAverager : public engine::RowSink {
  public:
    SampleAverager(engine::RowSink& out, int width, int factor);
    bool takeRow(int row, const platform::Color* samples, int sampleWidth) override;

  private:
    engine::RowSink& out_;
    int width_;
    int factor_;
    // Linear light of the rows taken since the last picture row: red, green, blue.
    std::vector<std::uint64_t> sums_;
    std::vector<platform::Color> row_;
};

}  // namespace app
