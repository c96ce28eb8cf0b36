// corvane-deep-check: counts sampled pixels of deep views of the six escape-time types
// by perturbation and by direct iteration in arbitrary precision, and reports the
// share of identical counts with an explanation of every difference.
//
//   corvane-deep-check [--type ID] [--depth WIDTH]... [--samples N] [--size WxH] [--plain]
//                      [--exact-counts]
//
// Each view's whole picture is also compared, pixel for pixel, with the plain perturbation
// of every step (no approximation table, no test of inside); --plain samples that instead.
//   corvane-deep-check --probe ID X Y LIMIT
//
// One view given by its centre and width in decimal, at any depth:
//   corvane-deep-check --at X Y WIDTH [--type ID] [--limit N] [--size WxH] [--samples N]
//                      [--threads N] [--direct-bits B] [--stability] [--exact-counts]
// counts distinct sampled pixels (on all cores) by the fast path (runs of the table, the
// test of inside) and by the plain perturbation, against a direct iteration B bits (64)
// finer than the view. Where a count differs, the direct count is tried again 256, 1024
// and 4096 bits finer until two agree (the converged count, which the shares are taken
// against), and at points 2^-30 of a pixel away: where those count otherwise, the pixel's
// count is decided below what differences in double keep. --stability gives for every
// sample how far below a pixel its count changes. --exact-counts has the fast path count
// again, in twice double's precision, the pixels whose counts are that close to changing.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "catalogue/factory.h"
#include "complex/boundary_point.h"
#include "complex/exact_orbit.h"
#include "complex/perturbation.h"

namespace {

using numeric::BigFloat;

// Where each type is examined: its parameters (the type's defaults), the iteration
// limit, and the segment whose edge of "count reaches threshold" is the view's centre
// (or, with threshold 0, the centre (reachX, reachY) itself).
struct Location {
    const char* name;
    complex::EscapeFormula formula;
    int threshold;
    double reachX, reachY, escapeX, escapeY;
    double extraDepth = 0.0;  // a depth checked besides the usual ones
};

const Location kLocations[] = {
    // c = i, exactly: its orbit 0, i, -1 + i, -i, -1 + i, ... is periodic after two steps.
    {"Mandelbrot", {complex::kernels::Formula::kMandelbrot, 0.0, 0.0, 3000}, 0, 0.0, 1.0, 0.0, 0.0},
    // The rabbit's c, whose Julia set is the edge of the basins of an attracting cycle.
    {"Julia", {complex::kernels::Formula::kJulia, -0.123, 0.745, 3000}, 2900, 0.0, 0.0, 0.3, 0.6},
    {"Unity", {complex::kernels::Formula::kUnity, 0.0, 0.0, 3000}, 2900, 0.3, 0.5, 0.4, 0.65},
    {"Spider", {complex::kernels::Formula::kSpider, 0.0, 0.0, 3000}, 2900, 0.0, 0.05, 0.3, 0.5},
    // The edge of Manowar's set grows slowly wherever it was looked for (its fixed point
    // near c = 0 is neutral): the views here hold two counts, and from 1e-30 on every
    // pixel's escape comes within 2^-40 of the bailout, decided by the reference's margin.
    {"Manowar",
     {complex::kernels::Formula::kManowar, 0.0, 0.0, 3000},
     250,
     -0.34,
     0.0,
     -0.37,
     0.02,
     1e-22},
    // p1 = -1, p2 = 0.1: near the Julia set of z^2 - 1, with an attracting cycle. (At the
    // type's defaults the edges found grow too slowly to show detail below 1e-30.)
    {"Phoenix", {complex::kernels::Formula::kPhoenix, -1.0, 0.1, 3000}, 2900, 0.0, 0.0, 0.5, 0.7},
};

struct Options {
    int type = 0;  // all
    std::vector<double> depths;
    int samples = 500;
    long width = 160;
    long height = 120;
    int limit = 0;       // the location's
    bool seeds = false;  // the location's segment replaced by --seeds
    double seed[4] = {0, 0, 0, 0};
    bool centres = false;  // print the centres in full
    bool unfixed = false;  // glitches left as they are
    bool plain = false;    // no table and no test of inside: every step, as before them
    int threshold = 0;     // the location's
    bool params = false;
    double param[2] = {0, 0};
    // --at: one view given by its centre and width in decimal, at any precision.
    bool at = false;
    std::string atX, atY, atWidth;
    int threads = 0;         // all cores
    long directBits = 64;    // the direct iteration's bits beyond the view's
    bool stability = false;  // --stability: how far below a pixel the counts change
    bool exact = false;      // --exact-counts: the fast path counts its unsure pixels again
};

long bitsFor(double depth) {
    return static_cast<long>(std::ceil(-std::log2(depth)));
}

std::string shortText(const BigFloat& v) {
    return v.toString(30);
}

// Direct counts at a higher precision settle whether the difference lies with the
// perturbation or with the precision of the comparison itself.
std::string explain(const complex::EscapeFormula& formula, const BigFloat& x, const BigFloat& y,
                    long precision, int perturbed, int direct) {
    const int finer = complex::directEscape(formula, x, y, precision + 256).count;
    if (finer != direct)
        return "direct iteration not converged at the view's precision (finer: " +
               std::to_string(finer) + ")";
    complex::ReferenceOrbit orbit;
    complex::computeOrbit(formula, x, y, complex::OrbitStart::kPoint, precision + 256,
                          std::size_t{1} << 30, {}, orbit);
    const int at = std::min(perturbed, direct) - 1;
    if (at >= 0 && static_cast<std::size_t>(at) < orbit.points.size()) {
        const complex::OrbitPoint& p = orbit.points[static_cast<std::size_t>(at)];
        const double s = p.zr * p.zr + p.zi * p.zi;
        const double bailout = complex::bailoutOf(formula.type);
        char text[160];
        std::snprintf(text, sizeof text, "|z|^2 at count %d is %.17g, %.3g from the bailout",
                      at + 1, s, std::fabs(s - bailout) / bailout);
        return text;
    }
    return "unexplained";
}

struct Tally {
    int same = 0;
    int total = 0;
};

// The location with what the command line replaces of it.
Location withOverrides(const Location& given, const Options& options) {
    Location loc = given;
    if (options.seeds) {
        loc.reachX = options.seed[0];
        loc.reachY = options.seed[1];
        loc.escapeX = options.seed[2];
        loc.escapeY = options.seed[3];
    }
    if (options.threshold > 0)
        loc.threshold = options.threshold;
    if (options.params) {
        loc.formula.paramReal = options.param[0];
        loc.formula.paramImag = options.param[1];
    }
    return loc;
}

// A view about centre with pixels spacing apart, of the size the options give.
std::unique_ptr<complex::PerturbationScene> sceneAround(const complex::PlanePoint& centre,
                                                        const complex::EscapeFormula& formula,
                                                        const Options& options,
                                                        const numeric::ExtFloat& spacing,
                                                        long precision, std::string& why) {
    complex::SceneSetup setup;
    setup.formula = formula;
    setup.width = options.width;
    setup.height = options.height;
    setup.fixGlitches = !options.unfixed;
    setup.dx = spacing;
    setup.dy = setup.dx;
    // Half a pixel off: no pixel lies on the centre itself, which is on the edge to more
    // digits than the view's precision can resolve.
    setup.originX =
        centre.x - setup.dx.toBig(precision) * (static_cast<double>(options.width / 2) - 0.5);
    setup.originY =
        centre.y - setup.dy.toBig(precision) * (static_cast<double>(options.height / 2) - 0.5);
    setup.approximate = !options.plain;
    setup.detectInterior = !options.plain;
    setup.exactCounts = options.exact && !options.plain;
    return complex::PerturbationScene::create(setup, &why);
}

// Every pixel of the picture by the scene, and by the plain perturbation of every step
// one pixel at a time: how many are the same.
Tally compareWithPlain(const complex::PerturbationScene& scene) {
    complex::SceneSetup setup = scene.setup();
    setup.approximate = false;
    setup.detectInterior = false;
    setup.useLanes = false;
    Tally tally;
    const auto plain = complex::PerturbationScene::create(setup);
    if (!plain || plain->prepare() != complex::PerturbationScene::Prepared::kReady)
        return tally;
    for (long j = 0; j < setup.height; ++j) {
        for (long i = 0; i < setup.width; ++i) {
            ++tally.total;
            tally.same += scene.countAt(i, j).count == plain->countAt(i, j).count;
        }
    }
    return tally;
}

// What the sampled pixels showed: how many counts agree, the time each way took,
// the range of the counts and a note on every difference.
struct Samples {
    Tally tally;
    double perturbSeconds = 0.0;
    double directSeconds = 0.0;
    long minCount = 0;
    long maxCount = 0;
    std::vector<std::string> notes;
};

Samples compareSamples(const complex::PerturbationScene& scene,
                       const complex::EscapeFormula& formula, const Options& options) {
    std::mt19937 random(12345);
    std::uniform_int_distribution<long> column(0, options.width - 1);
    std::uniform_int_distribution<long> row(0, options.height - 1);
    Samples samples;
    samples.minCount = formula.maxIterations;
    for (int s = 0; s < options.samples; ++s) {
        const long i = column(random);
        const long j = row(random);
        const auto a = std::chrono::steady_clock::now();
        const int perturbed = scene.countAt(i, j).count;
        const auto b = std::chrono::steady_clock::now();
        const BigFloat x = scene.planeX(i);
        const BigFloat y = scene.planeY(j);
        const int direct = complex::directEscape(formula, x, y, scene.precision() + 64).count;
        const auto c = std::chrono::steady_clock::now();
        samples.perturbSeconds += std::chrono::duration<double>(b - a).count();
        samples.directSeconds += std::chrono::duration<double>(c - b).count();
        samples.minCount = std::min<long>(samples.minCount, direct);
        samples.maxCount = std::max<long>(samples.maxCount, direct);
        ++samples.tally.total;
        if (perturbed == direct) {
            ++samples.tally.same;
        } else {
            samples.notes.push_back(
                "  pixel (" + std::to_string(i) + ", " + std::to_string(j) + "): perturbation " +
                std::to_string(perturbed) + ", direct " + std::to_string(direct) + ": " +
                explain(formula, x, y, scene.precision() + 64, perturbed, direct));
        }
    }
    return samples;
}

Tally checkView(const Location& given, const Options& options, double depth) {
    const Location loc = withOverrides(given, options);
    complex::EscapeFormula formula = loc.formula;
    if (options.limit > 0)
        formula.maxIterations = options.limit;
    const int threshold = std::min(loc.threshold, formula.maxIterations);
    const long bits = bitsFor(depth) + 12;
    const long searchPrecision = bits + 64;
    const complex::PlanePoint reach{BigFloat(searchPrecision, loc.reachX),
                                    BigFloat(searchPrecision, loc.reachY)};
    const complex::PlanePoint escape{BigFloat(searchPrecision, loc.escapeX),
                                     BigFloat(searchPrecision, loc.escapeY)};
    const auto t0 = std::chrono::steady_clock::now();
    const auto centre =
        loc.threshold == 0
            ? std::optional<complex::PlanePoint>(reach)
            : complex::findBoundaryPoint(formula, threshold, reach, escape, bits, searchPrecision);
    if (!centre) {
        std::printf("%s %.0e: the seeds do not straddle count %d\n", loc.name, depth, threshold);
        return {};
    }
    std::string why;
    const auto scene = sceneAround(*centre, formula, options,
                                   numeric::ExtFloat(depth / static_cast<double>(options.width)),
                                   searchPrecision, why);
    if (!scene) {
        std::printf("%s %.0e: refused: %s\n", loc.name, depth, why.c_str());
        return {};
    }
    const auto t1 = std::chrono::steady_clock::now();
    scene->prepare();
    const auto t2 = std::chrono::steady_clock::now();
    const Samples samples = compareSamples(*scene, formula, options);
    const Tally& tally = samples.tally;
    std::printf(
        "%-10s %.0e  centre %s, %s  counts %ld..%ld  identical %d/%d (%.2f%%)  direct-fallback "
        "%ld  search %.1fs reference %.3fs  per pixel: perturbation %.1fus direct %.1fus\n",
        loc.name, depth, shortText(centre->x).c_str(), shortText(centre->y).c_str(),
        samples.minCount, samples.maxCount, tally.same, tally.total,
        100.0 * tally.same / std::max(1, tally.total), scene->directPixels(),
        std::chrono::duration<double>(t1 - t0).count(),
        std::chrono::duration<double>(t2 - t1).count(),
        1e6 * samples.perturbSeconds / options.samples,
        1e6 * samples.directSeconds / options.samples);
    if (!options.plain) {
        const Tally whole = compareWithPlain(*scene);
        std::printf(
            "  whole picture against the plain perturbation: identical %d/%d (%.2f%%), "
            "%ld found inside by their cycle\n",
            whole.same, whole.total, 100.0 * whole.same / std::max(1, whole.total),
            scene->interiorPixels());
    }
    if (options.centres)
        std::printf("  centre x %s\n  centre y %s\n", centre->x.toString().c_str(),
                    centre->y.toString().c_str());
    for (const std::string& note : samples.notes)
        std::printf("%s\n", note.c_str());
    std::fflush(stdout);
    return tally;
}

// The formula of type ID (0: Mandelbrot) as the locations above have it.
complex::EscapeFormula formulaOfType(int type) {
    if (type == 0)
        return kLocations[0].formula;
    const std::string name = catalogue::fractalTypeName(type);
    for (const Location& loc : kLocations)
        if (name == loc.name)
            return loc.formula;
    return kLocations[0].formula;
}

// The bits beyond the view's with which a direct count is tried again when it differs
// from a perturbed one. A count near a small copy of the set comes from an orbit whose
// rounding errors grow with its derivative, so a direct count is trusted only where a
// finer one gives the same.
constexpr long kFinerBits[] = {256, 1024, 4096};

// One sampled pixel of a view given by --at: its counts by the fast and the plain
// perturbation, by direct iteration at the options' bits and, where they differ, the
// direct counts at the finer bits.
struct SpotSample {
    long i = 0, j = 0;
    int fast = 0, plain = 0, direct = 0;
    std::vector<int> finer;
    // The direct count no finer precision changes (direct when nothing differed); -1
    // when even the finest changed it.
    int converged = 0;
    // Where they differ, the direct counts of the points 2^-30 of a pixel away on either
    // axis: a count that changes there is decided below any precision that differences
    // in double keep.
    std::vector<int> nearby;
    // With --stability: the first of kStabilityExponents at which the points that far off
    // the pixel count as it does (its index; the number of them when none does).
    std::size_t stableFrom = 0;
    bool steady() const {
        return std::all_of(nearby.begin(), nearby.end(), [&](int c) { return c == converged; });
    }
};

constexpr int kNearbyExponent = -30;
// How far off a pixel its count is tried with --stability, in powers of two of a pixel.
constexpr int kStabilityExponents[] = {-10, -20, -30, -40, -50};

// The direct counts of the points a little off pixel (x, y) on either axis.
std::vector<int> nearbyCounts(const complex::PerturbationScene& scene, const BigFloat& x,
                              const BigFloat& y, long bits, int exponent = kNearbyExponent) {
    const complex::EscapeFormula& formula = scene.setup().formula;
    BigFloat offsetX = scene.setup().dx.toBig(bits);
    BigFloat offsetY = scene.setup().dy.toBig(bits);
    offsetX.scaleByPowerOfTwo(exponent);
    offsetY.scaleByPowerOfTwo(exponent);
    BigFloat wideX = x;
    BigFloat wideY = y;
    wideX.setPrecision(bits);
    wideY.setPrecision(bits);
    std::vector<int> counts;
    for (int side : {1, -1}) {
        counts.push_back(complex::directEscape(formula, wideX + offsetX * side, wideY, bits).count);
        counts.push_back(complex::directEscape(formula, wideX, wideY + offsetY * side, bits).count);
    }
    return counts;
}

// Which pixels are sampled: distinct ones while the picture has enough of them.
std::vector<complex::PixelIndex> samplePixels(const Options& options) {
    std::mt19937 random(12345);
    const long pixels = options.width * options.height;
    std::vector<complex::PixelIndex> chosen;
    if (options.samples <= pixels) {
        std::vector<long> order(static_cast<std::size_t>(pixels));
        for (long k = 0; k < pixels; ++k)
            order[static_cast<std::size_t>(k)] = k;
        std::shuffle(order.begin(), order.end(), random);
        for (int s = 0; s < options.samples; ++s) {
            const long k = order[static_cast<std::size_t>(s)];
            chosen.push_back({k % options.width, k / options.width});
        }
        return chosen;
    }
    std::uniform_int_distribution<long> column(0, options.width - 1);
    std::uniform_int_distribution<long> row(0, options.height - 1);
    for (int s = 0; s < options.samples; ++s)
        chosen.push_back({column(random), row(random)});
    return chosen;
}

// The finest of kStabilityExponents down to which the counts of points off the pixel
// change (its index; the number of them when none change).
std::size_t stabilityOf(const complex::PerturbationScene& scene, const BigFloat& x,
                        const BigFloat& y, long bits, int count) {
    std::size_t k = 0;
    for (int exponent : kStabilityExponents) {
        const std::vector<int> counts = nearbyCounts(scene, x, y, bits, exponent);
        if (std::all_of(counts.begin(), counts.end(), [&](int c) { return c == count; }))
            break;
        ++k;
    }
    return k;
}

SpotSample countSample(const complex::PerturbationScene& fast,
                       const complex::PerturbationScene& plain, const complex::PixelIndex& pixel,
                       long directBits, bool stability) {
    SpotSample s;
    s.i = pixel.i;
    s.j = pixel.j;
    s.fast = fast.countAt(pixel.i, pixel.j).count;
    s.plain = plain.countAt(pixel.i, pixel.j).count;
    const complex::EscapeFormula& formula = fast.setup().formula;
    const BigFloat x = fast.planeX(pixel.i);
    const BigFloat y = fast.planeY(pixel.j);
    const long bits = fast.precision() + directBits;
    s.direct = complex::directEscape(formula, x, y, bits).count;
    s.converged = s.direct;
    if (stability)
        s.stableFrom = stabilityOf(fast, x, y, bits, s.direct);
    if (s.fast == s.direct && s.plain == s.direct)
        return s;
    int previous = s.direct;
    s.converged = -1;
    for (long finer : kFinerBits) {
        s.finer.push_back(complex::directEscape(formula, x, y, bits + finer).count);
        if (s.finer.back() == previous) {
            s.converged = previous;
            break;
        }
        previous = s.finer.back();
    }
    if (s.converged >= 0)
        s.nearby = nearbyCounts(fast, x, y, bits);
    return s;
}

// Every sampled pixel, on as many threads as the options say.
std::vector<SpotSample> countSamples(const complex::PerturbationScene& fast,
                                     const complex::PerturbationScene& plain,
                                     const std::vector<complex::PixelIndex>& pixels,
                                     const Options& options) {
    std::vector<SpotSample> samples(pixels.size());
    std::atomic<std::size_t> next{0};
    auto work = [&] {
        for (std::size_t k = next++; k < pixels.size(); k = next++)
            samples[k] = countSample(fast, plain, pixels[k], options.directBits, options.stability);
    };
    const unsigned threads = options.threads > 0
                                 ? static_cast<unsigned>(options.threads)
                                 : std::max(1U, std::thread::hardware_concurrency());
    std::vector<std::thread> helpers;
    for (unsigned t = 1; t < threads; ++t)
        helpers.emplace_back(work);
    work();
    for (std::thread& helper : helpers)
        helper.join();
    return samples;
}

std::string percentOf(int same, int total) {
    char text[64];
    std::snprintf(text, sizeof text, "%d/%d (%.2f%%)", same, total,
                  100.0 * same / std::max(1, total));
    return text;
}

// Who was right at a pixel where the counts differ.
std::string explainSpot(const SpotSample& s, const Options& options) {
    std::string text = "  pixel (" + std::to_string(s.i) + ", " + std::to_string(s.j) + "): fast " +
                       std::to_string(s.fast) + ", plain " + std::to_string(s.plain) +
                       ", direct +" + std::to_string(options.directBits) + " bits " +
                       std::to_string(s.direct);
    for (std::size_t k = 0; k < s.finer.size(); ++k)
        text += ", +" + std::to_string(options.directBits + kFinerBits[k]) + " bits " +
                std::to_string(s.finer[k]);
    if (s.converged < 0)
        return text + ": the direct count does not settle";
    if (s.converged != s.direct)
        text += ": the direct count at +" + std::to_string(options.directBits) +
                " bits had not converged";
    const auto [least, most] = std::minmax_element(s.nearby.begin(), s.nearby.end());
    if (!s.steady())
        text += "; 2^" + std::to_string(kNearbyExponent) +
                " of a pixel away: " + std::to_string(*least) + ".." + std::to_string(*most);
    const bool fastRight = s.fast == s.converged;
    const bool plainRight = s.plain == s.converged;
    if (fastRight && plainRight)
        return text + "; both perturbations are right";
    if (fastRight || plainRight)
        return text + "; the " + (fastRight ? "plain" : "fast") + " perturbation is wrong";
    return text + "; both perturbations are wrong";
}

// The share of sampled pixels whose count changes within each distance of the pixel
// (a count that changes within 2^-30 of a pixel is beyond what double differences keep).
void printStability(const std::vector<SpotSample>& samples) {
    std::printf("  direct counts that change within a distance of the pixel:");
    std::size_t k = 0;
    for (int exponent : kStabilityExponents) {
        const auto changing = std::count_if(samples.begin(), samples.end(),
                                            [&](const SpotSample& s) { return s.stableFrom > k; });
        std::printf(" 2^%d: %.2f%%", exponent,
                    100.0 * static_cast<double>(changing) /
                        static_cast<double>(std::max<std::size_t>(1, samples.size())));
        ++k;
    }
    std::printf("\n");
}

// The view --at gives, by the fast and the plain perturbation against direct iteration.
// Its share of identical counts is taken against the converged direct count; the
// smaller share of the two paths is returned (with --exact-counts, the fast path's, which
// counts again what the plain perturbation cannot decide).
Tally checkSpot(const Options& options) {
    complex::EscapeFormula formula = formulaOfType(options.type);
    if (options.params) {
        formula.paramReal = options.param[0];
        formula.paramImag = options.param[1];
    }
    if (options.limit > 0)
        formula.maxIterations = options.limit;
    const auto width = BigFloat::parse(options.atWidth, 128);
    if (!width || width->sign() <= 0) {
        std::printf("--at: the width %s is no positive number\n", options.atWidth.c_str());
        return {};
    }
    const numeric::ExtFloat depth = numeric::ExtFloat::fromBig(*width);
    // Every digit the pixels need, and more.
    const long bits = std::max<long>(64, 96 - static_cast<long>(depth.exponent()));
    const auto x = BigFloat::parse(options.atX, bits);
    const auto y = BigFloat::parse(options.atY, bits);
    if (!x || !y) {
        std::printf("--at: the centre %s, %s is no number\n", options.atX.c_str(),
                    options.atY.c_str());
        return {};
    }
    std::string why;
    Options fastOptions = options;
    fastOptions.plain = false;
    Options plainOptions = options;
    plainOptions.plain = true;
    const numeric::ExtFloat spacing = depth * (1.0 / static_cast<double>(options.width));
    const auto fast = sceneAround({*x, *y}, formula, fastOptions, spacing, bits, why);
    const auto plain = sceneAround({*x, *y}, formula, plainOptions, spacing, bits, why);
    if (!fast || !plain) {
        std::printf("--at: refused: %s\n", why.c_str());
        return {};
    }
    const auto t0 = std::chrono::steady_clock::now();
    if (fast->prepare() != complex::PerturbationScene::Prepared::kReady ||
        plain->prepare() != complex::PerturbationScene::Prepared::kReady) {
        std::printf("--at: the reference orbit could not be computed\n");
        return {};
    }
    const auto t1 = std::chrono::steady_clock::now();
    const std::vector<SpotSample> samples =
        countSamples(*fast, *plain, samplePixels(options), options);
    const auto t2 = std::chrono::steady_clock::now();
    Tally fastTally, plainTally, fastPlain, fastDirect, plainDirect, steady;
    int least = formula.maxIterations, most = 0;
    for (const SpotSample& s : samples) {
        least = std::min(least, s.direct);
        most = std::max(most, s.direct);
        for (Tally* t : {&fastTally, &plainTally, &fastPlain, &fastDirect, &plainDirect})
            ++t->total;
        fastTally.same += s.fast == s.converged;
        plainTally.same += s.plain == s.converged;
        fastPlain.same += s.fast == s.plain;
        fastDirect.same += s.fast == s.direct;
        plainDirect.same += s.plain == s.direct;
        if (s.fast != s.converged || s.plain != s.converged) {
            ++steady.total;
            steady.same += s.steady();
        }
    }
    std::printf("at %s wide, %ldx%ld, limit %d, precision %ld (direct +%ld bits)  counts %d..%d\n",
                options.atWidth.c_str(), options.width, options.height, formula.maxIterations,
                fast->precision(), options.directBits, least, most);
    std::printf("  against the converged direct count: fast %s, plain %s\n",
                percentOf(fastTally.same, fastTally.total).c_str(),
                percentOf(plainTally.same, plainTally.total).c_str());
    std::printf("  against the direct count at +%ld bits: fast %s, plain %s\n", options.directBits,
                percentOf(fastDirect.same, fastDirect.total).c_str(),
                percentOf(plainDirect.same, plainDirect.total).c_str());
    std::printf(
        "  fast against plain: %s  found inside %ld, counted directly %ld (fast) %ld "
        "(plain), counted exactly %ld  reference %.1fs samples %.1fs\n",
        percentOf(fastPlain.same, fastPlain.total).c_str(), fast->interiorPixels(),
        fast->directPixels(), plain->directPixels(), fast->exactPixels(),
        std::chrono::duration<double>(t1 - t0).count(),
        std::chrono::duration<double>(t2 - t1).count());
    std::printf(
        "  of the pixels where a perturbation is wrong, %d have a count that does not "
        "change within 2^%d of a pixel\n",
        steady.same, kNearbyExponent);
    if (options.stability)
        printStability(samples);
    for (const SpotSample& s : samples)
        if (s.fast != s.direct || s.plain != s.direct)
            std::printf("%s\n", explainSpot(s, options).c_str());
    std::fflush(stdout);
    if (options.exact)
        return fastTally;
    return fastTally.same <= plainTally.same ? fastTally : plainTally;
}

int probe(char** argv) {
    complex::EscapeFormula formula;
    const std::string name = catalogue::fractalTypeName(std::atoi(argv[0]));
    for (const Location& loc : kLocations)
        if (name == loc.name)
            formula = loc.formula;
    formula.maxIterations = std::atoi(argv[3]);
    if (argv[4] && argv[5] && std::string(argv[4]) == "--params") {
        formula.paramReal = std::atof(argv[5]);
        formula.paramImag = argv[6] ? std::atof(argv[6]) : 0.0;
    }
    const auto x = BigFloat::parse(argv[1], 200);
    const auto y = BigFloat::parse(argv[2], 200);
    if (!x || !y)
        return 2;
    std::printf("%d\n", complex::directEscape(formula, *x, *y, 200).count);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    for (int a = 1; a < argc; ++a) {
        const std::string arg = argv[a];
        const bool hasValue = a + 1 < argc;
        if (arg == "--probe" && a + 4 < argc)
            return probe(argv + a + 1);
        if (arg == "--type" && hasValue)
            options.type = std::atoi(argv[++a]);
        else if (arg == "--depth" && hasValue)
            options.depths.push_back(std::atof(argv[++a]));
        else if (arg == "--samples" && hasValue)
            options.samples = std::max(1, std::atoi(argv[++a]));
        else if (arg == "--seeds" && a + 4 < argc) {
            options.seeds = true;
            for (double& v : options.seed)
                v = std::atof(argv[++a]);
        } else if (arg == "--unfixed")
            options.unfixed = true;
        else if (arg == "--plain")
            options.plain = true;
        else if (arg == "--centres")
            options.centres = true;
        else if (arg == "--threshold" && hasValue)
            options.threshold = std::atoi(argv[++a]);
        else if (arg == "--params" && a + 2 < argc) {
            options.params = true;
            options.param[0] = std::atof(argv[++a]);
            options.param[1] = std::atof(argv[++a]);
        } else if (arg == "--at" && a + 3 < argc) {
            options.at = true;
            options.atX = argv[++a];
            options.atY = argv[++a];
            options.atWidth = argv[++a];
        } else if (arg == "--threads" && hasValue)
            options.threads = std::max(1, std::atoi(argv[++a]));
        else if (arg == "--exact-counts")
            options.exact = true;
        else if (arg == "--stability")
            options.stability = true;
        else if (arg == "--direct-bits" && hasValue)
            options.directBits = std::clamp(std::atol(argv[++a]), 0L, 1L << 16);
        else if (arg == "--limit" && hasValue)
            options.limit = std::atoi(argv[++a]);
        else if (arg == "--size" && hasValue &&
                 std::sscanf(argv[++a], "%ldx%ld", &options.width, &options.height) == 2)
            continue;
        else {
            std::fprintf(stderr,
                         "usage: corvane-deep-check [--type ID] [--depth WIDTH]... "
                         "[--samples N] [--size WxH] [--limit N]\n"
                         "       corvane-deep-check --at X Y WIDTH [--type ID] [--samples N] "
                         "[--size WxH] [--limit N] [--threads N] [--direct-bits B] [--stability]\n"
                         "       (either form: --exact-counts)\n");
            return 2;
        }
    }
    if (options.at) {
        const Tally t = checkSpot(options);
        const bool below = t.total == 0 || t.same * 1000 < t.total * 999;
        if (below)
            std::printf("the view is below 99.9%% identical\n");
        return below ? 1 : 0;
    }
    const bool explicitDepths = !options.depths.empty();
    if (options.depths.empty())
        options.depths = {1e-30, 1e-100, 1e-300};
    Tally all;
    bool belowGoal = false;
    for (const Location& loc : kLocations) {
        if (options.type != 0 && catalogue::fractalTypeName(options.type) != loc.name)
            continue;
        std::vector<double> depths = options.depths;
        if (loc.extraDepth > 0.0 && !explicitDepths)
            depths.insert(depths.begin(), loc.extraDepth);
        for (double depth : depths) {
            const Tally t = checkView(loc, options, depth);
            belowGoal = belowGoal || t.total == 0 || t.same * 1000 < t.total * 999;
            all.same += t.same;
            all.total += t.total;
        }
    }
    std::printf("all: identical %d/%d%s\n", all.same, all.total,
                belowGoal ? " (a view is below 99.9% identical)" : "");
    return belowGoal ? 1 : 0;
}
