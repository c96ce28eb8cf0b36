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

std::optional<PlanePoint> findNucleus(const PlanePoint& guess, int period, long precision) {
    PlanePoint c{BigFloat(precision), BigFloat(precision)};
    mpfr_set(c.x.raw(), guess.x.raw(), MPFR_RNDN);
    mpfr_set(c.y.raw(), guess.y.raw(), MPFR_RNDN);
    for (int round = 0; round < 100; ++round) {
        // z' = z^2 + c and its derivative by c, dz' = 2 z dz + 1, from z = 0.
        BigFloat zr(precision), zi(precision), dr(precision), di(precision);
        for (int n = 0; n < period; ++n) {
            const BigFloat newDr = (zr * dr - zi * di) * 2.0 + 1.0;
            const BigFloat newDi = (zr * di + zi * dr) * 2.0;
            const BigFloat newZr = zr * zr - zi * zi + c.x;
            zi = zr * zi * 2.0 + c.y;
            zr = newZr;
            dr = newDr;
            di = newDi;
        }
        // c -= z / dz.
        const BigFloat norm = dr * dr + di * di;
        if (norm.isZero() || !norm.isFinite() || !zr.isFinite())
            return std::nullopt;
        const BigFloat stepR = (zr * dr + zi * di) / norm;
        const BigFloat stepI = (zi * dr - zr * di) / norm;
        c.x -= stepR;
        c.y -= stepI;
        long eStep = 0, eC = 0;
        const BigFloat size = stepR * stepR + stepI * stepI;
        if (size.isZero())
            return c;
        size.mantissa(&eStep);
        BigFloat(precision, 1.0).mantissa(&eC);
        if (eStep < -2 * (precision - 16))
            return c;
    }
    return std::nullopt;
}

}  // namespace deep
