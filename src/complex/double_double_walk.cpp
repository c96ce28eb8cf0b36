#include "complex/double_double_walk.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "numeric/power_of_two.h"

namespace complex::perturbation_detail {

namespace {

using numeric::DoubleDouble;

constexpr int kStepsPerStopCheck = 4096;
// Differences at least 2^-500 are plain pairs of doubles; below, a pair times a power of
// two of their own (scaled), whose low parts would otherwise leave double's range.
constexpr int kLeastPlainExponent = -500;
// Beyond this many binary places below a term, a value adds nothing to it in this
// precision.
constexpr int kNegligibleGap = 110;
constexpr std::int64_t kFarExponent = 1L << 40;

bool whole(const PreciseOrbit& o) {
    return o.orbit != nullptr && o.remainders != nullptr && !o.orbit->points.empty() &&
           o.remainders->size() == o.orbit->points.size();
}

[[gnu::always_inline]] inline ComplexDD iterateAt(const PreciseOrbit& o, std::size_t k) {
    const OrbitPoint& p = o.orbit->points[k];
    const OrbitRemainder& r = (*o.remainders)[k];
    return {numeric::quickTwoSum(p.zr, r.zr), numeric::quickTwoSum(p.zi, r.zi)};
}

DoubleDouble scaledBy(const DoubleDouble& v, std::int64_t e) {
    const std::int64_t k = std::clamp<std::int64_t>(e, -2200, 2200);
    return {numeric::timesPowerOfTwo(v.hi, k), numeric::timesPowerOfTwo(v.lo, k)};
}

ComplexDD scaledBy(const ComplexDD& v, std::int64_t e) {
    return {scaledBy(v.re, e), scaledBy(v.im, e)};
}

// The binary exponent of the larger high part (frexp's), or kFarExponent below all for 0.
std::int64_t exponentOf(const ComplexDD& v) {
    const double larger = std::max(std::fabs(v.re.hi), std::fabs(v.im.hi));
    if (larger == 0.0 || !std::isfinite(larger))
        return -kFarExponent;
    int e = 0;
    std::frexp(larger, &e);
    return e;
}

[[gnu::always_inline]] inline double highSquare(const ComplexDD& z) {
    return (z.re.hi * z.re.hi) + (z.im.hi * z.im.hi);
}

// Whether |z|^2 is at least the bailout: in double where the square is clearly on one side,
// in twice double's precision where it is near.
[[gnu::always_inline]] inline bool outside(const ComplexDD& z, double bailout) {
    const double square = highSquare(z);
    if (std::fabs(square - bailout) > bailout * 0x1p-40)
        return square > bailout;
    return numeric::atLeast((z.re * z.re) + (z.im * z.im), DoubleDouble(bailout));
}

[[gnu::always_inline]] inline ComplexDD plus(const ComplexDD& a, const ComplexDD& b) {
    return {a.re + b.re, a.im + b.im};
}

// (a + d) d, complex.
[[gnu::always_inline]] inline ComplexDD timesItself(const ComplexDD& a, const ComplexDD& d) {
    const DoubleDouble ar = a.re + d.re;
    const DoubleDouble ai = a.im + d.im;
    return {(ar * d.re) - (ai * d.im), (ar * d.im) + (ai * d.re)};
}

// The pixel's difference d = w 2^s from the orbit it follows: plain (s = 0) while it is at
// least 2^-500, scaled below, where w stays near 1. Each step is d' = (2 Z + d) d + dc;
// scaled, the full iterate Z + d is Z alone wherever d lies more than the precision below it.
class PreciseWalk {
  public:
    PreciseWalk(const PreciseWalkSetup& setup, const WideComplexDD& start, const WideComplexDD& dc)
        : setup_(setup), on_(&setup.primary), last_(setup.primary.orbit->last()), dc_(dc) {
        dcPlain_ = scaledBy(dc.m, dc.e);
        const std::int64_t startExponent = exponentOf(start.m) + start.e;
        const std::int64_t reach = std::max(startExponent, exponentOf(dc.m) + dc.e);
        if (reach >= kLeastPlainExponent) {
            w_ = scaledBy(start.m, start.e);
        } else {
            s_ = reach <= -kFarExponent ? -kFarExponent / 2 : reach;
            w_ = scaledBy(start.m, start.e - s_);
        }
    }

    template <class Done>
    std::optional<EscapeValue> walk(const StopCheck& stop, Done done) {
        const int limit = std::max(setup_.formula.maxIterations, 1);
        const double bailout = bailoutOf(setup_.formula.type);
        for (int n = 0; n < limit; ++n) {
            if (n % kStepsPerStopCheck == kStepsPerStopCheck - 1 && stop && stop())
                return std::nullopt;
            ComplexDD reference = iterateAt(*on_, index_);
            if (s_ == 0) {
                const ComplexDD z = plus(reference, w_);
                if (outside(z, bailout))
                    return done(z, n + 1);
                if (highSquare(z) < highSquare(w_) || index_ == last_)
                    reference = rebase(z);
            } else if (dominates(reference)) {
                // d adds nothing to Z here: Z decides the tests.
                if (outside(reference, bailout))
                    return done(reference, n + 1);
                if (index_ == last_)
                    reference = rebase(reference);
            } else {
                // |Z + d| is far below 1 here: never outside.
                const ComplexDD zScaled = plus(scaledBy(reference, -s_), w_);
                if (highSquare(zScaled) < highSquare(w_) || index_ == last_) {
                    reference = toCriticalOrbit();
                    w_ = plus(zScaled, scaledBy({-reference.re, -reference.im}, -s_));
                }
            }
            if (s_ == 0)
                plainStep(reference);
            else
                scaledStep(reference);
            ++index_;
        }
        return EscapeValue{limit, static_cast<double>(limit)};
    }

  private:
    static ComplexDD timesTwo(const ComplexDD& z) {
        return {numeric::timesTwo(z.re), numeric::timesTwo(z.im)};
    }

    // Whether the scaled difference lies more than the precision below Z.
    bool dominates(const ComplexDD& reference) const {
        return exponentOf(reference) > s_ + exponentOf(w_) + kNegligibleGap;
    }

    // The orbit from 0, at its start; its iterate there.
    ComplexDD toCriticalOrbit() {
        on_ = &setup_.critical;
        last_ = on_->orbit->last();
        index_ = 0;
        return iterateAt(*on_, 0);
    }

    // Onto the orbit from 0 with the full iterate z as the difference.
    ComplexDD rebase(const ComplexDD& z) {
        const ComplexDD reference = toCriticalOrbit();
        const ComplexDD d{z.re - reference.re, z.im - reference.im};
        if (exponentOf(d) >= kLeastPlainExponent) {
            s_ = 0;
            w_ = d;
        } else {
            toScaled(d);
        }
        return reference;
    }

    void toScaled(const ComplexDD& d) {
        const std::int64_t e = exponentOf(d);
        s_ = e <= -kFarExponent ? std::min<std::int64_t>(dc_.e + exponentOf(dc_.m), -600) : e;
        w_ = scaledBy(d, -s_);
    }

    // d' = (2 Z + d) d + dc; below 2^-500 the difference goes on scaled.
    void plainStep(const ComplexDD& reference) {
        w_ = plus(timesItself(timesTwo(reference), w_), dcPlain_);
        if (exponentOf(w_) < kLeastPlainExponent)
            toScaled(w_);
    }

    // d' = 2 Z d + d^2 + dc, each term at its own power of two (Z w 2^s, w^2 2^2s, the
    // constant's), summed at the largest: beside a reference that passes near 0 all three
    // can be far below double's range and still matter to each other.
    void scaledStep(const ComplexDD& reference) {
        const ComplexDD z2 = timesTwo(reference);
        const ComplexDD linear{(z2.re * w_.re) - (z2.im * w_.im),
                               (z2.re * w_.im) + (z2.im * w_.re)};
        const ComplexDD square{(w_.re * w_.re) - (w_.im * w_.im), numeric::timesTwo(w_.re * w_.im)};
        const std::int64_t top = std::max(
            {exponentOf(linear) + s_, exponentOf(square) + 2 * s_, exponentOf(dc_.m) + dc_.e});
        if (top <= -kFarExponent / 2) {
            w_ = ComplexDD{};
            return;
        }
        w_ = plus(plus(scaledBy(linear, s_ - top), scaledBy(square, 2 * s_ - top)),
                  scaledBy(dc_.m, dc_.e - top));
        s_ = top;
        if (s_ >= kLeastPlainExponent) {
            w_ = scaledBy(w_, s_);
            s_ = 0;
        }
    }

    const PreciseWalkSetup& setup_;
    const PreciseOrbit* on_;
    std::size_t index_ = 0;
    std::size_t last_;
    WideComplexDD dc_;
    ComplexDD dcPlain_;
    ComplexDD w_;
    std::int64_t s_ = 0;
};

[[gnu::always_inline]] inline std::optional<EscapeValue> walk(const PreciseWalkSetup& setup,
                                                              const WideComplexDD& start,
                                                              const WideComplexDD& dc, double cr,
                                                              double ci, const StopCheck& stop) {
    PreciseWalk pixel(setup, start, dc);
    return pixel.walk(stop, [&](const ComplexDD& z, int count) {
        const DoubleState state{z.re.toDouble(), z.im.toDouble(), 0.0, 0.0, cr, ci};
        EscapeValue value = escapeFrom(setup.formula, state, count);
        if (!setup.smooth)
            value.continuous = value.count;
        return std::optional<EscapeValue>(value);
    });
}

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
// The same walk where the processor has fused multiply-adds, which the products' rounding
// errors then take one instruction each (elsewhere the C library computes them).
[[gnu::target("fma")]] std::optional<EscapeValue> walkWithFma(const PreciseWalkSetup& setup,
                                                              const WideComplexDD& start,
                                                              const WideComplexDD& dc, double cr,
                                                              double ci, const StopCheck& stop) {
    return walk(setup, start, dc, cr, ci, stop);
}

bool hasFma() {
    static const bool has = __builtin_cpu_supports("fma");
    return has;
}
#endif

}  // namespace

std::optional<EscapeValue> countPrecisely(const PreciseWalkSetup& setup, const WideComplexDD& start,
                                          const WideComplexDD& dc, double cr, double ci,
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
