#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace app {

// A palette that comes with the program, as the Palette menu lists it.
struct ShippedPalette {
    std::string name;  // "High contrast" for high-contrast.pal
    std::string path;
};

// The most palettes the menu lists (the size of its command range).
inline constexpr std::size_t kMaxShippedPalettes = 64;

// The folder of the palettes that come with the program: $CORVANE_PALETTES when set;
// else share/corvane/palettes beside the program's bin folder (installed), else the
// palettes folder beside the program (the build tree). Empty when none exists.
std::string shippedPaletteFolder();

// The *.pal files of folder, in name order, at most kMaxShippedPalettes; none when the
// folder cannot be read.
std::vector<ShippedPalette> listShippedPalettes(const std::string& folder);

// The menu name of a palette file: the name without ".pal", '-' and '_' as spaces,
// the first letter capital.
std::string paletteMenuName(const std::string& fileName);

}  // namespace app
