#include "engine/gradient.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "engine/color_table.h"
#include "engine/oklab.h"

namespace engine {
namespace {

using platform::Color;
using platform::rgb;

TEST(OkLab, EveryColourOfAGridComesBackUnchangedAndGreysHaveNoHue) {
    // Every grey, and a grid through the cube that holds its corners.
    std::vector<Color> colors;
    for (unsigned v = 0; v < 256; ++v)
        colors.push_back(rgb(v, v, v));
    for (unsigned r = 0; r < 256; r += 15)
        for (unsigned g = 0; g < 256; g += 15)
            for (unsigned b = 0; b < 256; b += 15)
                colors.push_back(rgb(r, g, b));
    for (const Color color : colors) {
        EXPECT_EQ(colorFromOkLab(okLabFromColor(color)), color) << std::hex << color;
        if (platform::redOf(color) == platform::greenOf(color) &&
            platform::greenOf(color) == platform::blueOf(color)) {
            EXPECT_NEAR(okLabFromColor(color).a, 0.0, 1e-6);
            EXPECT_NEAR(okLabFromColor(color).b, 0.0, 1e-6);
        }
    }
    EXPECT_NEAR(okLabFromColor(platform::kWhite).lightness, 1.0, 1e-6);
    // Out of gamut and not a number are clamped, never converted undefined.
    EXPECT_EQ(colorFromOkLab({2.0, 0.0, 0.0}), platform::kWhite);
    EXPECT_EQ(colorFromOkLab({-1.0, 0.0, 0.0}), platform::kBlack);
    EXPECT_EQ(colorFromOkLab({std::nan(""), 0.0, 0.0}), platform::kBlack);
    EXPECT_EQ(srgbFromLinear(std::numeric_limits<double>::infinity()), 255u);
}

TEST(Gradient, KeepsStopsInOrderThroughEveryEdit) {
    const Color red = rgb(255, 0, 0);
    const Color green = rgb(0, 255, 0);
    const Color blue = rgb(0, 0, 255);
    Gradient gradient;
    EXPECT_EQ(gradient.addStop(0.5, green), 0u);
    EXPECT_EQ(gradient.addStop(1.5, blue), 1u);  // clamped to the right end
    EXPECT_EQ(gradient.addStop(-3.0, red), 0u);  // clamped to the left end
    EXPECT_EQ(gradient.addStop(std::nan(""), red), std::nullopt);
    EXPECT_EQ(gradient.stops(), (std::vector<GradientStop>{{0.0, red}, {0.5, green}, {1.0, blue}}));
    // Moving past a neighbour reorders; a stop on another's place goes after it.
    EXPECT_EQ(gradient.moveStop(0, 0.75), 1u);
    EXPECT_EQ(gradient.moveStop(2, 0.5), 1u);
    EXPECT_EQ(gradient.stops(),
              (std::vector<GradientStop>{{0.5, green}, {0.5, blue}, {0.75, red}}));
    EXPECT_EQ(gradient.moveStop(3, 0.2), std::nullopt);
    EXPECT_EQ(gradient.moveStop(0, std::nan("")), std::nullopt);
    EXPECT_TRUE(gradient.setStopColor(2, green));
    EXPECT_FALSE(gradient.setStopColor(3, green));
    EXPECT_TRUE(gradient.removeStop(1));
    EXPECT_FALSE(gradient.removeStop(2));
    EXPECT_EQ(gradient.stops(), (std::vector<GradientStop>{{0.5, green}, {0.75, green}}));
    while (gradient.addStop(0.1, red)) {
    }
    EXPECT_EQ(gradient.stops().size(), Gradient::kMostStops);
}

TEST(Gradient, SamplesGiveTheStopsWhereTheyLieAndMixBetweenThem) {
    const Color black = platform::kBlack;
    const Color white = platform::kWhite;
    const Color orange = rgb(255, 128, 0);
    const Gradient gradient({{0.25, black}, {0.5, white}, {1.0, orange}});
    struct Case {
        double position;
        Color color;
    };
    const Case cases[] = {
        {0.0, black},
        {0.25, black},
        {0.5, white},
        {1.0, orange},
        {-1.0, black},
        {2.0, orange},
        // Halfway from black to white in OKLab is lightness 0.5: a grey well below
        // the sRGB halfway 128 in light, above it in bytes.
        {0.375, rgb(99, 99, 99)},
    };
    for (const Case& c : cases)
        EXPECT_EQ(gradient.colorAt(c.position), c.color) << c.position;

    // Five entries fall on 0, 0.25, 0.5, 0.75 and 1: three of them on stops.
    const std::vector<Color> five = gradient.sample(5);
    ASSERT_EQ(five.size(), 5u);
    EXPECT_EQ(five[0], black);
    EXPECT_EQ(five[1], black);
    EXPECT_EQ(five[2], white);
    EXPECT_EQ(five[3], mixOkLab(white, orange, 0.5));
    EXPECT_EQ(five[4], orange);
    // Lightness rises steadily from black to white.
    const std::vector<Color> many = Gradient({{0.0, black}, {1.0, white}}).sample(4096);
    ASSERT_EQ(many.size(), 4096u);
    for (std::size_t k = 1; k < many.size(); ++k)
        EXPECT_GE(platform::redOf(many[k]), platform::redOf(many[k - 1]));

    for (const int count : {-1, 0, 1, 4097})
        EXPECT_TRUE(gradient.sample(count).empty()) << count;
    EXPECT_TRUE(Gradient().sample(16).empty());
    EXPECT_EQ(Gradient().colorAt(0.5), platform::kBlack);
}

TEST(Gradient, FromAPaletteTakesEvenlySpacedEntriesWithBothEnds) {
    const std::vector<Color> palette(builtInPalette().begin(), builtInPalette().end());
    struct Case {
        std::size_t stopsAsked;
        std::vector<std::size_t> entries;
    };
    const Case cases[] = {
        {5, {0, 63, 127, 190, 254}}, {2, {0, 254}}, {0, {0, 254}},  // at least the two ends
    };
    for (const Case& c : cases) {
        const Gradient gradient = Gradient::fromPalette(palette, c.stopsAsked);
        ASSERT_EQ(gradient.stops().size(), c.entries.size());
        for (std::size_t k = 0; k < c.entries.size(); ++k)
            EXPECT_EQ(gradient.stops()[k].color, palette[c.entries[k]]) << k;
        EXPECT_EQ(gradient.stops().back().position, 1.0);
    }
    EXPECT_EQ(Gradient::fromPalette({rgb(1, 2, 3)}, 8).stops(),
              (std::vector<GradientStop>{{0.0, rgb(1, 2, 3)}}));
    EXPECT_TRUE(Gradient::fromPalette({}, 8).empty());
}

TEST(Gradient, PaletteTextReadsBackAsTheSameColoursAtAnyLength) {
    const Gradient gradient({{0.0, rgb(0, 0, 64)},
                             {0.4, rgb(255, 255, 255)},
                             {0.6, rgb(255, 160, 0)},
                             {1.0, rgb(30, 0, 0)}});
    for (const int count : {2, 255, 1000, 4096}) {
        const std::vector<Color> colors = gradient.sample(count);
        const std::string text = paletteText(colors);
        std::vector<Color> read(colors.size() + 1);
        const int n =
            parsePalette(text.data(), text.size(), read.data(), static_cast<int>(read.size()));
        read.resize(static_cast<std::size_t>(n));
        EXPECT_EQ(read, colors) << count;
    }
    EXPECT_EQ(paletteText({rgb(1, 2, 3), rgb(255, 0, 128)}), "1 2 3\n255 0 128\n");
}

}  // namespace
}  // namespace engine
