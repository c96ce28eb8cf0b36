#include "complex/exact_orbit.h"

#include <gtest/gtest.h>

#include <string>

#include "complex/escape_kernels.h"

namespace complex {
namespace {

using numeric::BigFloat;

// The double kernel of each type, as the scans call it for the plane point (x, y).
complex::EscapeValue kernelSmooth(const EscapeFormula& f, double x, double y) {
    const int limit = f.maxIterations;
    switch (f.type) {
        case kernels::Formula::kJulia:
            return kernels::quadraticSmooth(x, y, f.paramReal, f.paramImag, limit);
        case kernels::Formula::kUnity:
            return kernels::unitySmooth(x, y, limit);
        case kernels::Formula::kSpider:
            return kernels::spiderSmooth(f.paramReal, f.paramImag, x, y, limit);
        case kernels::Formula::kManowar:
            return kernels::manowarSmooth(f.paramReal, f.paramImag, x, y, limit);
        case kernels::Formula::kPhoenix:
            return kernels::phoenixSmooth(x, y, f.paramReal, f.paramImag, limit);
        default:
            return kernels::quadraticSmooth(f.paramReal, f.paramImag, x, y, limit);
    }
}

complex::EscapeValue exact(const EscapeFormula& f, double x, double y) {
    return directEscape(f, BigFloat(200, x), BigFloat(200, y), 200);
}

// The arbitrary-precision iteration has the double kernels' semantics: the count from
// the iterate before the step, escapes at equality, a start outside gives 1, and the
// continuous count follows the escape as the smooth kernels do.
TEST(ExactOrbitTest, CountsAsTheDoubleKernels) {
    struct Case {
        EscapeFormula formula;
        double x, y;
        int count;
    };
    const Case cases[] = {
        {{kernels::Formula::kMandelbrot, 0, 0, 200}, 0.0, 0.0, 200},
        {{kernels::Formula::kMandelbrot, 0, 0, 200}, 1.0, 0.0, 3},
        {{kernels::Formula::kMandelbrot, 0, 0, 200}, 2.0, 0.0, 2},
        {{kernels::Formula::kMandelbrot, 0, 0, 200}, 3.0, 0.0, 2},
        {{kernels::Formula::kJulia, 0, 0, 200}, 1.0, 0.0, 200},
        {{kernels::Formula::kJulia, 0, 0, 200}, 2.0, 0.0, 1},
        {{kernels::Formula::kJulia, 0, 0, 200}, 0.5, 0.0, 200},
        {{kernels::Formula::kUnity, 0, 0, 200}, 0.0, 0.0, 200},
        {{kernels::Formula::kUnity, 0, 0, 200}, 1.0, 0.0, 2},
        {{kernels::Formula::kUnity, 0, 0, 200}, 1.0, 1.0, 1},
        {{kernels::Formula::kSpider, 0, 0, 200}, 1.0, 0.0, 3},
        {{kernels::Formula::kManowar, 0, 0, 200}, 1.0, 0.0, 2},
        {{kernels::Formula::kPhoenix, 0, 0, 200}, 2.0, 0.0, 1},
        {{kernels::Formula::kMandelbrot, 0, 0, 1}, 0.0, 0.0, 1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(exact(c.formula, c.x, c.y).count, c.count)
            << static_cast<int>(c.formula.type) << " " << c.x;

    // Over a grid of each type's default view, with a limit low enough that double's
    // rounding cannot change a count.
    const EscapeFormula formulas[] = {
        {kernels::Formula::kMandelbrot, 0.0, 0.0, 20},
        {kernels::Formula::kMandelbrot, 0.1, -0.2, 20},
        {kernels::Formula::kJulia, -0.7, 0.3, 20},
        {kernels::Formula::kUnity, 0.0, 0.0, 20},
        {kernels::Formula::kSpider, 0.0, 0.0, 20},
        {kernels::Formula::kManowar, 0.0, 0.0, 20},
        {kernels::Formula::kPhoenix, 0.56667, -0.5, 20},
    };
    for (const EscapeFormula& f : formulas) {
        int compared = 0;
        for (double x = -2.05; x < 2.2; x += 0.0731) {
            for (double y = -1.95; y < 2.0; y += 0.0877) {
                const complex::EscapeValue mine = exact(f, x, y);
                const complex::EscapeValue theirs = kernelSmooth(f, x, y);
                ASSERT_EQ(mine.count, theirs.count)
                    << "type " << static_cast<int>(f.type) << " at " << x << ", " << y;
                EXPECT_NEAR(mine.continuous, theirs.continuous, 1e-9);
                ++compared;
            }
        }
        EXPECT_GT(compared, 2000);
    }
}

// The states kept for the perturbed pixels: the iterate, the type's second value and
// the margin to the bailout, rounded from the exact values.
// A pixel counted at full precision hears a stop as the reference orbit does: at the
// next step, however far its limit lies.
TEST(ExactOrbitTest, ADirectCountEndsAtTheStepAStopArrives) {
    // The origin lies inside for every type (with both parameters 0).
    const kernels::Formula types[] = {kernels::Formula::kMandelbrot, kernels::Formula::kJulia,
                                      kernels::Formula::kUnity,      kernels::Formula::kSpider,
                                      kernels::Formula::kManowar,    kernels::Formula::kPhoenix};
    for (const kernels::Formula type : types) {
        SCOPED_TRACE(static_cast<int>(type));
        const EscapeFormula formula{type, 0, 0, 50000000};
        int asked = 0;
        const StopCheck stopAtTen = [&asked] { return ++asked >= 10; };
        const complex::EscapeValue value =
            directEscape(formula, BigFloat(4000, 0.0), BigFloat(4000, 0.0), 4000, stopAtTen);
        EXPECT_EQ(asked, 10);
        EXPECT_EQ(value.count, 9);
        // Unasked, the same pixel runs on (here to a limit within reach).
        EXPECT_EQ(
            directEscape({type, 0, 0, 300}, BigFloat(200, 0.0), BigFloat(200, 0.0), 200).count,
            300);
    }
}

TEST(ExactOrbitTest, KeepsEachTypesStates) {
    ReferenceOrbit orbit;
    const BigFloat one(100, 1.0);
    const BigFloat zero(100, 0.0);
    // Spider at c = 1: z goes 0, 1, 2.5 while c goes 1, 1.5, 3.25; escapes at the third.
    ASSERT_EQ(computeOrbit({kernels::Formula::kSpider, 0, 0, 50}, one, zero, OrbitStart::kPoint,
                           100, 1 << 20, {}, orbit),
              OrbitOutcome::kDone);
    ASSERT_EQ(orbit.points.size(), 3u);
    EXPECT_TRUE(orbit.escaped);
    EXPECT_EQ(orbit.points[1].zr, 1.0);
    EXPECT_EQ(orbit.second(1).ar, 1.5);
    EXPECT_EQ(orbit.points[2].zr, 2.5);
    EXPECT_EQ(orbit.second(2).ar, 3.25);
    EXPECT_EQ(orbit.points[2].outside, 2.5 * 2.5 - 4.0);
    // Unity at (1, 0): z goes to (1, 1), where k = 2: t = 2 - k is kept with each state.
    ASSERT_EQ(computeOrbit({kernels::Formula::kUnity, 0, 0, 50}, one, zero, OrbitStart::kPoint, 100,
                           1 << 20, {}, orbit),
              OrbitOutcome::kDone);
    ASSERT_EQ(orbit.points.size(), 2u);
    EXPECT_EQ(orbit.second(0).ar, 1.0);
    EXPECT_EQ(orbit.second(1).ar, 0.0);
    EXPECT_EQ(orbit.points[1].outside, 0.0);
    // Manowar's w is the previous iterate, starting as c; the critical orbit of
    // Mandelbrot starts at 0 whatever z(0) is.
    ASSERT_EQ(computeOrbit({kernels::Formula::kManowar, 0, 0, 50}, one, zero, OrbitStart::kPoint,
                           100, 1 << 20, {}, orbit),
              OrbitOutcome::kDone);
    EXPECT_EQ(orbit.second(0).ar, 1.0);
    EXPECT_EQ(orbit.second(1).ar, 0.0);
    EXPECT_EQ(orbit.points[1].zr, 2.0);
    ASSERT_EQ(computeOrbit({kernels::Formula::kMandelbrot, 0.5, 0.5, 3}, zero, zero,
                           OrbitStart::kCritical, 100, 1 << 20, {}, orbit),
              OrbitOutcome::kDone);
    EXPECT_EQ(orbit.points.size(), 4u);  // never escapes: the limit's steps and one more
    EXPECT_EQ(orbit.points[0].zr, 0.0);
    EXPECT_EQ(orbit.points[0].outside, -4.0);
}

}  // namespace
}  // namespace complex
