#pragma once

#include <optional>
#include <vector>

#include "platform/geometry.h"

namespace app {

// Where a window stored at window (right and bottom exclusive) opens among screens
// (their available areas): moved the least to lie wholly on the screen that shows
// most of it, or at that screen's top-left corner when it is larger. nullopt when no
// screen shows any of it (a monitor since removed): the window manager places it.
std::optional<platform::Point> keptOnScreen(const platform::Rect& window,
                                            const std::vector<platform::Rect>& screens);

// How far a window's frame (title bar and borders) reaches beyond its client area on
// each side; all zero while the window manager has not told.
struct FrameMargins {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

// The position stored for a window whose client area and whole window (frame
// included) lie at client and frame: see restoredClientPosition.
platform::Point positionToStore(const platform::Rect& client, const platform::Rect& frame);

// The position stored for a window is its client area's top-left corner: what the
// window reports and what it is placed by, whatever the frame around it (which the
// window manager may add only after the window is shown). Where the client area of
// size width x height opens when stored is the position kept: the whole window, frame
// included, is kept on screen as keptOnScreen does. nullopt: the window manager places it.
std::optional<platform::Point> restoredClientPosition(platform::Point stored, int width, int height,
                                                      const FrameMargins& frame,
                                                      const std::vector<platform::Rect>& screens);

}  // namespace app
