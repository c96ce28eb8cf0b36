#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>

#include "complex/approximation_table.h"
#include "complex/escape_value.h"
#include "complex/exact_orbit.h"
#include "complex/perturbation_rules.h"
#include "numeric/ext_float.h"

// The walk of one pixel's difference along its reference orbits: plain or scaled legs,
// the escape test on the full iterate, rebasing and the hand-over between legs.
namespace complex::perturbation_detail {

// A pixel of Spider, Manowar or Phoenix is counted directly once its iterate is this
// close to 0 relative to the reference's (squared: a thousandth of the magnitude).
inline constexpr double kGlitchTolerance = 1e-6;
inline constexpr std::int64_t kNoExponent = std::numeric_limits<std::int64_t>::min();

struct Context {
    bool fixGlitches;
    bool smooth;
    const EscapeFormula* formula;
    const ReferenceOrbit* primary;
    const ReferenceOrbit* critical;
    int limit;
    // Full iterates at least this large are outside, or may be: the reference is kept
    // rounded to double, so where |z|^2 comes within 2^-40 of the bailout the double
    // test cannot tell what the exact iteration finds; escapeMargin decides there.
    double escapeAt;
    double surelyOutside;
    // The runs of steps a pixel may take at once along each orbit; none where nullptr.
    // Whether pixels attracted to a cycle end at once as inside (Mandelbrot and Julia).
    bool detectInterior = false;
    const ApproximationTable* primaryTable = nullptr;
    const ApproximationTable* criticalTable = nullptr;

    const ApproximationTable* tableFor(const ReferenceOrbit* orbit) const {
        if (orbit == primary)
            return primaryTable;
        return orbit == critical ? criticalTable : nullptr;
    }
};

// Near the bailout: |Z + d|^2 - bailout = (|Z|^2 - bailout) + 2 (X dx + Y dy) + |d|^2,
// from the reference's own margin, which its state keeps to double's precision, so
// nothing cancels against the bailout. 1 outside, -1 inside, 0 when even this is
// within its rounding (the pixel is then counted directly). The reference and the
// differences carry relative errors far below 2^-40 of the terms.
int escapeMargin(const OrbitPoint& ref, const ExtDiff& d);

// Where a pixel is on its way: the steps counted, the orbit it follows and the index
// of its state there. When it changes between plain and scaled, its difference is
// handed over at full range; pending says that the step's escape test and rebasing
// are done and the step itself is still to come.
struct Walk {
    // The watch for an attracting cycle (Mandelbrot and Julia): the full iterate saved at
    // step saved, and the derivative of the map from there to the current step.
    // The disc watched for the test of inside (Mandelbrot and Julia): its centre, the
    // saved iterate, its radius (0: none), the radius of its image followed to the
    // current step, and the factor of the next step, 2 |z| of the iterate last tested.
    struct CycleWatch {
        double zr = 0.0, zi = 0.0;
        double radius = 0.0;
        double followed = 0.0;
        double nearest = std::numeric_limits<double>::infinity();
        double stepFactor = 0.0;
        int savedAt = 0;
    };
    CycleWatch watch;
    int n = 0;
    std::size_t index = 0;
    const ReferenceOrbit* orbit = nullptr;
    bool pending = false;
    ExtDiff handover;
};

enum class Leg { kDone, kSwitch, kDirect };

// The exponent of the largest part; kNoExponent when all are 0.
std::int64_t largestExponent(const ExtDiff& d);

// The sum of the parts' magnitudes: within a factor 4 of the largest, and a few
// instructions without branches. The types that rebase have no second value.
template <bool kIterateOnly>
inline double largestPart(const Diff& m) {
    if constexpr (kIterateOnly)
        return std::fabs(m.zr) + std::fabs(m.zi);
    else
        return (std::fabs(m.zr) + std::fabs(m.zi)) + (std::fabs(m.ar) + std::fabs(m.ai));
}

// The mantissas of 2^s as numbers at full range, and back.
ExtDiff widened(const Diff& m, std::int64_t s);
Diff narrowed(const ExtDiff& d, std::int64_t s);

// Whether the reference is within 2^-400 of 0, where a scaled d may outweigh it.
inline bool nearZero(const OrbitPoint& ref) {
    return std::fabs(ref.zr) + std::fabs(ref.zi) < 0x1p-400;
}

// The factor S of the terms that are quadratic in d. Scaled, d is below 2^-460, so
// such a term (and d itself beside Z) changes nothing unless the reference is within
// 2^-400 of 0: elsewhere it is taken as 0, which also keeps products below double's
// normal range (slow on common processors) out of the loop.
template <bool kScaled>
inline double termScale(const OrbitPoint& ref, double S) {
    if constexpr (kScaled)
        return nearZero(ref) ? S : 0.0;
    else
        return 1.0;
}

// One leg of a pixel's walk, plain or scaled, until the pixel is counted, must change
// legs or orbits at full range, or must be counted directly. The walker is a local
// of the caller, so the difference and the position stay in registers: through the
// caller's references every step would go through memory, and the store and load
// would lengthen the chain of dependent operations.
template <class Rule, bool kScaled>
class LegWalker {
  public:
    LegWalker(const Context& ctx, Walk& w, Diff& io, Pixel& px, EscapeValue& result)
        : ctx_(ctx),
          w_(w),
          io_(io),
          px_(px),
          result_(result),
          m_(io),
          points_(w.orbit->points.data()),
          last_(w.orbit->last()),
          index_(w.index),
          n_(w.n),
          S_(kScaled ? px.scale : 1.0),
          pending_(w.pending),
          table_(ctx.tableFor(w.orbit)),
          watch_(w.watch) {}

    Leg run() {
        for (;;) {
            if (!pending_ && endsBeforeStep())
                break;
            pending_ = false;
            if (!skipSteps())
                takeStep();
            if (endsAfterStep())
                break;
        }
        io_ = m_;
        w_.watch = watch_;
        return leg_;
    }

  private:
    // The pixel's full iterate Z + S d and its squared magnitude.
    struct FullIterate {
        double zr;
        double zi;
        double squared;
    };

    bool end(Leg leg) {
        leg_ = leg;
        return true;
    }

    bool done(const EscapeValue& value) {
        result_ = value;
        return end(Leg::kDone);
    }

    // The tests that come before a step: the limit, escape and the change of orbit.
    bool endsBeforeStep() {
        if (n_ >= ctx_.limit)
            return done(EscapeValue{ctx_.limit, static_cast<double>(ctx_.limit)});
        const OrbitPoint& ref = points_[index_];
        const FullIterate full = fullIterate(ref);
        if (escapeDecides(ref, full))
            return true;
        if constexpr (Rule::kConformal) {
            if (attractedToCycle(full))
                return true;
        }
        if constexpr (Rule::kRebases)
            return rebaseEnds(ref, full);
        else
            return glitchOrEndOfReference(ref, full);
    }

    // A pixel is inside for certain when a small disc around a point of its orbit is
    // mapped into itself: its orbit then stays in that disc for ever. The disc is placed
    // at the iterate nearest 0 seen so far (where the basin of a cycle through 0's
    // neighbourhood is widest relative to the iterate, which double resolves there), with
    // a radius of twice that iterate's magnitude (so that it holds 0, where a cycle through
    // 0's neighbourhood may be), and followed step by step: a step
    // z^2 + c multiplies its radius by at most 2 (|z| + radius), a run of the table by
    // |A| while the disc stays within the run's radius. When the pixel comes back near
    // the saved point with the followed disc inside the first, the pixel is counted as
    // inside at once. An escaping pixel can never pass this test, at any depth.
    bool attractedToCycle(const FullIterate& full) {
        if (!ctx_.detectInterior)
            return false;
        const double size = std::sqrt(full.squared);
        watch_.stepFactor = 2.0 * size;
        if (watch_.radius > 0.0) {
            const double distance = std::fabs(full.zr - watch_.zr) + std::fabs(full.zi - watch_.zi);
            if (distance + watch_.followed <= watch_.radius * (1.0 - 0x1p-20) &&
                n_ > watch_.savedAt) {
                px_.interior = true;
                return done(EscapeValue{ctx_.limit, static_cast<double>(ctx_.limit)});
            }
        }
        // Nearer 0 than before, or after twice the steps since the last save: the orbit may
        // have left a passing approach to 0 for its cycle.
        if (size < watch_.nearest * (1.0 - 0x1p-10) || watch_.radius == 0.0 ||
            n_ >= 2 * std::int64_t{watch_.savedAt}) {
            watch_.nearest = size;
            watch_.zr = full.zr;
            watch_.zi = full.zi;
            // Where runs of the table are taken, a disc must fit within their radii (a
            // relative 2^-40): a small one, which the pixel's returns meet once it has
            // settled on its cycle.
            watch_.radius = table_ != nullptr ? std::ldexp(size, -44) : 2.0 * size;
            watch_.followed = watch_.radius;
            watch_.savedAt = n_;
        }
        return false;
    }

    // The followed disc through one step of the map.
    void followStep() {
        if constexpr (Rule::kConformal) {
            if (ctx_.detectInterior)
                followBy(watch_.stepFactor + 2.0 * watch_.followed);
        }
    }

    void followBy(double factor) {
        watch_.followed *= factor;
        // A disc grown past the first can no longer fit inside it: watch anew.
        if (!(watch_.followed <= watch_.radius))
            forgetWatch();
    }

    void forgetWatch() {
        watch_.radius = 0.0;
        watch_.nearest = std::numeric_limits<double>::infinity();
    }

    FullIterate fullIterate(const OrbitPoint& ref) {
        const double Sz = termScale<kScaled>(ref, S_);
        double fzr = ref.zr + Sz * m_.zr;
        double fzi = ref.zi + Sz * m_.zi;
        if (outweighsBelowRange(ref)) {
            const ExtDiff d = widened(m_, px_.s);
            fzr = (numeric::ExtFloat(ref.zr) + d.zr).toDouble();
            fzi = (numeric::ExtFloat(ref.zi) + d.zi).toDouble();
        }
        ++n_;
        // The double kernel's escape test on the full iterate.
        const double s = (fzi * fzi) + (fzr * fzr);
        return {fzr, fzi, s};
    }

    // Outside ends the walk with the count; so does a margin too close to call.
    bool escapeDecides(const OrbitPoint& ref, const FullIterate& full) {
        bool outside = full.squared >= ctx_.escapeAt;
        if (outside && full.squared < ctx_.surelyOutside) {
            const int side = escapeMargin(ref, widened(m_, kScaled ? px_.s : 0));
            if (side == 0)
                return end(Leg::kDirect);
            outside = side > 0;
        }
        if (!outside)
            return false;
        if (!ctx_.smooth)
            return done(EscapeValue{n_, static_cast<double>(n_)});
        const DoubleState state{full.zr,
                                full.zi,
                                ref.ar + S_ * m_.ar,
                                ref.ai + S_ * m_.ai,
                                w_.orbit->cr + px_.dcr.toDouble(),
                                w_.orbit->ci + px_.dci.toDouble()};
        return done(escapeFrom(*ctx_.formula, state, n_));
    }

    // Nearer 0 than to the reference: the critical orbit starts at 0, so the full
    // iterate becomes the difference. In double, |d|^2 may underflow for a tiny d;
    // scaled, the test runs at full range when it can matter.
    bool nearerZeroThanReference(const OrbitPoint& ref, const FullIterate& full) const {
        bool nearer = false;
        if constexpr (kScaled) {
            if (std::max(std::fabs(full.zr), std::fabs(full.zi)) < 0x1p-400) {
                const ExtDiff d = widened(m_, px_.s);
                nearer = squaredMagnitude(numeric::ExtFloat(ref.zr) + d.zr,
                                          numeric::ExtFloat(ref.zi) + d.zi) <
                         squaredMagnitude(d.zr, d.zi);
            }
        } else {
            nearer = full.squared < (m_.zi * m_.zi) + (m_.zr * m_.zr);
        }
        return nearer;
    }

    // Mandelbrot, Julia, Unity: onto the critical orbit when nearer 0 or at the end of
    // the reference; in place when the full iterate fits double, at full range else.
    bool rebaseEnds(const OrbitPoint& ref, const FullIterate& full) {
        const bool nearer = nearerZeroThanReference(ref, full);
        const bool rebase = (nearer && ctx_.fixGlitches) || index_ == last_;
        if (!rebase)
            return false;
        if (!kScaled && std::max(std::fabs(full.zr), std::fabs(full.zi)) >= 0x1p-500) {
            rebaseInPlace(full);
            return false;
        }
        const ExtDiff d = widened(m_, kScaled ? px_.s : 0);
        return switchOrbit(ctx_.critical,
                           {numeric::ExtFloat(ref.zr) + d.zr, numeric::ExtFloat(ref.zi) + d.zi,
                            numeric::ExtFloat(), numeric::ExtFloat()});
    }

    void rebaseInPlace(const FullIterate& full) {
        m_ = Diff{full.zr, full.zi, 0.0, 0.0};
        w_.orbit = ctx_.critical;
        points_ = w_.orbit->points.data();
        last_ = w_.orbit->last();
        index_ = 0;
        table_ = ctx_.tableFor(w_.orbit);
    }

    // Spider, Manowar, Phoenix: a flagged pixel is counted otherwise; at the end of
    // the reference it goes on from the reference's start with the whole state as the
    // difference.
    bool glitchOrEndOfReference(const OrbitPoint& ref, const FullIterate& full) {
        if (ctx_.fixGlitches &&
            full.squared < kGlitchTolerance * ((ref.zi * ref.zi) + (ref.zr * ref.zr)))
            return end(Leg::kDirect);
        if (index_ != last_)
            return false;
        if (ctx_.primary->last() == 0)
            return end(Leg::kDirect);
        const OrbitPoint& start = ctx_.primary->points.front();
        const ExtDiff d = widened(m_, kScaled ? px_.s : 0);
        return switchOrbit(ctx_.primary,
                           {(numeric::ExtFloat(ref.zr) + d.zr) - numeric::ExtFloat(start.zr),
                            (numeric::ExtFloat(ref.zi) + d.zi) - numeric::ExtFloat(start.zi),
                            (numeric::ExtFloat(ref.ar) + d.ar) - numeric::ExtFloat(start.ar),
                            (numeric::ExtFloat(ref.ai) + d.ai) - numeric::ExtFloat(start.ai)});
    }

    // Leaves the leg to go on along orbit from its start, the tests of this step done.
    bool switchOrbit(const ReferenceOrbit* orbit, const ExtDiff& handover) {
        w_.handover = handover;
        w_.orbit = orbit;
        w_.index = 0;
        w_.n = n_;
        w_.pending = true;
        return end(Leg::kSwitch);
    }

    // Scaled with S below double's normal range (taken as 0), while the reference is near
    // 0: there d may be as large as Z or larger (deep views pass 0 at 1e-300 and below,
    // where the pixel's own iterate is its difference), and neither d beside Z nor the
    // quadratic term may be dropped. Mandelbrot and Julia; rare steps, once a period.
    bool outweighsBelowRange(const OrbitPoint& ref) const {
        if constexpr (kScaled && Rule::kConformal)
            return S_ == 0.0 && nearZero(ref);
        else
            return false;
    }

    // d' = (2 Z + d) d + dc at full range, and the mantissas rescaled to the result,
    // which may be far below d (d^2 at the critical point).
    void stepAtFullRange(const OrbitPoint& ref) {
        const ExtDiff d = widened(m_, px_.s);
        const numeric::ExtFloat ar = numeric::ExtFloat(2.0 * ref.zr) + d.zr;
        const numeric::ExtFloat ai = numeric::ExtFloat(2.0 * ref.zi) + d.zi;
        const ExtDiff result{(ar * d.zr - ai * d.zi) + px_.dcr, (ar * d.zi + ai * d.zr) + px_.dci,
                             numeric::ExtFloat(), numeric::ExtFloat()};
        const std::int64_t reach = largestExponent(result);
        px_.setScale(reach == kNoExponent ? px_.s : reach);
        S_ = px_.scale;
        m_ = narrowed(result, px_.s);
    }

    void takeStep() {
        followStep();
        const OrbitPoint& ref = points_[index_];
        const OrbitPoint& next = points_[index_ + 1];
        if constexpr (kScaled) {
            const double Sz = termScale<kScaled>(ref, S_);
            if (outweighsBelowRange(ref))
                stepAtFullRange(ref);
            else if (Sz == 0.0)
                Rule::template step<StepMode::kLinear>(ref, next, m_, px_, Sz);
            else
                Rule::template step<StepMode::kScaled>(ref, next, m_, px_, Sz);
        } else {
            Rule::template step<StepMode::kPlain>(ref, next, m_, px_, 1.0);
        }
        ++index_;
    }

    // Many steps at once where the orbit's table has a run that holds this difference:
    // dz -> A dz + B dc, with dc / S as the constant when scaled. The tests of the states
    // passed over are not needed (see ApproximationTable); the count goes on as if each
    // had been taken, and no run ends beyond the limit's test.
    bool skipSteps() {
        if (table_ == nullptr)
            return false;
        std::int64_t length = 0;
        const double magnitude = std::fabs(m_.zr) + std::fabs(m_.zi);
        const std::int64_t most = std::int64_t{ctx_.limit} - n_ + 1;
        const LinearStep* run =
            table_->longest(index_, magnitude, kScaled ? px_.s : 0, most, length);
        // A run of one step drops dz^2 for nothing: the step itself costs as much.
        if (run == nullptr || length < 2)
            return false;
        const double zr =
            ((run->ar * m_.zr) - (run->ai * m_.zi)) + ((run->br * px_.kcr) - (run->bi * px_.kci));
        const double zi =
            ((run->ar * m_.zi) + (run->ai * m_.zr)) + ((run->br * px_.kci) + (run->bi * px_.kcr));
        m_.zr = zr;
        m_.zi = zi;
        if (ctx_.detectInterior)
            followRun(*run, magnitude);
        index_ += static_cast<std::size_t>(length);
        n_ += static_cast<int>(length - 1);
        return true;
    }

    // The disc through a run: only while the whole disc is within the run's radius,
    // where the run is linear, and then it scales by |A| (a little more for the
    // dropped terms).
    void followRun(const LinearStep& run, double magnitude) {
        if constexpr (Rule::kConformal) {
            const double followedUnits =
                kScaled
                    ? std::ldexp(watch_.followed,
                                 static_cast<int>(std::clamp<std::int64_t>(-px_.s, -2200, 2200)))
                    : watch_.followed;
            const double radiusUnits =
                kScaled
                    ? std::ldexp(run.radius,
                                 static_cast<int>(std::clamp<std::int64_t>(-px_.s, -2200, 2200)))
                    : run.radius;
            // magnitude, |re| + |im|, is at least the difference's size.
            if (!(magnitude + followedUnits < radiusUnits)) {
                forgetWatch();
                return;
            }
            followBy(std::hypot(run.ar, run.ai) * (1.0 + 0x1p-20));
        }
    }

    // Scaled, the mantissas are kept within range, and a difference grown back past
    // 2^-460 goes plain; plain, a difference below 2^-500 goes scaled.
    bool endsAfterStep() {
        const double largest = largestPart<Rule::kRebases>(m_);
        if constexpr (kScaled) {
            if (largest != 0.0 && !(largest >= 0x1p-64 && largest <= px_.highest)) {
                int e = 0;
                std::frexp(largest, &e);
                if (px_.s + e > kBackToPlainExponent || !std::isfinite(largest))
                    return handOver();
                px_.rescale(e, m_);
                S_ = px_.scale;
            }
            return false;
        } else {
            return largest < 0x1p-500 && largest != 0.0 && handOver();
        }
    }

    // Leaves the leg with the difference handed over at full range.
    bool handOver() {
        w_.n = n_;
        w_.index = index_;
        w_.pending = false;
        w_.handover = widened(m_, kScaled ? px_.s : 0);
        return end(Leg::kSwitch);
    }

    const Context& ctx_;
    Walk& w_;
    Diff& io_;
    Pixel& px_;
    EscapeValue& result_;
    Diff m_;
    const OrbitPoint* points_;
    std::size_t last_;
    std::size_t index_;
    int n_;
    double S_;
    bool pending_;
    const ApproximationTable* table_;
    Walk::CycleWatch watch_;
    Leg leg_ = Leg::kDone;
};

// The exponent of the pixel's constant dc; kNoExponent when it is 0.
inline std::int64_t constantExponent(const Pixel& px) {
    return std::max(px.dcr.isZero() ? kNoExponent : px.dcr.exponent(),
                    px.dci.isZero() ? kNoExponent : px.dci.exponent());
}

// Whether a difference at full range goes on plain. The pixel's constant counts as
// well: added to a small difference in plain double it would lose its digits.
inline bool goesPlain(const ExtDiff& d, std::int64_t constant) {
    const std::int64_t reach = std::max(largestExponent(d), constant);
    return reach == kNoExponent || reach > kLeastPlainExponent;
}

// The step a plain leg starts with when that step's tests are done (w.pending), as
// the plain leg takes it; false when the difference must then go on scaled (handed
// over in w).
template <class Rule>
bool takePendingStep(Walk& w, Diff& m, const Pixel& px) {
    const OrbitPoint* points = w.orbit->points.data();
    Rule::template step<StepMode::kPlain>(points[w.index], points[w.index + 1], m, px, 1.0);
    ++w.index;
    w.pending = false;
    const double largest = largestPart<Rule::kRebases>(m);
    if (largest < 0x1p-500 && largest != 0.0) {
        w.handover = widened(m, 0);
        return false;
    }
    return true;
}

// Runs the pixel on from w, plain while its difference fits double and scaled while
// it does not, until it is counted (kDone) or must be counted directly (kDirect).
// With backToLanes it stops (kSwitch) where a plain leg comes to the tests of a step,
// its difference there in backToLanes and its position in w.
template <class Rule>
Leg walkLegs(const Context& ctx, Walk& w, Pixel& px, EscapeValue& result, Diff* backToLanes) {
    const std::int64_t constant = constantExponent(px);
    for (;;) {
        Diff m;
        Leg leg;
        if (goesPlain(w.handover, constant)) {
            px.setScale(0);
            m = narrowed(w.handover, 0);
            if (backToLanes != nullptr) {
                if (w.pending && !takePendingStep<Rule>(w, m, px))
                    continue;
                *backToLanes = m;
                return Leg::kSwitch;
            }
            leg = LegWalker<Rule, false>(ctx, w, m, px, result).run();
        } else {
            const std::int64_t reach = std::max(largestExponent(w.handover), constant);
            px.setScale(reach);
            m = narrowed(w.handover, reach);
            leg = LegWalker<Rule, true>(ctx, w, m, px, result).run();
        }
        if (leg != Leg::kSwitch)
            return leg;
    }
}

// The pixel from its start (the difference start, at full range). false when the
// pixel must be counted directly.
template <class Rule>
bool iteratePixel(const Context& ctx, const ExtDiff& start, Pixel& px, EscapeValue& result) {
    Walk w;
    w.orbit = ctx.primary;
    w.handover = start;
    return walkLegs<Rule>(ctx, w, px, result, nullptr) == Leg::kDone;
}

// The pixel from the middle of a plain leg: its steps w.n, its position (w.orbit,
// w.index, w.pending) and its difference m, in plain double; on as walkLegs.
template <class Rule>
Leg iteratePixelFrom(const Context& ctx, Walk& w, Diff m, Pixel& px, EscapeValue& result,
                     Diff* backToLanes) {
    px.setScale(0);
    const Leg leg = LegWalker<Rule, false>(ctx, w, m, px, result).run();
    if (leg != Leg::kSwitch)
        return leg;
    return walkLegs<Rule>(ctx, w, px, result, backToLanes);
}

}  // namespace complex::perturbation_detail
