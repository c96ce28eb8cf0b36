#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "engine/fractal.h"
#include "platform/geometry.h"
#include "view/deep_view.h"

namespace app {

// A plane coordinate in scientific notation: its significant digits (the first one
// not zero) and the power of ten of the first. No digits: the value is zero at the
// precision of the pixels.
struct ScientificNumber {
    bool negative = false;
    std::string digits;
    long exponent = 0;
};

// What the status bar tells about the picture shown and its run.
struct StatusFacts {
    // Idle: nothing is being computed (an opened picture, a slideshow); the bar then
    // shows no progress and no rate.
    enum class Run { Running, Stopped, Done, Idle };

    std::string typeName;
    bool orbit = false;
    bool slideshow = false;
    std::string method;      // escape-time only
    std::string arithmetic;  // "fixed point", "double" or "perturbation"
    // The iteration limit of the run, shown when it is the automatic one or the view
    // is deep; 0: not shown.
    int iterationLimit = 0;
    // Why the run computes nothing (a deep view it cannot compute); empty when it does.
    std::string refusal;
    // The plane units a pixel of the type's default view spans on the reference
    // picture, over those of a pixel of the view: a resize keeps it.
    double magnification = 1.0;
    // A view deeper than double resolves has a magnification no double holds: it comes
    // as text ("x 1.3e+290") and takes the place of the number above. Empty otherwise.
    std::string deepMagnification;
    // The plane point under the pointer, with the digits its pixel spacing needs.
    std::optional<ScientificNumber> pointerX;
    std::optional<ScientificNumber> pointerY;
    Run run = Run::Running;
    // The share of an escape-time picture done, 0 to 1.
    double shareDone = 0.0;
    std::uint64_t points = 0;
    std::uint64_t iterations = 0;
    double seconds = 0.0;
};

// The picture on which a magnification of 1 shows the type's default view: the
// program's first picture, twice the pocket screen's 240 x 268.
inline constexpr int kReferencePictureWidth = 480;
inline constexpr int kReferencePictureHeight = 536;

// "Mandelbrot | Relief, fixed point | x 12.5 | -7.431e-1, 1.023e-1 | 45 % | 12.3 M iterations/s"
std::string statusText(const StatusFacts& facts);

// How wide a text is on the status bar (pixels in the window, characters in tests).
using TextWidth = std::function<int(const std::string&)>;
// The same line made to fit width: the pointer's coordinates lose digits first, then
// the fields give way in a fixed order (method, coordinates, magnification, type), so
// that the progress, the time and the rate stay visible.
std::string statusText(const StatusFacts& facts, int width, const TextWidth& measure);

// "-7.4364e-1"; with mostDigits, digits beyond it are cut off and marked: "-7.436…e-1".
std::string scientificText(const ScientificNumber& number,
                           std::size_t mostDigits = std::string::npos);
// value with enough significant digits that neighbouring pixels spacing apart read
// differently, and one more.
ScientificNumber coordinateDigits(const numeric::BigFloat& value, const numeric::BigFloat& spacing);
ScientificNumber coordinateDigits(double value, double spacing);

// A deep view's magnification over a pixel spacing of referenceSpacing: "x 1.3e+290",
// as the status line writes large magnifications.
std::string deepMagnificationText(const view::DeepView& view, double referenceSpacing);

// The plane units per pixel of a type's default view on the reference picture.
double referenceSpacing(engine::FractalType type);

// The facts of the picture shown; pointer is a pixel of the picture (none when the
// pointer is elsewhere), nowTick the current tick count.
StatusFacts statusFacts(engine::Fractal& fractal, std::optional<platform::Point> pointer,
                        std::uint32_t nowTick, bool stoppedByUser);

}  // namespace app
