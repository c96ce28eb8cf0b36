#pragma once

#include "render_options.h"

namespace render {

// The exit codes of the frame jobs: every frame asked for rendered (some may have been
// finished before), a file that failed, arguments or a path refused, and every frame
// asked for already finished (options.skippedExit replaces it).
constexpr int kFramesDone = 0;
constexpr int kFrameFailed = 1;
constexpr int kFramesRefused = 2;
constexpr int kFramesSkipped = 3;

// --frame, --frames, --plan or --frame-count on the path the options give; the exit code.
int runFrameCommand(const RenderOptions& options);

}  // namespace render
