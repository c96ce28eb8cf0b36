#include "app/statistics_dialog.h"

#include <algorithm>

#include "app/dialog_fields.h"
#include "platform/c_format.h"
#include "platform/clock.h"

namespace app {

namespace {

constexpr std::uint32_t kMsPerHour = 3600000;
constexpr std::uint32_t kMsPerMinute = 60000;
constexpr std::uint32_t kMsPerSecond = 1000;

// Counters are unsigned: shown as such, never as negative numbers, their digits
// grouped as the status bar groups them.
std::string formatCount(std::uint64_t value) {
    return formatGrouped(value);
}

std::uint64_t perSecond(std::uint64_t counter, std::uint32_t wholeSeconds) {
    return counter / wholeSeconds;
}

// A run that has never started (a picture opened from a file) has no start time.
bool hasRun(const engine::RunStatistics& statistics) {
    return statistics.running || statistics.startTime != platform::LocalTime{};
}

}  // namespace

bool StatisticsDialog::refresh(const engine::RunStatistics& statistics, std::uint32_t now) {
    if (!refreshing_)
        return false;
    if (hasRun(statistics)) {
        values_.startTime = platform::formatTimeOfDay(statistics.startTime);
        values_.endTime =
            statistics.running ? "---" : platform::formatTimeOfDay(statistics.endTime);
        // Unsigned arithmetic: the tick count may wrap during a run.
        const std::uint32_t elapsed =
            (statistics.endTick != 0 ? statistics.endTick : now) - statistics.startTick;
        values_.duration = formatDuration(elapsed);
        values_.points = formatCount(statistics.pointCount);
        values_.iterations = formatCount(statistics.iterationCount);
        values_.referenceMemory = statistics.referenceBytes > 0
                                      ? formatCount(statistics.referenceBytes) + " bytes"
                                      : "---";
        if (const std::uint32_t wholeSeconds = elapsed / kMsPerSecond; wholeSeconds > 0) {
            values_.pointsPerSecond = formatCount(perSecond(statistics.pointCount, wholeSeconds));
            values_.iterationsPerSecond =
                formatCount(perSecond(statistics.iterationCount, wholeSeconds));
        }
    }
    if (!statistics.running)
        refreshing_ = false;
    return refreshing_;
}

bool StatisticsDialog::refresh(const engine::Fractal& fractal) {
    if (!refreshing_)
        return false;
    const std::optional<engine::DeepReport> deep = fractal.deepReport();
    values_.deep = deep ? deepLines(*deep) : std::vector<std::string>{};
    return refresh(fractal.statistics(), platform::tickCount());
}

std::vector<std::string> StatisticsDialog::deepLines(const engine::DeepReport& report) {
    const auto milliseconds = [](double ms) { return platform::cformat("%.0f ms", ms); };
    const auto mebibytes = [](std::uint64_t bytes) {
        return platform::cformat("%.1f MiB", static_cast<double>(bytes) / (1024.0 * 1024.0));
    };
    const auto count = [](long pixels) {
        return formatCount(static_cast<std::uint64_t>(std::max(pixels, 0L)));
    };
    std::vector<std::string> lines{
        "Reference orbit: " +
            (report.referenceReused ? std::string("reused") : milliseconds(report.referenceMs)) +
            ", " + mebibytes(report.referenceBytes),
        "Approximation table: " +
            (report.referenceReused ? std::string("reused") : milliseconds(report.tableMs)) + ", " +
            mebibytes(report.tableBytes),
        "Pixels: " + milliseconds(report.pixelsMs),
        "Found inside by their cycle: " + count(report.interiorPixels),
        "Counted at full precision: " + count(report.directPixels),
    };
    // A run without the option counts nothing again: a zero there would suggest it did.
    if (report.exactCounts)
        lines.push_back("Counted exactly: " + count(report.exactPixels));
    return lines;
}

int StatisticsDialog::close() {
    refreshing_ = false;
    return kDialogOk;
}

std::string StatisticsDialog::formatDuration(std::uint32_t elapsedMs) {
    const std::uint32_t hours = elapsedMs / kMsPerHour;
    const std::uint32_t minutes = (elapsedMs - hours * kMsPerHour) / kMsPerMinute;
    const std::uint32_t seconds =
        (elapsedMs - minutes * kMsPerMinute - hours * kMsPerHour) / kMsPerSecond;
    return platform::cformat("%02u:%02u:%02u", hours, minutes, seconds);
}

platform::Rect StatisticsDialog::centreOverParent(const platform::Rect& dialog,
                                                  const platform::Rect& parent,
                                                  const platform::Rect& desktop) {
    // Wide arithmetic: the sums of two coordinates must not overflow.
    using Wide = long long;
    const Wide width = Wide{dialog.right} - dialog.left;
    const Wide height = Wide{dialog.bottom} - dialog.top;
    Wide left = (Wide{parent.left} + parent.right) / 2 - (Wide{dialog.left} + dialog.right) / 2 +
                dialog.left;
    Wide top = (Wide{parent.top} + parent.bottom) / 2 - (Wide{dialog.top} + dialog.bottom) / 2 +
               dialog.top;
    if (left < 0)
        left = 0;
    if (top < 0)
        top = 0;
    if (left + width > desktop.right)
        left = desktop.right - width;
    if (top + height > desktop.bottom)
        top = desktop.bottom - height;
    return platform::Rect{static_cast<int>(left), static_cast<int>(top),
                          static_cast<int>(left + width), static_cast<int>(top + height)};
}

}  // namespace app
