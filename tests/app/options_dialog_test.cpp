#include "app/options_dialog.h"

#include <gtest/gtest.h>

#include "app/dialog_fields.h"
#include "dialog_test_rig.h"

namespace {

using corvane_test::DialogRig;

TEST(OptionsDialog, ShowsTheDelayInSeconds) {
    struct Case {
        int ms;
        const char* shown;
    };
    const Case cases[] = {{2000, "2"}, {500, "0.5"}, {1, "0.001"}, {123456789, "123457"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.ms);
        DialogRig rig(engine::kMandelbrot);
        rig.fractal->setOption(&engine::Options::slideshowDelay, c.ms);
        EXPECT_EQ(app::OptionsDialog::open(*rig.fractal).delay, c.shown);
    }
}

TEST(OptionsDialog, OnlyADelayOfAtLeastOneMillisecondCounts) {
    struct Case {
        const char* text;
        int ms;  // 0: the delay stays as it was
    };
    const Case cases[] = {
        {"0.5", 500},
        {"3", 3000},
        {" 1.5s", 1500},
        {"0.001", 1},
        {"0.0019", 1},
        {"0", 0},
        {"-1", 0},
        {"0.0009", 0},
        {"", 0},
        {"abc", 0},
        {"nan", 0},
        {"inf", 0},
        {"1e300", 0},
        {"2147484", 0},  // too many ms for an int
        {"2147483", 2147483000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(app::OptionsDialog::delayMilliseconds(c.text), c.ms);
        DialogRig rig(engine::kMandelbrot);
        rig.fractal->setOption(&engine::Options::slideshowDelay, 4000);
        app::OptionsForm form = app::OptionsDialog::open(*rig.fractal);
        form.delay = c.text;
        EXPECT_EQ(app::OptionsDialog::ok(form, *rig.fractal), app::kDialogOk);
        EXPECT_EQ(rig.fractal->options().slideshowDelay, c.ms > 0 ? c.ms : 4000);
    }
}

TEST(OptionsDialog, CheckBoxesFollowTheOptions) {
    for (const bool on : {false, true}) {
        DialogRig rig(engine::kMandelbrot);
        rig.fractal->setOption(&engine::Options::alarm, on);
        rig.fractal->setOption(&engine::Options::animZoom, !on);
        rig.fractal->setOption(&engine::Options::exactCounts, on);
        app::OptionsForm form = app::OptionsDialog::open(*rig.fractal);
        EXPECT_EQ(form.alarm, on);
        EXPECT_EQ(form.animZoom, !on);
        EXPECT_EQ(form.exactCounts, on);
        form.alarm = !on;
        form.animZoom = on;
        form.exactCounts = !on;
        app::OptionsDialog::ok(form, *rig.fractal);
        EXPECT_EQ(rig.fractal->options().alarm, !on);
        EXPECT_EQ(rig.fractal->options().animZoom, on);
        EXPECT_EQ(rig.fractal->options().exactCounts, !on);
    }
}

// The memory of deep views' reference orbits, in whole MiB from 16 to 1 TiB; anything
// else leaves it as it was. The automatic limit follows its check box.
TEST(OptionsDialog, ReferenceMemoryAndTheAutomaticLimit) {
    struct Case {
        const char* text;
        int mib;  // 0: stays as it was
    };
    const Case cases[] = {
        {"2048", 2048}, {"16", 16},     {" 100", 100},      {"1048576", 1048576},
        {"15", 0},      {"1048577", 0}, {"0", 0},           {"-512", 0},
        {"", 0},        {"lots", 0},    {"99999999999", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(app::OptionsDialog::referenceMemoryMiB(c.text), c.mib);
        DialogRig rig(engine::kMandelbrot);
        rig.fractal->setOption(&engine::Options::referenceMemoryMiB, 300);
        app::OptionsForm form = app::OptionsDialog::open(*rig.fractal);
        EXPECT_EQ(form.referenceMemory, "300");
        EXPECT_FALSE(form.autoIterations);
        form.referenceMemory = c.text;
        form.autoIterations = true;
        EXPECT_EQ(app::OptionsDialog::ok(form, *rig.fractal), app::kDialogOk);
        EXPECT_EQ(rig.fractal->options().referenceMemoryMiB, c.mib > 0 ? c.mib : 300);
        EXPECT_TRUE(rig.fractal->options().autoIterations);
    }
}

}  // namespace

// The zoom speed is a factor a second, 1.05 to 32, kept in whole percent; anything else
// leaves it as it was.
TEST(OptionsDialog, ZoomSpeedIsAFactorASecond) {
    struct Case {
        const char* text;
        int percent;  // 0: stays as it was
    };
    const Case cases[] = {
        {"2", 200},  {"1.05", 105}, {"32", 3200}, {" 4.5", 450}, {"1.234", 123},
        {"1.04", 0}, {"32.01", 0},  {"0", 0},     {"-2", 0},     {"", 0},
        {"fast", 0}, {"nan", 0},    {"inf", 0},   {"1e300", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(app::OptionsDialog::zoomSpeedPercent(c.text), c.percent);
        DialogRig rig(engine::kMandelbrot);
        rig.fractal->setOption(&engine::Options::zoomSpeedPercent, 150);
        app::OptionsForm form = app::OptionsDialog::open(*rig.fractal);
        EXPECT_EQ(form.zoomSpeed, "1.5");
        form.zoomSpeed = c.text;
        EXPECT_EQ(app::OptionsDialog::ok(form, *rig.fractal), app::kDialogOk);
        EXPECT_EQ(rig.fractal->options().zoomSpeedPercent, c.percent > 0 ? c.percent : 150);
    }
}
