// Colouring a finished 1920x1080 picture again from its kept values (a change of
// palette, density, offset or transfer, a step of colour cycling): one core, no pixel
// computed. The goal is at most 50 ms a picture.
#include <benchmark/benchmark.h>

#include <chrono>
#include <thread>

#include "complex/mandelbrot_fractal.h"
#include "platform/headless_window.h"
#include "platform/settings_store.h"

namespace {

struct Rig {
    platform::HeadlessWindow window{1920, 1080};
    platform::MemorySettingsStore store;
    platform::RecordingSound sound;
    complex::MandelbrotFractal fractal{platform::Services{window, store, sound}};
};

// A view at the edge of the set, so that the counts vary from pixel to pixel; state's
// arguments: the colouring (bands, smooth) and the method (simple, relief).
void computePicture(Rig& rig, const benchmark::State& state) {
    complex::MandelbrotFractal& f = rig.fractal;
    {
        engine::TakingOverScope noRun(f);
        f.setDefaultParameters();
        f.setViewRect(-0.7463, 0.1102, -0.7413, 0.1152);
        f.setParameters(2000, 0.0, 0.0, false);
        f.setColouring(static_cast<int>(state.range(0)));
        f.setMethod(state.range(1) == 0 ? complex::kSimple : complex::kRelief);
    }
    f.startCalculation();
    while (!f.isFinished())
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    f.stopCalculation();
}

void BM_Recolor(benchmark::State& state) {
    Rig rig;
    computePicture(rig, state);
    complex::ColorControls controls;
    controls.density = 7.5;
    controls.transfer = complex::Transfer::kSquareRoot;
    for (auto _ : state) {
        controls.offset += 1.0;  // as colour cycling turns the palette
        rig.fractal.setColorControls(controls);
        if (!rig.fractal.recolor()) {
            state.SkipWithError("the picture could not be coloured again");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations() * 1920 * 1080);
}
BENCHMARK(BM_Recolor)
    ->ArgNames({"smooth", "relief"})
    ->Args({0, 0})
    ->Args({1, 0})
    ->Args({0, 1})
    ->Args({1, 1})
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
