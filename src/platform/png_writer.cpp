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

    std::vector<spng_text> chunks(texts.size());
    std::vector<std::string> copies;  // libspng wants writable strings
    copies.reserve(texts.size());
    char empty[1] = {'\0'};
    for (std::size_t i = 0; ret == 0 && i < texts.size(); ++i) {
        const PngText& text = texts[i];
        if (text.keyword.empty() || text.keyword.size() >= sizeof chunks[i].keyword)
            return fail("the text keyword \"" + text.keyword + "\" is not 1 to 79 characters");
        std::memcpy(chunks[i].keyword, text.keyword.c_str(), text.keyword.size() + 1);
        copies.push_back(text.text);
        chunks[i].type = isPlainAscii(text.text) ? SPNG_TEXT : SPNG_ITXT;
        chunks[i].text = copies.back().data();
        chunks[i].length = copies.back().size();
        chunks[i].language_tag = empty;
        chunks[i].translated_keyword = empty;
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
