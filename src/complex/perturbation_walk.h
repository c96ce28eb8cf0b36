#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <type_traits>

#include "complex/approximation_table.h"
#include "complex/escape_value.h"
#include "complex/exact_orbit.h"
#include "complex/perturbation_rules.h"
#include "complex/state_approximation_table.h"
#include "numeric/ext_float.h"

// The walk of one pixel's difference along its reference orbits: plain or scaled legs,
// the escape test on the full iterate, rebasing and the hand-over between legs.
namespace complex::perturbation_detail {

// A pixel of Spider, Manowar or Phoenix is counted directly once its iterate is this
// close to 0 relative to the reference's (squared: a thousandth of the magnitude).
inline constexpr double kGlitchTolerance = 1e-6;
// The disc of the test of inside goes through a run while it is within 2^20 times the
// run's radius, and through runs of at most 2^18 steps (see followRun).
inline constexpr double kFollowedRadiusFactor = 0x1p20;
inline constexpr double kMostFollowedGrowth = 0x1p10;
inline constexpr std::int64_t kLongestFollowedRun = std::int64_t{1} << 18;
// Single steps in a row after which a plain leg goes back to the vector lanes, where they
// cost a fraction: more than a pixel takes around the reference's returns near 0, so
// pixels that settle on a cycle keep their test of inside.
inline constexpr int kSinglesBeforeLanes = 32;
// The longest run after which the next state's tests may be left out where another run
// holds (see chainedRun). Beside minibrots most runs are shorter, and their tests would
// take most of a pixel's time; after a longer run a whole test costs little beside the
// steps skipped, and the watch of inside gets its looks there.
inline constexpr std::int64_t kLongestChainedRun = 64;

// The steps after which a pixel's cycle is watched: an eighth of the limit. The watch
// costs about a third of a pixel's time where its walk is mostly runs of the table, and
// most pixels of a deep picture escape within a few eighths of the limit; a pixel it finds
// inside stops at an eighth of the limit or soon after instead of running to it. Beside
// the tip c = -2, every pixel escapes within a hundred steps and goes unwatched. A later
// start changes no count: a pixel found inside is one that would reach the limit.
inline int watchFromOf(int limit) {
    return limit / 8;
}

// |re + i im|, without the underflow or overflow of its squares: std::hypot (slow) only
// where they leave double's normal range.
inline double magnitudeOf(double re, double im) {
    const double squared = (re * re) + (im * im);
    return squared >= 0x1p-1000 && squared <= 0x1p1000 ? std::sqrt(squared) : std::hypot(re, im);
}
// The radius of a watched disc relative to the iterate it is placed on, in turns: half of
// it, for a pixel still on its way to its cycle; 2^-24 of it, for cycles that contract
// too little to bring a large disc back (the bound (2 |z| + r) r of a step loses more the
// larger r is); and 2^-44 of it, for a pixel so near its reference that runs of the table
// hold nothing larger. A disc that held 0 would at least triple the bound of the first
// step.
inline constexpr std::array<int, 3> kWatchedRadiusExponents = {-1, -24, -44};
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
    // The steps a pixel counts before its cycle is watched (see watchFromOf).
    int watchFrom = 0;
    const ApproximationTable* primaryTable = nullptr;
    const ApproximationTable* criticalTable = nullptr;
    // The runs along the primary orbit of Unity, and of Spider, Manowar and Phoenix.
    const UnityApproximationTable* unityTable = nullptr;
    const PairApproximationTable* pairTable = nullptr;

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
// small: the reference's margin where it is below double's range (nullptr where it has
// none, or where its orbit came without them: such a margin then decides nothing).
int escapeMargin(const OrbitPoint& ref, const SmallMargin* small, const ExtDiff& d);

// The same for a difference in plain double, in double arithmetic: beside the tip c = -2,
// whose orbit stays on the bailout circle, a pixel asks at every step for hundreds of
// steps. Where the terms come near the bottom of double's range, the wide form decides.
inline int escapeMargin(const OrbitPoint& ref, const SmallMargin* small, const Diff& d) {
    const double x = (2.0 * ref.zr) * d.zr;
    const double y = (2.0 * ref.zi) * d.zi;
    const double square = (d.zr * d.zr) + (d.zi * d.zi);
    const double margin = (ref.outside + (x + y)) + square;
    const double terms = ((std::fabs(ref.outside) + std::fabs(x)) + std::fabs(y)) + square;
    if (!(terms >= 0x1p-900 && terms <= 0x1p900))
        return escapeMargin(ref, small,
                            ExtDiff{numeric::ExtFloat(d.zr), numeric::ExtFloat(d.zi),
                                    numeric::ExtFloat(), numeric::ExtFloat()});
    if (!(terms * 0x1p-40 < std::fabs(margin)))
        return 0;
    return margin > 0.0 ? 1 : -1;
}

// Where a pixel is on its way: the steps counted, the orbit it follows and the index
// of its state there. When it changes between plain and scaled, its difference is
// handed over at full range; pending says that the step's escape test and rebasing
// are done and the step itself is still to come.
struct Walk {
    // The disc watched for the test of inside (Mandelbrot and Julia): its centre, the
    // saved iterate, its radius (0: none), the radius of its image followed to the
    // current step, the magnitude of the iterate it was placed on, and the iterate last
    // tested, whose next step is followed.
    struct CycleWatch {
        double zr = 0.0, zi = 0.0;
        double radius = 0.0;
        double followed = 0.0;
        double nearest = std::numeric_limits<double>::infinity();
        double lastR = 0.0, lastI = 0.0;
        double lastFullR = 0.0, lastFullI = 0.0;
        // The power of two that the centre, the radii and lastR, lastI are counted in.
        std::int64_t unit = 0;
        int savedAt = 0;
        std::size_t turn = 0;
    };
    CycleWatch watch;
    int n = 0;
    std::size_t index = 0;
    const ReferenceOrbit* orbit = nullptr;
    bool pending = false;
    // Whether a plain leg that takes many single steps in a row goes back to the vector
    // lanes (which leave a pixel where a run holds again).
    bool backToLanes = false;
    ExtDiff handover;
};

enum class Leg { kDone, kSwitch, kDirect };

// The exponent of the largest part; kNoExponent when all are 0.
std::int64_t largestExponent(const ExtDiff& d);

// A run of the table on a pixel's difference: dz -> A dz + B dc, the constant in the
// pixel's own scale (plain or scaled alike).
inline void applyRun(const LinearStep& run, const Pixel& px, Diff& m) noexcept {
    const double zr = ((run.ar * m.zr) - (run.ai * m.zi)) + ((run.br * px.kcr) - (run.bi * px.kci));
    const double zi = ((run.ar * m.zi) + (run.ai * m.zr)) + ((run.br * px.kci) + (run.bi * px.kcr));
    m.zr = zr;
    m.zi = zi;
}

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
          firstRun_(firstRunOf(table_)),
          watchFrom_(ctx.detectInterior ? ctx.watchFrom : std::numeric_limits<int>::max()),
          watch_(w.watch) {}

    Leg run() {
        int singles = 0;
        bool afterRun = false;
        for (;;) {
            if (afterRun && lastRun_ <= kLongestChainedRun && chainedRun()) {
                if (endsAfterStep())
                    break;
                continue;
            }
            if (!pending_ && endsBeforeStep())
                break;
            pending_ = false;
            afterRun = mayTakeRun() && skipSteps();
            if (afterRun) {
                singles = 0;
            } else {
                takeStep();
                // Lanes hand a pixel whose escape test comes near the bailout straight
                // back: it stays here until it has left that neighbourhood.
                singles = nearBailout_ ? 0 : singles + 1;
            }
            if (endsAfterStep())
                break;
            if (singles >= kSinglesBeforeLanes && backToLanes()) {
                handOver();
                break;
            }
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
            if (attractedToCycle(ref, full))
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
    // neighbourhood is widest relative to the iterate), with a radius of half that
    // iterate's magnitude or less (kWatchedRadiusExponents), and its image is followed
    // step by step: a step z^2 + c maps the disc of radius r around z into the disc of
    // radius (2 |z| + r) r around the image of z, and a run of the table multiplies r by
    // a bound of its derivative (followRun). When the pixel comes back with the followed
    // disc inside the first, the pixel is counted as inside at once. An escaping pixel
    // can never pass this test, at any depth. The disc and the iterates it is compared
    // with are kept in units of a power of two, so that iterates far below double's
    // range are watched as well.
    bool attractedToCycle(const OrbitPoint& ref, const FullIterate& full) {
        if (n_ < watchFrom_)
            return false;
        if (watch_.radius == 0.0)
            watch_.unit = kScaled ? px_.s : 0;
        iterateInUnits(ref, full);
        const double squared = (watch_.lastR * watch_.lastR) + (watch_.lastI * watch_.lastI);
        // Where the square leaves double's normal range, the magnitude comes from
        // std::hypot (slow), and only where it is needed: the iterates of a scaled leg, in
        // units of their tiny difference, are mostly far beyond that range, and an iterate
        // whose larger part is at least the nearest one's is not nearer (the magnitude is
        // at least its larger part, and std::hypot rounds no lower).
        const bool normal = squared >= 0x1p-1000 && squared <= 0x1p1000;
        const double larger = std::max(std::fabs(watch_.lastR), std::fabs(watch_.lastI));
        double size = 0.0;
        if (!normal && !(larger >= watch_.nearest))
            size = std::hypot(watch_.lastR, watch_.lastI);
        if (watch_.radius > 0.0) {
            const double distance =
                std::fabs(watch_.lastR - watch_.zr) + std::fabs(watch_.lastI - watch_.zi);
            if (distance + watch_.followed <= watch_.radius * (1.0 - 0x1p-20) &&
                n_ > watch_.savedAt) {
                px_.interior = true;
                return done(EscapeValue{ctx_.limit, static_cast<double>(ctx_.limit)});
            }
        }
        // Nearer 0 than before, or after twice the steps since the last save: the orbit may
        // have left a passing approach to 0 for its cycle.
        const bool nearer =
            normal ? squared < (watch_.nearest * watch_.nearest) * (1.0 - 0x1p-9)
                   : !(larger >= watch_.nearest) && size < watch_.nearest * (1.0 - 0x1p-10);
        if (nearer || watch_.radius == 0.0 || n_ >= 2 * std::int64_t{watch_.savedAt}) {
            size = normal ? std::sqrt(squared) : std::hypot(watch_.lastR, watch_.lastI);
            saveWatch(size);
        }
        return false;
    }

    // The pixel's iterate in the watch's units, exact at any depth (where the full
    // iterate of the escape test leaves out differences far below the reference's
    // iterate), and the full iterate itself, for the step's bound where the iterate is
    // beyond the units' range.
    void iterateInUnits(const OrbitPoint& ref, const FullIterate& full) {
        const std::int64_t unit = watch_.unit;
        if constexpr (kScaled) {
            watch_.lastR = numeric::timesPowerOfTwo(ref.zr, -unit) +
                           numeric::timesPowerOfTwo(m_.zr, px_.s - unit);
            watch_.lastI = numeric::timesPowerOfTwo(ref.zi, -unit) +
                           numeric::timesPowerOfTwo(m_.zi, px_.s - unit);
        } else {
            watch_.lastR = numeric::timesPowerOfTwo(full.zr, -unit);
            watch_.lastI = numeric::timesPowerOfTwo(full.zi, -unit);
        }
        watch_.lastFullR = full.zr;
        watch_.lastFullI = full.zi;
    }

    // A disc around the iterate last tested, of magnitude size in the current units,
    // which then become the power of two of that magnitude. None where the magnitude is
    // 0, below double's normal range or beyond it.
    void saveWatch(double size) {
        if (!(size >= 0x1p-1000 && size <= 0x1p1000)) {
            forgetWatch();
            return;
        }
        int e = 0;
        std::frexp(size, &e);
        const double toUnits = numeric::powerOfTwo(-e);
        watch_.unit += e;
        watch_.lastR *= toUnits;
        watch_.lastI *= toUnits;
        watch_.zr = watch_.lastR;
        watch_.zi = watch_.lastI;
        watch_.nearest = size * toUnits;
        watch_.radius = std::ldexp(watch_.nearest, kWatchedRadiusExponents[watch_.turn]);
        watch_.turn = (watch_.turn + 1) % kWatchedRadiusExponents.size();
        watch_.followed = watch_.radius;
        watch_.savedAt = n_;
    }

    // The followed disc through one step of the map: its radius times 2 |z| + r, both in
    // absolute terms; where that underflows, 2^-1000 bounds it.
    void followStep() {
        if constexpr (Rule::kConformal) {
            if (watch_.radius == 0.0 || !ctx_.detectInterior)
                return;
            // A larger part beyond 2^1000 puts the magnitude there too, without std::hypot.
            const bool beyond =
                std::max(std::fabs(watch_.lastR), std::fabs(watch_.lastI)) > 0x1p1000;
            const double unitsSize = beyond ? std::numeric_limits<double>::infinity()
                                            : magnitudeOf(watch_.lastR, watch_.lastI);
            const double size = unitsSize <= 0x1p1000
                                    ? numeric::timesPowerOfTwo(unitsSize, watch_.unit)
                                    : magnitudeOf(watch_.lastFullR, watch_.lastFullI);
            const double growth =
                (2.0 * size) + numeric::timesPowerOfTwo(watch_.followed, watch_.unit);
            followBy(std::max(growth * (1.0 + 0x1p-40), 0x1p-1000));
        }
    }

    void followBy(double factor) {
        watch_.followed *= factor;
        // A disc grown past the first may shrink back inside it on the next turn of a
        // cycle whose every other turn expands (of twice the period); grown far beyond, it
        // no longer can: watch anew.
        if (!(watch_.followed <= watch_.radius * kMostFollowedGrowth))
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
        nearBailout_ = outside;
        if (outside && full.squared < ctx_.surelyOutside) {
            const SmallMargin* small =
                ref.marginBelowRange() ? w_.orbit->smallMargin(index_) : nullptr;
            int side = 0;
            if constexpr (kScaled)
                side = escapeMargin(ref, small, widened(m_, px_.s));
            else
                side = escapeMargin(ref, small, m_);
            if (side == 0)
                return end(Leg::kDirect);
            outside = side > 0;
        }
        if (!outside)
            return false;
        if (!ctx_.smooth)
            return done(EscapeValue{n_, static_cast<double>(n_)});
        const SecondValue second = w_.orbit->second(index_);
        const DoubleState state{full.zr,
                                full.zi,
                                second.ar + S_ * m_.ar,
                                second.ai + S_ * m_.ai,
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
        firstRun_ = firstRunOf(table_);
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
        const SecondValue second = w_.orbit->second(index_);
        const SecondValue startSecond = ctx_.primary->second(0);
        const ExtDiff d = widened(m_, kScaled ? px_.s : 0);
        return switchOrbit(
            ctx_.primary,
            {(numeric::ExtFloat(ref.zr) + d.zr) - numeric::ExtFloat(start.zr),
             (numeric::ExtFloat(ref.zi) + d.zi) - numeric::ExtFloat(start.zi),
             (numeric::ExtFloat(second.ar) + d.ar) - numeric::ExtFloat(startSecond.ar),
             (numeric::ExtFloat(second.ai) + d.ai) - numeric::ExtFloat(startSecond.ai)});
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
    // quadratic term may be dropped. Rare steps, once a period; the rule says whether it
    // takes them (quadraticNearZero).
    bool outweighsBelowRange(const OrbitPoint& ref) const {
        if constexpr (kScaled)
            return S_ == 0.0 && nearZero(ref) && Rule::quadraticNearZero(px_);
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

    // After a run, another from the state it ends at, where one holds there. That state's
    // tests can find nothing then: the difference is below a relative 2^-40 of the
    // reference's iterate, which is not near the bailout (no run passes there), so the
    // pixel neither escapes nor is nearer 0 than the reference, and runs end before the
    // reference's last state. The watch of inside places no disc there: fewer discs find
    // fewer pixels inside, never a wrong one, and most of a pixel's time beside a minibrot
    // goes in such tests.
    bool chainedRun() {
        if constexpr (!std::is_same_v<Rule, QuadraticRule>) {
            return false;
        } else {
            if (n_ >= ctx_.limit || !mayTakeRun())
                return false;
            ++n_;
            if (skipSteps())
                return true;
            --n_;
            return false;
        }
    }

    // The state where the table's runs begin to hold; none without a table.
    static std::size_t firstRunOf(const ApproximationTable* table) {
        return table != nullptr ? table->firstRunAt() : std::numeric_limits<std::size_t>::max();
    }

    // Whether a run may start here, asked at every step before the look-up (which is not
    // inlined): runs of Mandelbrot and Julia start at odd states from the first that holds.
    bool mayTakeRun() const {
        if constexpr (std::is_same_v<Rule, QuadraticRule>)
            return index_ >= firstRun_ && (index_ & 1) != 0;
        else
            return true;
    }

    // Many steps at once where the orbit's table has a run that holds this difference:
    // dz -> A dz + B dc, with dc / S as the constant when scaled. The tests of the states
    // passed over are not needed (see ApproximationTable); the count goes on as if each
    // had been taken, and no run ends beyond the limit's test.
    bool skipSteps() {
        if constexpr (!std::is_same_v<Rule, QuadraticRule>)
            return skipStateRun();
        // Runs of two steps or more start at the odd states (1 + j 2^k, k >= 1) only, and
        // none holds anything before the table's first.
        if (table_ == nullptr || (index_ & 1) == 0 || index_ < table_->firstRunAt())
            return false;
        std::int64_t length = 0;
        const double magnitude = std::fabs(m_.zr) + std::fabs(m_.zi);
        const std::int64_t most = std::int64_t{ctx_.limit} - n_ + 1;
        const LinearStep* run =
            table_->longest(index_, magnitude, kScaled ? px_.s : 0, most, length);
        // A run of one step drops dz^2 for nothing: the step itself costs as much.
        if (run == nullptr || length < 2)
            return false;
        applyRun(*run, px_, m_);
        if (ctx_.detectInterior)
            followRun(*run, length, magnitude);
        lastRun_ = length;
        index_ += static_cast<std::size_t>(length);
        n_ += static_cast<int>(length - 1);
        return true;
    }

    // Unity, Spider, Manowar, Phoenix: a run of the primary orbit's table (see
    // StateApproximationTable), the state v -> A v + B dc, with dc / S as the constant when
    // scaled. As above, the count goes on as if each step had been taken.
    bool skipStateRun() {
        if (w_.orbit != ctx_.primary)
            return false;
        std::int64_t length = 0;
        const std::int64_t most = std::int64_t{ctx_.limit} - n_ + 1;
        const std::int64_t exponent = kScaled ? px_.s : 0;
        if constexpr (std::is_same_v<Rule, UnityRule>) {
            if (ctx_.unityTable == nullptr)
                return false;
            const PlaneRun* run =
                ctx_.unityTable->longest(index_, largestPart<true>(m_), exponent, most, length);
            if (run == nullptr)
                return false;
            const double dx = (run->xx * m_.zr) + (run->xy * m_.zi);
            const double dy = (run->yx * m_.zr) + (run->yy * m_.zi);
            m_.zr = dx;
            m_.zi = dy;
        } else {
            if (ctx_.pairTable == nullptr)
                return false;
            const PairRun* run =
                ctx_.pairTable->longest(index_, largestPart<false>(m_), exponent, most, length);
            if (run == nullptr)
                return false;
            applyPairRun(*run);
        }
        index_ += static_cast<std::size_t>(length);
        n_ += static_cast<int>(length - 1);
        return true;
    }

    void applyPairRun(const PairRun& run) {
        const Diff v = m_;
        m_.zr = (((run.zzr * v.zr) - (run.zzi * v.zi)) + ((run.zwr * v.ar) - (run.zwi * v.ai))) +
                ((run.bzr * px_.kcr) - (run.bzi * px_.kci));
        m_.zi = (((run.zzr * v.zi) + (run.zzi * v.zr)) + ((run.zwr * v.ai) + (run.zwi * v.ar))) +
                ((run.bzr * px_.kci) + (run.bzi * px_.kcr));
        m_.ar = (((run.wzr * v.zr) - (run.wzi * v.zi)) + ((run.wwr * v.ar) - (run.wwi * v.ai))) +
                ((run.bwr * px_.kcr) - (run.bwi * px_.kci));
        m_.ai = (((run.wzr * v.zi) + (run.wzi * v.zr)) + ((run.wwr * v.ai) + (run.wwi * v.ar))) +
                ((run.bwr * px_.kci) + (run.bwi * px_.kcr));
    }

    // The disc through a run. A difference below 2^20 times the run's radius keeps every
    // state of the run within 2^-20 |Z| of the reference under the run's linear map (the
    // radii scale with the tolerance, see ApproximationTable), and within 2^-19.8 |Z|
    // once the dropped terms (at most 2^-21 of the kept ones a step) compound over at
    // most 2^18 steps. Every point of the disc then has a derivative of at most
    // 2 |Z| (1 + 2^-19.8) a step, and the run at most |A| (1 + 2^-19.8)^length, which
    // |A| (1 + length 2^-18) bounds. Longer runs, or a disc beyond that reach, end the
    // watch.
    void followRun(const LinearStep& run, std::int64_t length, double magnitude) {
        if constexpr (Rule::kConformal) {
            if (watch_.radius == 0.0)
                return;
            const double followedUnits =
                numeric::timesPowerOfTwo(watch_.followed, watch_.unit - (kScaled ? px_.s : 0));
            const double radiusUnits =
                kScaled ? numeric::timesPowerOfTwo(run.radius, -px_.s) : run.radius;
            // magnitude, |re| + |im|, is at least the difference's size.
            if (length > kLongestFollowedRun ||
                !(magnitude + followedUnits < radiusUnits * kFollowedRadiusFactor)) {
                forgetWatch();
                return;
            }
            const double growth = magnitudeOf(run.ar, run.ai);
            followBy(growth * (1.0 + (static_cast<double>(length) * 0x1p-18)));
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

    // Plain, with a table, where lanes wait: many single steps in a row are theirs.
    bool backToLanes() const {
        if constexpr (kScaled)
            return false;
        else
            return w_.backToLanes && table_ != nullptr;
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
    std::size_t firstRun_;
    // The length of the last run taken.
    std::int64_t lastRun_ = 0;
    // The steps before the test of inside: the limit's and more where there is none.
    int watchFrom_;
    Walk::CycleWatch watch_;
    Leg leg_ = Leg::kDone;
    // Whether the last escape test found the full iterate at the bailout or beyond.
    bool nearBailout_ = false;
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
    w.backToLanes = backToLanes != nullptr;
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
    w.backToLanes = backToLanes != nullptr;
    const Leg leg = LegWalker<Rule, false>(ctx, w, m, px, result).run();
    if (leg != Leg::kSwitch)
        return leg;
    return walkLegs<Rule>(ctx, w, px, result, backToLanes);
}

}  // namespace complex::perturbation_detail
