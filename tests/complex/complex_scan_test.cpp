#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <set>
#include <vector>

#include "complex/complex_fractal.h"
#include "complex_test_rig.h"

namespace {

using complex::kRelief;
using complex::kSimple;
using complex::kTesseral;
using complex_test::Pixel;
using complex_test::Rig;
using complex_test::TableFractal;
using platform::rgb;

// Entry n of the test palette is rgb(10 n, 200, 50).
void useRampPalette(TableFractal& f) {
    std::vector<platform::Color> colors;
    for (unsigned n = 0; n < 25; ++n)
        colors.push_back(rgb(10 * n, 200, 50));
    engine::ColorTable table;
    table.setColors(colors.data(), static_cast<int>(colors.size()));
    f.usePalette("test", std::move(table));
}

std::uint32_t sumOfCounts(const TableFractal& f) {
    std::uint32_t sum = 0;
    for (const Pixel& p : f.evaluated)
        sum += static_cast<std::uint32_t>(f.counts[p.row * f.width + p.column]);
    return sum;
}

TEST(ComplexScanTest, EvaluationOrderOfEachMethod) {
    struct Case {
        int method;
        std::vector<Pixel> order;
    };
    const Case cases[] = {
        // Column by column, each top to bottom.
        {kSimple, {{0, 0}, {0, 1}, {1, 0}, {1, 1}, {2, 0}, {2, 1}}},
        {7, {{0, 0}, {0, 1}, {1, 0}, {1, 1}, {2, 0}, {2, 1}}},
        // Diagonals from the bottom-left to the top-right corner.
        {kRelief, {{0, 1}, {0, 0}, {1, 1}, {1, 0}, {2, 1}, {2, 0}}},
        // Quadrants 1x1, 2x1, 1x1, 2x1.
        {kTesseral, {{0, 0}, {1, 0}, {2, 0}, {0, 1}, {1, 1}, {2, 1}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.method);
        Rig rig(3, 2);
        TableFractal f(rig.services());
        f.setCounts([](int column, int row) { return 1 + column + 3 * row; });
        f.scan(c.method);
        EXPECT_EQ(f.evaluated, c.order);
        EXPECT_EQ(f.runState.pointCount.load(), c.order.size());
        EXPECT_EQ(f.runState.iterationCount.load(), 21u);
    }
}

TEST(ComplexScanTest, TraceBorderVisitsEdgesInOrderOnce) {
    struct Case {
        int x, y, w, h;
        std::vector<Pixel> order;
    };
    const Case cases[] = {
        {1, 1, 0, 3, {}},
        {1, 1, 3, 0, {}},
        {2, 2, 1, 1, {{2, 2}}},
        {0, 0, 2, 2, {{0, 0}, {0, 1}, {1, 1}, {1, 0}}},
        {1, 0, 1, 5, {{1, 0}, {1, 1}, {1, 2}, {1, 3}, {1, 4}}},
        {0, 3, 5, 1, {{0, 3}, {1, 3}, {2, 3}, {3, 3}, {4, 3}}},
        // Corner, left edge down, bottom edge right, right edge down without its
        // corners, top edge right.
        {1,
         1,
         4,
         3,
         {{1, 1}, {1, 2}, {1, 3}, {2, 3}, {3, 3}, {4, 3}, {4, 2}, {2, 1}, {3, 1}, {4, 1}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.w) + "x" + std::to_string(c.h));
        Rig rig(6, 6);
        TableFractal f(rig.services());
        f.setCounts([](int column, int row) { return 1 + column + 6 * row; });
        f.runState.running = true;
        f.traceBorder(c.x, c.y, c.w, c.h);
        f.runState.running = false;
        EXPECT_EQ(f.evaluated, c.order);
    }
}

TEST(ComplexScanTest, TesseralEvaluatesEachPixelAtMostOnce) {
    struct Case {
        int width, height;
        std::function<int(int, int)> count;
        std::uint32_t expectedPoints;
    };
    const Case cases[] = {
        // Four 3x3 quadrants with mixed borders: 8 border pixels each, then the
        // single inner pixel of each.
        {6, 6, [](int c, int r) { return 1 + c + 6 * r; }, 36},
        // One count everywhere: the four quadrant borders only (4x3 each: 10 pixels).
        {8, 6, [](int, int) { return 50; }, 40},
        {1, 1, [](int, int) { return 3; }, 1},
        {13, 7, [](int c, int r) { return 1 + (c * 7 + r * 3) % 5; }, 13 * 7},
        {2, 9, [](int c, int r) { return 1 + (c + r) % 2; }, 18},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
        Rig rig(c.width, c.height);
        TableFractal f(rig.services());
        f.setMaxIterations(50);
        f.setCounts(c.count);
        f.scan(kTesseral);
        EXPECT_EQ(f.runState.pointCount.load(), c.expectedPoints);
        EXPECT_EQ(f.runState.iterationCount.load(), sumOfCounts(f));
        std::set<std::pair<int, int>> seen;
        for (const Pixel& p : f.evaluated) {
            EXPECT_TRUE(seen.insert({p.column, p.row}).second) << p.column << "," << p.row;
        }
    }
}

// Where counts come in blocks, every block edge reaches a quadrant's border, so
// filling uniform borders draws exactly what evaluating every pixel draws.
TEST(ComplexScanTest, EveryMethodDrawsTheSamePictureOfBlocks) {
    const auto blocks = [](int c, int r) { return 1 + (c >= 5) + 2 * (r >= 30) + 3 * (c >= 50); };
    Rig simpleRig(64, 48);
    TableFractal simple(simpleRig.services());
    simple.setCounts(blocks);
    simple.setMaxIterations(7);  // the top-right block is inside
    simple.scan(kSimple);

    Rig tesseralRig(64, 48);
    TableFractal tesseral(tesseralRig.services());
    tesseral.setCounts(blocks);
    tesseral.setMaxIterations(7);
    tesseral.scan(kTesseral);

    EXPECT_EQ(tesseral.picture.snapshot(), simple.picture.snapshot());
    EXPECT_EQ(tesseralRig.window.surface().snapshot(), simple.picture.snapshot());
    EXPECT_LT(tesseral.runState.pointCount.load(), 64u * 48u);
    EXPECT_EQ(simple.picture.pixel(63, 47), platform::kBlack);
}

TEST(ComplexScanTest, ReliefShadesAgainstTheUpperLeftNeighbour) {
    Rig rig(4, 4);
    TableFractal f(rig.services());
    useRampPalette(f);
    f.setMaxIterations(20);
    // Main diagonal 5, 7, 7, 3; the diagonal below it 20 (inside), 4, 9.
    f.setCounts([](int c, int r) {
        const int diagonal[] = {5, 7, 7, 3};
        if (c == r)
            return diagonal[c];
        if (r == c + 1)
            return c == 0 ? 20 : (c == 1 ? 4 : 9);
        return 1;
    });
    f.scan(kRelief);
    struct Case {
        int column, row;
        platform::Color expected;
    };
    const Case cases[] = {
        {0, 0, rgb(50, 200, 50)},    // first of its diagonal: plain
        {1, 1, rgb(170, 255, 150)},  // 7 after 5: brightened, clamped at 255
        {2, 2, rgb(70, 200, 50)},    // equal to its neighbour: plain
        {3, 3, rgb(0, 100, 0)},      // 3 after 7: darkened, clamped at 0
        {0, 1, platform::kBlack},    // inside: black
        {1, 2, rgb(0, 100, 0)},      // 4 after an inside pixel: darker
        {2, 3, rgb(190, 255, 150)},  // 9 after 4
    };
    for (const Case& c : cases) {
        EXPECT_EQ(f.picture.pixel(c.column, c.row), c.expected) << c.column << "," << c.row;
    }
}

TEST(ComplexScanTest, ShadingClampsEachChannel) {
    struct Case {
        platform::Color color;
        int depth;
        platform::Color brighter, darker;
    };
    const Case cases[] = {
        {rgb(200, 50, 100), 100, rgb(255, 150, 200), rgb(100, 0, 0)},
        {rgb(0, 255, 7), 0, rgb(0, 255, 7), rgb(0, 255, 7)},
        {rgb(1, 2, 3), 255, rgb(255, 255, 255), rgb(0, 0, 0)},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(complex::brightenColor(c.color, c.depth), c.brighter);
        EXPECT_EQ(complex::darkenColor(c.color, c.depth), c.darker);
    }
}

TEST(ComplexScanTest, ClearedRunningFlagEndsEveryMethod) {
    for (const int method : {kSimple, kRelief, kTesseral}) {
        for (const int stopAfter : {1, 2, 7, 23, 40}) {
            SCOPED_TRACE(std::to_string(method) + " after " + std::to_string(stopAfter));
            Rig rig(10, 8);
            TableFractal f(rig.services());
            f.setCounts([](int c, int r) { return 1 + (c * 3 + r) % 4; });
            constexpr platform::Color kOld = 0x123456;
            f.picture.fillRect(platform::Rect{0, 0, 10, 8}, kOld);
            f.stopAfter = stopAfter;
            f.scan(method);
            if (method == kTesseral) {
                // A quadrant's corner goes without a check.
                EXPECT_GE(f.runState.pointCount.load(), static_cast<std::uint32_t>(stopAfter));
                EXPECT_LE(f.runState.pointCount.load(), static_cast<std::uint32_t>(stopAfter + 1));
            } else {
                EXPECT_EQ(f.runState.pointCount.load(), static_cast<std::uint32_t>(stopAfter));
            }
            // What the scan did not reach keeps the previous picture.
            EXPECT_EQ(f.picture.pixel(9, 7), kOld);
        }
    }
}

}  // namespace
