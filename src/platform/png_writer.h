#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/bitmap.h"

namespace platform {

// A text chunk of a PNG file. keyword: 1 to 79 printable Latin-1 characters without
// leading, trailing or doubled spaces; text: UTF-8 of any length.
struct PngText {
    std::string keyword;
    std::string text;  // written as iTXt (UTF-8) or tEXt; an empty text is left out
};

// Streams an 8-bit RGB PNG of width x height into out, one row at a time, top row
// first. The encoding is progressive: compressed data is written as it is produced,
// so memory does not grow with the picture. The text chunks are written before the
// image data, so a reader finds them without decoding any pixel. out stays open
// (its owner closes it) and is flushed by finish().
class PngWriter {
  public:
    PngWriter(std::FILE* out, std::uint32_t width, std::uint32_t height,
              const std::vector<PngText>& texts);
    ~PngWriter();
    PngWriter(const PngWriter&) = delete;
    PngWriter& operator=(const PngWriter&) = delete;

    // Encodes the next row: 3 * width bytes, red, green, blue. false once anything
    // failed (this call or an earlier one, rows beyond the last included).
    bool writeRow(const std::uint8_t* rgb);
    // The same for a row of width colours.
    bool writeColors(const Color* pixels);
    // true only when every row was written and the stream ended well.
    bool finish();
    // Why not (libspng's or the system's text); empty while all is well.
    const std::string& error() const;

    // The zlib level used for the image data, tried only with the "sub" and "up" row
    // filters. Measured on a 4000 x 3000 banded fractal picture: about 19 million pixels
    // a second (twice the speed of zlib's default level with every filter tried) for
    // files about 12% larger, so a gigapixel picture encodes in about a minute.
    static constexpr int kCompressionLevel = 3;

  private:
    struct Context;
    bool fail(std::string reason);
    bool start(const std::vector<PngText>& texts);

    std::FILE* out_;
    std::uint32_t width_;
    std::uint32_t height_;
    std::uint32_t rowsWritten_ = 0;
    bool failed_ = false;
    bool finished_ = false;
    int writeErrno_ = 0;
    std::vector<std::uint8_t> rgb_;  // writeColors' row
    Context* context_ = nullptr;
    std::string error_;
};

}  // namespace platform
