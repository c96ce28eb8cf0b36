#include "app/tile_split.h"

#include <charconv>
#include <cstdint>

namespace app {

namespace {

// The whole side of a square count, or 0 when count is not a square of 1..kMostTiles.
int squareSide(int count) {
    if (count < 1 || count > kMostTiles)
        return 0;
    int side = 1;
    while (side * side < count)
        ++side;
    return side * side == count ? side : 0;
}

// A decimal number of digits only; text left after it is refused.
bool parseNumber(std::string_view text, int& value) {
    if (text.empty() || text.front() < '0' || text.front() > '9')
        return false;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && ptr == end;
}

// The k-th of side equal shares of length, by integer division.
int shareStart(int k, int side, int length) {
    return static_cast<int>(static_cast<std::int64_t>(k) * length / side);
}

}  // namespace

std::optional<TileSplit> TileSplit::make(int count, int width, int height, std::string& why) {
    const int side = squareSide(count);
    if (side == 0) {
        why = "a picture is split into a square number of tiles, 1 to " +
              std::to_string(kMostTiles) + ", not " + std::to_string(count);
        return std::nullopt;
    }
    if (width < side || height < side) {
        why = "a " + std::to_string(width) + "x" + std::to_string(height) +
              " picture is too small for " + std::to_string(count) +
              " tiles: each would not hold a pixel";
        return std::nullopt;
    }
    return TileSplit(side, width, height);
}

complex::PixelWindow TileSplit::tile(int index) const noexcept {
    const int row = index / side_;
    const int column = index % side_;
    const int left = shareStart(column, side_, width_);
    const int top = shareStart(row, side_, height_);
    return {left, top, shareStart(column + 1, side_, width_) - left,
            shareStart(row + 1, side_, height_) - top};
}

std::optional<TileId> parseTileId(const std::string& text, std::string& why) {
    const std::size_t slash = text.find('/');
    TileId id;
    why = "bad tile " + text + ": I/N with N a square number of tiles (1 to " +
          std::to_string(kMostTiles) + ") and I from 0 to N-1";
    if (slash == std::string::npos ||
        !parseNumber(std::string_view(text).substr(0, slash), id.index) ||
        !parseNumber(std::string_view(text).substr(slash + 1), id.count))
        return std::nullopt;
    if (squareSide(id.count) == 0 || id.index >= id.count)
        return std::nullopt;
    why.clear();
    return id;
}

std::string tileLabelText(const TileLabel& label) {
    return std::to_string(label.id.index) + "/" + std::to_string(label.id.count) + " " +
           std::to_string(label.width) + "x" + std::to_string(label.height);
}

std::optional<TileLabel> parseTileLabel(const std::string& text) {
    const std::size_t space = text.find(' ');
    const std::size_t x = text.find('x', space == std::string::npos ? 0 : space);
    if (space == std::string::npos || x == std::string::npos)
        return std::nullopt;
    std::string why;
    const std::optional<TileId> id = parseTileId(text.substr(0, space), why);
    TileLabel label;
    const std::string_view size = std::string_view(text).substr(space + 1);
    const std::size_t sizeX = x - space - 1;
    if (!id || !parseNumber(size.substr(0, sizeX), label.width) ||
        !parseNumber(size.substr(sizeX + 1), label.height) || label.width < 1 || label.height < 1)
        return std::nullopt;
    label.id = *id;
    // The text is read back exactly as it is written, so that two spellings of one
    // label cannot pass for the same tile.
    if (tileLabelText(label) != text)
        return std::nullopt;
    return label;
}

}  // namespace app
