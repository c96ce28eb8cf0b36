#include "complex/approximation_table.h"

#include <algorithm>
#include <cmath>

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
    clear();
    const std::size_t last = orbit.last();
    if (last < 2)
        return Outcome::kReady;
    const numeric::ExtFloat dc = type == kernels::Formula::kJulia ? numeric::ExtFloat() : dcMost;
    const double nearBailout = bailoutOf(type) * (1.0 - 0x1p-30);
    starts_ = last - 1;
    // Level k holds floor(starts / 2^k) runs, down to a level of one.
    levels_ = static_cast<std::size_t>(std::bit_width(starts_));
    runs_.assign(slotOf(starts_), LinearStep{});
    for (std::size_t s = 0; s < starts_; ++s) {
        if ((s & 0xFFF) == 0 && stop && stop()) {
            clear();
            return Outcome::kStopped;
        }
        runs_[slotOf(s)] = singleStep(orbit.points[s + 1], nearBailout);
    }
    for (std::size_t k = 1; k < levels_; ++k) {
        if (!mergeLevel(k, dc, stop)) {
            clear();
            return Outcome::kStopped;
        }
    }
    // A longer run's radius is at most that of the run of two steps it begins with.
    for (std::size_t s = 0; s + 1 < starts_ && levels_ >= 2 && firstRunAt_ == kNoRun; s += 2) {
        if (runs_[slotOf(s) + 1].radius > 0.0)
            firstRunAt_ = s + 1;
    }
    return Outcome::kReady;
}

void ApproximationTable::clear() {
    runs_.clear();
    starts_ = 0;
    levels_ = 0;
    firstRunAt_ = kNoRun;
}

bool ApproximationTable::mergeLevel(std::size_t k, const numeric::ExtFloat& dcMost,
                                    const StopCheck& stop) {
    const std::size_t half = std::size_t{1} << (k - 1);
    const std::size_t count = starts_ >> k;
    for (std::size_t j = 0; j < count; ++j) {
        if ((j & 0xFFF) == 0 && stop && stop())
            return false;
        const std::size_t s = j << k;
        runs_[slotOf(s) + k] =
            merged(runs_[slotOf(s) + k - 1], runs_[slotOf(s + half) + k - 1], dcMost);
    }
    return true;
}

}  // namespace complex
