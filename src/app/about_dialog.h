#pragma once

namespace app {

// Who the program is.
class AboutDialog {
  public:
    static constexpr const char* kCaption = "About Corvane";
    static constexpr const char* kName = "Corvane";
    static constexpr const char* kVersion = "Version 1.0.0";
    static constexpr const char* kSummary =
        "A fractal explorer: thirteen orbit and escape-time fractals,\n"
        "computed point by point while you watch.";

    static int ok();
};

}  // namespace app
