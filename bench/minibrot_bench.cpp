// Find Nearest Minibrot: the whole search (the period by the view's disc, Newton's method
// for the nucleus, the size along its cycle) from square views 1e-30, 1e-100 and 1e-300
// wide around two points of the Mandelbrot set's edge with detail at every depth, c = i
// and c = -2, and around the seahorse valley's classic point 1e-30 wide, where the
// period is in the thousands. The period found is reported as a counter.
#include <benchmark/benchmark.h>

#include <string>

#include "complex/minibrot_finder.h"

namespace {

constexpr int kPeriodLimit = 1000000;

void searchAround(benchmark::State& state, const char* x, const char* y, const char* width) {
    constexpr long kPrecision = 1200;
    const numeric::ExtFloat half =
        numeric::ExtFloat::fromBig(*numeric::BigFloat::parse(width, kPrecision)) * 0.5;
    const complex::SearchRegion region{*numeric::BigFloat::parse(x, kPrecision),
                                       *numeric::BigFloat::parse(y, kPrecision), half, half};
    const complex::EscapeFormula formula{complex::kernels::Formula::kMandelbrot, 0.0, 0.0,
                                         kPeriodLimit};
    int period = 0;
    for (auto _ : state) {
        const complex::MinibrotSearch search = complex::findNearestMinibrot(formula, region);
        if (!search.minibrot) {
            state.SkipWithError(search.reason.c_str());
            return;
        }
        period = search.minibrot->period;
        benchmark::DoNotOptimize(period);
    }
    state.counters["period"] = period;
}

const char* const kSeahorseX = "-0.743643887037158704752191506114774";
const char* const kSeahorseY = "0.131825904205311970493132056385139";

BENCHMARK_CAPTURE(searchAround, i_1e30, "0", "1", "1e-30")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(searchAround, i_1e100, "0", "1", "1e-100")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(searchAround, i_1e300, "0", "1", "1e-300")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(searchAround, minus2_1e300, "-2", "0", "1e-300")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(searchAround, seahorse_1e30, kSeahorseX, kSeahorseY, "1e-30")
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
