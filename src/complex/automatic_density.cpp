#include "complex/automatic_density.h"

#include <algorithm>
#include <cmath>

#include "complex/escape_colouring.h"

namespace complex {

namespace {

// Points of the grid along each side: some three thousand pixels in all, a small part
// of any picture's cost.
constexpr int kGridSide = 32;
// Four in five escaped neighbouring pairs are to lie within eight palette steps: a
// smooth palette changes little over eight entries, and the picture still runs through
// many entries (a tighter rule turns a deep view into one or two colours).
constexpr double kCoveredShare = 0.8;
constexpr double kCoveredSteps = 8.0;

}  // namespace

std::vector<SampleSpot> densitySampleSpots(int width, int height) {
    std::vector<SampleSpot> spots;
    if (width < 2 || height < 2)
        return spots;
    const int columns = std::min(kGridSide, width - 1);
    const int rows = std::min(kGridSide, height - 1);
    spots.reserve(static_cast<std::size_t>(columns) * static_cast<std::size_t>(rows) * 3);
    for (int j = 0; j < rows; ++j) {
        // Points spread over [0, height - 2], so that the lower neighbour exists.
        const int row =
            static_cast<int>(static_cast<long long>(height - 2) * (2 * j + 1) / (2 * rows));
        for (int i = 0; i < columns; ++i) {
            const int column =
                static_cast<int>(static_cast<long long>(width - 2) * (2 * i + 1) / (2 * columns));
            spots.push_back({column, row});
            spots.push_back({column + 1, row});
            spots.push_back({column, row + 1});
        }
    }
    return spots;
}

double densityOfSample(const std::vector<EscapeValue>& values, int maxIterations, bool smooth,
                       Transfer transfer) {
    const auto escaped = [maxIterations](const EscapeValue& v) {
        return v.count >= 0 && v.count < maxIterations;
    };
    const auto level = [smooth, transfer](const EscapeValue& v) {
        const double continuous = std::isfinite(v.continuous) && v.continuous >= 0.0
                                      ? v.continuous
                                      : static_cast<double>(v.count);
        return transferred(smooth ? continuous : static_cast<double>(v.count), transfer);
    };
    std::vector<double> spreads;
    for (std::size_t i = 0; i + 2 < values.size(); i += 3) {
        const EscapeValue& point = values[i];
        if (!escaped(point))
            continue;
        for (const EscapeValue* neighbour : {&values[i + 1], &values[i + 2]}) {
            if (escaped(*neighbour))
                spreads.push_back(std::fabs(level(point) - level(*neighbour)));
        }
    }
    if (spreads.empty())
        return 1.0;
    const auto covered =
        static_cast<std::size_t>(std::ceil(kCoveredShare * static_cast<double>(spreads.size()))) -
        1;
    const auto nth = spreads.begin() + static_cast<std::ptrdiff_t>(covered);
    std::nth_element(spreads.begin(), nth, spreads.end());
    const double spread = *nth;
    if (!std::isfinite(spread) || spread <= 0.0)
        return 1.0;
    // Counts that differ little keep one palette entry a count at the finest; the
    // transferred values are spread as finely as they need.
    const double finest = transfer == Transfer::kLinear ? 1.0 : kFinestDensity;
    return std::clamp(spread / kCoveredSteps, finest, kCoarsestDensity);
}

}  // namespace complex
