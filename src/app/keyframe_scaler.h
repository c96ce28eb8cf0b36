#pragma once

#include <optional>
#include <vector>

#include "platform/bitmap.h"

namespace app {

// A picture as rows of colours, the top row first.
struct RgbImage {
    int width = 0;
    int height = 0;
    std::vector<platform::Color> pixels;
};

// The most pixels a side of a frame made from a keyframe (as for exported pictures).
inline constexpr int kMostFrameSide = 65536;

// The width x height frame showing the part of the keyframe centred at (centreX, centreY)
// and spanning spanX x spanY keyframe pixels, in keyframe pixels from its top-left corner
// (pixel i covers [i, i + 1)). Each frame pixel is the area-weighted mean of the keyframe
// pixels it covers, in linear light, rounded back to sRGB. Where the part reaches beyond
// the keyframe, the keyframe's edge pixels stand for what lies beyond them. A span
// smaller than the frame magnifies. nullopt when the keyframe is empty or inconsistent,
// a size is out of range, a position or span is not a finite number within
// kMostFrameSide times the keyframe's size, or a frame pixel would span less than a
// millionth of a keyframe pixel.
std::optional<RgbImage> scaleFromKeyframe(const RgbImage& keyframe, double centreX, double centreY,
                                          double spanX, double spanY, int width, int height);

// Where a frame lies in its keyframe, in the keyframe's pixels as scaleFromKeyframe takes
// them. inside is false when part of the frame lies beyond the keyframe (that part would
// show the keyframe's edge pixels stretched: such a frame is better rendered itself).
struct KeyframeWindow {
    double centreX = 0.0;
    double centreY = 0.0;
    double spanX = 0.0;
    double spanY = 0.0;
    bool inside = false;
};

// The window of a frame in the keyframe made for an earlier frame of the same path:
// the keyframe is that frame's view rendered with 2 x 2 samples a pixel (sampleView of
// app/supersampling.h with factor 2), so keyframeWidth x keyframeHeight is twice the frame
// size. offsetX and offsetY are the plane offsets (real part right, imaginary part up) of
// the frame's centre from the keyframe's centre, in units of the keyframe's plane width;
// widthRatio is the frame's plane width over the keyframe's. Pixels are square.
// A picture's pixel shows the plane point half a pixel left of and one and a half pixels
// below its middle (ViewWindow::planeX and planeY); the window carries that shift at
// both scales, so that a frame made from a keyframe lines up with the frame rendered
// itself. With no offset and a ratio of 1 it is the whole keyframe.
KeyframeWindow keyframeWindow(double offsetX, double offsetY, double widthRatio, int keyframeWidth,
                              int keyframeHeight);

}  // namespace app
