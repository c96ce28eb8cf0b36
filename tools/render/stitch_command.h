#pragma once

#include <string>

#include "render_options.h"

namespace render {

// --stitch N PATTERN OUTPUT: the tiles joined into the whole picture. Why not (exit
// code 1, nothing written), or empty.
std::string stitchTiles(const RenderOptions& options);

}  // namespace render
