#include "platform/png_writer.h"

#include <gtest/gtest.h>
#include <spng.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace platform {
namespace {

using Bytes = std::vector<unsigned char>;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

Bytes contents(std::FILE* file) {
    std::fflush(file);
    std::rewind(file);
    Bytes bytes;
    int c;
    while ((c = std::fgetc(file)) != EOF)
        bytes.push_back(static_cast<unsigned char>(c));
    return bytes;
}

std::uint32_t bigEndian(const unsigned char* p) {
    return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}

// The chunk types of a PNG file in order ("IHDR", "tEXt", ...).
std::vector<std::string> chunkTypes(const Bytes& png) {
    std::vector<std::string> types;
    std::size_t at = 8;
    while (at + 12 <= png.size()) {
        const std::uint32_t length = bigEndian(&png[at]);
        types.emplace_back(reinterpret_cast<const char*>(&png[at + 4]), 4);
        at += 12 + std::size_t{length};
    }
    return types;
}

struct Decoded {
    std::uint32_t width = 0, height = 0;
    Bytes rgb;
    std::vector<std::pair<std::string, std::string>> texts;
};

Decoded decode(const Bytes& png) {
    Decoded result;
    spng_ctx* ctx = spng_ctx_new(0);
    EXPECT_EQ(spng_set_png_buffer(ctx, png.data(), png.size()), 0);
    spng_ihdr ihdr{};
    EXPECT_EQ(spng_get_ihdr(ctx, &ihdr), 0);
    result.width = ihdr.width;
    result.height = ihdr.height;
    std::size_t size = 0;
    EXPECT_EQ(spng_decoded_image_size(ctx, SPNG_FMT_RGB8, &size), 0);
    result.rgb.resize(size);
    EXPECT_EQ(spng_decode_image(ctx, result.rgb.data(), size, SPNG_FMT_RGB8, 0), 0);
    std::uint32_t count = 0;
    if (spng_get_text(ctx, nullptr, &count) == 0) {
        std::vector<spng_text> texts(count);
        spng_get_text(ctx, texts.data(), &count);
        for (const spng_text& t : texts)
            result.texts.emplace_back(t.keyword, std::string(t.text, t.length));
    }
    spng_ctx_free(ctx);
    return result;
}

Bytes pattern(std::uint32_t width, std::uint32_t height) {
    Bytes rgb(std::size_t{3} * width * height);
    for (std::size_t i = 0; i < rgb.size(); ++i)
        rgb[i] = static_cast<unsigned char>(i * 7 + i / 5);
    return rgb;
}

TEST(PngWriter, RowsAndTextsComeBackAsWrittenWithTheTextsBeforeTheImageData) {
    struct Case {
        const char* what;
        std::uint32_t width, height;
        std::vector<PngText> texts;
    };
    const std::string longText(100000, 'x');
    const Case cases[] = {
        {"one pixel, no text", 1, 1, {}},
        {"odd size, ascii texts", 13, 7, {{"Corvane-Type", "3"}, {"Corvane-Parameters", "a b\nc"}}},
        {"utf-8 text", 5, 300, {{"Comment", "\xc3\xa9t\xc3\xa9 \xe2\x88\x9e"}}},
        {"long text", 64, 2, {{"Corvane-Parameters", longText}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        File file(std::tmpfile());
        const Bytes rgb = pattern(c.width, c.height);
        {
            PngWriter writer(file.get(), c.width, c.height, c.texts);
            for (std::uint32_t y = 0; y < c.height; ++y)
                ASSERT_TRUE(writer.writeRow(&rgb[std::size_t{3} * c.width * y])) << writer.error();
            ASSERT_TRUE(writer.finish()) << writer.error();
            EXPECT_EQ(writer.error(), "");
        }
        const Bytes png = contents(file.get());
        const Decoded decoded = decode(png);
        EXPECT_EQ(decoded.width, c.width);
        EXPECT_EQ(decoded.height, c.height);
        EXPECT_EQ(decoded.rgb, rgb);
        ASSERT_EQ(decoded.texts.size(), c.texts.size());
        for (std::size_t i = 0; i < c.texts.size(); ++i) {
            EXPECT_EQ(decoded.texts[i].first, c.texts[i].keyword);
            EXPECT_EQ(decoded.texts[i].second, c.texts[i].text);
        }
        const std::vector<std::string> types = chunkTypes(png);
        ASSERT_FALSE(types.empty());
        EXPECT_EQ(types.front(), "IHDR");
        EXPECT_EQ(types.back(), "IEND");
        std::size_t firstData = 0;
        while (firstData < types.size() && types[firstData] != "IDAT")
            ++firstData;
        for (std::size_t i = firstData; i < types.size(); ++i)
            EXPECT_TRUE(types[i] == "IDAT" || types[i] == "IEND") << types[i];
    }
}

TEST(PngWriter, FailuresAreReportedNeverSuccess) {
    struct Case {
        const char* what;
        const char* path;  // nullptr: a temporary file
        std::uint32_t width, height;
        std::vector<PngText> texts;
        int rows;  // rows offered
    };
    const Case cases[] = {
        {"too few rows", nullptr, 4, 4, {}, 3},
        {"too many rows", nullptr, 4, 4, {}, 5},
        {"empty picture", nullptr, 0, 4, {}, 0},
        {"empty keyword", nullptr, 4, 4, {{"", "x"}}, 4},
        {"keyword too long", nullptr, 4, 4, {{std::string(80, 'k'), "x"}}, 4},
        {"keyword with a leading space", nullptr, 4, 4, {{" key", "x"}}, 4},
        {"full disk", "/dev/full", 400, 400, {}, 400},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        File file(c.path != nullptr ? std::fopen(c.path, "wb") : std::tmpfile());
        ASSERT_NE(file, nullptr);
        const Bytes rgb = pattern(c.width, 1);
        PngWriter writer(file.get(), c.width, c.height, c.texts);
        for (int y = 0; y < c.rows; ++y)
            writer.writeRow(rgb.data());
        EXPECT_FALSE(writer.finish());
        EXPECT_FALSE(writer.error().empty());
        EXPECT_FALSE(writer.writeRow(rgb.data()));
    }
}

}  // namespace
}  // namespace platform
