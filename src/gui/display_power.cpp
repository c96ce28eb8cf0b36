#include "gui/display_power.h"

#include <QGuiApplication>

#if defined(CORVANE_HAVE_DPMS) && QT_CONFIG(xcb)
#define CORVANE_USE_DPMS 1
// Xlib's macros (None, Bool, Status, ...) stay inside this file.
#include <X11/Xlib.h>
#include <X11/extensions/dpms.h>
#endif

namespace gui {

#if defined(CORVANE_USE_DPMS)

namespace {

// Power management that was off before we switched the screen off is put back off.
bool weEnabledDpms = false;

Display* sessionDisplay() {
    // Only the display Qt itself runs on: on another platform (offscreen, Wayland)
    // there is none, and a DISPLAY of the environment must not be touched.
    auto* x11 = qGuiApp == nullptr ? nullptr
                                   : qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 == nullptr ? nullptr : x11->display();
}

}  // namespace

bool switchDisplayPower(bool on) {
    Display* display = sessionDisplay();
    int eventBase = 0;
    int errorBase = 0;
    if (display == nullptr || !DPMSQueryExtension(display, &eventBase, &errorBase) ||
        !DPMSCapable(display)) {
        return false;
    }
    CARD16 level = 0;
    BOOL enabled = False;
    DPMSInfo(display, &level, &enabled);
    if (!on && !enabled) {
        DPMSEnable(display);
        weEnabledDpms = true;
    }
    DPMSForceLevel(display, on ? DPMSModeOn : DPMSModeOff);
    if (on && weEnabledDpms) {
        DPMSDisable(display);
        weEnabledDpms = false;
    }
    XFlush(display);
    return true;
}

#else

bool switchDisplayPower(bool) {
    return false;
}

#endif

}  // namespace gui
