// The escape-time engine against plain loops that run the same iteration with
// nothing around them. All walk the default Mandelbrot view column by column, pixel
// by pixel; the engine adds the worker thread, the virtual kernel call, drawing into
// both bitmaps and the statistics. Each benchmark iteration runs every loop and the
// engine once, so that all see the same machine state.
//
// Two plain fixed-point loops: one with the step written as the formula reads
// (XX - YY + CR), and one that adds the new square last as the kernels do, which
// shortens the loop's critical path. The first is the baseline the engine has to
// keep up with; the second shows what the engine's per-pixel work costs.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <thread>
#include <vector>

#include "complex/complex_fractal.h"
#include "complex/escape_kernels.h"
#include "complex/fixed28.h"
#include "complex/mandelbrot_fractal.h"
#include "plain_loops.h"
#include "platform/headless_window.h"
#include "platform/settings_store.h"
#include "platform/thread_priority.h"

namespace {

using Clock = std::chrono::steady_clock;
using complex::fixed28::Fixed28;

constexpr int kIterations = 200;

// What the engine and the plain loops compute: the default view with 200 iterations,
// or a view 16 times closer in the valley between the main cardioid and the large disc,
// full of detail, with 1000 iterations.
struct Scene {
    double x1, y1, x2, y2;
    int iterations;
};
constexpr Scene kScenes[] = {{-2.1, -1.69, 1.0, 1.72, kIterations},
                             {-0.8422, 0.0061, -0.6484, 0.2193, 1000}};

struct Headless {
    Headless(int width, int height) : window(width, height) {}
    platform::Services services() { return platform::Services{window, store, sound}; }
    platform::HeadlessWindow window;
    platform::MemorySettingsStore store;
    platform::RecordingSound sound;
};

// The default Mandelbrot view fitted to width x height, as the engine computes it.
view::ViewWindow defaultView(int width, int height) {
    view::ViewWindow view(true);
    view.setScreenSize(width, height);
    view.setRect(-2.1, -1.69, 1.0, 1.72);
    return view;
}

template <bool kSquareLast>
std::uint64_t plainFixed(const view::ViewWindow& view, std::vector<int>& counts, int limit) {
    return bench::plainFixedLoop<kSquareLast>(view, counts, limit);
}

std::uint64_t plainDouble(const view::ViewWindow& view, std::vector<int>& counts, int limit) {
    return bench::plainDoubleLoop(view, counts, limit);
}

// A Mandelbrot object on the default view, ready to run, nothing started yet.
void prepare(complex::MandelbrotFractal& f, int method, bool integer) {
    engine::TakingOverScope noRun(f);
    f.setParameters(kIterations, 0.0, 0.0, integer);
    f.setDefaultView();
    f.setMethod(method);
}

// Elapsed and processor time of one run, in nanoseconds. The processor time counts
// every thread of the process, so it covers the worker, and it does not grow while
// other programs on a busy machine have the processor.
struct Span {
    double wall = 0;
    double cpu = 0;
};

double cpuNs(clockid_t clock) {
    timespec t{};
    clock_gettime(clock, &t);
    return static_cast<double>(t.tv_sec) * 1e9 + static_cast<double>(t.tv_nsec);
}

double processCpuNs() {
    return cpuNs(CLOCK_PROCESS_CPUTIME_ID);
}

template <class Work>
Span measure(Work&& work) {
    const double cpu = processCpuNs();
    const auto start = Clock::now();
    work();
    return Span{std::chrono::duration<double, std::nano>(Clock::now() - start).count(),
                processCpuNs() - cpu};
}

// One complete run through startCalculation and the worker, its elapsed time from the
// call to the moment the run is seen finished. The default view takes about 12 ms on
// both cores, where the run's own millisecond ticks (as the Statistics dialog shows
// them) would be off by up to a tick in twelve; seeing the end up to 0.2 ms late
// counts against the engine, never for it. The waiting itself is not the engine's
// processor time.
Span runEngine(complex::MandelbrotFractal& f) {
    double waiting = 0;
    Span span = measure([&f, &waiting] {
        f.startCalculation();
        const double before = cpuNs(CLOCK_THREAD_CPUTIME_ID);
        while (!f.isFinished())
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        waiting = cpuNs(CLOCK_THREAD_CPUTIME_ID) - before;
    });
    span.cpu -= waiting;
    return span;
}

// Iterations per nanosecond of elapsed and of processor time; the best of the
// repetitions, which is the least disturbed by other work on the machine.
struct Rate {
    double wall = 0;
    double cpu = 0;
    void keepBest(std::uint64_t iterations, const Span& span) {
        const auto perNs = [iterations](double ns) {
            return ns > 0 ? static_cast<double>(iterations) / ns : 0.0;
        };
        wall = std::max(wall, perNs(span.wall));
        cpu = std::max(cpu, perNs(span.cpu));
    }
};

using PlainLoop = std::uint64_t (*)(const view::ViewWindow&, std::vector<int>&, int);

struct Comparison {
    Rate engine;
    std::vector<Rate> plain;  // one per plain loop, in the order given
};
Comparison gFixed[std::size(kScenes)];
Comparison gDouble[std::size(kScenes)];

void engineVersusPlain(benchmark::State& state, bool integer,
                       const std::vector<std::pair<const char*, PlainLoop>>& loops,
                       Comparison* results) {
    const int width = static_cast<int>(state.range(0));
    const int height = static_cast<int>(state.range(1));
    const auto sceneIndex = static_cast<std::size_t>(state.range(2));
    const Scene& scene = kScenes[sceneIndex];
    Comparison& result = results[sceneIndex];
    Headless headless(width, height);
    complex::MandelbrotFractal f(headless.services());
    prepare(f, complex::kSimple, integer);
    view::ViewWindow view = defaultView(width, height);
    {
        engine::TakingOverScope noRun(f);
        f.setMaxIterations(scene.iterations);
        f.setViewRect(scene.x1, scene.y1, scene.x2, scene.y2);
    }
    view.setRect(scene.x1, scene.y1, scene.x2, scene.y2);
    std::vector<int> counts(static_cast<std::size_t>(width) * height);

    result = Comparison{};
    result.plain.resize(loops.size());
    std::uint64_t engineIterations = 0;
    for (auto _ : state) {
        double wall = 0;
        std::uint64_t plainIterations = 0;
        for (std::size_t i = 0; i < loops.size(); ++i) {
            const Span span = measure([&] {
                plainIterations = loops[i].second(view, counts, scene.iterations);
                benchmark::DoNotOptimize(counts.data());
            });
            result.plain[i].keepBest(plainIterations, span);
            wall += span.wall;
        }
        const Span span = runEngine(f);
        engineIterations = f.statistics().iterationCount;
        if (engineIterations != plainIterations) {
            state.SkipWithError("the engine and the plain loop count different iterations");
            break;
        }
        result.engine.keepBest(engineIterations, span);
        state.SetIterationTime((wall + span.wall) * 1e-9);
    }
    state.counters["engine_per_ns"] = result.engine.cpu;
    for (std::size_t i = 0; i < loops.size(); ++i) {
        state.counters[std::string(loops[i].first) + "_per_ns"] = result.plain[i].cpu;
        state.counters["engine_vs_" + std::string(loops[i].first)] =
            result.engine.cpu / result.plain[i].cpu;
    }
    state.counters["iterations_per_pixel"] =
        static_cast<double>(engineIterations) / (width * height);
}

void BM_FixedEngineVersusPlainLoop(benchmark::State& state) {
    engineVersusPlain(state, true, {{"plain", plainFixed<false>}, {"squarelast", plainFixed<true>}},
                      gFixed);
}

void BM_DoubleEngineVersusPlainLoop(benchmark::State& state) {
    engineVersusPlain(state, false, {{"plain", plainDouble}}, gDouble);
}

// How many pixels the quadrant subdivision evaluates on the default view.
void BM_TesseralShare(benchmark::State& state) {
    const int width = static_cast<int>(state.range(0));
    const int height = static_cast<int>(state.range(1));
    Headless headless(width, height);
    complex::MandelbrotFractal f(headless.services());
    prepare(f, complex::kTesseral, true);
    std::uint32_t points = 0;
    for (auto _ : state) {
        const Span run = runEngine(f);
        points = f.statistics().pointCount;
        state.SetIterationTime(run.wall * 1e-9);
    }
    state.counters["evaluated_share"] = static_cast<double>(points) / (width * height);
}

BENCHMARK(BM_FixedEngineVersusPlainLoop)
    ->Args({1920, 1080, 0})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10);
BENCHMARK(BM_DoubleEngineVersusPlainLoop)
    ->Args({1920, 1080, 0})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10);
BENCHMARK(BM_FixedEngineVersusPlainLoop)
    ->Args({1920, 1080, 1})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK(BM_DoubleEngineVersusPlainLoop)
    ->Args({1920, 1080, 1})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK(BM_TesseralShare)
    ->Args({1920, 1080})
    ->Args({480, 536})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(4);

void printSummary(const char* name, const Comparison& c, const char* const* loopNames) {
    for (std::size_t i = 0; i < c.plain.size(); ++i) {
        const Rate& plain = c.plain[i];
        if (plain.cpu <= 0)
            continue;
        std::printf(
            "%s: engine %.3f vs %s loop %.3f iterations per ns of processor time (%.1f%%); "
            "elapsed %.3f vs %.3f (%.1f%%)\n",
            name, c.engine.cpu, loopNames[i], plain.cpu, 100.0 * c.engine.cpu / plain.cpu,
            c.engine.wall, plain.wall, 100.0 * c.engine.wall / plain.wall);
    }
}

}  // namespace

int main(int argc, char** argv) {
    // The worker runs below normal priority; the plain loops run at the same level so
    // that other load on the machine weighs on all alike.
    platform::setThreadNice(platform::currentThreadId(), platform::kWorkerNiceNormal);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    const char* const fixedLoops[] = {"plain", "square-last"};
    const char* const doubleLoops[] = {"plain"};
    const char* const sceneNames[] = {"default view, 200 iterations",
                                      "zoomed view, 1000 iterations"};
    for (std::size_t i = 0; i < std::size(kScenes); ++i) {
        std::printf("%s:\n", sceneNames[i]);
        printSummary("fixed", gFixed[i], fixedLoops);
        printSummary("double", gDouble[i], doubleLoops);
    }
    return 0;
}
