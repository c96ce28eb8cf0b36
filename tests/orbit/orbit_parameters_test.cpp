#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "orbit/henon_fractal.h"
#include "orbit/hopalong_fractal.h"
#include "orbit/martin_fractal.h"
#include "orbit_test_support.h"
#include "platform/c_format.h"

namespace orbit::test {
namespace {

TEST(OrbitParameterStringTest, ViewWithEveryDigitItNeedsAndABCWithSixSignificantDigits) {
    Environment env;
    auto fractal = make<HopalongFractal>(env, 10.0, 20.0, 30.0);
    ASSERT_TRUE(fractal->saveParameters());
    EXPECT_EQ(env.storedText("Hopalong"), "-120,-134,120,134,10,20,30,5000,1");
    // A deep view reads back exactly.
    fractal->setViewRect(-0.7436438870371587, 0.1318259042053, -0.7436438870370587,
                         0.1318259042054);
    ASSERT_TRUE(fractal->saveParameters());
    double edges[4] = {};
    ASSERT_EQ(platform::cscan(env.storedText("Hopalong").value(), "%lf,%lf,%lf,%lf", &edges[0],
                              &edges[1], &edges[2], &edges[3]),
              4);
    EXPECT_EQ(edges[0], fractal->view().xmin);
    EXPECT_EQ(edges[1], fractal->view().ymin);
    EXPECT_EQ(edges[2], fractal->view().xmax);
    EXPECT_EQ(edges[3], fractal->view().ymax);
}

struct LoadCase {
    const char* name;
    std::optional<std::string> stored;
    bool result;
    bool applied;
};

class OrbitLoadParametersTest : public ::testing::TestWithParam<LoadCase> {};

TEST_P(OrbitLoadParametersTest, AppliesOnlyAStringOfNineFields) {
    const LoadCase& c = GetParam();
    Environment env;
    if (c.stored)
        env.storeText("Hopalong", *c.stored);
    auto fractal = make<HopalongFractal>(env, 10.0, 20.0, 30.0);
    engine::TakingOverScope noRun(*fractal);
    const view::ViewWindow before = fractal->view();

    EXPECT_EQ(fractal->loadParameters(), c.result);

    if (c.applied) {
        view::ViewWindow expected = before;
        expected.setRect(10, 20, -10, -20);
        EXPECT_TRUE(view::ViewWindow::sameView(fractal->view(), expected));
        EXPECT_EQ(fractal->paramA(), 1.5);
        EXPECT_EQ(fractal->paramB(), 2.5);
        EXPECT_EQ(fractal->paramC(), 3.5);
        EXPECT_EQ(fractal->getPointsPerColor(), -5);
        EXPECT_FALSE(fractal->options().randomColors);
    } else {
        EXPECT_TRUE(view::ViewWindow::sameView(fractal->view(), before));
        EXPECT_EQ(fractal->paramA(), 10.0);
        EXPECT_EQ(fractal->paramB(), 20.0);
        EXPECT_EQ(fractal->paramC(), 30.0);
        EXPECT_EQ(fractal->getPointsPerColor(), 5000);
        EXPECT_TRUE(fractal->options().randomColors);
    }
}

// One character more than the store lets the string be read with.
const std::string kTooLong = "-120.000000,-134.000000,120.000000,134.000000," +
                             std::string(engine::kMaxParameterUnits - 60, '0') + "1.5,2.5,3.5,7,0";

INSTANTIATE_TEST_SUITE_P(
    Strings, OrbitLoadParametersTest,
    ::testing::Values(
        LoadCase{"Missing", std::nullopt, false, false},
        LoadCase{"TooLong", kTooLong, false, false}, LoadCase{"Empty", "", true, false},
        LoadCase{"EightFields", "-2,-2,2,2,1,2,3,7", true, false},
        LoadCase{"NineFields", "10,20,-10,-20,1.5,2.5,3.5,4294967291,0", true, true},
        // Beyond a field's range the string is damaged instead of wrapped.
        LoadCase{"PointsBeyondRange", "10,20,-10,-20,1.5,2.5,3.5,4294967296,0", true, false},
        LoadCase{"NegativePoints", "10,20,-10,-20,1.5,2.5,3.5,-5,0", true, false},
        LoadCase{"RandomBeyondRange", "10,20,-10,-20,1.5,2.5,3.5,7,4294967296", true, false}),
    [](const auto& info) { return std::string(info.param.name); });

// A rectangle no view can show is damaged: the type's default view takes its place
// (and is stored), and a, b, c still apply.
TEST(OrbitLoadParametersTest, ADamagedViewGivesTheDefaultView) {
    const char* const damaged[] = {"nan,nan,nan,nan", "3,3,3,3", "-1e308,-1e308,1e308,1e308",
                                   "-inf,0,1,2"};
    for (const char* edges : damaged) {
        SCOPED_TRACE(edges);
        Environment env;
        env.storeText("Henon", std::string(edges) + ",1.5,0.25,0,7,0");
        auto fractal = make<HenonFractal>(env, 1.0, 0.3);
        const view::ViewWindow expected = fractal->defaultView();
        fractal->startFromSettings();
        fractal->stopCalculation();
        EXPECT_TRUE(view::ViewWindow::sameView(fractal->view(), expected));
        EXPECT_EQ(fractal->paramA(), 1.5);
        EXPECT_EQ(fractal->getPointsPerColor(), 7);
        double x1 = 0;
        ASSERT_EQ(platform::cscan(env.storedText("Henon").value(), "%lf", &x1), 1);
        EXPECT_EQ(x1, expected.xmin);
    }
}

TEST(OrbitSetParametersTest, MartinAndHenonForceTheirUnusedParametersToZero) {
    Environment env;
    auto martin = make<MartinFractal>(env, 3.0);
    auto henon = make<HenonFractal>(env, 1.4, 0.3);
    engine::TakingOverScope holdMartin(*martin);
    engine::TakingOverScope holdHenon(*henon);

    martin->setParameters(5, 7, 9);
    henon->setParameters(5, 7, 9);
    EXPECT_EQ(martin->paramB(), 0.0);
    EXPECT_EQ(martin->paramC(), 0.0);
    EXPECT_EQ(henon->paramB(), 7.0);
    EXPECT_EQ(henon->paramC(), 0.0);
    martin->saveParameters();
    EXPECT_EQ(env.storedText("Martin"), "-120,-134,120,134,5,0,0,5000,1");

    // A stored string reaches the type's own setParameters too.
    env.storeText("Martin", "-1,-1,1,1,2,7,9,5000,1");
    martin->loadParameters();
    EXPECT_EQ(martin->paramA(), 2.0);
    EXPECT_EQ(martin->paramB(), 0.0);
    EXPECT_EQ(martin->paramC(), 0.0);
}

}  // namespace
}  // namespace orbit::test
