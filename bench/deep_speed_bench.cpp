// Deep pictures where deep zoomers look: views 1e-30, 1e-100 and 1e-300 wide around points
// of the Mandelbrot set's edge in the valley between the cardioid and the disc of period 2,
// where counts run in the tens of thousands, with a limit of 50,000. Each picture is
// computed whole on both cores (rows shared between two threads), by the perturbation that
// skips runs of steps (approximate = 1) and by the plain perturbation of every step
// and with no test of inside (approximate = 0: the path before either), in the same run.
//
// Figures: the wall-clock times of the reference orbits (reference_ms), of their
// approximation tables (table_ms) and of the pixels (pixels_ms), the iterations per pixel
// and the pixels counted directly in arbitrary precision.
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

constexpr long kWidth = 128;
constexpr long kHeight = 96;
constexpr int kLimit = 50000;

// Found by bisection between -0.5 (inside) and -0.75 + 0.3i (outside) for the edge of
// "count reaches 20,000", to a precision beyond each view's.
struct Location {
    const char* name;
    const char* width;
    const char* x;
    const char* y;
};

const Location kLocations[] = {
    {"valley 1e-30", "1e-30", "-7.04383194595977105224407260514954760714e-01",
     "2.45259833515172517192851573142039678802e-01"},
    {"valley 1e-100", "1e-100",
     "-7.043831945959771052244072605149547608026505714818313725181789700972129787110307265932"
     "605701853375357706399939e-01",
     "2.452598335151725171928515731420396789088380436102076040256053549811949407567365687555"
     "066438930324189816488151e-01"},
    {"valley 1e-300", "1e-300",
     "-7.04383194595977105224407260514954760802650571481831372518178970097212978711030726593"
     "26057018533753577063999556501704004574835683168185129882869733767937395055608030331879"
     "26662627379863823128886382547688560650737231902159409218509369250525185341528964274106"
     "8064746092268960218751735790286108567631004169851274e-01",
     "2.452598335151725171928515731420396789088380436102076040256053549811949407567365687555"
     "06643893032418981648817093303663613799245054540828604687975759911558032661419858628305"
     "39912848001567385225044801454622811486010659423068555359844890616977699808290087878134"
     "404837604686662628485939224040726202211636591199246e-01"},
};

complex::SceneSetup setupAt(const Location& location, bool approximate) {
    const long precision = 1100;
    const numeric::ExtFloat width =
        numeric::ExtFloat::fromBig(*numeric::BigFloat::parse(location.width, 128));
    complex::SceneSetup setup;
    setup.formula =
        complex::EscapeFormula{complex::kernels::Formula::kMandelbrot, 0.0, 0.0, kLimit};
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
    state.SetLabel(std::string(location.name) + (approximate ? ", runs skipped" : ", plain"));
    double reference = 0.0, table = 0.0, pixels = 0.0;
    std::int64_t iterations = 0;
    long direct = 0;
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
    }
    const double runs = static_cast<double>(state.iterations());
    state.counters["reference_ms"] = reference / runs;
    state.counters["table_ms"] = table / runs;
    state.counters["pixels_ms"] = pixels / runs;
    state.counters["iterations_per_pixel"] = static_cast<double>(iterations) / (kWidth * kHeight);
    state.counters["direct_pixels"] = static_cast<double>(direct);
}
BENCHMARK(BM_DeepPicture)
    ->ArgsProduct({{0, 1, 2}, {1, 0}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
