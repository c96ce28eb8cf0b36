#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "complex/double_double_walk.h"
#include "complex/exact_orbit.h"
#include "complex/perturbation.h"
#include "numeric/double_double.h"
#include "numeric/mpfr_access.h"

namespace complex {
namespace {

using numeric::BigFloat;
using numeric::ExtFloat;

// A deep picture centred on (x, y), width wide, as corvane-deep-check lays it out: half a
// pixel off the centre on each axis.
struct View {
    const char* name;
    EscapeFormula formula;
    const char* x;
    const char* y;
    const char* width;
    long columns, rows;
};

SceneSetup setupOf(const View& view, bool exact) {
    const ExtFloat width = ExtFloat::fromBig(*BigFloat::parse(view.width, 128));
    const long bits = std::max<long>(64, 96 - static_cast<long>(width.exponent()));
    SceneSetup setup;
    setup.formula = view.formula;
    setup.width = view.columns;
    setup.height = view.rows;
    setup.dx = width * (1.0 / static_cast<double>(view.columns));
    setup.dy = setup.dx;
    setup.originX = *BigFloat::parse(view.x, bits) -
                    setup.dx.toBig(bits) * (static_cast<double>(view.columns / 2) - 0.5);
    setup.originY = *BigFloat::parse(view.y, bits) -
                    setup.dy.toBig(bits) * (static_cast<double>(view.rows / 2) - 0.5);
    setup.smooth = true;
    setup.exactCounts = exact;
    return setup;
}

std::unique_ptr<PerturbationScene> preparedScene(const View& view, bool exact) {
    auto scene = PerturbationScene::create(setupOf(view, exact));
    if (!scene || scene->prepare() != PerturbationScene::Prepared::kReady)
        return nullptr;
    return scene;
}

EscapeValue directAt(const PerturbationScene& scene, const PixelIndex& p) {
    return directEscape(scene.setup().formula, scene.planeX(p.i), scene.planeY(p.j),
                        scene.precision() + 64);
}

// Beside a small copy of the set 2e-30 wide (period 11,840; limit 200,000) these pixels'
// counts change within 2^-30 of them, and the walk in double gives other counts than a
// direct iteration. With exact counts they are the direct iteration's; so is every pixel of
// small pictures at the edge of Mandelbrot's and Julia's sets, where the walk alone is right.
TEST(ExactCounts, AreThoseOfADirectIteration) {
    const EscapeFormula minibrot{kernels::Formula::kMandelbrot, 0.0, 0.0, 200000};
    const View minibrotView{"beside a minibrot",
                            minibrot,
                            "-7.439086258021729736680676762969985214505741544e-01",
                            "1.317089375324277830137106376740885980181079638e-01",
                            "2e-30",
                            96,
                            72};
    // Beside a small copy 4.2e-600 wide (period 799), where the reference passes 0 at
    // 3e-302 and a pixel's difference there is of that size: its square and the constant,
    // both far below double's range, weigh the same.
    const View deepView{
        "beside a minibrot at 4.2e-600",
        {kernels::Formula::kMandelbrot, 0, 0, 100000},
        "6.696286409169893279537340922569125738872174437825752004088580697479641179412902"
        "82375173527049215682286372894262141273492662446422879002133185563493658516526643"
        "96353722945911557151199353832159279773839224490355896636622174783762548235283491"
        "743900633049213362681550867962300959595633374045041279040207607825e-301",
        "0.999999999999999999999999999999999999999999999999999999999999999999999999999999"
        "99999999999999999999999999999999999999999999999999999999999999999999999999999999"
        "99999999999999999999999999999999999999999999999999999999999999999999999999999999"
        "99999999999999999999999999999999999999999999999999999999999999665863315548961333"
        "38120838244043449633256242916415516399275722737549736058432435935521931954209131"
        "87462321665323630079645176354608883401015212302805042025443507531154854522403917"
        "52687880011223568448010519620173602140485253970391289043641946901102250835421490"
        "833617874627108875346470538848243023401433293402",
        "4.225191e-600",
        96,
        72};
    struct Case {
        View view;
        std::vector<PixelIndex> pixels;  // every pixel where empty
    };
    const Case cases[] = {
        {minibrotView, {{65, 58}, {15, 5}, {54, 18}, {32, 56}}},
        {deepView, {{50, 42}}},
        {{"Mandelbrot at c = i",
          {kernels::Formula::kMandelbrot, 0, 0, 3000},
          "0",
          "1",
          "1e-30",
          12,
          9},
         {}},
        {{"Julia",
          {kernels::Formula::kJulia, -0.123, 0.745, 3000},
          "1.588065269623468842175701332518998771052555888306435273966855502860977786936977e-1",
          "3.176130539246937684351402665037997542105111776612870547933711005721955573873954e-1",
          "1e-30",
          12,
          9},
         {}},
    };
    int walkWrong = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.view.name);
        const auto exact = preparedScene(c.view, true);
        const auto plain = preparedScene(c.view, false);
        ASSERT_TRUE(exact && plain);
        std::vector<PixelIndex> pixels = c.pixels;
        for (long j = 0; pixels.empty() && j < c.view.rows; ++j)
            for (long i = 0; i < c.view.columns; ++i)
                pixels.push_back({i, j});
        std::vector<EscapeValue> values(pixels.size());
        exact->countPixels(pixels.data(), static_cast<long>(pixels.size()), values.data());
        for (std::size_t k = 0; k < pixels.size(); ++k) {
            const PixelIndex& p = pixels[k];
            SCOPED_TRACE("pixel " + std::to_string(p.i) + ", " + std::to_string(p.j));
            const EscapeValue direct = directAt(*exact, p);
            EXPECT_EQ(values[k].count, direct.count);
            EXPECT_NEAR(values[k].continuous, direct.continuous, 1e-6);
            EXPECT_EQ(exact->countAt(p.i, p.j).count, direct.count);
            walkWrong += plain->countAt(p.i, p.j).count != direct.count;
        }
        if (c.pixels.empty()) {
            // Where the walk alone is right, few pixels are counted again.
            EXPECT_LT(exact->exactPixels(), static_cast<long>(pixels.size()) / 4);
        }
    }
    // The pixels beside the minibrot are those the walk in double gets wrong.
    EXPECT_GE(walkWrong, 2);
}

// The remainders hold the reference's iterates to twice double's precision, and the walk in
// that precision answers a stop.
TEST(ExactCounts, RemaindersCarryTheIterateAndTheWalkStops) {
    const EscapeFormula formula{kernels::Formula::kMandelbrot, 0.0, 0.0, 500};
    const BigFloat x = *BigFloat::parse("-0.7436438870371587047521915061", 200);
    const BigFloat y = *BigFloat::parse("0.1318259042053119704931320564", 200);
    ReferenceOrbit orbit;
    ASSERT_EQ(computeOrbit(formula, x, y, OrbitStart::kPoint, 200, std::size_t{1} << 30, {}, orbit),
              OrbitOutcome::kDone);
    std::vector<OrbitRemainder> remainders;
    ASSERT_EQ(computeOrbitRemainders(formula, x, y, OrbitStart::kPoint, 200, orbit, {}, remainders),
              OrbitOutcome::kDone);
    ASSERT_EQ(remainders.size(), orbit.points.size());
    // The same iteration, in MPFR: z - hi - lo is below 2^-100 of z at every state.
    BigFloat zr(200, 0.0), zi(200, 0.0), t(200, 0.0);
    for (std::size_t k = 0; k < orbit.points.size(); ++k) {
        BigFloat er = zr, ei = zi;
        er -= orbit.points[k].zr;
        er -= remainders[k].zr;
        ei -= orbit.points[k].zi;
        ei -= remainders[k].zi;
        const double size = std::hypot(zr.toDouble(), zi.toDouble());
        ASSERT_LE(std::hypot(er.toDouble(), ei.toDouble()), size * 0x1p-100) << "state " << k;
        t = zr * zi;
        t *= 2.0;
        zr = zr * zr - zi * zi + x;
        zi = t + y;
    }
    perturbation_detail::PreciseWalkSetup setup;
    setup.formula = formula;
    setup.formula.maxIterations = 100000;
    setup.primary = {&orbit, &remainders};
    setup.critical = setup.primary;
    const perturbation_detail::WideComplexDD none{};
    const perturbation_detail::WideComplexDD inside{{numeric::DoubleDouble(0.5), {}}, -133};
    int asked = 0;
    const auto stop = [&asked] { return ++asked > 2; };
    EXPECT_FALSE(
        perturbation_detail::countPrecisely(setup, none, inside, x.toDouble(), y.toDouble(), stop));
    EXPECT_EQ(asked, 3);
    // Orbits without their remainders are refused.
    setup.critical.remainders = nullptr;
    EXPECT_FALSE(perturbation_detail::countPrecisely(setup, none, inside, 0.0, 0.0));
}

// The walk in twice double's precision alone, from references at the edge of Mandelbrot's
// and Julia's sets, against direct iteration: plain differences at 1e-30, scaled ones below
// double's range at 1e-300 and 1e-1000, where the pixels pass the reference's returns near 0.
TEST(ExactCounts, ThePreciseWalkCountsAsDirectIterationAtAnyDepth) {
    struct Case {
        const char* name;
        EscapeFormula formula;
        const char* x;
        const char* y;
        int depth;  // the offsets' exponent of ten
    };
    const Case cases[] = {
        {"Mandelbrot 1e-30", {kernels::Formula::kMandelbrot, 0, 0, 3000}, "0", "1", -30},
        {"Mandelbrot 1e-300", {kernels::Formula::kMandelbrot, 0, 0, 3000}, "0", "1", -300},
        {"Mandelbrot 1e-1000", {kernels::Formula::kMandelbrot, 0, 0, 3000}, "0", "1", -1000},
        {"Julia 1e-60",
         {kernels::Formula::kJulia, -0.123, 0.745, 3000},
         "1.588065269623468842175701332518998771052555888306435273966855502860977786936977e-1",
         "3.176130539246937684351402665037997542105111776612870547933711005721955573873954e-1",
         -60},
    };
    const double offsets[][2] = {{0.3, -0.7}, {-2.5, 1.25}, {4.0, 4.0}, {-0.01, 0.02}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const long precision = 64 + static_cast<long>(-3.33 * c.depth);
        const BigFloat x = *BigFloat::parse(c.x, precision);
        const BigFloat y = *BigFloat::parse(c.y, precision);
        ReferenceOrbit primary, critical;
        std::vector<OrbitRemainder> primaryRest, criticalRest;
        ASSERT_EQ(computeOrbit(c.formula, x, y, OrbitStart::kPoint, precision, std::size_t{1} << 30,
                               {}, primary),
                  OrbitOutcome::kDone);
        ASSERT_EQ(computeOrbit(c.formula, x, y, OrbitStart::kCritical, precision,
                               std::size_t{1} << 30, {}, critical),
                  OrbitOutcome::kDone);
        ASSERT_EQ(computeOrbitRemainders(c.formula, x, y, OrbitStart::kPoint, precision, primary,
                                         {}, primaryRest),
                  OrbitOutcome::kDone);
        ASSERT_EQ(computeOrbitRemainders(c.formula, x, y, OrbitStart::kCritical, precision,
                                         critical, {}, criticalRest),
                  OrbitOutcome::kDone);
        perturbation_detail::PreciseWalkSetup setup;
        setup.formula = c.formula;
        setup.primary = {&primary, &primaryRest};
        setup.critical = {&critical, &criticalRest};
        setup.smooth = true;
        const bool byC = c.formula.type == kernels::Formula::kMandelbrot;
        // 10^depth as a power of two times a mantissa, and the offsets in that unit.
        const long e = static_cast<long>(std::floor(c.depth * 3.321928094887362));
        for (const auto& o : offsets) {
            const perturbation_detail::WideComplexDD offset{
                {numeric::DoubleDouble(o[0]), numeric::DoubleDouble(o[1])}, e};
            BigFloat px(precision, o[0]), py(precision, o[1]);
            px.scaleByPowerOfTwo(e);
            py.scaleByPowerOfTwo(e);
            px += x;
            py += y;
            const std::optional<EscapeValue> walked = perturbation_detail::countPrecisely(
                setup, byC ? perturbation_detail::WideComplexDD{} : offset,
                byC ? offset : perturbation_detail::WideComplexDD{},
                byC ? px.toDouble() : c.formula.paramReal,
                byC ? py.toDouble() : c.formula.paramImag);
            ASSERT_TRUE(walked);
            EscapeValue direct = directEscape(c.formula, px, py, precision + 64);
            EXPECT_EQ(walked->count, direct.count) << o[0] << ", " << o[1];
            EXPECT_NEAR(walked->continuous, direct.continuous, 1e-6) << o[0] << ", " << o[1];
        }
    }
}

// The error-free sums and products: hi + lo is the exact result.
TEST(DoubleDoubleTest, SumsAndProductsAreExact) {
    struct Case {
        double a, b;
    };
    const Case cases[] = {{1.0, 0x1p-60},   {0.1, 0.2},    {1e150, -1e134},
                          {3.0, 1.0 / 3.0}, {-0.7, 1e-17}, {0x1p-500, 0x1p-520}};
    for (const Case& c : cases) {
        const BigFloat a(300, c.a), b(300, c.b);
        const numeric::DoubleDouble sum = numeric::twoSum(c.a, c.b);
        const numeric::DoubleDouble product = numeric::twoProduct(c.a, c.b);
        BigFloat sumError = a + b;
        sumError -= sum.hi;
        sumError -= sum.lo;
        BigFloat productError = a * b;
        productError -= product.hi;
        productError -= product.lo;
        EXPECT_EQ(sumError.toDouble(), 0.0) << c.a << " + " << c.b;
        EXPECT_EQ(productError.toDouble(), 0.0) << c.a << " x " << c.b;
        const numeric::DoubleDouble x(c.a, c.a * 0x1p-60), y(c.b, c.b * 0x1p-61);
        BigFloat exact = (BigFloat(300, x.hi) + BigFloat(300, x.lo)) *
                         (BigFloat(300, y.hi) + BigFloat(300, y.lo));
        const numeric::DoubleDouble got = x * y;
        const double size = std::fabs(exact.toDouble());
        exact -= got.hi;
        exact -= got.lo;
        EXPECT_LE(std::fabs(exact.toDouble()), size * 0x1p-100) << c.a << " x " << c.b;
    }
}

}  // namespace
}  // namespace complex
