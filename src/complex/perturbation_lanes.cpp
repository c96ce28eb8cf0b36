// The plain leg of the perturbation walk in vector lanes, compiled once per
// instruction set; the best one the machine has is chosen when the first run goes.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "complex/perturbation_lanes.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep
#include <hwy/highway.h>

#include <cstddef>
#include <cstdint>

#include "complex/perturbation_lanes.h"

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

// kGroups groups of Lanes(d) lanes, each lane a pixel on its own orbit. A lane leaves
// at the step where the scalar walk would do what the lanes do not; its state there
// goes into the pixel's LaneState, and once half a group is idle its lanes take the
// next pixels.
template <class D>
class QuadraticLanes {
  public:
    using V = hn::Vec<D>;
    using DI = hn::RebindToSigned<D>;
    using VI = hn::Vec<DI>;
    using M = hn::Mask<D>;

    QuadraticLanes(D d, const LaneSetup& setup, const LaneOrbits& orbits, const LaneStart* starts,
                   std::size_t count, LaneState* states)
        : d_(d),
          setup_(setup),
          orbits_(orbits),
          pairs_(orbits.pairs()),
          starts_(starts),
          states_(states),
          count_(count),
          lanes_(hn::Lanes(d)),
          refillAt_(lanes_ > 1 ? lanes_ / 2 : 1),
          two_(hn::Set(d, 2.0)),
          escapeAt_(hn::Set(d, setup.escapeAt)),
          leastPlain_(hn::Set(d, 0x1p-500)),
          criticalZr_(hn::Set(d, orbits.pairs()[2 * orbits.criticalStart()])),
          criticalZi_(hn::Set(d, orbits.pairs()[2 * orbits.criticalStart() + 1])),
          oneI_(hn::Set(di_, std::int64_t{1})),
          lastStepI_(hn::Set(di_, std::int64_t{setup.limit} - 1)),
          primaryLastI_(hn::Set(di_, orbits.primaryLast())),
          criticalStartI_(hn::Set(di_, orbits.criticalStart())),
          criticalLastI_(hn::Set(di_, orbits.criticalLast())),
          fixGlitches_(hn::FirstN(d, setup.fixGlitches ? lanes_ : 0)) {
        for (Group& group : groups_) {
            group.mzr = group.mzi = group.kcr = group.kci = hn::Zero(d_);
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
                for (Group& group : groups_)
                    step(group);
            }
            if (next_ < count_) {
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
        V mzr, mzi, kcr, kci;
        VI pos, n;
        M live;
        std::ptrdiff_t pixel[kMaxLanes];
    };

    // A lane's state before a step and after it, where lanes leave.
    struct Snapshot {
        HWY_ALIGN double mzr[kMaxLanes] = {};
        HWY_ALIGN double mzi[kMaxLanes] = {};
        HWY_ALIGN double squared[kMaxLanes] = {};
        HWY_ALIGN std::int64_t pos[kMaxLanes] = {};
        HWY_ALIGN std::int64_t n[kMaxLanes] = {};
        void store(D d, V zr, V zi, V s, VI p, VI count) {
            const DI di;
            hn::Store(zr, d, mzr);
            hn::Store(zi, d, mzi);
            hn::Store(s, d, squared);
            hn::Store(p, di, pos);
            hn::Store(count, di, n);
        }
    };

    // The scalar walk's plain loop: the limit, the escape test on the full iterate,
    // rebasing onto the critical orbit, the step, and the test for a difference that
    // must go on scaled.
    HWY_INLINE void step(Group& g) {
        const VI twice = hn::Add(g.pos, g.pos);
        V rzr = hn::GatherIndex(d_, pairs_, twice);
        V rzi = hn::GatherIndex(d_, pairs_ + 1, twice);
        const V fzr = hn::Add(rzr, g.mzr);
        const V fzi = hn::Add(rzi, g.mzi);
        const V s = hn::Add(hn::Mul(fzi, fzi), hn::Mul(fzr, fzr));
        const M limited = hn::RebindMask(d_, hn::Gt(g.n, lastStepI_));
        const M outside = hn::Ge(s, escapeAt_);
        const M nearer = hn::Lt(s, hn::Add(hn::Mul(g.mzi, g.mzi), hn::Mul(g.mzr, g.mzr)));
        const M atEnd =
            hn::RebindMask(d_, hn::Or(hn::Eq(g.pos, primaryLastI_), hn::Eq(g.pos, criticalLastI_)));
        const M rebase = hn::Or(hn::And(nearer, fixGlitches_), atEnd);
        const M fits = hn::Ge(largerOf(hn::Abs(fzr), hn::Abs(fzi)), leastPlain_);
        const M before =
            hn::And(g.live, hn::Or(hn::Or(limited, outside), hn::AndNot(fits, rebase)));

        // Rebased in place: the full iterate is the difference from the critical
        // orbit's start.
        const M inPlace = hn::And(rebase, fits);
        const V mzr = hn::IfThenElse(inPlace, fzr, g.mzr);
        const V mzi = hn::IfThenElse(inPlace, fzi, g.mzi);
        const VI pos = hn::IfThenElse(hn::RebindMask(di_, inPlace), criticalStartI_, g.pos);
        rzr = hn::IfThenElse(inPlace, criticalZr_, rzr);
        rzi = hn::IfThenElse(inPlace, criticalZi_, rzi);

        // (2 Z + dz) dz + dc.
        const V a = hn::Add(hn::Mul(two_, rzr), mzr);
        const V b = hn::Add(hn::Mul(two_, rzi), mzi);
        const V nzr = hn::Add(hn::Sub(hn::Mul(a, mzr), hn::Mul(b, mzi)), g.kcr);
        const V nzi = hn::Add(hn::Add(hn::Mul(a, mzi), hn::Mul(b, mzr)), g.kci);
        const V largest = hn::Add(hn::Abs(nzr), hn::Abs(nzi));
        const M tiny = hn::And(hn::Lt(largest, leastPlain_), hn::Ne(largest, hn::Zero(d_)));
        const M after = hn::AndNot(before, hn::And(g.live, tiny));

        const VI nextPos = hn::Add(pos, oneI_);
        const VI nextN = hn::Add(g.n, oneI_);
        if (HWY_UNLIKELY(!hn::AllFalse(d_, hn::Or(before, after)))) {
            Snapshot was;
            Snapshot now;
            was.store(d_, g.mzr, g.mzi, s, g.pos, g.n);
            now.store(d_, nzr, nzi, s, nextPos, nextN);
            leave(g, before, after, was, now);
        }
        g.mzr = nzr;
        g.mzi = nzi;
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
            leaveBeforeStep(states_[g.pixel[l]], was, l);
            g.pixel[l] = -1;
        }
        for (unsigned pending = afterBits[0]; pending != 0; pending &= pending - 1) {
            const auto l = static_cast<std::size_t>(__builtin_ctz(pending));
            placeState(states_[g.pixel[l]], LaneExit::kHandOver, now, l);
            g.pixel[l] = -1;
        }
        g.live = hn::AndNot(hn::Or(before, after), g.live);
    }

    // At the limit, or outside beyond doubt, the lane counts the pixel; the escape
    // test near the bailout, smooth counts and rebasing at full range are the
    // scalar walk's.
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
        state.m = Diff{at.mzr[l], at.mzi[l], 0.0, 0.0};
    }

    // The group's idle lanes take the next pixels, while there are any.
    void takeNextPixels(Group& g) {
        HWY_ALIGN double mzr[kMaxLanes] = {};
        HWY_ALIGN double mzi[kMaxLanes] = {};
        HWY_ALIGN double kcr[kMaxLanes] = {};
        HWY_ALIGN double kci[kMaxLanes] = {};
        HWY_ALIGN std::int64_t pos[kMaxLanes] = {};
        HWY_ALIGN std::int64_t n[kMaxLanes] = {};
        HWY_ALIGN std::int64_t live[kMaxLanes] = {};
        hn::Store(g.mzr, d_, mzr);
        hn::Store(g.mzi, d_, mzi);
        hn::Store(g.kcr, d_, kcr);
        hn::Store(g.kci, d_, kci);
        hn::Store(g.pos, di_, pos);
        hn::Store(g.n, di_, n);
        for (std::size_t l = 0; l < lanes_; ++l) {
            live[l] = g.pixel[l] >= 0 ? 1 : 0;
            if (g.pixel[l] >= 0 || next_ >= count_)
                continue;
            const LaneStart& start = starts_[next_];
            mzr[l] = start.zr;
            mzi[l] = start.zi;
            kcr[l] = start.kcr;
            kci[l] = start.kci;
            pos[l] = 0;
            n[l] = 0;
            live[l] = 1;
            g.pixel[l] = static_cast<std::ptrdiff_t>(next_++);
        }
        g.mzr = hn::Load(d_, mzr);
        g.mzi = hn::Load(d_, mzi);
        g.kcr = hn::Load(d_, kcr);
        g.kci = hn::Load(d_, kci);
        g.pos = hn::Load(di_, pos);
        g.n = hn::Load(di_, n);
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
    const double* pairs_;
    const LaneStart* starts_;
    LaneState* states_;
    std::size_t count_;
    std::size_t next_ = 0;
    std::size_t lanes_;
    std::size_t refillAt_;
    Group groups_[kGroups];
    V two_;
    V escapeAt_;
    V leastPlain_;
    V criticalZr_;
    V criticalZi_;
    VI oneI_;
    VI lastStepI_;  // n above this: at the limit
    VI primaryLastI_;
    VI criticalStartI_;
    VI criticalLastI_;
    M fixGlitches_;
};

}  // namespace

bool WalkQuadraticLanesTarget(const LaneSetup& setup, const LaneOrbits& orbits,
                              const LaneStart* starts, std::size_t count, LaneState* states,
                              const StopCheck& stop) {
    const hn::ScalableTag<double> d;
    QuadraticLanes<hn::ScalableTag<double>> lanes(d, setup, orbits, starts, count, states);
    return lanes.run(stop);
}

}  // namespace complex::perturbation_detail::HWY_NAMESPACE
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace complex::perturbation_detail {

HWY_EXPORT(WalkQuadraticLanesTarget);

LaneOrbits::LaneOrbits(const ReferenceOrbit& primary, const ReferenceOrbit& critical) {
    if (primary.points.empty() || critical.points.empty())
        return;
    const bool separate = &primary != &critical;
    pairs_.reserve(2 * (primary.points.size() + (separate ? critical.points.size() : 0)));
    for (const OrbitPoint& p : primary.points) {
        pairs_.push_back(p.zr);
        pairs_.push_back(p.zi);
    }
    primaryLast_ = static_cast<std::int64_t>(primary.last());
    criticalStart_ = separate ? primaryLast_ + 1 : 0;
    criticalLast_ = criticalStart_ + static_cast<std::int64_t>(critical.last());
    if (separate) {
        for (const OrbitPoint& p : critical.points) {
            pairs_.push_back(p.zr);
            pairs_.push_back(p.zi);
        }
    }
}

std::size_t LaneOrbits::bytesFor(const ReferenceOrbit& primary, const ReferenceOrbit& critical) {
    const std::size_t states =
        primary.points.size() + (&primary != &critical ? critical.points.size() : 0);
    return states * 2 * sizeof(double);
}

bool walkQuadraticLanes(const LaneSetup& setup, const LaneOrbits& orbits, const LaneStart* starts,
                        std::size_t count, LaneState* states, const StopCheck& stop) {
    if (orbits.empty() || setup.limit < 1) {
        // Nothing for the lanes to walk: every pixel goes to the scalar walk as it starts.
        for (std::size_t k = 0; k < count; ++k) {
            states[k] = LaneState{};
            states[k].exit = LaneExit::kResume;
            states[k].m = Diff{starts[k].zr, starts[k].zi, 0.0, 0.0};
        }
        return true;
    }
    if (count == 0)
        return true;
    return HWY_DYNAMIC_DISPATCH(WalkQuadraticLanesTarget)(setup, orbits, starts, count, states,
                                                          stop);
}

}  // namespace complex::perturbation_detail
#endif
