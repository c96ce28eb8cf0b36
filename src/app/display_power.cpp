#include "app/display_power.h"

#include "app/shell.h"

namespace app {

bool displayPowerOff(Shell& shell) {
    return shell.displayPower(false);
}

bool displayPowerOn(Shell& shell) {
    return shell.displayPower(true);
}

}  // namespace app
