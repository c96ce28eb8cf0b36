#include "platform/png_row_reader.h"

#include <spng.h>

#include <new>
#include <utility>

#include "platform/byte_source.h"
#include "platform/png_reader.h"

namespace platform {

namespace {

// libspng pulls bytes in order; this remembers where it is.
struct RowStream {
    explicit RowStream(const RegularFile& file) : source(file) {}
    FileByteSource source;
    std::uint64_t offset = 0;
};

int readStream(spng_ctx*, void* user, void* out, std::size_t length) {
    auto* stream = static_cast<RowStream*>(user);
    if (!stream->source.read(stream->offset, out, length))
        return SPNG_IO_EOF;
    stream->offset += length;
    return 0;
}

}  // namespace

struct PngRowReader::Decoder {
    explicit Decoder(const RegularFile& file) : stream(file) {}
    ~Decoder() {
        if (ctx != nullptr)
            spng_ctx_free(ctx);
    }
    RowStream stream;
    spng_ctx* ctx = nullptr;
};

namespace {

std::string reasonOf(int code, const char* atEnd) {
    if (code == SPNG_IO_EOF)
        return atEnd;
    const char* text = spng_strerror(code);
    return text != nullptr ? text : "the file cannot be decoded";
}

}  // namespace

PngRowReader::PngRowReader(RegularFile file) : file_(std::move(file)) {
    unsigned char signature[kPngSignatureSize];
    if (!file_.readAt(0, signature, sizeof signature) ||
        !hasPngSignature(signature, sizeof signature)) {
        error_ = "not a PNG file";
        return;
    }
    decoder_ = std::make_unique<Decoder>(file_);
    decoder_->ctx = spng_ctx_new(0);
    if (decoder_->ctx == nullptr) {
        error_ = "not enough memory to read the file";
        return;
    }
    spng_ctx* ctx = decoder_->ctx;
    int ret = spng_set_png_stream(ctx, readStream, &decoder_->stream);
    if (ret == 0)
        ret = spng_set_image_limits(ctx, kMaxPngSide, kMaxPngSide);
    if (ret == 0)
        ret = spng_set_chunk_limits(ctx, kMaxPngTextBytes + 1024, kMaxPngChunkCacheBytes);
    spng_ihdr ihdr{};
    if (ret == 0)
        ret = spng_get_ihdr(ctx, &ihdr);
    if (ret != 0) {
        error_ = reasonOf(ret, "the file ends before its header does");
        return;
    }
    if (ihdr.interlace_method != 0) {
        error_ = "an interlaced PNG file is not read a row at a time";
        return;
    }
    if (std::uint64_t{ihdr.width} * ihdr.height > kMaxPngPixels) {
        error_ = "the picture is too large";
        return;
    }
    ret = spng_decode_image(ctx, nullptr, 0, SPNG_FMT_RGB8, SPNG_DECODE_PROGRESSIVE);
    if (ret != 0) {
        error_ = reasonOf(ret, "the file ends before the picture does");
        return;
    }
    try {
        rgb_.resize(std::size_t{3} * ihdr.width);
    } catch (const std::bad_alloc&) {
        error_ = "not enough memory for a row of the picture";
        return;
    }
    width_ = ihdr.width;
    height_ = ihdr.height;
}

PngRowReader::~PngRowReader() = default;

bool PngRowReader::readRow(Color* out) {
    if (!error_.empty())
        return false;
    if (rowsRead_ >= height_) {
        error_ = "the picture has no more rows";
        return false;
    }
    const int ret = spng_decode_row(decoder_->ctx, rgb_.data(), rgb_.size());
    // The last row ends the image: libspng says so instead of 0.
    if (ret != 0 && !(ret == SPNG_EOI && rowsRead_ + 1 == height_)) {
        error_ = reasonOf(ret, "the file ends before the picture does");
        return false;
    }
    for (std::uint32_t x = 0; x < width_; ++x) {
        const unsigned char* p = &rgb_[std::size_t{3} * x];
        out[x] = rgb(p[0], p[1], p[2]);
    }
    ++rowsRead_;
    return true;
}

}  // namespace platform
