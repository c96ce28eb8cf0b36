#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "engine/fractal.h"
#include "platform/headless_window.h"
#include "platform/services.h"
#include "platform/settings_store.h"
#include "support/wait.h"

namespace orbit::test {

inline constexpr const char* kKeyPath = "Software\\Velk\\Corvane";

// A 240 x 268 headless window, an in-memory store and a recording sound.
struct Environment {
    platform::HeadlessWindow window{240, 268};
    platform::MemorySettingsStore store;
    platform::RecordingSound sound;
    platform::Services services{window, store, sound};

    std::optional<std::string> storedText(const std::string& name) {
        const auto value = store.read(kKeyPath, name);
        if (!value || value->kind != platform::SettingsValue::Kind::Text)
            return std::nullopt;
        return value->text;
    }
    void storeText(const std::string& name, const std::string& text) {
        store.write(kKeyPath, name, platform::SettingsValue::ofText(text));
    }
};

template <typename T>
using Owned = std::unique_ptr<T, engine::FractalDeleter>;

template <typename T, typename... Args>
Owned<T> make(Environment& env, Args... args) {
    return Owned<T>(new T(env.services, args...));
}

// Pixels of the picture and of the window that are not white.
inline int drawnPixels(const engine::Fractal& fractal) {
    int drawn = 0;
    for (int y = 0; y < fractal.height; ++y) {
        for (int x = 0; x < fractal.width; ++x) {
            if (fractal.picture.pixel(x, y) != platform::kWhite)
                ++drawn;
            if (fractal.windowDC.pixel(x, y) != platform::kWhite)
                ++drawn;
        }
    }
    return drawn;
}

// Lets the worker compute at least the given number of points, then stops it.
inline void runFor(engine::Fractal& fractal, std::uint32_t points) {
    corvane_test::waitUntil(
        [&fractal, points] { return fractal.runState.pointCount.load() >= points; });
    fractal.stopCalculation();
}

}  // namespace orbit::test
