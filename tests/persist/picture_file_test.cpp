#include "persist/picture_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "bmp_builder.h"
#include "catalogue/factory.h"
#include "engine/test_fractal.h"
#include "persist/bitmap_file.h"
#include "platform/c_format.h"
#include "platform/headless_window.h"
#include "platform/regular_file.h"
#include "platform/settings_store.h"
#include "platform/temp_folder.h"
#include "platform/text.h"
#include "view/deep_view.h"

namespace {

using testing_support::TempFolder;

const char kKey[] = "Software\\Velk\\Corvane";

struct Rig {
    Rig(int width, int height, engine::FractalType type = engine::kMandelbrot)
        : window(width, height),
          fractal(catalogue::createFractal(type, platform::Services{window, store, sound})) {}
    std::optional<std::string> storedText(const std::string& name) {
        const auto value = store.read(kKey, name);
        if (!value)
            return std::nullopt;
        return value->text;
    }
    platform::HeadlessWindow window;
    platform::MemorySettingsStore store;
    platform::RecordingSound sound;
    engine::FractalPtr fractal;
};

platform::Color patternColor(int x, int y) {
    return platform::rgb(static_cast<unsigned>(x * 3), static_cast<unsigned>(y * 7),
                         static_cast<unsigned>(x ^ y));
}

void paintPattern(engine::Fractal& f) {
    for (int y = 0; y < f.height; ++y) {
        for (int x = 0; x < f.width; ++x)
            f.picture.setPixel(x, y, patternColor(x, y));
    }
}

// The default view, stopped, showing the pattern: a picture whose every pixel is known.
void showStillPattern(engine::Fractal& f) {
    f.setDefaultView();
    f.stopCalculation();
    paintPattern(f);
}

// A minimal reader of the saved layout, written from the format alone.
struct SavedPicture {
    std::uint32_t sizeField = 0;
    std::uint32_t dataOffset = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::vector<platform::Color> pixels;  // top row first
    std::int32_t typeId = 0;
    std::u16string params;  // without the terminating zero unit
    bool terminated = false;
    std::size_t trailerBytes = 0;
};

SavedPicture readSaved(const std::string& file) {
    SavedPicture p;
    p.sizeField = bmp_test::get32(file, 2);
    p.dataOffset = bmp_test::get32(file, 10);
    p.width = static_cast<std::int32_t>(bmp_test::get32(file, 18));
    p.height = static_cast<std::int32_t>(bmp_test::get32(file, 22));
    const std::size_t stride = (static_cast<std::size_t>(p.width) * 3 + 3) / 4 * 4;
    p.pixels.resize(static_cast<std::size_t>(p.width) * static_cast<std::size_t>(p.height));
    for (int row = 0; row < p.height; ++row) {
        const std::size_t start = p.dataOffset + static_cast<std::size_t>(row) * stride;
        const int y = p.height - 1 - row;
        for (int x = 0; x < p.width; ++x) {
            const auto byte = [&](std::size_t i) {
                return static_cast<unsigned char>(
                    file.at(start + static_cast<std::size_t>(x) * 3 + i));
            };
            p.pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(p.width) +
                     static_cast<std::size_t>(x)] = platform::rgb(byte(2), byte(1), byte(0));
        }
    }
    const std::size_t trailer = p.dataOffset + stride * static_cast<std::size_t>(p.height);
    p.trailerBytes = file.size() - trailer;
    if (p.trailerBytes >= 4)
        p.typeId = static_cast<std::int32_t>(bmp_test::get32(file, trailer));
    for (std::size_t at = trailer + 4; at + 1 < file.size(); at += 2) {
        const auto unit = static_cast<char16_t>(static_cast<unsigned char>(file[at]) |
                                                (static_cast<unsigned char>(file[at + 1]) << 8));
        if (unit == 0) {
            p.terminated = at + 2 == file.size();
            break;
        }
        p.params.push_back(unit);
    }
    return p;
}

std::vector<std::string> folderEntries(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

TEST(PictureFile, LayoutOfA240By268Picture) {
    const TempFolder folder;
    Rig rig(240, 268);
    paintPattern(*rig.fractal);
    const std::string path = folder.file("m.bmp");
    ASSERT_EQ(rig.fractal->saveImage(path), engine::kStatusOk);

    const std::string file = TempFolder::read(path);
    const std::optional<std::string> stored = rig.storedText("Mandelbrot");
    ASSERT_TRUE(stored.has_value());
    const std::u16string params = platform::toUtf16(*stored);
    ASSERT_EQ(file.size(), 193018u + 4 + 2 * (params.size() + 1));

    unsigned char header[58] = {'B', 'M', 0xFA, 0xF1, 0x02, 0x00, 0, 0,  0, 0, 58, 0, 0, 0,  40,
                                0,   0,   0,    240,  0,    0,    0, 12, 1, 0, 0,  1, 0, 24, 0};
    EXPECT_EQ(file.substr(0, 58), std::string(reinterpret_cast<const char*>(header), 58));
    EXPECT_EQ(bmp_test::get32(file, 193018), 5u);
    std::string expectedParams;
    for (const char16_t unit : params + u'\0') {
        expectedParams += static_cast<char>(unit & 0xFF);
        expectedParams += static_cast<char>(unit >> 8);
    }
    EXPECT_EQ(file.substr(193022), expectedParams);
    // The folder is remembered for the next save.
    EXPECT_EQ(rig.fractal->folders.images, folder.path().string());
    EXPECT_EQ(rig.storedText("ImagePath"), folder.path().string());
}

TEST(PictureFile, SavedPixelsReadBackExactly) {
    for (const auto& [w, h] :
         std::vector<std::pair<int, int>>{{240, 268}, {37, 23}, {1, 1}, {5, 3}}) {
        SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h));
        const TempFolder folder;
        Rig rig(w, h);
        paintPattern(*rig.fractal);
        const std::string path = folder.file("p.bmp");
        ASSERT_EQ(rig.fractal->saveImage(path), engine::kStatusOk);

        const SavedPicture saved = readSaved(TempFolder::read(path));
        EXPECT_EQ(saved.sizeField, persist::pictureTrailerOffset(w, h));
        EXPECT_EQ(saved.dataOffset, 58u);
        EXPECT_EQ(saved.width, w);
        EXPECT_EQ(saved.height, h);
        EXPECT_EQ(saved.pixels, rig.fractal->picture.snapshot());
        EXPECT_EQ(saved.typeId, engine::kMandelbrot);
        EXPECT_EQ(platform::fromUtf16(saved.params), rig.storedText("Mandelbrot").value());
        EXPECT_TRUE(saved.terminated);
    }
}

TEST(PictureFile, AFailedSaveReturns4AndKeepsEverything) {
    const TempFolder folder;
    const std::string existing = folder.write("old.bmp", "earlier picture");
    folder.write("plain-file", "x");
    std::filesystem::create_directory(folder.path() / "a-folder");
    std::filesystem::create_directory(folder.path() / "read-only");
    std::filesystem::permissions(
        folder.path() / "read-only",
        std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    std::vector<std::string> targets = {
        folder.file("missing/x.bmp"),  // no such folder
        folder.file("missing/x.png"),
        folder.file("plain-file/x.bmp"),  // a file where a folder should be
        folder.file("plain-file/x.png"),
        folder.file("a-folder"),  // a folder where the file should be
        "",
    };
    if (::geteuid() != 0) {  // permissions do not stop the superuser
        targets.push_back(folder.file("read-only/x.bmp"));
        targets.push_back(folder.file("read-only/x.png"));
        ::chmod(existing.c_str(), 0444);
        targets.push_back(existing);
    }
    const std::vector<std::string> before = folderEntries(folder.path());
    for (const std::string& target : targets) {
        SCOPED_TRACE(target);
        Rig rig(16, 16);
        rig.fractal->folders.images = "/somewhere";
        EXPECT_EQ(rig.fractal->saveImage(target), engine::kStatusCannotCreate);
        EXPECT_EQ(rig.fractal->folders.images, "/somewhere");
        EXPECT_EQ(rig.storedText("ImagePath"), std::nullopt);
        EXPECT_EQ(folderEntries(folder.path()), before);
        EXPECT_TRUE(std::filesystem::is_empty(folder.path() / "a-folder"));
        EXPECT_EQ(TempFolder::read(existing), "earlier picture");
    }
    std::filesystem::permissions(folder.path() / "read-only", std::filesystem::perms::owner_all);
}

// A fractal whose parameter string has the given length.
class ParametersOfLength : public corvane_test::TestFractal {
  public:
    ParametersOfLength(const platform::Services& services, std::size_t length)
        : TestFractal(services), length_(length) {}
    std::string parameterString() const override { return std::string(length_, '7'); }

  private:
    std::size_t length_;
};

// What a save writes, Open reads whole; what it could not, it does not write at all.
// Whether the settings can be written makes no difference to the picture.
TEST(PictureFile, APictureIsSavedOnlyWithItsWholeParameterString) {
    const std::size_t longest = engine::kMaxParameterUnits;
    const struct {
        std::size_t length;
        bool storeWorks;
        int status;
    } cases[] = {
        {0, true, engine::kStatusOk},
        {longest, true, engine::kStatusOk},
        {longest + 1, true, engine::kStatusCannotStoreParameters},
        {10, false, engine::kStatusOk},
        {longest + 1, false, engine::kStatusCannotStoreParameters},
    };
    for (const auto& c : cases) {
        for (const char* name : {"p.bmp", "p.png"}) {
            SCOPED_TRACE(std::to_string(c.length) + " " + name);
            const TempFolder folder;
            corvane_test::Rig memory(6, 4);
            platform::FileSettingsStore unwritable(folder.write("file", "x") + "/Corvane.reg");
            platform::SettingsStore& store =
                c.storeWorks ? static_cast<platform::SettingsStore&>(memory.store) : unwritable;
            const platform::Services services{memory.window, store, memory.sound};
            ParametersOfLength fractal(services, c.length);
            fractal.folders.images = "/before";
            const std::string path = folder.file(name);

            const engine::SaveResult saved =
                fractal.saveImageTo(path, platform::StreamTargets::Refuse);
            EXPECT_EQ(saved.status, c.status);
            if (c.status == engine::kStatusOk) {
                const persist::PictureFile file = persist::readPictureFile(path, longest, 6, 4);
                EXPECT_EQ(file.params, std::string(c.length, '7'));
                EXPECT_EQ(fractal.folders.images, folder.path().string());
            } else {
                EXPECT_NE(saved.reason.find("too long"), std::string::npos) << saved.reason;
                EXPECT_FALSE(std::filesystem::exists(path));
                EXPECT_EQ(fractal.folders.images, "/before");
            }
        }
    }
}

TEST(PictureFile, ProposesTheFirstFreeNumber) {
    const TempFolder folder;
    Rig rig(8, 8);
    rig.fractal->folders.images = folder.path().string();
    EXPECT_EQ(rig.fractal->proposeFileName(260), "Mandelbrot001");
    folder.write("Mandelbrot001.bmp", "");
    folder.write("Mandelbrot002.bmp", "");
    EXPECT_EQ(rig.fractal->proposeFileName(260), "Mandelbrot003");
    folder.write("Mandelbrot004.bmp", "");
    EXPECT_EQ(rig.fractal->proposeFileName(260), "Mandelbrot003");
    // A PNG picture takes its number as a bitmap does.
    folder.write("Mandelbrot003.png", "");
    EXPECT_EQ(rig.fractal->proposeFileName(260), "Mandelbrot005");
    // The name is shortened so that name, number and terminator fit the capacity.
    EXPECT_EQ(rig.fractal->proposeFileName(8), "Mand001");
    for (int n = 1; n <= 998; ++n)
        folder.write(platform::cformat("Mandelbrot%03d.bmp", n), "");
    EXPECT_EQ(rig.fractal->proposeFileName(260), "Mandelbrot999");
    folder.write("Mandelbrot999.bmp", "");
    EXPECT_EQ(rig.fractal->proposeFileName(260), "Mandelbrot999");
}

std::string utf16le(const std::u16string& units) {
    std::string s;
    for (const char16_t u : units) {
        s += static_cast<char>(u & 0xFF);
        s += static_cast<char>(u >> 8);
    }
    return s;
}

TEST(PictureFile, TrailerIsReadSafely) {
    const std::string pixels(58 + 12 * 2, '\0');  // a 4 x 2 picture
    const std::string typeSix = bmp_test::bytes({6, 0, 0, 0});
    const std::u16string longText(300, u'7');
    struct Case {
        const char* name;
        std::string trailer;
        int capacity;
        engine::FractalType type;
        std::string params;
    };
    const Case cases[] = {
        {"no trailer", "", 255, 99, ""},
        {"a cut type id", bmp_test::bytes({6, 0}), 255, 99, ""},
        {"type only", typeSix, 255, 6, ""},
        {"terminated", typeSix + utf16le(u"1,2\0"), 255, 6, "1,2"},
        {"no terminator", typeSix + utf16le(u"1,2"), 255, 6, "1,2"},
        {"odd length", typeSix + utf16le(u"1,2") + "\x33", 255, 6, "1,2"},
        {"stops at the first zero", typeSix + utf16le(std::u16string(u"ab\0cd", 5)), 255, 6, "ab"},
        // Cut short, the last field could read as another number: not taken at all.
        {"longer than the capacity", typeSix + utf16le(longText), 255, 6, ""},
        {"as long as the capacity", typeSix + utf16le(longText + u'\0'), 300, 6,
         std::string(300, '7')},
        {"as long as the capacity, at the end", typeSix + utf16le(longText), 300, 6,
         std::string(300, '7')},
        {"capacity zero", typeSix + utf16le(u"1,2"), 0, 6, ""},
        {"capacity zero, empty string", typeSix + utf16le(u"\0"), 0, 6, ""},
        {"unpaired surrogate", typeSix + utf16le(u"a") + bmp_test::bytes({0x00, 0xD8}), 255, 6,
         "a\xEF\xBF\xBD"},
    };
    const TempFolder folder;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = folder.write("t.bmp", pixels + c.trailer);
        engine::FractalType type = 99;
        std::string params = "old";
        EXPECT_EQ(persist::readPictureTrailer(path, 4, 2, type, params, c.capacity),
                  engine::kStatusOk);
        EXPECT_EQ(type, c.type);
        EXPECT_EQ(params, c.params);
    }
    engine::FractalType type = 99;
    std::string params = "old";
    const std::string path = folder.file("t.bmp");
    EXPECT_EQ(persist::readPictureTrailer(path, INT32_MAX, INT32_MAX, type, params, 255),
              engine::kStatusOk);
    EXPECT_EQ(type, 99);
    EXPECT_EQ(params, "");
    EXPECT_EQ(persist::readPictureTrailer(folder.file("none.bmp"), 4, 2, type, params, 255),
              engine::kStatusCannotOpen);
    EXPECT_EQ(params, "");
}

TEST(PictureFile, OpeningRestoresPictureTypeAndView) {
    const TempFolder folder;
    Rig saver(40, 30);
    showStillPattern(*saver.fractal);
    const std::string path = folder.file("m.bmp");
    ASSERT_EQ(saver.fractal->saveImage(path), engine::kStatusOk);

    Rig opener(40, 30, engine::kJulia);
    ASSERT_EQ(opener.fractal->openImage(path, false), engine::kStatusOk);
    EXPECT_EQ(opener.fractal->opened.type, engine::kMandelbrot);
    EXPECT_EQ(opener.fractal->type, engine::kJulia);
    EXPECT_EQ(opener.fractal->opened.params, saver.storedText("Mandelbrot").value());
    EXPECT_EQ(opener.fractal->picture.snapshot(), saver.fractal->picture.snapshot());
    const view::ViewWindow& shown = opener.fractal->opened.view;
    const view::ViewWindow& saved = saver.fractal->view();
    EXPECT_NEAR(shown.xmin, saved.xmin, 1e-6);
    EXPECT_NEAR(shown.xmax, saved.xmax, 1e-6);
    EXPECT_NEAR(shown.ymin, saved.ymin, 1e-6);
    EXPECT_NEAR(shown.ymax, saved.ymax, 1e-6);
}

// Open checks a file and then shows it; both must see the same file even when its
// name is removed or replaced between the two.
TEST(PictureFile, AnOpenFileIsReadAsItWasWhateverHappensToItsName) {
    const TempFolder folder;
    Rig saver(40, 30);
    showStillPattern(*saver.fractal);
    const std::string path = folder.file("m.bmp");
    const std::string other = folder.file("other.bmp");
    ASSERT_EQ(saver.fractal->saveImage(path), engine::kStatusOk);
    const std::string savedParams = saver.storedText("Mandelbrot").value();

    for (const bool replace : {false, true}) {
        SCOPED_TRACE(replace ? "replaced" : "removed");
        ASSERT_EQ(saver.fractal->saveImage(path), engine::kStatusOk);
        const auto file = platform::RegularFile::open(path);
        ASSERT_TRUE(file.has_value());
        if (replace) {
            std::FILE* text = std::fopen(other.c_str(), "wb");
            ASSERT_NE(text, nullptr);
            std::fputs("no picture", text);
            std::fclose(text);
            ASSERT_EQ(std::rename(other.c_str(), path.c_str()), 0);
        } else {
            ASSERT_EQ(std::remove(path.c_str()), 0);
        }
        const persist::BitmapLoad image = persist::loadBitmapFile(*file);
        ASSERT_TRUE(image.ok()) << image.error;
        EXPECT_EQ(image.bitmap.snapshot(), saver.fractal->picture.snapshot());
        engine::FractalType type = 0;
        std::string params;
        EXPECT_TRUE(persist::readPictureTrailer(*file, 40, 30, type, params, 255));
        EXPECT_EQ(type, engine::kMandelbrot);
        EXPECT_EQ(params, savedParams);
    }
}

TEST(PictureFile, ReadPictureFileTellsWhetherTheTrailerHasAType) {
    const TempFolder folder;
    Rig saver(4, 2);
    showStillPattern(*saver.fractal);
    const std::string picture = folder.file("m.bmp");
    ASSERT_EQ(saver.fractal->saveImage(picture), engine::kStatusOk);
    const persist::PictureFile full = persist::readPictureFile(picture, 255, 4, 2);
    ASSERT_TRUE(full.image.ok());
    EXPECT_EQ(full.type, engine::kMandelbrot);
    EXPECT_FALSE(full.params.empty());

    // The same pixels cut off right after the bitmap: no type, no parameters.
    const std::string bare = folder.file("bare.bmp");
    std::filesystem::copy_file(picture, bare);
    std::filesystem::resize_file(bare, persist::pictureTrailerOffset(4, 2));
    const persist::PictureFile cut = persist::readPictureFile(bare, 255, 4, 2);
    ASSERT_TRUE(cut.image.ok());
    EXPECT_FALSE(cut.type.has_value());
    EXPECT_TRUE(cut.params.empty());

    const persist::PictureFile missing =
        persist::readPictureFile(folder.file("none.bmp"), 255, 4, 2);
    EXPECT_FALSE(missing.image.ok());
    EXPECT_NE(missing.image.error.find("No such file"), std::string::npos);
}

TEST(PictureFile, ASmallerPictureIsScaledToTheWindow) {
    const TempFolder folder;
    Rig saver(120, 134);
    paintPattern(*saver.fractal);
    const std::string path = folder.file("small.bmp");
    ASSERT_EQ(saver.fractal->saveImage(path), engine::kStatusOk);

    Rig opener(240, 268);
    ASSERT_EQ(opener.fractal->openImage(path, false), engine::kStatusOk);
    for (int y = 0; y < 268; y += 7) {
        for (int x = 0; x < 240; x += 5) {
            ASSERT_EQ(opener.fractal->picture.pixel(x, y), patternColor(x / 2, y / 2))
                << x << "," << y;
        }
    }
}

// The largest pictures the loader accepts open at the window's size as quickly as any
// other, in the window and in the slideshow (which both read through openImage).
TEST(PictureFile, TheLargestPicturesOpenAtTheWindowsSize) {
    const TempFolder folder;
    const std::string params = "-2,-1,1,1,50,0,0,1,1,100";
    const std::string trailer =
        bmp_test::bytes({6, 0, 0, 0}) + utf16le(u"-2,-1,1,1,50,0,0,1,1,100");
    for (const auto& [width, height] : {std::pair{1, 268435456}, std::pair{16384, 16384}}) {
        SCOPED_TRACE(std::to_string(width) + "x" + std::to_string(height));
        const std::string path = folder.file("huge.bmp");
        bmp_test::writeSparsePicture(path, width, height, trailer);
        Rig rig(24, 20);
        paintPattern(*rig.fractal);
        // The black picture keeps its proportions, on a border where it does not fill.
        const persist::PictureSize fitted = persist::fittedSize(width, height, 24, 20);
        platform::Bitmap expected(24, 20);
        expected.fillRect({0, 0, 24, 20}, persist::kPictureBorder);
        const int left = (24 - fitted.width) / 2;
        const int top = (20 - fitted.height) / 2;
        expected.fillRect({left, top, left + fitted.width, top + fitted.height}, platform::kBlack);
        for (const bool animate : {false, true}) {
            ASSERT_EQ(rig.fractal->openImage(path, animate), engine::kStatusOk);
            EXPECT_EQ(rig.fractal->opened.type, engine::kJulia);
            EXPECT_EQ(rig.fractal->opened.params, params);
            EXPECT_EQ(rig.fractal->picture.snapshot(), expected.snapshot());
        }
    }
}

TEST(PictureFile, WhatCannotBeOpenedChangesNothing) {
    const TempFolder folder;
    Rig rig(16, 12);
    paintPattern(*rig.fractal);
    rig.fractal->opened.params = "before";
    const auto picture = rig.fractal->picture.snapshot();
    const double xmin = rig.fractal->opened.view.xmin;
    for (const std::string& path :
         {folder.file("none.bmp"), folder.write("text.bmp", "not a picture"),
          folder.path().string()}) {
        SCOPED_TRACE(path);
        EXPECT_EQ(rig.fractal->openImage(path, true), engine::kStatusNotABitmap);
        EXPECT_EQ(rig.fractal->opened.type, engine::kMandelbrot);
        EXPECT_EQ(rig.fractal->opened.params, "before");
        EXPECT_EQ(rig.fractal->opened.view.xmin, xmin);
        EXPECT_EQ(rig.fractal->picture.snapshot(), picture);
    }
}

TEST(PictureFile, ABitmapWithoutTrailerKeepsTypeAndView) {
    const TempFolder folder;
    bmp_test::Description description;
    description.width = 2;
    description.height = 1;
    description.rows = {bmp_test::bytes({0, 0, 255, 0, 255, 0, 0, 0})};
    const std::string path = folder.write("foreign.bmp", bmp_test::build(description));
    Rig rig(2, 1);
    rig.fractal->opened.params = "before";
    const double xmin = rig.fractal->opened.view.xmin;
    ASSERT_EQ(rig.fractal->openImage(path, false), engine::kStatusOk);
    EXPECT_EQ(rig.fractal->opened.type, engine::kMandelbrot);
    EXPECT_EQ(rig.fractal->opened.params, "");
    EXPECT_EQ(rig.fractal->opened.view.xmin, xmin);
    EXPECT_EQ(rig.fractal->picture.pixel(0, 0), platform::rgb(255, 0, 0));
    EXPECT_EQ(rig.fractal->picture.pixel(1, 0), platform::rgb(0, 255, 0));
}

// A picture file of a plain colour whose trailer carries the given view.
std::string pictureWithView(const TempFolder& folder, const std::string& name, int w, int h,
                            const std::string& view) {
    unsigned char header[persist::kPictureDataOffset];
    persist::pictureFileHeader(w, h, header);
    std::string file(reinterpret_cast<const char*>(header), sizeof header);
    file += std::string(static_cast<std::size_t>(persist::pictureRowSize(w)) * h, '\x40');
    file += bmp_test::bytes({5, 0, 0, 0}) + utf16le(platform::toUtf16(view) + u'\0');
    return folder.write(name, file);
}

// A deep view's parameter string travels whole in both formats up to the length the
// readers take; a longer one is refused whole, never cut.
TEST(PictureFile, DeepViewParameterStringsTravelWhole) {
    const TempFolder folder;
    const std::string classic = "-0.75,0.1,-0.75,0.1,500,0,0,0,0,100";
    struct Case {
        const char* width;
        bool fits;
    };
    const Case cases[] = {{"1e-300", true}, {"1e-30000", true}, {"1e-40000", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.width);
        const auto text = view::parseCentreAndWidth("-0.75,0.1", c.width).value;
        ASSERT_TRUE(text);
        // A zoom at a pixel gives the centre every digit its precision holds.
        const view::DeepView view =
            view::DeepView::fromCentreAndWidth(text->x, text->y, text->width, 12, 10)
                ->zoomedAtPixel(1, 2, 1.25);
        const std::string params = classic + view::deepViewField(view);
        const std::string bmp = pictureWithView(folder, "deep.bmp", 12, 10, params);
        const std::string png = folder.file("deep.png");
        {
            platform::Bitmap pixels(12, 10);
            std::FILE* file = std::fopen(png.c_str(), "wb");
            ASSERT_NE(file, nullptr);
            EXPECT_TRUE(persist::writePicturePng(file, pixels, 12, 10, 5, params));
            std::fclose(file);
        }
        for (const std::string& path : {bmp, png}) {
            const persist::PictureFile read =
                persist::readPictureFile(path, engine::kMaxParameterUnits, 0, 0);
            ASSERT_TRUE(read.image.ok()) << read.image.error;
            if (!c.fits) {
                EXPECT_GT(params.size(), static_cast<std::size_t>(engine::kMaxParameterUnits));
                EXPECT_EQ(read.params, "");
                continue;
            }
            EXPECT_EQ(read.params, params);
            const auto back = view::readDeepViewField(read.params, 12, 10);
            ASSERT_TRUE(back);
            EXPECT_TRUE(view::DeepView::same(*back, view));
        }
    }
}

TEST(PictureFile, AnimatedOpeningEndsWithTheNewPicture) {
    const TempFolder folder;
    const struct {
        const char* name;
        const char* view;
        bool animated;
    } cases[] = {
        {"zoom in", "-0.5,-0.5,0.5,0.5,100,0,0,0,0,100", true},
        {"zoom out", "-1000,-1000,1000,1000,100,0,0,0,0,100", true},
        {"beside, a few hundred pixels away", "50,50,54,54,100,0,0,0,0,100", true},
        {"far away, the old view a dot beside", "1e300,1e300,2e300,2e300,100,0,0,0,0,100", true},
        {"tiny and far", "1e9,1e9,1.000000001e9,1.000000001e9,100,0,0,0,0,100", false},
        {"unparsable: the view stays", "nonsense", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig(24, 20);
        rig.fractal->opened.view.setRect(-2, -2, 2, 2);
        paintPattern(*rig.fractal);
        const std::string path = pictureWithView(folder, "a.bmp", 12, 10, c.view);
        ASSERT_EQ(rig.fractal->openImage(path, true), engine::kStatusOk);
        const std::vector<platform::Color> expected(24 * 20, platform::rgb(0x40, 0x40, 0x40));
        EXPECT_EQ(rig.fractal->picture.snapshot(), expected);
        EXPECT_EQ(rig.window.flushCount() >= 15, c.animated) << rig.window.flushCount();
    }
}

}  // namespace
