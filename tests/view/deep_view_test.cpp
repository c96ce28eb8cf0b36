#include "view/deep_view.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace view {
namespace {

using numeric::BigFloat;

using view::ViewWindow;

BigFloat number(const char* text, long precision = 4000) {
    return *BigFloat::parse(text, precision);
}

ViewWindow viewOf(int width, int height, double x1, double y1, double x2, double y2) {
    ViewWindow view(true);
    view.setScreenSize(width, height);
    view.setRect(x1, y1, x2, y2);
    return view;
}

// Every field, bit for bit.
void expectIdentical(const ViewWindow& a, const ViewWindow& b, const std::string& label) {
    EXPECT_EQ(a.width, b.width) << label;
    EXPECT_EQ(a.height, b.height) << label;
    EXPECT_EQ(a.maxY, b.maxY) << label;
    const double ViewWindow::*fields[] = {
        &ViewWindow::xmin,   &ViewWindow::ymin,   &ViewWindow::xmax,    &ViewWindow::ymax,
        &ViewWindow::xrange, &ViewWindow::yrange, &ViewWindow::xcenter, &ViewWindow::ycenter,
        &ViewWindow::xscale, &ViewWindow::yscale, &ViewWindow::xpix,    &ViewWindow::ypix};
    for (const auto field : fields)
        EXPECT_EQ(a.*field, b.*field) << label;
}

// Today's views: the six escape-time types' defaults, zoomed ones and odd sizes.
std::vector<ViewWindow> shallowViews() {
    std::vector<ViewWindow> views;
    const double defaults[][4] = {{-2.1, -1.69, 1.0, 1.72}, {-2.0, -2.6, 2.2, 2.6},
                                  {-1.75, -2.0, 1.75, 2.0}, {-1.2, -1.4, 1.2, 1.4},
                                  {-2.1, -1.69, 1.0, 1.72}, {-2.0, -2.6, 2.2, 2.6}};
    const int sizes[][2] = {{240, 268}, {241, 268}, {640, 480}, {1, 1}, {7, 1000}, {1920, 1001}};
    for (const auto& size : sizes) {
        for (const auto& r : defaults)
            views.push_back(viewOf(size[0], size[1], r[0], r[1], r[2], r[3]));
        views.push_back(viewOf(size[0], size[1], -0.7436438870371587, 0.1318259042053119,
                               -0.7436438870371587 + 3.3e-5, 0.1318259042053119 + 1e-5));
        views.push_back(viewOf(size[0], size[1], 0.3, -0.02, 0.3 + 9e-6, -0.02 + 9e-6));
        views.push_back(viewOf(size[0], size[1], -1.25, 0.0, -1.25 + 1e-12, 1e-12));
        views.push_back(viewOf(size[0], size[1], 1e6, -3e7, 2e6, 3e7));
    }
    return views;
}

TEST(DeepViewTest, ViewsDoubleHoldsConvertExactlyAndZoomAsViewWindowDoes) {
    for (const ViewWindow& view : shallowViews()) {
        const std::string label = std::to_string(view.width) + "x" + std::to_string(view.height) +
                                  " " + std::to_string(view.xmin) + " " +
                                  std::to_string(view.xrange);
        const DeepView deep = DeepView::fromViewWindow(view);
        const auto back = deep.shallowView();
        ASSERT_TRUE(back) << label;
        expectIdentical(*back, view, label);
        expectIdentical(deep.nearestShallowView(), view, label);
        EXPECT_EQ(deepViewField(deep), "") << label;
        // The pixel mapping agrees with ViewWindow's to within its rounding.
        const double xUlps = 1e-15 * (std::fabs(view.xmin) + std::fabs(view.xmax));
        const double yUlps = 1e-15 * (std::fabs(view.ymin) + std::fabs(view.ymax));
        EXPECT_NEAR(deep.planeX(3).toDouble(), view.planeX(3), 4 * xUlps) << label;
        EXPECT_NEAR(deep.planeY(5).toDouble(), view.planeY(5), 4 * yUlps) << label;

        const int column = view.width / 3;
        const int row = view.height / 4;
        const std::pair<DeepView, ViewWindow> operations[] = {
            {deep.zoomedAtPixel(column, row, 1.25), view.zoomedAtPixel(column, row, 1.25)},
            {deep.zoomedAtPixel(column, row, 0.8), view.zoomedAtPixel(column, row, 0.8)},
            {deep.scaledAboutCentre(0.6), view.scaledAbout(view.xcenter, view.ycenter, 0.6)},
            {deep.scaledAbout(BigFloat(64, view.xmin), BigFloat(64, view.ymax), 4.0),
             view.scaledAbout(view.xmin, view.ymax, 4.0)},
            {deep.pannedByPixels(30, -8), view.panned(30 * view.xscale, 8 * view.yscale)},
            {deep.zoomedToPixels(0, 0, column, row),
             view.withRect(view.planeX(0), view.planeY(0), view.planeX(column), view.planeY(row))},
            {deep.pannedByShare(0.125, -0.125), view.panned(view.xrange / 8.0, -view.yrange / 8.0)},
            {deep.centredOnPixel(column, row),
             view.panned(view.planeX(column) - view.xcenter, view.planeY(row) - view.ycenter)},
            {deep.zoomedAtPixel(column, row, 0.0), view},
        };
        for (const auto& [deepResult, expected] : operations) {
            if (!expected.resolvesPixels())
                continue;
            const auto shallow = deepResult.shallowView();
            ASSERT_TRUE(shallow) << label;
            expectIdentical(*shallow, expected, label);
        }
        const auto resized = deep.resizedTo(view.height, view.width);
        const auto expected = view.resizedTo(view.height, view.width);
        if (expected && expected->resolvesPixels()) {
            ASSERT_TRUE(resized && resized->shallowView()) << label;
            expectIdentical(*resized->shallowView(), *expected, label);
        }
    }
}

// Where the plane point under a pixel of `before` lies in the pixels of `after`.
double columnOf(const DeepView& after, const BigFloat& x) {
    return ((x - after.originX()) / after.spacingX()).toDouble();
}
double rowOf(const DeepView& after, const BigFloat& y) {
    return after.height() - 2.0 - ((y - after.originY()) / after.spacingY()).toDouble();
}

TEST(DeepViewTest, DeepZoomsKeepThePointUnderThePointer) {
    const char* centre[] = {"-0.74364388703715870475219150611477", "0.13182590420531197049"};
    const char* depths[] = {"1e-50", "1e-300", "1e-1000", "3e-20000"};
    for (const char* depth : depths) {
        const auto start = DeepView::fromCentreAndWidth(number(centre[0]), number(centre[1]),
                                                        number(depth), 641, 480);
        ASSERT_TRUE(start && start->isDeep()) << depth;
        struct Zoom {
            int column;
            int row;
            double factor;
        };
        const Zoom zooms[] = {{100, 50, 1.25}, {640, 479, 4.0}, {0, 0, 0.8}, {320, 240, 1e6}};
        for (const Zoom& z : zooms) {
            const BigFloat x = start->planeX(z.column);
            const BigFloat y = start->planeY(z.row);
            const DeepView after = start->zoomedAtPixel(z.column, z.row, z.factor);
            EXPECT_FALSE(DeepView::same(after, *start)) << depth;
            EXPECT_NEAR(columnOf(after, x), z.column, 1e-3) << depth << " " << z.factor;
            EXPECT_NEAR(rowOf(after, y), z.row, 1e-3) << depth << " " << z.factor;
            EXPECT_NEAR((after.spanX() * z.factor / start->spanX()).toDouble(), 1.0, 1e-15);
        }
        // Keys and zoom out: the centre stays, the scale changes by the factor.
        const DeepView out = start->scaledAboutCentre(0.6);
        EXPECT_NEAR(columnOf(out, start->centreX()), 320.5, 1e-3);
        EXPECT_NEAR((start->spanX() / out.spanX()).toDouble(), 0.6, 1e-15);
        // Panning moves the picture by whole pixels.
        const DeepView panned = start->pannedByPixels(7, -3);
        EXPECT_NEAR(columnOf(panned, start->planeX(17)), 10.0, 1e-3) << depth;
        EXPECT_NEAR(rowOf(panned, start->planeY(20)), 23.0, 1e-3) << depth;
        // Arrow keys move by an eighth; a double click centres on its pixel.
        const DeepView right = start->pannedByShare(0.125, 0.0);
        EXPECT_NEAR(columnOf(right, start->planeX(100)), 100.0 - 641.0 / 8.0, 1e-3) << depth;
        const DeepView centred = start->centredOnPixel(17, 400);
        EXPECT_EQ(centred.centreX(), start->planeX(17)) << depth;
        EXPECT_NEAR(rowOf(centred, start->planeY(400)), 238.0, 1e-3) << depth;
        // The selection shows the selected pixels, widened to the proportions.
        const DeepView selected = start->zoomedToPixels(300, 200, 364, 232);
        EXPECT_NEAR(columnOf(selected, start->planeX(300)), 0.0, 1e-3) << depth;
        EXPECT_NEAR(columnOf(selected, start->planeX(364)), 641.0, 1e-3) << depth;
        // The middle row of the selection is the middle of the view, which the
        // pixel-to-plane rule puts at row height / 2 - 2.
        EXPECT_NEAR(rowOf(selected, start->planeY(216)), 238.0, 1e-3) << depth;
        platform::Rect rect;
        ASSERT_TRUE(start->pixelRectOf(selected, rect));
        EXPECT_NEAR(rect.left, 300, 1);  // truncated
        EXPECT_NEAR(rect.right, 364, 1);
        // Resizing keeps centre and scale.
        const auto resized = start->resizedTo(480, 641);
        ASSERT_TRUE(resized);
        EXPECT_EQ(resized->centreX(), start->centreX());
        EXPECT_NEAR((resized->spacingX() / start->spacingX()).toDouble(), 1.0, 1e-15);
    }
}

TEST(DeepViewTest, AWheelWalkFromTheDefaultViewPastDoublesLimitStaysUnderThePointer) {
    DeepView view = DeepView::fromViewWindow(viewOf(640, 480, -2.1, -1.69, 1.0, 1.72));
    int deepSteps = 0;
    int shallowSteps = 0;
    // Towards a point on the boundary, 1.25 per notch, down to about 1e-320.
    for (int step = 0; step < 3300; ++step) {
        const int column = step % 2 == 0 ? 212 : 213;
        const int row = 190 + step % 3;
        const BigFloat x = view.planeX(column);
        const BigFloat y = view.planeY(row);
        const auto shallow = view.shallowView();
        const DeepView next = view.zoomedAtPixel(column, row, 1.25);
        if (shallow && shallow->zoomedAtPixel(column, row, 1.25).resolvesPixels()) {
            ++shallowSteps;
            ASSERT_TRUE(next.shallowView());
            expectIdentical(*next.shallowView(), shallow->zoomedAtPixel(column, row, 1.25),
                            "step " + std::to_string(step));
        } else {
            ++deepSteps;
            ASSERT_TRUE(next.isDeep()) << step;
            ASSERT_NEAR(columnOf(next, x), column, 1e-3) << step;
            ASSERT_NEAR(rowOf(next, y), row, 1e-3) << step;
        }
        view = next;
    }
    EXPECT_GT(shallowSteps, 100);
    EXPECT_GT(deepSteps, 2900);
    EXPECT_LT(view.spanX().toDouble(), 1e-300);
    // And all the way back out to a view double holds.
    for (int step = 0; step < 3300 && view.isDeep(); ++step)
        view = view.scaledAboutCentre(0.8);
    EXPECT_FALSE(view.isDeep());
}

TEST(DeepViewTest, RefusedOperationsLeaveTheViewAlone) {
    const auto view =
        DeepView::fromCentreAndWidth(number("-1.25"), number("0.01"), number("1e-99990"), 100, 80);
    ASSERT_TRUE(view);
    const DeepView results[] = {
        view->zoomedAtPixel(3, 4, 1e20),        // below the narrowest width
        view->scaledAboutCentre(0.0),           // no factor
        view->scaledAboutCentre(-2.0),          //
        view->scaledAboutCentre(std::nan("")),  //
        view->zoomedToPixels(5, 5, 5, 5),       // no extent
        view->pannedByPixels(std::nan(""), 0),  //
        DeepView::fromViewWindow(viewOf(100, 80, -1, -1, 1, 1)).scaledAboutCentre(1e-307),
    };
    for (std::size_t i = 0; i + 1 < std::size(results); ++i)
        EXPECT_TRUE(DeepView::same(results[i], *view)) << i;
    EXPECT_FALSE(results[6].isDeep());  // too large: still the old shallow view
    EXPECT_FALSE(view->resizedTo(0, 10));
}

TEST(DeepViewTest, TextRoundTripsWithTheDigitsTheDepthNeeds) {
    struct Case {
        const char* x;
        const char* y;
        const char* width;
        std::size_t mostCentreDigits;
    };
    const Case cases[] = {
        {"-0.75", "0.1", "3", 8},
        {"-0.743643887037158704752191506114774", "0.131825904205311970493132056385139", "1e-20",
         30},
        {"-1.7400623825793399052", "0.0281753397792110489", "2.5e-300", 312},
        {"0.25", "0", "1e-1000", 1010},
        {"0.001", "-2", "4e-7", 16},
    };
    for (const Case& c : cases) {
        const ViewTextResult parsed = parseCentreAndWidth(c.x, c.y, c.width);
        ASSERT_TRUE(parsed.value) << parsed.error;
        const auto view = DeepView::fromCentreAndWidth(parsed.value->x, parsed.value->y,
                                                       parsed.value->width, 640, 480);
        ASSERT_TRUE(view) << c.width;
        const std::string x = centreXText(*view);
        const std::string y = centreYText(*view);
        const std::string w = widthText(*view);
        EXPECT_LE(x.size(), c.mostCentreDigits + 8) << x;
        // The text holds the centre to a thousandth of a pixel...
        EXPECT_NEAR(columnOf(*view, number(x.c_str())), 320.0, 1e-3) << x;
        EXPECT_NEAR(rowOf(*view, number(y.c_str())), 238.0, 1e-3) << y;
        // ...and reads back to the same text.
        const ViewTextResult again = parseCentreAndWidth(x, y, w);
        ASSERT_TRUE(again.value) << again.error;
        const auto view2 = DeepView::fromCentreAndWidth(again.value->x, again.value->y,
                                                        again.value->width, 640, 480);
        ASSERT_TRUE(view2);
        EXPECT_EQ(centreXText(*view2), x);
        EXPECT_EQ(centreYText(*view2), y);
        EXPECT_EQ(widthText(*view2), w);
    }
    const auto plain = DeepView::fromViewWindow(viewOf(240, 268, -2.1, -1.69, 1.0, 1.72));
    EXPECT_EQ(centreXText(plain), "-0.55");
    EXPECT_EQ(widthText(plain), "3.1");
}

TEST(DeepViewTest, BadTextIsRefusedWithAMessage) {
    struct Case {
        const char* centre;
        const char* width;
        const char* message;
    };
    const Case cases[] = {
        {"-0.75,0.1", "", "width is not a decimal number"},
        {"-0.75,0.1", "abc", "width is not a decimal number"},
        {"-0.75,0.1", "nan", "width is not a decimal number"},
        {"-0.75,0.1", "inf", "width is not a decimal number"},
        {"-0.75,0.1", "1e-3x", "width is not a decimal number"},
        {"-0.75,0.1", "0", "greater than zero"},
        {"-0.75,0.1", "-0.0", "greater than zero"},
        {"-0.75,0.1", "-1e-5", "greater than zero"},
        {"-0.75,0.1", "1e-100001", "below 1e-100000"},
        {"-0.75,0.1", "9.99e-100001", "below 1e-100000"},
        {"-0.75,0.1", "1e-999999999", "below 1e-100000"},
        {"-0.75,0.1", "1e101", "too large"},
        {"-0.75", "1", "RE,IM"},
        {"-0.75,0.1,2", "1", "RE,IM"},
        {"x,0.1", "1", "real part is not a decimal number"},
        {"-0.75,", "1", "imaginary part is not a decimal number"},
        {"-0.75,0x1p3", "1", "imaginary part is not a decimal number"},
        {"1e200,0", "1", "too far out"},
        {"0,-1e999999", "1e-100000", "too far out"},
    };
    for (const Case& c : cases) {
        const ViewTextResult result = parseCentreAndWidth(c.centre, c.width);
        EXPECT_FALSE(result.value) << c.centre << " " << c.width;
        EXPECT_NE(result.error.find(c.message), std::string::npos)
            << c.centre << " " << c.width << ": " << result.error;
    }
    // The narrowest width accepted makes a view on pictures of every shape.
    const auto narrowest = parseCentreAndWidth("-0.75,0.1", "1e-100000").value;
    ASSERT_TRUE(narrowest);
    for (const auto& [w, h] : {std::pair{1920, 1080}, std::pair{1080, 1920}, std::pair{1, 1}}) {
        const auto view =
            DeepView::fromCentreAndWidth(narrowest->x, narrowest->y, narrowest->width, w, h);
        ASSERT_TRUE(view) << w << "x" << h;
        EXPECT_TRUE(DeepView::same(view->zoomedAtPixel(1, 1, 2.0), *view));  // none narrower
    }
    // Any length of digits is taken.
    const std::string longCentre = "-0.7" + std::string(5000, '3') + ",0.1";
    EXPECT_TRUE(parseCentreAndWidth(longCentre, "1e-30").value);
}

TEST(DeepViewTest, ParameterStringsCarryDeepViewsAndOldStringsStayAsTheyAre) {
    const std::string classic = "-2.1,-1.69,1,1.72,200,0,0,1,1,100";
    for (const char* depth : {"1e-14", "1e-50", "1e-300", "7e-3000"}) {
        const auto parsed = parseCentreAndWidth("-1.7400623825793399052", "0.0281753397792", depth);
        ASSERT_TRUE(parsed.value) << parsed.error;
        DeepView view = *DeepView::fromCentreAndWidth(parsed.value->x, parsed.value->y,
                                                      parsed.value->width, 240, 268);
        view = view.zoomedAtPixel(17, 33, 1.25);
        ASSERT_TRUE(view.isDeep()) << depth;
        const ViewWindow nearest = view.nearestShallowView();
        EXPECT_TRUE(nearest.resolvesPixels());
        EXPECT_NEAR(nearest.xcenter, view.centreX().toDouble(), 1e-14);
        const std::string field = deepViewField(view);
        ASSERT_EQ(field.rfind(",deep:", 0), 0u) << field;
        for (const std::string& text : {classic + field, classic + ",1" + field}) {
            const auto back = readDeepViewField(text, 240, 268);
            ASSERT_TRUE(back) << text;
            EXPECT_TRUE(DeepView::same(*back, view)) << depth;
            // On a picture of another shape the rectangle grows as setRect grows it.
            const auto wide = readDeepViewField(text, 480, 268);
            ASSERT_TRUE(wide);
            EXPECT_EQ(wide->spanY(), view.spanY());
            EXPECT_NEAR((wide->spanX() / view.spanX()).toDouble(), 480.0 / 240.0, 1e-15);
        }
    }
    // Views that became deep from a shallow view whose edges were rounded (far from the
    // origin the rounding is a large share of the width) read back exactly too.
    for (const double far : {2.1474836487e10, -3.0, 1e-3}) {
        const DeepView shallow =
            DeepView::fromViewWindow(viewOf(53, 46, far, 40.149, far + 1e-3, 40.149 + 1e-3));
        for (const DeepView& view : {shallow.zoomedAtPixel(26, 1, 3.0),
                                     shallow.zoomedAtPixel(26, 1, 1e9).pannedByPixels(-5, 2),
                                     shallow.zoomedAtPixel(0, 45, 1e12).scaledAboutCentre(0.6)}) {
            if (!view.isDeep())
                continue;
            const auto back = readDeepViewField(classic + deepViewField(view), 53, 46);
            ASSERT_TRUE(back) << far;
            EXPECT_TRUE(DeepView::same(*back, view)) << far;
        }
    }
    // Old strings and damaged fields: nothing deep is read, and nothing crashes.
    const std::string good = ",deep:200:-0.75:0.1:1e-40:1.1e-40";
    ASSERT_TRUE(readDeepViewField(classic + good, 240, 268));
    const std::string damaged[] = {
        classic,
        classic + ",1",
        "-2.1,-1.69,1,1.72" + good,  // in place of a classic field
        classic + ",deep:",
        classic + ",deep:200:-0.75:0.1:1e-40",
        classic + ",deep:200:-0.75:0.1:1e-40:1e-40:5",
        classic + ",deep:52:-0.75:0.1:1e-40:1e-40",
        classic + ",deep:99999999999999:-0.75:0.1:1e-40:1e-40",
        classic + ",deep:1048577:-0.75:0.1:1e-40:1e-40",
        classic + ",deep:-200:-0.75:0.1:1e-40:1e-40",
        classic + ",deep:200:nan:0.1:1e-40:1e-40",
        classic + ",deep:200:-0.75:0.1:0:1e-40",
        classic + ",deep:200:-0.75:0.1:-1e-40:1e-40",
        classic + ",deep:200:-0.75:0.1:1e-100001:1e-100001",
        classic + ",deep:200:-0.75:0.1: 1e-40:1e-40",
        classic + ",deep:200:-0.75:0.1:1e-40:1e-40\n",
        classic + ",deep:200:1e400:0.1:1e-40:1e-40x",
        classic + ",deep:200:-0.75:0.1:1e400:1e400",
        classic + ",deep:200:-0.75:0.1:1e-40:1e-40" + std::string(1, '\0'),
    };
    for (const std::string& text : damaged)
        EXPECT_FALSE(readDeepViewField(text, 240, 268)) << text;
    EXPECT_FALSE(readDeepViewField(classic + good, 0, 268));
}

// The deep field of a parameter string takes exactly the views the View dialog and
// the command line take: no centre beyond 1e100, no width above 1e100 or below 1e-100000.
TEST(DeepViewTest, TheDeepFieldKeepsTheLimitsOfTheViewText) {
    const std::string classic = "-2.1,-1.69,1,1.72,200,0,0,1,1,100";
    const struct {
        const char* x;
        const char* y;
        const char* width;
        bool accepted;
    } cases[] = {
        {"-0.75", "0.1", "1e-40", true},      {"1e100", "0.1", "1e-40", true},
        {"-0.75", "-1e100", "1e-40", true},   {"-0.75", "0.1", "1e100", true},
        {"-0.75", "0.1", "1e-100000", true},  {"1.5e100", "0.1", "1e-40", false},
        {"-0.75", "-1e200", "1e-40", false},  {"1e4000", "0", "1e-40", false},
        {"-0.75", "0.1", "1.5e100", false},   {"-0.75", "0.1", "1e300", false},
        {"-0.75", "0.1", "9e-100001", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.x) + " " + c.y + " " + c.width);
        EXPECT_EQ(parseCentreAndWidth(c.x, c.y, c.width).value.has_value(), c.accepted);
        const std::string field =
            std::string(",deep:200:") + c.x + ":" + c.y + ":" + c.width + ":" + c.width;
        EXPECT_EQ(readDeepViewField(classic + field, 240, 268).has_value(), c.accepted);
    }
}

TEST(DeepViewTest, DeepParameterStringsFitTheStoredLength) {
    // A picture file and the settings hold parameter strings up to 65,536 characters.
    struct Case {
        const char* width;
        std::size_t most;
    };
    const Case cases[] = {{"1e-300", 800}, {"1e-10000", 21000}, {"1e-31000", 65000}};
    for (const Case& c : cases) {
        const auto parsed = parseCentreAndWidth("-0.75", "0.1", c.width);
        ASSERT_TRUE(parsed.value);
        const auto view = DeepView::fromCentreAndWidth(parsed.value->x, parsed.value->y,
                                                       parsed.value->width, 1920, 1080);
        ASSERT_TRUE(view);
        const std::string field = deepViewField(*view);
        EXPECT_LT(field.size(), c.most) << c.width;
    }
}

}  // namespace
}  // namespace view
