// The bitmap loader and the picture trailer reader on arbitrary files.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "engine/settings_key.h"
#include "persist/bitmap_file.h"
#include "persist/picture_file.h"

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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const persist::BitmapLoad decoded = persist::decodeBitmap(data, size);
    if (!writeScratch(data, size))
        return 0;
    const persist::BitmapLoad loaded = persist::loadBitmapFile(scratchPath());
    if (loaded.ok() != decoded.ok())
        __builtin_trap();  // the two doors must agree
    // The trailer is read with the size the loader found, or with made-up sizes.
    int width = loaded.ok() ? loaded.bitmap.width() : static_cast<int>(size % 300);
    int height = loaded.ok() ? loaded.bitmap.height() : static_cast<int>(size % 7);
    // A small capacity reaches the refusal of strings longer than it; the program's own
    // is larger than any input the fuzzer makes.
    for (const int capacity : {7, engine::kMaxParameterUnits}) {
        engine::FractalType type = 0;
        std::string params;
        persist::readPictureTrailer(scratchPath(), width, height, type, params, capacity);
        if (params.size() > static_cast<std::size_t>(capacity) * 3)
            __builtin_trap();  // at most capacity units, 3 bytes each
        // The one-handle read used by Open and corvane-render sees the same file.
        const persist::PictureFile file = persist::readPictureFile(scratchPath(), capacity);
        if (file.image.ok() != loaded.ok() || (loaded.ok() && file.params != params))
            __builtin_trap();
    }
    return 0;
}
