#pragma once

#include "platform/settings_store.h"
#include "platform/window.h"

namespace platform {

// What a fractal object is given by its creator: the main window, the per-user
// settings store and the sound. None of them is owned by the fractal.
struct Services {
    Window& window;
    SettingsStore& settings;
    Sound& sound;
};

}  // namespace platform
