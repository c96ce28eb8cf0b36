#pragma once

#include <string>

namespace app {

class Shell;

// Help topics, the anchors of the help file.
constexpr char kHelpContents[] = "Contents";
constexpr char kHelpFractals[] = "Fractals";
constexpr char kHelpOptions[] = "Options";

// "Corvane.htm#" followed by the topic, cut to the viewer's 255-character command line.
std::string helpCommandLine(const std::string& topic);
// Opens the help viewer on a topic. Whether it could be started is not examined.
bool showHelp(Shell& shell, const std::string& topic);

}  // namespace app
