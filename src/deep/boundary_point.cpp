#include "deep/boundary_point.h"

namespace deep {

namespace {

bool reaches(const EscapeFormula& formula, int threshold, const PlanePoint& p, long precision) {
    return directEscape(formula, p.x, p.y, precision).count >= threshold;
}

}  // namespace

std::optional<PlanePoint> findBoundaryPoint(const EscapeFormula& formula, int threshold,
                                            const PlanePoint& reaching, const PlanePoint& escaping,
                                            long bits, long precision) {
    PlanePoint in{BigFloat(precision), BigFloat(precision)};
    PlanePoint out{BigFloat(precision), BigFloat(precision)};
    mpfr_set(in.x.raw(), reaching.x.raw(), MPFR_RNDN);
    mpfr_set(in.y.raw(), reaching.y.raw(), MPFR_RNDN);
    mpfr_set(out.x.raw(), escaping.x.raw(), MPFR_RNDN);
    mpfr_set(out.y.raw(), escaping.y.raw(), MPFR_RNDN);
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

}  // namespace deep

namespace deep {

std::optional<BigFloat> findNucleus(const BigFloat& guess, int period, long precision) {
    // Real nuclei only: c, z and dz/dc stay real.
    BigFloat c(precision);
    mpfr_set(c.raw(), guess.raw(), MPFR_RNDN);
    BigFloat z(precision), dz(precision), t(precision);
    for (int round = 0; round < 200; ++round) {
        mpfr_set_zero(z.raw(), 1);
        mpfr_set_zero(dz.raw(), 1);
        for (int n = 0; n < period; ++n) {
            // dz' = 2 z dz + 1, z' = z^2 + c.
            mpfr_mul(t.raw(), z.raw(), dz.raw(), MPFR_RNDN);
            mpfr_mul_2ui(t.raw(), t.raw(), 1, MPFR_RNDN);
            mpfr_add_ui(dz.raw(), t.raw(), 1, MPFR_RNDN);
            mpfr_sqr(z.raw(), z.raw(), MPFR_RNDN);
            mpfr_add(z.raw(), z.raw(), c.raw(), MPFR_RNDN);
        }
        if (dz.isZero() || !z.isFinite())
            return std::nullopt;
        mpfr_div(t.raw(), z.raw(), dz.raw(), MPFR_RNDN);
        mpfr_sub(c.raw(), c.raw(), t.raw(), MPFR_RNDN);
        if (t.isZero() || mpfr_get_exp(t.raw()) < mpfr_get_exp(c.raw()) - precision + 8)
            return c;
    }
    return std::nullopt;
}

}  // namespace deep
