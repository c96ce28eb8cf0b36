// How often the view operations write the settings store.
#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "complex/mandelbrot_fractal.h"
#include "orbit/hopalong_fractal.h"
#include "platform/headless_window.h"
#include "platform/settings_store.h"

namespace {

// Counts the transfers that reach the store; each one may rewrite the settings file.
class CountingStore : public platform::MemorySettingsStore {
  public:
    bool write(const std::string& keyPath, const std::string& name,
               const platform::SettingsValue& value) override {
        ++writes;
        return MemorySettingsStore::write(keyPath, name, value);
    }
    bool writeValues(const std::string& keyPath,
                     const platform::SettingsKeyValues& values) override {
        ++writes;
        for (const auto& [name, value] : values)
            MemorySettingsStore::write(keyPath, name, value);
        return true;
    }
    int writes = 0;
};

TEST(SettingsWritesTest, EachZoomWritesTheStoreAtMostOnce) {
    struct Case {
        const char* what;
        std::function<void(engine::Fractal&)> zoom;
    };
    const Case cases[] = {
        {"zoom to a rectangle", [](engine::Fractal& f) { f.zoomToRect(-1, -1, 0.5, 0.5, true); }},
        {"zoom out", [](engine::Fractal& f) { f.zoomByFactor(0.6); }},
        {"zoom in by a factor", [](engine::Fractal& f) { f.zoomByFactor(2.0); }},
        {"scale about a point", [](engine::Fractal& f) { f.scaleViewAt(0.1, 0.2, 1.5); }},
        {"zoom previous",
         [](engine::Fractal& f) {
             f.zoomByFactor(0.6);
             f.zoomPrevious();
         }},
    };
    for (const bool orbit : {false, true}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(c.what);
            SCOPED_TRACE(orbit ? "orbit" : "escape-time");
            platform::HeadlessWindow window(24, 18);
            CountingStore store;
            platform::RecordingSound sound;
            const platform::Services services{window, store, sound};
            std::unique_ptr<engine::Fractal> f;
            if (orbit) {
                f = std::make_unique<orbit::HopalongFractal>(services, 10, 20, 30);
            } else {
                f = std::make_unique<complex::MandelbrotFractal>(services);
            }
            f->setOption(&engine::Options::animZoomSleep, 0);
            f->startFromSettings();
            const int steps = std::string(c.what) == "zoom previous" ? 2 : 1;
            store.writes = 0;
            c.zoom(*f);
            EXPECT_LE(store.writes, steps);
            f->haltWorker();
        }
    }
}

}  // namespace
