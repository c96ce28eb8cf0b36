#include "engine/live_frame.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace {

using engine::LiveFrame;
using engine::motionBetween;

constexpr int kWidth = 160;
constexpr int kHeight = 90;

view::DeepView viewAt(double x, double y, double planeWidth, long bits) {
    return *view::DeepView::fromCentreAndWidth(
        numeric::BigFloat(bits, x), numeric::BigFloat(bits, y), numeric::BigFloat(bits, planeWidth),
        kWidth, kHeight);
}

// A colour that names the plane point of a pixel on the grid of the first view's
// pixels: equal colours, equal points (to the nearest pixel of that grid).
struct GridSampler {
    view::DeepView grid;
    const view::DeepView* shown = nullptr;
    std::int64_t asked = 0;
    void operator()(const std::vector<platform::Point>& spots, platform::Color* out) {
        for (std::size_t k = 0; k < spots.size(); ++k) {
            const double gx =
                ((shown->planeX(spots[k].x) - grid.originX()) / grid.spacingX()).toDouble();
            const double gy =
                ((shown->planeY(spots[k].y) - grid.originY()) / grid.spacingY()).toDouble();
            out[k] = static_cast<platform::Color>((std::lround(gx) & 0xFFF) |
                                                  ((std::lround(gy) & 0xFFF) << 12));
        }
        asked += static_cast<std::int64_t>(spots.size());
    }
};

struct MotionCase {
    std::string name;
    long bits;
    double width;  // of the plane shown
};

class LiveFrameTest : public testing::TestWithParam<MotionCase> {};

// The motion of a pan and a zoom, shallow and deep: what reuseFrame is given.
TEST_P(LiveFrameTest, MotionBetweenViewsIsInOldPixels) {
    const view::DeepView from = viewAt(-0.75, 0.1, GetParam().width, GetParam().bits);
    const engine::FrameMotion pan = motionBetween(from, from.pannedByPixels(3, -2));
    EXPECT_NEAR(pan.scale, 1.0, 1e-9);
    EXPECT_NEAR(pan.shiftX, 3.0, 1e-6);
    EXPECT_NEAR(pan.shiftY, -2.0, 1e-6);
    const engine::FrameMotion zoom = motionBetween(from, from.zoomedAtPixel(40, 30, 2.0));
    EXPECT_NEAR(zoom.scale, 0.5, 1e-9);
    // The pixel zoomed at stays where it was.
    EXPECT_NEAR(zoom.scale * 40 + zoom.shiftX, 40.0, 0.02);
    EXPECT_NEAR(zoom.scale * 30 + zoom.shiftY, 30.0, 0.02);
}

// A pan by whole pixels copies what it can exactly and computes only in the strips
// that came into view, where every pixel shows a sample within the tolerance.
TEST_P(LiveFrameTest, PanByWholePixelsGivesTheFreshFrame) {
    const view::DeepView from = viewAt(-0.75, 0.1, GetParam().width, GetParam().bits);
    GridSampler sampler{from};
    sampler.shown = &from;
    std::vector<platform::Color> first(static_cast<std::size_t>(kWidth * kHeight));
    std::vector<platform::Point> all;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            all.push_back({x, y});
    sampler(all, first.data());
    LiveFrame frame(from, first, true);
    const view::DeepView to = from.pannedByPixels(10, -4);
    sampler.shown = &to;
    sampler.asked = 0;
    const engine::LiveFrameFigures figures =
        frame.advance(to, {kWidth / 2, kHeight / 2}, std::ref(sampler), [] { return false; });
    std::vector<platform::Color> fresh(first.size());
    sampler(all, fresh.data());
    EXPECT_TRUE(figures.exact);
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const auto k = static_cast<std::size_t>((y * kWidth) + x);
            const auto shown = static_cast<int>(frame.pixels()[k]);
            const auto wanted = static_cast<int>(fresh[k]);
            if (x < 150 && y >= 4) {
                ASSERT_EQ(shown, wanted) << x << "," << y;
                continue;
            }
            EXPECT_LE(std::abs((shown & 0xFFF) - (wanted & 0xFFF)), 1) << x << "," << y;
            EXPECT_LE(std::abs((shown >> 12) - (wanted >> 12)), 1) << x << "," << y;
        }
    }
    const int newPixels = kWidth * kHeight - 150 * 86;
    EXPECT_NEAR(figures.reusedShare, (150.0 * 86.0) / (160.0 * 90.0), 1e-9);
    EXPECT_LE(figures.computed, newPixels);
    EXPECT_GE(figures.computed, newPixels / 9);
}

// Zooming in continuously at twice a second, twenty frames a second: after the first
// frame, each frame takes over every pixel, ends within the tolerance everywhere, and
// on average computes fewer than a tenth of its pixels anew.
TEST_P(LiveFrameTest, ContinuousZoomComputesLittleAnew) {
    view::DeepView view = viewAt(-0.75, 0.1, GetParam().width, GetParam().bits);
    GridSampler sampler{view};
    LiveFrame frame(view, {}, false);
    const double perFrame = std::pow(2.0, 1.0 / 20.0);
    double computedShares = 0.0;
    constexpr int kFrames = 40;
    for (int k = 0; k < kFrames; ++k) {
        view = view.zoomedAtPixel(50, 40, perFrame);
        sampler.shown = &view;
        const engine::LiveFrameFigures figures =
            frame.advance(view, {50, 40}, std::ref(sampler), [] { return false; });
        EXPECT_TRUE(figures.exact) << k;
        if (k == 0)
            continue;
        EXPECT_DOUBLE_EQ(figures.reusedShare, 1.0) << k;
        computedShares +=
            static_cast<double>(figures.computed) / static_cast<double>(figures.pixels);
    }
    EXPECT_LT(computedShares / (kFrames - 1), 0.10);
}

// A frame whose time is up at once still shows every pixel it could take over.
TEST_P(LiveFrameTest, FrameOutOfTimeKeepsWhatItReuses) {
    const view::DeepView from = viewAt(-0.75, 0.1, GetParam().width, GetParam().bits);
    GridSampler sampler{from};
    const view::DeepView to = from.zoomedAtPixel(80, 45, 0.5);  // out: a border is new
    sampler.shown = &to;
    LiveFrame frame(from, std::vector<platform::Color>(kWidth * kHeight, 7), true);
    const engine::LiveFrameFigures figures =
        frame.advance(to, {80, 45}, std::ref(sampler), [] { return true; });
    EXPECT_FALSE(figures.exact);
    EXPECT_LE(figures.computed, static_cast<std::int64_t>(LiveFrame::kBatch));
    EXPECT_NEAR(figures.reusedShare, 0.25, 0.02);
    EXPECT_EQ(frame.pixels()[static_cast<std::size_t>(45 * kWidth + 80)], 7U);
}

INSTANTIATE_TEST_SUITE_P(Depths, LiveFrameTest,
                         testing::Values(MotionCase{"Shallow", 64, 3.0},
                                         MotionCase{"Deep", 240, 3e-50}),
                         [](const auto& info) { return info.param.name; });

}  // namespace
