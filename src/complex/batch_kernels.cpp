// The batch kernels, compiled once per instruction set; the best one the machine has
// is chosen when the first batch runs.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "complex/batch_kernels.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep
#include <hwy/highway.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>

#include "complex/batch_kernels.h"

HWY_BEFORE_NAMESPACE();
namespace complex::kernels::HWY_NAMESPACE {
namespace {

namespace hn = hwy::HWY_NAMESPACE;
using fixed28::Fixed28;

// The plane points of one batch and the settings they share, with the parameters
// converted once.
struct Points {
    Points(const double* xs, const double* ys, const BatchSetup& s) noexcept
        : x(xs),
          y(ys),
          setup(s),
          realFixed(fixed28::toFixed28(s.paramReal)),
          imagFixed(fixed28::toFixed28(s.paramImag)) {}
    const double* x;
    const double* y;
    BatchSetup setup;
    Fixed28 realFixed;
    Fixed28 imagFixed;
    Fixed28 fx(std::size_t i) const noexcept { return fixed28::toFixed28(x[i]); }
    Fixed28 fy(std::size_t i) const noexcept { return fixed28::toFixed28(y[i]); }
    Fixed28 real() const noexcept { return realFixed; }
    Fixed28 imag() const noexcept { return imagFixed; }
};

template <class T>
constexpr std::size_t kMaxLanes = HWY_MAX_BYTES / sizeof(T);
static_assert(kMaxLanes<double> <= 8, "one byte of mask bits per group");

// The double-precision steps. Each keeps the single-point kernel's operations in its
// order (Mul and Add, never a fused multiply-add) and tests the squares from before
// the step.
template <class D>
struct DoubleStep {
    using T = double;
    using V = hn::Vec<D>;
};

template <class D>
struct QuadraticD : DoubleStep<D> {
    using typename DoubleStep<D>::V;
    static constexpr int kStates = 4;  // zr, zi, cr, ci
    QuadraticD(D d, const Points& points, bool isJulia)
        : p(points), julia(isJulia), two(hn::Set(d, 2.0)), four(hn::Set(d, 4.0)) {}
    void start(std::size_t i, double (*fresh)[kMaxLanes<double>], std::size_t l) const noexcept {
        const double a = julia ? p.x[i] : p.setup.paramReal;
        const double b = julia ? p.y[i] : p.setup.paramImag;
        const double c = julia ? p.setup.paramReal : p.x[i];
        const double e = julia ? p.setup.paramImag : p.y[i];
        fresh[0][l] = a;
        fresh[1][l] = b;
        fresh[2][l] = c;
        fresh[3][l] = e;
    }
    HWY_INLINE void load(D d, std::size_t i, V* s) const noexcept {
        const V x = hn::LoadU(d, p.x + i);
        const V y = hn::LoadU(d, p.y + i);
        const V real = hn::Set(d, p.setup.paramReal);
        const V imag = hn::Set(d, p.setup.paramImag);
        s[0] = julia ? x : real;
        s[1] = julia ? y : imag;
        s[2] = julia ? real : x;
        s[3] = julia ? imag : y;
    }
    HWY_INLINE hn::Mask<D> step(V* s) const noexcept {
        const V zr = s[0];
        const V zi = s[1];
        const V xx = hn::Mul(zr, zr);
        const V yy = hn::Mul(zi, zi);
        s[0] = hn::Add(hn::Sub(xx, yy), s[2]);
        s[1] = hn::Add(hn::Mul(hn::Mul(zi, zr), two), s[3]);
        return hn::Ge(hn::Add(yy, xx), four);
    }
    const Points& p;
    bool julia;
    V two;
    V four;
};

template <class D>
struct UnityD : DoubleStep<D> {
    using typename DoubleStep<D>::V;
    static constexpr int kStates = 2;  // zr, zi
    UnityD(D d, const Points& points) : p(points), two(hn::Set(d, 2.0)) {}
    void start(std::size_t i, double (*fresh)[kMaxLanes<double>], std::size_t l) const noexcept {
        fresh[0][l] = p.x[i];
        fresh[1][l] = p.y[i];
    }
    HWY_INLINE void load(D d, std::size_t i, V* s) const noexcept {
        s[0] = hn::LoadU(d, p.x + i);
        s[1] = hn::LoadU(d, p.y + i);
    }
    HWY_INLINE hn::Mask<D> step(V* s) const noexcept {
        const V xx = hn::Mul(s[0], s[0]);
        const V yy = hn::Mul(s[1], s[1]);
        const V k = hn::Add(yy, xx);
        const V t = hn::Sub(two, k);
        s[1] = hn::Mul(t, s[0]);
        s[0] = hn::Mul(t, s[1]);
        return hn::Ge(k, two);
    }
    const Points& p;
    V two;
};

template <class D>
struct SpiderD : DoubleStep<D> {
    using typename DoubleStep<D>::V;
    static constexpr int kStates = 4;  // zr, zi, cr, ci
    SpiderD(D d, const Points& points)
        : p(points), two(hn::Set(d, 2.0)), four(hn::Set(d, 4.0)), half(hn::Set(d, 0.5)) {}
    void start(std::size_t i, double (*fresh)[kMaxLanes<double>], std::size_t l) const noexcept {
        fresh[0][l] = p.setup.paramReal;
        fresh[1][l] = p.setup.paramImag;
        fresh[2][l] = p.x[i];
        fresh[3][l] = p.y[i];
    }
    HWY_INLINE void load(D d, std::size_t i, V* s) const noexcept {
        s[0] = hn::Set(d, p.setup.paramReal);
        s[1] = hn::Set(d, p.setup.paramImag);
        s[2] = hn::LoadU(d, p.x + i);
        s[3] = hn::LoadU(d, p.y + i);
    }
    HWY_INLINE hn::Mask<D> step(V* s) const noexcept {
        const V zr = s[0];
        const V zi = s[1];
        const V xx = hn::Mul(zr, zr);
        const V yy = hn::Mul(zi, zi);
        s[0] = hn::Add(hn::Sub(xx, yy), s[2]);
        s[1] = hn::Add(hn::Mul(hn::Mul(zi, zr), two), s[3]);
        s[2] = hn::Add(hn::Mul(s[2], half), s[0]);
        s[3] = hn::Add(hn::Mul(s[3], half), s[1]);
        return hn::Ge(hn::Add(yy, xx), four);
    }
    const Points& p;
    V two;
    V four;
    V half;
};

template <class D>
struct ManowarD : DoubleStep<D> {
    using typename DoubleStep<D>::V;
    static constexpr int kStates = 6;  // zr, zi, wr, wi, cr, ci
    ManowarD(D d, const Points& points) : p(points), two(hn::Set(d, 2.0)), four(hn::Set(d, 4.0)) {}
    void start(std::size_t i, double (*fresh)[kMaxLanes<double>], std::size_t l) const noexcept {
        fresh[0][l] = p.setup.paramReal;
        fresh[1][l] = p.setup.paramImag;
        fresh[2][l] = p.x[i];
        fresh[3][l] = p.y[i];
        fresh[4][l] = p.x[i];
        fresh[5][l] = p.y[i];
    }
    HWY_INLINE void load(D d, std::size_t i, V* s) const noexcept {
        s[0] = hn::Set(d, p.setup.paramReal);
        s[1] = hn::Set(d, p.setup.paramImag);
        s[2] = s[4] = hn::LoadU(d, p.x + i);
        s[3] = s[5] = hn::LoadU(d, p.y + i);
    }
    HWY_INLINE hn::Mask<D> step(V* s) const noexcept {
        const V zr = s[0];
        const V zi = s[1];
        const V xx = hn::Mul(zr, zr);
        const V yy = hn::Mul(zi, zi);
        s[0] = hn::Add(hn::Add(hn::Sub(xx, yy), s[2]), s[4]);
        s[1] = hn::Add(hn::Add(hn::Mul(hn::Mul(zi, zr), two), s[3]), s[5]);
        s[2] = zr;
        s[3] = zi;
        return hn::Ge(hn::Add(yy, xx), four);
    }
    const Points& p;
    V two;
    V four;
};

template <class D>
struct PhoenixD : DoubleStep<D> {
    using typename DoubleStep<D>::V;
    static constexpr int kStates = 4;  // zr, zi, wr, wi
    PhoenixD(D d, const Points& points)
        : p(points),
          two(hn::Set(d, 2.0)),
          four(hn::Set(d, 4.0)),
          p1(hn::Set(d, points.setup.paramReal)),
          p2(hn::Set(d, points.setup.paramImag)) {}
    void start(std::size_t i, double (*fresh)[kMaxLanes<double>], std::size_t l) const noexcept {
        fresh[0][l] = p.x[i];
        fresh[1][l] = p.y[i];
        fresh[2][l] = 0.0;
        fresh[3][l] = 0.0;
    }
    HWY_INLINE void load(D d, std::size_t i, V* s) const noexcept {
        s[0] = hn::LoadU(d, p.x + i);
        s[1] = hn::LoadU(d, p.y + i);
        s[2] = s[3] = hn::Zero(d);
    }
    HWY_INLINE hn::Mask<D> step(V* s) const noexcept {
        const V zr = s[0];
        const V zi = s[1];
        const V xx = hn::Mul(zr, zr);
        const V yy = hn::Mul(zi, zi);
        s[0] = hn::Add(hn::Add(hn::Mul(p2, s[2]), hn::Sub(xx, yy)), p1);
        s[1] = hn::Add(hn::Mul(p2, s[3]), hn::Mul(hn::Mul(zi, zr), two));
        s[2] = zr;
        s[3] = zi;
        return hn::Ge(hn::Add(yy, xx), four);
    }
    const Points& p;
    V two;
    V four;
    V p1;
    V p2;
};

// Six groups of lanes in flight, each with its own state: while one group's multiply
// is under way the others' can start, which a single chain of dependent steps cannot.
// Between looks the states stay in registers (fewer groups left the units idle on the
// zoomed views; the default view gains little beyond four).
constexpr int kGroups = 6;
// Steps between looks at how many lanes have finished: the steps between looks are
// taken without counting, and taken again counting in the rare group where a lane
// escaped or reached the limit among them.
constexpr int kStepsPerLook = 8;
// Looks between two looks at the run's flags: a stop or a pause is seen within a few
// hundred steps, and the flags cost nothing measurable.
constexpr unsigned kLooksPerInterruptCheck = 16;

// The first steps of every point, taken before the lanes: a point done within them (a
// view far from the set escapes mostly at its first or second step) gets its count
// here, from whole vectors that step together and hand nothing over; the others wait,
// with their state and count after those steps, for a lane. A lane then takes only
// points that live longer, so its hand-over, whose branches the processor cannot
// predict, comes rarely.
constexpr int kFirstSteps = 8;
// Points stepped ahead at a time: few enough that their states stay in the first-level
// cache until the lanes take them.
constexpr std::size_t kWaitingPoints = 256;
// Vectors stepped side by side, so that one's multiply overlaps the others'.
constexpr std::size_t kFirstVectors = 4;

template <class D, class F>
class FirstSteps {
  public:
    using T = hn::TFromD<D>;
    using V = hn::Vec<D>;
    using M = hn::Mask<D>;
    static constexpr int K = F::kStates;
    static constexpr std::size_t kMax = kMaxLanes<T>;

    HWY_INLINE FirstSteps(D d, const F& f, std::size_t count, int limit, int* counts) noexcept
        : d_(d),
          f_(f),
          count_(count),
          counts_(counts),
          lanes_(hn::Lanes(d)),
          limit_(limit),
          steps_(limit < kFirstSteps ? limit : kFirstSteps) {}

    bool empty() const noexcept { return taken_ == waiting_ && next_ >= count_; }

    // The next waiting point for lane l: its state into fresh, its count so far into
    // stepped, its index into index. False when no point is left.
    HWY_INLINE bool take(T (*fresh)[kMax], std::int64_t* stepped, std::size_t l,
                         std::ptrdiff_t& index) noexcept {
        while (taken_ == waiting_) {
            if (next_ >= count_)
                return false;
            stepAhead();
        }
        for (int k = 0; k < K; ++k)
            fresh[k][l] = state_[k][taken_];
        stepped[l] = steps_;
        index = index_[taken_++];
        return true;
    }

  private:
    using DI = hn::RebindToSigned<D>;
    using VI = hn::Vec<DI>;

    // The first steps of the next kWaitingPoints points (fewer at the end).
    void stepAhead() noexcept {
        waiting_ = taken_ = 0;
        const std::size_t end =
            next_ + (count_ - next_ < kWaitingPoints ? count_ - next_ : kWaitingPoints);
        const std::size_t block = lanes_ * kFirstVectors;
        while (next_ < end) {
            const std::size_t n = end - next_ < block ? end - next_ : block;
            stepVectors(next_, n);
            next_ += n;
        }
    }

    // Points first..first + n - 1 in kFirstVectors vectors; the lanes beyond them
    // step a copy of the first point and report nothing.
    HWY_INLINE void stepVectors(std::size_t first, std::size_t n) noexcept {
        V s[kFirstVectors][K];
        VI counted[kFirstVectors];
        M done[kFirstVectors];
        HWY_UNROLL(8)
        for (std::size_t v = 0; v < kFirstVectors; ++v) {
            startVector(first, n, v, s[v]);
            counted[v] = hn::Zero(di_);
            done[v] = hn::FirstN(d_, 0);
        }
        for (int j = 1; j <= steps_; ++j) {
            const VI step = hn::Set(di_, j);
            M all = hn::Not(hn::FirstN(d_, 0));
            HWY_UNROLL(8)
            for (std::size_t v = 0; v < kFirstVectors; ++v) {
                const M escaped = f_.step(s[v]);
                // At the limit every point still counting is done, as in the lanes.
                const M finished = j == limit_ ? hn::Not(hn::FirstN(d_, 0)) : escaped;
                const M now = hn::AndNot(done[v], finished);
                counted[v] = hn::IfThenElse(hn::RebindMask(di_, now), step, counted[v]);
                done[v] = hn::Or(done[v], finished);
                all = hn::And(all, done[v]);
            }
            if (hn::AllTrue(d_, all))
                break;
        }
        for (std::size_t v = 0; v < kFirstVectors && v * lanes_ < n; ++v) {
            const std::size_t at = first + v * lanes_;
            const std::size_t valid = n - v * lanes_ < lanes_ ? n - v * lanes_ : lanes_;
            keepCounts(counted[v], at, valid);
            keepWaiting(s[v], hn::AndNot(done[v], hn::FirstN(d_, valid)), at);
        }
    }

    // The state of the points first + v * lanes_ on: straight from the plane points
    // where the formula loads whole vectors of them and the vector is full.
    HWY_INLINE void startVector(std::size_t first, std::size_t n, std::size_t v,
                                V* s) const noexcept {
        if constexpr (requires { f_.load(d_, first, s); }) {
            if ((v + 1) * lanes_ <= n) {
                f_.load(d_, first + v * lanes_, s);
                return;
            }
        }
        HWY_ALIGN T start[K][kMax] = {};
        for (std::size_t l = 0; l < lanes_; ++l) {
            const std::size_t i = v * lanes_ + l;
            f_.start(i < n ? first + i : first, start, l);
        }
        for (int k = 0; k < K; ++k)
            s[k] = hn::Load(d_, start[k]);
    }

    // Every point's count after the first steps, written without looking at which
    // are done: a point that waits for a lane gets its final count from the lane.
    HWY_INLINE void keepCounts(VI counted, std::size_t at, std::size_t valid) noexcept {
        if (valid == lanes_) {
            const hn::RebindToUnsigned<D> du;
            const hn::Rebind<std::uint32_t, D> d32;
            hn::StoreU(hn::TruncateTo(d32, hn::BitCast(du, counted)), d32,
                       reinterpret_cast<std::uint32_t*>(counts_ + at));
            return;
        }
        HWY_ALIGN std::int64_t counts[kMax];
        hn::Store(counted, di_, counts);
        for (std::size_t l = 0; l < valid; ++l)
            counts_[at + l] = static_cast<int>(counts[l]);
    }

    // The points of wait with their state, packed behind the ones waiting already.
    HWY_INLINE void keepWaiting(const V* s, M wait, std::size_t at) noexcept {
#if HWY_TARGET <= HWY_AVX3
        // Packed in registers and stored whole: a compressing store to memory takes a
        // hundred cycles and more on some processors, and the library's portable
        // compress copies a table on every call.
        if constexpr (sizeof(V) == 64) {
            for (int k = 0; k < K; ++k)
                packInto(s[k], wait, &state_[k][waiting_]);
            packInto(hn::BitCast(d_, hn::Iota(di_, static_cast<std::int64_t>(at))), wait,
                     reinterpret_cast<T*>(&index_[waiting_]));
            waiting_ += hn::CountTrue(d_, wait);
            return;
        }
#endif
        HWY_ALIGN T lanes[K][kMax];
        for (int k = 0; k < K; ++k)
            hn::Store(s[k], d_, lanes[k]);
        std::uint8_t bits[8] = {};
        hn::StoreMaskBits(d_, wait, bits);
        for (unsigned pending = bits[0]; pending != 0; pending &= pending - 1) {
            const auto l = static_cast<std::size_t>(__builtin_ctz(pending));
            for (int k = 0; k < K; ++k)
                state_[k][waiting_] = lanes[k][l];
            index_[waiting_++] = static_cast<std::int64_t>(at + l);
        }
    }

#if HWY_TARGET <= HWY_AVX3
    // The lanes of v in keep, packed to the front of out; writes a whole vector.
    static HWY_INLINE void packInto(V v, M keep, T* out) noexcept {
        const D d;
        const hn::RebindToUnsigned<D> du;
        using VU = hn::Vec<hn::RebindToUnsigned<D>>;
        const VU packed{_mm512_maskz_compress_epi64(keep.raw, hn::BitCast(du, v).raw)};
        hn::StoreU(hn::BitCast(d, packed), d, out);
    }
#endif

    D d_;
    DI di_{};
    const F& f_;
    std::size_t count_;
    int* counts_;
    std::size_t lanes_;
    int limit_;
    int steps_;
    std::size_t next_ = 0;
    std::size_t waiting_ = 0;
    std::size_t taken_ = 0;
    // A compressed store may write a whole vector past the last point it keeps.
    T state_[K][kWaitingPoints + kMax];
    std::int64_t index_[kWaitingPoints + kMax];
};

// kGroups groups of Lanes(d) lanes, each lane with its point's index, state and count.
// A lane whose point escapes or reaches the limit stops counting (its count is
// frozen; its state runs on unused) until it reports its count and takes the next
// point that outlived the first steps.
template <class D, class F>
class LaneGroups {
  public:
    using T = hn::TFromD<D>;
    using V = hn::Vec<D>;
    using M = hn::Mask<D>;
    static constexpr int K = F::kStates;
    static constexpr std::size_t kMax = kMaxLanes<T>;

    HWY_INLINE LaneGroups(D d, const F& f, FirstSteps<D, F>& waiting, int limit,
                          int* counts) noexcept
        : d_(d),
          f_(f),
          waiting_(waiting),
          counts_(counts),
          lanes_(hn::Lanes(d)),
          handOver_(lanes_ > 1 ? lanes_ / 2 : 1),
          oneI_(hn::Set(di_, std::int64_t{1})),
          lookI_(hn::Set(di_, std::int64_t{kStepsPerLook})),
          limitI_(hn::Set(di_, std::int64_t{limit})),
          belowLimitI_(hn::Set(di_, std::int64_t{limit} - 1)) {
        const V zero = hn::Zero(d_);
        for (int g = 0; g < kGroups; ++g) {
            for (std::size_t l = 0; l < lanes_; ++l)
                index_[g][l] = -1;
            for (int k = 0; k < K; ++k)
                s_[g][k] = zero;
            n_[g] = hn::Zero(di_);
            active_[g] = hn::FirstN(d_, 0);
            handOverIdle(g);
        }
    }

    // kStepsPerLook steps of every group. They run on copies in registers without
    // counting, gathering only whether a lane escaped; a group in which an active lane
    // escaped or reached the limit keeps its state from before the steps and takes
    // them again one by one, counting, which finds each lane's count exactly.
    HWY_INLINE void step() noexcept {
        V s[kGroups][K];
        M escaped[kGroups];
        HWY_UNROLL(8)
        for (int g = 0; g < kGroups; ++g) {
            HWY_UNROLL(8)
            for (int k = 0; k < K; ++k)
                s[g][k] = s_[g][k];
            escaped[g] = hn::FirstN(d_, 0);
        }
        HWY_UNROLL(8)
        for (int i = 0; i < kStepsPerLook; ++i) {
            HWY_UNROLL(8)
            for (int g = 0; g < kGroups; ++g)
                escaped[g] = hn::Or(escaped[g], f_.step(s[g]));
        }
        HWY_UNROLL(8)
        for (int g = 0; g < kGroups; ++g) {
            const M last = hn::RebindMask(d_, hn::Gt(hn::Add(n_[g], lookI_), belowLimitI_));
            if (hn::AllFalse(d_, hn::And(active_[g], hn::Or(escaped[g], last)))) {
                HWY_UNROLL(8)
                for (int k = 0; k < K; ++k)
                    s_[g][k] = s[g][k];
                n_[g] = hn::Add(n_[g], hn::IfThenElseZero(hn::RebindMask(di_, active_[g]), lookI_));
                continue;
            }
            for (int i = 0; i < kStepsPerLook; ++i)
                countedStep(g);
        }
    }

    bool pointsLeft() const noexcept { return !waiting_.empty(); }

    // Once half a group's lanes have stopped, they report their counts and take the
    // next points. Handing over several lanes at once keeps the bookkeeping, whose
    // branches the processor cannot predict, away from most steps.
    HWY_INLINE void refill() noexcept {
        for (int g = 0; g < kGroups; ++g) {
            if (lanes_ - hn::CountTrue(d_, active_[g]) >= handOver_)
                handOverIdle(g);
        }
    }

    // With no points left: once every lane has stopped, all report their counts.
    HWY_INLINE bool finish() noexcept {
        M any = active_[0];
        for (int g = 1; g < kGroups; ++g)
            any = hn::Or(any, active_[g]);
        if (!hn::AllFalse(d_, any))
            return false;
        for (int g = 0; g < kGroups; ++g)
            handOverIdle(g);
        return true;
    }

  private:
    // Counts run in 64-bit integer lanes, which leaves the floating-point units to the
    // kernel's own arithmetic.
    using DI = hn::RebindToSigned<D>;
    using VI = hn::Vec<DI>;

    // One step of group g: active lanes count it and stop on an escape or at the limit.
    HWY_INLINE void countedStep(int g) noexcept {
        n_[g] = hn::Add(n_[g], hn::IfThenElseZero(hn::RebindMask(di_, active_[g]), oneI_));
        const M escaped = f_.step(s_[g]);
        const M limited = hn::RebindMask(d_, hn::Eq(n_[g], limitI_));
        active_[g] = hn::AndNot(hn::Or(escaped, limited), active_[g]);
    }

    // Every lane of group g that is not active reports its point's count, if it has a
    // point, and takes the next waiting point, if there is one.
    HWY_INLINE void handOverIdle(int g) noexcept {
        const M idle = hn::Not(active_[g]);
        std::uint8_t bits[8] = {};
        hn::StoreMaskBits(d_, idle, bits);
        hn::Store(n_[g], di_, countOut_);
        for (unsigned pending = bits[0]; pending != 0; pending &= pending - 1) {
            const auto l = static_cast<std::size_t>(__builtin_ctz(pending));
            if (index_[g][l] >= 0)
                counts_[index_[g][l]] = static_cast<int>(countOut_[l]);
            if (waiting_.take(fresh_, stepped_, l, index_[g][l])) {
                freshLive_[l] = T(1);
            } else {
                index_[g][l] = -1;
                freshLive_[l] = T(0);
            }
        }
        for (int k = 0; k < K; ++k)
            s_[g][k] = hn::IfThenElse(idle, hn::Load(d_, fresh_[k]), s_[g][k]);
        const auto idleI = hn::RebindMask(di_, idle);
        n_[g] = hn::IfThenElse(idleI, hn::Load(di_, stepped_), n_[g]);
        active_[g] =
            hn::Or(active_[g], hn::And(idle, hn::Eq(hn::Load(d_, freshLive_), hn::Set(d_, T(1)))));
    }

    D d_;
    DI di_{};
    const F& f_;
    FirstSteps<D, F>& waiting_;
    int* counts_;
    std::size_t lanes_;
    std::size_t handOver_;
    HWY_ALIGN T fresh_[K][kMax] = {};
    HWY_ALIGN T freshLive_[kMax] = {};
    HWY_ALIGN std::int64_t stepped_[kMax] = {};
    HWY_ALIGN std::int64_t countOut_[kMax] = {};
    std::ptrdiff_t index_[kGroups][kMax];
    V s_[kGroups][K];
    VI n_[kGroups];
    M active_[kGroups];
    VI oneI_;
    VI lookI_;
    VI limitI_;
    VI belowLimitI_;
};

// Runs the points 0..count-1 through kGroups x Lanes(d) lanes; false when the run's
// flags asked for a stop.
template <class D, class F>
HWY_INLINE bool runLanes(D d, const F& f, std::size_t count, int limit, int* counts,
                         const BatchInterrupt* interrupt) noexcept {
    FirstSteps<D, F> waiting(d, f, count, limit, counts);
    LaneGroups<D, F> groups(d, f, waiting, limit, counts);
    for (unsigned look = 1;; ++look) {
        if (interrupt != nullptr && look % kLooksPerInterruptCheck == 0 && interrupt->requested())
            return false;
        groups.step();
        if (groups.pointsLeft())
            groups.refill();
        else if (groups.finish())
            return true;
    }
}

// A formula the lanes do not know, as the single-point kernel answers it.
bool countEachPoint(const Points& p, std::size_t count, int* counts) noexcept {
    for (std::size_t i = 0; i < count; ++i)
        counts[i] = countPoint(p.setup, p.x[i], p.y[i]);
    return true;
}

#if HWY_TARGET <= HWY_AVX3
// Fixed point in 64-bit lanes, where the machine multiplies them in one instruction.
// The word is unsigned so that products and sums wrap; shifts and the signed test go
// through the signed view, as in the single-point kernels.
template <class D>
struct FixedStep {
    using T = std::uint64_t;
    using V = hn::Vec<D>;
    using DI = hn::RebindToSigned<D>;
    static HWY_INLINE V mul(V a, V b) noexcept {
        const D d;
        const DI di;
        return hn::BitCast(d, hn::ShiftRight<fixed28::kFractionBits>(hn::BitCast(di, a * b)));
    }
    static HWY_INLINE V dbl(V a, V b) noexcept {
        const D d;
        const DI di;
        return hn::BitCast(d, hn::ShiftRight<fixed28::kFractionBits - 1>(hn::BitCast(di, a * b)));
    }
    static HWY_INLINE V half(V a) noexcept {
        const D d;
        const DI di;
        return hn::BitCast(d, hn::ShiftRight<1>(hn::BitCast(di, a)));
    }
};

template <class D>
struct QuadraticF : FixedStep<D> {
    using Base = FixedStep<D>;
    using typename Base::V;
    static constexpr int kStates = 4;  // zr, zi, cr, ci
    QuadraticF(D d, const Points& points, bool isJulia)
        : p(points), julia(isJulia), fourLess(hn::Set(d, fixed28::kFour - 1)) {}
    void start(std::size_t i, Fixed28 (*fresh)[kMaxLanes<Fixed28>], std::size_t l) const noexcept {
        fresh[0][l] = julia ? p.fx(i) : p.real();
        fresh[1][l] = julia ? p.fy(i) : p.imag();
        fresh[2][l] = julia ? p.real() : p.fx(i);
        fresh[3][l] = julia ? p.imag() : p.fy(i);
    }
    HWY_INLINE hn::Mask<D> step(V* s) const noexcept {
        const V zr = s[0];
        const V zi = s[1];
        const V xx = Base::mul(zr, zr);
        const V yy = Base::mul(zi, zi);
        s[0] = hn::Add(xx, hn::Sub(s[2], yy));
        s[1] = hn::Add(Base::dbl(zr, zi), s[3]);
        return hn::Gt(hn::Add(xx, yy), fourLess);  // unsigned: a wrapped sum escapes
    }
    const Points& p;
    bool julia;
    V fourLess;
};

template <class D>
struct UnityF : FixedStep<D> {
    using Base = FixedStep<D>;
    using typename Base::V;
    static constexpr int kStates = 2;  // zr, zi
    UnityF(D d, const Points& points)
        : p(points),
          two(hn::Set(d, fixed28::kTwo)),
          twoLess(hn::Set(hn::RebindToSigned<D>(), fixed28::toSigned(fixed28::kTwo) - 1)) {}
    void start(std::size_t i, Fixed28 (*fresh)[kMaxLanes<Fixed28>], std::size_t l) const noexcept {
        fresh[0][l] = p.fx(i);
        fresh[1][l] = p.fy(i);
    }
    HWY_INLINE hn::Mask<D> step(V* s) const noexcept {
        const D d;
        const hn::RebindToSigned<D> di;
        const V k = hn::Add(Base::mul(s[0], s[0]), Base::mul(s[1], s[1]));
        const V t = hn::Sub(two, k);
        s[1] = Base::mul(t, s[0]);
        s[0] = Base::mul(t, s[1]);
        // Signed: a k that wrapped negative does not escape.
        return hn::RebindMask(d, hn::Gt(hn::BitCast(di, k), twoLess));
    }
    const Points& p;
    V two;
    hn::Vec<hn::RebindToSigned<D>> twoLess;
};

template <class D>
struct SpiderF : FixedStep<D> {
    using Base = FixedStep<D>;
    using typename Base::V;
    static constexpr int kStates = 4;  // zr, zi, cr, ci
    SpiderF(D d, const Points& points) : p(points), fourLess(hn::Set(d, fixed28::kFour - 1)) {}
    void start(std::size_t i, Fixed28 (*fresh)[kMaxLanes<Fixed28>], std::size_t l) const noexcept {
        fresh[0][l] = p.real();
        fresh[1][l] = p.imag();
        fresh[2][l] = p.fx(i);
        fresh[3][l] = p.fy(i);
    }
    HWY_INLINE hn::Mask<D> step(V* s) const noexcept {
        const V zr = s[0];
        const V zi = s[1];
        const V xx = Base::mul(zr, zr);
        const V yy = Base::mul(zi, zi);
        s[0] = hn::Add(xx, hn::Sub(s[2], yy));
        s[1] = hn::Add(Base::dbl(zr, zi), s[3]);
        s[2] = hn::Add(Base::half(s[2]), s[0]);
        s[3] = hn::Add(Base::half(s[3]), s[1]);
        return hn::Gt(hn::Add(xx, yy), fourLess);
    }
    const Points& p;
    V fourLess;
};

template <class D>
struct ManowarF : FixedStep<D> {
    using Base = FixedStep<D>;
    using typename Base::V;
    static constexpr int kStates = 6;  // zr, zi, wr, wi, cr, ci
    ManowarF(D d, const Points& points) : p(points), fourLess(hn::Set(d, fixed28::kFour - 1)) {}
    void start(std::size_t i, Fixed28 (*fresh)[kMaxLanes<Fixed28>], std::size_t l) const noexcept {
        fresh[0][l] = p.real();
        fresh[1][l] = p.imag();
        fresh[2][l] = fresh[4][l] = p.fx(i);
        fresh[3][l] = fresh[5][l] = p.fy(i);
    }
    HWY_INLINE hn::Mask<D> step(V* s) const noexcept {
        const V zr = s[0];
        const V zi = s[1];
        const V xx = Base::mul(zr, zr);
        const V yy = Base::mul(zi, zi);
        s[0] = hn::Add(xx, hn::Sub(hn::Add(s[4], s[2]), yy));
        s[1] = hn::Add(hn::Add(Base::dbl(zr, zi), s[5]), s[3]);
        s[2] = zr;
        s[3] = zi;
        return hn::Gt(hn::Add(xx, yy), fourLess);
    }
    const Points& p;
    V fourLess;
};

template <class D>
struct PhoenixF : FixedStep<D> {
    using Base = FixedStep<D>;
    using typename Base::V;
    static constexpr int kStates = 4;  // zr, zi, wr, wi
    PhoenixF(D d, const Points& points)
        : p(points),
          fourLess(hn::Set(d, fixed28::kFour - 1)),
          p1(hn::Set(d, points.real())),
          p2(hn::Set(d, points.imag())) {}
    void start(std::size_t i, Fixed28 (*fresh)[kMaxLanes<Fixed28>], std::size_t l) const noexcept {
        fresh[0][l] = p.fx(i);
        fresh[1][l] = p.fy(i);
        fresh[2][l] = 0;
        fresh[3][l] = 0;
    }
    HWY_INLINE hn::Mask<D> step(V* s) const noexcept {
        const V zr = s[0];
        const V zi = s[1];
        const V xx = Base::mul(zr, zr);
        const V yy = Base::mul(zi, zi);
        s[0] = hn::Add(xx, hn::Sub(hn::Add(Base::mul(p2, s[2]), p1), yy));
        s[1] = hn::Add(Base::mul(p2, s[3]), Base::dbl(zr, zi));
        s[2] = zr;
        s[3] = zi;
        return hn::Gt(hn::Add(xx, yy), fourLess);
    }
    const Points& p;
    V fourLess;
    V p1;
    V p2;
};

bool countFixedLanes(const Points& p, std::size_t count, int* counts,
                     const BatchInterrupt* interrupt) noexcept {
    const hn::ScalableTag<std::uint64_t> d;
    const int limit = p.setup.limit;
    switch (p.setup.formula) {
        case Formula::kMandelbrot:
            return runLanes(d, QuadraticF(d, p, false), count, limit, counts, interrupt);
        case Formula::kJulia:
            return runLanes(d, QuadraticF(d, p, true), count, limit, counts, interrupt);
        case Formula::kUnity:
            return runLanes(d, UnityF(d, p), count, limit, counts, interrupt);
        case Formula::kSpider:
            return runLanes(d, SpiderF(d, p), count, limit, counts, interrupt);
        case Formula::kManowar:
            return runLanes(d, ManowarF(d, p), count, limit, counts, interrupt);
        case Formula::kPhoenix:
            return runLanes(d, PhoenixF(d, p), count, limit, counts, interrupt);
    }
    return countEachPoint(p, count, counts);
}
#endif

bool countDoubleLanes(const Points& p, std::size_t count, int* counts,
                      const BatchInterrupt* interrupt) noexcept {
    const hn::ScalableTag<double> d;
    const int limit = p.setup.limit;
    switch (p.setup.formula) {
        case Formula::kMandelbrot:
            return runLanes(d, QuadraticD(d, p, false), count, limit, counts, interrupt);
        case Formula::kJulia:
            return runLanes(d, QuadraticD(d, p, true), count, limit, counts, interrupt);
        case Formula::kUnity:
            return runLanes(d, UnityD(d, p), count, limit, counts, interrupt);
        case Formula::kSpider:
            return runLanes(d, SpiderD(d, p), count, limit, counts, interrupt);
        case Formula::kManowar:
            return runLanes(d, ManowarD(d, p), count, limit, counts, interrupt);
        case Formula::kPhoenix:
            return runLanes(d, PhoenixD(d, p), count, limit, counts, interrupt);
    }
    return countEachPoint(p, count, counts);
}

}  // namespace

// Fixed point goes into vector lanes where the machine multiplies 64-bit lanes in one
// instruction. Elsewhere the single-point kernel runs point by point: emulated 64-bit
// vector multiplies, and scalar pixels interleaved in one loop, both measured slower
// than one pixel at a time.
bool CountBatchTarget(const BatchSetup& setup, const double* x, const double* y, std::size_t count,
                      int* counts, const BatchInterrupt* interrupt) {
    const Points points{x, y, setup};
    if (!setup.integer)
        return countDoubleLanes(points, count, counts, interrupt);
#if HWY_TARGET <= HWY_AVX3
    return countFixedLanes(points, count, counts, interrupt);
#else
    for (std::size_t i = 0; i < count; ++i) {
        if (interrupt != nullptr && interrupt->requested())
            return false;
        counts[i] = countPoint(setup, x[i], y[i]);
    }
    return true;
#endif
}

}  // namespace complex::kernels::HWY_NAMESPACE
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace complex::kernels {

HWY_EXPORT(CountBatchTarget);

bool countBatch(const BatchSetup& setup, const double* x, const double* y, std::size_t count,
                int* counts, const BatchInterrupt* interrupt) noexcept {
    // Without a positive limit a slot would never finish; the single-point kernel
    // answers such a batch at once.
    if (setup.limit < 1) {
        for (std::size_t i = 0; i < count; ++i)
            counts[i] = countPoint(setup, x[i], y[i]);
        return true;
    }
    if (count == 0)
        return true;
    return HWY_DYNAMIC_DISPATCH(CountBatchTarget)(setup, x, y, count, counts, interrupt);
}

std::string vectorTargetName() {
    const std::int64_t best = hwy::SupportedTargets() & HWY_TARGETS;
    return hwy::TargetName(best & -best);
}

void forEachVectorTarget(const std::function<void(const std::string& name)>& check) {
    for (const std::int64_t target : hwy::SupportedAndGeneratedTargets()) {
        hwy::SetSupportedTargetsForTest(target);
        check(hwy::TargetName(target));
    }
    hwy::SetSupportedTargetsForTest(0);
}

}  // namespace complex::kernels
#endif
