#include "deep/exact_orbit.h"

#include <algorithm>
#include <cmath>

#include "complex/escape_kernels.h"
#include "engine/fractal.h"

namespace deep {

static_assert(kMandelbrotType == engine::kMandelbrot && kJuliaType == engine::kJulia &&
              kUnityType == engine::kUnity && kSpiderType == engine::kSpider &&
              kManowarType == engine::kManowar && kPhoenixType == engine::kPhoenix);

namespace kernels = complex::kernels;

bool isEscapeTimeType(std::int32_t type) noexcept {
    return type == kMandelbrotType || type == kJuliaType || type == kUnityType ||
           type == kSpiderType || type == kManowarType || type == kPhoenixType;
}

double bailoutOf(std::int32_t type) noexcept {
    return type == kUnityType ? kernels::kUnityEscape : kernels::kEscape;
}

namespace {

// One orbit in MPFR numbers of one precision. The steps are the double kernels'
// formulas; only the rounding differs (to the precision instead of to 53 bits).
class ExactState {
  public:
    ExactState(const EscapeFormula& formula, const BigFloat& x, const BigFloat& y, OrbitStart start,
               long precision)
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
        const BigFloat paramR(precision, formula.paramReal);
        const BigFloat paramI(precision, formula.paramImag);
        switch (type_) {
            case kJuliaType:
                setFrom(zr_, zi_, x, y);
                setFrom(cr_, ci_, paramR, paramI);
                break;
            case kUnityType:
            case kPhoenixType:
                // z is the point; Phoenix's w starts as 0.
                setFrom(zr_, zi_, x, y);
                break;
            case kSpiderType:
                setFrom(zr_, zi_, paramR, paramI);
                setFrom(ar_, ai_, x, y);  // the moving c starts at the point
                break;
            case kManowarType:
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
            mpfr_set_zero(zr_.raw(), 1);
            mpfr_set_zero(zi_.raw(), 1);
            if (type_ == kPhoenixType || type_ == kUnityType || type_ == kJuliaType) {
                mpfr_set_zero(ar_.raw(), 1);
                mpfr_set_zero(ai_.raw(), 1);
            }
        }
    }

    // Squares the iterate (kept for the step) and tests it against the bailout.
    bool outside() {
        mpfr_sqr(xx_.raw(), zr_.raw(), MPFR_RNDN);
        mpfr_sqr(yy_.raw(), zi_.raw(), MPFR_RNDN);
        mpfr_add(k_.raw(), yy_.raw(), xx_.raw(), MPFR_RNDN);
        return mpfr_cmp_d(k_.raw(), bailoutOf(type_)) >= 0;
    }

    // One step; outside() must have run on this iterate.
    void step() {
        switch (type_) {
            case kUnityType:
                // t = 2 - k; y' = t x; x' = t y'.
                mpfr_d_sub(t_.raw(), 2.0, k_.raw(), MPFR_RNDN);
                mpfr_mul(zi_.raw(), t_.raw(), zr_.raw(), MPFR_RNDN);
                mpfr_mul(zr_.raw(), t_.raw(), zi_.raw(), MPFR_RNDN);
                break;
            case kSpiderType:
                quadraticStep(ar_, ai_);
                // c' = c / 2 + z'.
                mpfr_div_2ui(ar_.raw(), ar_.raw(), 1, MPFR_RNDN);
                mpfr_add(ar_.raw(), ar_.raw(), zr_.raw(), MPFR_RNDN);
                mpfr_div_2ui(ai_.raw(), ai_.raw(), 1, MPFR_RNDN);
                mpfr_add(ai_.raw(), ai_.raw(), zi_.raw(), MPFR_RNDN);
                break;
            case kManowarType:
            case kPhoenixType:
                memoryStep();
                break;
            default:
                quadraticStep(cr_, ci_);
                break;
        }
    }

    // The state rounded to double; for Unity a is t = 2 - k of this iterate, so
    // outside() must have run on it.
    OrbitPoint point() const {
        OrbitPoint p{zr_.toDouble(), zi_.toDouble(), ar_.toDouble(), ai_.toDouble()};
        // Of a complex iterate, a part below 2^-60 of the other changes nothing the
        // differences compute (complex numbers, rounded relative to their magnitude:
        // this is below the rounding of the larger part), but its products with them
        // may fall below double's normal range, where common processors take a
        // hundred times as long. Unity's map is not complex: its x alone decides
        // where a tiny x goes, so it keeps both.
        if (type_ != kUnityType) {
            const double larger = std::max(std::fabs(p.zr), std::fabs(p.zi));
            if (std::fabs(p.zr) < larger * 0x1p-60)
                p.zr = 0.0;
            if (std::fabs(p.zi) < larger * 0x1p-60)
                p.zi = 0.0;
        }
        {
            BigFloat margin(k_.precision());
            mpfr_sub_d(margin.raw(), k_.raw(), bailoutOf(type_), MPFR_RNDN);
            p.outside = margin.toDouble();
        }
        if (type_ == kUnityType) {
            BigFloat t(k_.precision());
            mpfr_d_sub(t.raw(), 2.0, k_.raw(), MPFR_RNDN);
            p.ar = t.toDouble();
            p.ai = 0.0;
        }
        return p;
    }

    DoubleState doubles() const {
        return {zr_.toDouble(), zi_.toDouble(), ar_.toDouble(),
                ai_.toDouble(), cr_.toDouble(), ci_.toDouble()};
    }

  private:
    static void setFrom(BigFloat& re, BigFloat& im, const BigFloat& x, const BigFloat& y) {
        mpfr_set(re.raw(), x.raw(), MPFR_RNDN);
        mpfr_set(im.raw(), y.raw(), MPFR_RNDN);
    }

    // z' = z^2 + (addR, addI).
    void quadraticStep(const BigFloat& addR, const BigFloat& addI) {
        mpfr_mul(u_.raw(), zr_.raw(), zi_.raw(), MPFR_RNDN);
        mpfr_mul_2ui(u_.raw(), u_.raw(), 1, MPFR_RNDN);
        mpfr_add(zi_.raw(), u_.raw(), addI.raw(), MPFR_RNDN);
        mpfr_sub(zr_.raw(), xx_.raw(), yy_.raw(), MPFR_RNDN);
        mpfr_add(zr_.raw(), zr_.raw(), addR.raw(), MPFR_RNDN);
    }

    // Manowar: z' = z^2 + w + c; Phoenix: z' = z^2 + p1 + p2 w (p1 real); both w' = z.
    void memoryStep() {
        // u = new real part, t = new imaginary part.
        mpfr_sub(u_.raw(), xx_.raw(), yy_.raw(), MPFR_RNDN);
        mpfr_mul(t_.raw(), zr_.raw(), zi_.raw(), MPFR_RNDN);
        mpfr_mul_2ui(t_.raw(), t_.raw(), 1, MPFR_RNDN);
        if (type_ == kManowarType) {
            mpfr_add(u_.raw(), u_.raw(), ar_.raw(), MPFR_RNDN);
            mpfr_add(u_.raw(), u_.raw(), cr_.raw(), MPFR_RNDN);
            mpfr_add(t_.raw(), t_.raw(), ai_.raw(), MPFR_RNDN);
            mpfr_add(t_.raw(), t_.raw(), ci_.raw(), MPFR_RNDN);
        } else {
            mpfr_mul(k_.raw(), p2_.raw(), ar_.raw(), MPFR_RNDN);
            mpfr_add(u_.raw(), u_.raw(), k_.raw(), MPFR_RNDN);
            mpfr_add(u_.raw(), u_.raw(), p1_.raw(), MPFR_RNDN);
            mpfr_mul(k_.raw(), p2_.raw(), ai_.raw(), MPFR_RNDN);
            mpfr_add(t_.raw(), t_.raw(), k_.raw(), MPFR_RNDN);
        }
        mpfr_swap(ar_.raw(), zr_.raw());
        mpfr_swap(ai_.raw(), zi_.raw());
        mpfr_swap(zr_.raw(), u_.raw());
        mpfr_swap(zi_.raw(), t_.raw());
    }

    std::int32_t type_;
    BigFloat zr_, zi_, ar_, ai_, cr_, ci_;
    BigFloat xx_, yy_, k_, t_, u_;
    BigFloat p1_, p2_;
};

int boundedLimit(int maxIterations) {
    return std::clamp(maxIterations, 1, kMostIterations);
}

template <class Step>
complex::EscapeValue followEscape(Step step, int n) {
    // As the double kernel's smooth loop from the escape on.
    double s = step();
    int extra = 0;
    while (s < kernels::kSmoothBailout && extra < kernels::kMostSmoothSteps && std::isfinite(s)) {
        s = step();
        ++extra;
    }
    return complex::EscapeValue{n, kernels::normalisedCount(n, extra, s)};
}

}  // namespace

OrbitOutcome computeOrbit(const EscapeFormula& formula, const BigFloat& x, const BigFloat& y,
                          OrbitStart start, long precision, std::size_t mostBytes,
                          const StopCheck& stop, ReferenceOrbit& orbit) {
    orbit = ReferenceOrbit();
    const int limit = boundedLimit(formula.maxIterations);
    const std::size_t states = static_cast<std::size_t>(limit) + 1;
    if (states > mostBytes / sizeof(OrbitPoint))
        return OrbitOutcome::kTooLarge;
    orbit.points.reserve(states);
    ExactState state(formula, x, y, start, precision);
    const DoubleState first = state.doubles();
    orbit.cr = first.cr;
    orbit.ci = first.ci;
    for (int n = 0; n < limit; ++n) {
        if (stop && stop()) {
            orbit = ReferenceOrbit();
            return OrbitOutcome::kStopped;
        }
        const bool outside = state.outside();
        orbit.points.push_back(state.point());
        if (outside) {
            orbit.escaped = true;
            // An orbit that escapes early gives back what was reserved for the limit.
            orbit.points.shrink_to_fit();
            return OrbitOutcome::kDone;
        }
        state.step();
    }
    state.outside();
    orbit.points.push_back(state.point());
    return OrbitOutcome::kDone;
}

complex::EscapeValue directEscape(const EscapeFormula& formula, const BigFloat& x,
                                  const BigFloat& y, long precision) {
    const int limit = boundedLimit(formula.maxIterations);
    ExactState state(formula, x, y, OrbitStart::kPoint, precision);
    int n = 0;
    while (n < limit) {
        ++n;
        if (state.outside())
            return escapeFrom(formula, state.doubles(), n);
        state.step();
    }
    return complex::EscapeValue{n, static_cast<double>(n)};
}

complex::EscapeValue escapeFrom(const EscapeFormula& formula, const DoubleState& s, int n) {
    switch (formula.type) {
        case kUnityType: {
            const double k = (s.zi * s.zi) + (s.zr * s.zr);
            const double past = std::isfinite(k) ? std::log2(std::log2(k)) : 1.0;
            return complex::EscapeValue{n, n - std::clamp(past, 0.0, 1.0)};
        }
        case kSpiderType:
            return followEscape(kernels::SpiderStep{s.zr, s.zi, s.ar, s.ai}, n);
        case kManowarType:
            return followEscape(kernels::ManowarStep{s.zr, s.zi, s.cr, s.ci, s.ar, s.ai}, n);
        case kPhoenixType:
            return followEscape(
                kernels::PhoenixStep{s.zr, s.zi, formula.paramReal, formula.paramImag, s.ar, s.ai},
                n);
        default:
            return followEscape(kernels::QuadraticStep{s.zr, s.zi, s.cr, s.ci}, n);
    }
}

}  // namespace deep
