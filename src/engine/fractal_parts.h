#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/bitmap.h"
#include "view/view_window.h"

namespace engine {

// The state of the run under way or the last one; shared: the worker writes it, the
// user-interface thread reads it and asks for a stop or a pause.
struct RunState {
    std::uint64_t points() const noexcept { return pointCount.load(std::memory_order_relaxed); }
    std::uint64_t iterations() const noexcept {
        return iterationCount.load(std::memory_order_relaxed);
    }

    std::atomic<std::uint64_t> pointCount{0};
    std::atomic<std::uint64_t> iterationCount{0};
    // The bytes the run's reference orbits take, once computed (deep views only).
    std::atomic<std::uint64_t> referenceBytes{0};
    std::atomic<bool> running{false};
    std::atomic<bool> finished{false};
    // Whether the last run ended because the picture was complete (not stopped).
    std::atomic<bool> completed{false};
    std::atomic<bool> paused{false};
};

// What the slideshow is showing; owned by the user-interface thread.
struct SlideshowState {
    unsigned timer = 0;   // the window timer of a running slideshow; 0 when none runs
    std::string pattern;  // of the bitmaps; the same ending in "png" finds PNG pictures
    std::string folder;
    std::vector<std::string> files;
    int position = 0;
    bool sameType = false;
};

// The picture file read last: its type, its parameter string and the view it shows;
// owned by the user-interface thread.
struct OpenedPicture {
    std::int32_t type = 0;
    std::string params;
    view::ViewWindow view;
};

// Where pictures are saved and palettes were loaded from; owned by the user-interface
// thread.
struct Folders {
    std::string images;
    std::string palette;  // the palette file's whole path
};

// The surfaces of the animated zoom; owned by the user-interface thread.
struct AnimationSurfaces {
    platform::Bitmap scratch;                 // the next frame is drawn here
    std::unique_ptr<platform::Bitmap> saved;  // the picture before the zoom began
};

}  // namespace engine
