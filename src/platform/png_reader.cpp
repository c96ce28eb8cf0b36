#include "platform/png_reader.h"

#include <spng.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <optional>

#include "platform/byte_source.h"
#include "platform/text.h"

namespace platform {

namespace {

constexpr unsigned char kSignature[kPngSignatureSize] = {0x89, 'P',  'N',  'G',
                                                         '\r', '\n', 0x1A, '\n'};

// Deflate turns one byte into at most 1032: more decoded data than this times the
// file's length cannot be real.
constexpr std::uint64_t kMaxExpansion = 1032;

// libspng pulls bytes in order; this remembers where it is.
struct Stream {
    const ByteSource& source;
    std::uint64_t offset = 0;
};

int readStream(spng_ctx*, void* user, void* out, std::size_t length) {
    auto* stream = static_cast<Stream*>(user);
    if (!stream->source.read(stream->offset, out, length))
        return SPNG_IO_EOF;
    stream->offset += length;
    return 0;
}

struct ContextDeleter {
    void operator()(spng_ctx* ctx) const { spng_ctx_free(ctx); }
};
using Context = std::unique_ptr<spng_ctx, ContextDeleter>;

PngRead refuse(std::string reason) {
    PngRead result;
    result.error = std::move(reason);
    return result;
}

std::string libraryReason(int code) {
    const char* text = spng_strerror(code);
    return std::string("not a readable PNG file: ") + (text != nullptr ? text : "unknown error");
}

// Latin-1 (tEXt, zTXt) to UTF-8.
std::string fromLatin1(const char* text, std::size_t length) {
    std::string utf8;
    utf8.reserve(length);
    for (std::size_t i = 0; i < length; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            utf8.push_back(static_cast<char>(c));
        } else {
            utf8.push_back(static_cast<char>(0xC0 | (c >> 6)));
            utf8.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return utf8;
}

// Any bytes made valid UTF-8 (invalid sequences become U+FFFD).
std::string validUtf8(const char* text, std::size_t length) {
    return fromUtf16(toUtf16(std::string_view(text, length)));
}

std::vector<PngText> readTexts(spng_ctx* ctx) {
    std::vector<PngText> texts;
    std::uint32_t count = 0;
    if (spng_get_text(ctx, nullptr, &count) != 0 || count == 0)
        return texts;
    std::vector<spng_text> chunks(count);
    if (spng_get_text(ctx, chunks.data(), &count) != 0)
        return texts;
    for (std::uint32_t i = 0; i < count && i < chunks.size(); ++i) {
        const spng_text& chunk = chunks[i];
        if (chunk.text == nullptr || chunk.length > kMaxPngTextBytes)
            continue;
        const std::size_t keywordLength = strnlen(chunk.keyword, sizeof chunk.keyword);
        PngText text;
        text.keyword = fromLatin1(chunk.keyword, keywordLength);
        text.text = chunk.type == SPNG_ITXT ? validUtf8(chunk.text, chunk.length)
                                            : fromLatin1(chunk.text, chunk.length);
        texts.push_back(std::move(text));
    }
    return texts;
}

// Bytes of decoded (still filtered) image data the header declares: one filter byte
// and the packed samples per row, for each pass of an interlaced picture.
std::uint64_t declaredDataSize(const spng_ihdr& ihdr) {
    unsigned channels = 1;
    switch (ihdr.color_type) {
        case SPNG_COLOR_TYPE_TRUECOLOR:
            channels = 3;
            break;
        case SPNG_COLOR_TYPE_GRAYSCALE_ALPHA:
            channels = 2;
            break;
        case SPNG_COLOR_TYPE_TRUECOLOR_ALPHA:
            channels = 4;
            break;
        default:
            break;
    }
    const std::uint64_t bitsPerPixel = std::uint64_t{channels} * ihdr.bit_depth;
    const auto rowBytes = [&](std::uint64_t width) { return 1 + (width * bitsPerPixel + 7) / 8; };
    if (ihdr.interlace_method == 0)
        return std::uint64_t{ihdr.height} * rowBytes(ihdr.width);
    // Adam7: every pass is at most the whole picture, and there are seven.
    return 7 * std::uint64_t{ihdr.height} * rowBytes(ihdr.width);
}

std::string checkDeclaredSize(const spng_ihdr& ihdr, std::uint64_t fileSize, int width,
                              int height) {
    if (std::uint64_t{ihdr.width} * ihdr.height > kMaxPngPixels)
        return "the picture is too large";
    // A lower bound that stays cheap for interlaced pictures: a non-interlaced picture
    // of the same size needs at least this much decoded data.
    spng_ihdr plain = ihdr;
    plain.interlace_method = 0;
    if (declaredDataSize(plain) > fileSize * kMaxExpansion)
        return "the file is too short for the picture it declares";
    if (width > 0 && height > 0 && declaredDataSize(ihdr) > pngDecodeBudget(width, height))
        return "the picture holds far more data than a window of this size shows";
    return {};
}

// The columns of the stored picture that a stretched copy onto width picks.
std::vector<std::uint32_t> sampledColumns(std::uint32_t fileWidth, int width) {
    std::vector<std::uint32_t> columns(static_cast<std::size_t>(width));
    for (std::size_t x = 0; x < columns.size(); ++x)
        columns[x] = static_cast<std::uint32_t>(std::uint64_t{x} * fileWidth / columns.size());
    return columns;
}

// The column pattern of each Adam7 pass: first column and step.
constexpr std::uint32_t kPassFirstColumn[7] = {0, 4, 0, 2, 0, 1, 0};
constexpr std::uint32_t kPassColumnStep[7] = {8, 8, 4, 4, 2, 2, 1};

// Decodes every row and copies the sampled pixels of the rows the result shows into
// bitmap. An interlaced picture delivers each row in parts, pass after pass: only the
// columns of the current pass are copied then.
// The share of the image data decoded once the row is: interlaced pictures go through
// seven passes.
int permilleAfter(const spng_row_info& info, const spng_ihdr& ihdr) {
    const std::uint64_t rows =
        ihdr.interlace_method != 0 ? 7 * std::uint64_t{ihdr.height} : std::uint64_t{ihdr.height};
    const std::uint64_t pass =
        ihdr.interlace_method != 0 && info.pass > 0 ? static_cast<std::uint64_t>(info.pass) : 0;
    const std::uint64_t done = pass * ihdr.height + info.row_num + 1;
    return static_cast<int>(
        std::min<std::uint64_t>(1000, done * 1000 / std::max<std::uint64_t>(rows, 1)));
}

constexpr const char* kCancelledReason = "the reading was cancelled";

std::string sampleRows(spng_ctx* ctx, const spng_ihdr& ihdr, Bitmap& bitmap, ReadControl* control) {
    const auto height = static_cast<std::uint64_t>(bitmap.height());
    const std::vector<std::uint32_t> columns = sampledColumns(ihdr.width, bitmap.width());
    std::vector<unsigned char> row;
    try {
        row.resize(std::size_t{3} * ihdr.width);
    } catch (const std::bad_alloc&) {
        return "not enough memory for a row of the picture";
    }
    const bool interlaced = ihdr.interlace_method != 0;
    for (;;) {
        spng_row_info info{};
        int ret = spng_get_row_info(ctx, &info);
        if (ret == 0)
            ret = spng_decode_row(ctx, row.data(), row.size());
        if (ret != 0 && ret != SPNG_EOI)
            return ret == SPNG_IO_EOF ? std::string("the file ends before the picture does")
                                      : libraryReason(ret);
        if (control != nullptr) {
            if (control->cancel.load(std::memory_order_relaxed))
                return kCancelledReason;
            control->permille.store(permilleAfter(info, ihdr), std::memory_order_relaxed);
        }
        const std::uint64_t stored = info.row_num;
        // The rows of the result that show this stored row: y * fileHeight / height == stored.
        std::uint64_t y = (stored * height + ihdr.height - 1) / ihdr.height;
        for (; y < height && y * ihdr.height / height == stored; ++y) {
            for (std::size_t x = 0; x < columns.size(); ++x) {
                const std::uint32_t column = columns[x];
                if (interlaced && info.pass >= 0 && info.pass < 7 &&
                    (column < kPassFirstColumn[info.pass] ||
                     (column - kPassFirstColumn[info.pass]) % kPassColumnStep[info.pass] != 0))
                    continue;
                const unsigned char* p = &row[std::size_t{3} * column];
                bitmap.setPixel(static_cast<int>(x), static_cast<int>(y), rgb(p[0], p[1], p[2]));
            }
        }
        if (ret == SPNG_EOI)
            return {};
    }
}

PngRead decode(const ByteSource& source, int width, int height, ReadControl* control) {
    unsigned char signature[kPngSignatureSize];
    if (!source.read(0, signature, sizeof signature) ||
        !hasPngSignature(signature, sizeof signature))
        return refuse("not a PNG file");
    Context ctx(spng_ctx_new(0));
    if (!ctx)
        return refuse("not enough memory to read the file");
    Stream stream{source};
    int ret = spng_set_png_stream(ctx.get(), readStream, &stream);
    if (ret == 0)
        ret = spng_set_image_limits(ctx.get(), kMaxPngSide, kMaxPngSide);
    if (ret == 0)
        ret = spng_set_chunk_limits(ctx.get(), kMaxPngTextBytes + 1024, kMaxPngChunkCacheBytes);
    if (ret != 0)
        return refuse(libraryReason(ret));

    spng_ihdr ihdr{};
    ret = spng_get_ihdr(ctx.get(), &ihdr);
    if (ret != 0)
        return refuse(ret == SPNG_IO_EOF ? std::string("the file ends before its header does")
                                         : libraryReason(ret));
    std::string error = checkDeclaredSize(ihdr, source.size(), width, height);
    if (!error.empty())
        return refuse(std::move(error));

    PngRead result;
    result.fileWidth = ihdr.width;
    result.fileHeight = ihdr.height;
    if (width <= 0 || height <= 0) {
        // Only the chunks before the image data; a failure there leaves no texts.
        if (spng_decode_chunks(ctx.get()) == 0)
            result.texts = readTexts(ctx.get());
        return result;
    }
    ret = spng_decode_image(ctx.get(), nullptr, 0, SPNG_FMT_RGB8, SPNG_DECODE_PROGRESSIVE);
    if (ret != 0)
        return refuse(ret == SPNG_IO_EOF ? std::string("the file ends before the picture does")
                                         : libraryReason(ret));
    result.texts = readTexts(ctx.get());
    try {
        result.bitmap.resize(width, height);
    } catch (const std::bad_alloc&) {
        return refuse("not enough memory for the bitmap");
    }
    error = sampleRows(ctx.get(), ihdr, result.bitmap, control);
    if (!error.empty()) {
        PngRead refused = refuse(std::move(error));
        refused.cancelled = refused.error == kCancelledReason;
        return refused;
    }
    return result;
}

}  // namespace

bool hasPngSignature(const unsigned char* bytes, std::size_t size) {
    return size >= kPngSignatureSize && std::memcmp(bytes, kSignature, kPngSignatureSize) == 0;
}

std::uint64_t pngDecodeBudget(int width, int height) {
    const std::uint64_t shown = width > 0 && height > 0 ? static_cast<std::uint64_t>(width) *
                                                              static_cast<std::uint64_t>(height)
                                                        : 0;
    return std::max(kMinPngDecodeBytes, shown * kPngDecodeBytesPerShownPixel);
}

PngRead readPngScaled(const RegularFile& file, int width, int height, ReadControl* control) {
    return decode(FileByteSource(file), width, height, control);
}

PngRead decodePngScaled(const unsigned char* data, std::size_t size, int width, int height,
                        ReadControl* control) {
    return decode(MemoryByteSource(data, size), width, height, control);
}

}  // namespace platform
