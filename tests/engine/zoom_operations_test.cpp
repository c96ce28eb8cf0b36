#include <gtest/gtest.h>

#include "test_fractal.h"

using corvane_test::Rig;
using corvane_test::TestFractal;
using engine::ViewWindow;

namespace {

TEST(ZoomTest, ZoomOutShrinksThePictureAndScalesTheViewAboutItsCentre) {
    Rig rig(240, 268);
    TestFractal f(rig.services(), /*endless=*/true);
    f.animZoomSleep = 0;
    f.view.setRect(-2, -1, 2, 1);
    const ViewWindow before = f.view;
    f.zoomByFactor(0.6);
    EXPECT_EQ(rig.window.pauses().size(), 15u);
    EXPECT_EQ(f.history.count(), 1);
    EXPECT_NEAR(f.view.xmax - f.view.xmin, before.xrange / 0.6, 1e-12);
    EXPECT_NEAR(f.view.ymax - f.view.ymin, before.yrange / 0.6, 1e-12);
    EXPECT_NEAR(f.view.xcenter, before.xcenter, 1e-12);
    EXPECT_TRUE(f.isRunning());
    f.stopCalculation();
}

TEST(ZoomTest, FactorOneAndEmptyHistoryChangeNothingAndDoNotRestart) {
    Rig rig;
    TestFractal f(rig.services());
    f.zoomByFactor(1.0);
    f.zoomPrevious();
    EXPECT_EQ(f.calculateCalls.load(), 0);
    EXPECT_EQ(f.saves.load(), 0);
}

TEST(ZoomTest, ZoomToRectEndsWithTheSameViewWithAndWithoutAnimation) {
    const double rects[][4] = {
        {-1.5, -0.3, 0.25, 0.9}, {0.3, 0.2, -0.1, -0.4}, {-2, 1, 2, 1.00001}, {0.1, 0.1, 0.4, 3}};
    for (const auto& r : rects) {
        ViewWindow results[2];
        for (const bool animate : {false, true}) {
            Rig rig(240, 268);
            TestFractal f(rig.services());
            f.animZoom = animate;
            f.animZoomSleep = 0;
            f.view.setRect(-2, -2, 2, 2);
            f.zoomToRect(r[0], r[1], r[2], r[3], true);
            f.stopCalculation();
            EXPECT_EQ(rig.window.pauses().size(), animate ? 15u : 0u);
            EXPECT_EQ(f.history.count(), 1);
            results[animate ? 1 : 0] = f.view;
        }
        EXPECT_TRUE(ViewWindow::sameView(results[0], results[1]));
    }
}

TEST(ZoomTest, ZoomPreviousWalksBackThroughTheFirst32Views) {
    Rig rig(24, 18);
    TestFractal f(rig.services());
    f.animZoom = false;
    f.view.setRect(-100, -100, 100, 100);
    std::vector<ViewWindow> seen;
    for (int i = 0; i < 33; ++i) {
        seen.push_back(f.view);
        f.zoomToRect(-50.0 / (i + 1), -50.0 / (i + 1), 40.0 / (i + 1), 40.0 / (i + 1), true);
    }
    f.stopCalculation();
    EXPECT_EQ(f.history.count(), 32);
    for (int i = 31; i >= 0; --i) {
        f.zoomPrevious();
        EXPECT_TRUE(ViewWindow::sameView(f.view, seen[static_cast<std::size_t>(i)]));
    }
    const int runs = f.calculateCalls.load();
    f.zoomPrevious();  // empty now: no restart
    EXPECT_EQ(f.calculateCalls.load(), runs);
    f.stopCalculation();
}

TEST(ZoomTest, ZoomPreviousAnimatesOnlyWhenTheViewChanges) {
    Rig rig(24, 18);
    TestFractal f(rig.services());
    f.animZoomSleep = 0;
    f.pushView();  // the same view as the current one
    f.zoomPrevious();
    EXPECT_TRUE(rig.window.pauses().empty());
    EXPECT_EQ(f.prepares.load(), 1);  // restarted anyway
    f.stopCalculation();

    f.view.setRect(-1, -1, 1, 1);
    f.pushView();
    f.view.setRect(-0.5, -0.5, 0.5, 0.5);
    f.zoomPrevious();  // back out: the current picture shrinks into the restored view
    EXPECT_EQ(rig.window.pauses().size(), 15u);
    f.stopCalculation();
}

}  // namespace
