#include <gtest/gtest.h>

#include "test_fractal.h"

using corvane_test::Rig;
using corvane_test::TestFractal;
using platform::kBlack;
using platform::kWhite;

namespace {

// Fills the picture with a colour per pixel so copies can be traced back.
void paintGradient(engine::Fractal& f) {
    for (int y = 0; y < f.height; ++y) {
        for (int x = 0; x < f.width; ++x)
            f.picture.setPixel(x, y, platform::rgb(x, y, 1));
    }
}

TEST(SurfacesTest, PlotAndFillDrawOnWindowAndPicture) {
    Rig rig(8, 6);
    TestFractal f(rig.services());
    f.clearPictureBase();
    f.plotPoint(3, 2, 0x123456);
    f.plotPoint(-1, 2, 0x123456);  // clipped
    f.plotPoint(8, 0, 0x123456);   // clipped
    EXPECT_EQ(f.picture.pixel(3, 2), 0x123456u);
    EXPECT_EQ(rig.window.surface().pixel(3, 2), 0x123456u);

    f.fillRect({1, 1, 3, 4}, 0x0000FF);  // right and bottom edges excluded
    EXPECT_EQ(f.picture.pixel(1, 1), 0x0000FFu);
    EXPECT_EQ(f.picture.pixel(2, 3), 0x0000FFu);
    EXPECT_EQ(f.picture.pixel(3, 3), 0x123456u == f.picture.pixel(3, 3) ? 0x123456u : kWhite);
    EXPECT_EQ(f.picture.pixel(2, 4), kWhite);
    EXPECT_EQ(rig.window.surface().pixel(2, 3), 0x0000FFu);
}

TEST(SurfacesTest, PaintOfTheClientRectangleRestoresTheWindow) {
    Rig rig(8, 6);
    TestFractal f(rig.services());
    paintGradient(f);
    rig.window.surface().fillRect({0, 0, 8, 6}, kBlack);
    f.paint(f.clientRect);  // (0, 0, 8, 6): 9 x 7 pixels, the extra ones outside
    EXPECT_EQ(rig.window.surface().snapshot(), f.picture.snapshot());
}

TEST(SurfacesTest, RubberBandIsBlackWhiteBlackOnTheWindowOnly) {
    Rig rig(20, 20);
    TestFractal f(rig.services());
    f.clearPictureBase();
    f.drawRubberBand({12, 11}, {5, 4}, true);  // corners in any order
    const auto& w = rig.window.surface();
    // Outer rectangle (4, 3)-(13, 12): outlines cover columns a and c - 1.
    EXPECT_EQ(w.pixel(4, 3), kBlack);
    EXPECT_EQ(w.pixel(12, 3), kBlack);
    EXPECT_EQ(w.pixel(4, 11), kBlack);
    EXPECT_EQ(w.pixel(5, 4), kWhite);  // the white middle line
    EXPECT_EQ(w.pixel(6, 5), kBlack);  // the inner black line
    EXPECT_EQ(w.pixel(8, 8), kWhite);  // inside untouched
    EXPECT_EQ(f.picture.pixel(4, 3), kWhite);

    f.drawRubberBand({12, 11}, {5, 4}, false);
    EXPECT_EQ(w.snapshot(), f.picture.snapshot());
}

struct AnimationCase {
    const char* name;
    bool zoomIn;
    bool prepared;
};

TEST(SurfacesTest, AnimatedZoomShowsFifteenFramesAndAFinalOne) {
    const AnimationCase cases[] = {
        {"zoom in", true, false},
        {"zoom out", false, false},
        {"prepared picture", true, true},
    };
    for (const AnimationCase& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig(240, 268);
        TestFractal f(rig.services());
        paintGradient(f);
        f.setOption(&engine::Options::animZoomSleep, 7);
        if (c.prepared)
            f.animation.scratch.copyFrom(f.picture, 0, 0, 240, 268, 0, 0);
        f.animateZoom({48, 54, 192, 214}, c.zoomIn, c.prepared);

        std::vector<unsigned> expected;
        if (c.prepared)
            expected = {200, 200, 200};
        expected.insert(expected.end(), 15, 7u);
        EXPECT_EQ(rig.window.pauses(), expected);
        EXPECT_EQ(rig.window.flushCount(), 16 + (c.prepared ? 4 : 0));
        EXPECT_EQ(rig.window.surface().snapshot(), f.picture.snapshot());  // no band at the end
        if (c.zoomIn && !c.prepared) {
            // The selected block stretched to the whole picture.
            EXPECT_EQ(f.picture.pixel(0, 0), platform::rgb(48, 54, 1));
            EXPECT_EQ(f.picture.pixel(239, 267), platform::rgb(192, 214, 1));
        } else if (!c.zoomIn) {
            // The old picture shrunk into (48, 54)-(192, 214) on white.
            EXPECT_EQ(f.picture.pixel(47, 100), kWhite);
            EXPECT_EQ(f.picture.pixel(193, 100), kWhite);
            EXPECT_EQ(f.picture.pixel(100, 53), kWhite);
            EXPECT_EQ(f.picture.pixel(100, 215), kWhite);
            EXPECT_EQ(f.picture.pixel(48, 54), platform::rgb(0, 0, 1));
            EXPECT_NE(f.picture.pixel(192, 214), kWhite);
        }
    }
}

// The user's input waiting for the program cuts an animation short, at any point: the
// picture and the window end exactly as after the whole animation, without a band.
TEST(SurfacesTest, WaitingInputCutsTheAnimationShortWithTheSameEnd) {
    struct Case {
        const char* name;
        bool zoomIn;
        bool prepared;
        int inputAfterFlushes;
    };
    const Case cases[] = {
        {"zoom in, input from the start", true, false, 0},
        {"zoom in, input after three frames", true, false, 3},
        {"zoom out, input after one frame", false, false, 1},
        {"opened picture, input from the start", true, true, 0},
        {"opened picture, input while its place is marked", true, true, 1},
        {"opened picture, input after the marking", true, true, 6},
    };
    const auto animate = [](Rig& rig, const Case& c) {
        TestFractal f(rig.services());
        paintGradient(f);
        if (c.prepared) {
            f.animation.scratch.copyFrom(f.picture, 0, 0, 120, 134, 0, 0);
            f.animation.scratch.fillRect({0, 0, 60, 60}, platform::rgb(9, 9, 9));
        }
        f.animateZoom({24, 27, 96, 107}, c.zoomIn, c.prepared);
        return f.picture.snapshot();
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Rig whole(120, 134);
        const auto expected = animate(whole, c);
        Rig cut(120, 134);
        cut.window.setInputAfterFlushes(c.inputAfterFlushes);
        EXPECT_EQ(animate(cut, c), expected);
        EXPECT_EQ(cut.window.surface().snapshot(), expected);
        EXPECT_LT(cut.window.pauses().size(), whole.window.pauses().size());
    }
}

TEST(SurfacesTest, AnimationIsSkippedWithoutAScratchBitmap) {
    Rig rig(40, 30);
    TestFractal f(rig.services());
    paintGradient(f);
    const auto before = f.picture.snapshot();
    f.animation.scratch.resize(0, 0);
    f.animateZoom({5, 5, 20, 20}, true, false);
    EXPECT_TRUE(rig.window.pauses().empty());
    EXPECT_EQ(f.picture.snapshot(), before);
}

TEST(SurfacesTest, WholeWindowZoomStillShowsFifteenIdenticalFrames) {
    Rig rig(30, 20);
    TestFractal f(rig.services());
    paintGradient(f);
    const auto before = f.picture.snapshot();
    f.animateZoom({0, 0, 29, 19}, true, false);
    EXPECT_EQ(rig.window.pauses().size(), 15u);
    EXPECT_EQ(f.picture.snapshot(), before);
}

}  // namespace
