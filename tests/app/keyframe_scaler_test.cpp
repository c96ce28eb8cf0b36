// Frames made from a keyframe at twice their size: area-weighted means in linear light.
#include "app/keyframe_scaler.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "app/linear_light.h"
#include "app/supersampling.h"
#include "engine/row_sink.h"
#include "view/view_window.h"

namespace {

using app::RgbImage;
using platform::Color;
using platform::rgb;

constexpr Color kBlack = platform::kBlack;
constexpr Color kWhite = platform::kWhite;
// Half the light of white.
constexpr Color kGrey = rgb(188, 188, 188);

RgbImage image(int width, int height, std::vector<Color> pixels) {
    return RgbImage{width, height, std::move(pixels)};
}

// Every channel different from pixel to pixel, from a fixed seed.
RgbImage noise(int width, int height) {
    RgbImage made{width, height, {}};
    unsigned state = 12345;
    for (int i = 0; i < width * height; ++i) {
        state = state * 1103515245u + 12345u;
        made.pixels.push_back(static_cast<Color>(state >> 8) & 0xFFFFFFu);
    }
    return made;
}

// Where a frame lies in the keyframe and its size.
struct Placement {
    double centreX, centreY, spanX, spanY;
    int width, height;
};

class RowCollector : public engine::RowSink {
  public:
    bool takeRow(int, const Color* pixels, int width) override {
        rows.insert(rows.end(), pixels, pixels + width);
        return true;
    }
    std::vector<Color> rows;
};

TEST(KeyframeScaler, AveragesTheKeyframePixelsEachFramePixelCovers) {
    const Color a = rgb(10, 20, 30), b = rgb(40, 50, 60), c = rgb(70, 80, 90);
    const Color d = rgb(100, 110, 120), e = rgb(130, 140, 150), f = rgb(160, 170, 180);
    const RgbImage sixColours = image(3, 2, {a, b, c, d, e, f});
    const RgbImage blackWhite = image(2, 1, {kBlack, kWhite});
    const RgbImage threeWhite = image(4, 1, {kBlack, kWhite, kWhite, kWhite});
    struct Case {
        RgbImage keyframe;
        Placement placement;
        std::vector<Color> expected;
    };
    const Case cases[] = {
        // The whole keyframe at its own size.
        {sixColours, {1.5, 1.0, 3.0, 2.0, 3, 2}, {a, b, c, d, e, f}},
        // Moved a pixel right, then up: the edge stands for what lies beyond it.
        {sixColours, {2.5, 1.0, 3.0, 2.0, 3, 2}, {b, c, c, e, f, f}},
        {sixColours, {1.5, 0.0, 3.0, 2.0, 3, 2}, {a, b, c, a, b, c}},
        // Half of each of two pixels; a quarter black and three quarters white.
        {blackWhite, {1.0, 0.5, 1.0, 1.0, 1, 1}, {kGrey}},
        {threeWhite, {2.0, 0.5, 4.0, 1.0, 1, 1}, {rgb(225, 225, 225)}},
        // Beyond the left edge: the edge pixel, then its mean with the next.
        {blackWhite, {0.5, 0.5, 2.0, 1.0, 2, 1}, {kBlack, kGrey}},
        // Magnified: each keyframe pixel twice.
        {blackWhite, {1.0, 0.5, 2.0, 1.0, 4, 1}, {kBlack, kBlack, kWhite, kWhite}},
        // A span of 100000 pixels weighs the two edges alike, far beyond them only one.
        {blackWhite, {1.0, 0.5, 1e5, 1.0, 1, 1}, {kGrey}},
        {blackWhite, {-1e5, 0.5, 3.0, 7.0, 2, 2}, {kBlack, kBlack, kBlack, kBlack}},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const Placement& p = cases[i].placement;
        const auto frame = app::scaleFromKeyframe(cases[i].keyframe, p.centreX, p.centreY, p.spanX,
                                                  p.spanY, p.width, p.height);
        ASSERT_TRUE(frame) << "case " << i;
        EXPECT_EQ(frame->width, p.width) << "case " << i;
        EXPECT_EQ(frame->height, p.height) << "case " << i;
        EXPECT_EQ(frame->pixels, cases[i].expected) << "case " << i;
    }
}

TEST(KeyframeScaler, RefusesUnusableKeyframesSizesAndPlacements) {
    const RgbImage good = image(2, 2, {kBlack, kWhite, kWhite, kBlack});
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    struct Case {
        const char* what;
        RgbImage keyframe;
        double centreX, centreY, spanX, spanY;
        int width, height;
    };
    const Case cases[] = {
        {"an empty keyframe", RgbImage{}, 1, 1, 2, 2, 1, 1},
        {"fewer pixels than its size says", image(2, 2, {kBlack, kWhite, kWhite}), 1, 1, 2, 2, 1,
         1},
        {"more pixels than its size says", image(1, 1, {kBlack, kWhite}), 1, 1, 2, 2, 1, 1},
        {"a negative keyframe size", image(-2, -2, {kBlack, kWhite, kWhite, kBlack}), 1, 1, 2, 2, 1,
         1},
        {"no frame width", good, 1, 1, 2, 2, 0, 1},
        {"a negative frame height", good, 1, 1, 2, 2, 1, -1},
        {"a frame too wide", good, 1, 1, 2, 2, app::kMostFrameSide + 1, 1},
        {"a zero span", good, 1, 1, 0, 2, 1, 1},
        {"a negative span", good, 1, 1, 2, -2, 1, 1},
        {"a NaN centre", good, nan, 1, 2, 2, 1, 1},
        {"an infinite span", good, 1, 1, inf, 2, 1, 1},
        {"a centre too far out", good, 1, -1e300, 2, 2, 1, 1},
        {"a span too large", good, 1, 1, 1e300, 2, 1, 1},
    };
    for (const Case& test : cases) {
        EXPECT_FALSE(app::scaleFromKeyframe(test.keyframe, test.centreX, test.centreY, test.spanX,
                                            test.spanY, test.width, test.height))
            << test.what;
    }
}

TEST(KeyframeScaler, TwiceTheFrameSizeGivesTheSupersampledPicture) {
    for (const auto& [width, height] : {std::pair{7, 5}, std::pair{1, 1}, std::pair{16, 9}}) {
        const RgbImage keyframe = noise(2 * width, 2 * height);
        RowCollector collector;
        app::SampleAverager averager(collector, width, 2);
        for (int row = 0; row < keyframe.height; ++row)
            averager.takeRow(row, keyframe.pixels.data() + row * keyframe.width, keyframe.width);

        const app::KeyframeWindow window =
            app::keyframeWindow(0.0, 0.0, 1.0, keyframe.width, keyframe.height);
        EXPECT_TRUE(window.inside);
        const auto frame = app::scaleFromKeyframe(keyframe, window.centreX, window.centreY,
                                                  window.spanX, window.spanY, width, height);
        ASSERT_TRUE(frame);
        EXPECT_EQ(frame->pixels, collector.rows) << width << "x" << height;
    }
}

TEST(KeyframeScaler, FlatColoursStayFlatAndGradientsKeepTheirLight) {
    const Placement placements[] = {
        {50.0, 30.0, 100.0, 60.0, 50, 30},  // twice the frame
        {51.3, 28.7, 71.1, 42.66, 50, 30},  // 1.42 times, off centre
        {2.0, 57.0, 100.0, 60.0, 50, 30},   // half of it beyond the corner
        {50.0, 30.0, 13.0, 7.8, 50, 30},    // magnified
        {50.0, 30.0, 99.999999, 59.99999, 37, 23},
    };
    for (const Color flat : {kBlack, kWhite, rgb(1, 2, 3), rgb(200, 100, 50), rgb(255, 0, 128)}) {
        const RgbImage keyframe = image(100, 60, std::vector<Color>(6000, flat));
        for (const Placement& p : placements) {
            const auto frame = app::scaleFromKeyframe(keyframe, p.centreX, p.centreY, p.spanX,
                                                      p.spanY, p.width, p.height);
            ASSERT_TRUE(frame);
            EXPECT_EQ(frame->pixels, std::vector<Color>(frame->pixels.size(), flat))
                << flat << " at " << p.centreX << "," << p.centreY;
        }
    }

    // Every byte from black to white across the keyframe: whatever the scale, the frame
    // holds the keyframe's light (up to the rounding of each pixel) and keeps its order.
    RgbImage gradient{256, 4, {}};
    for (int row = 0; row < 4; ++row)
        for (unsigned v = 0; v < 256; ++v)
            gradient.pixels.push_back(rgb(v, v, 255 - v));
    auto meanLight = [](const RgbImage& picture, auto channel) {
        double sum = 0.0;
        for (const Color color : picture.pixels)
            sum += app::linearOfByte(channel(color));
        return sum / static_cast<double>(picture.pixels.size()) / app::kLinearWhite;
    };
    const auto red = [](Color color) { return platform::redOf(color); };
    const auto blue = [](Color color) { return platform::blueOf(color); };
    for (const int width : {128, 100, 77, 181, 256}) {
        const auto frame = app::scaleFromKeyframe(gradient, 128.0, 2.0, 256.0, 4.0, width, 2);
        ASSERT_TRUE(frame);
        EXPECT_NEAR(meanLight(*frame, red), meanLight(gradient, red), 2e-3) << width;
        EXPECT_NEAR(meanLight(*frame, blue), meanLight(gradient, blue), 2e-3) << width;
        for (int x = 1; x < width; ++x)
            EXPECT_LE(platform::redOf(frame->pixels[x - 1]), platform::redOf(frame->pixels[x]));
    }
}

// The window puts each frame pixel's plane point on the keyframe where the keyframe shows
// that very point: frames made from keyframes line up with frames rendered themselves.
TEST(KeyframeScaler, WindowLinesFramePixelsUpWithTheKeyframe) {
    const int width = 16, height = 12;
    view::ViewWindow first(false);
    first.setScreenSize(width, height);
    ASSERT_TRUE(first.setRect(-2.0, -1.5, 2.0, 1.5));
    const view::ViewWindow keyframe = app::sampleWindow(first, 2);

    struct Case {
        double fixedX, fixedY;  // the plane point the zoom keeps in place
        double ratio;
        bool inside;
    };
    const Case cases[] = {
        {0.0, 0.0, 1.0, true},
        {0.0, 0.0, 0.5, true},
        {0.7, -0.3, 0.75, true},
        {-1.5, 1.0, 0.5, true},
        {1.2, 0.9, 0.999, true},
        {3.0, 0.0, 0.9, false},
        {0.0, -2.5, 0.6, false},
        // Zooming into the top corner: the frame's pixel points lie up to a pixel and a
        // half above the keyframe's top row.
        {-1.9, 1.4, 0.5, false},
    };
    for (const Case& test : cases) {
        view::ViewWindow frame(false);
        frame.setScreenSize(width, height);
        ASSERT_TRUE(frame.setRect(test.fixedX + (first.xmin - test.fixedX) * test.ratio,
                                  test.fixedY + (first.ymin - test.fixedY) * test.ratio,
                                  test.fixedX + (first.xmax - test.fixedX) * test.ratio,
                                  test.fixedY + (first.ymax - test.fixedY) * test.ratio));
        const double planeWidth = first.xmax - first.xmin;
        const app::KeyframeWindow window = app::keyframeWindow(
            (frame.xcenter - first.xcenter) / planeWidth,
            (frame.ycenter - first.ycenter) / planeWidth, test.ratio, 2 * width, 2 * height);
        EXPECT_EQ(window.inside, test.inside) << test.fixedX << "," << test.fixedY;
        for (const int column : {0, 5, width - 1}) {
            for (const int row : {0, 7, height - 1}) {
                // The middle of the frame pixel, in keyframe pixels, and the point the
                // keyframe shows there (its pixel a's point is at the middle of pixel a).
                const double u = window.centreX - window.spanX / 2.0 +
                                 (column + 0.5) * window.spanX / width - 0.5;
                const double v =
                    window.centreY - window.spanY / 2.0 + (row + 0.5) * window.spanY / height - 0.5;
                const double shownX = keyframe.xmin + u * keyframe.xscale;
                const double shownY = keyframe.ymin + (keyframe.maxY - v - 1) * keyframe.yscale;
                EXPECT_NEAR(shownX, frame.planeX(column), 1e-12) << column << " " << test.ratio;
                EXPECT_NEAR(shownY, frame.planeY(row), 1e-12) << row << " " << test.ratio;
            }
        }
    }
    EXPECT_FALSE(app::keyframeWindow(0.0, 0.0, 0.0, 32, 24).inside);
    EXPECT_FALSE(app::keyframeWindow(std::nan(""), 0.0, 0.5, 32, 24).inside);
}

}  // namespace
