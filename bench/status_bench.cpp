// What the status line costs the calculation: the same Mandelbrot run with nobody
// asking for the status and with the status line composed four times a second (as
// the window does while a picture grows), alternating so both see the same machine.
// The cost of one status line is measured on its own as well.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "app/status_line.h"
#include "complex/complex_fractal.h"
#include "complex/mandelbrot_fractal.h"
#include "platform/clock.h"
#include "platform/headless_window.h"
#include "platform/settings_store.h"
#include "view/deep_view.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kStatusInterval = std::chrono::milliseconds(250);

struct Rig {
    Rig(int width, int height) : window(width, height), fractal(services()) {
        engine::TakingOverScope noRun(fractal);
        fractal.setParameters(1000, 0.0, 0.0, false);
        fractal.setDefaultView();
        fractal.setMethod(complex::kSimple);
    }
    platform::Services services() { return platform::Services{window, store, sound}; }
    platform::HeadlessWindow window;
    platform::MemorySettingsStore store;
    platform::RecordingSound sound;
    complex::MandelbrotFractal fractal;
};

std::string statusNow(complex::MandelbrotFractal& f) {
    return app::statusText(
        app::statusFacts(f, platform::Point{10, 10}, platform::tickCount(), false));
}

// The run's own duration in milliseconds (start to finish tick). With polled, this
// thread composes the status line at the window's rate meanwhile.
double runMs(complex::MandelbrotFractal& f, bool polled) {
    f.startCalculation();
    auto next = Clock::now();
    while (!f.isFinished()) {
        if (polled && Clock::now() >= next) {
            benchmark::DoNotOptimize(statusNow(f));
            next += kStatusInterval;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    const engine::RunStatistics stats = f.statistics();
    return static_cast<double>(stats.endTick - stats.startTick);
}

void BM_RunWithAndWithoutStatusLine(benchmark::State& state) {
    Rig rig(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    double quiet = 1e300;
    double polled = 1e300;
    for (auto _ : state) {
        quiet = std::min(quiet, runMs(rig.fractal, false));
        polled = std::min(polled, runMs(rig.fractal, true));
        state.SetIterationTime((quiet + polled) * 1e-3);
    }
    state.counters["quiet_ms"] = quiet;
    state.counters["polled_ms"] = polled;
    state.counters["polled_vs_quiet"] = polled / quiet;
}

void BM_OneStatusLine(benchmark::State& state) {
    Rig rig(1920, 1080);
    rig.fractal.startCalculation();
    for (auto _ : state)
        benchmark::DoNotOptimize(statusNow(rig.fractal));
    rig.fractal.haltWorker();
}

// One status line at a view 10^-depth wide, whose magnification and coordinates are
// computed at full precision (no run: the text alone).
void BM_OneDeepStatusLine(benchmark::State& state) {
    Rig rig(1920, 1080);
    const std::string width = std::string("1e-").append(std::to_string(state.range(0)));
    const view::CentreAndWidth text =
        *view::parseCentreAndWidth("-1.7400623825793399052208441670658256382966417",
                                   "0.0281753397792110489924115211443195096875390767", width)
             .value;
    rig.fractal.setPreciseView(
        *view::DeepView::fromCentreAndWidth(text.x, text.y, text.width, 1920, 1080));
    for (auto _ : state)
        benchmark::DoNotOptimize(statusNow(rig.fractal));
}

BENCHMARK(BM_RunWithAndWithoutStatusLine)
    ->Args({1920, 1080})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);
BENCHMARK(BM_OneStatusLine)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_OneDeepStatusLine)->Arg(30)->Arg(300)->Arg(3000)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
