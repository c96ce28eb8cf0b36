#include "complex/boundary_point.h"
#include "numeric/mpfr_access.h"

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

std::optional<PlanePoint> findNucleus(const PlanePoint& guess, int period, long precision) {
    PlanePoint c{numeric::BigFloat(precision), numeric::BigFloat(precision)};
    mpfr_set(numeric::raw(c.x), numeric::raw(guess.x), MPFR_RNDN);
    mpfr_set(numeric::raw(c.y), numeric::raw(guess.y), MPFR_RNDN);
    for (int round = 0; round < 100; ++round) {
        // z' = z^2 + c and its derivative by c, dz' = 2 z dz + 1, from z = 0.
        numeric::BigFloat zr(precision), zi(precision), dr(precision), di(precision);
        for (int n = 0; n < period; ++n) {
            const numeric::BigFloat newDr = (zr * dr - zi * di) * 2.0 + 1.0;
            const numeric::BigFloat newDi = (zr * di + zi * dr) * 2.0;
            const numeric::BigFloat newZr = zr * zr - zi * zi + c.x;
            zi = zr * zi * 2.0 + c.y;
            zr = newZr;
            dr = newDr;
            di = newDi;
        }
        // c -= z / dz.
        const numeric::BigFloat norm = dr * dr + di * di;
        if (norm.isZero() || !norm.isFinite() || !zr.isFinite())
            return std::nullopt;
        const numeric::BigFloat stepR = (zr * dr + zi * di) / norm;
        const numeric::BigFloat stepI = (zi * dr - zr * di) / norm;
        c.x -= stepR;
        c.y -= stepI;
        long eStep = 0, eC = 0;
        const numeric::BigFloat size = stepR * stepR + stepI * stepI;
        if (size.isZero())
            return c;
        size.mantissa(&eStep);
        numeric::BigFloat(precision, 1.0).mantissa(&eC);
        if (eStep < -2 * (precision - 16))
            return c;
    }
    return std::nullopt;
}

}  // namespace complex
