#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "app/picture_check.h"
#include "catalogue/factory.h"
#include "engine/settings_key.h"
#include "persist/picture_file.h"
#include "platform/headless_window.h"
#include "platform/png_writer.h"
#include "platform/settings_store.h"
#include "platform/temp_folder.h"

namespace {

using testing_support::TempFolder;

struct Rig {
    Rig(int width, int height, engine::FractalType type)
        : window(width, height),
          fractal(catalogue::createFractal(type, platform::Services{window, store, sound})) {}
    platform::HeadlessWindow window;
    platform::MemorySettingsStore store;
    platform::RecordingSound sound;
    engine::FractalPtr fractal;
};

// A stopped picture whose every pixel is known.
void showStillPattern(engine::Fractal& f) {
    f.stopCalculation();
    for (int y = 0; y < f.height; ++y)
        for (int x = 0; x < f.width; ++x)
            f.picture.setPixel(
                x, y,
                platform::rgb(static_cast<unsigned>(x * 5), static_cast<unsigned>(y * 9),
                              static_cast<unsigned>(x ^ y)));
}

bool startsWith(const std::string& file, const std::string& prefix) {
    return file.compare(0, prefix.size(), prefix) == 0;
}

// The name alone decides the format; either reads back the same type, parameters and
// pixels, through readPictureFile and through Open.
TEST(PngPicture, TheNameDecidesTheFormatAndBothReadBackAlike) {
    struct Case {
        const char* name;
        persist::PictureFormat format;
    };
    const Case cases[] = {
        {"a.png", persist::PictureFormat::Png},
        {"b.PNG", persist::PictureFormat::Png},
        {"c.Png", persist::PictureFormat::Png},
        {"d.bmp.png", persist::PictureFormat::Png},
        {"e.bmp", persist::PictureFormat::Bitmap},
        {"f", persist::PictureFormat::Bitmap},
        {"g.png.bmp", persist::PictureFormat::Bitmap},
        {"h.pngx", persist::PictureFormat::Bitmap},
        {".png", persist::PictureFormat::Png},
        {"folder.png/i", persist::PictureFormat::Bitmap},
    };
    const TempFolder folder;
    std::filesystem::create_directory(folder.path() / "folder.png");
    Rig saver(37, 23, engine::kJulia);
    showStillPattern(*saver.fractal);
    const std::string params = saver.fractal->parameterString();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = folder.file(c.name);
        EXPECT_EQ(persist::pictureFormatFor(path), c.format);
        const engine::SaveResult saved =
            saver.fractal->saveImageTo(path, platform::StreamTargets::Refuse);
        ASSERT_EQ(saved.status, engine::kStatusOk) << saved.reason;
        const std::string bytes = TempFolder::read(path);
        EXPECT_TRUE(startsWith(bytes, c.format == persist::PictureFormat::Png ? "\x89PNG" : "BM"));

        const persist::PictureFile file =
            persist::readPictureFile(path, engine::kMaxParameterUnits, 37, 23);
        ASSERT_TRUE(file.image.ok()) << file.image.error;
        EXPECT_EQ(file.format, c.format);
        EXPECT_EQ(file.type, engine::kJulia);
        EXPECT_EQ(file.params, params);
        EXPECT_EQ(file.image.bitmap.snapshot(), saver.fractal->picture.snapshot());
        EXPECT_FALSE(app::pictureFileProblem(file).has_value());

        Rig opener(37, 23, engine::kMandelbrot);
        ASSERT_EQ(opener.fractal->openImage(path, false), engine::kStatusOk);
        EXPECT_EQ(opener.fractal->opened.type, engine::kJulia);
        EXPECT_EQ(opener.fractal->opened.params, params);
        EXPECT_EQ(opener.fractal->picture.snapshot(), saver.fractal->picture.snapshot());
    }
}

// The texts of a PNG picture are taken by the rules of the bitmap's trailer: a string
// too long for the reader is not taken at all, a type that is not a number is none.
TEST(PngPicture, TypeAndParameterChunksAreReadSafely) {
    struct Case {
        const char* what;
        std::vector<platform::PngText> texts;
        std::optional<engine::FractalType> type;
        std::string params;
    };
    const int capacity = 10;
    const std::string ten = "1,2,3,4,56";
    const Case cases[] = {
        {"no chunks", {}, std::nullopt, ""},
        {"both", {{"Corvane-Type", "7"}, {"Corvane-Parameters", ten}}, 7, ten},
        {"negative type", {{"Corvane-Type", "-3"}}, -3, ""},
        {"type not a number", {{"Corvane-Type", "seven"}}, std::nullopt, ""},
        {"type with a space", {{"Corvane-Type", " 7"}}, std::nullopt, ""},
        {"type with a tail", {{"Corvane-Type", "7x"}}, std::nullopt, ""},
        {"empty type", {{"Corvane-Type", ""}}, std::nullopt, ""},
        {"type beyond the id's range", {{"Corvane-Type", "4294967297"}}, std::nullopt, ""},
        {"the first chunk of a keyword counts",
         {{"Corvane-Type", "2"},
          {"Corvane-Type", "3"},
          {"Corvane-Parameters", "a"},
          {"Corvane-Parameters", "b"}},
         2,
         "a"},
        {"keywords differ in case",
         {{"corvane-type", "2"}, {"CORVANE-PARAMETERS", "a"}},
         std::nullopt,
         ""},
        {"parameters one unit too long", {{"Corvane-Parameters", ten + "7"}}, std::nullopt, ""},
        {"two units of one character too long",
         {{"Corvane-Parameters", "1,2,3,4,5\xf0\x9f\x98\x80"}},
         std::nullopt,
         ""},
        {"cut at a zero character",
         {{"Corvane-Parameters", ten + std::string(1, '\0') + "junk"}},
         std::nullopt,
         ten},
        {"not UTF-8", {{"Corvane-Parameters", "1,2\xff"}}, std::nullopt, "1,2\xef\xbf\xbd"},
    };
    const TempFolder folder;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = folder.file("t.png");
        std::FILE* out = std::fopen(path.c_str(), "wb");
        ASSERT_NE(out, nullptr);
        {
            platform::PngWriter writer(out, 2, 1, c.texts);
            const std::uint8_t row[6] = {255, 0, 0, 0, 255, 0};
            writer.writeRow(row);
            EXPECT_TRUE(writer.finish()) << writer.error();
        }
        std::fclose(out);
        const persist::PictureFile file = persist::readPictureFile(path, capacity, 2, 1);
        ASSERT_TRUE(file.image.ok()) << file.image.error;
        EXPECT_EQ(file.type, c.type);
        EXPECT_EQ(file.params, c.params);
        // Open shows any picture, as it shows a bitmap without a trailer; the window
        // refuses one that cannot become the next fractal.
        Rig rig(2, 1, engine::kMandelbrot);
        ASSERT_EQ(rig.fractal->openImage(path, false), engine::kStatusOk);
        EXPECT_EQ(rig.fractal->picture.pixel(1, 0), platform::rgb(0, 255, 0));
        if (!c.type) {
            EXPECT_EQ(app::pictureFileProblem(file),
                      "the PNG picture holds no fractal type and parameters");
        }
    }
}

// The samples a pixel averages are taken only as a whole number from 1 to 16.
TEST(PngPicture, SupersampleChunkIsReadSafely) {
    struct Case {
        std::vector<platform::PngText> texts;
        int factor;
    };
    const Case cases[] = {
        {{}, 1},
        {{{"Corvane-Supersample", "2"}}, 2},
        {{{"Corvane-Supersample", "16"}}, 16},
        {{{"Corvane-Supersample", "17"}}, 1},
        {{{"Corvane-Supersample", "0"}}, 1},
        {{{"Corvane-Supersample", "-2"}}, 1},
        {{{"Corvane-Supersample", "2x"}}, 1},
        {{{"Corvane-Supersample", ""}}, 1},
        {{{"Corvane-Supersample", "99999999999999999999"}}, 1},
        {{{"Corvane-Supersample", "3"}, {"Corvane-Supersample", "4"}}, 3},
    };
    const TempFolder folder;
    for (const Case& c : cases) {
        const std::string path = folder.file("s.png");
        std::FILE* out = std::fopen(path.c_str(), "wb");
        ASSERT_NE(out, nullptr);
        {
            platform::PngWriter writer(out, 1, 1, c.texts);
            const std::uint8_t row[3] = {1, 2, 3};
            writer.writeRow(row);
            EXPECT_TRUE(writer.finish()) << writer.error();
        }
        std::fclose(out);
        const persist::PictureFile file = persist::readPictureFile(path, 100, 1, 1);
        ASSERT_TRUE(file.image.ok()) << file.image.error;
        EXPECT_EQ(file.supersample, c.factor) << ::testing::PrintToString(c.texts.size());
    }
}

// Saving a PNG fails as saving a bitmap does: the reason, the earlier file intact.
TEST(PngPicture, AWriteThatFailsIsReportedWithTheSystemsReason) {
    Rig rig(300, 200, engine::kMandelbrot);
    showStillPattern(*rig.fractal);
    const engine::SaveResult full =
        rig.fractal->saveImageTo("/dev/full", platform::StreamTargets::WriteInto);
    EXPECT_EQ(full.status, engine::kStatusCannotCreate);
    EXPECT_EQ(full.reason, "No space left on device");
}

}  // namespace
