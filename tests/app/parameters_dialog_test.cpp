#include "app/parameters_dialog.h"

#include <gtest/gtest.h>

#include <climits>

#include "app/dialog_fields.h"
#include "dialog_test_rig.h"

namespace {

using corvane_test::DialogRig;

TEST(ParametersDialog, AdaptsLabelsAndFieldsToTheType) {
    struct Case {
        engine::FractalType type;
        std::array<std::string, 3> labels;
        std::array<bool, 3> enabled;
        std::array<std::string, 3> values;
    };
    const Case cases[] = {
        {engine::kHopalong, {"A:", "B:", "C:"}, {true, true, true}, {"10", "20", "30"}},
        {engine::kQuadruptwo, {"A:", "B:", "C:"}, {true, true, true}, {"40", "10", "30"}},
        {engine::kMartin, {"A:", "---", "---"}, {true, false, false}, {"3.14159", "0", "0"}},
        {engine::kHenon, {"A:", "B:", "---"}, {true, true, false}, {"1.4", "0.3", "0"}},
        {engine::kGingerbreadman,
         {"X[0]:", "Y[0]:", "---"},
         {true, true, false},
         {"-0.1", "0", "0"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.type);
        DialogRig rig(c.type);
        const app::ParametersForm form = app::ParametersDialog::open(rig.as<orbit::OrbitFractal>());
        EXPECT_EQ(form.labels, c.labels);
        EXPECT_EQ(form.enabled, c.enabled);
        EXPECT_EQ(form.values, c.values);
        EXPECT_EQ(form.pointsPerColor, "5000");
        EXPECT_TRUE(form.randomColors);
    }
}

TEST(ParametersDialog, UntouchedFieldsComeBackRoundedToSixDigits) {
    {
        DialogRig rig(engine::kMartin);
        auto& martin = rig.as<orbit::OrbitFractal>();
        EXPECT_EQ(app::ParametersDialog::ok(app::ParametersDialog::open(martin), martin),
                  app::kDialogOk);
        EXPECT_EQ(martin.paramA(), 3.14159);
        EXPECT_TRUE(martin.isRunning());
    }
    {
        // A disabled field is read back too, as shown.
        DialogRig rig(engine::kGingerbreadman);
        auto& gingerbreadman = rig.as<orbit::OrbitFractal>();
        gingerbreadman.setParameters(-0.123456789, gingerbreadman.paramB(), 1.23456789e-10);
        const app::ParametersForm form = app::ParametersDialog::open(gingerbreadman);
        EXPECT_FALSE(form.enabled[2]);
        app::ParametersDialog::ok(form, gingerbreadman);
        EXPECT_EQ(gingerbreadman.paramA(), -0.123457);
        EXPECT_EQ(gingerbreadman.paramC(), 1.23457e-10);
    }
}

TEST(ParametersDialog, OkAppliesTheFieldsAndRestarts) {
    struct Case {
        std::array<std::string, 3> values;
        std::string points;
        std::array<double, 3> expected;
        int expectedPoints;
    };
    const Case cases[] = {
        {{"1.5", "-2", "3e2"}, "100", {1.5, -2.0, 300.0}, 100},
        // A field that does not parse, or gives no finite number, keeps its value.
        {{"abc", "nan", "1e999"}, "7", {10.0, 20.0, 30.0}, 7},
        {{"", "inf", "4"}, "  -12", {10.0, 20.0, 4.0}, -12},
        // Points per colour are a plain decimal number: no digits means 0.
        {{"1", "2", "3"}, "", {1.0, 2.0, 3.0}, 0},
        {{"1", "2", "3"}, "99999999999", {1.0, 2.0, 3.0}, INT_MAX},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.points);
        DialogRig rig(engine::kHopalong);
        auto& hopalong = rig.as<orbit::OrbitFractal>();
        app::ParametersForm form = app::ParametersDialog::open(hopalong);
        form.values = c.values;
        form.pointsPerColor = c.points;
        form.randomColors = false;
        EXPECT_EQ(app::ParametersDialog::ok(form, hopalong), app::kDialogOk);
        EXPECT_EQ(hopalong.paramA(), c.expected[0]);
        EXPECT_EQ(hopalong.paramB(), c.expected[1]);
        EXPECT_EQ(hopalong.paramC(), c.expected[2]);
        EXPECT_EQ(hopalong.getPointsPerColor(), c.expectedPoints);
        EXPECT_FALSE(hopalong.options().randomColors);
        EXPECT_TRUE(hopalong.isRunning());
    }
}

TEST(ParametersDialog, DefaultAppliesTheTypesDefaults) {
    DialogRig rig(engine::kHenon);
    auto& henon = rig.as<orbit::OrbitFractal>();
    henon.setParameters(99.0, henon.paramB(), henon.paramC());
    EXPECT_EQ(app::ParametersDialog::useDefaults(henon), app::kDialogDefault);
    EXPECT_EQ(henon.paramA(), 1.4);
    EXPECT_EQ(henon.paramB(), 0.3);
}

}  // namespace
