#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "complex/color_controls.h"
#include "engine/fractal.h"
#include "view/deep_view.h"

namespace app {

inline constexpr int kMostFramesPerDoubling = 10000;
// More frames than any video holds; it keeps every frame number an int.
inline constexpr long kMostPathFrames = 100000000;
inline constexpr int kDefaultPathWidth = 1280;
inline constexpr int kDefaultPathHeight = 720;

// A zoom from a start view to an end view by a constant factor a frame, as a path file
// gives it, one "key value" pair a line ('#' comments, blank lines, keys in any case,
// each at most once, unknown keys refused):
//
//   type Mandelbrot
//   centre -0.743643887037158704752191506114774 0.131825904205311970493132056385139
//   width 1.5e-30
//   per-doubling 30
//   size 1280x720
//
// "centre", "width" and "per-doubling" are needed; the start view ("start-centre" with
// "start-width") is the view the parameters or the type show when it is left out.
struct ZoomPath {
    engine::FractalType type = engine::kMandelbrot;
    // The classic fields of the type's parameter string; nullopt: the type's defaults.
    std::optional<std::string> parameters;
    std::optional<view::CentreAndWidth> start;
    view::CentreAndWidth end;
    int perDoubling = 0;
    // Frames of the final ease, in which the zoom slows down to a stop.
    int ease = 0;
    int width = kDefaultPathWidth;
    int height = kDefaultPathHeight;
    // nullopt and not automatic: the limit of the parameters.
    std::optional<int> iterations;
    bool autoIterations = false;
    // kBands or kSmooth; nullopt: the parameters' own.
    std::optional<int> colouring;
    complex::ColorControlChanges colorChanges;
    int supersample = 1;
    // 0 or 1: every frame is rendered; K: every K-th frame is a keyframe the others
    // are scaled from.
    int keyframeEvery = 0;
};

struct ZoomPathResult {
    std::optional<ZoomPath> value;
    std::string error;  // a short English sentence when value is empty
};

// Refuses, with a message, text that does not parse, lacks the end view or the frames
// a doubling, gives a value out of its range or a key twice or a key not known.
ZoomPathResult parseZoomPath(std::string_view text);

// Why the settings of a path cannot be used together, whoever gave them (the file or
// the command line); empty when they can.
std::string zoomPathProblem(const ZoomPath& path);

// The path written with every value, the start view as start (so that whitespace,
// comments and defaults do not change it); parsed again it gives the same text.
std::string canonicalPathText(const ZoomPath& path, const view::DeepView& start);

// 64-bit FNV-1a of the program version and the canonical text, as 16 hex digits: what
// a frame file records to say which path it belongs to.
std::string pathChecksum(const std::string& canonicalText);

struct ZoomFramesResult;

// The views of the frames of a path whose start view is known.
class ZoomFrames {
  public:
    // Refuses an end width equal to the start width, an end centre outside the start
    // view (it would leave some frames), an end view no picture of the size can show
    // and more than kMostPathFrames frames.
    static ZoomFramesResult make(const ZoomPath& path, const view::DeepView& start);

    long count() const { return count_; }
    const view::DeepView& start() const { return start_; }
    const view::DeepView& end() const { return end_; }
    // Frame k of 0..count()-1: the start view at 0, the end view at the last frame,
    // between them the zoom that keeps one plane point fixed on the screen. nullopt
    // only when no view of the picture's size can be made there.
    std::optional<view::DeepView> frame(long k) const;

  private:
    ZoomFrames(view::DeepView start, view::DeepView end) : start_(start), end_(end) {}
    // The power of two frame k's width is of the start width.
    double widthExponent(long k) const;

    view::DeepView start_;
    view::DeepView end_;
    long count_ = 2;
    long steps_ = 1;  // frames at the constant speed, before the ease
    int ease_ = 0;
    double log2Ratio_ = 0.0;
    long precision_ = numeric::BigFloat::kLeastPrecision;
    numeric::BigFloat ratio_;  // end width / start width
    // The start centre less the fixed point.
    numeric::BigFloat offsetX_;
    numeric::BigFloat offsetY_;
};

struct ZoomFramesResult {
    std::optional<ZoomFrames> value;
    std::string error;
};

// log2(a / b) of two positive numbers.
double log2Ratio(const numeric::BigFloat& a, const numeric::BigFloat& b);

}  // namespace app
