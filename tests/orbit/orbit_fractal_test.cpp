#include "orbit/orbit_fractal.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <optional>
#include <utility>
#include <vector>

#include "orbit_test_support.h"

namespace orbit::test {
namespace {

// An orbit that jumps to a chosen point at every step, records the colour each point
// is drawn in and ends the run after a given number of points, so that calculate()
// can run on the test's own thread.
class ScriptedOrbit final : public OrbitFractal {
  public:
    explicit ScriptedOrbit(const platform::Services& services)
        : OrbitFractal(services, 0.0, 0.0, 0.0) {}

    void iterate() override {
        ++steps;
        if (beforeStep)
            beforeStep(steps);
        colorOfPoint.push_back(currentColor);
        orbitX = nextX;
        orbitY = nextY;
        if (steps >= lastStep)
            runState.running = false;
    }

    // Runs calculate() until `points` points have been computed.
    void run(int points) {
        lastStep = points;
        runState.running = true;
        calculate();
    }

    double nextX = 0.0;
    double nextY = 0.0;
    int steps = 0;
    int lastStep = 0;
    std::vector<platform::Color> colorOfPoint;  // index 0 is point 1
    std::function<void(int step)> beforeStep;
};

constexpr platform::Color kThreeColors[] = {0x00010203, 0x00A0B0C0, 0x00405060};

engine::ColorTable threeColors() {
    engine::ColorTable table;
    table.setColors(kThreeColors, 3);
    return table;
}

struct ColorWalkCase {
    const char* name;
    int pointsPerColor;
    bool threeColorTable;  // otherwise the built-in 255 colours
    int points;
    std::vector<std::pair<int, int>> entryOfPoint;  // point number (from 1), table entry
    int zeroPerColorAfter = 0;  // the dialog sets 0 points per colour after this point
};

class ColorWalkTest : public ::testing::TestWithParam<ColorWalkCase> {};

TEST_P(ColorWalkTest, WalksTheTableCyclicallyAfterEntryZeroTwice) {
    const ColorWalkCase& c = GetParam();
    Environment env;
    auto fractal = make<ScriptedOrbit>(env);
    if (c.threeColorTable)
        fractal->usePalette("three", threeColors());
    fractal->setOption(&engine::Options::randomColors, false);
    fractal->setPointsPerColor(c.pointsPerColor);
    fractal->prepareRun();
    fractal->beforeStep = [&](int step) {
        if (step == c.zeroPerColorAfter)
            fractal->setPointsPerColor(0);
    };

    fractal->run(c.points);

    ASSERT_EQ(fractal->colorOfPoint.size(), static_cast<std::size_t>(c.points));
    for (const auto& [point, entry] : c.entryOfPoint) {
        EXPECT_EQ(fractal->colorOfPoint[static_cast<std::size_t>(point - 1)],
                  fractal->colorTable().colorAt(entry))
            << "point " << point;
    }
}

INSTANTIATE_TEST_SUITE_P(
    PointsPerColor, ColorWalkTest,
    ::testing::Values(
        ColorWalkCase{"FiveThousand",
                      5000,
                      false,
                      15004,
                      {{1, 0}, {10002, 0}, {10003, 1}, {15003, 1}, {15004, 2}}},
        ColorWalkCase{"Zero", 0, true, 7, {{1, 0}, {2, 0}, {3, 1}, {4, 2}, {5, 0}, {6, 1}, {7, 2}}},
        ColorWalkCase{
            "Negative", -7, true, 7, {{1, 0}, {2, 0}, {3, 1}, {4, 2}, {5, 0}, {6, 1}, {7, 2}}},
        ColorWalkCase{"ChangedDuringTheRun", 5000, true, 102, {{100, 0}, {101, 0}, {102, 1}}, 100}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(OrbitColorTest, RandomColoursFollowTheFirstRunOfEntryZero) {
    Environment env;
    auto fractal = make<ScriptedOrbit>(env);
    fractal->usePalette("three", threeColors());
    fractal->setOption(&engine::Options::randomColors, true);
    fractal->setPointsPerColor(2);
    fractal->prepareRun();

    fractal->run(9);

    const auto& colors = fractal->colorOfPoint;
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(colors[i], kThreeColors[0]);
    EXPECT_NE(colors[3], kThreeColors[0]);
    EXPECT_NE(colors[3], kThreeColors[1]);
    EXPECT_EQ(colors[3] & 0xFF000000u, 0u);
    EXPECT_EQ(colors[4], colors[3]);
    EXPECT_EQ(colors[5], colors[3]);
    EXPECT_NE(colors[6], colors[3]);
    EXPECT_EQ(colors[8], colors[6]);
}

struct MappingCase {
    const char* name;
    double x;
    double y;
    std::optional<platform::Point> pixel;  // none: counted but not drawn
};

class OrbitMappingTest : public ::testing::TestWithParam<MappingCase> {};

// The view is -120..120 by -134..134 on 240 x 268 pixels: one unit per pixel, maxY 267.
TEST_P(OrbitMappingTest, DrawsTheTruncatedPixelOrCountsThePointOnly) {
    const MappingCase& c = GetParam();
    Environment env;
    auto fractal = make<ScriptedOrbit>(env);
    fractal->setOption(&engine::Options::randomColors, false);
    fractal->clearPictureBase();
    fractal->prepareRun();
    fractal->nextX = c.x;
    fractal->nextY = c.y;

    fractal->run(5);

    EXPECT_EQ(fractal->runState.pointCount.load(), 5u);
    EXPECT_EQ(fractal->runState.iterationCount.load(), 5u);
    // The orbit keeps its point, however unusable.
    EXPECT_EQ(std::isnan(fractal->currentX()), std::isnan(c.x));
    if (!std::isnan(c.x)) {
        EXPECT_EQ(fractal->currentX(), c.x);
    }
    if (c.pixel) {
        EXPECT_EQ(drawnPixels(*fractal), 2);
        EXPECT_EQ(fractal->picture.pixel(c.pixel->x, c.pixel->y), fractal->colorTable().colorAt(0));
        EXPECT_EQ(fractal->windowDC.pixel(c.pixel->x, c.pixel->y),
                  fractal->colorTable().colorAt(0));
    } else {
        EXPECT_EQ(drawnPixels(*fractal), 0);
    }
}

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

INSTANTIATE_TEST_SUITE_P(
    Points, OrbitMappingTest,
    ::testing::Values(MappingCase{"LowerLeftCorner", -120.0, -134.0, platform::Point{0, 267}},
                      MappingCase{"HalfAPixelLeftTruncatesToColumnZero", -120.5, 0.0,
                                  platform::Point{0, 133}},
                      MappingCase{"RightOfThePictureIsClipped", 200.0, 0.0, std::nullopt},
                      MappingCase{"NaNY", 0.0, kNaN, std::nullopt},
                      MappingCase{"InfiniteX", kInf, 0.0, std::nullopt},
                      MappingCase{"ColumnJustPastInt32", 2147483648.0 - 120.0, 0.0, std::nullopt},
                      MappingCase{"RowJustPastInt32", 0.0, -3e9, std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace orbit::test
