#include "engine/frame_reuse.h"

#include <cmath>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

namespace {

using engine::FrameMotion;
using engine::Refinement;

constexpr float kNone = std::numeric_limits<float>::infinity();

// Each new index of an axis against the old one: the nearest old sample and how far from
// it the new pixel lies, in new pixels.
TEST(FrameReuseTest, AxesTakeTheNearestOldSample) {
    struct Case {
        const char* name;
        int newCount, oldCount;
        double scale, shift;
        std::vector<int> nearest;
        std::vector<float> offset;
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const Case cases[] = {
        {"still", 4, 4, 1.0, 0.0, {0, 1, 2, 3}, {0, 0, 0, 0}},
        {"pan by two", 4, 4, 1.0, 2.0, {2, 3, -1, -1}, {0, 0, kNone, kNone}},
        {"pan back by one", 4, 4, 1.0, -1.0, {-1, 0, 1, 2}, {kNone, 0, 0, 0}},
        {"pan by a quarter", 3, 3, 1.0, 0.25, {0, 1, 2}, {0.25F, 0.25F, 0.25F}},
        {"zoom in twice about the middle", 4, 4, 0.5, 0.75, {1, 1, 2, 2}, {0.5F, 0.5F, 0.5F, 0.5F}},
        {"zoom out twice", 4, 4, 2.0, -1.0, {-1, 1, 3, -1}, {kNone, 0, 0, kNone}},
        {"no scale", 2, 2, 0.0, 0.0, {-1, -1}, {kNone, kNone}},
        {"negative scale", 2, 2, -1.0, 1.0, {-1, -1}, {kNone, kNone}},
        {"shift not a number", 2, 2, 1.0, nan, {-1, -1}, {kNone, kNone}},
        {"far beyond any index", 2, 2, 1.0, 1e300, {-1, -1}, {kNone, kNone}},
        {"scale beyond floats", 2, 2, 1e-300, 0.4, {0, 0}, {kNone, kNone}},
        {"empty old frame", 2, 0, 1.0, 0.0, {-1, -1}, {kNone, kNone}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const engine::AxisReuse axis = engine::reuseAxis(c.newCount, c.oldCount, c.scale, c.shift);
        EXPECT_EQ(axis.nearest, c.nearest);
        EXPECT_EQ(axis.offset, c.offset);
    }
}

// A frame combines its axes; copies of copies carry their error on, magnified by the zoom.
TEST(FrameReuseTest, FramesMoveTheirSamplesAndCarryTheirErrors) {
    // A 3 x 2 frame panned right by one and down by one.
    const std::vector<int> old = {10, 11, 12, 20, 21, 22};
    const engine::FrameReuse panned = engine::reuseFrame(3, 2, 3, 2, FrameMotion{1.0, 1.0, 1.0});
    EXPECT_EQ(engine::moveSamples(panned, old, -1), (std::vector<int>{21, 22, -1, -1, -1, -1}));
    EXPECT_DOUBLE_EQ(panned.reusedShare(), 2.0 / 6.0);

    const std::vector<float> oldError = {0, 1, 0, 0, 0, 0};
    const engine::FrameReuse zoomed =
        engine::reuseFrame(3, 2, 3, 2, FrameMotion{0.5, 0.5, 0.0}, &oldError);
    // Columns 0.5, 1, 1.5 take old columns 1, 1, 2 (halfway rounds up); row 0 and 0.5
    // take row 0 and row 1.
    EXPECT_EQ(engine::moveSamples(zoomed, old, -1), (std::vector<int>{11, 11, 12, 21, 21, 22}));
    EXPECT_EQ(zoomed.error, (std::vector<float>{3.0F, 2.0F, 1.0F, 1.0F, 1.0F, 1.0F}));
}

// Whatever the frame starts with, the refinement ends with every pixel computed at its
// own place, each once, coarse blocks first and from the focus outwards; pixels that
// are exact already are never asked for.
TEST(FrameReuseTest, RefinementComputesEveryInexactPixelOnceCoarseToFine) {
    struct Case {
        const char* name;
        int width, height, coarsest, focusX, focusY;
        int exactColumns;  // the leftmost columns start exact
    };
    const Case cases[] = {
        {"a missing frame", 37, 23, 8, 18, 11, 0},
        {"a missing frame, focus in a corner", 20, 9, 4, 19, 0, 0},
        {"a pan leaves a strip to compute", 16, 8, 8, 8, 4, 12},
        {"one pixel", 1, 1, 16, 0, 0, 0},
        {"every pixel at once", 5, 4, 1, 2, 2, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<float> error(static_cast<std::size_t>(c.width * c.height), kNone);
        for (int y = 0; y < c.height; ++y)
            for (int x = 0; x < c.exactColumns; ++x)
                error[static_cast<std::size_t>((y * c.width) + x)] = 0.0F;
        Refinement refinement(c.width, c.height, error, c.coarsest, c.focusX, c.focusY);
        std::vector<int> computed(error.size(), 0);
        std::vector<int> shownFrom(error.size(), -1);
        Refinement::Sample sample;
        bool first = c.focusX >= c.exactColumns;
        while (refinement.next(sample)) {
            if (first) {
                EXPECT_EQ(sample.x, c.focusX);
                EXPECT_EQ(sample.y, c.focusY);
            }
            first = false;
            const std::size_t at = static_cast<std::size_t>((sample.y * c.width) + sample.x);
            ++computed[at];
            EXPECT_GE(sample.x, c.exactColumns);
            refinement.computed(sample, [&](std::int64_t to, std::int64_t from) {
                shownFrom[static_cast<std::size_t>(to)] = static_cast<int>(from);
            });
            EXPECT_EQ(shownFrom[at], static_cast<int>(at));
        }
        EXPECT_EQ(refinement.inexact(), 0);
        for (std::size_t k = 0; k < computed.size(); ++k) {
            const bool wasExact =
                static_cast<int>(k % static_cast<std::size_t>(c.width)) < c.exactColumns;
            EXPECT_EQ(computed[k], wasExact ? 0 : 1) << k;
            EXPECT_EQ(shownFrom[k], wasExact ? -1 : static_cast<int>(k)) << k;
        }
    }
}

// Zooming in steadily at 2x a second and 15 frames a second, every pixel of each frame is
// taken from the one before, and a tenth of them computed anew (nearest the focus first)
// keeps every pixel within a few pixels of the point it shows.
TEST(FrameReuseTest, AContinuousZoomOnATenthOfThePixelsAFrameStaysSharp) {
    const int width = 320;
    const int height = 180;
    const int budget = width * height / 10;
    const double scale = std::exp2(-1.0 / 15.0);
    const FrameMotion motion{scale, (width - 1) * (1.0 - scale) / 2.0,
                             (height - 1) * (1.0 - scale) / 2.0};
    std::vector<float> error(static_cast<std::size_t>(width * height), 0.0F);
    float worst = 0.0F;
    for (int frame = 0; frame < 90; ++frame) {
        engine::FrameReuse reuse = engine::reuseFrame(width, height, width, height, motion, &error);
        EXPECT_EQ(reuse.reusedShare(), 1.0);
        Refinement refinement(width, height, std::move(reuse.error), 8, width / 2, height / 2,
                              0.5F);
        Refinement::Sample sample;
        for (int computed = 0; computed < budget && refinement.next(sample); ++computed)
            refinement.computed(sample, [](std::int64_t, std::int64_t) {});
        error = refinement.errors();
        for (const float e : error)
            worst = std::max(worst, e);
    }
    EXPECT_LT(worst, 3.0F);
}

}  // namespace
