// The bitmap loader and the picture trailer reader on arbitrary files.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "engine/settings_key.h"
#include "persist/bitmap_file.h"
#include "persist/picture_file.h"
#include "platform/bitmap.h"

namespace {

const std::string& scratchPath() {
    static const std::string path =
        "/tmp/corvane-fuzz-picture-" + std::to_string(::getpid()) + ".bmp";
    return path;
}

bool writeScratch(const std::uint8_t* data, std::size_t size) {
    std::FILE* file = std::fopen(scratchPath().c_str(), "wb");
    if (file == nullptr)
        return false;
    const bool ok = std::fwrite(data, 1, size, file) == size;
    return std::fclose(file) == 0 && ok;
}

// Reading at another size must give exactly the stretched copy of the full picture, and
// refuse exactly what the full read refuses.
void checkScaled(const std::uint8_t* data, std::size_t size, const persist::BitmapLoad& full,
                 int width, int height) {
    const persist::BitmapLoad scaled = persist::decodeBitmapScaled(data, size, width, height);
    if (scaled.ok() != full.ok())
        __builtin_trap();
    if (!full.ok())
        return;
    if (scaled.fileWidth != full.bitmap.width() || scaled.fileHeight != full.bitmap.height())
        __builtin_trap();
    platform::Bitmap stretched(width, height);
    stretched.stretchFrom(full.bitmap, 0, 0, width, height, 0, 0, full.bitmap.width(),
                          full.bitmap.height());
    if (scaled.bitmap.snapshot() != stretched.snapshot())
        __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const persist::BitmapLoad decoded = persist::decodeBitmap(data, size);
    // Sizes smaller and larger than the picture, taken from the input itself.
    const int width = 1 + static_cast<int>(size > 0 ? data[size - 1] % 40 : 0);
    const int height = 1 + static_cast<int>(size > 1 ? data[size - 2] % 40 : 0);
    checkScaled(data, size, decoded, width, height);
    checkScaled(data, size, decoded, 0, 0);
    if (!writeScratch(data, size))
        return 0;
    const persist::BitmapLoad loaded = persist::loadBitmapFile(scratchPath());
    if (loaded.ok() != decoded.ok())
        __builtin_trap();  // the two doors must agree
    // The trailer is read with the size the loader found, or with made-up sizes.
    const int fileWidth = loaded.ok() ? loaded.bitmap.width() : static_cast<int>(size % 300);
    const int fileHeight = loaded.ok() ? loaded.bitmap.height() : static_cast<int>(size % 7);
    // A small capacity reaches the refusal of strings longer than it; the program's own
    // is larger than any input the fuzzer makes.
    for (const int capacity : {7, engine::kMaxParameterUnits}) {
        std::int32_t type = 0;
        std::string params;
        persist::readPictureTrailer(scratchPath(), fileWidth, fileHeight, type, params, capacity);
        if (params.size() > static_cast<std::size_t>(capacity) * 3)
            __builtin_trap();  // at most capacity units, 3 bytes each
        // The one-handle read used by Open and corvane-render sees the same file, at a
        // window's size or without pixels.
        for (const int side : {0, 3}) {
            const persist::PictureFile file =
                persist::readPictureFile(scratchPath(), capacity, side * width, side * height);
            // A PNG file is read as one (fuzz_png_file checks that path).
            if (file.format == persist::PictureFormat::Png)
                continue;
            if (file.image.ok() != loaded.ok() || (loaded.ok() && file.params != params))
                __builtin_trap();
        }
    }
    return 0;
}
