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
#include <vector>

#include "complex/batch_kernels.h"
#include "complex/boundary_point.h"
#include "complex/escape_kernels.h"
#include "complex/perturbation.h"

namespace {

constexpr long kWidth = 64;
constexpr long kHeight = 48;
constexpr int kLimit = 3000;

// A view 10^-depth wide around c = i, half a pixel off so that the reference (the
// centre pixel) is an ordinary point: c = i itself has an orbit of small exact numbers.
complex::SceneSetup setupAt(long depth) {
    const numeric::ExtFloat width =
        numeric::ExtFloat::fromBig(*numeric::BigFloat::parse("1e-" + std::to_string(depth), 128));
    complex::SceneSetup setup;
    setup.formula =
        complex::EscapeFormula{complex::kernels::Formula::kMandelbrot, 0.0, 0.0, kLimit};
    setup.width = kWidth;
    setup.height = kHeight;
    setup.dx = width * (1.0 / kWidth);
    setup.dy = setup.dx;
    const long precision = numeric::precisionFor(setup.dx.exponent());
    setup.originX =
        numeric::BigFloat(precision, 0.0) - setup.dx.toBig(precision) * (kWidth / 2.0 - 0.5);
    setup.originY =
        numeric::BigFloat(precision, 1.0) - setup.dy.toBig(precision) * (kHeight / 2.0 - 0.5);
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

// Column i from the top, as one run the way the Simple scan hands it; the iterations
// counted.
std::int64_t countColumn(const complex::PerturbationScene& scene, long i) {
    complex::PixelIndex column[kHeight];
    complex::EscapeValue values[kHeight];
    for (long j = 0; j < kHeight; ++j)
        column[j] = complex::PixelIndex{i, kHeight - 1 - j};
    scene.countPixels(column, kHeight, values);
    std::int64_t iterations = 0;
    for (const complex::EscapeValue& v : values)
        iterations += v.count;
    return iterations;
}

// Every column of the picture, one after the other; the iterations counted.
std::int64_t countPicture(const complex::PerturbationScene& scene) {
    std::int64_t iterations = 0;
    for (long i = 0; i < kWidth; ++i)
        iterations += countColumn(scene, i);
    return iterations;
}

void BM_Perturbation(benchmark::State& state) {
    auto scene = complex::PerturbationScene::create(setupAt(state.range(0)));
    if (!scene || scene->prepare() != complex::PerturbationScene::Prepared::kReady) {
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
        auto scene = complex::PerturbationScene::create(setupAt(state.range(0)));
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

// Every type at 1e-100, around a point on the edge of its set (those of
// scripts/deep-correctness.sh, found by bisection once), beside its own double kernel on
// a view 1e-12 wide around the same point.
struct TypeView {
    complex::EscapeFormula formula;
    int threshold;
    double reachX, reachY, escapeX, escapeY;
};
const TypeView kTypeViews[] = {
    {{complex::kernels::Formula::kMandelbrot, 0.0, 0.0, 3000}, 2900, -0.1, 0.1, 0.4, 0.65},
    {{complex::kernels::Formula::kJulia, -0.123, 0.745, 3000}, 2900, 0.0, 0.0, 0.3, 0.6},
    {{complex::kernels::Formula::kUnity, 0.0, 0.0, 3000}, 2900, 0.3, 0.5, 0.4, 0.65},
    {{complex::kernels::Formula::kSpider, 0.0, 0.0, 3000}, 2900, 0.0, 0.05, 0.3, 0.5},
    {{complex::kernels::Formula::kManowar, 0.0, 0.0, 3000}, 250, -0.34, 0.0, -0.37, 0.02},
    {{complex::kernels::Formula::kPhoenix, -1.0, 0.1, 3000}, 2900, 0.0, 0.0, 0.5, 0.7},
};

const complex::PlanePoint& edgePoint(std::size_t type) {
    static std::vector<complex::PlanePoint> found;
    if (found.empty()) {
        for (const TypeView& view : kTypeViews) {
            const long precision = 420;
            const auto point =
                complex::findBoundaryPoint(view.formula, view.threshold,
                                           {numeric::BigFloat(precision, view.reachX),
                                            numeric::BigFloat(precision, view.reachY)},
                                           {numeric::BigFloat(precision, view.escapeX),
                                            numeric::BigFloat(precision, view.escapeY)},
                                           345, precision);
            found.push_back(point ? *point
                                  : complex::PlanePoint{numeric::BigFloat(precision, view.reachX),
                                                        numeric::BigFloat(precision, view.reachY)});
        }
    }
    return found[type];
}

const char* typeName(std::size_t type) {
    static const char* const kNames[] = {"Mandelbrot", "Julia",   "Unity",
                                         "Spider",     "Manowar", "Phoenix"};
    return kNames[type];
}

// A picture 10^-depth wide around the edge point of type, by the plain perturbation of
// every step (which the lanes take), in lanes or not.
complex::SceneSetup plainSetupAround(std::size_t type, long depth, bool lanes) {
    const complex::PlanePoint& centre = edgePoint(type);
    complex::SceneSetup setup;
    setup.formula = kTypeViews[type].formula;
    setup.width = kWidth;
    setup.height = kHeight;
    setup.dx =
        numeric::ExtFloat::fromBig(*numeric::BigFloat::parse("1e-" + std::to_string(depth), 128)) *
        (1.0 / kWidth);
    setup.dy = setup.dx;
    setup.originX = centre.x - setup.dx.toBig(420) * (kWidth / 2.0 - 0.5);
    setup.originY = centre.y - setup.dy.toBig(420) * (kHeight / 2.0 - 0.5);
    setup.useLanes = lanes;
    setup.approximate = false;
    setup.detectInterior = false;
    return setup;
}

// Scalar against lanes on one core: the same picture counted in the same runs, a
// column at a time as the Simple scan hands them, with useLanes off and on. The views
// (1e-30 and 1e-100 wide) are centred on the Mandelbrot edge point above, where most
// pixels take thousands of steps, with a limit of 10^4.
void BM_PerturbationRuns(benchmark::State& state) {
    const bool lanes = state.range(1) != 0;
    complex::SceneSetup setup = plainSetupAround(0, state.range(0), lanes);
    setup.formula.maxIterations = 10000;
    auto scene = complex::PerturbationScene::create(setup);
    if (!scene || scene->prepare() != complex::PerturbationScene::Prepared::kReady ||
        scene->countsInLanes() != lanes) {
        state.SkipWithError("the scene was refused");
        return;
    }
    state.SetLabel(std::string(lanes ? "lanes " + complex::kernels::vectorTargetName() : "scalar"));
    std::int64_t iterations = 0;
    for (auto _ : state) {
        iterations = countPicture(*scene);
        benchmark::DoNotOptimize(iterations);
    }
    perIteration(state, iterations);
}
BENCHMARK(BM_PerturbationRuns)->ArgsProduct({{30, 100}, {0, 1}})->Unit(benchmark::kMillisecond);

void BM_TypeAt1e100(benchmark::State& state) {
    const std::size_t type = static_cast<std::size_t>(state.range(0));
    const bool lanes = state.range(1) != 0;
    const complex::SceneSetup setup = plainSetupAround(type, 100, lanes);
    auto scene = complex::PerturbationScene::create(setup);
    if (!scene || scene->prepare() != complex::PerturbationScene::Prepared::kReady) {
        state.SkipWithError("the scene was refused");
        return;
    }
    state.SetLabel(std::string(typeName(type)) + (lanes ? " lanes" : " scalar"));
    std::int64_t iterations = 0;
    for (auto _ : state) {
        iterations = countPicture(*scene);
        benchmark::DoNotOptimize(iterations);
    }
    perIteration(state, iterations);
    state.counters["direct_pixels"] = static_cast<double>(scene->directPixels());
}
BENCHMARK(BM_TypeAt1e100)->ArgsProduct({{0, 1, 2, 3, 4, 5}, {0, 1}})->Unit(benchmark::kMillisecond);

// The types whose difference is a state of two numbers (Unity, Spider, Manowar, Phoenix)
// at 1e-100 and 1e-300, each picture from its own scene (reference and table included) on
// one core: the plain perturbation of every step in lanes (mode 0), the scalar walk that
// skips the runs of their approximation tables (mode 1), and the default, lanes for the
// pixels that start plain and runs for the others (mode 2). table_bytes is the table's
// memory.
void BM_TypeRuns(benchmark::State& state) {
    static const char* const kModes[] = {" lanes", " runs", " lanes and runs"};
    const std::size_t type = static_cast<std::size_t>(state.range(0));
    const long mode = state.range(2);
    complex::SceneSetup setup = plainSetupAround(type, state.range(1), mode != 1);
    setup.approximate = mode != 0;
    state.SetLabel(std::string(typeName(type)) + kModes[mode]);
    std::int64_t iterations = 0;
    std::size_t tableBytes = 0;
    for (auto _ : state) {
        auto scene = complex::PerturbationScene::create(setup);
        if (!scene || scene->prepare() != complex::PerturbationScene::Prepared::kReady) {
            state.SkipWithError("the scene was refused");
            return;
        }
        iterations = countPicture(*scene);
        tableBytes = scene->tableBytes();
        benchmark::DoNotOptimize(iterations);
    }
    perIteration(state, iterations);
    state.counters["table_bytes"] = static_cast<double>(tableBytes);
}
BENCHMARK(BM_TypeRuns)
    ->ArgsProduct({{2, 3, 4, 5}, {100, 300}, {0, 1, 2}})
    ->Unit(benchmark::kMillisecond);

void BM_TypeDoubleKernel(benchmark::State& state) {
    const std::size_t type = static_cast<std::size_t>(state.range(0));
    const complex::PlanePoint& centre = edgePoint(type);
    const double cx = centre.x.toDouble();
    const double cy = centre.y.toDouble();
    const complex::EscapeFormula& f = kTypeViews[type].formula;
    const double spacing = 1e-12 / kWidth;
    namespace kernels = complex::kernels;
    state.SetLabel(typeName(type));
    std::int64_t iterations = 0;
    for (auto _ : state) {
        iterations = 0;
        for (long j = 0; j < kHeight; ++j) {
            for (long i = 0; i < kWidth; ++i) {
                const double x = cx + (i - kWidth / 2) * spacing;
                const double y = cy + (j - kHeight / 2) * spacing;
                switch (f.type) {
                    case complex::kernels::Formula::kJulia:
                        iterations += kernels::quadratic(x, y, f.paramReal, f.paramImag, kLimit);
                        break;
                    case complex::kernels::Formula::kUnity:
                        iterations += kernels::unity(x, y, kLimit);
                        break;
                    case complex::kernels::Formula::kSpider:
                        iterations += kernels::spider(f.paramReal, f.paramImag, x, y, kLimit);
                        break;
                    case complex::kernels::Formula::kManowar:
                        iterations += kernels::manowar(f.paramReal, f.paramImag, x, y, kLimit);
                        break;
                    case complex::kernels::Formula::kPhoenix:
                        iterations += kernels::phoenix(x, y, f.paramReal, f.paramImag, kLimit);
                        break;
                    default:
                        iterations += kernels::quadratic(f.paramReal, f.paramImag, x, y, kLimit);
                        break;
                }
            }
        }
        benchmark::DoNotOptimize(iterations);
    }
    perIteration(state, iterations);
}
BENCHMARK(BM_TypeDoubleKernel)->DenseRange(0, 5)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
