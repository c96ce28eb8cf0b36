// Throughput of the drawing primitives the workers call for every point.
#include <benchmark/benchmark.h>

#include "engine/fractal.h"
#include "platform/headless_window.h"
#include "platform/settings_store.h"

namespace {

class NullFractal : public engine::Fractal {
  public:
    explicit NullFractal(const platform::Services& services) : Fractal(services) {}
    int calculate() override { return 0; }
};

struct Rig {
    platform::HeadlessWindow window{1920, 1080};
    platform::MemorySettingsStore store;
    platform::RecordingSound sound;
    NullFractal fractal{platform::Services{window, store, sound}};
};

void BM_PlotPoint(benchmark::State& state) {
    Rig rig;
    unsigned x = 0;
    unsigned y = 0;
    for (auto _ : state) {
        rig.fractal.plotPoint(static_cast<int>(x), static_cast<int>(y), x ^ y);
        x = (x + 7) % 1920;
        y = (y + 3) % 1080;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_PlotPoint);

void BM_FillRect(benchmark::State& state) {
    Rig rig;
    const int side = static_cast<int>(state.range(0));
    int x = 0;
    for (auto _ : state) {
        rig.fractal.fillRect(platform::Rect{x, 0, x + side, side}, 0x123456);
        x = (x + 1) % (1920 - side);
    }
    state.SetItemsProcessed(state.iterations() * side * side);
}
BENCHMARK(BM_FillRect)->Arg(4)->Arg(32)->Arg(256);

}  // namespace

BENCHMARK_MAIN();
