// Deep pictures: the time per pixel iteration of perturbation at views 1e-50, 1e-100,
// 1e-300 and 1e-1000 wide, beside the double kernel's on a shallow view, and the time of the
// reference orbit alone. All views are centred on c = i, a point of the Mandelbrot set's
// edge that has detail at every depth (its orbit 0, i, -1 + i, -i, -1 + i, ... is
// periodic after two steps), on a picture of 64 x 48 pixels with a limit of 3000.
//
// Figures: time_per_iteration (processor time of one pass over the picture divided by
// the iterations counted in it), and for the reference its time per pass. The
// perturbation passes count the whole counts only, as the double kernel does.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <string>

#include "complex/escape_kernels.h"
#include "deep/perturbation.h"

namespace {

constexpr long kWidth = 64;
constexpr long kHeight = 48;
constexpr int kLimit = 3000;

// A view 10^-depth wide around c = i, half a pixel off so that the reference (the
// centre pixel) is an ordinary point: c = i itself has an orbit of small exact numbers.
deep::SceneSetup setupAt(long depth) {
    const deep::ExtFloat width =
        deep::ExtFloat::fromBig(*deep::BigFloat::parse("1e-" + std::to_string(depth), 128));
    deep::SceneSetup setup;
    setup.formula = deep::EscapeFormula{deep::kMandelbrotType, 0.0, 0.0, kLimit};
    setup.width = kWidth;
    setup.height = kHeight;
    setup.dx = width * (1.0 / kWidth);
    setup.dy = setup.dx;
    const long precision = deep::precisionFor(setup.dx.exponent());
    setup.originX =
        deep::BigFloat(precision, 0.0) - setup.dx.toBig(precision) * (kWidth / 2.0 - 0.5);
    setup.originY =
        deep::BigFloat(precision, 1.0) - setup.dy.toBig(precision) * (kHeight / 2.0 - 0.5);
    return setup;
}

void perIteration(benchmark::State& state, std::int64_t iterationsPerPass) {
    // Shown as seconds per iteration with a prefix: "4.5n" is 4.5 ns.
    state.counters["time_per_iteration"] = benchmark::Counter(
        static_cast<double>(iterationsPerPass),
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.counters["iterations_per_pixel"] =
        static_cast<double>(iterationsPerPass) / (kWidth * kHeight);
}

void BM_Perturbation(benchmark::State& state) {
    auto scene = deep::PerturbationScene::create(setupAt(state.range(0)));
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
// 1e-1000: far beyond double, the differences mostly scaled.
BENCHMARK(BM_Perturbation)->Arg(50)->Arg(100)->Arg(300)->Arg(1000)->Unit(benchmark::kMillisecond);

void BM_ReferenceOrbit(benchmark::State& state) {
    for (auto _ : state) {
        auto scene = deep::PerturbationScene::create(setupAt(state.range(0)));
        benchmark::DoNotOptimize(scene->prepare());
    }
}
BENCHMARK(BM_ReferenceOrbit)->Arg(50)->Arg(100)->Arg(300)->Arg(1000)->Unit(benchmark::kMillisecond);

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
