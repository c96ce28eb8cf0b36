#pragma once

#include <cstdint>

#include "platform/geometry.h"

namespace app {

// Messages of the main window's procedure, with the numbers the rest of the program
// and the front end agree on.
constexpr unsigned WM_CREATE = 1;
constexpr unsigned WM_DESTROY = 2;
// Our window layer's own: the picture area has settled at a new size (width in the
// low, height in the high 16 bits of the second parameter).
constexpr unsigned WM_SIZE = 5;
constexpr unsigned WM_ACTIVATE = 6;
// The update rectangle travels with the message: left and top in the first, right and
// bottom in the second parameter, 16 bits each (right and bottom excluded).
constexpr unsigned WM_PAINT = 15;
constexpr unsigned WM_CLOSE = 16;
constexpr unsigned WM_SETTINGCHANGE = 26;
constexpr unsigned WM_HELP = 83;
constexpr unsigned WM_KEYDOWN = 256;
constexpr unsigned WM_COMMAND = 273;
constexpr unsigned WM_TIMER = 275;
constexpr unsigned WM_MOUSEMOVE = 512;
constexpr unsigned WM_LBUTTONDOWN = 513;
constexpr unsigned WM_LBUTTONUP = 514;
constexpr unsigned WM_USER = 1024;
// Creates the fractal of the type in the first parameter; a non-zero second parameter
// makes it take over the picture of the held object.
constexpr unsigned WM_NEWFRACTAL = WM_USER + 1;

// WM_ACTIVATE's first parameter (low word).
constexpr unsigned WA_INACTIVE = 0;
constexpr unsigned WA_ACTIVE = 1;

// The slideshow's window timer.
constexpr unsigned kSlideshowTimerId = 2;

// Command ids (WM_COMMAND, low word of the first parameter).
constexpr unsigned IDM_CTRL_Q = 1;
constexpr unsigned IDM_EXIT = 40004;
constexpr unsigned IDM_ABOUT = 40005;
constexpr unsigned IDM_TYPE = 40011;
constexpr unsigned IDM_PARAMETERS = 40012;
constexpr unsigned IDM_OPEN = 40018;
constexpr unsigned IDM_SAVE = 40019;
constexpr unsigned IDM_VIEW = 40021;
constexpr unsigned IDM_SELECT_ZOOM = 40025;
constexpr unsigned IDM_ZOOM_OUT = 40026;
constexpr unsigned IDM_OPTIONS = 40028;
constexpr unsigned IDM_STATISTICS = 40029;
constexpr unsigned IDM_LOAD_PALETTE = 40030;
constexpr unsigned IDM_SLIDESHOW = 40031;
constexpr unsigned IDM_DISPLAY_OFF = 40033;
constexpr unsigned IDM_ZOOM_PREVIOUS = 40034;
constexpr unsigned IDM_CLEAR_SCREEN = 40035;

// Two 16-bit halves of a message parameter.
constexpr std::intptr_t makeLParam(unsigned low, unsigned high) {
    return static_cast<std::intptr_t>((low & 0xFFFFu) | ((high & 0xFFFFu) << 16));
}
constexpr unsigned lowWord(std::uintmax_t value) {
    return static_cast<unsigned>(value & 0xFFFFu);
}
constexpr unsigned highWord(std::uintmax_t value) {
    return static_cast<unsigned>((value >> 16) & 0xFFFFu);
}

// A stylus position as the stylus messages carry it: unsigned 16-bit x and y.
inline platform::Point pointFromLParam(std::intptr_t lParam) {
    const auto bits = static_cast<std::uintptr_t>(lParam);
    return platform::Point{static_cast<int>(lowWord(bits)), static_cast<int>(highWord(bits))};
}

}  // namespace app
