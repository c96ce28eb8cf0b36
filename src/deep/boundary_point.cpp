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
