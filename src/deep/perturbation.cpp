#include "deep/perturbation.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <type_traits>

namespace deep {

namespace {

// A difference is iterated in double while its largest part is at least 2^-1000 (or
// it is 0): its products with the reference (|Z| > 2^-20 or so) stay normal doubles
// with all 53 bits. Below that it goes on in ExtFloat until it has grown past 2^-960;
// the gap keeps a difference near the border from changing sides at every step.
constexpr int kLeastDoubleExponent = -1000;
constexpr int kBackToDoubleExponent = -960;
// A pixel of Spider, Manowar or Phoenix is counted directly once its iterate is this
// close to 0 relative to the reference's (squared: a thousandth of the magnitude).
constexpr double kGlitchTolerance = 1e-6;
constexpr long kMostIndex = 1L << 40;

template <class R>
R lift(double value);
template <>
double lift<double>(double value) {
    return value;
}
template <>
ExtFloat lift<ExtFloat>(double value) {
    return ExtFloat(value);
}

double asDouble(double value) {
    return value;
}
double asDouble(const ExtFloat& value) {
    return value.toDouble();
}

// The pixel's state minus the reference's: the iterate z and the second value a.
template <class R>
struct Diff {
    R zr{}, zi{}, ar{}, ai{};
};

// The pixel's constant c minus the reference's (Mandelbrot, Manowar), and Phoenix's p2.
template <class R>
struct Constants {
    R cr{}, ci{};
    double p2 = 0.0;
};

// (2 Z + dz) dz, the part of (Z + dz)^2 - Z^2 that is left when Z^2 cancels.
template <class R>
void squareDifference(const OrbitPoint& ref, const Diff<R>& d, R& outR, R& outI) {
    const R a = lift<R>(2.0 * ref.zr) + d.zr;
    const R b = lift<R>(2.0 * ref.zi) + d.zi;
    outR = a * d.zr - b * d.zi;
    outI = a * d.zi + b * d.zr;
}

// Mandelbrot and Julia: z' = z^2 + c. With z = Z + dz and c = C + dc:
//   Z' + dz' = Z^2 + 2 Z dz + dz^2 + C + dc, so dz' = (2 Z + dz) dz + dc.
// Julia's c is the parameter for every pixel (dc = 0); Mandelbrot's z(0) is the
// parameter for every pixel (dz(0) = 0).
struct QuadraticRule {
    static constexpr bool kRebases = true;
    template <class R>
    static void step(const OrbitPoint& ref, const OrbitPoint&, Diff<R>& d, const Constants<R>& k) {
        R sr, si;
        squareDifference(ref, d, sr, si);
        d.zr = sr + k.cr;
        d.zi = si + k.ci;
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
    template <class R>
    static void step(const OrbitPoint& ref, const OrbitPoint& next, Diff<R>& d,
                     const Constants<R>&) {
        const R dk = (lift<R>(2.0 * ref.zr) + d.zr) * d.zr + (lift<R>(2.0 * ref.zi) + d.zi) * d.zi;
        const R dt = -dk;
        const R t = lift<R>(ref.ar);
        const R dy = t * d.zr + dt * (lift<R>(ref.zr) + d.zr);
        const R dx = t * dy + dt * (lift<R>(next.zi) + dy);
        d.zr = dx;
        d.zi = dy;
    }
};

// Spider: z' = z^2 + c, c' = c / 2 + z'. With z = Z + dz and c = C + dc:
//   dz' = (2 Z + dz) dz + dc,   dc' = dc / 2 + dz'.
// dz(0) = 0 (z(0) is the parameter), dc(0) is the pixel's offset.
struct SpiderRule {
    static constexpr bool kRebases = false;
    template <class R>
    static void step(const OrbitPoint& ref, const OrbitPoint&, Diff<R>& d, const Constants<R>&) {
        R sr, si;
        squareDifference(ref, d, sr, si);
        d.zr = sr + d.ar;
        d.zi = si + d.ai;
        d.ar = d.ar * 0.5 + d.zr;
        d.ai = d.ai * 0.5 + d.zi;
    }
};

// Manowar: z' = z^2 + w + c, w' = z. With z = Z + dz, w = W + dw, c = C + dc:
//   dz' = (2 Z + dz) dz + dw + dc,   dw' = dz.
// dz(0) = 0 (the parameter), dw(0) = dc (w starts as c).
struct ManowarRule {
    static constexpr bool kRebases = false;
    template <class R>
    static void step(const OrbitPoint& ref, const OrbitPoint&, Diff<R>& d, const Constants<R>& k) {
        R sr, si;
        squareDifference(ref, d, sr, si);
        const R oldR = d.zr;
        const R oldI = d.zi;
        d.zr = sr + d.ar + k.cr;
        d.zi = si + d.ai + k.ci;
        d.ar = oldR;
        d.ai = oldI;
    }
};

// Phoenix: z' = z^2 + p1 + p2 w, w' = z (p1 real, p2 real scaling both parts of w).
// With z = Z + dz and w = W + dw: dz' = (2 Z + dz) dz + p2 dw,   dw' = dz.
// dz(0) is the pixel's offset, dw(0) = 0.
struct PhoenixRule {
    static constexpr bool kRebases = false;
    template <class R>
    static void step(const OrbitPoint& ref, const OrbitPoint&, Diff<R>& d, const Constants<R>& k) {
        R sr, si;
        squareDifference(ref, d, sr, si);
        const R oldR = d.zr;
        const R oldI = d.zi;
        d.zr = sr + d.ar * k.p2;
        d.zi = si + d.ai * k.p2;
        d.ar = oldR;
        d.ai = oldI;
    }
};

// Where a pixel is on its way: the steps counted, the orbit it follows and the index
// of its state there.
struct Walk {
    int n = 0;
    std::size_t index = 0;
    const ReferenceOrbit* orbit = nullptr;
};

struct Context {
    const EscapeFormula* formula;
    const ReferenceOrbit* primary;
    const ReferenceOrbit* critical;
    int limit;
    double bailout;
};

enum class Leg { kDone, kToExtended, kToDouble, kDirect };

std::int64_t largestExponent(const Diff<ExtFloat>& d) {
    std::int64_t e = std::numeric_limits<std::int64_t>::min();
    for (const ExtFloat* v : {&d.zr, &d.zi, &d.ar, &d.ai})
        if (!v->isZero())
            e = std::max(e, v->exponent());
    return e;
}

bool needsExtended(const Diff<double>& d) {
    const double m = std::max(std::max(std::fabs(d.zr), std::fabs(d.zi)),
                              std::max(std::fabs(d.ar), std::fabs(d.ai)));
    return m != 0.0 && m < 0x1p-1000;
}

bool fitsDouble(const Diff<ExtFloat>& d) {
    const std::int64_t e = largestExponent(d);
    return e == std::numeric_limits<std::int64_t>::min() || e > kBackToDoubleExponent;
}

// Whether the pixel's iterate (the double fz, squared magnitude s) is nearer 0 than
// to the reference's.
bool nearerZero(double s, const OrbitPoint&, const Diff<double>& d) {
    return s < (d.zi * d.zi) + (d.zr * d.zr);
}
bool nearerZero(double s, const OrbitPoint& ref, const Diff<ExtFloat>& d) {
    if (s > 0x1p-900)
        return false;
    const ExtFloat fr = ExtFloat(ref.zr) + d.zr;
    const ExtFloat fi = ExtFloat(ref.zi) + d.zi;
    return squaredMagnitude(fr, fi) < squaredMagnitude(d.zr, d.zi);
}

template <class Rule, class R>
Leg walk(const Context& ctx, Walk& w, Diff<R>& d, const Constants<R>& k,
         complex::EscapeValue& result) {
    while (w.n < ctx.limit) {
        const OrbitPoint* points = w.orbit->points.data();
        const double fzr = points[w.index].zr + asDouble(d.zr);
        const double fzi = points[w.index].zi + asDouble(d.zi);
        ++w.n;
        // The double kernel's escape test on the full iterate.
        const double s = (fzi * fzi) + (fzr * fzr);
        if (s >= ctx.bailout) {
            const OrbitPoint& ref = points[w.index];
            const DoubleState full{fzr,
                                   fzi,
                                   ref.ar + asDouble(d.ar),
                                   ref.ai + asDouble(d.ai),
                                   w.orbit->cr + asDouble(k.cr),
                                   w.orbit->ci + asDouble(k.ci)};
            result = escapeFrom(*ctx.formula, full, w.n);
            return Leg::kDone;
        }
        if constexpr (Rule::kRebases) {
            if (w.index == w.orbit->last() || nearerZero(s, points[w.index], d)) {
                // The critical orbit starts at 0: the full iterate is the new difference.
                d.zr = lift<R>(points[w.index].zr) + d.zr;
                d.zi = lift<R>(points[w.index].zi) + d.zi;
                w.orbit = ctx.critical;
                w.index = 0;
                points = w.orbit->points.data();
            }
        } else {
            const OrbitPoint& ref = points[w.index];
            if (s < kGlitchTolerance * ((ref.zi * ref.zi) + (ref.zr * ref.zr)))
                return Leg::kDirect;
            if (w.index == w.orbit->last()) {
                if (ctx.primary->last() == 0)
                    return Leg::kDirect;
                const OrbitPoint& start = ctx.primary->points.front();
                d.zr = (lift<R>(ref.zr) + d.zr) + lift<R>(-start.zr);
                d.zi = (lift<R>(ref.zi) + d.zi) + lift<R>(-start.zi);
                d.ar = (lift<R>(ref.ar) + d.ar) + lift<R>(-start.ar);
                d.ai = (lift<R>(ref.ai) + d.ai) + lift<R>(-start.ai);
                w.orbit = ctx.primary;
                w.index = 0;
                points = w.orbit->points.data();
            }
        }
        Rule::step(points[w.index], points[w.index + 1], d, k);
        ++w.index;
        if constexpr (std::is_same_v<R, double>) {
            if (needsExtended(d))
                return Leg::kToExtended;
        } else {
            if (fitsDouble(d))
                return Leg::kToDouble;
        }
    }
    result = complex::EscapeValue{ctx.limit, static_cast<double>(ctx.limit)};
    return Leg::kDone;
}

Diff<double> toDouble(const Diff<ExtFloat>& d) {
    return {d.zr.toDouble(), d.zi.toDouble(), d.ar.toDouble(), d.ai.toDouble()};
}
Diff<ExtFloat> toExtended(const Diff<double>& d) {
    return {ExtFloat(d.zr), ExtFloat(d.zi), ExtFloat(d.ar), ExtFloat(d.ai)};
}

// Runs the pixel in double while its difference fits and in ExtFloat while it does
// not. false when the pixel must be counted directly.
template <class Rule>
bool iteratePixel(const Context& ctx, const Diff<ExtFloat>& start,
                  const Constants<ExtFloat>& constantsExt, complex::EscapeValue& result) {
    const Constants<double> constantsDouble{constantsExt.cr.toDouble(), constantsExt.ci.toDouble(),
                                            constantsExt.p2};
    Walk w;
    w.orbit = ctx.primary;
    Diff<ExtFloat> extended = start;
    Diff<double> plain{};
    // The pixel's constant offset counts as well: added to a zero difference in
    // double it would lose its digits.
    Diff<ExtFloat> reach = start;
    if (reach.zr.isZero() && reach.zi.isZero() && reach.ar.isZero() && reach.ai.isZero()) {
        reach.zr = constantsExt.cr;
        reach.zi = constantsExt.ci;
    }
    bool inDouble = fitsDouble(reach);
    if (inDouble)
        plain = toDouble(start);
    for (;;) {
        const Leg leg = inDouble ? walk<Rule>(ctx, w, plain, constantsDouble, result)
                                 : walk<Rule>(ctx, w, extended, constantsExt, result);
        switch (leg) {
            case Leg::kDone:
                return true;
            case Leg::kDirect:
                return false;
            case Leg::kToExtended:
                extended = toExtended(plain);
                inDouble = false;
                break;
            case Leg::kToDouble:
                plain = toDouble(extended);
                inDouble = true;
                break;
        }
    }
}

bool finitePositive(const ExtFloat& v) {
    return v.isFinite() && v.sign() > 0;
}

std::string describeRefusal(const SceneSetup& s) {
    if (!isEscapeTimeType(s.formula.type))
        return "not an escape-time type";
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

long magnitudeExponent(const BigFloat& v) {
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
    precision_ = precisionFor(spacing, magnitude);
    centreI_ = setup.width / 2;
    centreJ_ = setup.height / 2;
}

BigFloat PerturbationScene::planeX(long i) const {
    BigFloat x(precision_);
    mpfr_set(x.raw(), setup_.originX.raw(), MPFR_RNDN);
    const BigFloat step = setup_.dx.toBig(precision_);
    x += step * static_cast<double>(std::clamp(i, -kMostIndex, kMostIndex));
    return x;
}

BigFloat PerturbationScene::planeY(long j) const {
    BigFloat y(precision_);
    mpfr_set(y.raw(), setup_.originY.raw(), MPFR_RNDN);
    const BigFloat step = setup_.dy.toBig(precision_);
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
    const std::int32_t type = setup_.formula.type;
    hasCritical_ = type == kJuliaType || type == kUnityType ||
                   (type == kMandelbrotType &&
                    (setup_.formula.paramReal != 0.0 || setup_.formula.paramImag != 0.0));
    const BigFloat x = planeX(centreI_);
    const BigFloat y = planeY(centreJ_);
    OrbitOutcome outcome = computeOrbit(setup_.formula, x, y, OrbitStart::kPoint, precision_,
                                        kMostReferenceBytes, stop, primary_);
    if (outcome == OrbitOutcome::kDone && hasCritical_) {
        outcome = computeOrbit(setup_.formula, x, y, OrbitStart::kCritical, precision_,
                               kMostReferenceBytes - referenceBytes(), stop, critical_);
    }
    if (outcome != OrbitOutcome::kDone) {
        primary_ = ReferenceOrbit();
        critical_ = ReferenceOrbit();
        return outcome == OrbitOutcome::kStopped ? Prepared::kStopped : Prepared::kTooLarge;
    }
    prepared_ = true;
    return Prepared::kReady;
}

std::size_t PerturbationScene::referenceBytes() const noexcept {
    return (primary_.points.capacity() + critical_.points.capacity()) * sizeof(OrbitPoint);
}

complex::EscapeValue PerturbationScene::countAt(long i, long j) const {
    if (!prepared_)
        return complex::EscapeValue{};
    const long ci = std::clamp(i, -kMostIndex, kMostIndex) - centreI_;
    const long cj = std::clamp(j, -kMostIndex, kMostIndex) - centreJ_;
    const ExtFloat offR = ExtFloat(static_cast<double>(ci)) * setup_.dx;
    const ExtFloat offI = ExtFloat(static_cast<double>(cj)) * setup_.dy;
    const EscapeFormula& f = setup_.formula;
    const Context ctx{&f, &primary_, hasCritical_ ? &critical_ : &primary_, f.maxIterations,
                      bailoutOf(f.type)};
    Diff<ExtFloat> start;
    Constants<ExtFloat> constants;
    complex::EscapeValue result;
    bool done = false;
    switch (f.type) {
        case kJuliaType:
            start.zr = offR;
            start.zi = offI;
            done = iteratePixel<QuadraticRule>(ctx, start, constants, result);
            break;
        case kUnityType:
            start.zr = offR;
            start.zi = offI;
            done = iteratePixel<UnityRule>(ctx, start, constants, result);
            break;
        case kSpiderType:
            start.ar = offR;
            start.ai = offI;
            done = iteratePixel<SpiderRule>(ctx, start, constants, result);
            break;
        case kManowarType:
            start.ar = offR;
            start.ai = offI;
            constants.cr = offR;
            constants.ci = offI;
            done = iteratePixel<ManowarRule>(ctx, start, constants, result);
            break;
        case kPhoenixType:
            start.zr = offR;
            start.zi = offI;
            constants.p2 = f.paramImag;
            done = iteratePixel<PhoenixRule>(ctx, start, constants, result);
            break;
        default:
            constants.cr = offR;
            constants.ci = offI;
            done = iteratePixel<QuadraticRule>(ctx, start, constants, result);
            break;
    }
    if (done)
        return result;
    directPixels_.fetch_add(1, std::memory_order_relaxed);
    return directEscape(f, planeX(i), planeY(j), precision_);
}

void PerturbationScene::countRun(long i, long j, long count, complex::EscapeValue* out) const {
    const long first = std::clamp(i, -kMostIndex, kMostIndex);
    for (long k = 0; k < count; ++k)
        out[k] = countAt(first + std::min(k, kMostIndex), j);
}

}  // namespace deep
