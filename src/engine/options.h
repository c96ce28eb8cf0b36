#pragma once

namespace engine {

// The user's options, as the Options and Parameters dialogs show them and the settings
// keep them. One value: a dialog reads it, changes what the user changed and hands it
// back whole (Fractal::setOptions).
struct Options {
    bool alarm = false;         // beep when an escape-time picture is finished
    bool animZoom = true;       // animate zooms and the slideshow's transitions
    int animZoomSleep = 40;     // milliseconds between frames of an animated zoom, >= 0
    int slideshowDelay = 2000;  // milliseconds each slideshow picture stays, > 0
    // An escape-time picture computed by as many threads as the machine has cores (the
    // same picture either way); from the next run.
    bool allCores = true;
    bool randomColors = true;  // orbit fractals: colours drawn at random from the table
    // The most memory the reference orbits of a deep view may take, in MiB; from the
    // next run. Iteration limits whose orbits could need more are refused.
    int referenceMemoryMiB = kDefaultReferenceMiB;
    // Escape-time pictures choose their iteration limit themselves from the view's
    // depth and the counts on the last picture's border; from the next run.
    bool autoIterations = false;
    // Deep pictures count again, more precisely, the pixels whose count double
    // differences cannot decide: slower, the same picture elsewhere; from the next run.
    bool exactCounts = false;
    // How fast a held zoom key or button zooms: the magnification per second, in
    // hundredths (200: twice a second).
    int zoomSpeedPercent = kDefaultZoomSpeedPercent;

    static constexpr int kDefaultZoomSpeedPercent = 200;
    static constexpr int kLeastZoomSpeedPercent = 105;
    static constexpr int kMostZoomSpeedPercent = 3200;
    static constexpr bool zoomSpeedAllowed(long long percent) {
        return percent >= kLeastZoomSpeedPercent && percent <= kMostZoomSpeedPercent;
    }
    static constexpr int kDefaultReferenceMiB = 2048;
    static constexpr int kLeastReferenceMiB = 16;
    static constexpr int kMostReferenceMiB = 1 << 20;  // 1 TiB
    static constexpr bool referenceMemoryAllowed(long long mib) {
        return mib >= kLeastReferenceMiB && mib <= kMostReferenceMiB;
    }

    friend bool operator==(const Options&, const Options&) = default;
};

}  // namespace engine
