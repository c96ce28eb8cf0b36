// Deep pictures where deep zoomers look: views beside small copies of the Mandelbrot set
// (minibrots) at 1e-30, 1e-99, 1e-277 and 1e-599, with limits of 200,000 and 1,000,000,
// where pixels count tens of thousands to a million iterations. Each picture is computed
// whole on both cores (rows shared between two threads) by the perturbation that skips
// runs of steps and stops at pixels proven inside (fast = 1), and by the plain
// perturbation of every step (fast = 0: the path before either), in the same run.
//
// Figures: the wall-clock times of the reference orbits (reference_ms), of their
// approximation tables (table_ms) and of the pixels (pixels_ms), the iterations per pixel,
// the pixels found inside by their cycle and those counted directly in arbitrary precision.
//
// Where the minibrots are: the first three are nuclei of copies within copies, found by
// Newton's method from the place a copy's copy takes in its parent (periods 11,840, 1,800
// and 480,000); the fourth is the one Find Nearest Minibrot finds from a view 1e-300 wide
// around c = i (period 799, 4.2e-600 wide). corvane-render --find-minibrot finds each
// again from a view around it.
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "complex/perturbation.h"

namespace {

constexpr long kWidth = 96;
constexpr long kHeight = 72;

struct Location {
    const char* name;
    const char* width;
    int limit;
    const char* x;
    const char* y;
};

const Location kLocations[] = {
    {"period 11840 at 1e-30", "2e-30", 200000,
     "-7.439086258021729736680676762969985214505741544e-01",
     "1.317089375324277830137106376740885980181079638e-01"},
    {"period 1800 at 1e-99", "8e-99", 200000,
     "-1.999999999999999999999999988041095584742450923559482758686946144088108826367031851"
     "2911665180671078287450800874348045e+00",
     "0.0000000000000000000000000000000000000000000000000000000000000000000000000000000000"
     "000000000000000000000000000000000e+00"},
    {"period 480000 at 1e-277", "1.2e-277", 1000000,
     "-1.999999999999999999999999999999999999999999999989870413947211932994099807463072312"
     "158975586844013609475261991288465979052451142713943836161965096361643889146117535198"
     "470725098859630389891591455909173206561223439909941395062574665165219180696891182720"
     "185950136016039154821210371884091597181380404609325e+00",
     "0.0000000000000000000000000000000000000000000000000000000000000000000000000000000000"
     "000000000000000000000000000000000000000000000000000000000000000000000000000000000000"
     "000000000000000000000000000000000000000000000000000000000000000000000000000000000000"
     "00000000000000000000000000000000000000000000000000e+00"},
    {"period 799 at 1e-599 (found from c = i)", "4.225191e-600", 200000,
     "6.6962864091698932795373409225691257388721744378257520040885806974796411794129028237"
     "517352704921568228637289426214127349266244642287900213318556349365851652664396353722"
     "945911557151199353832159279773839224490355896636622174783762548235283491743900633049"
     "213362681550867962300959595633374045041279040207607825e-301",
     "0.9999999999999999999999999999999999999999999999999999999999999999999999999999999999"
     "999999999999999999999999999999999999999999999999999999999999999999999999999999999999"
     "999999999999999999999999999999999999999999999999999999999999999999999999999999999999"
     "999999999999999999999999999999999999999999999999996658633155489613333812083824404344"
     "963325624291641551639927572273754973605843243593552193195420913187462321665323630079"
     "645176354608883401015212302805042025443507531154854522403917526878800112235684480105"
     "196201736021404852539703912890436419469011022508354214908336178746271088753464705388"
     "48243023401433293402"},
};

complex::SceneSetup setupAt(const Location& location, bool approximate) {
    const long precision = 2400;
    const numeric::ExtFloat width =
        numeric::ExtFloat::fromBig(*numeric::BigFloat::parse(location.width, 128));
    complex::SceneSetup setup;
    setup.formula =
        complex::EscapeFormula{complex::kernels::Formula::kMandelbrot, 0.0, 0.0, location.limit};
    setup.width = kWidth;
    setup.height = kHeight;
    setup.dx = width * (1.0 / kWidth);
    setup.dy = setup.dx;
    setup.approximate = approximate;
    setup.detectInterior = approximate;
    setup.originX = *numeric::BigFloat::parse(location.x, precision) -
                    setup.dx.toBig(precision) * (kWidth / 2.0 - 0.5);
    setup.originY = *numeric::BigFloat::parse(location.y, precision) -
                    setup.dy.toBig(precision) * (kHeight / 2.0 - 0.5);
    return setup;
}

// Every pixel of the picture on two threads; the sum of the counts.
std::int64_t countPicture(const complex::PerturbationScene& scene) {
    std::atomic<long> nextRow{0};
    std::atomic<std::int64_t> total{0};
    auto work = [&] {
        std::int64_t sum = 0;
        for (long j = nextRow++; j < kHeight; j = nextRow++)
            for (long i = 0; i < kWidth; ++i)
                sum += scene.countAt(i, j).count;
        total += sum;
    };
    std::thread other(work);
    work();
    other.join();
    return total.load();
}

double millisecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

void BM_DeepPicture(benchmark::State& state) {
    const Location& location = kLocations[state.range(0)];
    const bool approximate = state.range(1) != 0;
    state.SetLabel(std::string(location.name) + (approximate ? ", fast" : ", plain"));
    double reference = 0.0, table = 0.0, pixels = 0.0;
    std::int64_t iterations = 0;
    long direct = 0;
    long interior = 0;
    for (auto _ : state) {
        auto scene = complex::PerturbationScene::create(setupAt(location, approximate));
        if (!scene || scene->prepare() != complex::PerturbationScene::Prepared::kReady) {
            state.SkipWithError("the scene was refused");
            return;
        }
        const auto started = std::chrono::steady_clock::now();
        iterations = countPicture(*scene);
        pixels += millisecondsSince(started);
        reference += scene->preparationTimes().reference * 1000.0;
        table += scene->preparationTimes().table * 1000.0;
        direct = scene->directPixels();
        interior = scene->interiorPixels();
    }
    const double runs = static_cast<double>(state.iterations());
    state.counters["reference_ms"] = reference / runs;
    state.counters["table_ms"] = table / runs;
    state.counters["pixels_ms"] = pixels / runs;
    state.counters["iterations_per_pixel"] = static_cast<double>(iterations) / (kWidth * kHeight);
    state.counters["direct_pixels"] = static_cast<double>(direct);
    state.counters["inside_found"] = static_cast<double>(interior);
}
BENCHMARK(BM_DeepPicture)
    ->ArgsProduct({{0, 1, 2, 3}, {1, 0}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
