#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/bitmap.h"
#include "platform/regular_file.h"

namespace platform {

// Reads the rows of a PNG file one at a time, top row first, as colours: memory for
// one row, whatever the picture's height. Any colour type and depth; interlaced files
// (whose rows come in passes) are refused. The size is checked against the limits of
// readPngScaled before anything is decoded.
class PngRowReader {
  public:
    explicit PngRowReader(RegularFile file);
    ~PngRowReader();
    PngRowReader(const PngRowReader&) = delete;
    PngRowReader& operator=(const PngRowReader&) = delete;

    // false when the header cannot be read or the file cannot be decoded a row at a time.
    bool ok() const { return error_.empty(); }
    std::uint32_t width() const { return width_; }
    std::uint32_t height() const { return height_; }
    // The next row into out (width() colours); false once anything failed or after the
    // last row.
    bool readRow(Color* out);
    // Why not; empty while all is well.
    const std::string& error() const { return error_; }

  private:
    struct Decoder;
    RegularFile file_;
    std::unique_ptr<Decoder> decoder_;
    std::uint32_t width_ = 0;
    std::uint32_t height_ = 0;
    std::uint32_t rowsRead_ = 0;
    std::vector<unsigned char> rgb_;
    std::string error_;
};

}  // namespace platform
