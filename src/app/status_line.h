#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "engine/fractal.h"
#include "platform/geometry.h"
#include "view/deep_view.h"

namespace app {

// What the status bar tells about the picture shown and its run.
struct StatusFacts {
    enum class Run { Running, Stopped, Done };

    std::string typeName;
    bool orbit = false;
    std::string method;      // escape-time only
    std::string arithmetic;  // "fixed point", "double" or "perturbation"
    // The type's default view's width over the view's width.
    double magnification = 1.0;
    // The plane point under the pointer, and the width of a pixel there.
    std::optional<double> pointerX;
    std::optional<double> pointerY;
    double pixelWidth = 0.0;
    double pixelHeight = 0.0;
    // A view deeper than double resolves has a magnification and coordinates no double
    // holds: they come as text ("x 1.3e+290", every digit the pixels need), and take
    // the place of the numbers above. Empty for other views.
    std::string deepMagnification;
    std::string deepPointerX;
    std::string deepPointerY;
    Run run = Run::Running;
    // The share of an escape-time picture done, 0 to 1.
    double shareDone = 0.0;
    std::uint64_t points = 0;
    std::uint64_t iterations = 0;
    double seconds = 0.0;
};

// "Mandelbrot | Relief, fixed point | x 12.5 | -0.7431, 0.1023 | 45 % | 12.3 M iterations/s"
std::string statusText(const StatusFacts& facts);

// A deep view's magnification over a default view defaultWidth wide: "x 1.3e+290",
// as the status line writes large magnifications.
std::string deepMagnificationText(const view::DeepView& view, double defaultWidth);
// value with enough decimals that neighbouring pixels spacing apart read differently,
// and one more, in fixed notation ("-0.74364388703715870475").
std::string deepCoordinateText(const numeric::BigFloat& value, const numeric::BigFloat& spacing);

// The facts of the picture shown; pointer is a pixel of the picture (none when the
// pointer is elsewhere), nowTick the current tick count.
StatusFacts statusFacts(engine::Fractal& fractal, std::optional<platform::Point> pointer,
                        std::uint32_t nowTick, bool stoppedByUser);

}  // namespace app
