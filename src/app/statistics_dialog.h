#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/fractal.h"
#include "platform/geometry.h"

namespace app {

struct StatisticsValues {
    std::string startTime = "---";
    std::string endTime = "---";
    std::string duration = "---";
    std::string points = "---";
    std::string iterations = "---";
    std::string pointsPerSecond = "---";
    std::string iterationsPerSecond = "---";
    // A deep picture's figures, one "label: value" line each; empty for other pictures.
    std::vector<std::string> deep;
    // The bytes of a deep view's reference orbits.
    std::string referenceMemory = "---";
};

// The statistics of the current or last run, refreshed once a second while the run
// lasts and left as they are once it has ended.
class StatisticsDialog {
  public:
    static constexpr const char* kCaption = "Statistics";
    static constexpr std::array<const char*, 8> kLabels = {
        "Start time:", "End time:",   "Duration:",  "Points:",
        "Iterations:", "Points/sec:", "Iter./sec:", "Reference:"};
    static constexpr unsigned kTimerId = 1;
    static constexpr unsigned kRefreshMs = 1000;

    const StatisticsValues& values() const { return values_; }
    // Whether the dialog still follows the run (its timer runs).
    bool refreshing() const { return refreshing_; }

    // Fills the values from the statistics at tick count now. Once a refresh has seen
    // the run ended, the values stay as they are and later refreshes change nothing.
    // Returns refreshing().
    bool refresh(const engine::RunStatistics& statistics, std::uint32_t now);
    bool refresh(const engine::Fractal& fractal);
    // OK (the timer stops).
    int close();

    // Elapsed milliseconds as hours, minutes and seconds on a 24-hour clock. A run
    // of a day or more keeps counting the hours ("26:03:04"): a time of day cannot
    // show it.
    static std::string formatDuration(std::uint32_t elapsedMs);
    // The lines of a deep picture's figures.
    static std::vector<std::string> deepLines(const engine::DeepReport& report);
    // The dialog's rectangle moved so that its centre is over the parent's, then
    // pushed inside the desktop's right and bottom edges and never above or left of 0.
    static platform::Rect centreOverParent(const platform::Rect& dialog,
                                           const platform::Rect& parent,
                                           const platform::Rect& desktop);

  private:
    StatisticsValues values_;
    bool refreshing_ = true;
};

}  // namespace app
