#include "complex/double_double_walk.h"

#include <cmath>

namespace complex::perturbation_detail {

namespace {

using numeric::DoubleDouble;

constexpr int kStepsPerStopCheck = 4096;

bool whole(const PreciseOrbit& o) {
    return o.orbit != nullptr && o.remainders != nullptr && !o.orbit->points.empty() &&
           o.remainders->size() == o.orbit->points.size();
}

[[gnu::always_inline]] inline ComplexDD iterateAt(const PreciseOrbit& o, std::size_t k) {
    const OrbitPoint& p = o.orbit->points[k];
    const OrbitRemainder& r = (*o.remainders)[k];
    return {numeric::quickTwoSum(p.zr, r.zr), numeric::quickTwoSum(p.zi, r.zi)};
}

// Whether |z|^2 is at least the bailout: in double where the square is clearly on one side,
// in twice double's precision where it is near.
[[gnu::always_inline]] inline bool outside(const ComplexDD& z, double bailout) {
    const double square = (z.re.hi * z.re.hi) + (z.im.hi * z.im.hi);
    if (std::fabs(square - bailout) > bailout * 0x1p-40)
        return square > bailout;
    return numeric::atLeast((z.re * z.re) + (z.im * z.im), DoubleDouble(bailout));
}

// d' = (2 Z + d) d + dc.
[[gnu::always_inline]] inline ComplexDD stepped(const ComplexDD& z, const ComplexDD& d,
                                                const ComplexDD& dc) {
    const DoubleDouble ar = numeric::timesTwo(z.re) + d.re;
    const DoubleDouble ai = numeric::timesTwo(z.im) + d.im;
    return {((ar * d.re) - (ai * d.im)) + dc.re, ((ar * d.im) + (ai * d.re)) + dc.im};
}

[[gnu::always_inline]] inline std::optional<EscapeValue> walk(const PreciseWalkSetup& setup,
                                                              const ComplexDD& start,
                                                              const ComplexDD& dc, double cr,
                                                              double ci, const StopCheck& stop) {
    const int limit = std::max(setup.formula.maxIterations, 1);
    const double bailout = bailoutOf(setup.formula.type);
    const PreciseOrbit* on = &setup.primary;
    std::size_t index = 0;
    std::size_t last = on->orbit->last();
    ComplexDD d = start;
    for (int n = 0; n < limit; ++n) {
        if (n % kStepsPerStopCheck == kStepsPerStopCheck - 1 && stop && stop())
            return std::nullopt;
        ComplexDD reference = iterateAt(*on, index);
        const ComplexDD z{reference.re + d.re, reference.im + d.im};
        if (outside(z, bailout)) {
            const DoubleState state{z.re.toDouble(), z.im.toDouble(), 0.0, 0.0, cr, ci};
            EscapeValue value = escapeFrom(setup.formula, state, n + 1);
            if (!setup.smooth)
                value.continuous = value.count;
            return value;
        }
        const double nearZero = (z.re.hi * z.re.hi) + (z.im.hi * z.im.hi);
        const double fromReference = (d.re.hi * d.re.hi) + (d.im.hi * d.im.hi);
        if (nearZero < fromReference || index == last) {
            on = &setup.critical;
            last = on->orbit->last();
            index = 0;
            reference = iterateAt(*on, 0);
            d = {z.re - reference.re, z.im - reference.im};
        }
        d = stepped(reference, d, dc);
        ++index;
    }
    return EscapeValue{limit, static_cast<double>(limit)};
}

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
// The same walk where the processor has fused multiply-adds, which the products' rounding
// errors then take one instruction each (elsewhere the C library computes them).
[[gnu::target("fma")]] std::optional<EscapeValue> walkWithFma(const PreciseWalkSetup& setup,
                                                              const ComplexDD& start,
                                                              const ComplexDD& dc, double cr,
                                                              double ci, const StopCheck& stop) {
    return walk(setup, start, dc, cr, ci, stop);
}

bool hasFma() {
    static const bool has = __builtin_cpu_supports("fma");
    return has;
}
#endif

}  // namespace

std::optional<EscapeValue> countPrecisely(const PreciseWalkSetup& setup, const ComplexDD& start,
                                          const ComplexDD& dc, double cr, double ci,
                                          const StopCheck& stop) {
    if (!whole(setup.primary) || !whole(setup.critical))
        return std::nullopt;
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
    if (hasFma())
        return walkWithFma(setup, start, dc, cr, ci, stop);
#endif
    return walk(setup, start, dc, cr, ci, stop);
}

}  // namespace complex::perturbation_detail
