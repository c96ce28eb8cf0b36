// The PNG reader and the picture reader's PNG path on arbitrary files.
#include <unistd.h>
#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "engine/settings_key.h"
#include "persist/picture_file.h"
#include "platform/bitmap.h"
#include "platform/png_reader.h"
#include "platform/text.h"

namespace {

const std::string& scratchPath() {
    static const std::string path = "/tmp/corvane-fuzz-png-" + std::to_string(::getpid()) + ".png";
    return path;
}

bool writeScratch(const std::vector<std::uint8_t>& data) {
    std::FILE* file = std::fopen(scratchPath().c_str(), "wb");
    if (file == nullptr)
        return false;
    const bool ok = std::fwrite(data.data(), 1, data.size(), file) == data.size();
    return std::fclose(file) == 0 && ok;
}

std::uint32_t bigEndian(const std::uint8_t* p) {
    return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}

// The input with the check sum of every whole chunk made right, so that mutations reach
// the decoder instead of stopping at the first check sum.
std::vector<std::uint8_t> withCorrectCheckSums(const std::uint8_t* data, std::size_t size) {
    std::vector<std::uint8_t> fixed(data, data + size);
    std::size_t at = 8;
    while (at + 12 <= fixed.size()) {
        const std::uint64_t length = bigEndian(&fixed[at]);
        if (length > fixed.size() - at - 12)
            break;
        const auto end = at + 8 + static_cast<std::size_t>(length);
        const uLong crc = crc32(0, &fixed[at + 4], static_cast<uInt>(end - at - 4));
        for (int i = 0; i < 4; ++i)
            fixed[end + static_cast<std::size_t>(i)] =
                static_cast<std::uint8_t>(crc >> (24 - 8 * i));
        at = end + 4;
    }
    return fixed;
}

bool validUtf8(const std::string& text) {
    return platform::fromUtf16(platform::toUtf16(text)) == text;
}

void check(const std::vector<std::uint8_t>& png, int width, int height) {
    const platform::PngRead scaled =
        platform::decodePngScaled(png.data(), png.size(), width, height);
    const platform::PngRead header = platform::decodePngScaled(png.data(), png.size(), 0, 0);
    for (const platform::PngText& text : header.texts) {
        if (!validUtf8(text.text) || !validUtf8(text.keyword) ||
            text.text.size() > 2 * platform::kMaxPngTextBytes)
            __builtin_trap();
    }
    if (!scaled.ok())
        return;
    // What reads whole reads its header too, with the same size and texts.
    if (!header.ok() || header.fileWidth != scaled.fileWidth ||
        header.fileHeight != scaled.fileHeight || header.texts.size() != scaled.texts.size())
        __builtin_trap();
    if (scaled.bitmap.width() != width || scaled.bitmap.height() != height)
        __builtin_trap();
    // A small picture read whole and stretched gives the scaled read exactly.
    if (std::uint64_t{scaled.fileWidth} * scaled.fileHeight <= 65536) {
        const platform::PngRead full =
            platform::decodePngScaled(png.data(), png.size(), static_cast<int>(scaled.fileWidth),
                                      static_cast<int>(scaled.fileHeight));
        if (!full.ok())
            __builtin_trap();
        platform::Bitmap stretched(width, height);
        stretched.stretchFrom(full.bitmap, 0, 0, width, height, 0, 0, full.bitmap.width(),
                              full.bitmap.height());
        if (stretched.snapshot() != scaled.bitmap.snapshot())
            __builtin_trap();
    }
    // The picture reader sees the same file through a handle, and takes at most
    // capacity units of parameters.
    if (!writeScratch(png))
        return;
    for (const int capacity : {7, engine::kMaxParameterUnits}) {
        const persist::PictureFile file =
            persist::readPictureFileToFit(scratchPath(), capacity, width, height);
        if (!file.image.ok() || file.format != persist::PictureFormat::Png ||
            platform::utf16Length(file.params) > static_cast<std::size_t>(capacity))
            __builtin_trap();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Sizes smaller and larger than most inputs' pictures, taken from the input itself.
    const int width = 1 + static_cast<int>(size > 0 ? data[size - 1] % 40 : 0);
    const int height = 1 + static_cast<int>(size > 1 ? data[size - 2] % 40 : 0);
    check(std::vector<std::uint8_t>(data, data + size), width, height);
    check(withCorrectCheckSums(data, size), width, height);
    return 0;
}
