#pragma once

#include <sys/resource.h>

#include <atomic>

#include "engine/fractal.h"
#include "platform/headless_window.h"
#include "platform/settings_store.h"
#include "platform/thread_priority.h"
#include "support/wait.h"

namespace corvane_test {

// The colour the test kernel gives pixel (x, y).
inline platform::Color kernelColor(int x, int y) {
    return platform::rgb(static_cast<unsigned>(x * 7), static_cast<unsigned>(y * 5), 0x40);
}

// A fractal with a kernel of known counts and colours: every pixel once, pixel
// (x, y) takes x + 1 iterations. An endless one repeats the scan until stopped.
class TestFractal : public engine::Fractal {
  public:
    explicit TestFractal(const platform::Services& services, bool endless = false)
        : Fractal(services), endless_(endless) {
        type = 42;
        opened.type = 42;
        typeName = "Test";
    }

    int calculate() override {
        calculateCalls.fetch_add(1);
        do {
            workerNice =
                ::getpriority(PRIO_PROCESS, static_cast<id_t>(platform::currentThreadId()));
            for (int y = 0; y < height; ++y) {
                for (int x = 0; x < width; ++x) {
                    if (!keepRunning())
                        return 0;
                    plotPoint(x, y, kernelColor(x, y));
                    addPoints(1);
                    addIterations(static_cast<std::uint32_t>(x + 1));
                }
            }
        } while (endless_);
        return 0;
    }
    std::string parameterString() const override { return "saved"; }
    bool saveParameters() override {
        saves.fetch_add(1);
        return settings.writeString(typeName, parameterString());
    }
    bool loadParameters() override {
        std::string text;
        std::uint32_t length = 255;
        if (!settings.readString(typeName, text, length))
            return false;
        stopCalculation();
        loaded = text;
        startCalculation();
        return true;
    }
    void setDefaultParameters() override {
        stopCalculation();
        startCalculation();
    }
    void setDefaultView() override { showDefaultRect(-2, -2, 2, 2); }
    void prepareCalculation() override { prepares.fetch_add(1); }
    void clearPicture() override {
        clears.fetch_add(1);
        Fractal::clearPicture();
    }

    std::atomic<int> calculateCalls{0};
    std::atomic<int> workerNice{0};  // the worker's nice value at the last pass
    std::atomic<int> saves{0};
    std::atomic<int> prepares{0};
    std::atomic<int> clears{0};
    std::string loaded;

  private:
    bool endless_;
};

// Everything a fractal needs, headless.
struct Rig {
    explicit Rig(int width = 24, int height = 18) : window(width, height) {}
    platform::Services services() { return platform::Services{window, store, sound}; }
    std::optional<platform::SettingsValue> stored(const std::string& name) {
        return store.read("Software\\Velk\\Corvane", name);
    }
    platform::HeadlessWindow window;
    platform::MemorySettingsStore store;
    platform::RecordingSound sound;
};

// Waits until the running worker has computed at least n points.
inline bool waitPoints(const engine::Fractal& f, std::uint32_t n) {
    return waitUntil([&f, n] { return f.runState.pointCount.load() >= n; });
}

}  // namespace corvane_test
