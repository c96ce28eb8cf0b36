#include "persist/bitmap_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <climits>

#include "bmp_builder.h"
#include "platform/temp_folder.h"

namespace {

using bmp_test::build;
using bmp_test::bytes;
using bmp_test::Description;
using platform::rgb;

persist::BitmapLoad decode(const std::string& file) {
    return persist::decodeBitmap(reinterpret_cast<const unsigned char*>(file.data()), file.size());
}

// Pixels of the decoded bitmap, top row first.
std::vector<platform::Color> pixels(const platform::Bitmap& bitmap) {
    return bitmap.snapshot();
}

struct ForeignCase {
    const char* name;
    Description description;
    int width;
    int height;
    std::vector<platform::Color> expected;  // top row first
};

std::vector<ForeignCase> foreignCases() {
    const platform::Color red = rgb(255, 0, 0);
    const platform::Color green = rgb(0, 255, 0);
    const platform::Color blue = rgb(0, 0, 255);
    const platform::Color grey = rgb(10, 20, 30);
    std::vector<ForeignCase> cases;

    Description bottomUp;  // 3 x 2, rows padded from 9 to 12 bytes, bottom row first
    bottomUp.width = 3;
    bottomUp.height = 2;
    bottomUp.rows = {bytes({0, 0, 255, 0, 255, 0, 255, 0, 0, 0, 0, 0}),
                     bytes({30, 20, 10, 30, 20, 10, 30, 20, 10, 9, 9, 9})};
    cases.push_back({"24-bit bottom-up", bottomUp, 3, 2, {grey, grey, grey, red, green, blue}});

    Description topDown = bottomUp;
    topDown.height = -2;
    cases.push_back({"24-bit top-down", topDown, 3, 2, {red, green, blue, grey, grey, grey}});

    Description bgrx;
    bgrx.width = 2;
    bgrx.height = 1;
    bgrx.bitsPerPixel = 32;
    bgrx.rows = {bytes({30, 20, 10, 99, 255, 0, 0, 0})};
    cases.push_back({"32-bit", bgrx, 2, 1, {grey, blue}});

    Description fields = bgrx;  // masks in a version 5 header: red in the low byte
    fields.headerSize = 124;
    fields.compression = 3;
    fields.masks = {0x000000FF, 0x0000FF00, 0x00FF0000};
    fields.rows = {bytes({10, 20, 30, 0, 0, 0, 255, 0})};
    cases.push_back({"32-bit bit fields", fields, 2, 1, {grey, blue}});

    Description fields40 = fields;  // masks after a 40-byte header
    fields40.headerSize = 40;
    cases.push_back({"32-bit bit fields after the header", fields40, 2, 1, {grey, blue}});

    Description rgb555;
    rgb555.width = 2;
    rgb555.height = 1;
    rgb555.bitsPerPixel = 16;
    rgb555.rows = {bytes({0x00, 0x7C, 0x1F, 0x00})};
    cases.push_back({"16-bit 5-5-5", rgb555, 2, 1, {red, blue}});

    Description indexed;  // 8 bits with a 3-entry colour table; index 7 lies beyond it
    indexed.width = 5;
    indexed.height = 2;
    indexed.bitsPerPixel = 8;
    indexed.colorsUsed = 3;
    indexed.palette = {0xFF0000, 0x00FF00, 0x0A141E};
    indexed.rows = {bytes({2, 2, 2, 2, 2, 0, 0, 0}), bytes({0, 1, 2, 7, 0, 0, 0, 0})};
    cases.push_back({"8-bit with a colour table",
                     indexed,
                     5,
                     2,
                     {red, green, grey, platform::kBlack, red, grey, grey, grey, grey, grey}});

    Description mono;
    mono.width = 10;
    mono.height = 1;
    mono.bitsPerPixel = 1;
    mono.palette = {0x000000, 0xFFFFFF};
    mono.rows = {bytes({0xA0, 0x40, 0, 0})};
    const platform::Color k = platform::kBlack;
    const platform::Color w = platform::kWhite;
    cases.push_back({"1-bit", mono, 10, 1, {w, k, w, k, k, k, k, k, k, w}});
    return cases;
}

TEST(BitmapFile, ReadsTheUncompressedBitmapsOtherProgramsWrite) {
    for (const ForeignCase& c : foreignCases()) {
        SCOPED_TRACE(c.name);
        const persist::BitmapLoad loaded = decode(build(c.description));
        ASSERT_TRUE(loaded.ok()) << loaded.error;
        EXPECT_EQ(loaded.bitmap.width(), c.width);
        EXPECT_EQ(loaded.bitmap.height(), c.height);
        EXPECT_EQ(pixels(loaded.bitmap), c.expected);
    }
}

TEST(BitmapFile, RefusesHostileFilesWithAReason) {
    Description good;
    good.width = 4;
    good.height = 4;
    good.rows.assign(4, std::string(12, '\x7F'));
    const std::string valid = build(good);
    ASSERT_TRUE(decode(valid).ok());

    const auto with = [&](auto change) {
        Description s = good;
        change(s);
        return build(s);
    };
    const auto patched = [&](std::size_t at, std::uint32_t value) {
        std::string s = valid;
        bmp_test::put32(s, at, value);
        return s;
    };
    struct Case {
        const char* name;
        std::string file;
    };
    const Case cases[] = {
        {"empty", ""},
        {"magic only", "BM"},
        {"wrong magic", "XY" + valid.substr(2)},
        {"file header only", valid.substr(0, 14)},
        {"truncated information header", valid.substr(0, 30)},
        {"header size zero", patched(14, 0)},
        {"header size beyond the end", patched(14, 100000)},
        {"header size near 4 GiB", patched(14, 0xFFFFFFF0u)},
        {"truncated pixel data", valid.substr(0, valid.size() - 1)},
        {"width zero", with([](Description& s) { s.width = 0; })},
        {"negative width", with([](Description& s) { s.width = -4; })},
        {"height zero", with([](Description& s) { s.height = 0; })},
        {"most negative height", with([](Description& s) { s.height = INT32_MIN; })},
        {"dimensions larger than the data", with([](Description& s) { s.height = 5; })},
        {"width x height overflows 32 bits", with([](Description& s) {
             s.width = 0x10001;
             s.height = 0x10001;
         })},
        {"absurd dimensions", with([](Description& s) {
             s.width = INT32_MAX;
             s.height = INT32_MAX;
         })},
        {"data offset beyond the end", patched(10, 0xFFFFFFFFu)},
        {"data offset inside the header", patched(10, 20)},
        {"unsupported depth", with([](Description& s) { s.bitsPerPixel = 7; })},
        {"run-length compression", with([](Description& s) {
             s.bitsPerPixel = 8;
             s.compression = 1;
         })},
        {"colour table beyond the end", with([](Description& s) {
             s.bitsPerPixel = 8;
             s.colorsUsed = 0;
             s.rows.assign(4, std::string(4, '\0'));
             s.dataOffset = 54;
         })},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const persist::BitmapLoad loaded = decode(c.file);
        EXPECT_FALSE(loaded.ok());
        EXPECT_TRUE(loaded.bitmap.empty());
        EXPECT_EQ(loaded.error.find('\n'), std::string::npos);
    }
}

TEST(BitmapFile, ReadsEveryPrefixOfAValidFileSafely) {
    // Each cut of a valid file is either refused or (never here) read in full;
    // the sanitizers watch the reads.
    Description s;
    s.width = 3;
    s.height = -2;
    s.bitsPerPixel = 8;
    s.palette = {0x112233, 0x445566};
    s.colorsUsed = 2;
    s.rows = {bytes({0, 1, 0, 0}), bytes({1, 1, 0, 0})};
    const std::string file = build(s);
    ASSERT_TRUE(decode(file).ok());
    for (std::size_t n = 0; n < file.size(); ++n) {
        EXPECT_FALSE(decode(file.substr(0, n)).ok()) << n;
    }
}

TEST(BitmapFile, RefusesWhatIsNotARegularFileWithoutWaiting) {
    const testing_support::TempFolder folder;
    const std::string fifo = folder.file("pipe.bmp");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string missing = folder.file("missing.bmp");
    for (const std::string& path : {fifo, folder.path().string(), missing}) {
        SCOPED_TRACE(path);
        const auto start = std::chrono::steady_clock::now();
        const persist::BitmapLoad loaded = persist::loadBitmapFile(path);
        EXPECT_FALSE(loaded.ok());
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    }
}

}  // namespace
