#pragma once

#include <optional>
#include <string>

#include "app/frame_job.h"
#include "app/keyframe_scaler.h"
#include "app/picture_export.h"

namespace app {

// The frames of a path with keyframes: each run of keyframe-every frames is made from one
// picture, the first frame's view rendered at twice the frame's size (2 x 2 samples a
// pixel), scaled down to each frame's part of it. A frame that reaches beyond its
// keyframe (a zoom into a point near the edge) is rendered itself.

// The first frame of frame k's run: the frame whose view its keyframe shows.
long keyframeOf(const PathPlan& plan, long frame);

// The keyframe of run start keyframe as an export request: the frame's view on a picture
// twice as wide and high (its samples), the path's colouring and anti-aliasing.
std::optional<ExportRequest> keyframeRequest(const PathPlan& plan, long keyframe,
                                             const FrameSettings& settings);

// A keyframe computed into memory.
struct KeyframePicture {
    long frame = -1;
    RgbImage image;
};

// Computes the keyframe of run start keyframe into picture; the result says why not.
ExportResult renderKeyframe(const PathPlan& plan, long keyframe, const FrameSettings& settings,
                            KeyframePicture& picture);

// Why writeFrameFromKeyframe made no frame when the frame reaches beyond its keyframe
// (such a frame is rendered itself).
inline constexpr const char* kFrameBeyondKeyframe = "the frame reaches beyond its keyframe";

// Writes frame k, made from its keyframe, into name (a temporary file renamed into place).
// The file carries what a frame rendered itself carries: the type, the parameters of the
// frame's own view and the frame's text.
ExportResult writeFrameFromKeyframe(const PathPlan& plan, long frame,
                                    const KeyframePicture& keyframe, const FrameSettings& settings,
                                    const std::string& name);

}  // namespace app
