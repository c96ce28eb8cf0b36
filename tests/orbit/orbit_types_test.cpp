#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <functional>
#include <numbers>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "orbit/chip_fractal.h"
#include "orbit/gingerbreadman_fractal.h"
#include "orbit/henon_fractal.h"
#include "orbit/hopalong_fractal.h"
#include "orbit/martin_fractal.h"
#include "orbit/threeply_fractal.h"
#include "orbit_test_support.h"

namespace orbit::test {
namespace {

using Factory = std::function<Owned<OrbitFractal>(Environment&)>;
using Point = std::pair<double, double>;

const Factory kHopalong = [](Environment& e) { return make<HopalongFractal>(e, 10.0, 20.0, 30.0); };
const Factory kThreeply = [](Environment& e) { return make<ThreeplyFractal>(e, 10.0, 20.0, 30.0); };
const Factory kGingerbreadman = [](Environment& e) {
    return make<GingerbreadmanFractal>(e, -0.1, 0.0, 0.0);
};

struct FirstPointsCase {
    const char* name;
    Factory create;
    std::vector<Point> points;
};

class FirstPointsTest : public ::testing::TestWithParam<FirstPointsCase> {};

TEST_P(FirstPointsTest, MapGivesTheKnownFirstPoints) {
    Environment env;
    auto fractal = GetParam().create(env);
    fractal->prepareRun();
    for (const auto& [x, y] : GetParam().points) {
        fractal->iterate();
        EXPECT_NEAR(fractal->currentX(), x, 1e-12);
        EXPECT_NEAR(fractal->currentY(), y, 1e-12);
    }
}

const double kPi = std::numbers::pi;

INSTANTIATE_TEST_SUITE_P(
    Types, FirstPointsTest,
    ::testing::Values(
        FirstPointsCase{"Hopalong", kHopalong, {{0, 10}, {10, 10}, {10 - std::sqrt(170.0), 0}}},
        FirstPointsCase{"Martin",
                        [](Environment& e) { return make<MartinFractal>(e, kPi); },
                        {{0, kPi}, {kPi, kPi}, {kPi - std::sin(kPi), 0}}},
        FirstPointsCase{"Henon",
                        [](Environment& e) { return make<HenonFractal>(e, 1.4, 0.3); },
                        {{1, 0}, {-0.4, 0.3}, {1.076, -0.12}}},
        FirstPointsCase{"Gingerbreadman", kGingerbreadman, {{1.1, -0.1}, {2.2, 1.1}, {2.1, 2.2}}}),
    [](const auto& info) { return std::string(info.param.name); });

// The maps as written, evaluated in the same order, for replaying a whole run.
double signOf(double x) {
    return x > 0 ? 1.0 : (x < 0 ? -1.0 : 0.0);
}

Point threeplyStep(Point p, double a, double b, double c) {
    const auto [x, y] = p;
    double u = std::sin(x);
    u = std::cos(b) * u;
    u = u + c;
    u = u - std::sin((c + a) + b) * x;
    u = std::fabs(u);
    return {y - u * signOf(x), a - x};
}
Point hopalongStep(Point p, double a, double b, double c) {
    const auto [x, y] = p;
    return {y - std::sqrt(std::fabs(b * x - c)) * signOf(x), a - x};
}
Point gingerbreadmanStep(Point p, double, double, double) {
    const auto [x, y] = p;
    return {(1 - y) + std::fabs(x), x};
}

bool sameBits(double a, double b) {
    return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

struct RestartCase {
    const char* name;
    Factory create;
    Point firstStart;
    std::function<void(OrbitFractal&)> restart;
    std::optional<Point> restartPoint;  // none: goes on from the point reached
    std::function<Point(Point, double, double, double)> step;
};

class RestartTest : public ::testing::TestWithParam<RestartCase> {};

// Each run, replayed from its expected start point for exactly the iterations it
// counted, must end on the very point the worker reached.
TEST_P(RestartTest, RunsStartWhereExpectedAndAreReproducible) {
    const RestartCase& c = GetParam();
    Environment env;
    auto fractal = c.create(env);
    const auto expectRunFrom = [&](Point p) {
        const std::uint32_t iterations = fractal->runState.iterationCount.load();
        EXPECT_EQ(fractal->runState.pointCount.load(), iterations);
        for (std::uint32_t i = 0; i < iterations; ++i) {
            p = c.step(p, fractal->paramA(), fractal->paramB(), fractal->paramC());
        }
        EXPECT_TRUE(sameBits(fractal->currentX(), p.first))
            << fractal->currentX() << " " << p.first;
        EXPECT_TRUE(sameBits(fractal->currentY(), p.second))
            << fractal->currentY() << " " << p.second;
    };
    fractal->startCalculation();
    runFor(*fractal, 1000);
    expectRunFrom(c.firstStart);
    const Point reached{fractal->currentX(), fractal->currentY()};

    c.restart(*fractal);
    runFor(*fractal, 1000);
    expectRunFrom(c.restartPoint.value_or(reached));
}

INSTANTIATE_TEST_SUITE_P(
    Runs, RestartTest,
    ::testing::Values(
        RestartCase{"HopalongClearScreenRestartsAtTheOrigin", kHopalong, Point{0, 0},
                    [](OrbitFractal& f) {
                        f.stopCalculation();
                        f.startCalculation();
                    },
                    Point{0, 0}, hopalongStep},
        RestartCase{"ThreeplyRunsFromTheOriginWithNewParameters", kThreeply, Point{0, 0},
                    [](OrbitFractal& f) { f.setParameters(1, 2, 3); }, Point{0, 0}, threeplyStep},
        RestartCase{"GingerbreadmanContinuesAcrossAViewChange", kGingerbreadman, Point{-0.1, 0},
                    [](OrbitFractal& f) { f.setDefaultView(); }, std::nullopt, gingerbreadmanStep},
        RestartCase{"GingerbreadmanRestartsOnNewParameters", kGingerbreadman, Point{-0.1, 0},
                    [](OrbitFractal& f) { f.setParameters(0.5, 0.25, 7); }, Point{0.5, 0.25},
                    gingerbreadmanStep}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ChipTest, NaNOrbitIsCountedButNeverDrawn) {
    Environment env;
    auto fractal = make<ChipFractal>(env, 10.0, 20.0, 0.0);  // ln 0 at the start point
    fractal->clearPictureBase();
    fractal->startCalculation();
    runFor(*fractal, 100000);

    EXPECT_GE(fractal->runState.pointCount.load(), 100000u);
    EXPECT_TRUE(std::isnan(fractal->currentX()));
    EXPECT_EQ(drawnPixels(*fractal), 0);
}

TEST(ThreeplyTest, EachRunDerivesItsValuesFromItsParameters) {
    Environment env;
    auto fractal = make<ThreeplyFractal>(env, 10.0, 20.0, 30.0);
    engine::TakingOverScope noRun(*fractal);
    fractal->setParameters(1, 2, 3);
    fractal->prepareRun();
    EXPECT_EQ(fractal->cosB, std::cos(2.0));
    EXPECT_EQ(fractal->sinABC, std::sin(6.0));
}

}  // namespace
}  // namespace orbit::test
