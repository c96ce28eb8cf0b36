#include "app/view_dialog.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>

#include "app/dialog_fields.h"
#include "dialog_test_rig.h"
#include "platform/c_format.h"
#include "view/deep_view.h"

namespace {

using corvane_test::DialogRig;

// The view the program would have after setRect with these corners.
view::ViewWindow viewAfter(const view::ViewWindow& view, double x1, double y1, double x2,
                           double y2) {
    view::ViewWindow expected = view;
    expected.setRect(x1, y1, x2, y2);
    return expected;
}

TEST(ViewDialog, ShowsTheRectangleWithEveryDigitItNeeds) {
    DialogRig rig(engine::kMandelbrot);
    rig.fractal->setViewRect(-2.5, -1.25, 1.0, 1.375);
    const app::ViewForm form = app::ViewDialog::open(*rig.fractal);
    EXPECT_EQ(form.xmin, platform::formatRoundTrip(rig.fractal->view().xmin));
    EXPECT_EQ(form.xmax, platform::formatRoundTrip(rig.fractal->view().xmax));
    EXPECT_EQ(form.ymin, platform::formatRoundTrip(rig.fractal->view().ymin));
    EXPECT_EQ(form.ymax, platform::formatRoundTrip(rig.fractal->view().ymax));
    rig.fractal->setViewRect(-0.1, 1e-7, 0.2, 2e-7);
    EXPECT_EQ(app::ViewDialog::open(*rig.fractal).xmin, "-0.1");
}

TEST(ViewDialog, OkAlwaysKeepsTheOldViewAndRecomputes) {
    DialogRig rig(engine::kMandelbrot);
    rig.fractal->setViewRect(-2.0, -1.5, 1.0, 1.5);
    const view::ViewWindow before = rig.fractal->view();
    const int history = rig.fractal->history.count();

    EXPECT_EQ(app::ViewDialog::ok(app::ViewDialog::open(*rig.fractal), *rig.fractal),
              app::kDialogOk);

    EXPECT_EQ(rig.fractal->history.count(), history + 1);
    EXPECT_TRUE(view::ViewWindow::sameView(rig.fractal->history.at(history), before));
    EXPECT_NE(rig.fractal->statistics().startTime, platform::LocalTime{});  // a new run
}

TEST(ViewDialog, FieldsThatGiveNoNumberKeepTheirEdge) {
    using Edge = std::optional<double>;  // nullopt: the field keeps the view's edge
    struct Case {
        app::ViewForm form;
        Edge xmin, xmax, ymin, ymax;
    };
    const Case cases[] = {
        {{"-3", "3", "-2", "2"}, -3.0, 3.0, -2.0, 2.0},
        {{"3", "-3", "2", "-2"}, 3.0, -3.0, 2.0, -2.0},  // put in order by setRect
        {{"abc", "3", "", "2"}, {}, 3.0, {}, 2.0},
        {{"nan", "inf", "-inf", "1e999"}, {}, {}, {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.form.xmin);
        DialogRig rig(engine::kMandelbrot);
        const view::ViewWindow& view = rig.fractal->view();
        rig.fractal->setViewRect(-4, -4, 4, 4);
        const view::ViewWindow expected =
            viewAfter(view, c.xmin.value_or(view.xmin), c.ymin.value_or(view.ymin),
                      c.xmax.value_or(view.xmax), c.ymax.value_or(view.ymax));
        app::ViewDialog::ok(c.form, *rig.fractal);
        EXPECT_TRUE(view::ViewWindow::sameView(view, expected));
    }
}

TEST(ViewDialog, ARectangleWithoutExtentLeavesTheViewFinite) {
    const app::ViewForm cases[] = {
        {"1", "1", "2", "2"}, {"-1e308", "1e308", "-1e308", "1e308"},  // an extent that overflows
    };
    for (const app::ViewForm& form : cases) {
        SCOPED_TRACE(form.xmax);
        DialogRig rig(engine::kMandelbrot);
        rig.fractal->setViewRect(-2.0, -1.5, 1.0, 1.5);
        const view::ViewWindow before = rig.fractal->view();
        app::ViewDialog::ok(form, *rig.fractal);
        EXPECT_TRUE(view::ViewWindow::sameView(rig.fractal->view(), before));
        EXPECT_TRUE(std::isfinite(rig.fractal->view().xscale));
        EXPECT_EQ(rig.fractal->history.count(), 1);
    }
}

TEST(ViewDialog, DefaultShowsTheTypesDefaultView) {
    DialogRig rig(engine::kMandelbrot);
    rig.fractal->setViewRect(10, 10, 11, 11);
    EXPECT_EQ(app::ViewDialog::useDefaults(*rig.fractal), app::kDialogDefault);
    EXPECT_LT(rig.fractal->view().xmin, 0.0);
    EXPECT_EQ(rig.fractal->history.count(), 1);
}

// The view centred on (x, y), width wide, on the fractal's picture.
view::DeepView viewAt(const engine::Fractal& fractal, const char* x, const char* y,
                      const char* width) {
    const std::optional<view::CentreAndWidth> text = view::parseCentreAndWidth(x, y, width).value;
    EXPECT_TRUE(text.has_value()) << width;
    return *view::DeepView::fromCentreAndWidth(text->x, text->y, text->width, fractal.width,
                                               fractal.height);
}

TEST(ViewDialog, DeepViewsShowCentreAndWidthThatReadBackToTheSameView) {
    const struct {
        const char* x;
        const char* y;
        const char* width;
        std::size_t leastDigits;  // the real part's text has at least this many characters
    } cases[] = {
        {"-0.74364388703715870475219150611477", "0.13182590420531197049313205638514", "1e-30", 30},
        {"-1.740062382579339905220844167065825638296641720436171866879862418461182919644153"
         "056054840718339483225743450008259172138785492983677893366503417299549623738838303"
         "346465461290768441055486136870719850559269507357211790243666940134793753068611574"
         "745943820712885258222629105433648695946003865",
         "0.0281753397792110489924115211443195096875390767429906085704013095958801743240920"
         "1865036784",
         "3.7e-300", 280},
        {"0.25", "-1e-40", "2.5e-5000", 4},  // no more digits than the centre has
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.width);
        DialogRig rig(engine::kMandelbrot);
        const view::DeepView view = viewAt(*rig.fractal, c.x, c.y, c.width);
        rig.fractal->setPreciseView(view);
        ASSERT_NE(rig.fractal->deepView(), nullptr);
        const std::optional<app::DeepViewForm> form = app::ViewDialog::openDeep(*rig.fractal);
        ASSERT_TRUE(form.has_value());
        EXPECT_GE(form->real.size(), c.leastDigits);
        EXPECT_GE(form->imaginary.size(), std::string_view(c.y).size() > 20 ? 20u : 1u);

        const int history = rig.fractal->history.count();
        std::string refusal;
        EXPECT_EQ(app::ViewDialog::okDeep(*form, *rig.fractal, refusal), app::kDialogOk);
        EXPECT_EQ(refusal, "");
        ASSERT_NE(rig.fractal->deepView(), nullptr);
        EXPECT_TRUE(view::DeepView::same(*rig.fractal->deepView(), view));
        EXPECT_EQ(rig.fractal->history.count(), history + 1);
        EXPECT_NE(rig.fractal->statistics().startTime, platform::LocalTime{});  // a new run
        // Shown again, the texts are the same.
        const std::optional<app::DeepViewForm> again = app::ViewDialog::openDeep(*rig.fractal);
        ASSERT_TRUE(again.has_value());
        EXPECT_EQ(again->real, form->real);
        EXPECT_EQ(again->imaginary, form->imaginary);
        EXPECT_EQ(again->width, form->width);
    }
}

TEST(ViewDialog, DeepTextsAreRefusedWithTheReasonOrLeaveTheDepth) {
    const struct {
        app::DeepViewForm form;
        const char* reason;  // empty: accepted
        bool deep;           // after Ok
    } cases[] = {
        {{"-0.75", "0.1", "2e-25"}, "", true},
        {{"-0.75", "0.1", "3"}, "", false},  // a width double resolves: a plain view again
        {{"-0.75x", "0.1", "1e-25"}, "real part is not a decimal number", true},
        {{"-0.75", "", "1e-25"}, "imaginary part is not a decimal number", true},
        {{"-0.75", "0.1", ""}, "width is not a decimal number", true},
        {{"-0.75", "0.1", "nan"}, "width is not a decimal number", true},
        {{"-0.75", "0.1", "0"}, "greater than zero", true},
        {{"-0.75", "0.1", "-1e-25"}, "greater than zero", true},
        {{"-0.75", "0.1", "1e-100001"}, "below 1e-100000", true},
        {{"1e200", "0.1", "1e-25"}, "too far out", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.form.real + " " + c.form.width);
        DialogRig rig(engine::kMandelbrot);
        const view::DeepView before = viewAt(*rig.fractal, "-0.75", "0.1", "1e-20");
        rig.fractal->setPreciseView(before);
        const int history = rig.fractal->history.count();
        std::string refusal;
        const int result = app::ViewDialog::okDeep(c.form, *rig.fractal, refusal);
        if (std::string_view(c.reason).empty()) {
            EXPECT_EQ(result, app::kDialogOk);
            EXPECT_EQ(rig.fractal->deepView() != nullptr, c.deep);
            EXPECT_EQ(rig.fractal->history.count(), history + 1);
            continue;
        }
        EXPECT_EQ(result, app::ViewDialog::kRefused);
        EXPECT_FALSE(refusal.empty());
        EXPECT_NE(refusal.find(c.reason), std::string::npos) << refusal;
        ASSERT_NE(rig.fractal->deepView(), nullptr);
        EXPECT_TRUE(view::DeepView::same(*rig.fractal->deepView(), before));
        EXPECT_EQ(rig.fractal->history.count(), history);
        EXPECT_EQ(rig.fractal->statistics().startTime, platform::LocalTime{});  // no run
    }
}

// At a shallow view the escape-time types take a centre and width of any depth beside
// the edges; the edges behave as they always did while the centre is left alone.
TEST(ViewDialog, ShallowViewsTakeACentreAndWidthOfAnyDepthBesideTheEdges) {
    enum class Outcome { Edges, Deep, Shallow, Refused };
    const struct {
        const char* name;
        app::ViewForm edges;
        app::DeepViewForm centre;  // empty texts: as shown
        Outcome outcome;
    } table[] = {
        {"untouched", {}, {}, Outcome::Edges},
        {"edges typed", {"-1", "1", "-0.5", "0.5"}, {}, Outcome::Edges},
        {"edges typed too deep",
         {"0.1", "0.1000000000000000001", "0", "1e-19"},
         {},
         Outcome::Edges},
        {"deep centre typed",
         {},
         {"-0.743643887037158704752191506114774", "0.13182590420531197", "1e-30"},
         Outcome::Deep},
        {"the deepest the wheel reaches", {}, {"-0.75", "0.1", "1e-30000"}, Outcome::Deep},
        {"only the width typed", {}, {"", "", "1e-25"}, Outcome::Deep},
        {"a shallow centre", {}, {"0.25", "0", "0.5"}, Outcome::Shallow},
        {"refused", {}, {"-0.75x", "0.1", "1e-25"}, Outcome::Refused},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.name);
        DialogRig rig(engine::kMandelbrot);
        rig.fractal->setViewRect(-2.0, -1.5, 1.0, 1.5);
        const view::ViewWindow before = rig.fractal->view();
        EXPECT_FALSE(app::ViewDialog::openDeep(*rig.fractal).has_value());
        const std::optional<app::DeepViewForm> shown = app::ViewDialog::openCentre(*rig.fractal);
        ASSERT_TRUE(shown.has_value());
        const app::ViewForm edges =
            row.edges.xmin.empty() ? app::ViewDialog::open(*rig.fractal) : row.edges;
        const app::DeepViewForm centre{
            row.centre.real.empty() ? shown->real : row.centre.real,
            row.centre.imaginary.empty() ? shown->imaginary : row.centre.imaginary,
            row.centre.width.empty() ? shown->width : row.centre.width};
        std::string refusal;
        const int result =
            app::ViewDialog::okEdgesOrCentre(edges, centre, *shown, *rig.fractal, refusal);

        if (row.outcome == Outcome::Edges) {
            DialogRig edgesRig(engine::kMandelbrot);
            edgesRig.fractal->setViewRect(-2.0, -1.5, 1.0, 1.5);
            EXPECT_EQ(result, app::ViewDialog::ok(edges, *edgesRig.fractal));
            EXPECT_TRUE(view::ViewWindow::sameView(rig.fractal->view(), edgesRig.fractal->view()));
            EXPECT_EQ(rig.fractal->history.count(), edgesRig.fractal->history.count());
            continue;
        }
        if (row.outcome == Outcome::Refused) {
            EXPECT_EQ(result, app::ViewDialog::kRefused);
            EXPECT_FALSE(refusal.empty());
            EXPECT_TRUE(view::ViewWindow::sameView(rig.fractal->view(), before));
            EXPECT_EQ(rig.fractal->history.count(), 0);
            continue;
        }
        EXPECT_EQ(result, app::kDialogOk);
        EXPECT_EQ(rig.fractal->history.count(), 1);
        ASSERT_EQ(rig.fractal->deepView() != nullptr, row.outcome == Outcome::Deep);
        const view::DeepView now = rig.fractal->preciseView();
        const view::DeepView expected = viewAt(*rig.fractal, centre.real.c_str(),
                                               centre.imaginary.c_str(), centre.width.c_str());
        EXPECT_TRUE(view::DeepView::same(now, expected));
        rig.fractal->stopCalculation();
    }
}

TEST(ViewDialog, OrbitTypesShowOnlyTheEdges) {
    DialogRig rig(engine::kHopalong);
    EXPECT_FALSE(app::ViewDialog::openCentre(*rig.fractal).has_value());
}

TEST(ViewDialog, DefaultLeavesTheDepthAndTheEdgesComeBack) {
    DialogRig rig(engine::kMandelbrot);
    EXPECT_FALSE(app::ViewDialog::openDeep(*rig.fractal).has_value());
    rig.fractal->setPreciseView(viewAt(*rig.fractal, "-0.75", "0.1", "1e-40"));
    ASSERT_TRUE(app::ViewDialog::openDeep(*rig.fractal).has_value());
    EXPECT_EQ(app::ViewDialog::useDefaults(*rig.fractal), app::kDialogDefault);
    EXPECT_EQ(rig.fractal->deepView(), nullptr);
    EXPECT_FALSE(app::ViewDialog::openDeep(*rig.fractal).has_value());
    EXPECT_LT(rig.fractal->view().xmin, 0.0);
}

}  // namespace
