#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "engine/fractal.h"
#include "platform/geometry.h"

namespace app {

// What the status bar tells about the picture shown and its run.
struct StatusFacts {
    enum class Run { Running, Stopped, Done };

    std::string typeName;
    bool orbit = false;
    std::string method;      // escape-time only
    std::string arithmetic;  // "fixed point" or "double"
    // The type's default view's width over the view's width.
    double magnification = 1.0;
    // The plane point under the pointer, and the width of a pixel there.
    std::optional<double> pointerX;
    std::optional<double> pointerY;
    double pixelWidth = 0.0;
    double pixelHeight = 0.0;
    Run run = Run::Running;
    // The share of an escape-time picture done, 0 to 1.
    double shareDone = 0.0;
    std::uint64_t points = 0;
    std::uint64_t iterations = 0;
    double seconds = 0.0;
};

// "Mandelbrot | Relief, fixed point | x 12.5 | -0.7431, 0.1023 | 45 % | 12.3 M iterations/s"
std::string statusText(const StatusFacts& facts);

// The facts of the picture shown; pointer is a pixel of the picture (none when the
// pointer is elsewhere), nowTick the current tick count.
StatusFacts statusFacts(engine::Fractal& fractal, std::optional<platform::Point> pointer,
                        std::uint32_t nowTick, bool stoppedByUser);

}  // namespace app
