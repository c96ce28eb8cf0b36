#pragma once

#include <memory>

#include "catalogue/factory.h"
#include "engine/fractal.h"
#include "platform/headless_window.h"
#include "platform/settings_store.h"

namespace corvane_test {

// A real fractal of a type on a small headless window, with its own settings.
struct DialogRig {
    explicit DialogRig(engine::FractalType type)
        : fractal(catalogue::createFractal(type, services())) {}

    platform::Services services() { return platform::Services{window, store, sound}; }

    template <class T>
    T& as() {
        return dynamic_cast<T&>(*fractal);
    }

    platform::HeadlessWindow window{24, 18};
    platform::MemorySettingsStore store;
    platform::RecordingSound sound;
    engine::FractalPtr fractal;
};

}  // namespace corvane_test
