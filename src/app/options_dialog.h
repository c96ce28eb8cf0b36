#pragma once

#include <string>

#include "engine/fractal.h"

namespace app {

struct OptionsForm {
    bool alarm = false;
    bool animZoom = false;
    bool allCores = true;
    std::string delay;  // the slideshow delay in seconds
    bool autoIterations = false;
    bool exactCounts = false;
    std::string referenceMemory;  // MiB
    std::string zoomSpeed;        // the factor a second of continuous zooming
};

// The options. They reach the settings with the next stop of the calculation.
class OptionsDialog {
  public:
    static constexpr const char* kCaption = "Options";
    static constexpr const char* kAlarmText = "Alarm, if finished";
    static constexpr const char* kAnimZoomText = "Animated Zoom";
    static constexpr const char* kAllCoresText = "Use all processor cores";
    static constexpr const char* kDelayLabel = "Slideshow delay:";
    static constexpr const char* kSecondsLabel = "seconds";
    static constexpr const char* kAutoIterationsText = "Automatic iteration limit";
    static constexpr const char* kExactCountsText = "Exact counts in deep views (slower)";
    static constexpr const char* kReferenceMemoryLabel = "Deep view memory:";
    static constexpr const char* kMiBLabel = "MiB";
    static constexpr const char* kZoomSpeedLabel = "Zoom speed:";
    static constexpr const char* kTimesASecondLabel = "times a second";

    static OptionsForm open(const engine::Fractal& fractal);
    // A delay that does not parse, or that comes to less than one millisecond, or
    // that does not fit in milliseconds, leaves the delay as it was.
    static int ok(const OptionsForm& form, engine::Fractal& fractal);
    // The delay in milliseconds that a field stands for; 0 when it changes nothing.
    static int delayMilliseconds(const std::string& text);
    // The reference orbits' memory in MiB that a field stands for; 0 when it is no
    // whole number in the allowed range (the memory then stays as it was).
    static int referenceMemoryMiB(const std::string& text);
    // The zoom speed in percent a second that a field's factor stands for ("2" is 200);
    // 0 when it is no number in the allowed range (the speed then stays as it was).
    static int zoomSpeedPercent(const std::string& text);
};

}  // namespace app
