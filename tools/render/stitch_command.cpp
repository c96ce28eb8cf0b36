#include "stitch_command.h"

#include <cstdio>

#include "app/numbered_name.h"
#include "app/tile_stitcher.h"

namespace render {

std::string stitchTiles(const RenderOptions& options) {
    std::string why;
    std::optional<app::NumberedName> tiles = app::NumberedName::parse(options.stitchPattern, why);
    if (!tiles)
        return why;
    const app::TileStitcher stitcher(options.stitchCount.value_or(1), std::move(*tiles));
    // A pipe or a device (/dev/null, /dev/stdout) is written into as any tool would.
    if (std::string problem = stitcher.stitch(options.output, platform::StreamTargets::WriteInto);
        !problem.empty())
        return problem;
    std::printf("stitched=%d output=%s\n", options.stitchCount.value_or(1), options.output.c_str());
    return {};
}

}  // namespace render
