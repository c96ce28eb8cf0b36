#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/bitmap.h"
#include "platform/png_writer.h"
#include "platform/regular_file.h"

namespace platform {

// The eight bytes every PNG file begins with.
constexpr std::size_t kPngSignatureSize = 8;
bool hasPngSignature(const unsigned char* bytes, std::size_t size);

// A PNG file read at the size it is shown at, or why it could not be read.
struct PngRead {
    Bitmap bitmap;
    // The size of the picture stored in the file (also when it was read at another size).
    std::uint32_t fileWidth = 0;
    std::uint32_t fileHeight = 0;
    // The tEXt, zTXt and iTXt chunks that come before the image data, in file order,
    // as UTF-8 (tEXt and zTXt are Latin-1 and converted, invalid UTF-8 in iTXt becomes
    // U+FFFD). A text longer than kMaxPngTextBytes is left out; a file whose texts
    // together expand beyond kMaxPngChunkCacheBytes is refused.
    std::vector<PngText> texts;
    std::string error;       // empty on success; one line otherwise
    bool cancelled = false;  // the read was cancelled (error says so too)
    bool ok() const { return error.empty(); }
};

// Lets another thread follow a long read and cancel it.
struct ReadControl {
    std::atomic<bool> cancel{false};
    std::atomic<int> permille{0};  // of the image data decoded so far
};

// The largest picture side and the most pixels a PNG file may declare. Reading costs
// memory for one stored row and the picture shown, so these only bound the time a
// file can make the reader spend.
constexpr std::uint32_t kMaxPngSide = std::uint32_t{1} << 20;
constexpr std::uint64_t kMaxPngPixels = std::uint64_t{1} << 32;
// The decoded image data a file may ask for when it is shown at width x height: every
// stored row must be inflated whatever is shown, so a picture much larger than the
// window costs time without showing more. At least kMinPngDecodeBytes, and
// kPngDecodeBytesPerShownPixel for every pixel shown (a 65536 x 65536 export shown in a
// 1080 x 1080 part of the window fits).
constexpr std::uint64_t kMinPngDecodeBytes = std::uint64_t{1} << 30;
constexpr std::uint64_t kPngDecodeBytesPerShownPixel = 16384;
std::uint64_t pngDecodeBudget(int width, int height);
// The most bytes of one text chunk that are kept, and of all kept chunks together.
constexpr std::size_t kMaxPngTextBytes = std::size_t{1} << 20;
constexpr std::size_t kMaxPngChunkCacheBytes = std::size_t{8} << 20;

// Reads a PNG file of any colour type and depth, scaled to width x height while it is
// read: pixel for pixel what a full decode followed by a stretched copy (nearest pixel)
// gives, decoded one row at a time so that memory grows with width x height and the
// widest stored row only. Transparency is ignored. An empty size (width or height 0
// or less) reads only the chunks before the image data: the size and the texts.
// Every declared size is checked against the limits above and against what the file's
// length can hold (compressed data expands at most about a thousand times) before
// anything is decoded, and so is the decoded data against pngDecodeBudget(width,
// height). What remains may still take seconds for a large picture: control, when
// given, reports the progress and cancels the read between two rows.
PngRead readPngScaled(const RegularFile& file, int width, int height,
                      ReadControl* control = nullptr);
// The same on bytes in memory.
PngRead decodePngScaled(const unsigned char* data, std::size_t size, int width, int height,
                        ReadControl* control = nullptr);

}  // namespace platform
