#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/bitmap.h"
#include "platform/regular_file.h"

namespace persist {

// Layout of the picture files this program writes: a 14-byte file header, a
// 40-byte information header and one empty colour-table entry, so the pixel
// data always begins at byte 58.
constexpr std::uint32_t kFileHeaderSize = 14;
constexpr std::uint32_t kInfoHeaderSize = 40;
constexpr std::uint32_t kPictureDataOffset = 58;

// Bytes of one stored 24-bit row: three per pixel, padded to a multiple of four.
constexpr std::uint64_t pictureRowSize(std::uint64_t width) {
    return (3 * width + 3) / 4 * 4;
}

// Where the pixel data of a width x height picture file ends and its trailer begins.
constexpr std::uint64_t pictureTrailerOffset(std::uint64_t width, std::uint64_t height) {
    return kPictureDataOffset + pictureRowSize(width) * height;
}

// Pictures larger than this are refused by the loader (and never written), so that
// no header can ask for an absurd allocation.
constexpr std::uint64_t kMaxPixels = std::uint64_t{1} << 28;

// A decoded bitmap file, or why it could not be decoded.
struct BitmapLoad {
    platform::Bitmap bitmap;
    // The size of the picture stored in the file (also when it was read at another size).
    int fileWidth = 0;
    int fileHeight = 0;
    std::string error;  // empty on success; one line otherwise
    bool ok() const { return error.empty(); }
};

// Reads an uncompressed bitmap file: 1, 4 and 8 bits with a colour table, 16, 24
// and 32 bits (also with bit-field masks), rows bottom-up or top-down. Every header
// field is checked against the real size of the file before anything is allocated;
// pipes, devices and folders are refused without being read. Pictures of more than
// kMaxPixels pixels are refused before any pixel is read.
BitmapLoad loadBitmapFile(const std::string& path);
// The one-line reason for a failed RegularFile::open (errorNumber 0: not a regular file).
std::string openFailureReason(int errorNumber);
// The same on a file already open, so that a caller can read the trailer from the
// very file the pixels came from.
BitmapLoad loadBitmapFile(const platform::RegularFile& file);
// The picture scaled to width x height while it is read: pixel for pixel what a full
// load followed by a stretched copy (nearest pixel) onto width x height gives, but only
// the stored rows that the result shows are read, and of each only the bytes around the
// columns it shows. Memory and reading grow with width x height, whatever the size of
// the stored picture. An empty size (width or height 0 or less) reads no pixels at all:
// the headers are checked and the file's size is reported.
BitmapLoad loadBitmapFileScaled(const platform::RegularFile& file, int width, int height);
// The same decoders on bytes in memory.
BitmapLoad decodeBitmap(const unsigned char* data, std::size_t size);
BitmapLoad decodeBitmapScaled(const unsigned char* data, std::size_t size, int width, int height);

// The 58 header bytes of a 24-bit picture file of width x height pixels. The size
// field counts only the bitmap, not the trailer that follows it. false when the
// picture is empty or too large for the format.
bool pictureFileHeader(int width, int height, unsigned char (&header)[kPictureDataOffset]);

// Writes the header and the pixel rows of picture (bottom row first, blue, green,
// red, zero padding) to file. Pixels outside the bitmap (an incomplete surface)
// are written black. false on a write error.
bool writePictureBitmap(std::FILE* file, const platform::Bitmap& picture, int width, int height);

}  // namespace persist
