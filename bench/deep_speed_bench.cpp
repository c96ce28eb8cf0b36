// Deep pictures where deep zoomers look: views of small copies of the Mandelbrot set
// (minibrots) 1e-30, 1e-106, 1e-306 and 1e-599 wide, with a limit of 200,000, where
// pixels count thousands to hundreds of thousands of iterations. Each picture, 160 x 120,
// is computed whole on both cores (rows shared between two threads, a row at a time as the
// window's scans hand them over) by the perturbation that skips runs of steps, stops at
// pixels proven inside and takes long stretches of single steps in vector lanes (fast = 1),
// and by the plain perturbation of every step, one pixel at a time (fast = 0: the path
// before the tables, the test of inside and the lanes), in the same run.
//
// Figures: the wall-clock times of the reference orbits (reference_ms), of their
// approximation tables (table_ms) and of the pixels (pixels_ms; pixels_cpu_ms, the threads'
// processor time, is steadier on a busy machine), the iterations per pixel,
// the pixels found inside by their cycle, those counted directly in arbitrary precision, and
// a digest of the picture's counts.
//
// Where the minibrots are: copies within copies, each found by Newton's method from the
// place a copy's copy takes in its parent. The first is a copy of a period-37 copy in the
// valley between the cardioid and the disc of period 2, four times over; the second and
// third are that period-37 copy within the copies Find Nearest Minibrot finds from views
// 1e-50 and 1e-150 wide around c = i (periods 135 and 401); the fourth is the copy it
// finds from a view 1e-300 wide there. corvane-render --find-minibrot finds each again
// from a view around it.
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "complex/perturbation.h"

namespace {

// The picture's size: 160 x 120, or CORVANE_DEEP_SIZE=WxH (from 8 x 8 to 4096 x 4096).
struct PictureSize {
    long width = 160;
    long height = 120;
};

PictureSize pictureSize() {
    PictureSize size;
    const char* text = std::getenv("CORVANE_DEEP_SIZE");
    long w = 0, h = 0;
    if (text != nullptr && std::sscanf(text, "%ldx%ld", &w, &h) == 2 && w >= 8 && h >= 8 &&
        w <= 4096 && h <= 4096) {
        size.width = w;
        size.height = h;
    }
    return size;
}

const PictureSize kSize = pictureSize();

// Threads that share the rows: 2, or CORVANE_DEEP_THREADS (1 to 64).
long threadCount() {
    const char* text = std::getenv("CORVANE_DEEP_THREADS");
    const long n = text != nullptr ? std::strtol(text, nullptr, 10) : 2;
    return n >= 1 && n <= 64 ? n : 2;
}
const long kWidth = kSize.width;
const long kHeight = kSize.height;

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
    {"period 4995 at 1e-106", "6e-106", 200000,
     "-4.794357577070157100725407212267819018574062133462339358175363939682604340521661604"
     "47698176242216846583974093152496982217688847e-51",
     "1.0000000000000000000000000000000000000000000000000023923271004077707276714428869498"
     "7204790790457545606458686506875463607027431e+00"},
    {"period 14837 at 1e-306", "4e-306", 200000,
     "1.3727452741504302492262742896624338692685441784380163543762177957474653409182280654"
     "553333582443609194444405861746846676428834309565078944831721510299674822840521497610"
     "902557176639117957293370677445622453865434161280897617452790785252036349289595506159"
     "436228062185672323551145163003578589774047398317120287785505824105416802419e-151",
     "9.9999999999999999999999999999999999999999999999999999999999999999999999999999999999"
     "999999999999999999999999999999999999999999999999999999999999999999958928550142606027"
     "609044311945306240215327695383360298998461414750701169868902115544288729913025174378"
     "113582335609348837052617248967084039695052610662823869906904543040779463059e-01"},
    {"period 799 at 1e-599", "4.225191e-600", 200000,
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
    // The tip c = -2, whose orbit stays on the bailout circle (0, -2, 2, 2, ...): beside
    // it every pixel's iterates come within rounding of the bailout for hundreds of steps.
    {"the tip c = -2 at 1e-100", "1e-100", 200000, "-2", "0"},
};

// How the pixels are counted: the plain perturbation of every step, one pixel at a time;
// the fast path; the fast path one pixel at a time (no lanes); the fast path with exact
// counts (its unsure pixels counted again in twice double's precision).
enum Mode { kPlain = 0, kFast = 1, kFastScalar = 2, kFastExact = 3 };

complex::SceneSetup setupAt(const Location& location, Mode mode) {
    const bool approximate = mode != kPlain;
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
    setup.useLanes = mode == kFast || mode == kFastExact;
    setup.exactCounts = mode == kFastExact;
    setup.originX = *numeric::BigFloat::parse(location.x, precision) -
                    setup.dx.toBig(precision) * (kWidth / 2.0 - 0.5);
    setup.originY = *numeric::BigFloat::parse(location.y, precision) -
                    setup.dy.toBig(precision) * (kHeight / 2.0 - 0.5);
    return setup;
}

// The processor time of the calling thread, in milliseconds: on a machine shared with
// other work it varies far less than the wall clock.
double threadMilliseconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) * 1e-6;
}

// A pixel's count mixed with its place, so that the exclusive or of all pixels' tells two
// builds' pictures apart whatever order the threads count them in.
std::uint32_t fingerprint(long i, long j, int count) {
    std::uint64_t h = (static_cast<std::uint64_t>(j) << 40) ^
                      (static_cast<std::uint64_t>(i) << 20) ^ static_cast<std::uint32_t>(count);
    h *= 0x9E3779B97F4A7C15u;
    return static_cast<std::uint32_t>(h >> 40);
}

// Every pixel of the picture on the threads, a row at a time as the window's scans hand
// them over; the sum of the counts, the threads' processor time in cpu and the pixels'
// fingerprints in digest.
std::int64_t countPicture(const complex::PerturbationScene& scene, double& cpu,
                          std::uint32_t& digest) {
    std::atomic<std::uint32_t> digests{0};
    std::atomic<long> nextRow{0};
    std::atomic<std::int64_t> total{0};
    std::atomic<std::int64_t> microseconds{0};
    auto work = [&] {
        const double started = threadMilliseconds();
        std::int64_t sum = 0;
        std::uint32_t digest = 0;
        std::vector<complex::EscapeValue> row(kWidth);
        for (long j = nextRow++; j < kHeight; j = nextRow++) {
            scene.countRun(0, j, kWidth, row.data());
            for (long i = 0; i < kWidth; ++i) {
                sum += row[static_cast<std::size_t>(i)].count;
                digest ^= fingerprint(i, j, row[static_cast<std::size_t>(i)].count);
            }
        }
        total += sum;
        digests ^= digest;
        microseconds += static_cast<std::int64_t>((threadMilliseconds() - started) * 1e3);
    };
    std::vector<std::thread> others;
    for (long t = 1; t < threadCount(); ++t)
        others.emplace_back(work);
    work();
    for (std::thread& other : others)
        other.join();
    cpu = static_cast<double>(microseconds.load()) * 1e-3;
    digest = digests.load();
    return total.load();
}

double millisecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

void BM_DeepPicture(benchmark::State& state) {
    const Location& location = kLocations[state.range(0)];
    const Mode mode = static_cast<Mode>(state.range(1));
    const char* modeNames[] = {", plain", ", fast", ", fast without lanes",
                               ", fast with exact counts"};
    state.SetLabel(std::string(location.name) + modeNames[mode]);
    double reference = 0.0, table = 0.0, pixels = 0.0, pixelsCpu = 0.0;
    std::int64_t iterations = 0;
    std::uint32_t digest = 0;
    long direct = 0;
    long interior = 0;
    long exact = 0;
    for (auto _ : state) {
        auto scene = complex::PerturbationScene::create(setupAt(location, mode));
        if (!scene || scene->prepare() != complex::PerturbationScene::Prepared::kReady) {
            state.SkipWithError("the scene was refused");
            return;
        }
        const auto started = std::chrono::steady_clock::now();
        double cpu = 0.0;
        iterations = countPicture(*scene, cpu, digest);
        pixelsCpu += cpu;
        pixels += millisecondsSince(started);
        reference += scene->preparationTimes().reference * 1000.0;
        table += scene->preparationTimes().table * 1000.0;
        direct = scene->directPixels();
        interior = scene->interiorPixels();
        exact = scene->exactPixels();
    }
    const double runs = static_cast<double>(state.iterations());
    state.counters["reference_ms"] = reference / runs;
    state.counters["table_ms"] = table / runs;
    state.counters["pixels_ms"] = pixels / runs;
    state.counters["pixels_cpu_ms"] = pixelsCpu / runs;
    state.counters["iterations_per_pixel"] = static_cast<double>(iterations) / (kWidth * kHeight);
    state.counters["direct_pixels"] = static_cast<double>(direct);
    state.counters["inside_found"] = static_cast<double>(interior);
    state.counters["exact_pixels"] = static_cast<double>(exact);
    // The same in two builds: the same picture, pixel for pixel (24 bits of fingerprint).
    state.counters["digest"] = static_cast<double>(digest);
}
BENCHMARK(BM_DeepPicture)
    ->ArgsProduct({{0, 1, 2, 3, 4}, {1, 0, 2, 3}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
