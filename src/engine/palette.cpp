#include <cstdint>
#include <string>
#include <utility>

#include "engine/color_table.h"
#include "engine/fractal.h"

namespace engine {

namespace {

constexpr char kPaletteValue[] = "Palette";
constexpr std::uint32_t kPalettePathBytes = textCapacityBytes(kMaxPathUnits);

// Everything before the last separator; the whole path when there is none.
std::string beforeLastSeparator(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(0, slash);
}

// Everything after the last separator; the whole path when there is none.
std::string afterLastSeparator(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

int Fractal::loadPalette() {
    std::uint32_t length = kPalettePathBytes;
    settings.readString(kPaletteValue, folders.palette,
                        length);  // keeps folders.palette on failure
    int loaded = colorTable_.loadFile(folders.palette, kMaxPaletteEntries);
    if (loaded == 0) {
        const auto& builtIn = builtInPalette();
        colorTable_.setColors(builtIn.data(), static_cast<int>(builtIn.size()));
        loaded = static_cast<int>(builtIn.size());
    }
    numColors = loaded;
    return loaded;
}

void Fractal::usePalette(const std::string& path, ColorTable&& colors) {
    folders.palette = path;
    colorTable_ = std::move(colors);
    numColors = colorTable_.colorCount();
}

std::string Fractal::paletteDirectory() const {
    return beforeLastSeparator(folders.palette);
}

std::string Fractal::paletteFolderName() const {
    return afterLastSeparator(paletteDirectory());
}

std::string Fractal::paletteFileName() const {
    return afterLastSeparator(folders.palette);
}

}  // namespace engine
