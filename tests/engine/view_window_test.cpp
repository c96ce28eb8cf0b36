#include "engine/view_window.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

namespace {

using engine::ViewWindow;

ViewWindow viewOf(int width, int height, bool keepAspect = true) {
    ViewWindow v(keepAspect);
    v.setScreenSize(width, height);
    return v;
}

TEST(ViewWindowTest, CentreOnOriginGivesOneUnitPerPixel) {
    ViewWindow v = viewOf(240, 268);
    v.centreOnOrigin();
    EXPECT_EQ(v.xmin, -120);
    EXPECT_EQ(v.xmax, 120);
    EXPECT_EQ(v.ymin, -134);
    EXPECT_EQ(v.ymax, 134);
    EXPECT_EQ(v.xscale, 1.0);
    EXPECT_EQ(v.yscale, 1.0);
    EXPECT_EQ(v.maxY, 267);

    // Integer halves, then the aspect correction widens x to 241 / 268.
    ViewWindow odd = viewOf(241, 268);
    odd.centreOnOrigin();
    EXPECT_EQ(odd.ymin, -134);
    EXPECT_EQ(odd.ymax, 134);
    EXPECT_NEAR(odd.xmax - odd.xmin, 268.0 * 241.0 / 268.0, 1e-9);
    EXPECT_NEAR(odd.xcenter, 0.0, 1e-12);
}

TEST(ViewWindowTest, SetRectOrdersCornersAndWidensToTheAspect) {
    ViewWindow plain = viewOf(240, 268, /*keepAspect=*/false);
    plain.setRect(2, 5, -2, 1);
    EXPECT_EQ(plain.xmin, -2);
    EXPECT_EQ(plain.xmax, 2);
    EXPECT_EQ(plain.ymin, 1);
    EXPECT_EQ(plain.ymax, 5);

    ViewWindow fitted = viewOf(240, 268);
    fitted.setRect(-2, -1, 2, 1);
    EXPECT_EQ(fitted.xmin, -2);
    EXPECT_EQ(fitted.xmax, 2);
    EXPECT_NEAR(fitted.ymax, 2.2333333333, 1e-9);
    EXPECT_NEAR(fitted.ymin, -2.2333333333, 1e-9);
    EXPECT_NEAR(fitted.xscale, fitted.yscale, 1e-12);
}

TEST(ViewWindowTest, RowMappingRulesAreUsedAsWritten) {
    ViewWindow v = viewOf(240, 268);
    v.centreOnOrigin();
    EXPECT_EQ(v.planeY(0), v.ymin + (268 - 2) * v.yscale);
    EXPECT_EQ(v.planeY(v.maxY), v.ymin - v.yscale);
    EXPECT_EQ(v.planeY(266), v.ymin);
    EXPECT_EQ(v.planeX(0), v.xmin);

    int column = -1;
    int row = -1;
    ASSERT_TRUE(engine::planeToPixel(v, v.xmin, v.ymin, column, row));
    EXPECT_EQ(column, 0);
    EXPECT_EQ(row, v.maxY);
}

TEST(ViewWindowTest, RectanglesWithoutUsableExtentKeepThePreviousView) {
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        const char* name;
        double x1, y1, x2, y2;
    };
    const Case cases[] = {
        {"a point", 1, 1, 1, 1},
        {"infinite edge", -inf, 0, 1, 1},
        {"NaN edge", nan, 0, 1, 1},
        {"overflowing extent", -1e308, -1e308, 1e308, 1e308},
        {"denormal extent", 0, 0, 1e-320, 1e-320},  // pixels per unit overflow
        {"denormal line", 0, 0, 1e-320, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ViewWindow v = viewOf(240, 268);
        v.setRect(-2, -1, 2, 1);
        const ViewWindow before = v;
        v.setRect(c.x1, c.y1, c.x2, c.y2);
        EXPECT_TRUE(ViewWindow::sameView(v, before));
        EXPECT_TRUE(std::isfinite(v.xpix) && std::isfinite(v.ypix));
    }
    // A line (zero height) is widened by the aspect correction and stays usable.
    ViewWindow line = viewOf(240, 268);
    line.setRect(-1, 0, 1, 0);
    EXPECT_GT(line.yrange, 0.0);
    EXPECT_TRUE(std::isfinite(line.ypix));
}

// A stored view or the View dialog's untouched fields hand back a rectangle that was
// fitted before; fitting it again must not move an edge by even one unit in the last
// place, or every restart and every Ok would shift the view.
TEST(ViewWindowTest, AFittedRectangleStaysAsItIsWhenSetAgain) {
    std::mt19937_64 random(13);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    int checked = 0;
    for (const double scale : {1e-3, 1.0, 2.0, 1e3, 1e200}) {
        for (const double width : {1e-13, 1e-12, 9e-6, 3.3e-5, 0.01, 3.5, 400.0}) {
            for (int i = 0; i < 300; ++i) {
                ViewWindow v = viewOf(1 + static_cast<int>(random() % 1999),
                                      1 + static_cast<int>(random() % 1999));
                const double cx = unit(random) * 2 * scale;
                const double cy = unit(random) * 2 * scale;
                const double w = width * scale;
                const double h = w * std::exp2(unit(random) * 4);
                v.setRect(cx - w / 2, cy - h / 2, cx + w / 2, cy + h / 2);
                const ViewWindow fitted = v;
                v.setRect(fitted.xmin, fitted.ymin, fitted.xmax, fitted.ymax);
                ASSERT_TRUE(ViewWindow::sameView(v, fitted))
                    << "width " << w << " at " << cx << "," << cy << " on " << v.width << "x"
                    << v.height;
                ++checked;
            }
        }
    }
    EXPECT_EQ(checked, 5 * 7 * 300);
}

// Leaving a rectangle alone is only for the rounding of its edges: one that misses the
// aspect by more is widened, however deep the view.
TEST(ViewWindowTest, ADeepRectangleOffTheAspectIsStillWidened) {
    for (const double width : {9e-6, 1e-12}) {
        SCOPED_TRACE(width);
        ViewWindow v = viewOf(240, 268);
        const double cx = -0.7436438870371587;
        const double cy = 0.13182590420531198;
        const double h = width * 268.0 / 240.0 * 0.999;
        v.setRect(cx - width / 2, cy - h / 2, cx + width / 2, cy + h / 2);
        EXPECT_NEAR(v.yrange / v.xrange, 268.0 / 240.0, 5e-4);
        EXPECT_GT(v.yrange, h);
    }
}

TEST(ViewWindowTest, ScaleAboutIgnoresFactorsOfZeroOrLess) {
    ViewWindow v = viewOf(240, 268);
    v.centreOnOrigin();
    const ViewWindow before = v;
    for (double factor : {0.0, -1.0, std::numeric_limits<double>::quiet_NaN()}) {
        v.scaleAbout(0, 0, factor);
        EXPECT_TRUE(ViewWindow::sameView(v, before));
    }
    v.scaleAbout(0, 0, 0.6);
    EXPECT_NEAR(v.xmax, 120 / 0.6, 1e-9);
    EXPECT_NEAR(v.ymin, -134 / 0.6, 1e-9);
}

TEST(ViewWindowTest, TruncToIntRefusesWhatDoesNotFit) {
    struct Case {
        double value;
        bool fits;
        int result;
    };
    const Case cases[] = {
        {0.0, true, 0},
        {-0.7, true, 0},
        {2.9, true, 2},
        {-2.9, true, -2},
        {2147483647.9, true, 2147483647},
        {-2147483648.9, true, -2147483647 - 1},
        {2147483648.0, false, 0},
        {-2147483649.0, false, 0},
        {std::numeric_limits<double>::infinity(), false, 0},
        {std::numeric_limits<double>::quiet_NaN(), false, 0},
        {1e300, false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        int result = 0;
        EXPECT_EQ(engine::truncToInt(c.value, result), c.fits);
        if (c.fits) {
            EXPECT_EQ(result, c.result);
        }
    }
}

TEST(ZoomHistoryTest, KeepsTheFirst32ViewsAndPopsThemNewestFirst) {
    engine::ZoomHistory history;
    ViewWindow v = viewOf(240, 268);
    for (int i = 0; i < 33; ++i) {
        v.setRect(i, 0, i + 1, 1);
        EXPECT_EQ(history.push(v), i < 32);
    }
    EXPECT_EQ(history.count(), 32);
    for (int i = 31; i >= 0; --i) {
        ASSERT_TRUE(history.pop(v));
        EXPECT_NEAR(v.xcenter, i + 0.5, 1e-12);
    }
    const ViewWindow last = v;
    EXPECT_FALSE(history.pop(v));
    EXPECT_TRUE(ViewWindow::sameView(v, last));
}

}  // namespace
