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

    friend bool operator==(const Options&, const Options&) = default;
};

}  // namespace engine
