#include "view/view_window.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <random>
#include <utility>
#include <vector>

namespace {

using view::ViewWindow;

ViewWindow viewOf(int width, int height, bool keepAspect = true) {
    ViewWindow v(keepAspect);
    v.setScreenSize(width, height);
    return v;
}

// A view of the size whose centre is (cx, cy) and whose pixels are `scale` wide and high.
ViewWindow viewAt(int width, int height, double cx, double cy, double scale) {
    ViewWindow v = viewOf(width, height);
    const double halfWidth = scale * width * 0.5;
    const double halfHeight = scale * height * 0.5;
    v.setRect(cx - halfWidth, cy - halfHeight, cx + halfWidth, cy + halfHeight);
    return v;
}

// The distance between neighbouring doubles at the magnitude of value.
double ulpOf(double value) {
    const double magnitude = std::fabs(value);
    return std::nextafter(magnitude, std::numeric_limits<double>::infinity()) - magnitude;
}

// Whether every two neighbouring columns and rows map to different plane coordinates.
bool neighboursDistinct(const ViewWindow& v) {
    for (int column = 1; column < v.width; ++column) {
        if (!(v.planeX(column) > v.planeX(column - 1)))
            return false;
    }
    for (int row = 1; row <= v.maxY; ++row) {
        if (!(v.planeY(row) < v.planeY(row - 1)))
            return false;
    }
    return true;
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
    ASSERT_TRUE(view::planeToPixel(v, v.xmin, v.ymin, column, row));
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
        EXPECT_EQ(view::truncToInt(c.value, result), c.fits);
        if (c.fits) {
            EXPECT_EQ(result, c.result);
        }
    }
}

TEST(ViewWindowResize, KeepsTheCentreAndTheScale) {
    struct Case {
        const char* name;
        double cx, cy, scale;
        int fromWidth, fromHeight, toWidth, toHeight;
    };
    const Case cases[] = {
        {"tall to wide", -0.55, 0.0, 3.1 / 480, 480, 536, 536, 480},
        {"wide to tall", -0.55, 0.0, 3.1 / 536, 536, 480, 480, 536},
        {"larger", -0.55, 0.0, 3.1 / 480, 480, 536, 960, 1072},
        {"smaller", -0.55, 0.0, 3.1 / 480, 480, 536, 240, 268},
        {"deep", -1.75, 1e-3, 1e-13, 480, 536, 536, 480},
        {"far out", 1e3, -2e3, 1e-6, 480, 536, 1920, 1080},
        {"one pixel", 0.25, 0.5, 0.01, 480, 536, 1, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ViewWindow v = viewAt(c.fromWidth, c.fromHeight, c.cx, c.cy, c.scale);
        const std::optional<ViewWindow> mapped = v.resizedTo(c.toWidth, c.toHeight);
        ASSERT_TRUE(mapped.has_value());
        EXPECT_EQ(mapped->width, c.toWidth);
        EXPECT_EQ(mapped->height, c.toHeight);
        EXPECT_EQ(mapped->maxY, c.toHeight - 1);
        // Edges are doubles: what they can hold bounds every comparison.
        const double xUlp = ulpOf(std::fabs(v.xcenter) + v.xrange);
        const double yUlp = ulpOf(std::fabs(v.ycenter) + v.yrange);
        EXPECT_NEAR(mapped->xcenter, v.xcenter, 2 * xUlp);
        EXPECT_NEAR(mapped->ycenter, v.ycenter, 2 * yUlp);
        // The same plane units per pixel, so the extent follows the pixel count.
        EXPECT_NEAR(mapped->xrange, v.xscale * c.toWidth, 4 * xUlp + 1e-13 * mapped->xrange);
        EXPECT_NEAR(mapped->yrange, v.yscale * c.toHeight, 4 * yUlp + 1e-13 * mapped->yrange);

        // Back at its own size the view is exactly itself; one trip there and back
        // stays within a few units of the last place.
        const std::optional<ViewWindow> same = v.resizedTo(c.fromWidth, c.fromHeight);
        ASSERT_TRUE(same.has_value());
        EXPECT_TRUE(ViewWindow::sameView(*same, v));
        const std::optional<ViewWindow> back = mapped->resizedTo(c.fromWidth, c.fromHeight);
        ASSERT_TRUE(back.has_value());
        EXPECT_NEAR(back->xmin, v.xmin, 4 * xUlp);
        EXPECT_NEAR(back->xmax, v.xmax, 4 * xUlp);
        EXPECT_NEAR(back->ymin, v.ymin, 4 * yUlp);
        EXPECT_NEAR(back->ymax, v.ymax, 4 * yUlp);
    }
}

TEST(ViewWindowResize, RefusesWhatCannotBeMapped) {
    const ViewWindow uncomputed(true);  // derived values not yet computed
    EXPECT_FALSE(uncomputed.resizedTo(480, 536).has_value());
    const ViewWindow v = viewAt(480, 536, 0.0, 0.0, 0.01);
    EXPECT_FALSE(v.resizedTo(0, 536).has_value());
    EXPECT_FALSE(v.resizedTo(480, -1).has_value());
    const ViewWindow huge = viewAt(2, 2, 0.0, 0.0, 4e307);  // larger, its extent overflows
    ASSERT_TRUE(std::isfinite(huge.xrange));
    EXPECT_FALSE(huge.resizedTo(60000, 60000).has_value());
}

TEST(ViewWindowDepth, AcceptsViewsWhoseNeighbouringPixelsStayDistinct) {
    // Centres at several magnitudes, and pixel sizes in units of the last place at
    // the centre: the criterion accepts a little above twice that unit, where every
    // neighbouring pair is distinct, refuses a little below, and well below the
    // pixels do collapse, so the limit is near the true one.
    struct Case {
        double centre;
        double ulps;  // pixel size in units of the last place at the centre
        bool resolves;
        std::optional<bool> distinct;  // nullopt: either may happen
    };
    const Case cases[] = {
        {1.5, 2.1, true, true},   {1.5, 1.9, false, {}},      {1.5, 0.25, false, false},
        {-1.75, 2.1, true, true}, {-1.75, 1.9, false, {}},    {-1.75, 0.25, false, false},
        {1e3, 2.1, true, true},   {1e3, 1.9, false, {}},      {1e3, 0.25, false, false},
        {-0.75, 2.1, true, true}, {-0.75, 1.9, false, {}},    {-0.75, 0.25, false, false},
        {1e15, 2.1, true, true},  {1e15, 0.25, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.centre << " at " << c.ulps << " ulps");
        const ViewWindow v = viewAt(480, 536, c.centre, c.centre, c.ulps * ulpOf(c.centre));
        EXPECT_EQ(v.resolvesPixels(), c.resolves);
        if (c.distinct) {
            EXPECT_EQ(neighboursDistinct(v), *c.distinct);
        }
    }
    // Doubles are dense near zero: a view about the origin resolves far deeper.
    const ViewWindow origin = viewAt(480, 536, 0.0, 0.0, 1e-300);
    EXPECT_TRUE(origin.resolvesPixels());
    EXPECT_TRUE(neighboursDistinct(origin));
}

TEST(ViewWindowDepth, OnlyAViewThatShowsMoreMayStayTooDeep) {
    const ViewWindow deep = viewAt(480, 536, 1.5, 0.0, 0.5 * ulpOf(1.5));
    const ViewWindow resolved = viewAt(480, 536, 1.5, 0.0, 3.0 * ulpOf(1.5));
    ASSERT_FALSE(deep.resolvesPixels());
    ASSERT_TRUE(resolved.resolvesPixels());
    EXPECT_TRUE(view::zoomsTooDeep(resolved, deep));
    EXPECT_FALSE(view::zoomsTooDeep(deep, resolved));
    EXPECT_FALSE(view::zoomsTooDeep(resolved, resolved));
    // Out of a view stored too deep: a larger one that is still too deep is allowed,
    // the same view again or a deeper one is not.
    EXPECT_FALSE(view::zoomsTooDeep(deep, deep.scaledAbout(1.5, 0.0, 0.6)));
    EXPECT_TRUE(view::zoomsTooDeep(deep, deep));
    EXPECT_TRUE(view::zoomsTooDeep(deep, deep.scaledAbout(1.5, 0.0, 2.0)));
}

TEST(ZoomHistoryTest, ResizedToMapsEveryViewAndLeavesOutTheUnusable) {
    view::ZoomHistory history;
    history.push(viewAt(2, 2, 0.0, 0.0, 1.0));
    history.push(viewAt(2, 2, 0.0, 0.0, 4e307));  // its mapped extent overflows
    history.push(viewAt(2, 2, -0.5, 0.25, 0.5));
    const view::ZoomHistory mapped = history.resizedTo(6, 4);
    ASSERT_EQ(mapped.count(), 2);
    EXPECT_EQ(mapped.at(0).xcenter, 0.0);
    EXPECT_EQ(mapped.at(0).xrange, 6.0);
    EXPECT_EQ(mapped.at(1).xcenter, -0.5);
    EXPECT_EQ(mapped.at(1).yrange, 2.0);
    EXPECT_EQ(mapped.at(1).width, 6);
}

// The views of a history script are numbered by their centre: view n lies at x = n.
ViewWindow numbered(int n) {
    return viewAt(4, 4, n, 0.0, 1.0);
}

std::vector<int> numbersOf(const view::ZoomHistory& history, bool forward) {
    std::vector<int> numbers;
    const int count = forward ? history.forwardCount() : history.count();
    for (int i = 0; i < count; ++i) {
        const ViewWindow& v = forward ? history.forwardAt(i) : history.at(i);
        numbers.push_back(static_cast<int>(v.xcenter));
    }
    return numbers;
}

std::vector<int> range(int first, int last) {
    std::vector<int> numbers;
    for (int n = first; n <= last; ++n)
        numbers.push_back(n);
    return numbers;
}

std::vector<int> countDown(int first, int last) {
    std::vector<int> numbers;
    for (int n = first; n >= last; --n)
        numbers.push_back(n);
    return numbers;
}

// Scripts of (operation, times): 'n' zooms (the view shown goes in, the next number is
// shown), 'b' back, 'f' forward, 'p' pop (the undo of a gesture that did not move).
TEST(ZoomHistoryTest, KeepsTheNewestViewsAndGoesBackAndForward) {
    constexpr int kCap = view::ZoomHistory::kCapacity;
    const struct {
        const char* name;
        std::vector<std::pair<char, int>> script;
        int shown;
        std::vector<int> back;
        std::vector<int> forward;  // the next one last
    } table[] = {
        {"three zooms", {{'n', 3}}, 3, {0, 1, 2}, {}},
        {"back twice", {{'n', 3}, {'b', 2}}, 1, {0}, {3, 2}},
        {"back and forward", {{'n', 3}, {'b', 2}, {'f', 1}}, 2, {0, 1}, {3}},
        {"a new view clears forward", {{'n', 3}, {'b', 2}, {'n', 1}}, 4, {0, 1}, {}},
        {"back beyond the oldest", {{'n', 2}, {'b', 5}}, 0, {}, {2, 1}},
        {"forward beyond the newest", {{'n', 2}, {'b', 1}, {'f', 3}}, 2, {0, 1}, {}},
        {"pop after a zoom undoes it whole",
         {{'n', 3}, {'b', 2}, {'n', 1}, {'p', 1}},
         1,  // the view the zoom left
         {0},
         {3, 2}},
        {"pop after back takes no forward", {{'n', 3}, {'b', 1}, {'p', 1}}, 1, {0}, {3}},
        // Full: the newest are kept. 40 presses of + after Home go back to the 39th.
        {"full keeps the newest",
         {{'n', kCap + 40}, {'b', 1}},
         kCap + 39,
         range(40, kCap + 38),
         {kCap + 40}},
        {"pop after a zoom that forgot the oldest",
         {{'n', kCap + 1}, {'p', 1}},
         kCap,
         range(0, kCap - 1),
         {}},
        {"back and forward never hold more than the capacity",
         {{'n', kCap + 5}, {'b', kCap + 5}, {'f', 3}},
         8,
         range(5, 7),
         countDown(kCap + 5, 9)},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.name);
        view::ZoomHistory history;
        ViewWindow shown = numbered(0);
        view::DeepViewPtr deep;
        int next = 1;
        for (const auto& [op, times] : row.script) {
            for (int i = 0; i < times; ++i) {
                if (op == 'n') {
                    history.push(shown);
                    shown = numbered(next++);
                } else if (op == 'b') {
                    history.back(shown, deep);
                } else if (op == 'f') {
                    history.forward(shown, deep);
                } else {
                    history.pop(shown);
                }
            }
        }
        EXPECT_EQ(static_cast<int>(shown.xcenter), row.shown);
        EXPECT_EQ(numbersOf(history, false), row.back);
        EXPECT_EQ(numbersOf(history, true), row.forward);
        EXPECT_LE(history.count() + history.forwardCount(), kCap);
    }
}

TEST(ZoomHistoryTest, ResizedToKeepsTheWayForward) {
    view::ZoomHistory history;
    ViewWindow shown = viewAt(2, 2, 3.0, 0.0, 1.0);
    view::DeepViewPtr deep;
    history.push(viewAt(2, 2, 1.0, 0.0, 1.0));
    history.push(viewAt(2, 2, 2.0, 0.0, 1.0));
    ASSERT_TRUE(history.back(shown, deep));
    const view::ZoomHistory mapped = history.resizedTo(6, 4);
    ASSERT_EQ(mapped.count(), 1);
    ASSERT_EQ(mapped.forwardCount(), 1);
    EXPECT_EQ(mapped.forwardAt(0).xcenter, 3.0);
    EXPECT_EQ(mapped.forwardAt(0).width, 6);
    EXPECT_FALSE(view::ZoomHistory::same(history, mapped));
    EXPECT_TRUE(view::ZoomHistory::same(history, history.resizedTo(2, 2)));
}

}  // namespace
