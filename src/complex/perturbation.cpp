#include "complex/perturbation.h"
#include "numeric/mpfr_access.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <type_traits>

namespace complex {

namespace {

// The differences of a pixel from its reference are iterated in double, as mantissas
// m of one shared power of two S = 2^s: d = S m. While the largest part of d is at
// least 2^-500 (or all are 0), S is 1 and the loop is plain double arithmetic: d^2
// and the products with the reference stay normal doubles with all 53 bits (numbers
// below 2^-1022 would lose bits, and cost a hundred times as much on common
// processors). Below that the pixel goes on scaled, which is an extended-exponent
// number whose exponent the parts share, until d has grown past 2^-460 again (the
// gap keeps a difference near the border from changing sides at every step). Scaled,
// m is kept within 2^-64..2^64 by moving powers of two into s. In the recurrences
// every term that is quadratic in d carries one factor S (d^2 = S (S m^2)), and
// every term that does not depend on d (the pixel's dc) is divided by S. Those
// quadratic terms, and d beside Z in the full iterate, are below what counts unless
// the reference is within 2^-400 of 0, so the scaled steps drop them elsewhere (see
// termScale), and always where S m would fall below double's normal range
// (s < -958).
constexpr std::int64_t kLeastPlainExponent = -500;
constexpr std::int64_t kBackToPlainExponent = -460;
constexpr std::int64_t kLeastScaleExponent = -958;
constexpr int kRescaleExponent = 64;
// A pixel of Spider, Manowar or Phoenix is counted directly once its iterate is this
// close to 0 relative to the reference's (squared: a thousandth of the magnitude).
constexpr double kGlitchTolerance = 1e-6;
constexpr long kMostIndex = 1L << 40;
constexpr std::int64_t kNoExponent = std::numeric_limits<std::int64_t>::min();

// The pixel's state minus the reference's, as mantissas of S: the iterate z and the
// type's second value a.
struct Diff {
    double zr = 0.0, zi = 0.0, ar = 0.0, ai = 0.0;
};

// The same at full range, where the pixel changes between plain and scaled.
struct ExtDiff {
    numeric::ExtFloat zr, zi, ar, ai;
};

// What a pixel adds to its reference besides the differences: dc (Mandelbrot,
// Manowar) and Phoenix's p2, and the scale S with dc / S.
struct Pixel {
    numeric::ExtFloat dcr, dci;
    double p2 = 0.0;
    std::int64_t s = 0;
    double scale = 1.0;
    double kcr = 0.0, kci = 0.0;
    // The largest mantissa before a rescaling, or before going back to plain double.
    double highest = 0x1p64;

    void setScale(std::int64_t exponent) {
        s = exponent;
        scale = exponent < kLeastScaleExponent
                    ? 0.0
                    : std::ldexp(1.0, static_cast<int>(std::min<std::int64_t>(exponent, 2000)));
        kcr = shifted(dcr, exponent);
        kci = shifted(dci, exponent);
        setHighest();
    }
    // Moves 2^e from the mantissas m into S. Multiplying by a power of two is exact,
    // and cheaper than recomputing dc / S from dc.
    void rescale(int e, Diff& m) {
        if (e < -960 || e > 960) {
            m.zr = std::ldexp(m.zr, -e);
            m.zi = std::ldexp(m.zi, -e);
            m.ar = std::ldexp(m.ar, -e);
            m.ai = std::ldexp(m.ai, -e);
            setScale(s + e);
            return;
        }
        const double f = std::ldexp(1.0, -e);
        m.zr *= f;
        m.zi *= f;
        m.ar *= f;
        m.ai *= f;
        s += e;
        scale = s < kLeastScaleExponent ? 0.0 : std::ldexp(1.0, static_cast<int>(s));
        setHighest();
        // A constant this far below the mantissas no longer counts; as 0 it costs
        // nothing, where a number below double's normal range would be slow.
        kcr = std::fabs(kcr * f) < 0x1p-1000 ? 0.0 : kcr * f;
        kci = std::fabs(kci * f) < 0x1p-1000 ? 0.0 : kci * f;
    }
    void setHighest() {
        const std::int64_t room = kBackToPlainExponent - s;
        highest = room >= kRescaleExponent
                      ? 0x1p64
                      : std::ldexp(1.0, static_cast<int>(std::max<std::int64_t>(room, -1100)));
    }
    // v / 2^exponent as a double.
    static double shifted(const numeric::ExtFloat& v, std::int64_t exponent) {
        if (exponent == 0)
            return v.toDouble();
        return v.isZero()
                   ? 0.0
                   : numeric::ExtFloat::fromParts(v.mantissa(), v.exponent() - exponent).toDouble();
    }
};

// How a step treats the terms that are quadratic in d: plain (S = 1), scaled (S m), or
// linear, where they are below what counts (scaled with S taken as 0) and the step
// is one operation shorter.
enum class StepMode { kPlain, kScaled, kLinear };

// x + S m as the mode has it.
template <StepMode kMode>
inline double withTerm(double x, double S, double m) {
    if constexpr (kMode == StepMode::kPlain)
        return x + m;
    else if constexpr (kMode == StepMode::kScaled)
        return x + S * m;
    else
        return x;
}

// (2 Z + d) d / S: the part of (Z + d)^2 - Z^2 that is left when Z^2 cancels.
template <StepMode kMode>
inline void squareDifference(const OrbitPoint& ref, const Diff& m, double S, double& outR,
                             double& outI) {
    const double a = withTerm<kMode>(2.0 * ref.zr, S, m.zr);
    const double b = withTerm<kMode>(2.0 * ref.zi, S, m.zi);
    outR = (a * m.zr) - (b * m.zi);
    outI = (a * m.zi) + (b * m.zr);
}

// Mandelbrot and Julia: z' = z^2 + c. With z = Z + dz and c = C + dc:
//   Z' + dz' = Z^2 + 2 Z dz + dz^2 + C + dc, so dz' = (2 Z + dz) dz + dc.
// Julia's c is the parameter for every pixel (dc = 0); Mandelbrot's z(0) is the
// parameter for every pixel (dz(0) = 0).
struct QuadraticRule {
    static constexpr bool kRebases = true;
    template <StepMode kMode>
    static void step(const OrbitPoint& ref, const OrbitPoint&, Diff& m, const Pixel& px, double S) {
        double sr, si;
        squareDifference<kMode>(ref, m, S, sr, si);
        m.zr = sr + px.kcr;
        m.zi = si + px.kci;
    }
};

// Unity, a real map of (x, y): k = x^2 + y^2, t = 2 - k, y' = t x, x' = t y'.
// With x = X + dx, y = Y + dy and t = T + dt (T = 2 - K kept with the reference):
//   dk  = (2 X + dx) dx + (2 Y + dy) dy,   dt = -dk,
//   dy' = (T + dt)(X + dx) - T X = T dx + dt (X + dx),
//   dx' = (T + dt)(Y' + dy') - T Y' = T dy' + dt (Y' + dy'),
// where Y' is the reference's next y (its next state).
struct UnityRule {
    static constexpr bool kRebases = true;
    template <StepMode kMode>
    static void step(const OrbitPoint& ref, const OrbitPoint& next, Diff& m, const Pixel&,
                     double S) {
        const double dk = (withTerm<kMode>(2.0 * ref.zr, S, m.zr) * m.zr) +
                          (withTerm<kMode>(2.0 * ref.zi, S, m.zi) * m.zi);
        const double dt = -dk;
        const double dy = (ref.ar * m.zr) + (dt * withTerm<kMode>(ref.zr, S, m.zr));
        const double dx = (ref.ar * dy) + (dt * withTerm<kMode>(next.zi, S, dy));
        m.zr = dx;
        m.zi = dy;
    }
};

// Spider: z' = z^2 + c, c' = c / 2 + z'. With z = Z + dz and c = C + dc:
//   dz' = (2 Z + dz) dz + dc,   dc' = dc / 2 + dz'.
// dz(0) = 0 (z(0) is the parameter), dc(0) is the pixel's offset.
struct SpiderRule {
    static constexpr bool kRebases = false;
    template <StepMode kMode>
    static void step(const OrbitPoint& ref, const OrbitPoint&, Diff& m, const Pixel&, double S) {
        double sr, si;
        squareDifference<kMode>(ref, m, S, sr, si);
        m.zr = sr + m.ar;
        m.zi = si + m.ai;
        m.ar = (m.ar * 0.5) + m.zr;
        m.ai = (m.ai * 0.5) + m.zi;
    }
};

// Manowar: z' = z^2 + w + c, w' = z. With z = Z + dz, w = W + dw, c = C + dc:
//   dz' = (2 Z + dz) dz + dw + dc,   dw' = dz.
// dz(0) = 0 (the parameter), dw(0) = dc (w starts as c).
struct ManowarRule {
    static constexpr bool kRebases = false;
    template <StepMode kMode>
    static void step(const OrbitPoint& ref, const OrbitPoint&, Diff& m, const Pixel& px, double S) {
        double sr, si;
        squareDifference<kMode>(ref, m, S, sr, si);
        const double oldR = m.zr;
        const double oldI = m.zi;
        m.zr = (sr + m.ar) + px.kcr;
        m.zi = (si + m.ai) + px.kci;
        m.ar = oldR;
        m.ai = oldI;
    }
};

// Phoenix: z' = z^2 + p1 + p2 w, w' = z (p1 real, p2 real scaling both parts of w).
// With z = Z + dz and w = W + dw: dz' = (2 Z + dz) dz + p2 dw,   dw' = dz.
// dz(0) is the pixel's offset, dw(0) = 0.
struct PhoenixRule {
    static constexpr bool kRebases = false;
    template <StepMode kMode>
    static void step(const OrbitPoint& ref, const OrbitPoint&, Diff& m, const Pixel& px, double S) {
        double sr, si;
        squareDifference<kMode>(ref, m, S, sr, si);
        const double oldR = m.zr;
        const double oldI = m.zi;
        m.zr = sr + (px.p2 * m.ar);
        m.zi = si + (px.p2 * m.ai);
        m.ar = oldR;
        m.ai = oldI;
    }
};

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
};

numeric::ExtFloat magnitude(const numeric::ExtFloat& v) {
    return numeric::ExtFloat::fromParts(std::fabs(v.mantissa()), v.exponent());
}

// Near the bailout: |Z + d|^2 - bailout = (|Z|^2 - bailout) + 2 (X dx + Y dy) + |d|^2,
// from the reference's own margin, which its state keeps to double's precision, so
// nothing cancels against the bailout. 1 outside, -1 inside, 0 when even this is
// within its rounding (the pixel is then counted directly). The reference and the
// differences carry relative errors far below 2^-40 of the terms.
int escapeMargin(const OrbitPoint& ref, const ExtDiff& d) {
    const numeric::ExtFloat twiceX(2.0 * ref.zr);
    const numeric::ExtFloat twiceY(2.0 * ref.zi);
    const numeric::ExtFloat square = d.zr * d.zr + d.zi * d.zi;
    const numeric::ExtFloat margin =
        (numeric::ExtFloat(ref.outside) + (twiceX * d.zr + twiceY * d.zi)) + square;
    const numeric::ExtFloat terms = magnitude(numeric::ExtFloat(ref.outside)) +
                                    magnitude(twiceX * d.zr) + magnitude(twiceY * d.zi) + square;
    if (!(terms * 0x1p-40 < magnitude(margin)))
        return 0;
    return margin.sign();
}

// Where a pixel is on its way: the steps counted, the orbit it follows and the index
// of its state there. When it changes between plain and scaled, its difference is
// handed over at full range; pending says that the step's escape test and rebasing
// are done and the step itself is still to come.
struct Walk {
    int n = 0;
    std::size_t index = 0;
    const ReferenceOrbit* orbit = nullptr;
    bool pending = false;
    ExtDiff handover;
};

enum class Leg { kDone, kSwitch, kDirect };

std::int64_t largestExponent(const ExtDiff& d) {
    std::int64_t e = kNoExponent;
    for (const numeric::ExtFloat* v : {&d.zr, &d.zi, &d.ar, &d.ai})
        if (!v->isZero())
            e = std::max(e, v->exponent());
    return e;
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

ExtDiff widened(const Diff& m, std::int64_t s) {
    return {numeric::ExtFloat::fromParts(m.zr, s), numeric::ExtFloat::fromParts(m.zi, s),
            numeric::ExtFloat::fromParts(m.ar, s), numeric::ExtFloat::fromParts(m.ai, s)};
}

Diff narrowed(const ExtDiff& d, std::int64_t s) {
    return {Pixel::shifted(d.zr, s), Pixel::shifted(d.zi, s), Pixel::shifted(d.ar, s),
            Pixel::shifted(d.ai, s)};
}

// The factor S of the terms that are quadratic in d. Scaled, d is below 2^-460, so
// such a term (and d itself beside Z) changes nothing unless the reference is within
// 2^-400 of 0: elsewhere it is taken as 0, which also keeps products below double's
// normal range (slow on common processors) out of the loop.
template <bool kScaled>
inline double termScale(const OrbitPoint& ref, double S) {
    if constexpr (kScaled)
        return std::fabs(ref.zr) + std::fabs(ref.zi) < 0x1p-400 ? S : 0.0;
    else
        return 1.0;
}

template <class Rule, bool kScaled>
Leg walk(const Context& ctx, Walk& w, Diff& io, Pixel& px, EscapeValue& result) {
    // The difference in locals: through the reference every step would go through
    // memory, and the store and load would lengthen the chain of dependent operations.
    Diff m = io;
    const OrbitPoint* points = w.orbit->points.data();
    std::size_t last = w.orbit->last();
    std::size_t index = w.index;
    int n = w.n;
    double S = kScaled ? px.scale : 1.0;
    bool pending = w.pending;
    // Leaves the loop with the difference handed over at full range.
    const auto handOver = [&](bool stepPending) {
        w.n = n;
        w.index = index;
        w.pending = stepPending;
        w.handover = widened(m, kScaled ? px.s : 0);
        return io = m, Leg::kSwitch;
    };
    for (;;) {
        if (!pending) {
            if (n >= ctx.limit) {
                result = EscapeValue{ctx.limit, static_cast<double>(ctx.limit)};
                return io = m, Leg::kDone;
            }
            const OrbitPoint& ref = points[index];
            const double Sz = termScale<kScaled>(ref, S);
            const double fzr = ref.zr + Sz * m.zr;
            const double fzi = ref.zi + Sz * m.zi;
            ++n;
            // The double kernel's escape test on the full iterate.
            const double s = (fzi * fzi) + (fzr * fzr);
            bool outside = s >= ctx.escapeAt;
            if (outside && s < ctx.surelyOutside) {
                const int side = escapeMargin(ref, widened(m, kScaled ? px.s : 0));
                if (side == 0)
                    return io = m, Leg::kDirect;
                outside = side > 0;
            }
            if (outside) {
                if (!ctx.smooth) {
                    result = EscapeValue{n, static_cast<double>(n)};
                    return io = m, Leg::kDone;
                }
                const DoubleState full{fzr,
                                       fzi,
                                       ref.ar + S * m.ar,
                                       ref.ai + S * m.ai,
                                       w.orbit->cr + px.dcr.toDouble(),
                                       w.orbit->ci + px.dci.toDouble()};
                result = escapeFrom(*ctx.formula, full, n);
                return io = m, Leg::kDone;
            }
            if constexpr (Rule::kRebases) {
                // Nearer 0 than to the reference: the critical orbit starts at 0, so the
                // full iterate becomes the difference. In double, |d|^2 may underflow
                // for a tiny d; scaled, the test runs at full range when it can matter.
                bool nearer = false;
                if constexpr (kScaled) {
                    if (std::max(std::fabs(fzr), std::fabs(fzi)) < 0x1p-400) {
                        const ExtDiff d = widened(m, px.s);
                        nearer = squaredMagnitude(numeric::ExtFloat(ref.zr) + d.zr,
                                                  numeric::ExtFloat(ref.zi) + d.zi) <
                                 squaredMagnitude(d.zr, d.zi);
                    }
                } else {
                    nearer = s < (m.zi * m.zi) + (m.zr * m.zr);
                }
                const bool rebase = (nearer && ctx.fixGlitches) || index == last;
                if (!kScaled && rebase && std::max(std::fabs(fzr), std::fabs(fzi)) >= 0x1p-500) {
                    // The usual case, in place: the full iterate fits double.
                    m = Diff{fzr, fzi, 0.0, 0.0};
                    w.orbit = ctx.critical;
                    points = w.orbit->points.data();
                    last = w.orbit->last();
                    index = 0;
                } else if (rebase) {
                    const ExtDiff d = widened(m, kScaled ? px.s : 0);
                    w.handover = {numeric::ExtFloat(ref.zr) + d.zr,
                                  numeric::ExtFloat(ref.zi) + d.zi, numeric::ExtFloat(),
                                  numeric::ExtFloat()};
                    w.orbit = ctx.critical;
                    w.index = 0;
                    w.n = n;
                    w.pending = true;
                    return io = m, Leg::kSwitch;
                }
            } else {
                if (ctx.fixGlitches &&
                    s < kGlitchTolerance * ((ref.zi * ref.zi) + (ref.zr * ref.zr)))
                    return io = m, Leg::kDirect;
                if (index == last) {
                    // Onwards from the reference's start, the whole state as the difference.
                    if (ctx.primary->last() == 0)
                        return io = m, Leg::kDirect;
                    const OrbitPoint& start = ctx.primary->points.front();
                    const ExtDiff d = widened(m, kScaled ? px.s : 0);
                    w.handover = {(numeric::ExtFloat(ref.zr) + d.zr) - numeric::ExtFloat(start.zr),
                                  (numeric::ExtFloat(ref.zi) + d.zi) - numeric::ExtFloat(start.zi),
                                  (numeric::ExtFloat(ref.ar) + d.ar) - numeric::ExtFloat(start.ar),
                                  (numeric::ExtFloat(ref.ai) + d.ai) - numeric::ExtFloat(start.ai)};
                    w.orbit = ctx.primary;
                    w.index = 0;
                    w.n = n;
                    w.pending = true;
                    return io = m, Leg::kSwitch;
                }
            }
        }
        pending = false;
        if constexpr (kScaled) {
            const double Sz = termScale<kScaled>(points[index], S);
            if (Sz == 0.0)
                Rule::template step<StepMode::kLinear>(points[index], points[index + 1], m, px, Sz);
            else
                Rule::template step<StepMode::kScaled>(points[index], points[index + 1], m, px, Sz);
        } else {
            Rule::template step<StepMode::kPlain>(points[index], points[index + 1], m, px, 1.0);
        }
        ++index;
        if constexpr (kScaled) {
            const double largest = largestPart<Rule::kRebases>(m);
            if (largest != 0.0 && !(largest >= 0x1p-64 && largest <= px.highest)) {
                int e = 0;
                std::frexp(largest, &e);
                if (px.s + e > kBackToPlainExponent || !std::isfinite(largest))
                    return handOver(false);
                px.rescale(e, m);
                S = px.scale;
            }
        } else {
            const double largest = largestPart<Rule::kRebases>(m);
            if (largest < 0x1p-500 && largest != 0.0)
                return handOver(false);
        }
    }
}

// Runs the pixel plain while its difference fits double and scaled while it does
// not. false when the pixel must be counted directly.
template <class Rule>
bool iteratePixel(const Context& ctx, const ExtDiff& start, Pixel& px, EscapeValue& result) {
    Walk w;
    w.orbit = ctx.primary;
    w.handover = start;
    const std::int64_t constantExponent =
        std::max(px.dcr.isZero() ? kNoExponent : px.dcr.exponent(),
                 px.dci.isZero() ? kNoExponent : px.dci.exponent());
    for (;;) {
        // The pixel's constant counts as well: added to a small difference in plain
        // double it would lose its digits.
        const std::int64_t reach = std::max(largestExponent(w.handover), constantExponent);
        Diff m;
        Leg leg;
        if (reach == kNoExponent || reach > kLeastPlainExponent) {
            px.setScale(0);
            m = narrowed(w.handover, 0);
            leg = walk<Rule, false>(ctx, w, m, px, result);
        } else {
            px.setScale(reach);
            m = narrowed(w.handover, reach);
            leg = walk<Rule, true>(ctx, w, m, px, result);
        }
        if (leg == Leg::kDone)
            return true;
        if (leg == Leg::kDirect)
            return false;
    }
}

bool finitePositive(const numeric::ExtFloat& v) {
    return v.isFinite() && v.sign() > 0;
}

std::string describeRefusal(const SceneSetup& s) {
    if (s.formula.maxIterations < 1 || s.formula.maxIterations > kMostIterations)
        return "the iteration limit must lie between 1 and " + std::to_string(kMostIterations);
    if (!std::isfinite(s.formula.paramReal) || !std::isfinite(s.formula.paramImag))
        return "the parameters must be finite";
    if (!s.originX.isFinite() || !s.originY.isFinite())
        return "the origin must be finite";
    if (!finitePositive(s.dx) || !finitePositive(s.dy))
        return "the pixel steps must be finite and positive";
    if (s.dx.exponent() < PerturbationScene::kLeastSpacingExponent ||
        s.dy.exponent() < PerturbationScene::kLeastSpacingExponent)
        return "the pixel steps are too small (below about 1e-100000)";
    if (s.width < 1 || s.height < 1 || s.width > PerturbationScene::kMostPictureSide ||
        s.height > PerturbationScene::kMostPictureSide)
        return "the picture size is out of range";
    return {};
}

long magnitudeExponent(const numeric::BigFloat& v) {
    if (v.isZero())
        return 0;
    long e = 0;
    v.mantissa(&e);
    return e;
}

}  // namespace

std::unique_ptr<PerturbationScene> PerturbationScene::create(const SceneSetup& setup,
                                                             std::string* why) {
    const std::string refusal = describeRefusal(setup);
    if (!refusal.empty()) {
        if (why)
            *why = refusal;
        return nullptr;
    }
    return std::unique_ptr<PerturbationScene>(new PerturbationScene(setup));
}

PerturbationScene::PerturbationScene(const SceneSetup& setup) : setup_(setup) {
    const long spacing = static_cast<long>(std::min(setup.dx.exponent(), setup.dy.exponent()));
    // The coordinates of every pixel: the origin's magnitude and the picture's extent.
    const long extent = static_cast<long>(std::max(setup.dx.exponent(), setup.dy.exponent())) +
                        21;  // at most 2^20 pixels a side
    const long magnitude =
        std::max({2L, magnitudeExponent(setup.originX) + 1, magnitudeExponent(setup.originY) + 1,
                  std::min(extent, 2000L)});
    precision_ = numeric::precisionFor(spacing, magnitude);
    centreI_ = setup.width / 2;
    centreJ_ = setup.height / 2;
    // The types without rebasing check their flagged pixels against a second reference,
    // a quarter of the way in from the top-left corner.
    secondI_ = setup.width / 4;
    secondJ_ = setup.height / 4;
    const kernels::Formula type = setup.formula.type;
    hasSecond_ = (type == kernels::Formula::kSpider || type == kernels::Formula::kManowar ||
                  type == kernels::Formula::kPhoenix) &&
                 (secondI_ != centreI_ || secondJ_ != centreJ_);
}

numeric::BigFloat PerturbationScene::planeX(long i) const {
    numeric::BigFloat x(precision_);
    mpfr_set(numeric::raw(x), numeric::raw(setup_.originX), MPFR_RNDN);
    const numeric::BigFloat step = setup_.dx.toBig(precision_);
    x += step * static_cast<double>(std::clamp(i, -kMostIndex, kMostIndex));
    return x;
}

numeric::BigFloat PerturbationScene::planeY(long j) const {
    numeric::BigFloat y(precision_);
    mpfr_set(numeric::raw(y), numeric::raw(setup_.originY), MPFR_RNDN);
    const numeric::BigFloat step = setup_.dy.toBig(precision_);
    y += step * static_cast<double>(std::clamp(j, -kMostIndex, kMostIndex));
    return y;
}

PerturbationScene::Prepared PerturbationScene::prepare(const std::atomic<bool>& stop) {
    return prepare([&stop] { return stop.load(std::memory_order_relaxed); });
}

PerturbationScene::Prepared PerturbationScene::prepare(const StopCheck& stop) {
    prepared_ = false;
    primary_ = ReferenceOrbit();
    critical_ = ReferenceOrbit();
    second_ = ReferenceOrbit();
    const kernels::Formula type = setup_.formula.type;
    hasCritical_ = type == kernels::Formula::kJulia || type == kernels::Formula::kUnity ||
                   (type == kernels::Formula::kMandelbrot &&
                    (setup_.formula.paramReal != 0.0 || setup_.formula.paramImag != 0.0));
    const numeric::BigFloat x = planeX(centreI_);
    const numeric::BigFloat y = planeY(centreJ_);
    OrbitOutcome outcome = computeOrbit(setup_.formula, x, y, OrbitStart::kPoint, precision_,
                                        kMostReferenceBytes, stop, primary_);
    if (outcome == OrbitOutcome::kDone && hasCritical_) {
        outcome = computeOrbit(setup_.formula, x, y, OrbitStart::kCritical, precision_,
                               kMostReferenceBytes - referenceBytes(), stop, critical_);
    }
    if (outcome == OrbitOutcome::kDone && hasSecond_) {
        outcome =
            computeOrbit(setup_.formula, planeX(secondI_), planeY(secondJ_), OrbitStart::kPoint,
                         precision_, kMostReferenceBytes - referenceBytes(), stop, second_);
    }
    if (outcome != OrbitOutcome::kDone) {
        primary_ = ReferenceOrbit();
        critical_ = ReferenceOrbit();
        second_ = ReferenceOrbit();
        return outcome == OrbitOutcome::kStopped ? Prepared::kStopped : Prepared::kTooLarge;
    }
    prepared_ = true;
    return Prepared::kReady;
}

std::size_t PerturbationScene::referenceBytes() const noexcept {
    return (primary_.points.capacity() + critical_.points.capacity() + second_.points.capacity()) *
           sizeof(OrbitPoint);
}

bool PerturbationScene::perturb(const ReferenceOrbit& orbit, long refI, long refJ, long i, long j,
                                bool detect, EscapeValue& result) const {
    const long ci = std::clamp(i, -kMostIndex, kMostIndex) - refI;
    const long cj = std::clamp(j, -kMostIndex, kMostIndex) - refJ;
    const numeric::ExtFloat offR = numeric::ExtFloat(static_cast<double>(ci)) * setup_.dx;
    const numeric::ExtFloat offI = numeric::ExtFloat(static_cast<double>(cj)) * setup_.dy;
    const EscapeFormula& f = setup_.formula;
    const double bailout = bailoutOf(f.type);
    const Context ctx{detect,
                      setup_.smooth,
                      &f,
                      &orbit,
                      hasCritical_ ? &critical_ : &orbit,
                      f.maxIterations,
                      bailout * (1.0 - 0x1p-40),
                      bailout * (1.0 + 0x1p-40)};
    ExtDiff start;
    Pixel px;
    switch (f.type) {
        case kernels::Formula::kJulia:
            start.zr = offR;
            start.zi = offI;
            return iteratePixel<QuadraticRule>(ctx, start, px, result);
        case kernels::Formula::kUnity:
            start.zr = offR;
            start.zi = offI;
            return iteratePixel<UnityRule>(ctx, start, px, result);
        case kernels::Formula::kSpider:
            start.ar = offR;
            start.ai = offI;
            return iteratePixel<SpiderRule>(ctx, start, px, result);
        case kernels::Formula::kManowar:
            start.ar = offR;
            start.ai = offI;
            px.dcr = offR;
            px.dci = offI;
            return iteratePixel<ManowarRule>(ctx, start, px, result);
        case kernels::Formula::kPhoenix:
            start.zr = offR;
            start.zi = offI;
            px.p2 = f.paramImag;
            return iteratePixel<PhoenixRule>(ctx, start, px, result);
        default:
            px.dcr = offR;
            px.dci = offI;
            return iteratePixel<QuadraticRule>(ctx, start, px, result);
    }
}

EscapeValue PerturbationScene::countAt(long i, long j) const {
    if (!prepared_)
        return EscapeValue{};
    EscapeValue result;
    const bool detect = setup_.fixGlitches;
    if (perturb(primary_, centreI_, centreJ_, i, j, detect, result))
        return result;
    // Spider, Manowar, Phoenix: the iterate came near 0 relative to the reference's.
    // Often nothing was lost (pixels that settle on a cycle through 0 do so again and
    // again): the second reference decides without that, or both references agree.
    if (hasSecond_) {
        if (perturb(second_, secondI_, secondJ_, i, j, detect, result))
            return result;
        EscapeValue other;
        if (perturb(primary_, centreI_, centreJ_, i, j, false, result) &&
            perturb(second_, secondI_, secondJ_, i, j, false, other) && other.count == result.count)
            return result;
    }
    directPixels_.fetch_add(1, std::memory_order_relaxed);
    EscapeValue direct = directEscape(setup_.formula, planeX(i), planeY(j), precision_);
    if (!setup_.smooth)
        direct.continuous = direct.count;
    return direct;
}

void PerturbationScene::countRun(long i, long j, long count, EscapeValue* out) const {
    const long first = std::clamp(i, -kMostIndex, kMostIndex);
    for (long k = 0; k < count; ++k)
        out[k] = countAt(first + std::min(k, kMostIndex), j);
}

}  // namespace complex
