#include <gtest/gtest.h>

#include "test_fractal.h"

using corvane_test::Rig;
using corvane_test::TestFractal;
using platform::SettingsValue;
using view::ViewState;
using view::ViewWindow;

namespace {

constexpr const char* kKey = "Software\\Velk\\Corvane";

TEST(FractalTest, ConstructionSizesThePictureAndCentresTheView) {
    Rig rig(240, 268);
    TestFractal f(rig.services());
    EXPECT_EQ(f.width, 240);
    EXPECT_EQ(f.height, 268);
    EXPECT_EQ(f.picture.width(), 240);
    EXPECT_EQ(f.animation.scratch.height(), 268);
    EXPECT_EQ(f.view().xmin, -120);
    EXPECT_EQ(f.opened.view.ymax, 134);
    EXPECT_EQ(f.history.count(), 0);
    EXPECT_EQ(f.numColors, 255);
    EXPECT_FALSE(f.options().alarm);
    EXPECT_TRUE(f.options().animZoom);
    EXPECT_TRUE(f.options().randomColors);
    EXPECT_EQ(f.options().animZoomSleep, 40);
    EXPECT_EQ(f.options().slideshowDelay, 2000);
    EXPECT_EQ(engine::Fractal::kMaxSequence, 999);
    EXPECT_NE(f.folders.images.find("/Corvane"), std::string::npos);
}

TEST(FractalTest, StoredOptionsAreReadWithTheirRules) {
    struct Case {
        const char* name;
        SettingsValue value;
        bool alarm;
        int animZoomSleep;
        int slideshowDelay;
    };
    const Case cases[] = {
        {"Alarm", SettingsValue::ofNumber(5), true, 40, 2000},
        {"AnimZoomSleep", SettingsValue::ofNumber(0), false, 0, 2000},
        {"AnimZoomSleep", SettingsValue::ofNumber(static_cast<std::uint32_t>(-3)), false, 0, 2000},
        {"AnimZoomSleep", SettingsValue::ofNumber(75), false, 75, 2000},
        // A whole animation stays under 2 s, however long the stored pause.
        {"AnimZoomSleep", SettingsValue::ofNumber(90), false, 90, 2000},
        {"AnimZoomSleep", SettingsValue::ofNumber(5000), false, 90, 2000},
        {"SlideshowDelay", SettingsValue::ofNumber(0), false, 40, 2000},
        {"SlideshowDelay", SettingsValue::ofNumber(static_cast<std::uint32_t>(-5)), false, 40,
         2000},
        {"SlideshowDelay", SettingsValue::ofNumber(500), false, 40, 500},
        {"Alarm", SettingsValue::ofText("1"), false, 40, 2000},  // a text is no number
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " " + std::to_string(c.value.number));
        Rig rig;
        rig.store.write(kKey, c.name, c.value);
        TestFractal f(rig.services());
        EXPECT_EQ(f.options().alarm, c.alarm);
        EXPECT_EQ(f.options().animZoomSleep, c.animZoomSleep);
        EXPECT_EQ(f.options().slideshowDelay, c.slideshowDelay);
    }
}

TEST(FractalTest, ImagePathLongerThanTheReadCapacityKeepsTheDefault) {
    const std::size_t longest = engine::kMaxPathUnits;
    for (const std::size_t length : {longest, longest + 1}) {
        Rig rig;
        // Appended: gcc 12 -O3 falsely warns on "/" + std::string&& (-Wrestrict, bug 105651).
        const std::string path = std::string("/").append(length - 1, 'p');
        rig.store.write(kKey, "ImagePath", SettingsValue::ofText(path));
        TestFractal f(rig.services());
        if (length == longest) {
            EXPECT_EQ(f.folders.images, path);
        } else {
            EXPECT_NE(f.folders.images, path);
        }
    }
}

TEST(FractalTest, TakeOverPictureContinuesAPictureOfTheSameTypeOnly) {
    Rig rig(10, 8);
    TestFractal held(rig.services());
    held.picture.fillRect({0, 0, 10, 8}, 0x00AA00);
    held.opened.params = "from the file";

    TestFractal other(rig.services());
    other.type = 7;
    other.takeOverPicture(held);
    EXPECT_FALSE(rig.stored("Test").has_value());
    EXPECT_NE(other.picture.pixel(0, 0), 0x00AA00u);

    TestFractal next(rig.services());
    next.takeOverPicture(held);
    // The file's parameters were stored under the type's name and loaded from there.
    EXPECT_EQ(next.loaded, "from the file");
    EXPECT_EQ(next.calculateCalls.load(), 0);  // no run: the opened picture stays
    EXPECT_FALSE(next.isRunning());
    EXPECT_EQ(next.picture.pixel(9, 7), 0x00AA00u);
}

TEST(FractalTest, StartFromSettingsGoesOnWithACarriedViewAndHistory) {
    struct Case {
        const char* name;
        double scale;  // plane units per pixel of the carried view
        bool mapped;
    };
    const Case cases[] = {
        {"usable", 0.01, true},
        {"extent overflows at the new size", 4e307, false},  // the stored view stays
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Rig before(4, 2);
        TestFractal old(before.services());
        old.setViewRect(-1, -1, 1, 1);
        old.pushView();
        old.setViewRect(0.5 - 2 * c.scale, 0.25 - c.scale, 0.5 + 2 * c.scale, 0.25 + c.scale);
        const ViewState carried = old.viewToCarry();

        Rig after(8, 6);
        TestFractal f(after.services());
        f.startFromSettings(carried);
        EXPECT_EQ(f.prepares.load(), 1);  // exactly one run
        EXPECT_EQ(f.saves.load(), 1);     // the parameters stored once, at the end
        ASSERT_EQ(f.history.count(), 1);
        EXPECT_EQ(f.history.at(0).width, 8);
        EXPECT_EQ(f.history.at(0).xscale, 1.0);  // -1..1 was widened to -2..2 on 4 x 2
        EXPECT_EQ(f.history.at(0).xrange, 8.0);
        if (c.mapped) {
            EXPECT_NEAR(f.view().xcenter, 0.5, 1e-15);
            EXPECT_NEAR(f.view().ycenter, 0.25, 1e-15);
            EXPECT_NEAR(f.view().xscale, c.scale, 1e-15);
            EXPECT_NEAR(f.view().yscale, c.scale, 1e-15);
        } else {
            ViewWindow stored(true);
            stored.setScreenSize(8, 6);
            stored.setRect(-2, -2, 2, 2);
            EXPECT_TRUE(ViewWindow::sameView(f.view(), stored));
        }
        f.stopCalculation();
    }
}

TEST(FractalTest, AViewUnchangedSinceItWasCarriedGoesOnInTheFormItCameIn) {
    Rig tall(480, 536);
    TestFractal first(tall.services());
    first.setViewRect(-2.1, -1.3, 1.0, 1.3);
    first.pushView();
    first.setViewRect(-0.75, 0.1, -0.74, 0.11);
    const ViewState original = first.viewToCarry();

    Rig wide(536, 480);
    TestFractal second(wide.services());
    second.startFromSettings(original);
    second.stopCalculation();
    EXPECT_EQ(second.view().width, 536);
    EXPECT_TRUE(ViewState::same(second.viewToCarry(), original));

    // Once the view changes, the new one is carried as it is.
    second.zoomToRect(-0.749, 0.101, -0.748, 0.102, true);
    second.stopCalculation();
    const ViewState changed = second.viewToCarry();
    EXPECT_EQ(changed.view.width, 536);
    EXPECT_EQ(changed.history.count(), 2);
}

TEST(FractalTest, RandomNumbersStayInRange) {
    Rig rig;
    TestFractal f(rig.services());
    int highest = 0;
    for (int i = 0; i < 100000; ++i) {
        const int r = f.nextRandom();
        ASSERT_GE(r, 0);
        ASSERT_LE(r, 32767);
        highest = std::max(highest, r);
    }
    EXPECT_GT(highest, 32000);
}

}  // namespace

namespace {

// The memory of deep views' reference orbits, the automatic limit and exact counts: what
// the settings hold is read back, a size outside 16 MiB..1 TiB (hand-made or damaged)
// keeps the default, a switch that is no number stays off, and what the dialogs set is
// stored with the next stop.
TEST(FractalTest, DeepViewOptionsRoundTripAndRefuseDamagedSizes) {
    struct Case {
        const char* name;
        SettingsValue value;
        int memoryMiB;
        bool automatic;
        bool exact;
    };
    const Case cases[] = {
        {"ReferenceMemoryMiB", SettingsValue::ofNumber(512), 512, false, false},
        {"ReferenceMemoryMiB", SettingsValue::ofNumber(16), 16, false, false},
        {"ReferenceMemoryMiB", SettingsValue::ofNumber(1u << 20), 1 << 20, false, false},
        {"ReferenceMemoryMiB", SettingsValue::ofNumber(15), 2048, false, false},
        {"ReferenceMemoryMiB", SettingsValue::ofNumber(0), 2048, false, false},
        {"ReferenceMemoryMiB", SettingsValue::ofNumber((1u << 20) + 1), 2048, false, false},
        {"ReferenceMemoryMiB", SettingsValue::ofNumber(0xFFFFFFFFu), 2048, false, false},
        {"ReferenceMemoryMiB", SettingsValue::ofText("512"), 2048, false, false},
        {"AutoIterations", SettingsValue::ofNumber(1), 2048, true, false},
        {"AutoIterations", SettingsValue::ofNumber(0), 2048, false, false},
        {"ExactCounts", SettingsValue::ofNumber(1), 2048, false, true},
        {"ExactCounts", SettingsValue::ofNumber(0), 2048, false, false},
        {"ExactCounts", SettingsValue::ofText("1"), 2048, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " " + std::to_string(c.value.number));
        Rig rig;
        rig.store.write(kKey, c.name, c.value);
        TestFractal f(rig.services());
        EXPECT_EQ(f.options().referenceMemoryMiB, c.memoryMiB);
        EXPECT_EQ(f.options().autoIterations, c.automatic);
        EXPECT_EQ(f.options().exactCounts, c.exact);

        // Set, stored, and read back by the next object; a size out of range is ignored.
        engine::Options changed = f.options();
        changed.referenceMemoryMiB = 100;
        changed.autoIterations = !c.automatic;
        f.setOptions(changed);
        f.setOption(&engine::Options::referenceMemoryMiB, 3);
        f.setOption(&engine::Options::exactCounts, !c.exact);
        f.stopCalculation();
        TestFractal again(rig.services());
        EXPECT_EQ(again.options().referenceMemoryMiB, 100);
        EXPECT_EQ(again.options().autoIterations, !c.automatic);
        EXPECT_EQ(again.options().exactCounts, !c.exact);
    }
}

}  // namespace
