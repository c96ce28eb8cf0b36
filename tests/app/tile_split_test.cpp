// The split of a picture into tiles, the labels the tiles carry and the names of
// their files.
#include "app/tile_split.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/numbered_name.h"

namespace {

TEST(TileSplit, TilesCoverThePictureOnceWithSidesThatDifferByAPixelAtMost) {
    struct Case {
        int count;
        int width;
        int height;
        int tile;
        complex::PixelWindow expected;
    };
    const Case cases[] = {
        {1, 67, 41, 0, {0, 0, 67, 41}},   {4, 67, 41, 0, {0, 0, 33, 20}},
        {4, 67, 41, 3, {33, 20, 34, 21}}, {9, 67, 41, 4, {22, 13, 22, 14}},
        {9, 67, 41, 8, {44, 27, 23, 14}}, {16, 4096, 4096, 6, {2048, 1024, 1024, 1024}},
        {16, 5, 4, 15, {3, 3, 2, 1}},     {4096, 65536, 4096, 4095, {64512, 4032, 1024, 64}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.count) + " tiles of " + std::to_string(c.width) + "x" +
                     std::to_string(c.height));
        std::string why;
        const std::optional<app::TileSplit> split =
            app::TileSplit::make(c.count, c.width, c.height, why);
        ASSERT_TRUE(split) << why;
        EXPECT_EQ(split->tile(c.tile), c.expected);
        if (c.width > 4096)
            continue;
        std::vector<int> covered(static_cast<std::size_t>(c.width * c.height), 0);
        for (int i = 0; i < split->count(); ++i) {
            const complex::PixelWindow t = split->tile(i);
            EXPECT_GE(t.width, c.width / split->side());
            EXPECT_LE(t.width, c.width / split->side() + 1);
            EXPECT_GE(t.height, c.height / split->side());
            EXPECT_LE(t.height, c.height / split->side() + 1);
            for (int y = t.top; y < t.bottom(); ++y)
                for (int x = t.left; x < t.right(); ++x)
                    ++covered[static_cast<std::size_t>(y * c.width + x)];
        }
        EXPECT_EQ(std::count(covered.begin(), covered.end(), 1), c.width * c.height);
    }
}

TEST(TileSplit, RefusesCountsThatAreNotSquaresAndPicturesTooSmallForTheirTiles) {
    struct Case {
        int count;
        int width;
        int height;
        const char* reason;
    };
    const Case cases[] = {
        {0, 10, 10, "square number"},  {2, 10, 10, "square number"},
        {8, 10, 10, "square number"},  {4097, 99, 99, "square number"},
        {-4, 10, 10, "square number"}, {16, 3, 10, "too small"},
        {16, 10, 3, "too small"},      {4096, 63, 64, "too small"},
    };
    for (const Case& c : cases) {
        std::string why;
        EXPECT_FALSE(app::TileSplit::make(c.count, c.width, c.height, why)) << c.count;
        EXPECT_NE(why.find(c.reason), std::string::npos) << why;
    }
}

TEST(TileSplit, ReadsTileNumbersAndLabelsExactlyAsWritten) {
    struct Case {
        const char* text;
        bool valid;
        app::TileId id;
    };
    const Case ids[] = {
        {"0/1", true, {0, 1}},
        {"3/4", true, {3, 4}},
        {"4095/4096", true, {4095, 4096}},
        {"4/4", false, {}},
        {"1/2", false, {}},
        {"-1/4", false, {}},
        {"1/+4", false, {}},
        {"1 /4", false, {}},
        {"1/4 ", false, {}},
        {"", false, {}},
        {"/", false, {}},
        {"1/16384", false, {}},
        {"99999999999/4", false, {}},
        {"1/4/9", false, {}},
    };
    for (const Case& c : ids) {
        std::string why;
        const std::optional<app::TileId> id = app::parseTileId(c.text, why);
        EXPECT_EQ(id.has_value(), c.valid) << c.text;
        EXPECT_EQ(why.empty(), c.valid) << c.text;
        if (id) {
            EXPECT_EQ(*id, c.id) << c.text;
        }
    }
    const app::TileLabel label{{5, 9}, 4096, 2160};
    EXPECT_EQ(app::tileLabelText(label), "5/9 4096x2160");
    EXPECT_EQ(app::parseTileLabel("5/9 4096x2160"), label);
    for (const char* bad : {"5/9 4096X2160", "5/9  4096x2160", "5/9 04096x2160", "5/9 0x10",
                            "5/9 4096x", "9/9 10x10", "5/9", "5/9 10x10 ", "5/9 x10"})
        EXPECT_FALSE(app::parseTileLabel(bad)) << bad;
}

TEST(NumberedName, TakesOneIntegerConversionAndNothingElse) {
    struct Case {
        const char* pattern;
        int number;
        const char* name;  // nullptr: refused
    };
    const Case cases[] = {
        {"tile-%d.png", 7, "tile-7.png"},
        {"tile-%02d.png", 7, "tile-07.png"},
        {"tile-%05d.png", 123, "tile-00123.png"},
        {"tile-%3d.png", 7, "tile-  7.png"},
        {"t%%-%d.png", 12, "t%-12.png"},
        {"%d", 4095, "4095"},
        {"tile-%02d.png", 4095, "tile-4095.png"},
        {"tile.png", 0, nullptr},
        {"tile-%s.png", 0, nullptr},
        {"tile-%d-%d.png", 0, nullptr},
        {"tile-%ld.png", 0, nullptr},
        {"tile-%x.png", 0, nullptr},
        {"tile-%-3d.png", 0, nullptr},
        {"tile-%99d.png", 0, nullptr},
        {"tile-%n.png", 0, nullptr},
        {"tile-%", 0, nullptr},
    };
    for (const Case& c : cases) {
        std::string why;
        const std::optional<app::NumberedName> name = app::NumberedName::parse(c.pattern, why);
        EXPECT_EQ(name.has_value(), c.name != nullptr) << c.pattern;
        if (name) {
            EXPECT_EQ(name->at(c.number), c.name);
        } else {
            EXPECT_NE(why.find("one integer conversion"), std::string::npos) << why;
        }
    }
}

}  // namespace
