#include "app/help.h"

#include "app/shell.h"
#include "platform/text.h"

namespace app {

namespace {

constexpr char kHelpFile[] = "Corvane.htm";
constexpr std::size_t kCommandLineUnits = 255;  // a 256-character buffer with its terminator

}  // namespace

std::string helpCommandLine(const std::string& topic) {
    return platform::truncateUtf16(std::string(kHelpFile) + "#" + topic, kCommandLineUnits);
}

bool showHelp(Shell& shell, const std::string& topic) {
    shell.startHelpViewer(helpCommandLine(topic));
    return true;
}

}  // namespace app
