#include <gtest/gtest.h>

#include "complex/escape_kernels.h"
#include "complex/julia_fractal.h"
#include "complex/mandelbrot_fractal.h"
#include "complex_test_rig.h"

namespace {

using complex::kFinestFixedPointSpacing;
using complex::kSimple;
using complex::fixed28::toFixed28;
using complex_test::Rig;

// Below the integer algorithm's finest spacing a picture is computed in double
// precision, whatever the stored choice; above it the choice holds. Every pixel is
// checked against the kernel it should have run.
TEST(IntegerSwitchTest, FinePixelSpacingComputesInDoublePrecision) {
    struct Case {
        double spacing;  // in units of the finest fixed-point spacing
        bool integerChosen;
        bool integerRuns;
    };
    const Case cases[] = {
        {64.0, true, true},      {1.01, true, true},   {0.99, true, false},
        {1.0 / 64, true, false}, {0.99, false, false}, {64.0, false, false},
    };
    const double cx = -0.743643887037151;
    const double cy = 0.131825904205330;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.spacing);
        SCOPED_TRACE(c.integerChosen);
        Rig rig(24, 18);
        complex::MandelbrotFractal f(rig.services());
        f.setParameters(300, 0.0, 0.0, c.integerChosen);
        f.setMethod(kSimple);
        const double step = c.spacing * kFinestFixedPointSpacing;
        f.stopCalculation();
        f.setViewRect(cx - 12 * step, cy - 9 * step, cx + 12 * step, cy + 9 * step);
        ASSERT_EQ(complex::fixedPointResolves(f.view()), c.spacing > 1.0);
        f.startCalculation();
        ASSERT_TRUE(complex_test::waitFinished(f));

        EXPECT_EQ(f.useInteger(), c.integerChosen);  // the stored choice stays
        EXPECT_EQ(f.integerArithmetic(), c.integerRuns);
        const bool noted = c.integerChosen && !c.integerRuns;
        EXPECT_EQ(rig.window.titleNote().empty(), !noted);
        int differentFromDouble = 0;
        for (int column = 0; column < f.width; ++column) {
            for (int row = 0; row < f.height; ++row) {
                const double x = f.view().planeX(column);
                const double y = f.view().planeY(row);
                const int expected =
                    c.integerRuns ? complex::kernels::quadratic(toFixed28(0.0), toFixed28(0.0),
                                                                toFixed28(x), toFixed28(y), 300)
                                  : complex::kernels::quadratic(0.0, 0.0, x, y, 300);
                ASSERT_EQ(f.picture.pixel(column, row), f.colorForCount(expected))
                    << column << "," << row;
                differentFromDouble +=
                    expected != complex::kernels::quadratic(0.0, 0.0, x, y, 300) ? 1 : 0;
            }
        }
        if (!c.integerRuns) {
            EXPECT_EQ(differentFromDouble, 0);
        }
    }
}

// The switch follows the view of each run: zooming back out returns to fixed point.
TEST(IntegerSwitchTest, TheNoteFollowsEachRun) {
    Rig rig(24, 18);
    complex::JuliaFractal f(rig.services());
    f.setDefaultParameters();
    f.stopCalculation();
    f.setViewRect(0.1, 0.1, 0.1 + 1e-9, 0.1 + 1e-9);
    f.startCalculation();
    ASSERT_TRUE(complex_test::waitFinished(f));
    EXPECT_FALSE(f.integerArithmetic());
    EXPECT_EQ(rig.window.title(), "Corvane (computed in double precision)");
    f.stopCalculation();
    f.setViewRect(-1, -1, 1, 1);
    f.startCalculation();
    ASSERT_TRUE(complex_test::waitFinished(f));
    EXPECT_TRUE(f.integerArithmetic());
    EXPECT_EQ(rig.window.title(), "Corvane");
}

}  // namespace
