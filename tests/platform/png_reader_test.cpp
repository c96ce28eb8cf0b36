#include "platform/png_reader.h"

#include <gtest/gtest.h>
#include <spng.h>
#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <iterator>
#include <string>
#include <vector>

#include "platform/png_writer.h"
#include "platform/text.h"

namespace platform {
namespace {

using Bytes = std::vector<unsigned char>;

// One byte at a time: gcc 12 at -O3 warns falsely about inserting a list.
void append(Bytes& out, std::initializer_list<unsigned char> bytes) {
    for (const unsigned char b : bytes)
        out.push_back(b);
}

void putBigEndian(Bytes& out, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<unsigned char>(v >> shift));
}

// Builds PNG files chunk by chunk, with correct lengths and check sums.
struct PngBuilder {
    Bytes bytes;

    PngBuilder() {
        static const unsigned char signature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
        bytes.assign(std::begin(signature), std::end(signature));
    }

    PngBuilder& chunk(const std::string& type, const Bytes& data) {
        putBigEndian(bytes, static_cast<std::uint32_t>(data.size()));
        const std::size_t start = bytes.size();
        bytes.insert(bytes.end(), type.begin(), type.end());
        bytes.insert(bytes.end(), data.begin(), data.end());
        uLong crc = crc32(0, &bytes[start], static_cast<uInt>(bytes.size() - start));
        putBigEndian(bytes, static_cast<std::uint32_t>(crc));
        return *this;
    }
    PngBuilder& header(std::uint32_t width, std::uint32_t height, int depth = 8, int colour = 2,
                       int interlace = 0) {
        Bytes data;
        putBigEndian(data, width);
        putBigEndian(data, height);
        append(data, {static_cast<unsigned char>(depth), static_cast<unsigned char>(colour), 0, 0,
                      static_cast<unsigned char>(interlace)});
        return chunk("IHDR", data);
    }
    PngBuilder& text(const std::string& type, const std::string& keyword, const Bytes& body) {
        Bytes data(keyword.begin(), keyword.end());
        data.push_back(0);
        if (type == "zTXt")
            data.push_back(0);
        if (type == "iTXt")
            append(data, {0, 0, 0, 0});  // uncompressed, no language or translation
        data.insert(data.end(), body.begin(), body.end());
        return chunk(type, data);
    }
    PngBuilder& imageData(const Bytes& raw) { return chunk("IDAT", compressed(raw)); }
    PngBuilder& end() { return chunk("IEND", {}); }

    static Bytes compressed(const Bytes& raw) {
        uLongf size = compressBound(static_cast<uLong>(raw.size()));
        Bytes out(size);
        compress2(out.data(), &size, raw.data(), static_cast<uLong>(raw.size()), 9);
        out.resize(size);
        return out;
    }
};

Bytes bytesOf(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

// Filtered rows of an 8-bit RGB picture whose pixel (x, y) is (x, y, x + y).
Bytes rawRgb(std::uint32_t width, std::uint32_t height) {
    Bytes raw;
    for (std::uint32_t y = 0; y < height; ++y) {
        raw.push_back(0);
        for (std::uint32_t x = 0; x < width; ++x)
            append(raw, {static_cast<unsigned char>(x), static_cast<unsigned char>(y),
                         static_cast<unsigned char>(x + y)});
    }
    return raw;
}

Bytes smallPicture(const std::vector<PngBuilder>& textChunks = {}) {
    PngBuilder png;
    png.header(4, 3);
    for (const PngBuilder& t : textChunks)
        png.bytes.insert(png.bytes.end(), t.bytes.begin() + 8, t.bytes.end());
    png.imageData(rawRgb(4, 3)).end();
    return png.bytes;
}

PngBuilder textChunk(const std::string& type, const std::string& keyword, const Bytes& body) {
    PngBuilder chunk;
    chunk.text(type, keyword, body);
    return chunk;
}

Bytes zTxtBody(std::size_t expandedSize) {
    return PngBuilder::compressed(Bytes(expandedSize, 'z'));
}

PngRead decode(const Bytes& png, int width, int height) {
    return decodePngScaled(png.data(), png.size(), width, height);
}

TEST(PngReader, HostileFilesAreRefusedOrReadSafely) {
    struct Case {
        const char* what;
        Bytes png;
        bool ok;
        std::vector<std::string> keywords;  // of the texts kept, when ok
    };
    Bytes whole = smallPicture();
    const Bytes cutInImageData(whole.begin(), whole.end() - 20);
    const Bytes cutInHeader(whole.begin(), whole.begin() + 20);
    Bytes corrupt = PngBuilder::compressed(rawRgb(4, 3));
    corrupt[corrupt.size() / 2] ^= 0x10;
    const Bytes corruptImageData = PngBuilder().header(4, 3).chunk("IDAT", corrupt).end().bytes;
    // Noise does not compress: one image data chunk of about 3 MiB.
    Bytes noise = rawRgb(1000, 1000);
    for (std::size_t i = 0; i < noise.size(); ++i)
        noise[i] = static_cast<unsigned char>(i % 3001 == 0 ? 0 : (i * 2654435761u) >> 13);
    const Bytes bigImageChunk = PngBuilder().header(1000, 1000).imageData(noise).end().bytes;
    const Bytes missingRows = PngBuilder().header(4, 3).imageData(rawRgb(4, 2)).end().bytes;
    std::string invalidUtf8 = "ok \xff\xfe \xc3";
    std::string withZero("before\0after", 12);
    std::vector<PngBuilder> manyTexts(5000, textChunk("tEXt", "Comment", bytesOf("x")));

    const Case cases[] = {
        {"a good file", whole, true, {}},
        {"empty", {}, false, {}},
        {"only the signature", Bytes(whole.begin(), whole.begin() + 8), false, {}},
        {"cut in the header", cutInHeader, false, {}},
        {"cut in the image data", cutInImageData, false, {}},
        {"no end chunk", Bytes(whole.begin(), whole.end() - 12), true, {}},
        {"fewer rows than declared", missingRows, false, {}},
        {"image data corrupted", corruptImageData, false, {}},
        {"one image data chunk of 3 MiB", bigImageChunk, true, {}},
        {"width beyond the limit",
         PngBuilder().header(0x7FFFFFFF, 1).imageData(rawRgb(1, 1)).end().bytes,
         false,
         {}},
        {"too many pixels",
         PngBuilder().header(1u << 20, 1u << 20).imageData(rawRgb(1, 1)).end().bytes,
         false,
         {}},
        {"more data than the file can hold",
         PngBuilder().header(20000, 20000, 8, 0).imageData(Bytes(4000, 0)).end().bytes,
         false,
         {}},
        {"zero width", PngBuilder().header(0, 3).imageData(rawRgb(1, 1)).end().bytes, false, {}},
        {"texts of each kind",
         smallPicture({textChunk("tEXt", "A", bytesOf("a")), textChunk("zTXt", "B", zTxtBody(10)),
                       textChunk("iTXt", "C", bytesOf("\xc3\xa9"))}),
         true,
         {"A", "B", "C"}},
        {"text of 2 MiB left out",
         smallPicture({textChunk("tEXt", "Big", Bytes(2 << 20, 'x')),
                       textChunk("tEXt", "After", bytesOf("a"))}),
         true,
         {"After"}},
        {"compressed text expanding to 64 MiB",
         smallPicture({textChunk("zTXt", "Bomb", zTxtBody(64 << 20))}),
         false,
         {}},
        {"invalid UTF-8",
         smallPicture({textChunk("iTXt", "Odd", bytesOf(invalidUtf8))}),
         true,
         {"Odd"}},
        {"a zero byte inside a text",
         smallPicture({textChunk("iTXt", "Zero", bytesOf(withZero))}),
         true,
         {"Zero"}},
        {"empty keyword", smallPicture({textChunk("tEXt", "", bytesOf("x"))}), true, {}},
        {"thousands of chunks", smallPicture(manyTexts), false, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const PngRead read = decode(c.png, 4, 3);
        EXPECT_EQ(read.ok(), c.ok) << read.error;
        if (!c.ok)
            continue;
        if (read.fileWidth == 4) {
            EXPECT_EQ(read.bitmap.pixel(3, 2), rgb(3, 2, 5));
        }
        std::vector<std::string> keywords;
        for (const PngText& t : read.texts) {
            keywords.push_back(t.keyword);
            EXPECT_EQ(fromUtf16(toUtf16(t.text)), t.text);  // valid UTF-8
        }
        EXPECT_EQ(keywords, c.keywords);
        // Reading only the header gives the same texts.
        const PngRead header = decode(c.png, 0, 0);
        EXPECT_EQ(header.texts.size(), read.texts.size());
        EXPECT_EQ(header.fileWidth, read.fileWidth);
    }
}

// A picture of the given kind encoded by libspng, every sample a different value.
Bytes encodedPicture(std::uint32_t width, std::uint32_t height, int colour, int depth,
                     int interlace) {
    spng_ctx* ctx = spng_ctx_new(SPNG_CTX_ENCODER);
    spng_set_option(ctx, SPNG_ENCODE_TO_BUFFER, 1);
    spng_ihdr ihdr{};
    ihdr.width = width;
    ihdr.height = height;
    ihdr.bit_depth = static_cast<std::uint8_t>(depth);
    ihdr.color_type = static_cast<std::uint8_t>(colour);
    ihdr.interlace_method = static_cast<std::uint8_t>(interlace);
    spng_set_ihdr(ctx, &ihdr);
    const int channels = colour == 0 ? 1 : colour == 4 ? 2 : colour == 2 ? 3 : 4;
    const std::size_t rowBytes =
        (std::size_t{width} * static_cast<std::size_t>(channels * depth) + 7) / 8;
    Bytes samples(rowBytes * height);
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<unsigned char>(i * 37 + i / 7);
    EXPECT_EQ(
        spng_encode_image(ctx, samples.data(), samples.size(), SPNG_FMT_PNG, SPNG_ENCODE_FINALIZE),
        0);
    std::size_t length = 0;
    int error = 0;
    void* buffer = spng_get_png_buffer(ctx, &length, &error);
    Bytes png(static_cast<unsigned char*>(buffer), static_cast<unsigned char*>(buffer) + length);
    std::free(buffer);
    spng_ctx_free(ctx);
    return png;
}

// The whole picture decoded by libspng at once, as a bitmap.
Bitmap fullDecode(const Bytes& png) {
    spng_ctx* ctx = spng_ctx_new(0);
    spng_set_png_buffer(ctx, png.data(), png.size());
    spng_ihdr ihdr{};
    spng_get_ihdr(ctx, &ihdr);
    std::size_t size = 0;
    spng_decoded_image_size(ctx, SPNG_FMT_RGB8, &size);
    Bytes rgbBytes(size);
    EXPECT_EQ(spng_decode_image(ctx, rgbBytes.data(), size, SPNG_FMT_RGB8, 0), 0);
    spng_ctx_free(ctx);
    Bitmap bitmap(static_cast<int>(ihdr.width), static_cast<int>(ihdr.height));
    for (int y = 0; y < bitmap.height(); ++y)
        for (int x = 0; x < bitmap.width(); ++x) {
            const unsigned char* p = &rgbBytes[3 * (std::size_t(y) * ihdr.width + std::size_t(x))];
            bitmap.setPixel(x, y, rgb(p[0], p[1], p[2]));
        }
    return bitmap;
}

TEST(PngReader, ScaledReadsAreAStretchedCopyOfTheWholePicture) {
    struct Kind {
        const char* what;
        int colour, depth, interlace;
    };
    const Kind kinds[] = {{"rgb 8", 2, 8, 0},
                          {"rgb 8 interlaced", 2, 8, 1},
                          {"grey 8", 0, 8, 0},
                          {"grey 1 interlaced", 0, 1, 1},
                          {"grey alpha 8", 4, 8, 0},
                          {"rgba 16", 6, 16, 0},
                          {"rgb 16 interlaced", 2, 16, 1}};
    struct Size {
        int width, height;
    };
    const Size sizes[] = {{37, 23}, {1, 1}, {10, 7}, {36, 23}, {100, 61}, {5, 40}};
    for (const Kind& kind : kinds) {
        const Bytes png = encodedPicture(37, 23, kind.colour, kind.depth, kind.interlace);
        const Bitmap full = fullDecode(png);
        for (const Size& size : sizes) {
            SCOPED_TRACE(std::string(kind.what) + " at " + std::to_string(size.width) + "x" +
                         std::to_string(size.height));
            Bitmap expected(size.width, size.height);
            expected.stretchFrom(full, 0, 0, size.width, size.height, 0, 0, 37, 23);
            const PngRead read = decode(png, size.width, size.height);
            ASSERT_TRUE(read.ok()) << read.error;
            EXPECT_EQ(read.fileWidth, 37u);
            EXPECT_EQ(read.fileHeight, 23u);
            EXPECT_EQ(read.bitmap.snapshot(), expected.snapshot());
        }
    }
}

// A file's decoded data is bounded by what the window shows, and a long read reports its
// progress and stops when cancelled.
TEST(PngReader, TheWorkAFileMayAskForFollowsTheShownSizeAndCanBeCancelled) {
    // A picture of 1 MiB a row and 1100 rows (about 1.1 GiB of image data) declared by a
    // file long enough to hold it compressed: refused before any row is inflated.
    constexpr std::uint32_t kWide = 1u << 20;
    constexpr std::uint32_t kRows = 1100;
    Bytes wide = PngBuilder().header(kWide, kRows, 8, 0).imageData(Bytes(16, 0)).end().bytes;
    wide.resize(wide.size() + (std::size_t{2} << 20), 0);
    const Bytes small = PngBuilder().header(64, 48).imageData(rawRgb(64, 48)).end().bytes;
    EXPECT_EQ(pngDecodeBudget(0, 0), kMinPngDecodeBytes);
    EXPECT_EQ(pngDecodeBudget(1920, 1080), 1920ull * 1080 * kPngDecodeBytesPerShownPixel);

    struct Case {
        const char* what;
        const Bytes* png;
        int width, height;
        bool cancelFirst;
        bool ok;
        bool cancelled;
    };
    const Case cases[] = {
        {"more data than a small window shows", &wide, 16, 1, false, false, false},
        {"the headers alone are always read", &wide, 0, 0, false, true, false},
        {"a small picture is read whole", &small, 64, 48, false, true, false},
        {"a cancelled read stops at the next row", &small, 64, 48, true, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ReadControl control;
        control.cancel = c.cancelFirst;
        const PngRead read =
            decodePngScaled(c.png->data(), c.png->size(), c.width, c.height, &control);
        EXPECT_EQ(read.ok(), c.ok) << read.error;
        EXPECT_EQ(read.cancelled, c.cancelled);
        if (c.ok && c.width > 0) {
            EXPECT_EQ(control.permille.load(), 1000);
        }
    }
}

}  // namespace
}  // namespace platform
