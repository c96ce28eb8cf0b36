#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

#include "test_fractal.h"

using corvane_test::Rig;
using corvane_test::TestFractal;
using view::ViewWindow;

namespace {

// The distance between neighbouring doubles at the magnitude of value.
double ulpOf(double value) {
    const double magnitude = std::fabs(value);
    return std::nextafter(magnitude, std::numeric_limits<double>::infinity()) - magnitude;
}

// A view about (1.5, 0.5) whose pixels are `ulps` units of the last place at 1.5 wide.
void showDeepView(TestFractal& f, double ulps) {
    const double half = ulps * ulpOf(1.5) * 0.5;
    f.setViewRect(1.5 - half * f.width, 0.5 - half * f.height, 1.5 + half * f.width,
                  0.5 + half * f.height);
}

TEST(ZoomTest, ZoomOutShrinksThePictureAndScalesTheViewAboutItsCentre) {
    Rig rig(240, 268);
    TestFractal f(rig.services(), /*endless=*/true);
    f.setOption(&engine::Options::animZoomSleep, 0);
    f.setViewRect(-2, -1, 2, 1);
    const ViewWindow before = f.view();
    f.zoomByFactor(0.6);
    EXPECT_EQ(rig.window.pauses().size(), 15u);
    EXPECT_EQ(f.history.count(), 1);
    EXPECT_NEAR(f.view().xmax - f.view().xmin, before.xrange / 0.6, 1e-12);
    EXPECT_NEAR(f.view().ymax - f.view().ymin, before.yrange / 0.6, 1e-12);
    EXPECT_NEAR(f.view().xcenter, before.xcenter, 1e-12);
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
            f.setOption(&engine::Options::animZoom, animate);
            f.setOption(&engine::Options::animZoomSleep, 0);
            f.setViewRect(-2, -2, 2, 2);
            f.zoomToRect(r[0], r[1], r[2], r[3], true);
            f.stopCalculation();
            EXPECT_EQ(rig.window.pauses().size(), animate ? 15u : 0u);
            EXPECT_EQ(f.history.count(), 1);
            results[animate ? 1 : 0] = f.view();
        }
        EXPECT_TRUE(ViewWindow::sameView(results[0], results[1]));
    }
}

// Full, the history forgets the oldest view: Zoom previous walks back through the
// newest, and zoomNext forward again to where it started.
TEST(ZoomTest, ZoomPreviousWalksBackThroughTheNewestViewsAndZoomNextForward) {
    constexpr int kCap = view::ZoomHistory::kCapacity;
    Rig rig(24, 18);
    TestFractal f(rig.services());
    f.setOption(&engine::Options::animZoom, false);
    f.setViewRect(-100, -100, 100, 100);
    std::vector<ViewWindow> seen;
    for (int i = 0; i <= kCap; ++i) {
        seen.push_back(f.view());
        f.zoomToRect(-50.0 / (i + 1), -50.0 / (i + 1), 40.0 / (i + 1), 40.0 / (i + 1), true);
    }
    seen.push_back(f.view());
    f.stopCalculation();
    EXPECT_EQ(f.history.count(), kCap);
    for (int i = kCap; i >= 1; --i) {
        f.zoomPrevious();
        EXPECT_TRUE(ViewWindow::sameView(f.view(), seen[static_cast<std::size_t>(i)]));
    }
    int runs = f.calculateCalls.load();
    f.zoomPrevious();  // empty now: no restart
    EXPECT_EQ(f.calculateCalls.load(), runs);
    for (int i = 2; i <= kCap + 1; ++i) {
        f.zoomNext();
        EXPECT_TRUE(ViewWindow::sameView(f.view(), seen[static_cast<std::size_t>(i)]));
    }
    f.stopCalculation();
    runs = f.calculateCalls.load();
    f.zoomNext();  // nothing ahead: no restart
    EXPECT_EQ(f.calculateCalls.load(), runs);
    f.stopCalculation();
}

TEST(ZoomTest, ZoomPreviousAnimatesOnlyWhenTheViewChanges) {
    Rig rig(24, 18);
    TestFractal f(rig.services());
    f.setOption(&engine::Options::animZoomSleep, 0);
    f.pushView();  // the same view as the current one
    f.zoomPrevious();
    EXPECT_TRUE(rig.window.pauses().empty());
    EXPECT_EQ(f.prepares.load(), 1);  // restarted anyway
    f.stopCalculation();

    f.setViewRect(-1, -1, 1, 1);
    f.pushView();
    f.setViewRect(-0.5, -0.5, 0.5, 0.5);
    f.zoomPrevious();  // back out: the current picture shrinks into the restored view
    EXPECT_EQ(rig.window.pauses().size(), 15u);
    f.stopCalculation();
}

TEST(ZoomTest, ZoomingInBeyondTheDepthChangesNothing) {
    // Three units of the last place per pixel still resolve; any zoom in by two does not.
    const struct {
        const char* name;
        bool animate;
        std::function<void(TestFractal&)> zoom;
    } zooms[] = {
        {"scaleView", false, [](TestFractal& f) { f.scaleView(2.0); }},
        {"scaleViewAt", false, [](TestFractal& f) { f.scaleViewAt(1.5, 0.5, 2.0); }},
        {"zoomByFactor", false, [](TestFractal& f) { f.zoomByFactor(2.0); }},
        {"zoomByFactor animated", true, [](TestFractal& f) { f.zoomByFactor(2.0); }},
        {"zoomToRect", false,
         [](TestFractal& f) {
             f.zoomToRect(f.view().planeX(10), f.view().planeY(10), f.view().planeX(12),
                          f.view().planeY(12), true);
         }},
        {"zoomToRect animated", true,
         [](TestFractal& f) {
             f.zoomToRect(f.view().planeX(0), f.view().planeY(0), f.view().planeX(11),
                          f.view().planeY(8), true);
         }},
    };
    for (const auto& zoom : zooms) {
        SCOPED_TRACE(zoom.name);
        Rig rig(24, 18);
        TestFractal f(rig.services());
        f.setOption(&engine::Options::animZoom, zoom.animate);
        f.setOption(&engine::Options::animZoomSleep, 0);
        showDeepView(f, 3.0);
        ASSERT_TRUE(f.view().resolvesPixels());
        f.pushView();
        const ViewWindow before = f.view();
        zoom.zoom(f);
        EXPECT_TRUE(ViewWindow::sameView(f.view(), before));
        EXPECT_EQ(f.history.count(), 1);
        EXPECT_EQ(f.calculateCalls.load(), 0);
        EXPECT_EQ(f.saves.load(), 0);  // not even stopped
        EXPECT_TRUE(rig.window.pauses().empty());
    }
}

TEST(ZoomTest, ZoomingOutOfAViewStoredTooDeepIsNeverRefused) {
    const struct {
        const char* name;
        std::function<void(TestFractal&)> zoom;
    } zooms[] = {
        {"zoomByFactor", [](TestFractal& f) { f.zoomByFactor(0.6); }},
        {"scaleView", [](TestFractal& f) { f.scaleView(0.6); }},
        {"zoomToRect",
         [](TestFractal& f) {
             f.zoomToRect(f.view().xmin - f.view().xrange, f.view().ymin - f.view().yrange,
                          f.view().xmax + f.view().xrange, f.view().ymax + f.view().yrange, false);
         }},
        {"zoomPrevious", [](TestFractal& f) { f.zoomPrevious(); }},
    };
    for (const auto& zoom : zooms) {
        SCOPED_TRACE(zoom.name);
        Rig rig(24, 18);
        TestFractal f(rig.services());
        f.setOption(&engine::Options::animZoom, false);
        showDeepView(f, 100.0);
        f.pushView();
        showDeepView(f, 0.5);  // deeper than double precision resolves
        ASSERT_FALSE(f.view().resolvesPixels());
        const ViewWindow before = f.view();
        zoom.zoom(f);
        f.stopCalculation();
        EXPECT_GT(f.view().xrange, before.xrange);
        EXPECT_EQ(f.prepares.load(), 1);  // a new run
    }
}

}  // namespace
