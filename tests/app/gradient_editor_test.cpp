// The gradient editor: stops edited on a bar, sampled to a palette, saved and applied.
#include "app/gradient_editor.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "engine/color_table.h"
#include "main_window_rig.h"

namespace {

using platform::Color;
using platform::rgb;
using testing_support::Rig;

std::vector<Color> colorsOf(const engine::ColorTable& table) {
    std::vector<Color> colors;
    for (int i = 0; i < table.colorCount(); ++i)
        colors.push_back(table.colorAt(i));
    return colors;
}

TEST(GradientEditor, OpensOnTheColoursShownAndEditsTheSelectedStop) {
    Rig rig(engine::kMandelbrot);
    rig.startAndPump();
    app::GradientEditor editor(rig.fractal());
    const auto& builtIn = engine::builtInPalette();
    ASSERT_EQ(editor.gradient().stops().size(), app::GradientEditor::kOpeningStops);
    EXPECT_EQ(editor.gradient().stops().front().color, builtIn.front());
    EXPECT_EQ(editor.gradient().stops().back().color, builtIn.back());
    EXPECT_EQ(editor.entries(), "255");
    EXPECT_FALSE(editor.selected());

    struct Step {
        const char* what;
        std::function<void()> act;
        std::optional<std::size_t> selected;
        std::size_t stops;
    };
    const Step steps[] = {
        {"a click beside every stop selects none", [&] { editor.selectNear(0.07); }, std::nullopt,
         8},
        {"a click near a stop takes it", [&] { editor.selectNear(1.0 / 7 + 0.015); }, 1, 8},
        {"the nearest of two takes it", [&] { editor.selectNear(0.0); }, 0, 8},
        {"a new stop is selected", [&] { editor.addStop(0.07); }, 1, 9},
        {"moved past a neighbour, it stays selected", [&] { editor.moveSelected(0.2); }, 2, 9},
        {"removed, nothing is selected", [&] { editor.removeSelected(); }, std::nullopt, 8},
        {"removing without a selection does nothing", [&] { editor.removeSelected(); },
         std::nullopt, 8},
    };
    for (const Step& step : steps) {
        step.act();
        EXPECT_EQ(editor.selected(), step.selected) << step.what;
        EXPECT_EQ(editor.gradient().stops().size(), step.stops) << step.what;
    }
    // A new stop takes the colour the gradient has where it goes.
    const Color there = editor.gradient().colorAt(0.5);
    editor.addStop(0.5);
    EXPECT_EQ(editor.selectedColor(), there);
    editor.setSelectedColor(rgb(1, 2, 3));
    EXPECT_EQ(editor.gradient().colorAt(0.5), rgb(1, 2, 3));
}

TEST(GradientEditor, RefusesAPaletteWithoutStopsOrWithEntriesOutOfRange) {
    Rig rig(engine::kJulia);
    rig.startAndPump();
    app::GradientEditor editor(rig.fractal());
    struct Case {
        const char* entries;
        std::size_t colors;  // 0: refused
        const char* problem;
    };
    const Case cases[] = {
        {"2", 2, ""},
        {" 4096 ", 4096, ""},
        {"1", 0, "from 2 to 4096"},
        {"4097", 0, "from 2 to 4096"},
        {"", 0, "from 2 to 4096"},
        {"12x", 0, "from 2 to 4096"},
        {"-5", 0, "from 2 to 4096"},
    };
    for (const Case& c : cases) {
        editor.setEntries(c.entries);
        const app::GradientEditor::Reading reading = editor.palette();
        EXPECT_EQ(reading.colors.size(), c.colors) << c.entries;
        EXPECT_NE(reading.problem.find(c.problem), std::string::npos) << reading.problem;
    }
    editor.setEntries("300");
    while (!editor.gradient().empty()) {
        editor.selectNear(editor.gradient().stops().front().position);
        editor.removeSelected();
    }
    const app::GradientEditor::Reading none = editor.palette();
    EXPECT_TRUE(none.colors.empty());
    EXPECT_NE(none.problem.find("no colour stops"), std::string::npos) << none.problem;
}

TEST(GradientEditor, SavedPalettesLoadAsTheSameColoursAndNeverReplaceOtherThings) {
    testing_support::TempFolder folder;
    const engine::Gradient gradient(
        {{0.0, rgb(0, 0, 0)}, {0.5, rgb(255, 200, 0)}, {1.0, rgb(20, 0, 90)}});
    for (const int count : {2, 256, 4096}) {
        const std::vector<Color> colors = gradient.sample(count);
        // Appended: gcc 12 -O3 falsely warns on "g" + std::string&& (-Wrestrict, bug 105651).
        std::string name = "g";
        name += std::to_string(count);
        name += ".pal";
        const std::string path = folder.file(name);
        ASSERT_EQ(app::writePaletteFile(path, colors), "");
        engine::ColorTable loaded;
        EXPECT_EQ(loaded.loadFile(path, engine::kMaxPaletteEntries), count);
        EXPECT_EQ(colorsOf(loaded), colors);
    }
    const std::vector<Color> some = gradient.sample(16);
    const std::string fifo = folder.file("pipe.pal");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_NE(app::writePaletteFile(fifo, some), "");
    const std::string directory = folder.file("folder.pal");
    ASSERT_EQ(mkdir(directory.c_str(), 0700), 0);
    EXPECT_NE(app::writePaletteFile(directory, some), "");
    EXPECT_NE(app::writePaletteFile(folder.file("missing/x.pal"), some), "");
    EXPECT_NE(app::writePaletteFile(folder.file("empty.pal"), {}), "");
}

TEST(GradientEditorCommand, AppliesTheColoursAndStoresOnlyASavedPalette) {
    Rig rig(engine::kMandelbrot);
    rig.startAndPump();
    const std::vector<Color> blues = {rgb(0, 0, 10), rgb(0, 0, 200), rgb(90, 90, 255)};
    const std::vector<Color> reds = {rgb(10, 0, 0), rgb(250, 30, 30)};
    const std::string saved = rig.folder.file("reds.pal");
    ASSERT_EQ(app::writePaletteFile(saved, reds), "");
    struct Case {
        const char* what;
        std::optional<app::GradientChoice> choice;
        std::vector<Color> shown;
        std::string stored;
    };
    const Case cases[] = {
        {"applied unsaved: this picture only", app::GradientChoice{blues, ""}, blues, ""},
        {"closed: nothing changes", std::nullopt, blues, ""},
        {"applied as saved: the stored palette", app::GradientChoice{reds, saved}, reds, saved},
    };
    for (const Case& c : cases) {
        rig.shell.gradientChoice = c.choice;
        rig.command(app::IDM_GRADIENT_EDITOR);
        rig.pump();
        EXPECT_EQ(colorsOf(rig.fractal().colorTable()), c.shown) << c.what;
        EXPECT_EQ(rig.stored("Palette").value_or(platform::SettingsValue::ofText("")).text,
                  c.stored)
            << c.what;
    }
}

}  // namespace
