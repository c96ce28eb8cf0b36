#include "complex/minibrot_finder.h"

#include <utility>
#include "numeric/mpfr_access.h"

#include "complex/complex_fractal.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace complex {

namespace {

// Periods searched at most, whatever the iteration limit: a search of a million steps
// already takes seconds in arbitrary precision.
constexpr int kMostPeriod = 1'000'000;

using numeric::BigFloat;
using numeric::ExtFloat;
using numeric::raw;

// Newton's method is tried at this many periods where the region's image holds 0
// before the search gives up: past the first few, the image has grown too loose to
// say anything.
constexpr int kMostNewtonAttempts = 8;
// A nucleus further from the view's centre than this many radii of the region (half
// diagonals of the view) belongs to another view.
constexpr double kNeighbourhood = 4.0;

// Where the image of the whole view grows too loose before a minibrot's period comes (a
// view wide beside many copies), the search is repeated in a region this much narrower
// around the centre, up to this many times: the copy nearest the centre is then found.
constexpr double kNarrowing = 1.0 / 16.0;
constexpr int kMostNarrowings = 4;

// Where Newton's method starts, in half-widths and half-heights from the view's centre.
constexpr std::pair<double, double> kGuesses[] = {
    {0.0, 0.0},  {0.5, 0.0},  {-0.5, 0.0},  {0.0, 0.5},  {0.0, -0.5}, {0.5, 0.5},
    {-0.5, 0.5}, {0.5, -0.5}, {-0.5, -0.5}, {0.9, 0.0},  {-0.9, 0.0}, {0.0, 0.9},
    {0.0, -0.9}, {0.9, 0.9},  {-0.9, 0.9},  {0.9, -0.9}, {-0.9, -0.9}};
// The copy lies within 2 sizes of its nucleus: the shorter side of the picture spans
// 5 sizes, with a margin around it.
constexpr double kSizesAcross = 5.0;
// The arithmetic resolves a few thousandths of the region's radius, and the nucleus a
// few thousandths of the minibrot's size.
constexpr long kBitsBelow = 12;
// Each ExtFloat operation rounds to nearest: the radius is widened by this share per
// step so that it still encloses the image.
const ExtFloat kWidening(1.0 + std::ldexp(1.0, -40));

ExtFloat squareRoot(const ExtFloat& x) {
    if (x.sign() <= 0 || !x.isFinite())
        return x.sign() < 0 ? ExtFloat(std::nan("")) : x;
    double mantissa = x.mantissa();
    std::int64_t exponent = x.exponent();
    if (exponent % 2 != 0) {
        mantissa *= 2.0;
        exponent -= 1;
    }
    return ExtFloat::fromParts(std::sqrt(mantissa), exponent / 2);
}

// Infinite for zero.
ExtFloat reciprocal(const ExtFloat& x) {
    if (x.isZero())
        return ExtFloat(HUGE_VAL);
    return ExtFloat::fromParts(1.0 / x.mantissa(), -x.exponent());
}

struct ExtComplex {
    ExtFloat re;
    ExtFloat im;
};

ExtComplex operator*(const ExtComplex& a, const ExtComplex& b) {
    return {a.re * b.re - a.im * b.im, a.re * b.im + a.im * b.re};
}

ExtComplex operator+(const ExtComplex& a, const ExtComplex& b) {
    return {a.re + b.re, a.im + b.im};
}

ExtComplex reciprocal(const ExtComplex& a) {
    const ExtFloat inverse = reciprocal(squaredMagnitude(a.re, a.im));
    return {a.re * inverse, -(a.im * inverse)};
}

ExtFloat magnitude(const ExtComplex& a) {
    return squareRoot(squaredMagnitude(a.re, a.im));
}

ExtFloat magnitude(const BigFloat& re, const BigFloat& im) {
    return magnitude(ExtComplex{ExtFloat::fromBig(re), ExtFloat::fromBig(im)});
}

long magnitudeExponent(const BigFloat& x, const BigFloat& y) {
    long exponent = 2;
    for (const BigFloat* value : {&x, &y}) {
        if (!value->isZero() && value->isFinite())
            exponent = std::max(exponent, value->exponent());
    }
    return exponent;
}

// The bits that resolve a share 2^-kBitsBelow of `scale` about (x, y); nullopt when
// that is more than a BigFloat may have.
std::optional<long> precisionResolving(const BigFloat& x, const BigFloat& y,
                                       const ExtFloat& scale) {
    const std::int64_t spacing = scale.exponent() - kBitsBelow;
    if (spacing < -BigFloat::kMostPrecision)
        return std::nullopt;
    const long precision =
        numeric::precisionFor(static_cast<long>(spacing), magnitudeExponent(x, y));
    if (precision >= BigFloat::kMostPrecision)
        return std::nullopt;
    return precision;
}

// z' = z^2 + c in place; t is scratch.
void stepInPlace(BigFloat& zr, BigFloat& zi, const BigFloat& cx, const BigFloat& cy, BigFloat& t) {
    mpfr_sqr(raw(t), raw(zi), MPFR_RNDN);
    mpfr_mul(raw(zi), raw(zr), raw(zi), MPFR_RNDN);
    mpfr_mul_2ui(raw(zi), raw(zi), 1, MPFR_RNDN);
    mpfr_add(raw(zi), raw(zi), raw(cy), MPFR_RNDN);
    mpfr_sqr(raw(zr), raw(zr), MPFR_RNDN);
    mpfr_sub(raw(zr), raw(zr), raw(t), MPFR_RNDN);
    mpfr_add(raw(zr), raw(zr), raw(cx), MPFR_RNDN);
}

// The images of the disc |c - centre| <= r under z' = z^2 + c from z = 0, each
// enclosed in a disc: its centre Z is the orbit of the disc's centre, in arbitrary
// precision, and its radius R grows as the iteration spreads the disc. For every c of
// the disc, |z - Z| <= R gives |z^2 - Z^2| = |z - Z| |z + Z| <= R (2 |Z| + R), and c
// adds r; the rounding of Z adds a few units of its last place.
class BallOrbit {
  public:
    BallOrbit(const BigFloat& x, const BigFloat& y, const ExtFloat& radius, long precision)
        : cx_(precision),
          cy_(precision),
          zr_(precision),
          zi_(precision),
          t_(precision),
          r_(radius),
          rounding_(ExtFloat::fromParts(1.0, 4 - precision)) {
        mpfr_set(raw(cx_), raw(x), MPFR_RNDN);
        mpfr_set(raw(cy_), raw(y), MPFR_RNDN);
    }

    void step() {
        radius_ = radius_ * (ExtFloat(2.0) * absZ_ + radius_) + r_;
        stepInPlace(zr_, zi_, cx_, cy_, t_);
        absZ_ = magnitude(zr_, zi_);
        radius_ = (radius_ + absZ_ * rounding_) * kWidening;
    }

    bool containsZero() const { return !(radius_ < absZ_); }
    // Every point of the disc has escaped.
    bool escaped() const { return ExtFloat(2.0) + radius_ < absZ_; }
    // The image covers the whole set: it tells nothing any more.
    bool spread() const { return ExtFloat(16.0) < radius_; }

  private:
    BigFloat cx_, cy_, zr_, zi_, t_;
    ExtFloat r_;
    ExtFloat radius_;
    ExtFloat absZ_;
    ExtFloat rounding_;
};

// Whether p lies within `reach` of (x, y).
bool within(const PlanePoint& p, const BigFloat& x, const BigFloat& y, const ExtFloat& reach) {
    const ExtFloat distance = magnitude(p.x - x, p.y - y);
    return distance.isFinite() && !(reach < distance);
}

struct SizeEstimate {
    int period = 0;
    ExtFloat size;
};

// The orbit of a nucleus along its cycle, and the size of its minibrot from it.
//
// Near the nucleus c0 of period p, whose orbit 0, z1 = c0, z2, ..., zp = 0 returns to
// 0, take c = c0 + e and z = w near 0. One step gives z1 + (w^2 + e); along the rest of
// the cycle a small deviation d from zj moves on as d' = 2 zj d + e, to first order. So
// after the p steps
//     w' = L (w^2 + e) + e (sum over j = 1..p-1 of the products 2 z(j+1) ... 2 z(p-1))
//        = L (w^2 + beta e),
// with L = 2 z1 2 z2 ... 2 z(p-1) and beta = 1 + sum over j = 1..p-1 of 1 / (2 z1 ... 2 zj).
// With u = L w this is u' = u^2 + L^2 beta e: the whole set's map with C = L^2 beta e.
// The copy is the whole set (within 2 of C = 0) scaled by 1 / |beta L^2| about c0.
class CycleAtNucleus {
  public:
    CycleAtNucleus(const PlanePoint& nucleus, int period)
        : nucleus_(nucleus),
          period_(period),
          zr_(nucleus.x.precision()),
          zi_(nucleus.x.precision()),
          t_(nucleus.x.precision()) {}

    // The size, and the true period: a nucleus of a period dividing the one asked
    // for (Newton's method may settle on one) is measured along its own cycle.
    std::optional<SizeEstimate> measure(const StopCheck& stop) {
        if (!walk(period_, stop))
            return std::nullopt;
        const ExtFloat returned = magnitude(zr_, zi_);
        // Newton's method may stop where the orbit does not come back to 0 at all (its
        // steps too small to move on): no nucleus there.
        if (!(returned < ExtFloat::fromParts(1.0, -32)))
            return std::nullopt;
        const ExtFloat floor = ExtFloat::fromParts(1.0, -nucleus_.x.precision());
        const ExtFloat tiny = (floor < returned ? returned : floor) * ExtFloat(std::ldexp(1.0, 20));
        const auto shorter =
            std::find_if(divisorReturns_.begin(), divisorReturns_.end(),
                         [&tiny](const auto& divisor) { return divisor.second < tiny; });
        if (shorter == divisorReturns_.end())
            return estimate();
        period_ = shorter->first;
        return walk(period_, stop) ? estimate() : std::nullopt;
    }

  private:
    bool walk(int steps, const StopCheck& stop) {
        mpfr_set_zero(raw(zr_), 1);
        mpfr_set_zero(raw(zi_), 1);
        product_ = {ExtFloat(1.0), ExtFloat()};
        beta_ = {ExtFloat(1.0), ExtFloat()};
        divisorReturns_.clear();
        for (int j = 1; j <= steps; ++j) {
            if (stop && stop())
                return false;
            stepInPlace(zr_, zi_, nucleus_.x, nucleus_.y, t_);
            if (j == steps)
                break;
            const ExtComplex z{ExtFloat::fromBig(zr_), ExtFloat::fromBig(zi_)};
            product_ = product_ * ExtComplex{z.re * 2.0, z.im * 2.0};
            beta_ = beta_ + reciprocal(product_);
            if (steps % j == 0)
                divisorReturns_.emplace_back(j, magnitude(z));
        }
        return true;
    }

    std::optional<SizeEstimate> estimate() const {
        const ExtFloat scale = magnitude(beta_ * product_ * product_);
        const ExtFloat size = reciprocal(scale);
        if (scale.isZero() || !size.isFinite() || size.isZero())
            return std::nullopt;
        return SizeEstimate{period_, size};
    }

    const PlanePoint& nucleus_;
    int period_;
    BigFloat zr_, zi_, t_;
    ExtComplex product_;
    ExtComplex beta_;
    std::vector<std::pair<int, ExtFloat>> divisorReturns_;
};

MinibrotSearch ended(MinibrotSearch::Outcome outcome, std::string reason) {
    MinibrotSearch search;
    search.outcome = outcome;
    search.reason = std::move(reason);
    return search;
}

MinibrotSearch stopped() {
    return ended(MinibrotSearch::Outcome::kStopped, "The search was stopped.");
}

bool isPlainMandelbrot(const EscapeFormula& formula) {
    return formula.type == kernels::Formula::kMandelbrot && formula.paramReal == 0.0 &&
           formula.paramImag == 0.0;
}

// The search itself, for a region already checked.
class Search {
  public:
    Search(const SearchRegion& region, const ExtFloat& radius, long precision, int periodLimit,
           const StopCheck& stop)
        : region_(region),
          radius_(radius),
          precision_(precision),
          periodLimit_(periodLimit),
          stop_(stop),
          latched_([this] { return stopping(); }) {}
    // latched_ refers to this object.
    Search(const Search&) = delete;
    Search& operator=(const Search&) = delete;

    MinibrotSearch run() {
        BallOrbit ball(region_.centreX, region_.centreY, radius_, precision_);
        int attempts = 0;
        for (int period = 1; period <= periodLimit_; ++period) {
            if (stopping())
                return stopped();
            ball.step();
            if (ball.escaped())
                return ended(MinibrotSearch::Outcome::kNone,
                             "Every point of the view escapes: no minibrot lies in it.");
            if (!ball.containsZero())
                continue;
            std::optional<Minibrot> found = minibrotOfPeriod(period);
            if (stopping())
                return stopped();
            if (found) {
                MinibrotSearch search;
                search.outcome = MinibrotSearch::Outcome::kFound;
                search.minibrot = std::move(found);
                return search;
            }
            if (++attempts == kMostNewtonAttempts || ball.spread()) {
                tooLoose_ = true;
                return ended(MinibrotSearch::Outcome::kNone,
                             "No minibrot was found in or near the view (periods up to " +
                                 std::to_string(period) + " were tried).");
            }
        }
        return ended(MinibrotSearch::Outcome::kNone,
                     "No minibrot of a period up to " + std::to_string(periodLimit_) +
                         " lies in the view (a higher iteration limit searches further).");
    }

    // Whether the search ended with the region's image too loose to find a period.
    bool tooLoose() const noexcept { return tooLoose_; }

  private:
    // Once a stop is seen it stays seen, without asking again.
    bool stopping() {
        stopped_ = stopped_ || (stop_ && stop_());
        return stopped_;
    }

    // Newton's method settles on a nucleus only from close enough to it, and the copy the
    // disc found may lie anywhere in the view: it starts from the centre, then from the
    // points of a grid over the view, nearest the centre first.
    std::optional<Minibrot> minibrotOfPeriod(int period) {
        for (const auto& [across, down] : kGuesses) {
            if (stopping())
                return std::nullopt;
            const PlanePoint guess{region_.centreX + (region_.halfWidth * across).toBig(precision_),
                                   region_.centreY + (region_.halfHeight * down).toBig(precision_)};
            if (std::optional<Minibrot> found = minibrotFrom(guess, period))
                return found;
        }
        return std::nullopt;
    }

    std::optional<Minibrot> minibrotFrom(const PlanePoint& guess, int period) {
        std::optional<PlanePoint> nucleus = findNucleus(guess, period, precision_, latched_);
        if (!nucleus || !near(*nucleus))
            return std::nullopt;
        std::optional<SizeEstimate> estimate = CycleAtNucleus(*nucleus, period).measure(latched_);
        if (!estimate)
            return std::nullopt;
        // A minibrot much smaller than the view needs more bits to be placed within
        // its own pixels: a few more rounds from where the method settled.
        const std::optional<long> wanted =
            precisionResolving(nucleus->x, nucleus->y, estimate->size);
        if (!wanted)
            return std::nullopt;
        if (*wanted > precision_) {
            nucleus = findNucleus(*nucleus, estimate->period, *wanted, latched_);
            if (!nucleus || !near(*nucleus))
                return std::nullopt;
        }
        return Minibrot{std::move(*nucleus), estimate->period, estimate->size};
    }

    bool near(const PlanePoint& nucleus) const {
        return within(nucleus, region_.centreX, region_.centreY, radius_ * kNeighbourhood);
    }

    const SearchRegion& region_;
    ExtFloat radius_;
    long precision_;
    int periodLimit_;
    const StopCheck& stop_;
    bool stopped_ = false;
    bool tooLoose_ = false;
    StopCheck latched_;
};

}  // namespace

MinibrotSearch findNearestMinibrot(const EscapeFormula& formula, const SearchRegion& region,
                                   const StopCheck& stop) {
    if (!isPlainMandelbrot(formula))
        return ended(MinibrotSearch::Outcome::kRefused, kOnlyPlainMandelbrot);
    const ExtFloat radius = squareRoot(squaredMagnitude(region.halfWidth, region.halfHeight));
    if (!region.centreX.isFinite() || !region.centreY.isFinite() || !radius.isFinite() ||
        radius.isZero())
        return ended(MinibrotSearch::Outcome::kRefused, "The view has no usable extent.");
    const std::optional<long> precision =
        precisionResolving(region.centreX, region.centreY, radius);
    if (!precision)
        return ended(MinibrotSearch::Outcome::kRefused, "The view is too deep to search.");
    const int periodLimit = std::clamp(formula.maxIterations, 1, kMostPeriod);
    Search whole(region, radius, *precision, periodLimit, stop);
    const MinibrotSearch first = whole.run();
    if (first.outcome != MinibrotSearch::Outcome::kNone || !whole.tooLoose())
        return first;
    SearchRegion part = region;
    ExtFloat partRadius = radius;
    for (int narrowing = 0; narrowing < kMostNarrowings; ++narrowing) {
        part.halfWidth = part.halfWidth * kNarrowing;
        part.halfHeight = part.halfHeight * kNarrowing;
        partRadius = partRadius * kNarrowing;
        const std::optional<long> partPrecision =
            precisionResolving(part.centreX, part.centreY, partRadius);
        if (!partPrecision)
            break;
        Search narrower(part, partRadius, *partPrecision, periodLimit, stop);
        const MinibrotSearch found = narrower.run();
        if (found.outcome != MinibrotSearch::Outcome::kNone || !narrower.tooLoose())
            return found.outcome == MinibrotSearch::Outcome::kNone ? first : found;
    }
    return first;
}

ExtFloat widthShowing(const Minibrot& minibrot, int pixelsWide, int pixelsHigh) {
    const ExtFloat shorterSide = minibrot.size * kSizesAcross;
    if (pixelsWide <= pixelsHigh || pixelsHigh <= 0)
        return shorterSide;
    return shorterSide * (static_cast<double>(pixelsWide) / pixelsHigh);
}

const char* const kOnlyPlainMandelbrot =
    "Minibrots are found only for the Mandelbrot type with the parameters 0, 0.";

std::optional<EscapeFormula> formulaOf(const engine::Fractal& fractal) {
    const auto* escapeTime = dynamic_cast<const ComplexFractal*>(&fractal);
    if (escapeTime == nullptr || !escapeTime->formula())
        return std::nullopt;
    return EscapeFormula{*escapeTime->formula(), escapeTime->paramReal(), escapeTime->paramImag(),
                         escapeTime->maxIterations()};
}

SearchRegion regionOf(const view::DeepView& view) {
    return SearchRegion{view.centreX(), view.centreY(), ExtFloat::fromBig(view.spanX()) * 0.5,
                        ExtFloat::fromBig(view.spanY()) * 0.5};
}

std::optional<view::DeepView> viewShowing(const Minibrot& minibrot, int pixelsWide,
                                          int pixelsHigh) {
    const ExtFloat width = widthShowing(minibrot, pixelsWide, pixelsHigh);
    if (!width.isFinite() || width.isZero())
        return std::nullopt;
    return view::DeepView::fromCentreAndWidth(minibrot.nucleus.x, minibrot.nucleus.y,
                                              width.toBig(64), pixelsWide, pixelsHigh);
}

}  // namespace complex
