// Frames a second while the view zooms in continuously at twice a second on a 1280 x
// 720 window, and the share of each frame's pixels computed anew: the frames the
// window shows while a zoom key or button is held, without the window's paint.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <thread>

#include "catalogue/factory.h"
#include "catalogue/fractal_types.h"
#include "engine/fractal.h"
#include "platform/headless_window.h"
#include "platform/settings_store.h"

namespace {

constexpr int kWidth = 1280;
constexpr int kHeight = 720;
constexpr unsigned kFrameBudgetMs = 30;

void waitFinished(const engine::Fractal& fractal) {
    while (!fractal.isFinished())
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

// Arg: the plane width shown, as a power of ten (0: the default view).
void BM_ContinuousZoom(benchmark::State& state) {
    platform::HeadlessWindow window{kWidth, kHeight};
    platform::MemorySettingsStore store;
    platform::RecordingSound sound;
    engine::FractalPtr fractal =
        catalogue::createFractal(engine::kMandelbrot, platform::Services{window, store, sound});
    if (state.range(0) != 0) {
        const long bits = 256;
        fractal->setPreciseView(*view::DeepView::fromCentreAndWidth(
            numeric::BigFloat(bits, -0.743643887037158704752191506114774),
            numeric::BigFloat(bits, 0.131825904205311970493132056385139),
            numeric::BigFloat(bits, 3.0 * std::pow(10.0, static_cast<double>(state.range(0)))),
            kWidth, kHeight));
    }
    fractal->startCalculation();
    waitFinished(*fractal);
    fractal->beginViewGesture();
    const platform::Point centre{kWidth / 2, kHeight / 2};
    double computed = 0.0;
    double reused = 0.0;
    std::int64_t frames = 0;
    auto last = std::chrono::steady_clock::now();
    for (auto _ : state) {
        const auto now = std::chrono::steady_clock::now();
        const double seconds = std::chrono::duration<double>(now - last).count();
        last = now;
        fractal->stepViewGesture(fractal->preciseView().scaledAboutCentre(std::pow(2.0, seconds)));
        const auto figures = fractal->advanceGestureFrame(centre, kFrameBudgetMs);
        if (!figures) {
            state.SkipWithError("no live frame");
            break;
        }
        ++frames;
        computed += static_cast<double>(figures->computed) / static_cast<double>(figures->pixels);
        reused += figures->reusedShare;
    }
    fractal->endViewGesture();
    fractal->stopCalculation();
    state.counters["frames/s"] =
        benchmark::Counter(static_cast<double>(frames), benchmark::Counter::kIsRate);
    state.counters["computed%"] = frames > 0 ? 100.0 * computed / static_cast<double>(frames) : 0;
    state.counters["reused%"] = frames > 0 ? 100.0 * reused / static_cast<double>(frames) : 0;
}
BENCHMARK(BM_ContinuousZoom)
    ->Arg(0)
    ->Arg(-50)
    ->Iterations(80)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
