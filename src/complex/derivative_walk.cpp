#include "complex/derivative_walk.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "complex/escape_kernels.h"
#include "complex/perturbation_walk.h"
#include "numeric/power_of_two.h"

namespace complex::perturbation_detail {

namespace {

// The larger part of a normalised WideComplex stays within these; a step multiplies it by
// at most |2 z|, so checking once a step keeps every product far from double's limits.
constexpr double kLargestPart = 0x1p64;
constexpr double kSmallestPart = 0x1p-64;
// Beyond this many binary places apart, the smaller of two addends changes nothing.
constexpr std::int64_t kNegligibleGap = 1100;
// The binary places of its iterate below which a pixel's own part may lie where it is
// rebased at the end of a reference (see rebaseIfNeeded).
constexpr std::int64_t kKeptBits = 40;
// The steps a pixel may take once its own part is lost: at most fourfold growth a step
// keeps the rounding below 2^-20 of the iterate.
constexpr std::int64_t kStepsAfterLoss = 16;

// The full iterate Z + d of a pixel: in double where it fits, and at full range as well
// where the reference passes near 0 with a difference below double's range.
struct FullIterate {
    double zr = 0.0;
    double zi = 0.0;
    bool wide = false;
    numeric::ExtFloat wr, wi;
};

// The pixel's iterate with its derivative times the spacing.
struct DerivativeState {
    double zr = 0.0;
    double zi = 0.0;
    WideComplex derivative;
};

class DerivativeWalk {
  public:
    DerivativeWalk(const DerivativeSetup& setup, const ExtDiff& start, const Pixel& px)
        : setup_(setup), px_(px), orbit_(setup.primary), table_(setup.primaryTable) {
        spacing_ = setup.spacing;
        if (!setup.byC)
            derivative_ = {spacing_.mantissa(), 0.0, spacing_.exponent()};
        handOver(start);
    }

    // Takes steps steps; false where the walk cannot go on (an orbit without states, or
    // a pixel whose own part was lost at the end of a reference, see followLoss).
    bool walk(int steps) {
        int taken = 0;
        while (taken < steps) {
            if (orbit_->points.empty())
                return false;
            const FullIterate full = fullIterate();
            rebaseIfNeeded(full);
            if (orbit_->points.size() < 2)
                return false;
            std::int64_t length = 1;
            if (!takeRun(steps - taken, length)) {
                stepDerivative(full);
                takeStep();
            }
            taken += static_cast<int>(length);
            if (!followLoss(length))
                return false;
        }
        return true;
    }

    DerivativeState state() const {
        const FullIterate full = fullIterate();
        return {full.zr, full.zi, derivative_};
    }

  private:
    const OrbitPoint& ref() const { return orbit_->points[index_]; }

    FullIterate fullIterate() const {
        const OrbitPoint& z = ref();
        FullIterate full;
        if (!scaled_) {
            full.zr = z.zr + m_.zr;
            full.zi = z.zi + m_.zi;
        } else if (nearZero(z)) {
            full.wide = true;
            full.wr = numeric::ExtFloat(z.zr) + numeric::ExtFloat::fromParts(m_.zr, px_.s);
            full.wi = numeric::ExtFloat(z.zi) + numeric::ExtFloat::fromParts(m_.zi, px_.s);
            full.zr = full.wr.toDouble();
            full.zi = full.wi.toDouble();
        } else {
            // d is below 2^-460 beside a reference of 2^-400 or more: it adds nothing.
            full.zr = z.zr + px_.scale * m_.zr;
            full.zi = z.zi + px_.scale * m_.zi;
        }
        return full;
    }

    // As the walk that counts: onto the orbit from 0 when the pixel is nearer 0 than to
    // the reference, or at the reference's end.
    void rebaseIfNeeded(const FullIterate& full) {
        bool nearer = false;
        if (!scaled_) {
            nearer = (full.zr * full.zr) + (full.zi * full.zi) < (m_.zr * m_.zr) + (m_.zi * m_.zi);
        } else if (full.wide) {
            const ExtDiff d = widened(m_, px_.s);
            nearer =
                numeric::squaredMagnitude(full.wr, full.wi) < numeric::squaredMagnitude(d.zr, d.zi);
        }
        if (!nearer && index_ != orbit_->last())
            return;
        if (!nearer && stepsSinceLoss_ < 0 && ownPartLost(full))
            stepsSinceLoss_ = 0;
        const bool fitsPlain = std::max(std::fabs(full.zr), std::fabs(full.zi)) >= 0x1p-500;
        ExtDiff d;
        if (!scaled_ && fitsPlain) {
            d = widened(Diff{full.zr, full.zi, 0.0, 0.0}, 0);
        } else {
            const ExtDiff m = widened(m_, scaled_ ? px_.s : 0);
            d = {numeric::ExtFloat(ref().zr) + m.zr, numeric::ExtFloat(ref().zi) + m.zi,
                 numeric::ExtFloat(), numeric::ExtFloat()};
        }
        orbit_ = setup_.critical;
        table_ = setup_.criticalTable;
        index_ = 0;
        handOver(d);
    }

    // The end of a reference that escaped early may come while the pixel's own part (its
    // difference and constant) is below 2^-40 of its iterate: the new difference, the
    // iterate in double, keeps too little of it. That costs nothing where the pixel
    // escapes within a few steps (its iterate is right to double's precision, and the
    // rounding at most doubles a step), but beside a repelling cycle on the bailout
    // circle (the tip c = -2) the pixel stays near the circle for as many steps as the
    // view is deep, while the rounding grows fourfold a step until the estimate is
    // noise. False once a pixel has gone on too long since such a loss.
    bool followLoss(std::int64_t steps) {
        if (stepsSinceLoss_ < 0)
            return true;
        stepsSinceLoss_ += steps;
        return stepsSinceLoss_ <= kStepsAfterLoss;
    }

    bool ownPartLost(const FullIterate& full) const {
        const std::int64_t own =
            std::max(largestExponent(widened(m_, scaled_ ? px_.s : 0)), constantExponent(px_));
        if (own == kNoExponent)
            return false;
        std::int64_t whole = kNoExponent;
        if (full.wide) {
            whole = largestExponent({full.wr, full.wi, numeric::ExtFloat(), numeric::ExtFloat()});
        } else if (const double larger = std::max(std::fabs(full.zr), std::fabs(full.zi));
                   larger > 0.0) {
            int e = 0;
            std::frexp(larger, &e);
            whole = e;
        }
        return whole != kNoExponent && whole - own > kKeptBits;
    }

    // Plain while the difference (or the pixel's constant) is at least 2^-500, scaled
    // below.
    void handOver(const ExtDiff& d) {
        if (goesPlain(d, constantExponent(px_))) {
            scaled_ = false;
            px_.setScale(0);
            m_ = narrowed(d, 0);
        } else {
            scaled_ = true;
            const std::int64_t reach = std::max(largestExponent(d), constantExponent(px_));
            px_.setScale(reach);
            m_ = narrowed(d, reach);
        }
    }

    // A run of the table: dz -> A dz + B dc, and with it z' h -> A z' h + B h (by c) or
    // A z' h (by the starting point): the run is linear in dz, so its derivative is A.
    bool takeRun(int most, std::int64_t& length) {
        if (table_ == nullptr || (index_ & 1) == 0)
            return false;
        const double magnitude = std::fabs(m_.zr) + std::fabs(m_.zi);
        const LinearStep* run =
            table_->longest(index_, magnitude, scaled_ ? px_.s : 0, most, length);
        if (run == nullptr || length < 2)
            return false;
        applyRun(*run, px_, m_);
        derivative_.multiply(run->ar, run->ai, 0);
        if (setup_.byC)
            derivative_.add(run->br * spacing_.mantissa(), run->bi * spacing_.mantissa(),
                            spacing_.exponent());
        index_ += static_cast<std::size_t>(length);
        afterStep();
        return true;
    }

    // z' h -> 2 z z' h (+ h by c), with the iterate before the step.
    void stepDerivative(const FullIterate& full) {
        if (full.wide) {
            const std::int64_t e = std::max(full.wr.isZero() ? kNoExponent : full.wr.exponent(),
                                            full.wi.isZero() ? kNoExponent : full.wi.exponent());
            if (e == kNoExponent)
                derivative_ = {0.0, 0.0, 0};
            else
                derivative_.multiply(2.0 * Pixel::shifted(full.wr, e),
                                     2.0 * Pixel::shifted(full.wi, e), e);
        } else {
            derivative_.multiply(2.0 * full.zr, 2.0 * full.zi, 0);
        }
        if (setup_.byC)
            derivative_.add(spacing_.mantissa(), 0.0, spacing_.exponent());
    }

    void takeStep() {
        const OrbitPoint& z = ref();
        const OrbitPoint& next = orbit_->points[index_ + 1];
        if (!scaled_) {
            QuadraticRule::step<StepMode::kPlain>(z, next, m_, px_, 1.0);
        } else if (px_.scale == 0.0 && nearZero(z)) {
            stepAtFullRange(z);
        } else if (nearZero(z)) {
            QuadraticRule::step<StepMode::kScaled>(z, next, m_, px_, px_.scale);
        } else {
            QuadraticRule::step<StepMode::kLinear>(z, next, m_, px_, 0.0);
        }
        ++index_;
        afterStep();
    }

    // d' = (2 Z + d) d + dc at full range, where S m is below double's range beside a
    // reference near 0 (neither term may be dropped there).
    void stepAtFullRange(const OrbitPoint& z) {
        const ExtDiff d = widened(m_, px_.s);
        const numeric::ExtFloat ar = numeric::ExtFloat(2.0 * z.zr) + d.zr;
        const numeric::ExtFloat ai = numeric::ExtFloat(2.0 * z.zi) + d.zi;
        const ExtDiff result{(ar * d.zr - ai * d.zi) + px_.dcr, (ar * d.zi + ai * d.zr) + px_.dci,
                             numeric::ExtFloat(), numeric::ExtFloat()};
        const std::int64_t reach = largestExponent(result);
        px_.setScale(reach == kNoExponent ? px_.s : reach);
        m_ = narrowed(result, px_.s);
    }

    // The hand-overs between plain and scaled of the walk that counts.
    void afterStep() {
        const double largest = std::fabs(m_.zr) + std::fabs(m_.zi);
        if (!scaled_) {
            if (largest < 0x1p-500 && largest != 0.0)
                handOver(widened(m_, 0));
            return;
        }
        if (largest == 0.0 || (largest >= 0x1p-64 && largest <= px_.highest))
            return;
        int e = 0;
        std::frexp(largest, &e);
        if (px_.s + e > kBackToPlainExponent || !std::isfinite(largest))
            handOver(widened(m_, px_.s));
        else
            px_.rescale(e, m_);
    }

    const DerivativeSetup& setup_;
    Pixel px_;
    const ReferenceOrbit* orbit_;
    const ApproximationTable* table_;
    std::size_t index_ = 0;
    Diff m_;
    bool scaled_ = false;
    numeric::ExtFloat spacing_;
    WideComplex derivative_;
    // The steps taken since the pixel's own part was lost; -1 while it is kept.
    std::int64_t stepsSinceLoss_ = -1;
};

// |z| ln|z| / |z' h|, the distance in pixels, without leaving double's range on the way.
double distanceFrom(double zr, double zi, const WideComplex& derivative) {
    const double size = std::hypot(zr, zi);
    const double slope = std::hypot(derivative.re, derivative.im);
    if (!(size > 1.0) || !(slope > 0.0) || !std::isfinite(size) || !std::isfinite(slope))
        return 0.0;
    const double distance = numeric::timesPowerOfTwo(size * std::log(size) / slope, -derivative.e);
    return std::isfinite(distance) && distance > 0.0 ? distance : 0.0;
}

// | |z| - radius | / |z' h|: how far, in pixels, the iterate's magnitude is from the
// bailout circle's radius along its derivative; infinite where the derivative is 0.
double marginFrom(const DerivativeState& s, double radius) {
    const double gap = std::fabs(std::hypot(s.zr, s.zi) - radius);
    const double slope = std::hypot(s.derivative.re, s.derivative.im);
    if (!(slope > 0.0))
        return std::numeric_limits<double>::infinity();
    const double margin = numeric::timesPowerOfTwo(
        gap / slope, std::clamp<std::int64_t>(-s.derivative.e, -4000, 4000));
    return std::isnan(margin) ? 0.0 : margin;
}

}  // namespace

void WideComplex::normalise() noexcept {
    const double larger = std::max(std::fabs(re), std::fabs(im));
    if (larger == 0.0 || !std::isfinite(larger) ||
        (larger >= kSmallestPart && larger <= kLargestPart))
        return;
    int k = 0;
    std::frexp(larger, &k);
    re = numeric::timesPowerOfTwo(re, -k);
    im = numeric::timesPowerOfTwo(im, -k);
    e += k;
}

void WideComplex::multiply(double fr, double fi, std::int64_t fe) noexcept {
    const double r = (re * fr) - (im * fi);
    const double i = (re * fi) + (im * fr);
    re = r;
    im = i;
    // Exponents stay far inside the integer's range: a pixel's derivative grows by at
    // most a few thousand binary places a step.
    e = std::clamp<std::int64_t>(e + fe, -numeric::ExtFloat::kExponentLimit,
                                 numeric::ExtFloat::kExponentLimit);
    normalise();
}

void WideComplex::add(double ar, double ai, std::int64_t ae) noexcept {
    if (ar == 0.0 && ai == 0.0)
        return;
    if (isZero()) {
        *this = {ar, ai, ae};
        normalise();
        return;
    }
    const std::int64_t gap = ae - e;
    if (gap < -kNegligibleGap)
        return;
    if (gap > kNegligibleGap) {
        *this = {ar, ai, ae};
    } else {
        re += numeric::timesPowerOfTwo(ar, gap);
        im += numeric::timesPowerOfTwo(ai, gap);
    }
    normalise();
}

std::optional<double> distanceInPixels(const DerivativeSetup& setup, const ExtDiff& start,
                                       const Pixel& px, int count) {
    if (count < 1 || setup.primary == nullptr || setup.critical == nullptr)
        return 0.0;
    DerivativeWalk walk(setup, start, px);
    if (!walk.walk(count - 1))
        return std::nullopt;
    // On beyond the escape until |z| is large enough for the estimate to settle, as the
    // double estimate reads it, but along the orbits: beside a point whose orbit stays on
    // the bailout circle (the tip c = -2) a pixel escapes by a hair and stays near the
    // circle for about as many steps as the view has binary places, where its iterate in
    // double would stay on the circle for ever and the estimate be off by the view's depth.
    DerivativeState s = walk.state();
    for (int extra = 0; extra < kMostDistanceSteps; ++extra) {
        const double squared = (s.zr * s.zr) + (s.zi * s.zi);
        if (!(squared < kernels::kSmoothBailout))
            break;
        if (!walk.walk(1))
            return std::nullopt;
        s = walk.state();
    }
    return distanceFrom(s.zr, s.zi, s.derivative);
}

std::optional<double> escapeMarginInPixels(const DerivativeSetup& setup, const ExtDiff& start,
                                           const Pixel& px, int count) {
    if (count < 2 || setup.primary == nullptr || setup.critical == nullptr)
        return std::numeric_limits<double>::infinity();
    const double radius = std::sqrt(kernels::kEscape);
    DerivativeWalk walk(setup, start, px);
    if (!walk.walk(count - 2))
        return std::nullopt;
    const double before = marginFrom(walk.state(), radius);
    if (!walk.walk(1))
        return std::nullopt;
    return std::min(before, marginFrom(walk.state(), radius));
}

}  // namespace complex::perturbation_detail
