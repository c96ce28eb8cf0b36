#include "complex/exact_orbit.h"
#include "numeric/mpfr_access.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>

#include "complex/escape_kernels.h"

namespace complex {

double bailoutOf(kernels::Formula type) noexcept {
    return type == kernels::Formula::kUnity ? kernels::kUnityEscape : kernels::kEscape;
}

namespace {

// One orbit in MPFR numbers of one precision. The steps are the double kernels'
// formulas; only the rounding differs (to the precision instead of to 53 bits).
class ExactState {
  public:
    ExactState(const EscapeFormula& formula, const numeric::BigFloat& x, const numeric::BigFloat& y,
               OrbitStart start, long precision)
        : type_(formula.type),
          zr_(precision),
          zi_(precision),
          ar_(precision),
          ai_(precision),
          cr_(precision),
          ci_(precision),
          xx_(precision),
          yy_(precision),
          k_(precision),
          t_(precision),
          u_(precision),
          p1_(precision, formula.paramReal),
          p2_(precision, formula.paramImag) {
        const numeric::BigFloat paramR(precision, formula.paramReal);
        const numeric::BigFloat paramI(precision, formula.paramImag);
        switch (type_) {
            case kernels::Formula::kJulia:
                setFrom(zr_, zi_, x, y);
                setFrom(cr_, ci_, paramR, paramI);
                break;
            case kernels::Formula::kUnity:
            case kernels::Formula::kPhoenix:
                // z is the point; Phoenix's w starts as 0.
                setFrom(zr_, zi_, x, y);
                break;
            case kernels::Formula::kSpider:
                setFrom(zr_, zi_, paramR, paramI);
                setFrom(ar_, ai_, x, y);  // the moving c starts at the point
                break;
            case kernels::Formula::kManowar:
                setFrom(zr_, zi_, paramR, paramI);
                setFrom(ar_, ai_, x, y);  // w starts as c
                setFrom(cr_, ci_, x, y);
                break;
            default:  // Mandelbrot
                setFrom(zr_, zi_, paramR, paramI);
                setFrom(cr_, ci_, x, y);
                break;
        }
        if (start == OrbitStart::kCritical) {
            mpfr_set_zero(numeric::raw(zr_), 1);
            mpfr_set_zero(numeric::raw(zi_), 1);
            if (type_ == kernels::Formula::kPhoenix || type_ == kernels::Formula::kUnity ||
                type_ == kernels::Formula::kJulia) {
                mpfr_set_zero(numeric::raw(ar_), 1);
                mpfr_set_zero(numeric::raw(ai_), 1);
            }
        }
    }

    // Squares the iterate (kept for the step) and tests it against the bailout.
    bool outside() {
        mpfr_sqr(numeric::raw(xx_), numeric::raw(zr_), MPFR_RNDN);
        mpfr_sqr(numeric::raw(yy_), numeric::raw(zi_), MPFR_RNDN);
        mpfr_add(numeric::raw(k_), numeric::raw(yy_), numeric::raw(xx_), MPFR_RNDN);
        return mpfr_cmp_d(numeric::raw(k_), bailoutOf(type_)) >= 0;
    }

    // One step; outside() must have run on this iterate.
    void step() {
        switch (type_) {
            case kernels::Formula::kUnity:
                // t = 2 - k; y' = t x; x' = t y'.
                mpfr_d_sub(numeric::raw(t_), 2.0, numeric::raw(k_), MPFR_RNDN);
                mpfr_mul(numeric::raw(zi_), numeric::raw(t_), numeric::raw(zr_), MPFR_RNDN);
                mpfr_mul(numeric::raw(zr_), numeric::raw(t_), numeric::raw(zi_), MPFR_RNDN);
                break;
            case kernels::Formula::kSpider:
                quadraticStep(ar_, ai_);
                // c' = c / 2 + z'.
                mpfr_div_2ui(numeric::raw(ar_), numeric::raw(ar_), 1, MPFR_RNDN);
                mpfr_add(numeric::raw(ar_), numeric::raw(ar_), numeric::raw(zr_), MPFR_RNDN);
                mpfr_div_2ui(numeric::raw(ai_), numeric::raw(ai_), 1, MPFR_RNDN);
                mpfr_add(numeric::raw(ai_), numeric::raw(ai_), numeric::raw(zi_), MPFR_RNDN);
                break;
            case kernels::Formula::kManowar:
            case kernels::Formula::kPhoenix:
                memoryStep();
                break;
            default:
                quadraticStep(cr_, ci_);
                break;
        }
    }

    // The state rounded to double, with its margin (see margin).
    OrbitPoint point(const numeric::BigFloat& margin) const {
        OrbitPoint p{zr_.toDouble(), zi_.toDouble()};
        // Of a complex iterate, a part below 2^-60 of the other changes nothing the
        // differences compute (complex numbers, rounded relative to their magnitude:
        // this is below the rounding of the larger part), but its products with them
        // may fall below double's normal range, where common processors take a
        // hundred times as long. Unity's map is not complex: its x alone decides
        // where a tiny x goes, so it keeps both.
        if (type_ != kernels::Formula::kUnity) {
            const double larger = std::max(std::fabs(p.zr), std::fabs(p.zi));
            if (std::fabs(p.zr) < larger * 0x1p-60)
                p.zr = 0.0;
            if (std::fabs(p.zi) < larger * 0x1p-60)
                p.zi = 0.0;
        }
        p.outside = margin.toDouble();
        // Below double's normal range a margin keeps its sign here, as the least normal
        // number; the orbit keeps the rest as a small margin.
        if (!margin.isZero() && std::fabs(p.outside) < std::numeric_limits<double>::min())
            p.outside = std::copysign(std::numeric_limits<double>::min(), margin.sign());
        return p;
    }

    // |z|^2 (Unity's k) minus the bailout; outside() must have run on this iterate.
    numeric::BigFloat margin() const {
        numeric::BigFloat m(k_.precision());
        mpfr_sub_d(numeric::raw(m), numeric::raw(k_), bailoutOf(type_), MPFR_RNDN);
        return m;
    }

    SecondValue second() const { return {ar_.toDouble(), ai_.toDouble()}; }

    // The iterate minus kept, rounded to double.
    OrbitRemainder remainder(const OrbitPoint& kept) {
        mpfr_sub_d(numeric::raw(t_), numeric::raw(zr_), kept.zr, MPFR_RNDN);
        mpfr_sub_d(numeric::raw(u_), numeric::raw(zi_), kept.zi, MPFR_RNDN);
        return {t_.toDouble(), u_.toDouble()};
    }

    DoubleState doubles() const {
        return {zr_.toDouble(), zi_.toDouble(), ar_.toDouble(),
                ai_.toDouble(), cr_.toDouble(), ci_.toDouble()};
    }

  private:
    static void setFrom(numeric::BigFloat& re, numeric::BigFloat& im, const numeric::BigFloat& x,
                        const numeric::BigFloat& y) {
        mpfr_set(numeric::raw(re), numeric::raw(x), MPFR_RNDN);
        mpfr_set(numeric::raw(im), numeric::raw(y), MPFR_RNDN);
    }

    // z' = z^2 + (addR, addI).
    void quadraticStep(const numeric::BigFloat& addR, const numeric::BigFloat& addI) {
        mpfr_mul(numeric::raw(u_), numeric::raw(zr_), numeric::raw(zi_), MPFR_RNDN);
        mpfr_mul_2ui(numeric::raw(u_), numeric::raw(u_), 1, MPFR_RNDN);
        mpfr_add(numeric::raw(zi_), numeric::raw(u_), numeric::raw(addI), MPFR_RNDN);
        mpfr_sub(numeric::raw(zr_), numeric::raw(xx_), numeric::raw(yy_), MPFR_RNDN);
        mpfr_add(numeric::raw(zr_), numeric::raw(zr_), numeric::raw(addR), MPFR_RNDN);
    }

    // Manowar: z' = z^2 + w + c; Phoenix: z' = z^2 + p1 + p2 w (p1 real); both w' = z.
    void memoryStep() {
        // u = new real part, t = new imaginary part.
        mpfr_sub(numeric::raw(u_), numeric::raw(xx_), numeric::raw(yy_), MPFR_RNDN);
        mpfr_mul(numeric::raw(t_), numeric::raw(zr_), numeric::raw(zi_), MPFR_RNDN);
        mpfr_mul_2ui(numeric::raw(t_), numeric::raw(t_), 1, MPFR_RNDN);
        if (type_ == kernels::Formula::kManowar) {
            mpfr_add(numeric::raw(u_), numeric::raw(u_), numeric::raw(ar_), MPFR_RNDN);
            mpfr_add(numeric::raw(u_), numeric::raw(u_), numeric::raw(cr_), MPFR_RNDN);
            mpfr_add(numeric::raw(t_), numeric::raw(t_), numeric::raw(ai_), MPFR_RNDN);
            mpfr_add(numeric::raw(t_), numeric::raw(t_), numeric::raw(ci_), MPFR_RNDN);
        } else {
            mpfr_mul(numeric::raw(k_), numeric::raw(p2_), numeric::raw(ar_), MPFR_RNDN);
            mpfr_add(numeric::raw(u_), numeric::raw(u_), numeric::raw(k_), MPFR_RNDN);
            mpfr_add(numeric::raw(u_), numeric::raw(u_), numeric::raw(p1_), MPFR_RNDN);
            mpfr_mul(numeric::raw(k_), numeric::raw(p2_), numeric::raw(ai_), MPFR_RNDN);
            mpfr_add(numeric::raw(t_), numeric::raw(t_), numeric::raw(k_), MPFR_RNDN);
        }
        mpfr_swap(numeric::raw(ar_), numeric::raw(zr_));
        mpfr_swap(numeric::raw(ai_), numeric::raw(zi_));
        mpfr_swap(numeric::raw(zr_), numeric::raw(u_));
        mpfr_swap(numeric::raw(zi_), numeric::raw(t_));
    }

    kernels::Formula type_;
    numeric::BigFloat zr_, zi_, ar_, ai_, cr_, ci_;
    numeric::BigFloat xx_, yy_, k_, t_, u_;
    numeric::BigFloat p1_, p2_;
};

int boundedLimit(int maxIterations) {
    return std::clamp(maxIterations, 1, kMostDeepIterations);
}

// Orbits of up to this many states have their whole length reserved at once (40 MB),
// as the limits of a million and below always had. Longer ones grow by doubling up to
// their length, so that a limit of billions takes only the memory its orbit uses.
constexpr std::size_t kReservedStates = std::size_t{1} << 20;

// Room for one more state.
template <class T>
void makeRoom(std::vector<T>& points, std::size_t states) {
    if (points.size() < points.capacity())
        return;
    points.reserve(std::min(states, std::max(kReservedStates, points.capacity() * 2)));
}

// Keeps the state in the orbit; false where its small margin would pass smallRoom.
bool keep(const ExactState& state, std::size_t states, std::size_t smallRoom,
          ReferenceOrbit& orbit) {
    const numeric::BigFloat margin = state.margin();
    makeRoom(orbit.points, states);
    orbit.points.push_back(state.point(margin));
    if (orbit.points.back().marginBelowRange()) {
        if (orbit.smallMargins.size() >= smallRoom)
            return false;
        long exponent = 0;
        const double mantissa = margin.mantissa(&exponent);
        orbit.smallMargins.push_back({orbit.points.size() - 1, mantissa, exponent});
    }
    if (orbit.type == kernels::Formula::kSpider) {
        makeRoom(orbit.seconds, states);
        orbit.seconds.push_back(state.second());
    }
    return true;
}

// An orbit that does not fit leaves nothing behind.
OrbitOutcome tooLarge(ReferenceOrbit& orbit) {
    orbit = ReferenceOrbit();
    return OrbitOutcome::kTooLarge;
}

template <class Step>
EscapeValue followEscape(Step step, int n) {
    // As the double kernel's smooth loop from the escape on.
    double s = step();
    int extra = 0;
    while (s < kernels::kSmoothBailout && extra < kernels::kMostSmoothSteps && std::isfinite(s)) {
        s = step();
        ++extra;
    }
    return EscapeValue{n, kernels::normalisedCount(n, extra, s)};
}

}  // namespace

const SmallMargin* ReferenceOrbit::smallMargin(std::size_t k) const noexcept {
    const auto found =
        std::lower_bound(smallMargins.begin(), smallMargins.end(), k,
                         [](const SmallMargin& m, std::size_t index) { return m.index < index; });
    return found != smallMargins.end() && found->index == k ? &*found : nullptr;
}

OrbitOutcome computeOrbit(const EscapeFormula& formula, const numeric::BigFloat& x,
                          const numeric::BigFloat& y, OrbitStart start, long precision,
                          std::size_t mostBytes, const StopCheck& stop, ReferenceOrbit& orbit) {
    orbit = ReferenceOrbit();
    const int limit = boundedLimit(formula.maxIterations);
    const std::size_t states = static_cast<std::size_t>(limit) + 1;
    if (states > mostBytes / ReferenceOrbit::bytesPerState(formula.type))
        return OrbitOutcome::kTooLarge;
    // The small margins take what the states leave of the bound.
    const std::size_t smallRoom =
        (mostBytes - (states * ReferenceOrbit::bytesPerState(formula.type))) / sizeof(SmallMargin);
    try {
        ExactState state(formula, x, y, start, precision);
        const DoubleState first = state.doubles();
        orbit.type = formula.type;
        orbit.cr = first.cr;
        orbit.ci = first.ci;
        orbit.firstSecond = state.second();
        for (int n = 0; n < limit; ++n) {
            if (stop && stop()) {
                orbit = ReferenceOrbit();
                return OrbitOutcome::kStopped;
            }
            const bool outside = state.outside();
            if (!keep(state, states, smallRoom, orbit))
                return tooLarge(orbit);
            if (outside) {
                orbit.escaped = true;
                // An orbit that escapes early gives back what it reserved ahead.
                orbit.points.shrink_to_fit();
                orbit.seconds.shrink_to_fit();
                return OrbitOutcome::kDone;
            }
            state.step();
        }
        state.outside();
        if (!keep(state, states, smallRoom, orbit))
            return tooLarge(orbit);
    } catch (const std::bad_alloc&) {
        return tooLarge(orbit);
    }
    return OrbitOutcome::kDone;
}

OrbitOutcome computeOrbitRemainders(const EscapeFormula& formula, const numeric::BigFloat& x,
                                    const numeric::BigFloat& y, OrbitStart start, long precision,
                                    const ReferenceOrbit& orbit, const StopCheck& stop,
                                    std::vector<OrbitRemainder>& out) {
    out.clear();
    try {
        out.reserve(orbit.points.size());
        ExactState state(formula, x, y, start, precision);
        for (std::size_t k = 0; k < orbit.points.size(); ++k) {
            if (stop && stop()) {
                out.clear();
                return OrbitOutcome::kStopped;
            }
            // The step reads the squares the test leaves.
            state.outside();
            out.push_back(state.remainder(orbit.points[k]));
            if (k + 1 < orbit.points.size())
                state.step();
        }
    } catch (const std::bad_alloc&) {
        out = std::vector<OrbitRemainder>();
        return OrbitOutcome::kTooLarge;
    }
    return OrbitOutcome::kDone;
}

EscapeValue directEscape(const EscapeFormula& formula, const numeric::BigFloat& x,
                         const numeric::BigFloat& y, long precision, const StopCheck& stop) {
    const int limit = boundedLimit(formula.maxIterations);
    ExactState state(formula, x, y, OrbitStart::kPoint, precision);
    int n = 0;
    while (n < limit) {
        if (stop && stop())
            break;
        ++n;
        if (state.outside())
            return escapeFrom(formula, state.doubles(), n);
        state.step();
    }
    return EscapeValue{n, static_cast<double>(n)};
}

EscapeValue escapeFrom(const EscapeFormula& formula, const DoubleState& s, int n) {
    switch (formula.type) {
        case kernels::Formula::kUnity: {
            const double k = (s.zi * s.zi) + (s.zr * s.zr);
            const double past = std::isfinite(k) ? std::log2(std::log2(k)) : 1.0;
            return EscapeValue{n, n - std::clamp(past, 0.0, 1.0)};
        }
        case kernels::Formula::kSpider:
            return followEscape(kernels::SpiderStep{s.zr, s.zi, s.ar, s.ai}, n);
        case kernels::Formula::kManowar:
            return followEscape(kernels::ManowarStep{s.zr, s.zi, s.cr, s.ci, s.ar, s.ai}, n);
        case kernels::Formula::kPhoenix:
            return followEscape(
                kernels::PhoenixStep{s.zr, s.zi, formula.paramReal, formula.paramImag, s.ar, s.ai},
                n);
        default:
            return followEscape(kernels::QuadraticStep{s.zr, s.zi, s.cr, s.ci}, n);
    }
}

}  // namespace complex
