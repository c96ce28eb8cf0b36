#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

#include "persist/bitmap_file.h"
#include "platform/bitmap.h"
#include "platform/png_reader.h"
#include "platform/regular_file.h"

namespace persist {

// Status codes of the picture file and slideshow operations.
constexpr int kStatusOk = 0;
constexpr int kStatusCannotOpen = 3;
constexpr int kStatusCannotCreate = 4;
constexpr int kStatusNotABitmap = 5;
// Nothing was saved: the parameter string cannot be carried whole (it is longer than
// a picture's reader takes).
constexpr int kStatusCannotStoreParameters = 6;

// Reads the trailer of a picture file: the type id and the parameter string that
// follow the pixel data of a width x height picture. fileType is left alone when
// the file ends before it; fileParams receives the units up to the first zero unit
// or the end of the file, and is empty when the file ends first or when the string
// is longer than capacity UTF-16 units. 0 when done, kStatusCannotOpen when the file
// cannot be opened or is not a regular file.
int readPictureTrailer(const std::string& path, int width, int height, std::int32_t& fileType,
                       std::string& fileParams, int capacity);
// The same on a file already open; true when the type id was there.
bool readPictureTrailer(const platform::RegularFile& file, int width, int height,
                        std::int32_t& fileType, std::string& fileParams, int capacity);

// Pictures are bitmap files (the default, with the type and parameters in a trailer
// after the pixels) or PNG files (with them in two text chunks before the pixels).
enum class PictureFormat { Bitmap, Png };
// The format a picture saved at path gets: PNG for a name ending in ".png" in any case,
// the bitmap for ".bmp" and every other name.
PictureFormat pictureFormatFor(const std::string& path);

// The keywords of the text chunks of a PNG picture: the type id as a decimal number,
// and the parameter string as UTF-8.
inline constexpr const char* kPngTypeKeyword = "Corvane-Type";
inline constexpr const char* kPngParametersKeyword = "Corvane-Parameters";
// An anti-aliased PNG picture also tells how many samples a side each pixel averages
// (written only above 1, so older readers see what they always saw).
inline constexpr const char* kPngSupersampleKeyword = "Corvane-Supersample";
inline constexpr int kMostSupersample = 16;

// Whether a PNG picture of this size is written: only what the reader opens again.
bool pngPictureSizeAllowed(int width, int height);
// Writes picture as an 8-bit RGB PNG file with the type and parameter chunks, row by
// row. Pixels outside the bitmap are written black. false on a write error.
bool writePicturePng(std::FILE* file, const platform::Bitmap& picture, int width, int height,
                     std::int32_t type, const std::string& params);

// A picture file read through one open handle: the pixels and the trailer come
// from the same file even when the name is removed or replaced meanwhile.
struct PictureFile {
    PictureFormat format = PictureFormat::Bitmap;  // what the file's content is
    BitmapLoad image;
    std::optional<std::int32_t> type;  // absent when the file ends before it
    std::string params;
    // Samples a side each pixel averages: 1..kMostSupersample, 1 when the picture does
    // not tell or tells something else.
    int supersample = 1;
    bool cancelled = false;  // the read was cancelled through its control
};
// The file's content decides its format, whatever its name. The pixels come scaled to
// width x height as they are read (see loadBitmapFileScaled and readPngScaled), so
// opening costs what the window shows, not what the file holds; an empty size reads
// only the headers and the trailer (or the text chunks). A PNG picture's parameter
// string is taken, as a trailer's is, up to its first zero character and only when it
// is at most capacity UTF-16 units long; a type chunk that is not a whole number is
// taken as no type.
PictureFile readPictureFile(const std::string& path, int capacity, int width, int height);

// readPictureFile with the pixels scaled to fit within width x height with their
// proportions kept (see fittedSize): what Open shows before the picture is recomputed.
// A PNG picture's pixels may take seconds to decode: control, when given, reports the
// progress and cancels the read.
PictureFile readPictureFileToFit(const std::string& path, int capacity, int width, int height,
                                 platform::ReadControl* control = nullptr);

struct PictureSize {
    int width = 0;
    int height = 0;
    friend bool operator==(const PictureSize&, const PictureSize&) = default;
};
// A pictureWidth x pictureHeight picture scaled to fit within width x height with its
// proportions kept: one side fills the window, the other is rounded to the nearest
// pixel and is at least one pixel long. A picture fitted once fits again unchanged.
PictureSize fittedSize(std::int64_t pictureWidth, std::int64_t pictureHeight, int width,
                       int height);
// The colour around an opened picture of another shape than the window.
constexpr platform::Color kPictureBorder = platform::rgb(128, 128, 128);
// Draws image onto the whole of target scaled to fit (nearest pixel), centred on
// kPictureBorder where it does not fill the target.
void drawFitted(platform::Bitmap& target, const platform::Bitmap& image);

// Writes picture with its type and parameter string: a bitmap with the trailer, or a PNG
// file with the text chunks. false on a write error.
bool writePicture(std::FILE* file, PictureFormat format, const platform::Bitmap& picture, int width,
                  int height, std::int32_t type, const std::string& params);

// Writes only the pixels: a bitmap without the trailer, or a PNG file without the text
// chunks, for a picture whose pixels do not all show one type and parameter string.
bool writePlainPicture(std::FILE* file, PictureFormat format, const platform::Bitmap& picture,
                       int width, int height);

// The folder part of a path: everything before its last '/'. A path without one
// is returned whole.
std::string folderOf(const std::string& path);

}  // namespace persist
