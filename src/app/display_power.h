#pragma once

namespace app {

class Shell;

// Switch the display off or on; false when the display cannot be switched (the
// request has then not been made).
bool displayPowerOff(Shell& shell);
bool displayPowerOn(Shell& shell);

}  // namespace app
