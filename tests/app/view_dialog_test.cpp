#include "app/view_dialog.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>

#include "app/dialog_fields.h"
#include "dialog_test_rig.h"
#include "platform/c_format.h"

namespace {

using corvane_test::DialogRig;

// The view the program would have after setRect with these corners.
engine::ViewWindow viewAfter(const engine::ViewWindow& view, double x1, double y1, double x2,
                             double y2) {
    engine::ViewWindow expected = view;
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
    const engine::ViewWindow before = rig.fractal->view();
    const int history = rig.fractal->history.count();

    EXPECT_EQ(app::ViewDialog::ok(app::ViewDialog::open(*rig.fractal), *rig.fractal),
              app::kDialogOk);

    EXPECT_EQ(rig.fractal->history.count(), history + 1);
    EXPECT_TRUE(engine::ViewWindow::sameView(rig.fractal->history.at(history), before));
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
        const engine::ViewWindow& view = rig.fractal->view();
        rig.fractal->setViewRect(-4, -4, 4, 4);
        const engine::ViewWindow expected =
            viewAfter(view, c.xmin.value_or(view.xmin), c.ymin.value_or(view.ymin),
                      c.xmax.value_or(view.xmax), c.ymax.value_or(view.ymax));
        app::ViewDialog::ok(c.form, *rig.fractal);
        EXPECT_TRUE(engine::ViewWindow::sameView(view, expected));
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
        const engine::ViewWindow before = rig.fractal->view();
        app::ViewDialog::ok(form, *rig.fractal);
        EXPECT_TRUE(engine::ViewWindow::sameView(rig.fractal->view(), before));
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

}  // namespace
