#include "complex/state_approximation_table.h"

#include <algorithm>
#include <cmath>

#include "complex/approximation_table.h"
#include "complex/run_levels.h"

namespace complex {

namespace {

constexpr std::int64_t kLargestShift = 2200;
constexpr int kTolerance = ApproximationTable::kToleranceExponent;

// v 2^e as a double, 0 or infinite beyond double's range.
double scaled(double v, std::int64_t e) {
    return std::ldexp(v, static_cast<int>(std::clamp(e, -kLargestShift, kLargestShift)));
}

double dcBound(const numeric::ExtFloat& dcMost) {
    return dcMost.isZero() ? 0.0 : scaled(std::fabs(dcMost.mantissa()), dcMost.exponent());
}

// What the single steps of a type need besides the orbit.
struct StepSetting {
    kernels::Formula type;
    double p2;
    double nearBailout;
};

bool passable(const OrbitPoint& z, const StepSetting& setting) {
    return (z.zr * z.zr) + (z.zi * z.zi) < setting.nearBailout;
}

// The merged radius of x then y: what x holds and what keeps the state after x within y's.
double mergedRadius(double rx, double ry, double gain, double fromConstant) {
    const double room = (ry - fromConstant) / gain;
    return std::min(rx, std::max(0.0, room));
}

// ---- Unity ----

PlaneRun singleStep(const OrbitPoint& z, const OrbitPoint& next, const StepSetting& setting,
                    PlaneRun) {
    const double X = z.zr, Y = z.zi, T = ReferenceOrbit::unityT(z), Y1 = next.zi;
    PlaneRun s;
    s.yx = T - (2.0 * X * X);
    s.yy = -2.0 * X * Y;
    s.xx = (T * s.yx) - (2.0 * X * Y1);
    s.xy = (T * s.yy) - (2.0 * Y * Y1);
    const double m = std::max(std::fabs(X), std::fabs(Y));
    const double least = std::min({std::fabs(X), std::fabs(Y), std::fabs(T) / (3.0 * m)});
    s.radius = passable(z, setting) && m > 0.0 ? std::ldexp(least, kTolerance) : 0.0;
    return s;
}

// x, then y.
PlaneRun merged(const PlaneRun& x, const PlaneRun& y, double) {
    PlaneRun s;
    s.xx = (y.xx * x.xx) + (y.xy * x.yx);
    s.xy = (y.xx * x.xy) + (y.xy * x.yy);
    s.yx = (y.yx * x.xx) + (y.yy * x.yx);
    s.yy = (y.yx * x.xy) + (y.yy * x.yy);
    const double gain =
        std::max(std::fabs(x.xx) + std::fabs(x.yx), std::fabs(x.xy) + std::fabs(x.yy));
    s.radius = mergedRadius(x.radius, y.radius, gain, 0.0);
    const bool finite = std::isfinite(s.xx) && std::isfinite(s.xy) && std::isfinite(s.yx) &&
                        std::isfinite(s.yy) && std::isfinite(s.radius);
    return finite ? s : PlaneRun{};
}

// ---- Spider, Manowar, Phoenix ----

PairRun singleStep(const OrbitPoint& z, const OrbitPoint&, const StepSetting& setting, PairRun) {
    PairRun s;
    s.zzr = 2.0 * z.zr;
    s.zzi = 2.0 * z.zi;
    switch (setting.type) {
        case kernels::Formula::kSpider:
            s.zwr = 1.0;
            s.wzr = s.zzr;
            s.wzi = s.zzi;
            s.wwr = 1.5;
            break;
        case kernels::Formula::kManowar:
            s.zwr = 1.0;
            s.wzr = 1.0;
            s.bzr = 1.0;
            break;
        default:  // Phoenix
            s.zwr = setting.p2;
            s.wzr = 1.0;
            break;
    }
    s.radius = passable(z, setting) ? std::ldexp(std::hypot(z.zr, z.zi), kTolerance) : 0.0;
    return s;
}

// a b + c d, complex.
void productSum(double ar, double ai, double br, double bi, double cr, double ci, double dr,
                double di, double& outR, double& outI) {
    outR = ((ar * br) - (ai * bi)) + ((cr * dr) - (ci * di));
    outI = ((ar * bi) + (ai * br)) + ((cr * di) + (ci * dr));
}

PairRun merged(const PairRun& x, const PairRun& y, double dcMost) {
    PairRun s;
    productSum(y.zzr, y.zzi, x.zzr, x.zzi, y.zwr, y.zwi, x.wzr, x.wzi, s.zzr, s.zzi);
    productSum(y.zzr, y.zzi, x.zwr, x.zwi, y.zwr, y.zwi, x.wwr, x.wwi, s.zwr, s.zwi);
    productSum(y.wzr, y.wzi, x.zzr, x.zzi, y.wwr, y.wwi, x.wzr, x.wzi, s.wzr, s.wzi);
    productSum(y.wzr, y.wzi, x.zwr, x.zwi, y.wwr, y.wwi, x.wwr, x.wwi, s.wwr, s.wwi);
    productSum(y.zzr, y.zzi, x.bzr, x.bzi, y.zwr, y.zwi, x.bwr, x.bwi, s.bzr, s.bzi);
    productSum(y.wzr, y.wzi, x.bzr, x.bzi, y.wwr, y.wwi, x.bwr, x.bwi, s.bwr, s.bwi);
    s.bzr += y.bzr;
    s.bzi += y.bzi;
    s.bwr += y.bwr;
    s.bwi += y.bwi;
    const double gain = std::max(std::hypot(x.zzr, x.zzi) + std::hypot(x.wzr, x.wzi),
                                 std::hypot(x.zwr, x.zwi) + std::hypot(x.wwr, x.wwi));
    const double fromConstant =
        dcMost == 0.0 ? 0.0 : (std::hypot(x.bzr, x.bzi) + std::hypot(x.bwr, x.bwi)) * dcMost;
    s.radius = mergedRadius(x.radius, y.radius, gain, fromConstant);
    const double all[] = {s.zzr, s.zzi, s.zwr, s.zwi, s.wzr, s.wzi,   s.wwr,
                          s.wwi, s.bzr, s.bzi, s.bwr, s.bwi, s.radius};
    const bool finite =
        std::all_of(std::begin(all), std::end(all), [](double v) { return std::isfinite(v); });
    return finite ? s : PairRun{};
}

}  // namespace

bool hasPairTable(kernels::Formula type) noexcept {
    return type == kernels::Formula::kSpider || type == kernels::Formula::kManowar ||
           type == kernels::Formula::kPhoenix;
}

template <class Run>
typename StateApproximationTable<Run>::Outcome StateApproximationTable<Run>::build(
    const ReferenceOrbit& orbit, const EscapeFormula& formula, const numeric::ExtFloat& dcMost,
    const StopCheck& stop) {
    levels_.clear();
    const std::size_t last = orbit.last();
    if (last < 3)
        return Outcome::kReady;
    const StepSetting setting{formula.type, formula.paramImag,
                              bailoutOf(formula.type) * (1.0 - 0x1p-30)};
    const double dc = formula.type == kernels::Formula::kManowar ? dcBound(dcMost) : 0.0;
    const OrbitPoint* z = orbit.points.data();
    // The runs of two steps, from the single steps of states m and m + 1.
    std::vector<Run> level;
    level.reserve((last - 1) / 2);
    for (std::size_t m = 1; m + 2 <= last; m += 2) {
        if ((m & 0x1FFF) == 1 && stop && stop()) {
            levels_.clear();
            return Outcome::kStopped;
        }
        level.push_back(merged(singleStep(z[m], z[m + 1], setting, Run{}),
                               singleStep(z[m + 1], z[m + 2], setting, Run{}), dc));
    }
    levels_.push_back(std::move(level));
    const auto merge = [&dc](const Run& x, const Run& y) { return merged(x, y, dc); };
    return mergeLevels(levels_, merge, stop) ? Outcome::kReady : Outcome::kStopped;
}

template <class Run>
const Run* StateApproximationTable<Run>::longest(std::size_t index, double magnitude,
                                                 std::int64_t exponent, std::int64_t most,
                                                 std::int64_t& length) const {
    if (index == 0 || levels_.empty())
        return nullptr;
    const std::size_t start = index - 1;
    const Run* found = nullptr;
    for (std::size_t k = 0; k < levels_.size(); ++k) {
        const std::int64_t steps = std::int64_t{2} << k;
        if (steps > most || (start & (static_cast<std::size_t>(steps) - 1)) != 0)
            break;
        const std::size_t j = start >> (k + 1);
        if (j >= levels_[k].size())
            break;
        const Run& run = levels_[k][j];
        const bool holds =
            exponent == 0 ? magnitude < run.radius : magnitude < scaled(run.radius, -exponent);
        if (!holds)
            break;
        found = &run;
        length = steps;
    }
    return found;
}

template <class Run>
std::size_t StateApproximationTable<Run>::bytes() const noexcept {
    std::size_t total = 0;
    for (const std::vector<Run>& level : levels_)
        total += level.capacity() * sizeof(Run);
    return total;
}

template class StateApproximationTable<PlaneRun>;
template class StateApproximationTable<PairRun>;

}  // namespace complex
