#include <gtest/gtest.h>
#include <sys/resource.h>

#include <thread>

#include "test_fractal.h"

using corvane_test::Rig;
using corvane_test::TestFractal;
using corvane_test::waitFinished;
using corvane_test::waitPoints;
using corvane_test::waitUntil;

namespace {

TEST(WorkerTest, StopOnIdleObjectStoresParametersAndOptionsAndReturnsAtOnce) {
    Rig rig;
    TestFractal f(rig.services());
    const auto before = std::chrono::steady_clock::now();
    f.stopCalculation();
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(100));
    EXPECT_EQ(rig.stored("Test"), platform::SettingsValue::ofText("saved"));
    EXPECT_EQ(rig.stored("Alarm"), platform::SettingsValue::ofNumber(0));
    EXPECT_EQ(rig.stored("AnimZoom"), platform::SettingsValue::ofNumber(1));
    EXPECT_EQ(rig.stored("SlideshowDelay"), platform::SettingsValue::ofNumber(2000));
    EXPECT_FALSE(rig.stored("AnimZoomSleep").has_value());
}

TEST(WorkerTest, CompletedRunDrawsEveryPixelOnBothSurfacesAndRecordsStatistics) {
    Rig rig(10, 7);
    TestFractal f(rig.services());
    f.startCalculation();
    ASSERT_TRUE(waitFinished(f));
    f.stopCalculation();
    const engine::RunStatistics s = f.statistics();
    EXPECT_FALSE(s.running);
    EXPECT_EQ(s.pointCount, 70u);
    EXPECT_EQ(s.iterationCount, 7u * (1 + 2 + 3 + 4 + 5 + 6 + 7 + 8 + 9 + 10));
    EXPECT_NE(s.endTick, 0u);
    for (int y = 0; y < 7; ++y) {
        for (int x = 0; x < 10; ++x) {
            ASSERT_EQ(f.picture.pixel(x, y), corvane_test::kernelColor(x, y));
            ASSERT_EQ(rig.window.surface().pixel(x, y), corvane_test::kernelColor(x, y));
        }
    }
    EXPECT_TRUE(rig.window.takeDirty());
    EXPECT_TRUE(rig.sound.beeps().empty());
}

TEST(WorkerTest, StartWhileRunningChangesNothing) {
    Rig rig;
    TestFractal f(rig.services(), /*endless=*/true);
    f.startCalculation();
    ASSERT_TRUE(waitPoints(f, 1000));
    f.startCalculation();
    EXPECT_EQ(f.prepares.load(), 1);
    EXPECT_EQ(f.calculateCalls.load(), 1);
    EXPECT_GE(f.runState.pointCount.load(), 1000u);  // statistics were not reset
    f.stopCalculation();
    EXPECT_TRUE(f.isFinished());
    EXPECT_FALSE(f.isRunning());
}

TEST(WorkerTest, TakingOverSuppressesTheWholeStart) {
    Rig rig;
    TestFractal f(rig.services());
    engine::TakingOverScope takingOver(f);
    f.startCalculation();
    EXPECT_EQ(f.prepares.load(), 0);
    EXPECT_EQ(f.clears.load(), 0);
    EXPECT_FALSE(f.isRunning());
}

TEST(WorkerTest, AlarmBeepsTwiceOneSecondApartOnlyForACompletedRun) {
    Rig rig(4, 4);
    TestFractal f(rig.services());
    f.setOption(&engine::Options::alarm, true);
    f.startCalculation();
    ASSERT_TRUE(waitFinished(f));
    const auto beeps = rig.sound.beeps();
    ASSERT_EQ(beeps.size(), 2u);
    EXPECT_GE(beeps[1] - beeps[0], 990u);
    // `finished` comes after the second beep, and so does the end of the run.
    EXPECT_GE(f.statistics().endTick, beeps[1]);

    Rig stopped;
    TestFractal g(stopped.services(), /*endless=*/true);
    g.setOption(&engine::Options::alarm, true);
    g.startCalculation();
    ASSERT_TRUE(waitPoints(g, 100));
    g.stopCalculation();
    EXPECT_TRUE(stopped.sound.beeps().empty());
}

TEST(WorkerTest, StoppingAPausedRunResumesItFirst) {
    Rig rig;
    TestFractal f(rig.services(), /*endless=*/true);
    f.startCalculation();
    ASSERT_TRUE(waitPoints(f, 100));
    f.pauseCalculation();
    EXPECT_TRUE(f.runState.paused.load());
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    const auto frozen = f.runState.pointCount.load();
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_LE(f.runState.pointCount.load(), frozen + 1);  // at most the point in flight
    f.stopCalculation();
    EXPECT_TRUE(f.isFinished());
    EXPECT_FALSE(f.runState.paused.load());
}

TEST(WorkerTest, ResumeWithoutPauseAndPauseWithoutWorkerDoNothing) {
    Rig rig;
    TestFractal f(rig.services());
    f.pauseCalculation();
    EXPECT_FALSE(f.runState.paused.load());
    f.resumeCalculation();
    EXPECT_FALSE(f.runState.paused.load());
}

TEST(WorkerTest, DestroyingARunningObjectStopsItAndStoresOnlyTheOptions) {
    Rig rig;
    rig.store.write("Software\\Velk\\Corvane", "Alarm", platform::SettingsValue::ofNumber(1));
    {
        engine::FractalPtr f(new TestFractal(rig.services(), /*endless=*/true));
        f->setOption(&engine::Options::alarm, false);
        f->startCalculation();
        ASSERT_TRUE(waitPoints(*f, 100));
    }
    EXPECT_EQ(rig.stored("Alarm"), platform::SettingsValue::ofNumber(0));
    EXPECT_EQ(rig.stored("AnimZoom"), platform::SettingsValue::ofNumber(1));
    EXPECT_FALSE(rig.stored("Test").has_value());
}

TEST(WorkerTest, RunStatisticsGrowWhileRunningAndFreezeAfterwards) {
    Rig rig;
    TestFractal f(rig.services(), /*endless=*/true);
    f.startCalculation();
    ASSERT_TRUE(waitPoints(f, 10));
    EXPECT_TRUE(f.statistics().running);
    EXPECT_EQ(f.statistics().endTick, 0u);
    f.stopCalculation();
    const auto after = f.statistics();
    EXPECT_NE(after.endTick, 0u);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(f.statistics().endTick, after.endTick);
    EXPECT_EQ(f.statistics().pointCount, after.pointCount);
}

TEST(WorkerTest, CreationSequenceRunsExactlyOnceAfterTheClear) {
    for (const bool stored : {false, true}) {
        SCOPED_TRACE(stored ? "stored parameters" : "defaults");
        Rig rig(6, 5);
        if (stored) {
            rig.store.write("Software\\Velk\\Corvane", "Test",
                            platform::SettingsValue::ofText("earlier"));
        }
        TestFractal f(rig.services());
        f.startFromSettings();
        ASSERT_TRUE(waitFinished(f));
        EXPECT_EQ(f.calculateCalls.load(), 1);
        EXPECT_EQ(f.prepares.load(), 1);
        EXPECT_EQ(f.loaded, stored ? "earlier" : "");
        EXPECT_FALSE(f.isTakingOver());
        EXPECT_EQ(f.picture.pixel(5, 4), corvane_test::kernelColor(5, 4));
        f.stopCalculation();
    }
}

// The window may report that the program went inactive right after a start, before
// the new worker knows its thread id; the worker must still end up lower.
TEST(WorkerTest, APriorityAskedForAsTheWorkerStartsIsApplied) {
    if (::getpriority(PRIO_PROCESS, 0) > platform::kWorkerNiceNormal)
        GTEST_SKIP() << "the test process already runs below the worker's priority";
    for (int round = 0; round < 5; ++round) {
        Rig rig;
        TestFractal f(rig.services(), /*endless=*/true);
        f.startCalculation();
        f.lowerWorkerPriority();
        waitUntil([&f] { return f.workerNice.load() == platform::kWorkerNiceBelowNormal; });
        EXPECT_EQ(f.workerNice.load(), platform::kWorkerNiceBelowNormal) << "round " << round;
        f.stopCalculation();
    }
}

TEST(WorkerThreadTest, ThousandStartStopCyclesWithConcurrentRepaintStayClean) {
    Rig rig(32, 32);
    TestFractal f(rig.services(), /*endless=*/true);
    std::atomic<bool> done{false};
    std::thread painter([&] {
        // What the front end does: poll the dirty flag and read the window's pixels.
        while (!done.load()) {
            if (rig.window.takeDirty()) {
                const auto pixels = rig.window.surface().snapshot();
                ASSERT_EQ(pixels.size(), 32u * 32u);
            }
            (void)f.statistics();
            std::this_thread::yield();
        }
    });
    for (int i = 0; i < 1000; ++i) {
        f.startCalculation();
        if (i % 3 == 0)
            f.pauseCalculation();
        f.stopCalculation();
        ASSERT_TRUE(f.isFinished());
    }
    done = true;
    painter.join();
    EXPECT_EQ(f.calculateCalls.load(), 1000);
}

}  // namespace
