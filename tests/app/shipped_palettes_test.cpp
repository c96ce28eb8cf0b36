// The palettes that come with the program: where they are found, the Palette menu's
// commands, and Load Palette's first folder.
#include "app/shipped_palettes.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/messages.h"
#include "engine/color_table.h"
#include "main_window_rig.h"
#include "platform/c_format.h"

namespace {

using testing_support::Rig;

const std::string kShippedFolder =
    std::filesystem::path(CORVANE_TEST_DATA_DIR "/../../resources/palettes")
        .lexically_normal()
        .string();

// Sets CORVANE_PALETTES for its lifetime.
class PaletteFolderScope {
  public:
    explicit PaletteFolderScope(const std::string& folder) {
        ::setenv("CORVANE_PALETTES", folder.c_str(), 1);
    }
    ~PaletteFolderScope() { ::unsetenv("CORVANE_PALETTES"); }
};

std::size_t linesOf(const std::string& path) {
    std::ifstream file(path);
    std::size_t lines = 0;
    for (std::string line; std::getline(file, line);)
        ++lines;
    return lines;
}

TEST(ShippedPalettes, MenuNamesOfPaletteFiles) {
    const struct {
        const char* file;
        const char* name;
    } cases[] = {
        {"fire.pal", "Fire"},
        {"high-contrast.pal", "High contrast"},
        {"deep_sea.PAL", "Deep sea"},
        {"Grey", "Grey"},
        {".pal", ".pal"},
        {"9-lives.pal", "9 lives"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(app::paletteMenuName(c.file), c.name) << c.file;
}

TEST(ShippedPalettes, ListsThePaletteFilesOfTheFolderInNameOrder) {
    testing_support::TempFolder folder;
    folder.write("b.pal", "1 2 3\n");
    folder.write("a.pal", "1 2 3\n");
    folder.write("notes.txt", "1 2 3\n");
    std::filesystem::create_directory(folder.file("sub.pal"));
    const std::vector<app::ShippedPalette> listed =
        app::listShippedPalettes(folder.path().string());
    ASSERT_EQ(listed.size(), 2u);
    EXPECT_EQ(listed[0].name, "A");
    EXPECT_EQ(listed[0].path, folder.file("a.pal"));
    EXPECT_EQ(listed[1].name, "B");
    EXPECT_TRUE(app::listShippedPalettes(folder.file("missing")).empty());
    EXPECT_TRUE(app::listShippedPalettes("").empty());

    for (int i = 0; i < 70; ++i)
        folder.write(platform::cformat("p%d.pal", 100 + i), "1 2 3\n");
    EXPECT_EQ(app::listShippedPalettes(folder.path().string()).size(), app::kMaxShippedPalettes);
}

// Every palette that comes with the program is one of ours, loads whole, and is one
// click away; the built-in colours are one click back.
TEST(ShippedPalettes, EveryShippedPaletteLoadsFromThePaletteMenu) {
    PaletteFolderScope scope(kShippedFolder);
    EXPECT_EQ(app::shippedPaletteFolder(), kShippedFolder);
    Rig rig(engine::kMandelbrot);
    rig.startAndPump();
    const std::vector<app::ShippedPalette>& shipped = rig.mainWindow->shippedPalettes();
    std::vector<std::string> names;
    for (const app::ShippedPalette& palette : shipped)
        names.push_back(palette.name);
    EXPECT_EQ(names, (std::vector<std::string>{"Fire", "Grey", "High contrast", "Ocean", "Pastel",
                                               "Rainbow"}));
    EXPECT_EQ(rig.mainWindow->currentPaletteCommand(), app::IDM_PALETTE_BUILT_IN);

    // Until a palette is chosen, Load Palette opens on them.
    rig.command(app::IDM_LOAD_PALETTE);
    EXPECT_EQ(rig.shell.fileRequests.back().initialFolder, kShippedFolder);

    for (std::size_t i = 0; i < shipped.size(); ++i) {
        SCOPED_TRACE(shipped[i].name);
        const unsigned command = app::IDM_PALETTE_FIRST + static_cast<unsigned>(i);
        engine::ColorTable table;
        std::string why;
        const int count = table.loadFile(shipped[i].path, engine::kMaxPaletteEntries, &why);
        EXPECT_EQ(static_cast<std::size_t>(count), linesOf(shipped[i].path)) << why;
        EXPECT_GE(count, 16);

        rig.command(command);
        EXPECT_TRUE(rig.shell.messages.empty());
        EXPECT_EQ(rig.stored("Palette"), platform::SettingsValue::ofText(shipped[i].path));
        EXPECT_EQ(rig.fractal().numColors, count);
        EXPECT_EQ(rig.fractal().colorTable().colorAt(1), table.colorAt(1));
        EXPECT_EQ(rig.mainWindow->currentPaletteCommand(), command);
        // Computed again, or recoloured at once where the last run had finished.
        EXPECT_TRUE(rig.fractal().isRunning() || rig.fractal().isFinished());
    }
    rig.command(app::IDM_LOAD_PALETTE);
    EXPECT_EQ(rig.shell.fileRequests.back().initialFolder, kShippedFolder);

    rig.command(app::IDM_PALETTE_BUILT_IN);
    EXPECT_EQ(rig.stored("Palette"), platform::SettingsValue::ofText(""));
    EXPECT_EQ(rig.fractal().numColors, 255);
    EXPECT_EQ(rig.fractal().colorTable().colorAt(84), engine::builtInPalette()[84]);
    EXPECT_EQ(rig.mainWindow->currentPaletteCommand(), app::IDM_PALETTE_BUILT_IN);

    // A command past the palettes listed does nothing.
    rig.command(app::IDM_PALETTE_LAST);
    EXPECT_EQ(rig.stored("Palette"), platform::SettingsValue::ofText(""));
}

// A shipped palette that has become unusable is refused like any file, with its name
// and the reason, and the colours stay.
TEST(ShippedPalettes, AnUnusableShippedPaletteIsRefused) {
    testing_support::TempFolder folder;
    const std::string good = folder.write("good.pal", "1 2 3\n4 5 6\n");
    const std::string bad = folder.write("zz.pal", "");
    PaletteFolderScope scope(folder.path().string());
    Rig rig(engine::kJulia);
    rig.startAndPump();
    rig.command(app::IDM_PALETTE_FIRST);
    ASSERT_EQ(rig.fractal().numColors, 2);
    rig.command(app::IDM_PALETTE_FIRST + 1);
    ASSERT_EQ(rig.shell.messages.size(), 1u);
    EXPECT_NE(rig.shell.messages[0].find(bad), std::string::npos) << rig.shell.messages[0];
    EXPECT_NE(rig.shell.messages[0].find("empty"), std::string::npos) << rig.shell.messages[0];
    EXPECT_EQ(rig.stored("Palette"), platform::SettingsValue::ofText(good));
    EXPECT_EQ(rig.fractal().numColors, 2);
    EXPECT_EQ(rig.mainWindow->currentPaletteCommand(), app::IDM_PALETTE_FIRST);
}

}  // namespace
