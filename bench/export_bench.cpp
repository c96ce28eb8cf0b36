// A PNG export against the same picture computed in a window of its size, in one
// run: the export computes the pixels the window computes and encodes them as well,
// so it should cost the window's time plus the encoding. Each benchmark iteration
// renders the window's picture once and exports it once, so both see the same
// machine state; the counters give each one's elapsed time and their ratio.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>

#include "app/picture_export.h"
#include "catalogue/factory.h"
#include "catalogue/fractal_types.h"
#include "complex/complex_fractal.h"
#include "engine/settings_key.h"
#include "platform/headless_window.h"
#include "platform/settings_store.h"

namespace {

using Clock = std::chrono::steady_clock;

// Mandelbrot, x from -0.75 to -0.73 (the picture's aspect widens y), 2000 iterations,
// double precision; the method is filled in.
std::string parametersFor(int method) {
    return "-0.75,0.1,-0.73,0.12,2000,0,0,0," + std::to_string(method) + ",100";
}

double elapsedMs(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// The window's picture: the fractal created from the stored parameters and run to its
// end on every core, as the program runs it.
double windowMs(const std::string& params, int width, int height) {
    platform::HeadlessWindow window(width, height);
    platform::MemorySettingsStore store;
    platform::RecordingSound sound;
    engine::SettingsKey(store).writeString(catalogue::fractalTypeName(engine::kMandelbrot), params);
    engine::FractalPtr fractal =
        catalogue::createFractal(engine::kMandelbrot, platform::Services{window, store, sound});
    const auto start = Clock::now();
    fractal->startFromSettings();
    while (!fractal->isFinished())
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    return elapsedMs(start);
}

double exportMs(const std::string& params, int width, int height, const std::string& path,
                bool& written) {
    app::ExportRequest request;
    request.type = engine::kMandelbrot;
    request.parameters = params;
    request.width = width;
    request.height = height;
    app::ExportControl control;
    const auto start = Clock::now();
    written = app::exportPicture(request, path, platform::StreamTargets::Refuse, control).written();
    return elapsedMs(start);
}

void BM_PngExportAgainstWindow(benchmark::State& state) {
    const int width = static_cast<int>(state.range(0));
    const int height = static_cast<int>(state.range(1));
    const std::string params = parametersFor(static_cast<int>(state.range(2)));
    const std::string path =
        (std::filesystem::temp_directory_path() / "corvane-export-bench.png").string();
    double window = 0;
    double exported = 0;
    for (auto _ : state) {
        const double w = windowMs(params, width, height);
        bool written = false;
        const double e = exportMs(params, width, height, path, written);
        if (!written) {
            state.SkipWithError("the export was not written");
            break;
        }
        window += w;
        exported += e;
        state.SetIterationTime((w + e) * 1e-3);
    }
    std::remove(path.c_str());
    const auto runs = static_cast<double>(state.iterations());
    state.counters["window_ms"] = window / runs;
    state.counters["export_ms"] = exported / runs;
    state.counters["export_vs_window"] = window > 0 ? exported / window : 0.0;
}

// Width, height, method (0 Simple, 1 Relief, 2 Tesseral).
BENCHMARK(BM_PngExportAgainstWindow)
    ->Args({1920, 1080, complex::kSimple})
    ->Args({1920, 1080, complex::kRelief})
    ->Args({1920, 1080, complex::kTesseral})
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
