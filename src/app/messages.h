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
// WM_CLOSE's first parameter: 0 asks the user first while an export runs; kCloseNow
// closes at once (the user has been asked, or the session is ending).
constexpr std::uintptr_t kCloseNow = 1;
constexpr unsigned WM_SETTINGCHANGE = 26;
constexpr unsigned WM_HELP = 83;
constexpr unsigned WM_KEYDOWN = 256;
constexpr unsigned WM_KEYUP = 257;
constexpr unsigned WM_COMMAND = 273;
constexpr unsigned WM_TIMER = 275;
constexpr unsigned WM_MOUSEMOVE = 512;
constexpr unsigned WM_LBUTTONDOWN = 513;
constexpr unsigned WM_LBUTTONUP = 514;
constexpr unsigned WM_LBUTTONDBLCLK = 515;
constexpr unsigned WM_RBUTTONDOWN = 516;
constexpr unsigned WM_RBUTTONUP = 517;
constexpr unsigned WM_MBUTTONDOWN = 519;
constexpr unsigned WM_MBUTTONUP = 520;
// The wheel: the signed delta (120 a notch) in the high 16 bits of the first
// parameter, the pointer's picture position in the second.
constexpr unsigned WM_MOUSEWHEEL = 522;
constexpr unsigned WM_USER = 1024;
// Creates the fractal of the type in the first parameter; a non-zero second parameter
// makes it take over the picture of the held object.
constexpr unsigned WM_NEWFRACTAL = WM_USER + 1;
// An export running on its own thread has ended (written, cancelled or failed).
constexpr unsigned WM_EXPORTDONE = WM_USER + 2;
// A picture file read on its own thread for Open has been read (or refused, or cancelled).
constexpr unsigned WM_OPENDONE = WM_USER + 3;
// The search for the nearest minibrot on its own thread has ended (found, none, stopped).
constexpr unsigned WM_MINIBROTDONE = WM_USER + 4;

// WM_ACTIVATE's first parameter (low word).
constexpr unsigned WA_INACTIVE = 0;
constexpr unsigned WA_ACTIVE = 1;

// The slideshow's window timer.
constexpr unsigned kSlideshowTimerId = 2;
// Ends a run of navigation steps once the wheel and the keys have rested.
constexpr unsigned kNavigationTimerId = 3;
// Turns the palette a step while colour cycling is on (and only then).
constexpr unsigned kColorCycleTimerId = 4;
// Draws the frames of a moving view; it runs only while the view moves.
constexpr unsigned kFrameTimerId = 5;

// The buttons held, in the first parameter of the pointer messages.
constexpr std::uintptr_t MK_LBUTTON = 0x0001;
constexpr std::uintptr_t MK_RBUTTON = 0x0002;
constexpr std::uintptr_t MK_SHIFT = 0x0004;
constexpr std::uintptr_t MK_MBUTTON = 0x0010;
constexpr int WHEEL_DELTA = 120;

// Key codes of WM_KEYDOWN.
constexpr unsigned VK_BACK = 0x08;
constexpr unsigned VK_ESCAPE = 0x1B;
constexpr unsigned VK_PRIOR = 0x21;
constexpr unsigned VK_NEXT = 0x22;
constexpr unsigned VK_HOME = 0x24;
constexpr unsigned VK_LEFT = 0x25;
constexpr unsigned VK_UP = 0x26;
constexpr unsigned VK_RIGHT = 0x27;
constexpr unsigned VK_DOWN = 0x28;
constexpr unsigned VK_ADD = 0x6B;
constexpr unsigned VK_SUBTRACT = 0x6D;
constexpr unsigned VK_OEM_PLUS = 0xBB;
constexpr unsigned VK_OEM_MINUS = 0xBD;
constexpr unsigned VK_BROWSER_BACK = 0xA6;
constexpr unsigned VK_BROWSER_FORWARD = 0xA7;
// WM_KEYDOWN's second parameter: set while Alt is held with the key.
constexpr std::intptr_t KF_ALTDOWN = std::intptr_t{1} << 29;
// Set on the WM_KEYDOWN messages a held key repeats.
constexpr std::intptr_t KF_REPEAT = std::intptr_t{1} << 30;

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
constexpr unsigned IDM_STOP = 40050;
constexpr unsigned IDM_CONTINUE = 40051;
// The Palette menu: the built-in colours, then the palettes that come with the program
// in the order MainWindow::shippedPalettes() lists them.
constexpr unsigned IDM_PALETTE_BUILT_IN = 40100;
constexpr unsigned IDM_PALETTE_FIRST = 40101;
constexpr unsigned IDM_PALETTE_LAST = 40164;  // IDM_PALETTE_FIRST + kMaxShippedPalettes - 1
constexpr unsigned IDM_EXPORT = 40052;
// Forward again through the zoom history, to where Zoom previous came from.
constexpr unsigned IDM_ZOOM_NEXT = 40053;
// Centres the view on the nearest small copy of the Mandelbrot set and zooms to show it.
constexpr unsigned IDM_FIND_MINIBROT = 40054;
// Edits a gradient of colour stops and applies it (or saves it as a palette file).
constexpr unsigned IDM_GRADIENT_EDITOR = 40061;

// Locations: the view as text on the clipboard, and the Locations menu's bookmarks
// (entry i of MainWindow::bookmarks() is command IDM_BOOKMARK_FIRST + i).
constexpr unsigned IDM_COPY_LOCATION = 40070;
constexpr unsigned IDM_PASTE_LOCATION = 40071;
constexpr unsigned IDM_ADD_BOOKMARK = 40072;
constexpr unsigned IDM_RENAME_BOOKMARK = 40073;
constexpr unsigned IDM_DELETE_BOOKMARK = 40074;
constexpr unsigned IDM_BOOKMARK_FIRST = 40200;
constexpr unsigned IDM_BOOKMARK_LAST =
    40299;  // IDM_BOOKMARK_FIRST + BookmarkStore::kMostBookmarks - 1
// Colouring: the dialog, colour cycling, and the keys' steps of density and offset.
constexpr unsigned IDM_COLORING = 40055;
constexpr unsigned IDM_COLOR_CYCLE = 40056;
constexpr unsigned IDM_DENSITY_COARSER = 40057;
constexpr unsigned IDM_DENSITY_FINER = 40058;
constexpr unsigned IDM_OFFSET_FORWARD = 40059;
constexpr unsigned IDM_OFFSET_BACK = 40060;

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

// The wheel's signed delta from WM_MOUSEWHEEL's first parameter.
constexpr int wheelDelta(std::uintptr_t wParam) {
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(highWord(wParam)));
}

}  // namespace app
