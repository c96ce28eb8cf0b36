#include "complex/minibrot_finder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <string>

namespace {

using complex::EscapeFormula;
using complex::MinibrotSearch;
using numeric::BigFloat;
using numeric::ExtFloat;

constexpr long kPrecision = 400;

BigFloat number(const char* text) {
    return *BigFloat::parse(text, kPrecision);
}

ExtFloat extent(const char* text) {
    return ExtFloat::fromBig(number(text));
}

EscapeFormula mandelbrot(int limit, double paramReal = 0.0, double paramImag = 0.0) {
    return {complex::kernels::Formula::kMandelbrot, paramReal, paramImag, limit};
}

complex::SearchRegion square(const char* x, const char* y, const char* halfSide) {
    return {number(x), number(y), extent(halfSide), extent(halfSide)};
}

double distance(const complex::PlanePoint& p, const char* x, const char* y) {
    return std::abs(ExtFloat::fromBig(p.x - number(x)).toDouble()) +
           std::abs(ExtFloat::fromBig(p.y - number(y)).toDouble());
}

TEST(MinibrotFinderTest, FindsTheKnownNucleiFromViewsAroundThem) {
    struct Case {
        const char* name;
        const char* x;  // the view's centre, off the nucleus
        const char* y;
        const char* halfSide;
        int period;
        const char* nucleusX;
        const char* nucleusY;
        double size;  // 1 / |beta L^2| along the cycle
    };
    const Case cases[] = {
        {"the whole set", "0.1", "-0.05", "0.5", 1, "0", "0", 1.0},
        // The cycle -1, 0: L = -2, beta = 1 - 1/2.
        {"period 2", "-0.98", "0.03", "0.1", 2, "-1", "0", 0.5},
        {"period 3 on the axis", "-1.754", "0.001", "0.01", 3,
         "-1.75487766624669276004950889635852869189460661777279", "0", 0.0190},
        // The upper period-3 bulb's centre, the root of c^3 + 2c^2 + c + 1 off the axis.
        {"period 3 bulb", "-0.12", "0.74", "0.03", 3, "-0.12256116687665361997524555182",
         "0.74486176661974423659317042860", 0.0},
        // A valley view 1e-10 wide, whose image grows too loose before period 998: the
        // copy nearest the centre is found in a narrower region.
        {"period 998 from a wide valley view", "-0.7436438870371582", "0.1318259042053124", "5e-11",
         998, "-0.74364388703715887078", "0.13182590420531229282", 0.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const MinibrotSearch search =
            complex::findNearestMinibrot(mandelbrot(1000), square(c.x, c.y, c.halfSide));
        ASSERT_EQ(search.outcome, MinibrotSearch::Outcome::kFound) << search.reason;
        EXPECT_EQ(search.minibrot->period, c.period);
        EXPECT_NEAR(distance(search.minibrot->nucleus, c.nucleusX, c.nucleusY), 0.0, 1e-14);
        if (c.size > 0.0) {
            EXPECT_NEAR(search.minibrot->size.toDouble(), c.size, c.size * 0.05);
        }
    }
}

// Views 1e-30, 1e-100 and 1e-300 wide about c = i, a point of the set's edge whose
// neighbourhood shows copies at every depth: each finds one in or beside the view,
// smaller than the view, whose nucleus returns to 0 with the period found.
TEST(MinibrotFinderTest, FindsMinibrotsInDeepViews) {
    for (const char* halfSide : {"5e-31", "5e-101", "5e-301"}) {
        SCOPED_TRACE(halfSide);
        const complex::SearchRegion region = square("0", "1", halfSide);
        const MinibrotSearch search = complex::findNearestMinibrot(mandelbrot(100000), region);
        ASSERT_EQ(search.outcome, MinibrotSearch::Outcome::kFound) << search.reason;
        const complex::Minibrot& found = *search.minibrot;
        EXPECT_GT(found.period, 3);
        EXPECT_TRUE(found.size < region.halfWidth);
        const ExtFloat offset = ExtFloat::fromBig(found.nucleus.y - region.centreY);
        EXPECT_TRUE(offset < region.halfWidth * 3.0 && (-offset) < region.halfWidth * 3.0);
        // Newton's method from the nucleus at twice its precision stays there.
        const auto again =
            complex::findNucleus(found.nucleus, found.period, 2 * found.nucleus.x.precision());
        ASSERT_TRUE(again);
        EXPECT_TRUE(ExtFloat::fromBig(again->x - found.nucleus.x) < found.size * 1e-6);
        // The view that shows it is narrower than the one searched.
        const auto shown = complex::viewShowing(found, 320, 240);
        ASSERT_TRUE(shown);
        EXPECT_TRUE(ExtFloat::fromBig(shown->spanX()) < region.halfWidth);
    }
}

TEST(MinibrotFinderTest, RefusesWhatHasNoMinibrotToFind) {
    struct Case {
        const char* name;
        EscapeFormula formula;
        complex::SearchRegion region;
        MinibrotSearch::Outcome outcome;
    };
    const Case cases[] = {
        {"outside the set", mandelbrot(1000), square("2", "2", "0.1"),
         MinibrotSearch::Outcome::kNone},
        // Period 3's nucleus is the lowest near -1.75, beyond a limit of 2.
        {"beyond the period limit", mandelbrot(2), square("-1.754", "0", "0.01"),
         MinibrotSearch::Outcome::kNone},
        {"another z(0)", mandelbrot(1000, 0.05, 0.0), square("-1", "0", "0.1"),
         MinibrotSearch::Outcome::kRefused},
        {"another type",
         {complex::kernels::Formula::kJulia, 0.0, 0.0, 1000},
         square("-1", "0", "0.1"),
         MinibrotSearch::Outcome::kRefused},
        {"no extent", mandelbrot(1000), square("-1", "0", "0"), MinibrotSearch::Outcome::kRefused},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const MinibrotSearch search = complex::findNearestMinibrot(c.formula, c.region);
        EXPECT_EQ(search.outcome, c.outcome);
        EXPECT_FALSE(search.minibrot);
        EXPECT_FALSE(search.reason.empty());
    }
}

TEST(MinibrotFinderTest, AStopEndsTheSearchAtTheNextStep) {
    // Asked at every step of the ball's orbit and of Newton's method: the search ends
    // at the first question answered yes, wherever it is.
    for (int allowed : {1, 40, 400, 4000}) {
        SCOPED_TRACE(allowed);
        int asked = 0;
        const MinibrotSearch search = complex::findNearestMinibrot(
            mandelbrot(100000), square("0", "1", "5e-301"), [&] { return ++asked > allowed; });
        EXPECT_EQ(search.outcome, MinibrotSearch::Outcome::kStopped);
        EXPECT_FALSE(search.minibrot);
        EXPECT_LE(asked, allowed + 2);
    }
}

}  // namespace
