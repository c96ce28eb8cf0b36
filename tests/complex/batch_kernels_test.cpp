#include <gtest/gtest.h>

#include <atomic>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "complex/batch_kernels.h"

namespace {

using complex::kernels::BatchSetup;
using complex::kernels::countBatch;
using complex::kernels::countPoint;
using complex::kernels::Formula;

struct Point {
    double x;
    double y;
};

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Points where the kernels are hard to get right, besides the random ones.
std::vector<Point> specialPoints() {
    std::vector<Point> points;
    // A dyadic grid: the arithmetic is exact in both number systems, so squared
    // magnitudes land exactly on the bailout (4, and 2 for Unity) at many points.
    for (int i = -24; i <= 24; ++i) {
        for (int j = -24; j <= 24; ++j)
            points.push_back({i / 8.0, j / 8.0});
    }
    // Around the magnitudes where fixed-point squares wrap: the square root of 128,
    // 16 (whose square wraps to exactly 0), and the end of the 64-bit range (2^35).
    const double edges[] = {11.3137084989847, 16.0, 22.627416997969522, 34359738368.0, 1e11};
    for (const double edge : edges) {
        for (const double delta : {-1e-6, -0x1p-28, 0.0, 0x1p-28, 1e-6}) {
            for (const double sign : {1.0, -1.0}) {
                points.push_back({sign * (edge + delta), 0.0});
                points.push_back({0.0, sign * (edge + delta)});
                points.push_back({sign * (edge + delta), edge + delta});
            }
        }
    }
    // What double precision turns into infinities and NaNs.
    const double odd[] = {kInf, -kInf, kNaN, 1e300, -1e300, 1e154, 4.9e-324, -0.0, 1e-9};
    for (const double a : odd) {
        for (const double b : odd)
            points.push_back({a, b});
        points.push_back({a, 0.25});
        points.push_back({-0.5, a});
    }
    return points;
}

// Random points: most over the region the types draw by default, some over a wide
// square where fixed-point squares wrap, some with arbitrary bit patterns.
std::vector<Point> randomPoints(std::size_t count, std::uint64_t seed) {
    std::mt19937_64 random(seed);
    std::uniform_real_distribution<double> view(-2.6, 2.6);
    std::uniform_real_distribution<double> wide(-40.0, 40.0);
    std::vector<Point> points;
    points.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        switch (i % 16) {
            case 0:
                points.push_back({wide(random), wide(random)});
                break;
            case 1:
                points.push_back({std::bit_cast<double>(random()), view(random)});
                break;
            default:
                points.push_back({view(random), view(random)});
                break;
        }
    }
    return points;
}

// Batch lengths in turn: odd ones that leave vector lanes partly empty, and long ones
// in which lanes are refilled many times.
constexpr std::size_t kLengths[] = {1, 3, 7, 17, 64, 255, 1000, 4096};

// The points whose batch count differs from the single-point kernel's, described.
std::vector<std::string> mismatches(const BatchSetup& setup, const std::vector<Point>& points) {
    std::vector<double> x(points.size());
    std::vector<double> y(points.size());
    for (std::size_t i = 0; i < points.size(); ++i) {
        x[i] = points[i].x;
        y[i] = points[i].y;
    }
    std::vector<int> counts(points.size(), -1);
    std::size_t start = 0;
    for (std::size_t b = 0; start < points.size(); ++b) {
        const std::size_t length =
            std::min(kLengths[b % std::size(kLengths)], points.size() - start);
        countBatch(setup, x.data() + start, y.data() + start, length, counts.data() + start);
        start += length;
    }
    std::vector<std::string> found;
    for (std::size_t i = 0; i < points.size() && found.size() < 5; ++i) {
        const int expected = countPoint(setup, x[i], y[i]);
        if (counts[i] != expected) {
            std::ostringstream line;
            line << "(" << x[i] << ", " << y[i] << "): batch " << counts[i] << ", single "
                 << expected;
            found.push_back(line.str());
        }
    }
    return found;
}

TEST(BatchKernelTest, EveryInstructionSetGivesTheSingleKernelsCounts) {
    struct Case {
        Formula formula;
        double real, imag;  // paramReal, paramImag
    };
    const Case cases[] = {
        {Formula::kMandelbrot, 0.0, 0.0}, {Formula::kMandelbrot, 0.1, -0.2},
        {Formula::kJulia, -0.7, 0.3},     {Formula::kJulia, 0.0, 0.0},
        {Formula::kUnity, 0.0, 0.0},      {Formula::kSpider, 0.0, 0.0},
        {Formula::kSpider, -0.25, 0.5},   {Formula::kManowar, 0.0, 0.0},
        {Formula::kManowar, 0.2, 0.1},    {Formula::kPhoenix, 0.56667, -0.5},
        {Formula::kPhoenix, 0.0, 0.0},    {Formula::kPhoenix, 3.0, 0.75},
    };
    // Limits: 1 (every point is done after one step), a few, the last step taken
    // ahead of the lanes and the one after it, the default and a deep one for the
    // inside points.
    const int limits[] = {1, 2, 8, 9, 37, 200};
    const std::vector<Point> special = specialPoints();
    const std::vector<Point> many = randomPoints(200000, 16);

    int targets = 0;
    complex::kernels::forEachVectorTarget([&](const std::string& target) {
        ++targets;
        for (const Case& c : cases) {
            for (const bool integer : {false, true}) {
                for (const int limit : limits) {
                    const BatchSetup setup{c.formula, limit, integer, c.real, c.imag};
                    SCOPED_TRACE(
                        target + " formula " + std::to_string(static_cast<int>(c.formula)) +
                        " params " + std::to_string(c.real) + "," + std::to_string(c.imag) +
                        (integer ? " fixed" : " double") + " limit " + std::to_string(limit));
                    EXPECT_EQ(mismatches(setup, special), std::vector<std::string>{});
                    if (limit == 200) {
                        EXPECT_EQ(mismatches(setup, many), std::vector<std::string>{});
                    }
                }
            }
        }
    });
    EXPECT_GE(targets, 1);
}

// The lanes take several steps between looks without counting and, where a lane escaped
// or reached the limit among them, take them again one by one. Limits just before, at
// and after the end of the first steps and of the later looks, and a lane that escapes
// at any step within a look, must still give the single kernel's counts.
TEST(BatchKernelTest, CountsAreExactAtEveryStepBetweenLooks) {
    struct Case {
        Formula formula;
        double real, imag;
    };
    const Case cases[] = {
        {Formula::kMandelbrot, 0.0, 0.0}, {Formula::kJulia, -0.7, 0.3},
        {Formula::kUnity, 0.0, 0.0},      {Formula::kSpider, 0.0, 0.0},
        {Formula::kManowar, 0.0, 0.0},    {Formula::kPhoenix, 0.56667, -0.5},
    };
    const int limits[] = {10, 15, 16, 17, 23, 24, 25, 31, 33, 64, 65, 1000};
    std::vector<Point> points = specialPoints();
    // Along the real axis into the cardioid's cusp: counts that climb one by one
    // through every step of many looks.
    for (int i = 0; i <= 4000; ++i)
        points.push_back({0.25 + 0.3 * std::pow(0.998, i), 1e-3 * (i % 7)});
    const std::vector<Point> many = randomPoints(20000, 27);
    points.insert(points.end(), many.begin(), many.end());
    complex::kernels::forEachVectorTarget([&](const std::string& target) {
        for (const Case& c : cases) {
            for (const bool integer : {false, true}) {
                for (const int limit : limits) {
                    const BatchSetup setup{c.formula, limit, integer, c.real, c.imag};
                    SCOPED_TRACE(
                        target + " formula " + std::to_string(static_cast<int>(c.formula)) +
                        (integer ? " fixed" : " double") + " limit " + std::to_string(limit));
                    EXPECT_EQ(mismatches(setup, points), std::vector<std::string>{});
                }
            }
        }
    });
}

// A batch answers for its own points only: the counts around it stay untouched, and a
// limit below 1 (which the fractal never sets) still gives the single kernel's answer
// instead of a slot that never finishes.
TEST(BatchKernelTest, BatchWritesOnlyItsCountsAndEndsWithoutPositiveLimit) {
    const double x[] = {0.0, 0.5, 3.0};
    const double y[] = {0.0, 0.5, 0.0};
    for (const bool integer : {false, true}) {
        for (const int limit : {0, -5, 3}) {
            SCOPED_TRACE(std::to_string(limit) + (integer ? " fixed" : " double"));
            const BatchSetup setup{Formula::kMandelbrot, limit, integer, 0.0, 0.0};
            int counts[5] = {-7, -7, -7, -7, -7};
            countBatch(setup, x, y, 3, counts + 1);
            EXPECT_EQ(counts[0], -7);
            EXPECT_EQ(counts[4], -7);
            for (int i = 0; i < 3; ++i)
                EXPECT_EQ(counts[i + 1], countPoint(setup, x[i], y[i]));
            countBatch(setup, x, y, 0, counts);
            EXPECT_EQ(counts[0], -7);
        }
    }
}

// Points that never escape, with a limit no test could wait for: a batch must notice a
// stop or a pause within a few steps, on every instruction set and in both arithmetics.
TEST(BatchKernelTest, StopOrPauseInterruptsABatchThatWouldRunForHours) {
    using complex::kernels::BatchInterrupt;
    using complex::kernels::BatchSetup;
    using complex::kernels::Formula;
    constexpr std::size_t kPoints = 100;
    const std::vector<double> x(kPoints, -0.1);
    const std::vector<double> y(kPoints, 0.05);
    std::vector<int> counts(kPoints, -1);
    struct Case {
        bool running;
        bool paused;
    };
    for (const Case c : {Case{false, false}, Case{true, true}, Case{false, true}}) {
        std::atomic<bool> running{c.running};
        std::atomic<bool> paused{c.paused};
        const BatchInterrupt interrupt{&running, &paused};
        complex::kernels::forEachVectorTarget([&](const std::string& target) {
            for (const bool integer : {false, true}) {
                SCOPED_TRACE(testing::Message() << target << " integer " << integer << " running "
                                                << c.running << " paused " << c.paused);
                const BatchSetup setup{Formula::kMandelbrot, 1 << 30, integer, 0.0, 0.0};
                EXPECT_FALSE(complex::kernels::countBatch(setup, x.data(), y.data(), kPoints,
                                                          counts.data(), &interrupt));
            }
        });
    }
    // Not interrupted, the same batch finishes with the single kernel's counts.
    std::atomic<bool> running{true};
    std::atomic<bool> paused{false};
    const BatchInterrupt none{&running, &paused};
    const BatchSetup small{Formula::kMandelbrot, 500, false, 0.0, 0.0};
    EXPECT_TRUE(
        complex::kernels::countBatch(small, x.data(), y.data(), kPoints, counts.data(), &none));
    EXPECT_EQ(counts[kPoints - 1], complex::kernels::countPoint(small, x[0], y[0]));
}

}  // namespace
