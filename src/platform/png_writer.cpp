#include "platform/png_writer.h"

#include <spng.h>

#include <cerrno>
#include <cstring>
#include <limits>
#include <utility>

#include "platform/write_target.h"

namespace platform {

struct PngWriter::Context {
    spng_ctx* spng = nullptr;
};

namespace {

// Plain ASCII text is written as tEXt, which every reader shows; anything else as
// uncompressed iTXt, the chunk that carries UTF-8.
bool isPlainAscii(const std::string& text) {
    for (const unsigned char c : text)
        if (c >= 0x80 || (c < 0x20 && c != '\n'))
            return false;
    return true;
}

std::string libraryReason(int code) {
    const char* text = spng_strerror(code);
    return text != nullptr ? std::string(text) : std::string("the picture could not be encoded");
}

}  // namespace

PngWriter::PngWriter(std::FILE* out, std::uint32_t width, std::uint32_t height,
                     const std::vector<PngText>& texts)
    : out_(out), width_(width), height_(height) {
    start(texts);
}

PngWriter::~PngWriter() {
    if (context_ != nullptr) {
        spng_ctx_free(context_->spng);
        delete context_;
    }
}

const std::string& PngWriter::error() const {
    return error_;
}

bool PngWriter::fail(std::string reason) {
    if (!failed_) {
        failed_ = true;
        error_ = std::move(reason);
    }
    return false;
}

bool PngWriter::start(const std::vector<PngText>& texts) {
    if (out_ == nullptr)
        return fail("no file to write to");
    if (width_ == 0 || height_ == 0)
        return fail("the picture is empty");
    // Rows are handed over whole: 3 * width must fit the sizes libspng works with.
    if (width_ > (std::numeric_limits<std::uint32_t>::max() - 1) / 3)
        return fail("the picture is too wide for a PNG file");
    context_ = new Context;
    context_->spng = spng_ctx_new(SPNG_CTX_ENCODER);
    spng_ctx* ctx = context_->spng;
    if (ctx == nullptr)
        return fail("out of memory");

    // Our own writer keeps the system's reason for a failed write (a full disk).
    auto writeToFile = [](spng_ctx*, void* user, void* data, std::size_t length) -> int {
        auto* self = static_cast<PngWriter*>(user);
        errno = 0;
        if (std::fwrite(data, 1, length, self->out_) != length) {
            self->writeErrno_ = errno != 0 ? errno : EIO;
            return SPNG_IO_ERROR;
        }
        return 0;
    };
    int ret = spng_set_png_stream(ctx, writeToFile, this);
    if (ret == 0)
        ret = spng_set_option(ctx, SPNG_IMG_COMPRESSION_LEVEL, kCompressionLevel);
    if (ret == 0)
        ret = spng_set_option(ctx, SPNG_FILTER_CHOICE,
                              SPNG_FILTER_CHOICE_SUB | SPNG_FILTER_CHOICE_UP);

    spng_ihdr header{};
    header.width = width_;
    header.height = height_;
    header.bit_depth = 8;
    header.color_type = SPNG_COLOR_TYPE_TRUECOLOR;
    if (ret == 0)
        ret = spng_set_ihdr(ctx, &header);

    std::vector<spng_text> chunks;
    std::vector<std::string> copies;  // libspng wants writable strings
    chunks.reserve(texts.size());
    copies.reserve(texts.size());
    char empty[1] = {'\0'};
    for (const PngText& text : texts) {
        if (text.keyword.empty() || text.keyword.size() >= sizeof spng_text{}.keyword)
            return fail("the text keyword \"" + text.keyword + "\" is not 1 to 79 characters");
        // libspng writes no empty text; a reader finds no text where there is none.
        if (text.text.empty())
            continue;
        spng_text chunk{};
        std::memcpy(chunk.keyword, text.keyword.c_str(), text.keyword.size() + 1);
        copies.push_back(text.text);
        chunk.type = isPlainAscii(text.text) ? SPNG_TEXT : SPNG_ITXT;
        chunk.text = copies.back().data();
        chunk.length = copies.back().size();
        chunk.language_tag = empty;
        chunk.translated_keyword = empty;
        chunks.push_back(chunk);
    }
    if (ret == 0 && !chunks.empty())
        ret = spng_set_text(ctx, chunks.data(), static_cast<std::uint32_t>(chunks.size()));
    // Writes the signature and every chunk before the image data.
    if (ret == 0)
        ret = spng_encode_image(ctx, nullptr, 0, SPNG_FMT_PNG,
                                SPNG_ENCODE_PROGRESSIVE | SPNG_ENCODE_FINALIZE);
    if (ret != 0)
        return fail(writeErrno_ != 0 ? systemReason(writeErrno_) : libraryReason(ret));
    return true;
}

bool PngWriter::writeRow(const std::uint8_t* rgb) {
    if (failed_)
        return false;
    if (rgb == nullptr)
        return fail("no row to write");
    if (rowsWritten_ >= height_)
        return fail("more rows than the picture has");
    const std::size_t length = std::size_t{3} * width_;
    const int ret = spng_encode_row(context_->spng, rgb, length);
    ++rowsWritten_;
    // The last row ends the stream: libspng then writes the remaining data and the end.
    const bool last = rowsWritten_ == height_;
    if ((last && ret == SPNG_EOI) || (!last && ret == 0))
        return true;
    if (writeErrno_ != 0)
        return fail(systemReason(writeErrno_));
    return fail(libraryReason(ret));
}

bool PngWriter::writeColors(const Color* pixels) {
    if (pixels == nullptr)
        return writeRow(nullptr);
    rgb_.resize(std::size_t{3} * width_);
    std::uint8_t* p = rgb_.data();
    for (std::uint32_t x = 0; x < width_; ++x) {
        *p++ = static_cast<std::uint8_t>(redOf(pixels[x]));
        *p++ = static_cast<std::uint8_t>(greenOf(pixels[x]));
        *p++ = static_cast<std::uint8_t>(blueOf(pixels[x]));
    }
    return writeRow(rgb_.data());
}

bool PngWriter::finish() {
    if (failed_)
        return false;
    if (rowsWritten_ != height_)
        return fail("the picture ended after " + std::to_string(rowsWritten_) + " of " +
                    std::to_string(height_) + " rows");
    if (!finished_) {
        finished_ = true;
        errno = 0;
        if (std::fflush(out_) != 0 || std::ferror(out_) != 0)
            return fail(systemReason(errno != 0 ? errno : EIO));
    }
    return true;
}

}  // namespace platform
