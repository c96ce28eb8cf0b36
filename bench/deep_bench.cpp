// Deep pictures: the time per pixel iteration of perturbation at views 1e-50, 1e-100
// and 1e-300 wide, beside the double kernel's on a shallow view, and the time of the
// reference orbit alone. All views are centred on c = i, a point of the Mandelbrot set's
// edge that has detail at every depth (its orbit 0, i, -1 + i, -i, -1 + i, ... is
// periodic after two steps), on a picture of 64 x 48 pixels with a limit of 3000.
//
// Figures: ns_per_iteration (time of one pass over the picture divided by the
// iterations counted in it), and for the reference its time per pass.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>

#include "complex/escape_kernels.h"
#include "deep/perturbation.h"

namespace {

constexpr long kWidth = 64;
constexpr long kHeight = 48;
constexpr int kLimit = 3000;

deep::SceneSetup setupAt(double width) {
    deep::SceneSetup setup;
    setup.formula = deep::EscapeFormula{deep::kMandelbrotType, 0.0, 0.0, kLimit};
    setup.width = kWidth;
    setup.height = kHeight;
    setup.dx = deep::ExtFloat(width / kWidth);
    setup.dy = setup.dx;
    const long precision = deep::precisionFor(setup.dx.exponent());
    setup.originX = deep::BigFloat(precision, 0.0) - setup.dx.toBig(precision) * (kWidth / 2.0);
    setup.originY = deep::BigFloat(precision, 1.0) - setup.dy.toBig(precision) * (kHeight / 2.0);
    return setup;
}

void perIteration(benchmark::State& state, std::int64_t iterationsPerPass) {
    state.counters["ns_per_iteration"] = benchmark::Counter(
        static_cast<double>(iterationsPerPass) * 1e-9,
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.counters["iterations_per_pixel"] =
        static_cast<double>(iterationsPerPass) / (kWidth * kHeight);
}

void BM_Perturbation(benchmark::State& state) {
    const double width = state.range(0) == 50 ? 1e-50 : (state.range(0) == 100 ? 1e-100 : 1e-300);
    auto scene = deep::PerturbationScene::create(setupAt(width));
    if (!scene || scene->prepare() != deep::PerturbationScene::Prepared::kReady) {
        state.SkipWithError("the scene was refused");
        return;
    }
    std::int64_t iterations = 0;
    for (auto _ : state) {
        iterations = 0;
        for (long j = 0; j < kHeight; ++j)
            for (long i = 0; i < kWidth; ++i)
                iterations += scene->countAt(i, j).count;
        benchmark::DoNotOptimize(iterations);
    }
    perIteration(state, iterations);
    state.counters["direct_pixels"] = static_cast<double>(scene->directPixels());
}
BENCHMARK(BM_Perturbation)->Arg(50)->Arg(100)->Arg(300)->Unit(benchmark::kMillisecond);

void BM_ReferenceOrbit(benchmark::State& state) {
    const double width = state.range(0) == 50 ? 1e-50 : (state.range(0) == 100 ? 1e-100 : 1e-300);
    for (auto _ : state) {
        auto scene = deep::PerturbationScene::create(setupAt(width));
        benchmark::DoNotOptimize(scene->prepare());
    }
}
BENCHMARK(BM_ReferenceOrbit)->Arg(50)->Arg(100)->Arg(300)->Unit(benchmark::kMillisecond);

// The double kernel on the same point at a shallow view (1e-12 wide), its limit
// raised so that it counts as many iterations per pixel as the 1e-300 view.
void BM_DoubleKernel(benchmark::State& state) {
    const double spacing = 1e-12 / kWidth;
    std::int64_t iterations = 0;
    for (auto _ : state) {
        iterations = 0;
        for (long j = 0; j < kHeight; ++j)
            for (long i = 0; i < kWidth; ++i)
                iterations +=
                    complex::kernels::quadratic(0.0, 0.0, (i - kWidth / 2) * spacing,
                                                1.0 + (j - kHeight / 2) * spacing, kLimit);
        benchmark::DoNotOptimize(iterations);
    }
    perIteration(state, iterations);
}
BENCHMARK(BM_DoubleKernel)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
