#pragma once

#include <cstdio>
#include <optional>
#include <string>

#include "engine/fractal.h"
#include "persist/bitmap_file.h"
#include "platform/regular_file.h"

namespace persist {

// Reads the trailer of a picture file: the type id and the parameter string that
// follow the pixel data of a width x height picture. fileType is left alone when
// the file ends before it; fileParams receives the units up to the first zero unit
// or the end of the file, and is empty when the file ends first or when the string
// is longer than capacity UTF-16 units. 0 when done, kStatusCannotOpen when the file
// cannot be opened or is not a regular file.
int readPictureTrailer(const std::string& path, int width, int height,
                       engine::FractalType& fileType, std::string& fileParams, int capacity);
// The same on a file already open; true when the type id was there.
bool readPictureTrailer(const platform::RegularFile& file, int width, int height,
                        engine::FractalType& fileType, std::string& fileParams, int capacity);

// A picture file read through one open handle: the pixels and the trailer come
// from the same file even when the name is removed or replaced meanwhile.
struct PictureFile {
    BitmapLoad image;
    std::optional<engine::FractalType> type;  // absent when the file ends before it
    std::string params;
};
// The pixels come scaled to width x height as they are read (see loadBitmapFileScaled),
// so opening costs what the window shows, not what the file holds; an empty size reads
// only the headers and the trailer.
PictureFile readPictureFile(const std::string& path, int capacity, int width, int height);

// The folder part of a path: everything before its last '/'. A path without one
// is returned whole.
std::string folderOf(const std::string& path);

}  // namespace persist
