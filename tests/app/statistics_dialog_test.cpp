#include "app/statistics_dialog.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "app/dialog_fields.h"
#include "dialog_test_rig.h"
#include "platform/clock.h"

namespace {

using corvane_test::DialogRig;
using Dialog = app::StatisticsDialog;

platform::LocalTime timeOfDay(int hour, int minute, int second) {
    platform::LocalTime t;
    t.year = 2024;
    t.month = 5;
    t.day = 17;
    t.hour = hour;
    t.minute = minute;
    t.second = second;
    return t;
}

engine::RunStatistics runningSince(std::uint32_t startTick) {
    engine::RunStatistics s;
    s.running = true;
    s.startTick = startTick;
    s.startTime = timeOfDay(9, 30, 0);
    s.pointCount = 5000;
    s.iterationCount = 12345;
    return s;
}

TEST(StatisticsDialog, DurationIsShownOnATwentyFourHourClock) {
    struct Case {
        std::uint32_t ms;
        const char* shown;
    };
    const Case cases[] = {
        {0, "00:00:00"},        {999, "00:00:00"},          {61000, "00:01:01"},
        {3599999, "00:59:59"},  {3600000, "01:00:00"},      {50400000, "14:00:00"},
        {86399999, "23:59:59"}, {86400000, "24:00:00"},  // a day or more keeps counting
        {93784000, "26:03:04"}, {UINT32_MAX, "1193:02:47"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.ms);
        EXPECT_EQ(Dialog::formatDuration(c.ms), c.shown);
    }
}

TEST(StatisticsDialog, WhileRunningTheEndIsOpenAndTheDurationGrows) {
    Dialog dialog;
    const engine::RunStatistics s = runningSince(1000);
    EXPECT_TRUE(dialog.refresh(s, 1500));
    const app::StatisticsValues& v = dialog.values();
    EXPECT_EQ(v.startTime, platform::formatTimeOfDay(s.startTime));
    EXPECT_EQ(v.endTime, "---");
    EXPECT_EQ(v.duration, "00:00:00");
    EXPECT_EQ(v.points, "5,000");
    EXPECT_EQ(v.iterations, "12,345");
    // No rates before the first whole second.
    EXPECT_EQ(v.pointsPerSecond, "---");
    EXPECT_EQ(v.iterationsPerSecond, "---");

    EXPECT_TRUE(dialog.refresh(s, 3999));  // 2.999 s: two whole seconds
    EXPECT_EQ(v.duration, "00:00:02");
    EXPECT_EQ(v.pointsPerSecond, "2,500");
    EXPECT_EQ(v.iterationsPerSecond, "6,172");
    EXPECT_TRUE(dialog.refreshing());
}

TEST(StatisticsDialog, TickCountsThatWrapStillGiveTheDuration) {
    Dialog dialog;
    dialog.refresh(runningSince(0xFFFFF000u), 0x00001000u);  // 8192 ms across the wrap
    EXPECT_EQ(dialog.values().duration, "00:00:08");
    EXPECT_EQ(dialog.values().pointsPerSecond, "625");
}

// An orbit computes tens of millions of points a second: counts pass 2^32 within a
// minute and must neither wrap nor show as negative. Their digits are grouped as the
// status bar groups them (the tests run in the C locale: commas in threes).
TEST(StatisticsDialog, LargeCountersAreShownWholeAndGrouped) {
    const struct {
        std::uint64_t points;
        std::uint64_t iterations;
        const char* pointsText;
        const char* iterationsText;
        const char* pointRate;
        const char* iterationRate;
    } table[] = {
        {3000000000u, 20000000000u, "3,000,000,000", "20,000,000,000", "750,000,000",
         "5,000,000,000"},
        {999, 4000, "999", "4,000", "249", "1,000"},
        {0, UINT64_MAX, "0", "18,446,744,073,709,551,615", "0", "4,611,686,018,427,387,903"},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.pointsText);
        Dialog dialog;
        engine::RunStatistics s = runningSince(0);
        s.pointCount = row.points;
        s.iterationCount = row.iterations;
        dialog.refresh(s, 4000);
        EXPECT_EQ(dialog.values().points, row.pointsText);
        EXPECT_EQ(dialog.values().iterations, row.iterationsText);
        EXPECT_EQ(dialog.values().pointsPerSecond, row.pointRate);
        EXPECT_EQ(dialog.values().iterationsPerSecond, row.iterationRate);
        // The status bar writes the same counts the same way.
        EXPECT_EQ(app::formatGrouped(row.iterations), row.iterationsText);
        // Only a deep view has reference orbits; their bytes come grouped.
        EXPECT_EQ(dialog.values().referenceMemory, "---");
        Dialog deep;
        s.referenceBytes = row.points * 40;
        deep.refresh(s, 4000);
        EXPECT_EQ(deep.values().referenceMemory,
                  row.points == 0 ? "---" : app::formatGrouped(row.points * 40) + " bytes");
    }
}

TEST(StatisticsDialog, AfterTheRunTheValuesStayAsTheyWere) {
    Dialog dialog;
    engine::RunStatistics s = runningSince(1000);
    s.running = false;
    s.endTick = 11000;
    s.endTime = timeOfDay(9, 30, 10);
    EXPECT_FALSE(dialog.refresh(s, 99999));  // the end tick counts, not the clock
    const app::StatisticsValues frozen = dialog.values();
    EXPECT_EQ(frozen.endTime, platform::formatTimeOfDay(s.endTime));
    EXPECT_EQ(frozen.duration, "00:00:10");
    EXPECT_EQ(frozen.pointsPerSecond, "500");

    // A new run started meanwhile changes nothing on screen.
    EXPECT_FALSE(dialog.refresh(runningSince(50000), 60000));
    EXPECT_EQ(dialog.values().duration, frozen.duration);
    EXPECT_EQ(dialog.values().points, frozen.points);
    EXPECT_EQ(dialog.values().endTime, frozen.endTime);
}

TEST(StatisticsDialog, APictureThatWasNeverComputedShowsNoStatistics) {
    Dialog dialog;
    EXPECT_FALSE(dialog.refresh(engine::RunStatistics{}, 123456));
    EXPECT_EQ(dialog.values().startTime, "---");
    EXPECT_EQ(dialog.values().duration, "---");
    EXPECT_EQ(dialog.values().points, "---");
}

TEST(StatisticsDialog, FollowsARealRunUntilItEnds) {
    DialogRig rig(engine::kHopalong);
    rig.fractal->startCalculation();
    Dialog dialog;
    EXPECT_TRUE(dialog.refresh(*rig.fractal));
    EXPECT_EQ(dialog.values().endTime, "---");
    rig.fractal->stopCalculation();
    EXPECT_FALSE(dialog.refresh(*rig.fractal));
    EXPECT_NE(dialog.values().endTime, "---");
    EXPECT_EQ(dialog.close(), app::kDialogOk);
}

// The deep lines end with the pixels counted exactly only when the run counted them so;
// negative counts (never expected) are shown as none.
TEST(StatisticsDialog, DeepLinesShowExactCountsOnlyWhenTheRunUsedThem) {
    struct Row {
        bool exactCounts;
        long exactPixels;
        const char* lastLine;
    };
    const Row rows[] = {
        {false, 0, nullptr},
        {false, 77, nullptr},
        {true, 0, "Counted exactly: 0"},
        {true, 12, "Counted exactly: 12"},
        {true, -5, "Counted exactly: 0"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::to_string(row.exactPixels) + (row.exactCounts ? " on" : " off"));
        engine::DeepReport report;
        report.interiorPixels = 3;
        report.directPixels = 4;
        report.exactCounts = row.exactCounts;
        report.exactPixels = row.exactPixels;
        const std::vector<std::string> lines = Dialog::deepLines(report);
        ASSERT_EQ(lines.size(), row.lastLine != nullptr ? 6u : 5u);
        EXPECT_EQ(lines[3], "Found inside by their cycle: 3");
        EXPECT_EQ(lines[4], "Counted at full precision: 4");
        if (row.lastLine != nullptr) {
            EXPECT_EQ(lines[5], row.lastLine);
        }
    }
}

TEST(StatisticsDialog, CentresOverTheParentInsideTheDesktop) {
    const platform::Rect desktop{0, 0, 1000, 800};
    struct Case {
        platform::Rect parent;
        platform::Rect expected;
    };
    const platform::Rect dialog{0, 0, 200, 100};
    const Case cases[] = {
        {{100, 100, 500, 400}, {200, 200, 400, 300}},
        {{-300, -300, 100, 100}, {0, 0, 200, 100}},       // never above or left of 0
        {{800, 700, 1200, 1000}, {800, 700, 1000, 800}},  // kept inside right and bottom
        {{0, 0, 1000, 800}, {400, 350, 600, 450}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.parent.left);
        EXPECT_EQ(Dialog::centreOverParent(dialog, c.parent, desktop), c.expected);
    }
    // A dialog that lies elsewhere moves by the difference of the centres.
    EXPECT_EQ(Dialog::centreOverParent({50, 60, 250, 160}, {100, 100, 500, 400}, desktop),
              (platform::Rect{200, 200, 400, 300}));
}

}  // namespace
