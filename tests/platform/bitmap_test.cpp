#include "platform/bitmap.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace platform {
namespace {

constexpr Color kRed = rgb(255, 0, 0);
constexpr Color kBlue = rgb(0, 0, 255);

// The bitmap as rows of characters: '.' black, '#' the colour c, '?' anything else.
std::vector<std::string> picture(const Bitmap& bitmap, Color c) {
    std::vector<std::string> rows;
    for (int y = 0; y < bitmap.height(); ++y) {
        std::string row;
        for (int x = 0; x < bitmap.width(); ++x) {
            const Color p = bitmap.pixel(x, y);
            row += p == kBlack ? '.' : p == c ? '#' : '?';
        }
        rows.push_back(row);
    }
    return rows;
}

using Rows = std::vector<std::string>;

TEST(Bitmap, FillRectExcludesRightAndBottomAndClips) {
    struct Case {
        const char* what;
        Rect rect;
        Rows expected;
    };
    const Case cases[] = {
        {"inside", {1, 1, 3, 3}, {"....", ".##.", ".##.", "...."}},
        {"empty when right equals left", {2, 0, 2, 4}, {"....", "....", "....", "...."}},
        {"reversed is empty", {3, 3, 1, 1}, {"....", "....", "....", "...."}},
        {"clipped at the top left", {-5, -5, 1, 2}, {"#...", "#...", "....", "...."}},
        {"clipped at the bottom right", {3, 2, 100, 100}, {"....", "....", "...#", "...#"}},
        {"extreme coordinates",
         {INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX},
         {"####", "####", "####", "####"}},
    };
    for (const Case& c : cases) {
        Bitmap bitmap(4, 4);
        bitmap.fillRect(c.rect, kRed);
        EXPECT_EQ(picture(bitmap, kRed), c.expected) << c.what;
    }
}

TEST(Bitmap, WriteRowStoresItsColoursAndClips) {
    struct Case {
        const char* what;
        int x, y, count;
        Rows expected;
    };
    const Case cases[] = {
        {"inside", 1, 2, 2, {"....", "....", ".#?.", "...."}},
        {"clipped at the left", -1, 0, 3, {"?#..", "....", "....", "...."}},
        {"clipped at the right", 2, 3, 5, {"....", "....", "....", "..#?"}},
        {"row above", 0, -1, 4, {"....", "....", "....", "...."}},
        {"row below", 0, 4, 4, {"....", "....", "....", "...."}},
        {"nothing to write", 0, 0, 0, {"....", "....", "....", "...."}},
        {"far to the left", INT32_MIN, 1, INT32_MAX, {"....", "....", "....", "...."}},
    };
    // Red, blue, red, ...: the colour written at each column shows where the run began.
    std::vector<Color> colors(8);
    for (std::size_t k = 0; k < colors.size(); ++k)
        colors[k] = k % 2 == 0 ? kRed : kBlue;
    for (const Case& c : cases) {
        Bitmap bitmap(4, 4);
        bitmap.writeRow(c.x, c.y, c.count, colors.data());
        EXPECT_EQ(picture(bitmap, kRed), c.expected) << c.what;
    }
}

// Long runs are written several pixels a store: every pixel of the run, whatever its
// length and where it starts, must land in its column, and nothing beside it.
TEST(Bitmap, WriteRowPutsEveryColourOfALongRunInItsColumn) {
    struct Case {
        int x, count;
    };
    const Case cases[] = {
        {0, 4},  {0, 5},  {1, 7},   {3, 8},   {2, 13},  {5, 16}, {0, 37},
        {7, 30}, {-3, 9}, {-6, 45}, {30, 10}, {33, 12}, {0, 36},
    };
    constexpr int kWidth = 37;
    std::vector<Color> colors(64);
    for (std::size_t k = 0; k < colors.size(); ++k)
        colors[k] = rgb(static_cast<int>(k) + 1, 2, 3);
    for (const Case& c : cases) {
        Bitmap bitmap(kWidth, 3);
        bitmap.writeRow(c.x, 1, c.count, colors.data());
        for (int y = 0; y < 3; ++y) {
            for (int x = 0; x < kWidth; ++x) {
                const bool inRun = y == 1 && x >= c.x && x < c.x + c.count;
                const Color expected = inRun ? colors[static_cast<std::size_t>(x - c.x)] : kBlack;
                ASSERT_EQ(bitmap.pixel(x, y), expected)
                    << "run at " << c.x << " of " << c.count << ", pixel " << x << "," << y;
            }
        }
    }
}

TEST(Bitmap, WhitenessFillsTheGivenBlock) {
    Bitmap bitmap(3, 2);
    bitmap.whiteness(1, 0, 5, 1);
    EXPECT_EQ(picture(bitmap, kWhite), (Rows{".##", "..."}));
    bitmap.whiteness(INT32_MAX - 1, 0, INT32_MAX, 5);  // must not overflow
}

TEST(Bitmap, OutlineCoversColumnsAAndCMinusOneAndRowsBAndDMinusOne) {
    struct Case {
        const char* what;
        int a, b, c, d;
        Rows expected;
    };
    const Case cases[] = {
        {"plain", 1, 1, 5, 4, {"......", ".####.", ".#..#.", ".####.", "......"}},
        {"corners given the other way",
         5,
         4,
         1,
         1,
         {"......", ".####.", ".#..#.", ".####.", "......"}},
        {"one pixel", 2, 2, 3, 3, {"......", "......", "..#...", "......", "......"}},
        {"no width", 2, 1, 2, 4, {"......", "......", "......", "......", "......"}},
        {"partly outside", -2, -2, 3, 3, {"..#...", "..#...", "###...", "......", "......"}},
    };
    for (const Case& c : cases) {
        Bitmap bitmap(6, 5);
        bitmap.outline(c.a, c.b, c.c, c.d, kRed);
        EXPECT_EQ(picture(bitmap, kRed), c.expected) << c.what;
    }
}

TEST(Bitmap, StretchPicksTheNearestSourcePixel) {
    Bitmap source(2, 2);
    source.setPixel(0, 0, kRed);
    source.setPixel(1, 1, kRed);
    Bitmap enlarged(4, 4);
    enlarged.stretchFrom(source, 0, 0, 4, 4, 0, 0, 2, 2);
    EXPECT_EQ(picture(enlarged, kRed), (Rows{"##..", "##..", "..##", "..##"}));

    Bitmap wide(4, 1);
    wide.setPixel(0, 0, kRed);
    wide.setPixel(2, 0, kBlue);
    Bitmap shrunk(2, 1);
    shrunk.stretchFrom(wide, 0, 0, 2, 1, 0, 0, 4, 1);
    EXPECT_EQ(shrunk.pixel(0, 0), kRed);
    EXPECT_EQ(shrunk.pixel(1, 0), kBlue);

    Bitmap clipped(3, 3);
    clipped.stretchFrom(source, -2, -2, 4, 4, 0, 0, 2, 2);  // only the lower right quarter lands
    EXPECT_EQ(picture(clipped, kRed), (Rows{"##.", "##.", "..."}));
    clipped.stretchFrom(source, 0, 0, 3, 3, 0, 0, 0, 2);  // an empty source changes nothing
    EXPECT_EQ(picture(clipped, kRed), (Rows{"##.", "##.", "..."}));
}

TEST(Bitmap, CopyTakesOnlyPixelsInsideBothBitmaps) {
    Bitmap source(3, 3);
    source.fillRect({0, 0, 3, 3}, kRed);
    source.setPixel(2, 2, kBlue);
    struct Case {
        const char* what;
        int dx, dy, w, h, sx, sy;
        Rows expected;
    };
    const Case cases[] = {
        {"whole", 0, 0, 3, 3, 0, 0, {"###.", "###.", "##?.", "...."}},
        {"shifted into the corner", 2, 2, 3, 3, 0, 0, {"....", "....", "..##", "..##"}},
        {"source partly outside", 0, 0, 3, 3, 1, 1, {"##..", "#?..", "....", "...."}},
        {"destination before the origin", -2, -2, 3, 3, 0, 0, {"?...", "....", "....", "...."}},
        {"nothing", 0, 0, 0, 3, 0, 0, {"....", "....", "....", "...."}},
    };
    for (const Case& c : cases) {
        Bitmap target(4, 4);
        target.copyFrom(source, c.dx, c.dy, c.w, c.h, c.sx, c.sy);
        EXPECT_EQ(picture(target, kRed), c.expected) << c.what;
    }
}

TEST(Bitmap, EmptyBitmapIgnoresDrawingAndReadsBlack) {
    Bitmap empty(0, 10);
    EXPECT_TRUE(empty.empty());
    empty.setPixel(0, 0, kRed);
    empty.fillRect({0, 0, 5, 5}, kRed);
    empty.outline(0, 0, 5, 5, kRed);
    Bitmap source(2, 2);
    empty.copyFrom(source, 0, 0, 2, 2, 0, 0);
    empty.stretchFrom(source, 0, 0, 2, 2, 0, 0, 2, 2);
    EXPECT_EQ(empty.pixel(0, 0), kBlack);
    EXPECT_TRUE(empty.snapshot().empty());

    Bitmap bitmap(2, 2);
    bitmap.setPixel(-1, 0, kRed);
    bitmap.setPixel(2, 0, kRed);
    EXPECT_EQ(bitmap.pixel(-1, 0), kBlack);
    EXPECT_EQ(bitmap.snapshot(), std::vector<Color>(4, kBlack));
    bitmap.resize(-3, 5);
    EXPECT_TRUE(bitmap.empty());
}

}  // namespace
}  // namespace platform
