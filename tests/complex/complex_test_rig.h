#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "complex/complex_fractal.h"
#include "complex/julia_fractal.h"
#include "complex/mandelbrot_fractal.h"
#include "complex/manowar_fractal.h"
#include "complex/phoenix_fractal.h"
#include "complex/spider_fractal.h"
#include "complex/unity_fractal.h"
#include "engine/row_sink.h"
#include "platform/headless_window.h"
#include "platform/settings_store.h"
#include "support/wait.h"

namespace complex_test {

inline constexpr const char* kKey = "Software\\Velk\\Corvane";

// A real escape-time fractal of the type (Mandelbrot for any other id).
inline std::unique_ptr<complex::ComplexFractal> makeComplexType(engine::FractalType type,
                                                                const platform::Services& s) {
    switch (type) {
        case engine::kJulia:
            return std::make_unique<complex::JuliaFractal>(s);
        case engine::kUnity:
            return std::make_unique<complex::UnityFractal>(s);
        case engine::kSpider:
            return std::make_unique<complex::SpiderFractal>(s);
        case engine::kManowar:
            return std::make_unique<complex::ManowarFractal>(s);
        case engine::kPhoenix:
            return std::make_unique<complex::PhoenixFractal>(s);
        default:
            return std::make_unique<complex::MandelbrotFractal>(s);
    }
}

// Everything a fractal needs, headless.
struct Rig {
    explicit Rig(int width = 24, int height = 18) : window(width, height) {}
    platform::Services services() { return platform::Services{window, store, sound}; }
    std::optional<std::string> storedText(const std::string& name) {
        const auto value = store.read(kKey, name);
        if (!value || value->kind != platform::SettingsValue::Kind::Text)
            return std::nullopt;
        return value->text;
    }
    void storeText(const std::string& name, const std::string& text) {
        store.write(kKey, name, platform::SettingsValue::ofText(text));
    }
    platform::HeadlessWindow window;
    platform::MemorySettingsStore store;
    platform::RecordingSound sound;
};

struct Pixel {
    int column;
    int row;
    friend bool operator==(const Pixel&, const Pixel&) = default;
};

// An escape-time fractal whose kernel looks the count up per pixel, records the order
// in which pixels are evaluated, and can clear `runState.running` after a number of
// evaluations, as a stop from the user-interface thread would.
class TableFractal final : public complex::ComplexFractal {
  public:
    explicit TableFractal(const platform::Services& services) : ComplexFractal(services) {
        type = 99;
        opened.type = 99;
        typeName = "Table";
        counts.assign(static_cast<std::size_t>(width * height), 1);
    }
    ~TableFractal() override { runState.running = false; }

    using ComplexFractal::traceBorder;

    using ComplexFractal::iteratePoint;
    int iteratePoint(const complex::EscapeParameters&, double x, double y) override {
        const view::ViewWindow& view = runInputs().view;
        const int column = static_cast<int>(std::lround((x - view.xmin) / view.xscale));
        const int row =
            view.maxY - 1 - static_cast<int>(std::lround((y - view.ymin) / view.yscale));
        evaluated.push_back(Pixel{column, row});
        if (stopAfter > 0 && static_cast<int>(evaluated.size()) >= stopAfter)
            runState.running = false;
        return counts[static_cast<std::size_t>(row * width + column)];
    }

    void setCounts(const std::function<int(int, int)>& count) {
        for (int row = 0; row < height; ++row) {
            for (int column = 0; column < width; ++column) {
                counts[static_cast<std::size_t>(row * width + column)] = count(column, row);
            }
        }
    }

    // One scan on the calling thread, as the worker would run it.
    void scan(int scanMethod) {
        setMethod(scanMethod);
        evaluated.clear();
        runState.pointCount = 0;
        runState.iterationCount = 0;
        prepareRun();
        runState.running = true;
        calculate();
        runState.running = false;
    }

    std::vector<int> counts;  // row by row
    std::vector<Pixel> evaluated;
    int stopAfter = 0;
};

using corvane_test::waitFinished;

// The picture of a run from start to finish.
inline std::vector<platform::Color> computed(complex::ComplexFractal& f) {
    f.startCalculation();
    EXPECT_TRUE(waitFinished(f));
    return f.picture.snapshot();
}

// The rows an export hands over, one after the other.
class CollectedRows : public engine::RowSink {
  public:
    bool takeRow(int, const platform::Color* pixels, int width) override {
        colors.insert(colors.end(), pixels, pixels + width);
        return true;
    }
    std::vector<platform::Color> colors;
};

}  // namespace complex_test
