// The plain leg of the perturbation walk in vector lanes, compiled once per
// instruction set; the best one the machine has is chosen when the first run goes.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "complex/perturbation_lanes.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep
#include <hwy/highway.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "complex/perturbation_lanes.h"
#include "complex/perturbation_walk.h"

HWY_BEFORE_NAMESPACE();
namespace complex::perturbation_detail::HWY_NAMESPACE {
namespace {

namespace hn = hwy::HWY_NAMESPACE;

constexpr std::size_t kMaxLanes = HWY_MAX_BYTES / sizeof(double);
static_assert(kMaxLanes <= 8, "one byte of mask bits per group");
// Three groups of lanes in flight: while one group waits for its gathers and
// multiplies, the others' can go on.
constexpr int kGroups = 3;
// Steps of every group between two looks at the idle lanes, and looks between two
// questions to the stop check.
constexpr int kStepsPerLook = 2;
constexpr unsigned kLooksPerStopCheck = 1024;

// A pixel's difference in lanes, the second value unused by Mandelbrot, Julia, Unity.
template <class D>
struct LaneDiff {
    hn::Vec<D> zr, zi, ar, ai;
};

// What a step reads of the reference: the state's iterate, Unity's T (or the radius of
// the state's runs of two steps, for the types with tables), and the next state's zi
// (Unity's Y').
template <class D>
struct LaneRef {
    hn::Vec<D> zr, zi, t, nextZi;
};

// The constants of the steps.
template <class D>
struct LaneConstants {
    LaneConstants(D d, double p2Value)
        : two(hn::Set(d, 2.0)), half(hn::Set(d, 0.5)), p2(hn::Set(d, p2Value)) {}
    hn::Vec<D> two, half, p2;
};

// (2 Z + dz) dz, the plain squareDifference.
template <class D>
HWY_INLINE void squareDifference(const LaneConstants<D>& c, const LaneRef<D>& ref,
                                 const LaneDiff<D>& m, hn::Vec<D>& outR, hn::Vec<D>& outI) {
    const hn::Vec<D> a = hn::Add(hn::Mul(c.two, ref.zr), m.zr);
    const hn::Vec<D> b = hn::Add(hn::Mul(c.two, ref.zi), m.zi);
    outR = hn::Sub(hn::Mul(a, m.zr), hn::Mul(b, m.zi));
    outI = hn::Add(hn::Mul(a, m.zi), hn::Mul(b, m.zr));
}

// The plain steps of perturbation_rules.h, operation for operation.
template <LaneRule kRule, class D>
HWY_INLINE void takeStep(const LaneConstants<D>& c, const LaneRef<D>& ref, LaneDiff<D>& m,
                         hn::Vec<D> kcr, hn::Vec<D> kci) {
    using V = hn::Vec<D>;
    if constexpr (kRule == LaneRule::kUnity) {
        const V dk = hn::Add(hn::Mul(hn::Add(hn::Mul(c.two, ref.zr), m.zr), m.zr),
                             hn::Mul(hn::Add(hn::Mul(c.two, ref.zi), m.zi), m.zi));
        const V dt = hn::Neg(dk);
        const V dy = hn::Add(hn::Mul(ref.t, m.zr), hn::Mul(dt, hn::Add(ref.zr, m.zr)));
        const V dx = hn::Add(hn::Mul(ref.t, dy), hn::Mul(dt, hn::Add(ref.nextZi, dy)));
        m.zr = dx;
        m.zi = dy;
    } else {
        V sr, si;
        squareDifference(c, ref, m, sr, si);
        if constexpr (kRule == LaneRule::kQuadratic) {
            m.zr = hn::Add(sr, kcr);
            m.zi = hn::Add(si, kci);
        } else if constexpr (kRule == LaneRule::kSpider) {
            m.zr = hn::Add(sr, m.ar);
            m.zi = hn::Add(si, m.ai);
            m.ar = hn::Add(hn::Mul(m.ar, c.half), m.zr);
            m.ai = hn::Add(hn::Mul(m.ai, c.half), m.zi);
        } else if constexpr (kRule == LaneRule::kManowar) {
            const V oldR = m.zr;
            const V oldI = m.zi;
            m.zr = hn::Add(hn::Add(sr, m.ar), kcr);
            m.zi = hn::Add(hn::Add(si, m.ai), kci);
            m.ar = oldR;
            m.ai = oldI;
        } else {
            const V oldR = m.zr;
            const V oldI = m.zi;
            m.zr = hn::Add(sr, hn::Mul(c.p2, m.ar));
            m.zi = hn::Add(si, hn::Mul(c.p2, m.ai));
            m.ar = oldR;
            m.ai = oldI;
        }
    }
}

constexpr bool rebases(LaneRule rule) {
    return rule == LaneRule::kQuadratic || rule == LaneRule::kUnity;
}

// kGroups groups of Lanes(d) lanes, each lane a pixel on its own orbit. A lane leaves
// at the step where the scalar walk would do what the lanes do not, and its state
// there goes to the exits; once half a group is idle its lanes take the pixels the
// exits brought back, then the next pixels of the run.
template <class D, LaneRule kRule>
class DeepLanes {
  public:
    using V = hn::Vec<D>;
    using DI = hn::RebindToSigned<D>;
    using VI = hn::Vec<DI>;
    using M = hn::Mask<D>;
    static constexpr bool kRebases = rebases(kRule);
    static constexpr bool kSecondValue = !kRebases;

    DeepLanes(D d, const LaneSetup& setup, const LaneOrbits& orbits, const LaneStart* starts,
              std::size_t count, LaneExits& exits)
        : d_(d),
          setup_(setup),
          orbits_(orbits),
          values_(orbits.values()),
          starts_(starts),
          exits_(exits),
          count_(count),
          lanes_(hn::Lanes(d)),
          refillAt_(lanes_ > 1 ? lanes_ / 2 : 1),
          constants_(d, setup.p2),
          escapeAt_(hn::Set(d, setup.escapeAt)),
          leastPlain_(hn::Set(d, 0x1p-500)),
          glitchTolerance_(hn::Set(d, kGlitchTolerance)),
          criticalZr_(hn::Set(d, valueAt(orbits.criticalStart(), 0))),
          criticalZi_(hn::Set(d, valueAt(orbits.criticalStart(), 1))),
          criticalT_(hn::Set(d, orbits.stride() > 2 ? valueAt(orbits.criticalStart(), 2) : 0.0)),
          criticalNextZi_(hn::Set(d, valueAt(orbits.criticalStart() + 1, 1))),
          oneI_(hn::Set(di_, std::int64_t{1})),
          lastStepI_(hn::Set(di_, std::int64_t{setup.limit} - 1)),
          primaryLastI_(hn::Set(di_, orbits.primaryLast())),
          criticalStartI_(hn::Set(di_, orbits.criticalStart())),
          criticalLastI_(hn::Set(di_, orbits.criticalLast())),
          fixGlitches_(hn::FirstN(d, setup.fixGlitches ? lanes_ : 0)),
          runs_(setup.runs) {
        for (Group& group : groups_) {
            group.m.zr = group.m.zi = group.m.ar = group.m.ai = hn::Zero(d_);
            group.kcr = group.kci = hn::Zero(d_);
            group.pos = group.n = hn::Zero(di_);
            group.live = hn::FirstN(d_, 0);
            for (std::ptrdiff_t& pixel : group.pixel)
                pixel = -1;
        }
        for (Group& group : groups_)
            takeNextPixels(group);
    }

    // Walks until every pixel has left the lanes; false when stop asked for a stop.
    bool run(const StopCheck& stop) {
        for (unsigned look = 1;; ++look) {
            if (stop && look % kLooksPerStopCheck == 0 && stop())
                return false;
            for (int i = 0; i < kStepsPerLook; ++i) {
                for (Group& group : groups_) {
                    // Once the run's last pixels are in flight some groups idle.
                    if (!hn::AllFalse(d_, group.live))
                        step(group);
                }
            }
            if (next_ < count_ || !back_.empty()) {
                for (Group& group : groups_) {
                    if (lanes_ - hn::CountTrue(d_, group.live) >= refillAt_)
                        takeNextPixels(group);
                }
            } else if (noneLive()) {
                return true;
            }
        }
    }

  private:
    struct Group {
        LaneDiff<D> m;
        V kcr, kci;
        VI pos, n;
        M live;
        std::ptrdiff_t pixel[kMaxLanes];
    };

    // The lanes' state before a step or after it, where lanes leave.
    struct Snapshot {
        HWY_ALIGN double zr[kMaxLanes];
        HWY_ALIGN double zi[kMaxLanes];
        HWY_ALIGN double ar[kMaxLanes];
        HWY_ALIGN double ai[kMaxLanes];
        HWY_ALIGN double squared[kMaxLanes];
        HWY_ALIGN std::int64_t pos[kMaxLanes];
        HWY_ALIGN std::int64_t n[kMaxLanes];
        void store(D d, const LaneDiff<D>& m, V s, VI p, VI count) {
            const DI di;
            hn::Store(m.zr, d, zr);
            hn::Store(m.zi, d, zi);
            hn::Store(m.ar, d, ar);
            hn::Store(m.ai, d, ai);
            hn::Store(s, d, squared);
            hn::Store(p, di, pos);
            hn::Store(count, di, n);
        }
    };

    double valueAt(std::int64_t pos, int part) const {
        return values_[static_cast<std::size_t>(pos) * static_cast<std::size_t>(orbits_.stride()) +
                       static_cast<std::size_t>(part)];
    }

    LaneRef<D> gather(VI pos) const {
        VI at = hn::Add(pos, pos);
        if (kRule == LaneRule::kUnity || runs_)
            at = hn::Add(at, pos);  // three values a state
        LaneRef<D> ref;
        ref.zr = hn::GatherIndex(d_, values_, at);
        ref.zi = hn::GatherIndex(d_, values_ + 1, at);
        if constexpr (kRule == LaneRule::kUnity) {
            ref.t = hn::GatherIndex(d_, values_ + 2, at);
            ref.nextZi = hn::GatherIndex(d_, values_ + 4, at);  // the next state's zi
        } else {
            ref.t = runs_ ? hn::GatherIndex(d_, values_ + 2, at) : hn::Zero(d_);
            ref.nextZi = hn::Zero(d_);
        }
        return ref;
    }

    // The scalar walk's plain loop: the limit, the escape test on the full iterate,
    // rebasing onto the critical orbit or the glitch test and the end of the
    // reference, the step, and the test for a difference that must go on scaled.
    HWY_INLINE void step(Group& g) {
        LaneRef<D> ref = gather(g.pos);
        const V fzr = hn::Add(ref.zr, g.m.zr);
        const V fzi = hn::Add(ref.zi, g.m.zi);
        const V s = hn::Add(hn::Mul(fzi, fzi), hn::Mul(fzr, fzr));
        const M limited = hn::RebindMask(d_, hn::Gt(g.n, lastStepI_));
        const M outside = hn::Ge(s, escapeAt_);
        const M atEnd =
            hn::RebindMask(d_, hn::Or(hn::Eq(g.pos, primaryLastI_), hn::Eq(g.pos, criticalLastI_)));
        LaneDiff<D> m = g.m;
        VI pos = g.pos;
        M leaves;
        if constexpr (kRebases) {
            const M nearer = hn::Lt(s, hn::Add(hn::Mul(g.m.zi, g.m.zi), hn::Mul(g.m.zr, g.m.zr)));
            const M rebase = hn::Or(hn::And(nearer, fixGlitches_), atEnd);
            const M fits = hn::Ge(largerOf(hn::Abs(fzr), hn::Abs(fzi)), leastPlain_);
            leaves = hn::Or(hn::Or(limited, outside), hn::AndNot(fits, rebase));
            // Rebased in place: the full iterate is the difference from the critical
            // orbit's start.
            const M inPlace = hn::And(rebase, fits);
            if (kRule == LaneRule::kQuadratic && runs_) {
                // Where a run of the table holds, the scalar walk takes it (from this
                // state's tests on); a pixel rebased here starts at state 0, where none
                // does.
                const V magnitude = hn::Add(hn::Abs(g.m.zr), hn::Abs(g.m.zi));
                leaves = hn::Or(leaves, hn::AndNot(inPlace, hn::Lt(magnitude, ref.t)));
            }
            m.zr = hn::IfThenElse(inPlace, fzr, m.zr);
            m.zi = hn::IfThenElse(inPlace, fzi, m.zi);
            pos = hn::IfThenElse(hn::RebindMask(di_, inPlace), criticalStartI_, pos);
            ref.zr = hn::IfThenElse(inPlace, criticalZr_, ref.zr);
            ref.zi = hn::IfThenElse(inPlace, criticalZi_, ref.zi);
            if constexpr (kRule == LaneRule::kUnity) {
                ref.t = hn::IfThenElse(inPlace, criticalT_, ref.t);
                ref.nextZi = hn::IfThenElse(inPlace, criticalNextZi_, ref.nextZi);
            }
        } else {
            const M glitch = hn::And(
                fixGlitches_,
                hn::Lt(s, hn::Mul(glitchTolerance_,
                                  hn::Add(hn::Mul(ref.zi, ref.zi), hn::Mul(ref.zr, ref.zr)))));
            leaves = hn::Or(hn::Or(limited, outside), hn::Or(glitch, atEnd));
        }
        const M before = hn::And(g.live, leaves);

        takeStep<kRule>(constants_, ref, m, g.kcr, g.kci);
        V largest = hn::Add(hn::Abs(m.zr), hn::Abs(m.zi));
        if constexpr (kSecondValue)
            largest = hn::Add(largest, hn::Add(hn::Abs(m.ar), hn::Abs(m.ai)));
        const M tiny = hn::And(hn::Lt(largest, leastPlain_), hn::Ne(largest, hn::Zero(d_)));
        const M after = hn::AndNot(before, hn::And(g.live, tiny));

        const VI nextPos = hn::Add(pos, oneI_);
        const VI nextN = hn::Add(g.n, oneI_);
        if (HWY_UNLIKELY(!hn::AllFalse(d_, hn::Or(before, after)))) {
            Snapshot was;
            Snapshot now;
            was.store(d_, g.m, s, g.pos, g.n);
            now.store(d_, m, s, nextPos, nextN);
            leave(g, before, after, was, now);
        }
        g.m = m;
        g.n = nextN;
        // Idle lanes stay at the table's start, where their gathers read nothing
        // beyond it.
        g.pos = hn::IfThenElseZero(hn::RebindMask(di_, g.live), nextPos);
    }

    // std::max(a, b) as the scalar walk has it, NaN included.
    static HWY_INLINE V largerOf(V a, V b) { return hn::IfThenElse(hn::Lt(a, b), b, a); }

    HWY_NOINLINE void leave(Group& g, M before, M after, const Snapshot& was, const Snapshot& now) {
        std::uint8_t beforeBits[8] = {};
        std::uint8_t afterBits[8] = {};
        hn::StoreMaskBits(d_, before, beforeBits);
        hn::StoreMaskBits(d_, after, afterBits);
        for (unsigned pending = beforeBits[0]; pending != 0; pending &= pending - 1) {
            const auto l = static_cast<std::size_t>(__builtin_ctz(pending));
            LaneState state;
            leaveBeforeStep(state, was, l);
            walkOn(g, l, state);
        }
        for (unsigned pending = afterBits[0]; pending != 0; pending &= pending - 1) {
            const auto l = static_cast<std::size_t>(__builtin_ctz(pending));
            LaneState state;
            placeState(state, LaneExit::kHandOver, now, l);
            walkOn(g, l, state);
        }
        g.live = hn::AndNot(hn::Or(before, after), g.live);
    }

    // The pixel of lane l goes on outside the lanes, and comes back once its walk
    // there brings it to a plain leg again.
    void walkOn(Group& g, std::size_t l, const LaneState& state) {
        const auto pixel = static_cast<std::size_t>(g.pixel[l]);
        g.pixel[l] = -1;
        Returning back{pixel, LaneStart{}};
        if (exits_.walkOn(pixel, state, true, back.start))
            back_.push_back(back);
    }

    // At the limit, or outside beyond doubt, the lane counts the pixel; the escape
    // test near the bailout, smooth counts, rebasing at full range, flagged pixels and
    // the end of the reference are the scalar walk's.
    void leaveBeforeStep(LaneState& state, const Snapshot& was, std::size_t l) const {
        const int n = static_cast<int>(was.n[l]);
        if (n >= setup_.limit) {
            placeCount(state, setup_.limit);
        } else if (!setup_.smooth && was.squared[l] >= setup_.surelyOutside) {
            placeCount(state, n + 1);
        } else {
            placeState(state, LaneExit::kResume, was, l);
        }
    }

    static void placeCount(LaneState& state, int count) {
        state.exit = LaneExit::kCounted;
        state.value = EscapeValue{count, static_cast<double>(count)};
    }

    void placeState(LaneState& state, LaneExit exit, const Snapshot& at, std::size_t l) const {
        const std::int64_t pos = at.pos[l];
        state.exit = exit;
        state.n = static_cast<int>(at.n[l]);
        state.onCritical = orbits_.criticalStart() > 0 && pos >= orbits_.criticalStart();
        state.index =
            static_cast<std::size_t>(state.onCritical ? pos - orbits_.criticalStart() : pos);
        state.m = kSecondValue ? Diff{at.zr[l], at.zi[l], at.ar[l], at.ai[l]}
                               : Diff{at.zr[l], at.zi[l], 0.0, 0.0};
    }

    // The group's idle lanes take the next pixels, while there are any.
    void takeNextPixels(Group& g) {
        Snapshot at;
        HWY_ALIGN double kcr[kMaxLanes] = {};
        HWY_ALIGN double kci[kMaxLanes] = {};
        HWY_ALIGN std::int64_t live[kMaxLanes] = {};
        at.store(d_, g.m, hn::Zero(d_), g.pos, g.n);
        hn::Store(g.kcr, d_, kcr);
        hn::Store(g.kci, d_, kci);
        for (std::size_t l = 0; l < lanes_; ++l) {
            live[l] = g.pixel[l] >= 0 ? 1 : 0;
            if (g.pixel[l] >= 0 || (next_ >= count_ && back_.empty()))
                continue;
            Returning taken{next_, LaneStart{}};
            if (back_.empty()) {
                taken.start = starts_[next_++];
            } else {
                taken = back_.back();
                back_.pop_back();
            }
            const LaneStart& start = taken.start;
            at.zr[l] = start.m.zr;
            at.zi[l] = start.m.zi;
            at.ar[l] = kSecondValue ? start.m.ar : 0.0;
            at.ai[l] = kSecondValue ? start.m.ai : 0.0;
            kcr[l] = start.kcr;
            kci[l] = start.kci;
            at.pos[l] = start.pos;
            at.n[l] = start.n;
            live[l] = 1;
            g.pixel[l] = static_cast<std::ptrdiff_t>(taken.pixel);
        }
        g.m.zr = hn::Load(d_, at.zr);
        g.m.zi = hn::Load(d_, at.zi);
        g.m.ar = hn::Load(d_, at.ar);
        g.m.ai = hn::Load(d_, at.ai);
        g.kcr = hn::Load(d_, kcr);
        g.kci = hn::Load(d_, kci);
        g.pos = hn::Load(di_, at.pos);
        g.n = hn::Load(di_, at.n);
        g.live = hn::RebindMask(d_, hn::Eq(hn::Load(di_, live), oneI_));
    }

    bool noneLive() const {
        M any = groups_[0].live;
        for (int g = 1; g < kGroups; ++g)
            any = hn::Or(any, groups_[g].live);
        return hn::AllFalse(d_, any);
    }

    D d_;
    DI di_{};
    const LaneSetup& setup_;
    const LaneOrbits& orbits_;
    const double* values_;
    const LaneStart* starts_;
    LaneExits& exits_;
    // Pixels the scalar walk brought back to a plain leg, to go on in the lanes.
    struct Returning {
        std::size_t pixel;
        LaneStart start;
    };
    std::vector<Returning> back_;
    std::size_t count_;
    std::size_t next_ = 0;
    std::size_t lanes_;
    std::size_t refillAt_;
    Group groups_[kGroups];
    LaneConstants<D> constants_;
    V escapeAt_;
    V leastPlain_;
    V glitchTolerance_;
    V criticalZr_;
    V criticalZi_;
    V criticalT_;
    V criticalNextZi_;
    VI oneI_;
    VI lastStepI_;  // n above this: at the limit
    VI primaryLastI_;
    VI criticalStartI_;
    VI criticalLastI_;
    M fixGlitches_;
    bool runs_;
};

template <LaneRule kRule>
bool walk(const LaneSetup& setup, const LaneOrbits& orbits, const LaneStart* starts,
          std::size_t count, LaneExits& exits, const StopCheck& stop) {
    const hn::ScalableTag<double> d;
    DeepLanes<hn::ScalableTag<double>, kRule> lanes(d, setup, orbits, starts, count, exits);
    return lanes.run(stop);
}

}  // namespace

bool WalkLanesTarget(const LaneSetup& setup, const LaneOrbits& orbits, const LaneStart* starts,
                     std::size_t count, LaneExits& exits, const StopCheck& stop) {
    switch (setup.rule) {
        case LaneRule::kUnity:
            return walk<LaneRule::kUnity>(setup, orbits, starts, count, exits, stop);
        case LaneRule::kSpider:
            return walk<LaneRule::kSpider>(setup, orbits, starts, count, exits, stop);
        case LaneRule::kManowar:
            return walk<LaneRule::kManowar>(setup, orbits, starts, count, exits, stop);
        case LaneRule::kPhoenix:
            return walk<LaneRule::kPhoenix>(setup, orbits, starts, count, exits, stop);
        default:
            return walk<LaneRule::kQuadratic>(setup, orbits, starts, count, exits, stop);
    }
}

}  // namespace complex::perturbation_detail::HWY_NAMESPACE
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace complex::perturbation_detail {

HWY_EXPORT(WalkLanesTarget);

LaneOrbits::LaneOrbits(const ReferenceOrbit& primary, const ReferenceOrbit& critical, int stride,
                       const ApproximationTable* primaryRuns,
                       const ApproximationTable* criticalRuns)
    : stride_(stride == 3 ? 3 : 2),
      runs_(stride == 3 && primaryRuns != nullptr && criticalRuns != nullptr) {
    if (primary.points.empty() || critical.points.empty())
        return;
    const bool separate = &primary != &critical;
    values_.reserve(bytesFor(primary, critical, stride_) / sizeof(double));
    const auto keep = [this](const OrbitPoint& p, const ApproximationTable* runs,
                             std::size_t index) {
        values_.push_back(p.zr);
        values_.push_back(p.zi);
        if (stride_ == 3)
            values_.push_back(runs_ ? runs->pairRadius(index) : ReferenceOrbit::unityT(p));
    };
    for (std::size_t k = 0; k < primary.points.size(); ++k)
        keep(primary.points[k], primaryRuns, k);
    primaryLast_ = static_cast<std::int64_t>(primary.last());
    criticalStart_ = separate ? primaryLast_ + 1 : 0;
    criticalLast_ = criticalStart_ + static_cast<std::int64_t>(critical.last());
    if (separate) {
        for (std::size_t k = 0; k < critical.points.size(); ++k)
            keep(critical.points[k], criticalRuns, k);
    }
    // The state after the last, which a step at the last reads as its next.
    keep(OrbitPoint{}, primaryRuns, 0);
}

std::size_t LaneOrbits::bytesFor(const ReferenceOrbit& primary, const ReferenceOrbit& critical,
                                 int stride) {
    const std::size_t states =
        primary.points.size() + (&primary != &critical ? critical.points.size() : 0) + 1;
    return states * static_cast<std::size_t>(stride) * sizeof(double);
}

bool walkLanes(const LaneSetup& setup, const LaneOrbits& orbits, const LaneStart* starts,
               std::size_t count, LaneExits& exits, const StopCheck& stop) {
    if (orbits.empty() || orbits.stride() != LaneOrbits::strideFor(setup.rule, setup.runs) ||
        orbits.hasRuns() != setup.runs || setup.limit < 1) {
        // Nothing for the lanes to walk: every pixel goes to the scalar walk as it starts.
        for (std::size_t k = 0; k < count; ++k) {
            LaneState state;
            state.exit = LaneExit::kResume;
            state.m = starts[k].m;
            LaneStart unused;
            exits.walkOn(k, state, false, unused);
        }
        return true;
    }
    if (count == 0)
        return true;
    return HWY_DYNAMIC_DISPATCH(WalkLanesTarget)(setup, orbits, starts, count, exits, stop);
}

}  // namespace complex::perturbation_detail
#endif
