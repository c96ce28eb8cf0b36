#include "complex/distance_estimate.h"

#include <cmath>

#include <gtest/gtest.h>

#include "complex/escape_kernels.h"

namespace {

using complex::kernels::EscapeDistance;
using complex::kernels::quadraticDistance;

// Points whose distance to the set is known: the estimate lies within a factor of two
// of it, and the counts are the double kernel's, whole and continuous.
TEST(DistanceEstimateTest, EstimatesKnownDistancesWithTheKernelsCounts) {
    struct Case {
        const char* name;
        double x, y;
        bool mandelbrot;  // else Julia of c = 0, whose set is the unit circle
        double distance;  // Mandelbrot; a Julia point's is its distance from the circle
    };
    // Left of the set's leftmost point -2 every other point of the set lies farther; the
    // Julia set of 0 is the unit circle.
    const Case cases[] = {
        {"left of the tip", -2.1, 0.0, true, 0.1},
        {"just left of the tip", -2.0001, 0.0, true, 0.0001},
        {"a little left of the tip", -2.01, 0.0, true, 0.01},
        {"outside the circle", 1.5, 0.0, false, 0},
        {"near the circle", 0.6, -0.8 * 1.01, false, 0},
        {"just outside the circle", 0.0, 1.001, false, 0},
        {"diagonally outside the circle", -0.66, 0.88, false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const double distance = c.mandelbrot ? c.distance : std::hypot(c.x, c.y) - 1.0;
        const int limit = 100000;
        const EscapeDistance got = c.mandelbrot ? quadraticDistance(0, 0, c.x, c.y, true, limit)
                                                : quadraticDistance(c.x, c.y, 0, 0, false, limit);
        const complex::EscapeValue kernel =
            c.mandelbrot ? complex::kernels::quadraticSmooth(0, 0, c.x, c.y, limit)
                         : complex::kernels::quadraticSmooth(c.x, c.y, 0, 0, limit);
        EXPECT_EQ(got.value.count, kernel.count);
        EXPECT_EQ(got.value.continuous, kernel.continuous);
        EXPECT_GE(got.distance, distance / 2.0);
        EXPECT_LE(got.distance, distance * 2.0);
    }
}

// Inside, or where the derivative leaves double's range, there is no distance to give.
TEST(DistanceEstimateTest, InsideAndOverflowGiveNoDistance) {
    EXPECT_EQ(quadraticDistance(0, 0, -0.1, 0.1, true, 1000).distance, 0.0);
    EXPECT_EQ(quadraticDistance(0.5, 0.5, 0, 0, false, 1000).distance, 0.0);
    EXPECT_EQ(complex::kernels::distanceFrom(3.0, 0.0, INFINITY, 0.0), 0.0);
    EXPECT_EQ(complex::kernels::distanceFrom(3.0, 0.0, 0.0, 0.0), 0.0);
    EXPECT_EQ(complex::kernels::distanceFrom(3.0, 0.0, NAN, 0.0), 0.0);
}

}  // namespace
