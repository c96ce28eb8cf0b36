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

}  // namespace app
