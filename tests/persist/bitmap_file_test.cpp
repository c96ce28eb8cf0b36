#include "persist/bitmap_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <climits>
#include <cstdlib>
#include <random>

#include "bmp_builder.h"
#include "platform/regular_file.h"
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
        // Read at a window's size, or headers only, the same files are refused.
        const auto* data = reinterpret_cast<const unsigned char*>(c.file.data());
        EXPECT_FALSE(persist::decodeBitmapScaled(data, c.file.size(), 3, 2).ok());
        EXPECT_FALSE(persist::decodeBitmapScaled(data, c.file.size(), 0, 0).ok());
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

// ----- Reading at another size -----

// A bitmap of every stored format with random pixel bytes (and random padding).
Description randomBitmap(std::uint16_t bits, int width, int height, std::mt19937& random) {
    Description d;
    d.width = width;
    d.height = height;
    d.bitsPerPixel = bits;
    if (bits <= 8) {
        // One entry fewer than the indices can name: the last index reads as black.
        d.palette.resize((std::size_t{1} << bits) - 1);
        for (std::uint32_t& entry : d.palette)
            entry = random() & 0xFFFFFF;
    }
    const std::size_t rowSize = (static_cast<std::size_t>(width) * bits + 31) / 32 * 4;
    for (int y = 0; y < std::abs(height); ++y) {
        std::string row(rowSize, '\0');
        for (char& byte : row)
            byte = static_cast<char>(random());
        d.rows.push_back(row);
    }
    return d;
}

Description withBitFields(Description d, std::uint32_t headerSize,
                          std::vector<std::uint32_t> masks) {
    d.compression = 3;
    d.headerSize = headerSize;
    d.masks = std::move(masks);
    return d;
}

// What Open showed before it read at the window's size: the whole picture, then a
// stretched copy (nearest pixel) onto the window.
std::vector<platform::Color> fullLoadStretched(const std::string& file, int width, int height) {
    const persist::BitmapLoad full = decode(file);
    EXPECT_TRUE(full.ok()) << full.error;
    platform::Bitmap stretched(width, height);
    stretched.stretchFrom(full.bitmap, 0, 0, width, height, 0, 0, full.bitmap.width(),
                          full.bitmap.height());
    return stretched.snapshot();
}

TEST(BitmapFile, ReadingAtAnotherSizeGivesTheStretchedCopyOfEveryFormat) {
    std::mt19937 random(18);
    struct Format {
        const char* name;
        Description description;
    };
    std::vector<Format> formats = {
        {"1-bit", randomBitmap(1, 13, 7, random)},
        {"4-bit", randomBitmap(4, 13, 7, random)},
        {"8-bit", randomBitmap(8, 13, 7, random)},
        {"16-bit 5-5-5", randomBitmap(16, 13, 7, random)},
        {"16-bit 5-6-5 bit fields",
         withBitFields(randomBitmap(16, 13, 7, random), 40, {0xF800, 0x07E0, 0x001F})},
        {"24-bit", randomBitmap(24, 13, 7, random)},
        {"32-bit", randomBitmap(32, 13, 7, random)},
        {"32-bit bit fields",
         withBitFields(randomBitmap(32, 13, 7, random), 124, {0xFF, 0xFF00, 0xFF0000})},
        // Rows longer than one read: the sampled columns are read in several.
        {"24-bit, 90 kB rows", randomBitmap(24, 30011, 3, random)},
        {"1-bit, 75 kB rows", randomBitmap(1, 600001, 2, random)},
    };
    const std::vector<std::pair<int, int>> sizes = {
        {1, 1}, {5, 3}, {13, 7}, {29, 16}, {6, 20}, {40, 2}, {7001, 2}, {70001, 1},
    };
    const testing_support::TempFolder folder;
    for (Format& format : formats) {
        for (const bool topDown : {false, true}) {
            Description& d = format.description;
            d.height = topDown ? -std::abs(d.height) : std::abs(d.height);
            const std::string file = build(d);
            const std::string path = folder.write("picture.bmp", file);
            const auto opened = platform::RegularFile::open(path);
            ASSERT_TRUE(opened.has_value());
            for (const auto& [width, height] : sizes) {
                SCOPED_TRACE(std::string(format.name) + (topDown ? " top-down " : " bottom-up ") +
                             std::to_string(width) + "x" + std::to_string(height));
                const std::vector<platform::Color> expected =
                    fullLoadStretched(file, width, height);
                for (const persist::BitmapLoad& scaled :
                     {persist::decodeBitmapScaled(
                          reinterpret_cast<const unsigned char*>(file.data()), file.size(), width,
                          height),
                      persist::loadBitmapFileScaled(*opened, width, height)}) {
                    ASSERT_TRUE(scaled.ok()) << scaled.error;
                    EXPECT_EQ(scaled.fileWidth, d.width);
                    EXPECT_EQ(scaled.fileHeight, std::abs(d.height));
                    EXPECT_EQ(scaled.bitmap.snapshot(), expected);
                }
            }
        }
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
