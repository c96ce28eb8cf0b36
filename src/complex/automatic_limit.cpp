#include "complex/automatic_limit.h"

#include <algorithm>
#include <cmath>

namespace complex {

int AutomaticLimit::limitFor(double log2Magnification, int floor, int most) const noexcept {
    const int low = std::max(floor, 1);
    const int high = std::max(most, low);
    const double depth = std::isfinite(log2Magnification) ? std::max(log2Magnification, 0.0)
                         : log2Magnification > 0          ? 1e12
                                                          : 0.0;
    const double wanted =
        std::max(static_cast<double>(low), depth * kIterationsPerDoubling) * factor_;
    // Compared in double before the conversion: wanted may lie far beyond int.
    if (!(wanted < static_cast<double>(high)))
        return high;
    return std::max(low, static_cast<int>(wanted));
}

void AutomaticLimit::observe(const Border& border) noexcept {
    if (border.limit <= 0)
        return;
    const double limit = border.limit;
    const bool noEscape = border.highestEscape < 0;
    if (noEscape || border.highestEscape >= kRaiseShare * limit)
        factor_ = std::min(factor_ * 2.0, kMostFactor);
    else if (border.highestEscape < kLowerShare * limit)
        factor_ = std::max(factor_ / 2.0, 1.0);
}

}  // namespace complex
