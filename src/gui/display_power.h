#pragma once

namespace gui {

// Switches the screen off or on through the X server's power management (DPMS);
// false when the session has no X server with it, like a display driver without the
// power escape.
bool switchDisplayPower(bool on);

}  // namespace gui
