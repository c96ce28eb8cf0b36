#include "complex/boundary_point.h"
#include "numeric/mpfr_access.h"

#include <algorithm>

namespace complex {

namespace {

bool reaches(const EscapeFormula& formula, int threshold, const PlanePoint& p, long precision) {
    return directEscape(formula, p.x, p.y, precision).count >= threshold;
}

}  // namespace

std::optional<PlanePoint> findBoundaryPoint(const EscapeFormula& formula, int threshold,
                                            const PlanePoint& reaching, const PlanePoint& escaping,
                                            long bits, long precision) {
    PlanePoint in{numeric::BigFloat(precision), numeric::BigFloat(precision)};
    PlanePoint out{numeric::BigFloat(precision), numeric::BigFloat(precision)};
    mpfr_set(numeric::raw(in.x), numeric::raw(reaching.x), MPFR_RNDN);
    mpfr_set(numeric::raw(in.y), numeric::raw(reaching.y), MPFR_RNDN);
    mpfr_set(numeric::raw(out.x), numeric::raw(escaping.x), MPFR_RNDN);
    mpfr_set(numeric::raw(out.y), numeric::raw(escaping.y), MPFR_RNDN);
    if (!reaches(formula, threshold, in, precision) || reaches(formula, threshold, out, precision))
        return std::nullopt;
    // The segment halves at every step; a few more steps than bits for its slope.
    for (long step = 0; step < bits + 8; ++step) {
        PlanePoint middle{(in.x + out.x) * 0.5, (in.y + out.y) * 0.5};
        if (reaches(formula, threshold, middle, precision))
            in = std::move(middle);
        else
            out = std::move(middle);
    }
    return in;
}

}  // namespace complex

namespace complex {

namespace {

using numeric::raw;

// One orbit of z' = z^2 + c from z = 0 with its derivative by c, dz' = 2 z dz + 1, in
// MPFR numbers stepped in place (a step of a long period costs no allocation).
class NucleusOrbit {
  public:
    explicit NucleusOrbit(long precision)
        : zr_(precision),
          zi_(precision),
          dr_(precision),
          di_(precision),
          t_(precision),
          u_(precision) {}

    // z and dz after period steps at c; false when stopped.
    bool run(const PlanePoint& c, int period, const StopCheck& stop) {
        mpfr_set_zero(raw(zr_), 1);
        mpfr_set_zero(raw(zi_), 1);
        mpfr_set_zero(raw(dr_), 1);
        mpfr_set_zero(raw(di_), 1);
        for (int n = 0; n < period; ++n) {
            if (stop && stop())
                return false;
            step(c);
        }
        return true;
    }

    // The Newton step z / dz into (stepR, stepI); false when it is no finite number.
    bool newtonStep(numeric::BigFloat& stepR, numeric::BigFloat& stepI) {
        mpfr_sqr(raw(t_), raw(dr_), MPFR_RNDN);
        mpfr_sqr(raw(u_), raw(di_), MPFR_RNDN);
        mpfr_add(raw(t_), raw(t_), raw(u_), MPFR_RNDN);  // |dz|^2
        if (mpfr_zero_p(raw(t_)) || !mpfr_number_p(raw(t_)) || !mpfr_number_p(raw(zr_)) ||
            !mpfr_number_p(raw(zi_)))
            return false;
        mpfr_mul(raw(stepR), raw(zr_), raw(dr_), MPFR_RNDN);
        mpfr_mul(raw(u_), raw(zi_), raw(di_), MPFR_RNDN);
        mpfr_add(raw(stepR), raw(stepR), raw(u_), MPFR_RNDN);
        mpfr_div(raw(stepR), raw(stepR), raw(t_), MPFR_RNDN);
        mpfr_mul(raw(stepI), raw(zi_), raw(dr_), MPFR_RNDN);
        mpfr_mul(raw(u_), raw(zr_), raw(di_), MPFR_RNDN);
        mpfr_sub(raw(stepI), raw(stepI), raw(u_), MPFR_RNDN);
        mpfr_div(raw(stepI), raw(stepI), raw(t_), MPFR_RNDN);
        return mpfr_number_p(raw(stepR)) && mpfr_number_p(raw(stepI));
    }

  private:
    void step(const PlanePoint& c) {
        // dz' = 2 z dz + 1
        mpfr_mul(raw(t_), raw(zr_), raw(dr_), MPFR_RNDN);
        mpfr_mul(raw(u_), raw(zi_), raw(di_), MPFR_RNDN);
        mpfr_sub(raw(t_), raw(t_), raw(u_), MPFR_RNDN);
        mpfr_mul(raw(u_), raw(zr_), raw(di_), MPFR_RNDN);
        mpfr_mul(raw(di_), raw(zi_), raw(dr_), MPFR_RNDN);
        mpfr_add(raw(di_), raw(di_), raw(u_), MPFR_RNDN);
        mpfr_mul_2ui(raw(di_), raw(di_), 1, MPFR_RNDN);
        mpfr_mul_2ui(raw(dr_), raw(t_), 1, MPFR_RNDN);
        mpfr_add_ui(raw(dr_), raw(dr_), 1, MPFR_RNDN);
        // z' = z^2 + c
        mpfr_sqr(raw(t_), raw(zr_), MPFR_RNDN);
        mpfr_sqr(raw(u_), raw(zi_), MPFR_RNDN);
        mpfr_sub(raw(t_), raw(t_), raw(u_), MPFR_RNDN);
        mpfr_mul(raw(zi_), raw(zr_), raw(zi_), MPFR_RNDN);
        mpfr_mul_2ui(raw(zi_), raw(zi_), 1, MPFR_RNDN);
        mpfr_add(raw(zi_), raw(zi_), raw(c.y), MPFR_RNDN);
        mpfr_add(raw(zr_), raw(t_), raw(c.x), MPFR_RNDN);
    }

    numeric::BigFloat zr_, zi_, dr_, di_, t_, u_;
};

// The binary exponent of |step| (roughly), or nullopt for a step of zero.
std::optional<long> stepExponent(const numeric::BigFloat& stepR, const numeric::BigFloat& stepI) {
    if (stepR.isZero() && stepI.isZero())
        return std::nullopt;
    if (stepR.isZero())
        return stepI.exponent();
    if (stepI.isZero())
        return stepR.exponent();
    return std::max(stepR.exponent(), stepI.exponent());
}

}  // namespace

std::optional<PlanePoint> findNucleus(const PlanePoint& guess, int period, long precision,
                                      const StopCheck& stop) {
    if (period < 1)
        return std::nullopt;
    PlanePoint c{numeric::BigFloat(precision), numeric::BigFloat(precision)};
    mpfr_set(numeric::raw(c.x), numeric::raw(guess.x), MPFR_RNDN);
    mpfr_set(numeric::raw(c.y), numeric::raw(guess.y), MPFR_RNDN);
    NucleusOrbit orbit(precision);
    numeric::BigFloat stepR(precision), stepI(precision);
    // Settled: the step is below the precision's resolution of a number near 1, or it
    // has stopped shrinking once it came near that resolution (rounding then decides
    // its size, and more steps would only walk about the nucleus).
    const long settled = 16 - precision;
    const long nearlySettled = settled / 2;
    std::optional<long> previous;
    for (int round = 0; round < 100; ++round) {
        if (!orbit.run(c, period, stop) || !orbit.newtonStep(stepR, stepI))
            return std::nullopt;
        c.x -= stepR;
        c.y -= stepI;
        const std::optional<long> size = stepExponent(stepR, stepI);
        if (!size || *size < settled)
            return c;
        if (previous && *previous < nearlySettled && *size >= *previous - 1)
            return c;
        previous = size;
    }
    return std::nullopt;
}

}  // namespace complex
