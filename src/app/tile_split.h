#pragma once

#include <optional>
#include <string>

#include "complex/pixel_window.h"

namespace app {

// The PNG text that tells a tile which part of which picture it is: "I/N WxH".
inline constexpr const char* kPngTileKeyword = "Corvane tile";
// The most tiles a picture is split into (64 x 64).
inline constexpr int kMostTiles = 4096;

// Tile index of count, tiles numbered from 0, left to right, top row first.
struct TileId {
    int index = 0;
    int count = 1;
    friend bool operator==(const TileId&, const TileId&) = default;
};

// A width x height picture split into count = side x side tiles: tile i lies in row
// i / side (from the top) and column i % side; its columns are [c * width / side,
// (c + 1) * width / side) and its rows likewise, so the tiles of a row or a column
// differ by at most one pixel and together cover the picture once.
class TileSplit {
  public:
    // nullopt, with the reason in why, when count is not a square of 1..kMostTiles or
    // the picture is too small for every tile to hold a pixel.
    static std::optional<TileSplit> make(int count, int width, int height, std::string& why);

    int count() const noexcept { return side_ * side_; }
    int side() const noexcept { return side_; }
    int width() const noexcept { return width_; }
    int height() const noexcept { return height_; }
    // index in 0..count() - 1.
    complex::PixelWindow tile(int index) const noexcept;

  private:
    TileSplit(int side, int width, int height) : side_(side), width_(width), height_(height) {}
    int side_;
    int width_;
    int height_;
};

// "I/N" with 0 <= I < N, N a square of 1..kMostTiles; nullopt with why otherwise.
std::optional<TileId> parseTileId(const std::string& text, std::string& why);

// What a tile's PNG carries under kPngTileKeyword, and its reading.
struct TileLabel {
    TileId id;
    int width = 0;  // of the whole picture
    int height = 0;
    friend bool operator==(const TileLabel&, const TileLabel&) = default;
};
std::string tileLabelText(const TileLabel& label);
std::optional<TileLabel> parseTileLabel(const std::string& text);

}  // namespace app
