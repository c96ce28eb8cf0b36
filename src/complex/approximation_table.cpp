#include "complex/approximation_table.h"

#include <algorithm>
#include <cmath>

#include "complex/run_levels.h"
#include "numeric/power_of_two.h"

namespace complex {

namespace {

constexpr std::int64_t kLargestShift = 2200;

// v 2^e as a double, 0 or infinite beyond double's range.
double scaled(double v, std::int64_t e) {
    return numeric::timesPowerOfTwo(v, std::clamp(e, -kLargestShift, kLargestShift));
}

double magnitude(double re, double im) {
    return std::hypot(re, im);
}

// magnitude 2^exponent as a double, for comparing with radii. Below double's normal
// range it is taken as 2^-1000, which is above it: no run with a radius that small is
// taken, where rounding would make the comparison unsure.
double absoluteMagnitude(double magnitude, std::int64_t exponent) {
    if (exponent == 0 || magnitude == 0.0)
        return magnitude;
    const double value = scaled(magnitude, exponent);
    return value < 0x1p-1000 ? 0x1p-1000 : value;
}

LinearStep singleStep(const OrbitPoint& z, double nearBailout) {
    LinearStep s;
    s.ar = 2.0 * z.zr;
    s.ai = 2.0 * z.zi;
    s.br = 1.0;
    s.bi = 0.0;
    const bool passable = (z.zr * z.zr) + (z.zi * z.zi) < nearBailout;
    s.radius =
        passable ? std::ldexp(magnitude(z.zr, z.zi), ApproximationTable::kToleranceExponent) : 0.0;
    return s;
}

// x, then y.
LinearStep merged(const LinearStep& x, const LinearStep& y, const numeric::ExtFloat& dcMost) {
    LinearStep s;
    s.ar = (y.ar * x.ar) - (y.ai * x.ai);
    s.ai = (y.ar * x.ai) + (y.ai * x.ar);
    s.br = ((y.ar * x.br) - (y.ai * x.bi)) + y.br;
    s.bi = ((y.ar * x.bi) + (y.ai * x.br)) + y.bi;
    const double fromConstant =
        dcMost.isZero()
            ? 0.0
            : scaled(magnitude(x.br, x.bi) * std::fabs(dcMost.mantissa()), dcMost.exponent());
    const double room = (y.radius - fromConstant) / magnitude(x.ar, x.ai);
    s.radius = std::min(x.radius, std::max(0.0, room));
    const bool finite = std::isfinite(s.ar) && std::isfinite(s.ai) && std::isfinite(s.br) &&
                        std::isfinite(s.bi) && std::isfinite(s.radius);
    if (!finite) {
        s = LinearStep{};
    }
    return s;
}

}  // namespace

ApproximationTable::Outcome ApproximationTable::build(const ReferenceOrbit& orbit,
                                                      kernels::Formula type,
                                                      const numeric::ExtFloat& dcMost,
                                                      const StopCheck& stop) {
    levels_.clear();
    const std::size_t last = orbit.last();
    if (last < 2)
        return Outcome::kReady;
    const numeric::ExtFloat dc = type == kernels::Formula::kJulia ? numeric::ExtFloat() : dcMost;
    const double nearBailout = bailoutOf(type) * (1.0 - 0x1p-30);
    std::vector<LinearStep> level;
    level.reserve(last - 1);
    for (std::size_t m = 1; m < last; ++m) {
        if ((m & 0xFFF) == 0 && stop && stop()) {
            levels_.clear();
            return Outcome::kStopped;
        }
        level.push_back(singleStep(orbit.points[m], nearBailout));
    }
    levels_.push_back(std::move(level));
    const auto merge = [&dc](const LinearStep& x, const LinearStep& y) { return merged(x, y, dc); };
    return mergeLevels(levels_, merge, stop) ? Outcome::kReady : Outcome::kStopped;
}

const LinearStep* ApproximationTable::longest(std::size_t index, double magnitude,
                                              std::int64_t exponent, std::int64_t most,
                                              std::int64_t& length) const {
    if (index == 0 || levels_.empty())
        return nullptr;
    const std::size_t start = index - 1;
    const double held = absoluteMagnitude(magnitude, exponent);
    const LinearStep* found = nullptr;
    for (std::size_t k = 0; k < levels_.size(); ++k) {
        const std::int64_t steps = std::int64_t{1} << k;
        if (steps > most || (start & (static_cast<std::size_t>(steps) - 1)) != 0)
            break;
        const std::size_t j = start >> k;
        if (j >= levels_[k].size())
            break;
        const LinearStep& run = levels_[k][j];
        if (!(held < run.radius))
            break;
        found = &run;
        length = steps;
    }
    return found;
}

std::size_t ApproximationTable::bytes() const noexcept {
    std::size_t total = 0;
    for (const std::vector<LinearStep>& level : levels_)
        total += level.capacity() * sizeof(LinearStep);
    return total;
}

}  // namespace complex
