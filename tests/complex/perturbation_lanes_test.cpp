// Runs of deep pixels in vector lanes give what the scalar walk gives pixel by pixel,
// bit for bit, on every instruction set the lanes are compiled for.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include "complex/batch_kernels.h"
#include "complex/boundary_point.h"
#include "complex/perturbation.h"

namespace complex {
namespace {

using numeric::BigFloat;
using numeric::ExtFloat;

// Not a multiple of any lane count, nor of three groups of them.
constexpr long kWidth = 37;
constexpr long kHeight = 29;
constexpr long kPrecision = 700;

// Under a sanitizer every instruction set and run length would take the build's whole
// time: there the chosen instruction set is checked, in runs of 13 pixels.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

ExtFloat power10(int exponent) {
    return ExtFloat::fromBig(*BigFloat::parse("1e" + std::to_string(exponent), 128));
}

// runs: with the tables' runs and the test of inside, as deep pictures are counted.
SceneSetup viewAround(const EscapeFormula& formula, const BigFloat& x, const BigFloat& y, int depth,
                      bool smooth, bool runs = false) {
    SceneSetup setup;
    setup.formula = formula;
    setup.smooth = smooth;
    setup.width = kWidth;
    setup.height = kHeight;
    setup.dx = power10(depth) * (1.0 / kWidth);
    setup.dy = setup.dx;
    setup.originX = x - setup.dx.toBig(kPrecision) * (kWidth / 2 - 0.5);
    setup.originY = y - setup.dy.toBig(kPrecision) * (kHeight / 2 - 0.5);
    // Without runs the lanes take the plain perturbation's steps: no table, no test of
    // inside.
    setup.approximate = runs;
    setup.detectInterior = runs;
    return setup;
}

// Every pixel of the picture by countAt (the scalar walk), and in runs of each length
// by countPixels, on every instruction set; the runs go down the columns, as the
// scans hand them.
void expectLanesMatchScalar(const SceneSetup& setup) {
    auto scene = PerturbationScene::create(setup);
    ASSERT_TRUE(scene);
    ASSERT_EQ(scene->prepare(), PerturbationScene::Prepared::kReady);
    std::vector<PixelIndex> pixels;
    std::vector<EscapeValue> scalar;
    for (long i = 0; i < kWidth; ++i) {
        for (long j = kHeight - 1; j >= 0; --j) {
            pixels.push_back({i, j});
            scalar.push_back(scene->countAt(i, j));
        }
    }
    int least = setup.formula.maxIterations;
    int most = 0;
    for (const EscapeValue& v : scalar) {
        least = std::min(least, v.count);
        most = std::max(most, v.count);
    }
    EXPECT_LT(least, most) << "a uniform picture tests little";
    // With the test of inside, the pixels found inside are counted however they are
    // walked: by the walk alone, or after the lanes.
    const long insideAlone = scene->interiorPixels();
    const long total = static_cast<long>(pixels.size());
    const auto check = [&](const std::string& target) {
        const std::vector<long> runs =
            kSanitized ? std::vector<long>{13L} : std::vector<long>{1L, 13L, total};
        for (const long run : runs) {
            std::vector<EscapeValue> lanes(pixels.size());
            const long insideBefore = scene->interiorPixels();
            for (long first = 0; first < total; first += run)
                scene->countPixels(&pixels[first], std::min(run, total - first), &lanes[first]);
            if (insideAlone > 0) {
                EXPECT_GT(scene->interiorPixels(), insideBefore)
                    << target << " run " << run << ": the pixels found inside go uncounted";
            }
            int wrong = 0;
            for (std::size_t k = 0; k < pixels.size(); ++k) {
                const bool same = lanes[k].count == scalar[k].count &&
                                  lanes[k].continuous == scalar[k].continuous;
                wrong += !same;
                if (!same && wrong <= 3) {
                    ADD_FAILURE() << target << " run " << run << " pixel " << pixels[k].i << ", "
                                  << pixels[k].j << ": " << lanes[k].count << " "
                                  << lanes[k].continuous << " against " << scalar[k].count << " "
                                  << scalar[k].continuous;
                }
            }
            EXPECT_EQ(wrong, 0) << target << " run " << run;
        }
    };
    if (kSanitized)
        check(kernels::vectorTargetName());
    else
        kernels::forEachVectorTarget(check);
}

TEST(PerturbationLanesTest, RunsInLanesEqualTheScalarWalk) {
    const PlanePoint edgeOfI{BigFloat(kPrecision, 0.0), BigFloat(kPrecision, 1.0)};
    const PlanePoint rabbit{
        *BigFloat::parse("1.588065269623468842175701332518998771052555888306435273966855502860"
                         "977786936977128356993208459952893866183966487693843117941322946820565"
                         "687667218703107116707753694360463181742821936496780104380490643e-1",
                         kPrecision),
        *BigFloat::parse("3.176130539246937684351402665037997542105111776612870547933711005721"
                         "955573873954256713986416919905787732367932975387686235882645893641131"
                         "375334437406214233415507388720926363485643872993560208760981286e-1",
                         kPrecision)};
    const PlanePoint offsetStart{
        *BigFloat::parse("3.29262665589945659484832131967442697423743797094812658e-1", kPrecision),
        *BigFloat::parse("5.72188932148940225176224729980166723369678523762598334e-1", kPrecision)};
    const PlanePoint unity{
        *BigFloat::parse("3.000488524093633546957173140103744433551386900368674801137137023944"
                         "089118196258786898100908855034628402105700331626355354018181070371786"
                         "949129227658330567544696947277580701016075150978326946320015699e-1",
                         kPrecision),
        *BigFloat::parse("5.000732786140450486833620729720042023422077877140478671852107775740"
                         "433652690361915237580262377482455690582232672397387400984154501805133"
                         "029769213085652994427532937829297716603830048312972302822318012e-1",
                         kPrecision)};
    const PlanePoint spider{
        *BigFloat::parse("5.817468631848204548921818909296247448049935993506078366095582678424"
                         "818344682287374772899460255936775665524772287286102340871254028727249"
                         "468216256471225061145026740967904683922936060076619165517431427e-2",
                         kPrecision),
        *BigFloat::parse("1.372620294777230737005046869158705486978348161001728108642432932831"
                         "500700767516564657971627071367389420818875583933210072438148359762517"
                         "004428621353711964981171552466587846114634117104443097765622841e-1",
                         kPrecision)};
    const PlanePoint phoenix{
        *BigFloat::parse("2.672971046569215615203714706598662915566029733062586247205818082597"
                         "182042066173226841536686138910982540229222754815193133007314327237300"
                         "859443838315934765002604694739332392866769119624230030718967107e-1",
                         kPrecision),
        *BigFloat::parse("3.742159465196901623877680584634550662173769200323738196170264128321"
                         "505067108511170500934076931490907979298137077793011510002661980393418"
                         "167425710688859768909238809255184356355892581181689535007209791e-1",
                         kPrecision)};
    const PlanePoint manowar{*BigFloat::parse("-0.340000000000426094012422679964", kPrecision),
                             *BigFloat::parse("2.84046391677425752981464106644e-13", kPrecision)};
    // Phoenix's pixels on a cycle through 0, flagged again and again.
    const PlanePoint phoenixBasin{
        *BigFloat::parse("4.76706627383635002670119085595824068676004734396170014e-2", kPrecision),
        *BigFloat::parse("9.53413254767270005340238171191648137352009468792340027e-2", kPrecision)};
    // The tip c = -2: every escape comes within rounding of the bailout.
    const PlanePoint tip{*BigFloat::parse("-1.99999999999999999997", kPrecision),
                         BigFloat(kPrecision, 0.0)};
    // Small copies of the set near i: the view of each holds the copy and its
    // surroundings, where a pixel's steps are nearly all in runs of the table, chained
    // after short runs; the deeper one's pixels start below double's range and come to
    // the lanes when their differences grow into it. With the test of inside, whose
    // pixels go to the scalar walk for a while.
    const auto copyOfPeriod = [](int period) {
        const auto nucleus = findNucleus(
            PlanePoint{BigFloat(kPrecision, 0.0), BigFloat(kPrecision, 1.0)}, period, kPrecision);
        EXPECT_TRUE(nucleus);
        return nucleus.value_or(PlanePoint{BigFloat(kPrecision, 0.0), BigFloat(kPrecision, 1.0)});
    };
    const PlanePoint copy100 = copyOfPeriod(100);
    const PlanePoint copy250 = copyOfPeriod(250);
    struct Case {
        const char* name;
        EscapeFormula formula;
        PlanePoint centre;
        int depth;
        bool runs = false;
    };
    const Case cases[] = {
        // Rebasing onto the orbit of 0 (the same orbit), pixels at the limit.
        {"Mandelbrot i", {kernels::Formula::kMandelbrot, 0.0, 0.0, 3000}, edgeOfI, -20},
        {"Mandelbrot i", {kernels::Formula::kMandelbrot, 0.0, 0.0, 300}, edgeOfI, -50},
        {"Mandelbrot i", {kernels::Formula::kMandelbrot, 0.0, 0.0, 3000}, edgeOfI, -120},
        // Differences that fall below 2^-500 on the way: handed over to go on scaled.
        {"Mandelbrot i", {kernels::Formula::kMandelbrot, 0.0, 0.0, 2000}, edgeOfI, -146},
        // z(0) other than 0: rebasing onto a second orbit.
        {"Mandelbrot z0", {kernels::Formula::kMandelbrot, 0.05, 0.02, 3000}, offsetStart, -20},
        {"Mandelbrot z0", {kernels::Formula::kMandelbrot, 0.05, 0.02, 3000}, offsetStart, -30},
        {"Julia", {kernels::Formula::kJulia, -0.123, 0.745, 3000}, rabbit, -20},
        {"Julia", {kernels::Formula::kJulia, -0.123, 0.745, 500}, rabbit, -50},
        {"Julia", {kernels::Formula::kJulia, -0.123, 0.745, 3000}, rabbit, -120},
        {"tip", {kernels::Formula::kMandelbrot, 0.0, 0.0, 1000}, tip, -22},
        {"Unity", {kernels::Formula::kUnity, 0.0, 0.0, 3000}, unity, -20},
        {"Unity", {kernels::Formula::kUnity, 0.0, 0.0, 3000}, unity, -120},
        {"Spider", {kernels::Formula::kSpider, 0.0, 0.0, 3000}, spider, -20},
        {"Spider", {kernels::Formula::kSpider, 0.0, 0.0, 500}, spider, -50},
        {"Spider", {kernels::Formula::kSpider, 0.0, 0.0, 3000}, spider, -120},
        {"Manowar", {kernels::Formula::kManowar, 0.0, 0.0, 400}, manowar, -22},
        {"Phoenix", {kernels::Formula::kPhoenix, -1.0, 0.1, 3000}, phoenix, -20},
        {"Phoenix", {kernels::Formula::kPhoenix, -1.0, 0.1, 3000}, phoenix, -120},
        {"Phoenix basin",
         {kernels::Formula::kPhoenix, -1.7548776662466927, 0.0, 3000},
         phoenixBasin,
         -30},
        {"copy of period 100", {kernels::Formula::kMandelbrot, 0.0, 0.0, 8000}, copy100, -73, true},
        {"copy of period 250",
         {kernels::Formula::kMandelbrot, 0.0, 0.0, 8000},
         copy250,
         -186,
         true},
    };
    for (const Case& c : cases) {
        for (const bool smooth : {false, true}) {
            SCOPED_TRACE(std::string(c.name) + " 1e" + std::to_string(c.depth) + " limit " +
                         std::to_string(c.formula.maxIterations) + (smooth ? " smooth" : "") +
                         (c.runs ? " runs" : ""));
            expectLanesMatchScalar(
                viewAround(c.formula, c.centre.x, c.centre.y, c.depth, smooth, c.runs));
        }
    }
}

// Beside a small copy of the set the pixels rebase every 30 steps, and with the fixing
// of glitches turned off they follow the reference through its glitches: the lanes
// do the same either way.
TEST(PerturbationLanesTest, RebasesAsTheScalarWalkBesideASmallCopy) {
    const auto nucleus = findNucleus(
        PlanePoint{BigFloat(kPrecision, 0.0), BigFloat(kPrecision, 1.0)}, 30, kPrecision);
    ASSERT_TRUE(nucleus);
    const EscapeFormula formula{kernels::Formula::kMandelbrot, 0.0, 0.0, 1000};
    for (const bool fix : {true, false}) {
        SceneSetup setup =
            viewAround(formula, nucleus->x + BigFloat(kPrecision, 0.3e-21), nucleus->y, -21, false);
        setup.fixGlitches = fix;
        expectLanesMatchScalar(setup);
    }
}

// The scans' threads count their columns from one scene at once, each in its own
// lanes, with the pixels handed back walked on by the thread whose run they are in.
TEST(PerturbationLanesTest, CountsRunsFromSeveralThreadsAtOnce) {
    const EscapeFormula formula{kernels::Formula::kSpider, 0.0, 0.0, 2000};
    const PlanePoint spider{
        *BigFloat::parse("5.817468631848204548921818909296247448049935993506078366095582678424"
                         "818344682287374772899460255936775665524772287286102340871254028727e-2",
                         kPrecision),
        *BigFloat::parse("1.372620294777230737005046869158705486978348161001728108642432932831"
                         "500700767516564657971627071367389420818875583933210072438148359762e-1",
                         kPrecision)};
    auto scene = PerturbationScene::create(viewAround(formula, spider.x, spider.y, -40, true));
    ASSERT_EQ(scene->prepare(), PerturbationScene::Prepared::kReady);
    ASSERT_TRUE(scene->countsInLanes());
    std::vector<EscapeValue> alone(kWidth * kHeight);
    for (long i = 0; i < kWidth; ++i)
        for (long j = 0; j < kHeight; ++j)
            alone[i * kHeight + j] = scene->countAt(i, j);
    std::vector<EscapeValue> together(kWidth * kHeight);
    std::vector<std::thread> threads;
    for (long first = 0; first < 4; ++first) {
        threads.emplace_back([&, first] {
            std::vector<PixelIndex> column(kHeight);
            for (long i = first; i < kWidth; i += 4) {
                for (long j = 0; j < kHeight; ++j)
                    column[j] = PixelIndex{i, j};
                scene->countPixels(column.data(), kHeight, &together[i * kHeight]);
            }
        });
    }
    for (std::thread& t : threads)
        t.join();
    for (std::size_t k = 0; k < alone.size(); ++k) {
        EXPECT_EQ(together[k].count, alone[k].count) << "pixel " << k;
        EXPECT_EQ(together[k].continuous, alone[k].continuous) << "pixel " << k;
    }
}

// A run whose pixels never escape asks the stop check, and ends when it says so.
// Inside the main cardioid the differences settle near dc: every pixel stays in the
// lanes until the limit.
TEST(PerturbationLanesTest, StopsARunWhenAsked) {
    const EscapeFormula formula{kernels::Formula::kMandelbrot, 0.0, 0.0, 100000};
    auto scene = PerturbationScene::create(
        viewAround(formula, BigFloat(kPrecision, -0.1), BigFloat(kPrecision, 0.0), -30, false));
    ASSERT_EQ(scene->prepare(), PerturbationScene::Prepared::kReady);
    std::vector<PixelIndex> pixels;
    for (long j = 0; j < kHeight; ++j)
        pixels.push_back({3, j});
    std::vector<EscapeValue> values(pixels.size());
    int asked = 0;
    scene->countPixels(pixels.data(), static_cast<long>(pixels.size()), values.data(),
                       [&asked] { return ++asked >= 2; });
    EXPECT_EQ(asked, 2);
    scene->countPixels(pixels.data(), 5, values.data());
    EXPECT_EQ(values[4].count, formula.maxIterations);
}

}  // namespace
}  // namespace complex
