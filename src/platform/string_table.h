#pragma once

#include <string>
#include <string_view>

namespace platform {

// Every user-visible text of the program, by string id.
std::string_view loadString(int id);

// Ids used in code by name.
constexpr int kStringWindowTitle = 1;
constexpr int kStringClassName = 40008;
constexpr int kStringKeyPath = 40016;
constexpr int kStringFileMenu = 40007;
constexpr int kStringFractalMenu = 40015;
constexpr int kStringTipSelectZoom = 40017;
constexpr int kStringTipZoomOut = 40018;
constexpr int kStringTipDisplayOff = 40019;
constexpr int kStringSelectArea = 40020;
constexpr int kStringLabelX0 = 40021;
constexpr int kStringLabelY0 = 40022;
constexpr int kStringAllFiles = 40023;
constexpr int kStringColorPalettes = 40024;
constexpr int kStringOpenPalette = 40025;
constexpr int kStringBitmaps = 40026;
constexpr int kStringOpenFractal = 40027;
constexpr int kStringSaveFractal = 40028;
constexpr int kStringTipZoomPrevious = 40030;
constexpr int kStringSlideshowCaption = 40031;
constexpr int kStringSlideshowQuestion = 40032;
constexpr int kStringLabelP1 = 40035;
constexpr int kStringLabelP2 = 40036;
constexpr int kStringTooDeep = 40040;
constexpr int kStringPngPictures = 40041;
constexpr int kStringPictures = 40042;
constexpr int kStringDeepestView = 40043;
constexpr int kStringFirstMethod = 5000;  // 5000..5002: "Simple", "Relief", "Tesseral"

// The window's title with a note after the program's name ("Corvane" when empty).
std::string windowTitleWithNote(const std::string& note);
// "Julia001.bmp - Corvane", with the note after the name as above.
std::string windowTitleFor(const std::string& subject, const std::string& note);

}  // namespace platform
