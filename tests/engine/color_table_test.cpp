#include "engine/color_table.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "engine/fractal.h"
#include "platform/headless_window.h"
#include "platform/temp_folder.h"

namespace engine {
namespace {

using platform::Color;
using platform::rgb;
using testing_support::TempFolder;

std::vector<Color> parse(const std::string& text, int maxCount = 16) {
    std::vector<Color> out(static_cast<std::size_t>(maxCount));
    out.resize(
        static_cast<std::size_t>(parsePalette(text.data(), text.size(), out.data(), maxCount)));
    return out;
}

std::vector<Color> entries(const ColorTable& table) {
    std::vector<Color> out;
    for (int i = 0; i < table.colorCount(); ++i)
        out.push_back(table.colorAt(i));
    return out;
}

TEST(BuiltInPalette, RunsBlueYellowRedBlue) {
    const auto& palette = builtInPalette();
    struct Case {
        int index;
        Color color;
    };
    const Case cases[] = {
        {0, rgb(0, 0, 252)},     {33, rgb(10, 100, 152)},  {34, rgb(10, 100, 148)},
        {35, rgb(10, 104, 148)}, {42, rgb(124, 124, 124)}, {84, rgb(252, 252, 0)},
        {85, rgb(252, 252, 0)},  {127, rgb(252, 124, 0)},  {169, rgb(252, 0, 0)},
        {170, rgb(252, 0, 0)},   {211, rgb(128, 0, 124)},  {254, rgb(0, 0, 252)},
    };
    for (const Case& c : cases)
        EXPECT_EQ(palette[c.index], c.color) << "entry " << c.index;
    for (std::size_t i = 0; i < palette.size(); ++i) {
        const Color c = palette[i];
        EXPECT_EQ(c >> 24, 0u) << i;
        const bool oddRed = i >= 33 && i <= 35;
        EXPECT_TRUE(oddRed || (c & 0x030303u) == 0) << "multiple of 4 at " << i;
        EXPECT_TRUE(oddRed || i > 84 || platform::redOf(c) == platform::greenOf(c)) << i;
        EXPECT_TRUE(i < 84 || i > 169 || platform::redOf(c) == 252u) << i;
        EXPECT_TRUE(i < 169 || platform::greenOf(c) == 0u) << i;
    }
}

TEST(ColorTable, LookupWrapsAndEmptyTableGivesTheDefault) {
    ColorTable table;
    EXPECT_EQ(table.colorAt(0), 0u);
    EXPECT_EQ(table.colorAt(1000), 0u);
    ASSERT_EQ(table.setColors(builtInPalette().data(), 255), 1);
    EXPECT_EQ(table.colorAt(255), builtInPalette()[0]);
    EXPECT_EQ(table.colorAt(300), builtInPalette()[45]);
    EXPECT_EQ(table.colorAt(INT32_MAX), builtInPalette()[INT32_MAX % 255]);
    EXPECT_EQ(table.colorAt(-1), table.defaultColor());
}

// A run's colours at once: each as colorAt gives it, black from the given index on,
// with an empty table as well as a full one.
TEST(ColorTable, ColorsOfARunAreEachColorAtOrBlack) {
    const std::vector<int> indices = {0, 1, 254, 255, 300, 199, 200, 201, -1, -7, INT32_MAX, 2};
    struct Case {
        const char* what;
        int entries;
        int blackFrom;
    };
    const Case cases[] = {
        {"full table", 255, 200},
        {"nothing black", 255, INT32_MAX},
        {"everything black", 255, INT32_MIN},
        {"empty table", 0, 200},
        {"one entry", 1, 200},
    };
    for (const Case& c : cases) {
        ColorTable table;
        if (c.entries > 0) {
            ASSERT_EQ(table.setColors(builtInPalette().data(), c.entries), 1);
        }
        std::vector<Color> out(indices.size() + 1, rgb(1, 2, 3));
        table.colorsAt(indices.data(), static_cast<int>(indices.size()), c.blackFrom, out.data());
        for (std::size_t k = 0; k < indices.size(); ++k) {
            const Color expected =
                indices[k] >= c.blackFrom ? platform::kBlack : table.colorAt(indices[k]);
            EXPECT_EQ(out[k], expected) << c.what << ", index " << indices[k];
        }
        EXPECT_EQ(out.back(), rgb(1, 2, 3)) << c.what << ": written past the run";
    }
}

TEST(ColorTable, SetColorsTakesTheCountAsSixteenBitSigned) {
    const std::vector<Color> source(70000, rgb(1, 2, 3));
    struct Case {
        int count;
        int result;
        int entries;
    };
    const Case cases[] = {
        {3, 1, 3}, {0, 1, 0}, {-1, 2, 0}, {32767, 1, 32767}, {32768, 2, 0}, {65536 + 5, 1, 5},
    };
    for (const Case& c : cases) {
        ColorTable table;
        table.setColors(builtInPalette().data(), 255);
        EXPECT_EQ(table.setColors(source.data(), c.count), c.result) << c.count;
        EXPECT_EQ(table.colorCount(), c.entries) << c.count;
    }
}

TEST(PaletteText, ReadsTriplesUntilTheFirstTokenThatIsNoNumber) {
    const Color a = rgb(1, 2, 3);
    const Color b = rgb(4, 5, 6);
    struct Case {
        const char* what;
        std::string text;
        std::vector<Color> expected;
    };
    const Case cases[] = {
        {"one line", "255 0 0\n", {rgb(255, 0, 0)}},
        {"two entries on one line", "1 2 3 4 5 6", {a, b}},
        {"any white space separates", "1\t2\r\n3\v4\f5\n\n 6", {a, b}},
        {"incomplete last line dropped", "1 2 3\n10 20", {a}},
        {"commas are no separators", "255,0,0\n1 2 3\n", {}},
        {"header line", "Palette\n1 2 3\n", {}},
        {"comment ends the palette", "1 2 3\n# more\n4 5 6\n", {a}},
        {"low eight bits", "256 511 300", {rgb(0, 255, 44)}},
        {"signs", "-1 +2 3\n-256 0 0", {rgb(255, 2, 3), rgb(0, 0, 0)}},
        {"huge number saturates", "99999999999999999999999 1 1", {rgb(255, 1, 1)}},
        {"sign without digits", "- 1 2 3", {}},
        {"hex is not read", "0x10 0 0", {}},
        {"text glued to a number", "1 2 3x 4 5 6", {a}},
        {"NUL byte", std::string("1 2 3\0 4 5 6", 12), {a}},
        {"empty", "", {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(parse(c.text), c.expected) << c.what;
    EXPECT_EQ(parse("1 2 3 4 5 6 7 8 9", 2), (std::vector<Color>{a, b})) << "maxCount";
}

class PaletteFileTest : public ::testing::Test {
  protected:
    void SetUp() override { table.setColors(builtInPalette().data(), 255); }
    void expectUnchanged() {
        EXPECT_EQ(table.colorCount(), 255);
        EXPECT_EQ(table.colorAt(84), builtInPalette()[84]);
    }
    TempFolder folder;
    ColorTable table;
};

TEST_F(PaletteFileTest, CutsALongFileAfterMaxCountEntries) {
    std::string text;
    for (int i = 0; i < 5000; ++i)
        text += std::to_string(i % 256) + " 7 9\n";
    EXPECT_EQ(table.loadFile(folder.write("long.pal", text), 4096), 4096);
    EXPECT_EQ(table.colorCount(), 4096);
    EXPECT_EQ(table.colorAt(4095), rgb(4095 % 256, 7, 9));
}

TEST_F(PaletteFileTest, FileWithoutEntriesEmptiesTheTable) {
    EXPECT_EQ(table.loadFile(folder.write("header.pal", "Palette\n3 colours\n"), 4096), 0);
    EXPECT_EQ(table.colorCount(), 0);
    EXPECT_EQ(table.colorAt(5), table.defaultColor());
}

TEST_F(PaletteFileTest, NothingUsableLeavesTheTableUnchanged) {
    const std::string fifo = folder.file("fifo.pal");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string cases[] = {"", folder.file("missing.pal"), folder.path().string(), fifo,
                                 "/dev/null"};
    for (const std::string& path : cases) {
        EXPECT_EQ(table.loadFile(path, 4096), 0) << path;
        expectUnchanged();
    }
    EXPECT_EQ(table.loadFile(folder.write("ok.pal", "1 2 3"), 0), 0);
    expectUnchanged();
    EXPECT_EQ(table.loadFile(folder.file("ok.pal"), -5), 0);
    expectUnchanged();
}

// Root reads any file, so as root the check runs in a child that has given up root.
TEST_F(PaletteFileTest, UnreadableFileLeavesTheTableUnchanged) {
    const std::string path = folder.write("secret.pal", "1 2 3\n");
    ASSERT_EQ(::chmod(path.c_str(), 0), 0);
    auto check = [&] { return table.loadFile(path, 4096) == 0 && table.colorCount() == 255; };
    if (::geteuid() != 0) {
        EXPECT_TRUE(check());
        return;
    }
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const bool dropped = ::setgid(65534) == 0 && ::setuid(65534) == 0;
        ::_exit(!dropped ? 2 : check() ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

// ----- The fractal's palette -----

class PaletteFractal : public Fractal {
  public:
    explicit PaletteFractal(const platform::Services& services) : Fractal(services) {}
    int calculate() override { return 0; }
};

class LoadPaletteTest : public ::testing::Test {
  protected:
    std::unique_ptr<PaletteFractal> makeFractal() {
        return std::make_unique<PaletteFractal>(platform::Services{window, store, sound});
    }
    void storePalettePath(const std::string& path) {
        store.write("Software\\Velk\\Corvane", "Palette", platform::SettingsValue::ofText(path));
    }

    TempFolder folder;
    platform::HeadlessWindow window{40, 30};
    platform::MemorySettingsStore store;
    platform::RecordingSound sound;
};

TEST_F(LoadPaletteTest, WithoutAPaletteTheBuiltInColoursAreUsed) {
    auto fractal = makeFractal();
    EXPECT_EQ(fractal->numColors, 255);
    EXPECT_EQ(fractal->colorTable().colorCount(), 255);
    EXPECT_EQ(fractal->colorTable().colorAt(33), rgb(10, 100, 152));
    EXPECT_EQ(fractal->folders.palette, "");
}

TEST_F(LoadPaletteTest, StoredPaletteFileIsLoaded) {
    storePalettePath(folder.write("fire.pal", "255 0 0\n"));
    auto fractal = makeFractal();
    EXPECT_EQ(fractal->numColors, 1);
    EXPECT_EQ(fractal->colorTable().colorAt(1234), rgb(255, 0, 0));
}

TEST_F(LoadPaletteTest, UnusablePaletteFilesFallBackToTheBuiltInColours) {
    const std::string fifo = folder.file("fifo.pal");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string paths[] = {folder.file("missing.pal"), folder.path().string(), fifo,
                                 folder.write("commas.pal", "255,0,0\n")};
    for (const std::string& path : paths) {
        storePalettePath(path);
        auto fractal = makeFractal();
        EXPECT_EQ(fractal->loadPalette(), 255) << path;
        EXPECT_EQ(entries(fractal->colorTable()),
                  std::vector<Color>(builtInPalette().begin(), builtInPalette().end()))
            << path;
    }
}

// A stored path too long for the 260-byte read keeps the path loaded before.
TEST_F(LoadPaletteTest, PathTooLongToReadKeepsThePreviousFile) {
    storePalettePath(folder.write("blue.pal", "0 0 255\n0 0 254\n"));
    auto fractal = makeFractal();
    ASSERT_EQ(fractal->numColors, 2);

    storePalettePath("/" + std::string(engine::kMaxPathUnits, 'x'));  // one too many
    EXPECT_EQ(fractal->loadPalette(), 2);
    EXPECT_EQ(fractal->folders.palette, folder.file("blue.pal"));
    EXPECT_EQ(makeFractal()->numColors, 255) << "a new fractal has no previous file";
}

TEST(PalettePath, SplitsAtTheLastSlash) {
    platform::HeadlessWindow window(4, 4);
    platform::MemorySettingsStore store;
    platform::RecordingSound sound;
    PaletteFractal fractal(platform::Services{window, store, sound});
    struct Case {
        const char* path;
        const char* directory;
        const char* folderName;
        const char* fileName;
    };
    const Case cases[] = {
        {"/home/me/maps/fire.pal", "/home/me/maps", "maps", "fire.pal"},
        {"fire.pal", "fire.pal", "fire.pal", "fire.pal"},
        {"/fire.pal", "", "", "fire.pal"},
        {"maps/", "maps", "maps", ""},
        {"", "", "", ""},
    };
    for (const Case& c : cases) {
        fractal.folders.palette = c.path;
        EXPECT_EQ(fractal.paletteDirectory(), c.directory) << c.path;
        EXPECT_EQ(fractal.paletteFolderName(), c.folderName) << c.path;
        EXPECT_EQ(fractal.paletteFileName(), c.fileName) << c.path;
        EXPECT_EQ(fractal.folders.palette, c.path);
    }
}

}  // namespace
}  // namespace engine
