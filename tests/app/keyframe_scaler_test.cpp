// Frames made from a keyframe at twice their size: area-weighted means in linear light.
#include "app/keyframe_scaler.h"

#include <gtest/gtest.h>

#include <algorithm>
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

TEST(KeyframeScaler, AveragesTheCoveredPixelsAndRefusesWhatItCannotPlace) {
    const Color a = rgb(10, 20, 30), b = rgb(40, 50, 60), c = rgb(70, 80, 90);
    const Color d = rgb(100, 110, 120), e = rgb(130, 140, 150), f = rgb(160, 170, 180);
    const RgbImage six = image(3, 2, {a, b, c, d, e, f});
    const RgbImage blackWhite = image(2, 1, {kBlack, kWhite});
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        RgbImage keyframe;
        Placement placement;
        std::vector<Color> expected;  // empty: refused
    };
    const Case cases[] = {
        // The whole keyframe at its own size; moved a pixel right, then up: the edge
        // stands for what lies beyond it.
        {six, {1.5, 1.0, 3.0, 2.0, 3, 2}, {a, b, c, d, e, f}},
        {six, {2.5, 1.0, 3.0, 2.0, 3, 2}, {b, c, c, e, f, f}},
        {six, {1.5, 0.0, 3.0, 2.0, 3, 2}, {a, b, c, a, b, c}},
        // Half of each of two pixels; a quarter black and three quarters white.
        {blackWhite, {1.0, 0.5, 1.0, 1.0, 1, 1}, {kGrey}},
        {image(4, 1, {kBlack, kWhite, kWhite, kWhite}), {2, 0.5, 4, 1, 1, 1}, {rgb(225, 225, 225)}},
        // Half beyond the left edge; magnified, each keyframe pixel twice.
        {blackWhite, {0.5, 0.5, 2.0, 1.0, 2, 1}, {kBlack, kGrey}},
        {blackWhite, {1.0, 0.5, 2.0, 1.0, 4, 1}, {kBlack, kBlack, kWhite, kWhite}},
        // A span of 100000 pixels weighs the two edges alike; far beyond, only one.
        {blackWhite, {1.0, 0.5, 1e5, 1.0, 1, 1}, {kGrey}},
        {blackWhite, {-1e5, 0.5, 3.0, 7.0, 2, 2}, {kBlack, kBlack, kBlack, kBlack}},
        // Refused: keyframes whose pixels do not match their size, frame sizes out of
        // range, spans not positive, positions not finite or too far out.
        {RgbImage{}, {1, 1, 2, 2, 1, 1}, {}},
        {image(2, 1, {kBlack}), {1, 1, 2, 2, 1, 1}, {}},
        {image(-1, -1, {kBlack}), {1, 1, 2, 2, 1, 1}, {}},
        {blackWhite, {1, 1, 2, 2, 0, 1}, {}},
        {blackWhite, {1, 1, 2, 2, 1, app::kMostFrameSide + 1}, {}},
        {blackWhite, {1, 1, 0, 2, 1, 1}, {}},
        {blackWhite, {1, 1, 2, -2, 1, 1}, {}},
        {blackWhite, {1, 1, 1e-7, 1, 1, 1}, {}},
        {blackWhite, {nan, 1, 2, 2, 1, 1}, {}},
        {blackWhite, {1, 1, 1e300, 2, 1, 1}, {}},
        {blackWhite, {1, -1e300, 2, 2, 1, 1}, {}},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const Placement& p = cases[i].placement;
        const auto frame = app::scaleFromKeyframe(cases[i].keyframe, p.centreX, p.centreY, p.spanX,
                                                  p.spanY, p.width, p.height);
        ASSERT_EQ(frame.has_value(), !cases[i].expected.empty()) << "case " << i;
        if (frame) {
            EXPECT_EQ(frame->width * frame->height, p.width * p.height) << "case " << i;
            EXPECT_EQ(frame->pixels, cases[i].expected) << "case " << i;
        }
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
        {50.0, 30.0, 100.0, 60.0, 50, 30},          // twice the frame
        {51.3, 28.7, 71.1, 42.66, 50, 30},          // 1.42 times, off centre
        {2.0, 57.0, 100.0, 60.0, 50, 30},           // half of it beyond the corner
        {50.0, 30.0, 99.999999, 59.99999, 37, 23},  // magnified
    };
    for (const Color flat : {kWhite, rgb(1, 2, 3), rgb(255, 0, 128)}) {
        const RgbImage keyframe = image(100, 60, std::vector<Color>(6000, flat));
        for (const Placement& p : placements) {
            const auto frame = app::scaleFromKeyframe(keyframe, p.centreX, p.centreY, p.spanX,
                                                      p.spanY, p.width, p.height);
            ASSERT_TRUE(frame);
            EXPECT_EQ(frame->pixels, std::vector<Color>(frame->pixels.size(), flat)) << flat;
        }
    }

    // Every byte from black to white across the keyframe: whatever the scale, the frame
    // holds the keyframe's light (up to the rounding of each pixel) and keeps its order.
    RgbImage gradient{256, 2, {}};
    for (unsigned v = 0; v < 512; ++v)
        gradient.pixels.push_back(rgb(v % 256, v % 256, v % 256));
    auto meanLight = [](const RgbImage& picture) {
        double sum = 0.0;
        for (const Color color : picture.pixels)
            sum += app::linearOfByte(platform::redOf(color));
        return sum / static_cast<double>(picture.pixels.size()) / app::kLinearWhite;
    };
    for (const int width : {128, 100, 77, 181, 256}) {
        const auto frame = app::scaleFromKeyframe(gradient, 128.0, 1.0, 256.0, 2.0, width, 1);
        ASSERT_TRUE(frame);
        EXPECT_NEAR(meanLight(*frame), meanLight(gradient), 2e-3) << width;
        EXPECT_TRUE(std::is_sorted(frame->pixels.begin(), frame->pixels.end())) << width;
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
    // The last: into the top corner, where the frame's pixel points lie up to a pixel and
    // a half above the keyframe's top row.
    const Case cases[] = {
        {0.0, 0.0, 1.0, true},   {0.0, 0.0, 0.5, true},   {0.7, -0.3, 0.75, true},
        {-1.5, 1.0, 0.5, true},  {1.2, 0.9, 0.999, true}, {3.0, 0.0, 0.9, false},
        {0.0, -2.5, 0.6, false}, {-1.9, 1.4, 0.5, false},
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
