// Iteration limits up to the largest int at deep views, the memory bound of the
// reference orbits and the automatic iteration limit.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <string>

#include "complex/automatic_limit.h"
#include "complex/escape_kernels.h"
#include "complex/perturbation.h"
#include "complex/reference_budget.h"
#include "complex_test_rig.h"
#include "view/view_text.h"

namespace complex {
namespace {

using numeric::BigFloat;
using numeric::ExtFloat;

TEST(AutomaticLimitTest, GrowsWithDepthAndWithTheBorderCounts) {
    struct Row {
        const char* name;
        // Border observations before the limit is asked for: {limit, highest escape}.
        std::vector<AutomaticLimit::Border> seen;
        double log2Magnification;
        int expected;
    };
    const Row rows[] = {
        {"default view", {}, 0.0, 200},
        {"zoomed out", {}, -10.0, 200},
        {"shallow zoom keeps the floor", {}, 2.0, 200},
        {"2^10", {}, 10.0, 1000},
        {"2^100 (1e-30)", {}, 100.0, 10000},
        {"2^1000 (1e-300)", {}, 1000.0, 100000},
        {"beyond the memory bound", {}, 1e6, 5'000'000},
        {"infinite depth", {}, HUGE_VAL, 5'000'000},
        {"not a number", {}, std::nan(""), 200},
        {"escape near the limit doubles", {{1000, 900}}, 10.0, 2000},
        {"escape at three quarters doubles", {{1000, 750}}, 10.0, 2000},
        {"escape in the middle keeps", {{1000, 500}}, 10.0, 1000},
        {"no escape on the border doubles", {{1000, -1}}, 10.0, 2000},
        {"raised twice", {{1000, 990}, {2000, 1990}}, 10.0, 4000},
        {"raised, then far below halves", {{1000, 990}, {2000, 100}}, 10.0, 1000},
        {"never below the depth's limit", {{1000, 10}, {1000, 10}}, 10.0, 1000},
        {"the factor stops at 64", std::vector<AutomaticLimit::Border>(10, {100, -1}), 1.0,
         200 * 64},
        {"no limit seen changes nothing", {{0, -1}}, 10.0, 1000},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        AutomaticLimit automatic;
        for (const AutomaticLimit::Border& border : row.seen)
            automatic.observe(border);
        EXPECT_EQ(automatic.limitFor(row.log2Magnification, 200, 5'000'000), row.expected);
    }
}

TEST(ReferenceBudgetTest, CountsTheOrbitsEachTypeKeeps) {
    struct Row {
        kernels::Formula type;
        double real;
        int orbits;
        std::uint64_t stateBytes;  // Spider keeps its moving c; the others derive theirs
    };
    const Row rows[] = {
        {kernels::Formula::kMandelbrot, 0.0, 1, 24}, {kernels::Formula::kMandelbrot, 0.05, 2, 24},
        {kernels::Formula::kJulia, -0.123, 2, 24},   {kernels::Formula::kUnity, 0.0, 2, 24},
        {kernels::Formula::kSpider, 0.0, 2, 40},     {kernels::Formula::kManowar, 0.0, 2, 24},
        {kernels::Formula::kPhoenix, 0.56, 2, 24},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(static_cast<int>(row.type));
        const ReferenceNeed need = referenceNeed(EscapeFormula{row.type, row.real, 0.0, INT_MAX});
        EXPECT_EQ(need.orbits, row.orbits);
        EXPECT_EQ(need.statesEach, std::uint64_t{1} << 31);
        EXPECT_EQ(need.stateBytes, row.stateBytes);
        EXPECT_EQ(need.bytes, (std::uint64_t{1} << 31) * row.stateBytes * row.orbits);
        // The largest limit that fits a budget fits it, and one more does not.
        const std::uint64_t budget = bytesOfMiB(64);
        const int most = mostIterationsWithin(row.type, row.real, 0.0, budget);
        EXPECT_LE(referenceNeed(EscapeFormula{row.type, row.real, 0.0, most}).bytes, budget);
        EXPECT_GT(referenceNeed(EscapeFormula{row.type, row.real, 0.0, most + 1}).bytes, budget);
        EXPECT_EQ(mostIterationsWithin(row.type, row.real, 0.0, ~std::uint64_t{0}), INT_MAX);
        EXPECT_EQ(mostIterationsWithin(row.type, row.real, 0.0, row.stateBytes), 0);
    }
}

// Counts near the largest int: nothing that sums or converts them overflows, and a
// limit of billions costs nothing where the orbits escape early.
TEST(DeepLimitsTest, TheLargestIntLimitIsCountedWithoutOverflow) {
    // The continuous count of an escape at the largest count lies just below it.
    const double continuous = kernels::normalisedCount(INT_MAX, 3, 16.0);
    EXPECT_DOUBLE_EQ(continuous, static_cast<double>(INT_MAX) + 3.0 + 1.0 - 2.0);
    const EscapeValue fromState =
        escapeFrom(EscapeFormula{kernels::Formula::kMandelbrot, 0.0, 0.0, INT_MAX},
                   DoubleState{3.0, 0.0, 0.0, 0.0, 0.0, 0.0}, INT_MAX);
    EXPECT_EQ(fromState.count, INT_MAX);
    EXPECT_GT(fromState.continuous, static_cast<double>(INT_MAX) - 1.0);

    // c = 0.3 escapes after a dozen steps.
    const EscapeFormula huge{kernels::Formula::kMandelbrot, 0.0, 0.0, INT_MAX};
    const BigFloat x(200, 0.3);
    const BigFloat y(200, 0.0);
    ReferenceOrbit orbit;
    ASSERT_EQ(computeOrbit(huge, x, y, OrbitStart::kPoint, 200, ~std::size_t{0} / 2, {}, orbit),
              OrbitOutcome::kDone);
    EXPECT_TRUE(orbit.escaped);
    EXPECT_LT(orbit.points.size(), 100u);
    EXPECT_LT(orbit.points.capacity(), 2000u);  // nothing reserved for the limit
    EXPECT_EQ(directEscape(huge, x, y, 200).count, static_cast<int>(orbit.points.size()));
    // The bound is checked before anything is computed.
    EXPECT_EQ(computeOrbit(huge, x, y, OrbitStart::kPoint, 200, std::size_t{1} << 30, {}, orbit),
              OrbitOutcome::kTooLarge);

    // A deep view there counts the same at the largest limit as at a small one.
    SceneSetup setup;
    setup.formula = EscapeFormula{kernels::Formula::kMandelbrot, 0.0, 0.0, 1000};
    setup.width = 8;
    setup.height = 6;
    setup.dx = ExtFloat(1e-22);
    setup.dy = setup.dx;
    setup.originX = BigFloat(200, 0.3);
    setup.originY = BigFloat(200, 1e-21);
    setup.smooth = true;
    auto small = PerturbationScene::create(setup);
    setup.formula.maxIterations = INT_MAX;
    setup.mostReferenceBytes = ~std::size_t{0} / 2;
    auto largest = PerturbationScene::create(setup);
    ASSERT_TRUE(small && largest);
    ASSERT_EQ(small->prepare(), PerturbationScene::Prepared::kReady);
    ASSERT_EQ(largest->prepare(), PerturbationScene::Prepared::kReady);
    for (long j = 0; j < setup.height; ++j) {
        for (long i = 0; i < setup.width; ++i) {
            const EscapeValue a = small->countAt(i, j);
            const EscapeValue b = largest->countAt(i, j);
            EXPECT_EQ(a.count, b.count) << i << "," << j;
            EXPECT_EQ(a.continuous, b.continuous) << i << "," << j;
        }
    }
}

TEST(DeepLimitsTest, AScenePastTheMemoryBoundIsRefusedWithTheFigures) {
    SceneSetup setup;
    setup.formula = EscapeFormula{kernels::Formula::kJulia, -0.123, 0.745, 999};
    setup.width = 8;
    setup.height = 6;
    setup.dx = ExtFloat(1e-22);
    setup.dy = setup.dx;
    setup.originX = BigFloat(200, 0.3);
    setup.originY = BigFloat(200, 0.0);
    // Two orbits of 1000 states of 24 bytes: exactly 48000 bytes fit.
    setup.mostReferenceBytes = 48000;
    EXPECT_TRUE(PerturbationScene::create(setup));
    setup.mostReferenceBytes = 47999;
    std::string why;
    EXPECT_FALSE(PerturbationScene::create(setup, &why));
    EXPECT_EQ(why,
              "the reference orbits of 999 iterations need 48000 bytes, more than the 47999 "
              "allowed");
}

// The automatic limit replaces the user's from the next run, grows with the depth and
// stays within the memory the options allow; the user's limit is left alone without it.
TEST(DeepLimitsTest, TheAutomaticLimitFollowsTheDepth) {
    struct Row {
        const char* width;  // of the view; empty: the type's default view
        bool automatic;
        int memoryMiB;
        int expected;
    };
    const Row rows[] = {
        {"", false, 2048, 4321},
        {"", true, 2048, 200},
        {"1e-30", true, 2048, 10184},  // 2^101.84 over the default view's spacing
        {"1e-30", false, 2048, 4321},
        {"1e-300", true, 2048, 99876},
        {"1e-3000", true, 2048, 996796},
        {"1e-3000", true, 16, 699049},  // 16 MiB / 24 bytes, less one state
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.width) + (row.automatic ? " automatic" : ""));
        complex_test::Rig rig;
        auto fractal = complex_test::makeComplexType(engine::kMandelbrot, rig.services());
        fractal->setOption(&engine::Options::autoIterations, row.automatic);
        fractal->setOption(&engine::Options::referenceMemoryMiB, row.memoryMiB);
        fractal->setMaxIterations(4321);
        if (*row.width != '\0') {
            const auto text =
                view::parseCentreAndWidth("-1.74006238257933990520,0.02817533977920", row.width);
            fractal->setPreciseView(*view::DeepView::fromCentreAndWidth(
                text.value->x, text.value->y, text.value->width, fractal->width, fractal->height));
        }
        fractal->prepareRun();
        EXPECT_EQ(fractal->runLimit(), row.expected);
        EXPECT_EQ(fractal->maxIterations(), row.expected);
    }
}

// The border of each finished picture raises the next picture's automatic limit where
// it showed no escape (a view inside the set) and leaves it where escapes lie far below.
TEST(DeepLimitsTest, TheAutomaticLimitLearnsFromTheLastBorder) {
    const struct {
        const char* name;
        double x1, y1, x2, y2;
        int factor;  // of the second picture's limit over the first's
    } rows[] = {
        {"inside the main cardioid", -0.11, -0.01, -0.09, 0.01, 2},
        {"the whole set", -2.1, -1.69, 1.0, 1.72, 1},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        complex_test::Rig rig;
        auto fractal = complex_test::makeComplexType(engine::kMandelbrot, rig.services());
        fractal->setOption(&engine::Options::autoIterations, true);
        fractal->restartWith([&] { fractal->setViewRect(row.x1, row.y1, row.x2, row.y2); });
        ASSERT_TRUE(corvane_test::waitFinished(*fractal));
        const int first = fractal->runLimit();
        fractal->restartWith([] {});
        ASSERT_TRUE(corvane_test::waitFinished(*fractal));
        EXPECT_EQ(fractal->runLimit(), first * row.factor);
        fractal->stopCalculation();
    }
}

}  // namespace
}  // namespace complex
