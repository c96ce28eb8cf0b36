// The colouring controls in the window: the Colouring dialog's fields and its live
// preview, the keys that step density and offset, and colour cycling.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "app/coloring_dialog.h"
#include "app/dialog_fields.h"
#include "app/gradient_editor.h"
#include "app/main_window_rig.h"
#include "app/messages.h"

namespace {

using namespace testing_support;
using app::ColoringDialog;
using app::ColoringForm;
using complex::ColorControls;
using complex::Transfer;

complex::ComplexFractal& escapeOf(Rig& rig) {
    return dynamic_cast<complex::ComplexFractal&>(rig.fractal());
}

// A Mandelbrot picture, finished.
void startFinished(Rig& rig) {
    rig.startAndPump();
    ASSERT_TRUE(waitFinished(rig.fractal()));
}

TEST(ColoringDialogTest, FieldsGiveControlsOrTheReasonTheyCannot) {
    struct Case {
        const char* density;
        bool automatic;
        const char* offset;
        int transfer;
        bool usable;
        ColorControls controls;  // when usable
    };
    const Case cases[] = {
        {"2.5", false, "0", 0, true, {2.5, 0.0, Transfer::kLinear, false}},
        {" 40 ", false, "-3.5", 1, true, {40.0, -3.5, Transfer::kSquareRoot, false}},
        {"junk", true, "12", 2, true, {1.0, 12.0, Transfer::kLogarithm, true}},
        {"0", false, "0", 0, false, {}},
        {"-2", false, "0", 0, false, {}},
        {"nan", false, "0", 0, false, {}},
        {"1e400", false, "0", 0, false, {}},
        {"", false, "0", 0, false, {}},
        {"2", false, "1e10", 0, false, {}},
        {"2", false, "", 0, false, {}},
        {"2", false, "0x1", 0, false, {}},
    };
    for (const Case& c : cases) {
        ColoringForm form;
        form.density = c.density;
        form.automaticDensity = c.automatic;
        form.offset = c.offset;
        form.transferIndex = c.transfer;
        std::string refusal;
        const auto controls = ColoringDialog::read(form, refusal);
        EXPECT_EQ(controls.has_value(), c.usable) << c.density << " " << c.offset;
        EXPECT_EQ(refusal.empty(), c.usable) << refusal;
        if (controls) {
            EXPECT_EQ(*controls, c.controls) << c.density << " " << c.offset;
        }
    }
}

// The preview colours the finished picture again without a run; Cancel puts the
// picture and the controls back, Ok keeps them with the type's parameters.
TEST(ColoringDialogTest, PreviewRecoloursAndCancelPutsBack) {
    Rig rig;
    startFinished(rig);
    complex::ComplexFractal& f = escapeOf(rig);
    const auto original = f.picture.snapshot();
    const std::uint64_t points = f.statistics().pointCount;
    ColoringForm form = ColoringDialog::open(f);
    EXPECT_EQ(form.density, "1");
    form.density = "3";
    form.offset = "10";
    std::string refusal;
    ASSERT_TRUE(ColoringDialog::preview(form, f, refusal)) << refusal;
    EXPECT_FALSE(f.isRunning()) << "coloured again, not computed";
    EXPECT_EQ(f.statistics().pointCount, points);
    EXPECT_NE(f.picture.snapshot(), original);
    form.density = "0";
    EXPECT_FALSE(ColoringDialog::preview(form, f, refusal));
    EXPECT_FALSE(refusal.empty());
    EXPECT_EQ(f.colorControls().density, 3.0) << "a refused field changes nothing";
    ColoringDialog::cancel(ColorControls{}, f);
    EXPECT_EQ(f.picture.snapshot(), original);
    EXPECT_TRUE(f.colorControls().isDefault());

    form.density = "2";
    ASSERT_EQ(ColoringDialog::ok(form, f, refusal), app::kDialogOk);
    const auto stored = rig.stored("Mandelbrot");
    ASSERT_TRUE(stored.has_value());
    EXPECT_NE(stored->text.find(",color:2:10:linear"), std::string::npos) << stored->text;
}

// Turning distance on computes the picture again (its distances were not kept); then
// the other controls recolour it from the kept distances without a run.
TEST(ColoringDialogTest, DistanceComputesOnceThenRecolours) {
    Rig rig;
    startFinished(rig);
    complex::ComplexFractal& f = escapeOf(rig);
    const auto counts = f.picture.snapshot();
    ColoringForm form = ColoringDialog::open(f);
    EXPECT_TRUE(form.distanceOffered) << "Mandelbrot carries its derivative";
    EXPECT_FALSE(form.distance);
    form.distance = true;
    std::string refusal;
    ASSERT_TRUE(ColoringDialog::preview(form, f, refusal)) << refusal;
    rig.pump();
    ASSERT_TRUE(waitFinished(rig.fractal()));
    EXPECT_TRUE(f.keptValues().hasDistances());
    const auto distances = f.picture.snapshot();
    EXPECT_NE(distances, counts);
    const std::uint64_t points = f.statistics().pointCount;
    form.offset = "4";
    ASSERT_TRUE(ColoringDialog::preview(form, f, refusal)) << refusal;
    EXPECT_FALSE(f.isRunning()) << "coloured again, not computed";
    EXPECT_EQ(f.statistics().pointCount, points);
    EXPECT_NE(f.picture.snapshot(), distances);
    ASSERT_EQ(ColoringDialog::ok(form, f, refusal), app::kDialogOk);
    const auto stored = rig.stored("Mandelbrot");
    ASSERT_TRUE(stored.has_value());
    EXPECT_NE(stored->text.find(",color:1:4:linear:distance"), std::string::npos) << stored->text;
}

TEST(ColoringCommandsTest, KeysStepDensityAndOffset) {
    Rig rig;
    startFinished(rig);
    complex::ComplexFractal& f = escapeOf(rig);
    const struct {
        unsigned command;
        double density;
        double offset;
    } steps[] = {
        {app::IDM_DENSITY_COARSER, std::pow(2.0, 0.25), 0.0},
        {app::IDM_DENSITY_COARSER, std::sqrt(2.0), 0.0},
        {app::IDM_DENSITY_FINER, std::pow(2.0, 0.25), 0.0},
        {app::IDM_OFFSET_BACK, std::pow(2.0, 0.25), -1.0},
        {app::IDM_OFFSET_FORWARD, std::pow(2.0, 0.25), 0.0},
        {app::IDM_OFFSET_FORWARD, std::pow(2.0, 0.25), 1.0},
    };
    for (const auto& step : steps) {
        rig.command(step.command);
        EXPECT_FALSE(f.isRunning()) << step.command;
        EXPECT_NEAR(f.colorControls().density, step.density, 1e-12) << step.command;
        EXPECT_EQ(f.colorControls().offset, step.offset) << step.command;
    }
    EXPECT_EQ(rig.shell.dialogs.size(), 0u);
    rig.command(app::IDM_COLORING);
    ASSERT_EQ(rig.shell.dialogs.size(), 1u);
    EXPECT_EQ(rig.shell.dialogs[0], DialogId::Coloring);
}

// Cycling turns the palette on each tick of its timer; any key or command ends it and
// its timer, so that an idle window wakes for nothing.
TEST(ColoringCommandsTest, CyclingTurnsThePaletteUntilAnyKeyOrCommand) {
    const struct {
        const char* what;
        unsigned message;
        std::uintptr_t wParam;
    } enders[] = {
        {"a key", app::WM_KEYDOWN, 'X'},
        {"another command", app::WM_COMMAND, app::IDM_OFFSET_FORWARD},
        {"the command again", app::WM_COMMAND, app::IDM_COLOR_CYCLE},
    };
    for (const auto& ender : enders) {
        SCOPED_TRACE(ender.what);
        Rig rig;
        startFinished(rig);
        complex::ComplexFractal& f = escapeOf(rig);
        EXPECT_EQ(rig.window.timers().count(app::kColorCycleTimerId), 0u);
        rig.command(app::IDM_COLOR_CYCLE);
        EXPECT_TRUE(rig.mainWindow->cyclingColors());
        EXPECT_EQ(rig.window.timers().count(app::kColorCycleTimerId), 1u);
        auto before = f.picture.snapshot();
        for (int tick = 1; tick <= 3; ++tick) {
            rig.send(app::WM_TIMER, app::kColorCycleTimerId);
            EXPECT_EQ(f.colorControls().offset, tick);
            EXPECT_NE(f.picture.snapshot(), before);
            before = f.picture.snapshot();
        }
        EXPECT_FALSE(f.isRunning());
        rig.send(ender.message, ender.wParam);
        EXPECT_FALSE(rig.mainWindow->cyclingColors());
        EXPECT_EQ(rig.window.timers().count(app::kColorCycleTimerId), 0u);
        const auto stored = rig.stored("Mandelbrot");
        ASSERT_TRUE(stored.has_value());
        EXPECT_NE(stored->text.find(",color:1:"), std::string::npos) << stored->text;
    }
}

// A new palette colours a finished picture from its kept values without computing a
// pixel, exactly as a new run with it would; a picture still computing starts again.
TEST(ColoringCommandsTest, PaletteChangesRecolourAFinishedPicture) {
    Rig rig;
    startFinished(rig);
    complex::ComplexFractal& f = escapeOf(rig);
    const auto original = f.picture.snapshot();
    const std::uint64_t points = f.statistics().pointCount;
    rig.shell.gradientChoice = app::GradientChoice{{0x0000FF, 0x00FF00, 0xFF0000}, ""};
    const struct {
        const char* what;
        unsigned command;
        bool sameAsFirst;
    } changes[] = {
        {"an unsaved gradient", app::IDM_GRADIENT_EDITOR, false},
        {"the built-in palette again", app::IDM_PALETTE_BUILT_IN, true},
    };
    for (const auto& change : changes) {
        SCOPED_TRACE(change.what);
        rig.command(change.command);
        EXPECT_FALSE(f.isRunning());
        EXPECT_EQ(f.statistics().pointCount, points);
        const auto recoloured = f.picture.snapshot();
        EXPECT_EQ(recoloured == original, change.sameAsFirst);
        f.restartWith([] {});
        ASSERT_TRUE(waitFinished(f));
        EXPECT_EQ(f.picture.snapshot(), recoloured);
    }
}

}  // namespace
