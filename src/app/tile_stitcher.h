#pragma once

#include <string>
#include <utility>

#include "app/numbered_name.h"
#include "platform/write_target.h"

namespace app {

// Joins the tiles of one picture (PNG files written with a tile label) into the whole
// picture, byte for byte the PNG the whole picture's export writes: the same texts
// without the label, the same rows, the same encoder.
//
// Every tile is checked before anything is written: that it is there, a regular file
// and a PNG; that it claims the index its name gives, of this many tiles; that all
// claim the same whole picture size and carry the same texts; and that each has the
// size its part of the split gives. The rows are then read a row of pixels from each
// tile of a row at a time (memory for one row of the picture) and written to a
// temporary file renamed into place at the end, so a tile found damaged while it is
// decoded leaves nothing behind.
class TileStitcher {
  public:
    TileStitcher(int count, NumberedName tiles) : count_(count), tiles_(std::move(tiles)) {}

    // Why the picture could not be written (one line naming the file at fault); empty
    // when it was.
    std::string stitch(const std::string& output, platform::StreamTargets streams) const;

  private:
    int count_;
    NumberedName tiles_;
};

}  // namespace app
