// Points per second of the orbit loop as the worker runs it (virtual map, mapping to a
// pixel, two pixel stores, counters, colour counting, the running poll), measured
// against a plain inline Hopalong loop in the same process. The engine should keep
// at least 80% of the plain loop's rate.
//
// The machine is shared, so the rates are points per second of CPU time: the
// worker's while the benchmark thread sleeps, the benchmark thread's own for the
// plain loop. Wall-clock rates are reported alongside.
#include <benchmark/benchmark.h>
#include <time.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <memory>
#include <thread>

#include "engine/fractal.h"
#include "orbit/hopalong_fractal.h"
#include "platform/headless_window.h"
#include "platform/services.h"
#include "platform/settings_store.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr double kA = 10.0;
constexpr double kB = 20.0;
constexpr double kC = 30.0;
constexpr auto kWarmUp = std::chrono::milliseconds(50);
constexpr auto kMeasure = std::chrono::milliseconds(500);

double seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

double cpuSeconds(clockid_t clock) {
    timespec t{};
    clock_gettime(clock, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

struct Rate {
    double perCpuSecond = 0.0;
    double perWallSecond = 0.0;
    double wallSeconds = 0.0;
};

// The map alone, everything in registers.
Rate plainHopalongRate(std::uint64_t points) {
    double x = 0.0;
    double y = 0.0;
    const double cpuBegin = cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
    const auto begin = Clock::now();
    for (std::uint64_t i = 0; i < points; ++i) {
        const double s = x > 0.0 ? 1.0 : (x < 0.0 ? -1.0 : 0.0);
        const double next = y - std::sqrt(std::fabs(kB * x - kC)) * s;
        y = kA - x;
        x = next;
        benchmark::DoNotOptimize(x);
    }
    const double wall = seconds(Clock::now() - begin);
    const double cpu = cpuSeconds(CLOCK_THREAD_CPUTIME_ID) - cpuBegin;
    benchmark::DoNotOptimize(y);
    const auto n = static_cast<double>(points);
    return Rate{n / cpu, n / wall, wall};
}

// The whole engine: a Hopalong picture computed by its worker thread.
Rate engineHopalongRate() {
    platform::HeadlessWindow window(240, 268);
    platform::MemorySettingsStore store;
    platform::RecordingSound sound;
    const platform::Services services{window, store, sound};
    engine::FractalPtr fractal(new orbit::HopalongFractal(services, kA, kB, kC));
    fractal->setOption(&engine::Options::randomColors, false);
    fractal->startCalculation();
    std::this_thread::sleep_for(kWarmUp);
    const double cpuBegin = cpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
    const auto begin = Clock::now();
    const std::uint32_t first = fractal->runState.pointCount.load();
    std::this_thread::sleep_for(kMeasure);
    const std::uint32_t last = fractal->runState.pointCount.load();
    const double wall = seconds(Clock::now() - begin);
    const double cpu = cpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - cpuBegin;
    fractal->stopCalculation();
    const auto n = static_cast<double>(last - first);  // wraps like the counter
    return Rate{n / cpu, n / wall, wall};
}

void BM_PlainHopalongLoop(benchmark::State& state) {
    constexpr std::uint64_t kPoints = 20'000'000;
    for (auto _ : state)
        state.SetIterationTime(plainHopalongRate(kPoints).wallSeconds);
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kPoints));
}
BENCHMARK(BM_PlainHopalongLoop)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_EngineHopalongLoopVsPlain(benchmark::State& state) {
    Rate engineSum;
    Rate plainSum;
    for (auto _ : state) {
        const Rate engine = engineHopalongRate();
        state.SetIterationTime(engine.wallSeconds);
        const Rate plain = plainHopalongRate(static_cast<std::uint64_t>(engine.perCpuSecond * 0.5));
        engineSum.perCpuSecond += engine.perCpuSecond;
        engineSum.perWallSecond += engine.perWallSecond;
        plainSum.perCpuSecond += plain.perCpuSecond;
        plainSum.perWallSecond += plain.perWallSecond;
    }
    const auto n = static_cast<double>(state.iterations());
    state.counters["engine_per_cpu_s"] = engineSum.perCpuSecond / n;
    state.counters["plain_per_cpu_s"] = plainSum.perCpuSecond / n;
    state.counters["engine_share"] = engineSum.perCpuSecond / plainSum.perCpuSecond;
    state.counters["engine_per_wall_s"] = engineSum.perWallSecond / n;
    state.counters["plain_per_wall_s"] = plainSum.perWallSecond / n;
}
BENCHMARK(BM_EngineHopalongLoopVsPlain)
    ->UseManualTime()
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
