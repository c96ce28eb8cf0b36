#include "complex/perturbation_walk.h"

#include <limits>

namespace complex::perturbation_detail {

namespace {

numeric::ExtFloat magnitude(const numeric::ExtFloat& v) {
    return numeric::ExtFloat::fromParts(std::fabs(v.mantissa()), v.exponent());
}

}  // namespace

int escapeMargin(const OrbitPoint& ref, const SmallMargin* small, const ExtDiff& d) {
    const numeric::ExtFloat twiceX(2.0 * ref.zr);
    const numeric::ExtFloat twiceY(2.0 * ref.zi);
    const numeric::ExtFloat square = d.zr * d.zr + d.zi * d.zi;
    // Of a reference margin below double's range without its small margin only the sign
    // is known: it decides nothing against the pixel's own terms unless those are far
    // larger.
    if (ref.marginBelowRange() && small == nullptr &&
        !(numeric::ExtFloat(std::numeric_limits<double>::min() * 0x1p40) <
          magnitude(twiceX * d.zr) + magnitude(twiceY * d.zi) + square))
        return 0;
    const numeric::ExtFloat reference =
        small != nullptr ? numeric::ExtFloat::fromParts(small->mantissa, small->exponent)
                         : numeric::ExtFloat(ref.outside);
    const numeric::ExtFloat margin = (reference + (twiceX * d.zr + twiceY * d.zi)) + square;
    const numeric::ExtFloat terms =
        magnitude(reference) + magnitude(twiceX * d.zr) + magnitude(twiceY * d.zi) + square;
    if (!(terms * 0x1p-40 < magnitude(margin)))
        return 0;
    return margin.sign();
}

std::int64_t largestExponent(const ExtDiff& d) {
    std::int64_t e = kNoExponent;
    for (const numeric::ExtFloat* v : {&d.zr, &d.zi, &d.ar, &d.ai})
        if (!v->isZero())
            e = std::max(e, v->exponent());
    return e;
}

ExtDiff widened(const Diff& m, std::int64_t s) {
    return {numeric::ExtFloat::fromParts(m.zr, s), numeric::ExtFloat::fromParts(m.zi, s),
            numeric::ExtFloat::fromParts(m.ar, s), numeric::ExtFloat::fromParts(m.ai, s)};
}

Diff narrowed(const ExtDiff& d, std::int64_t s) {
    return {Pixel::shifted(d.zr, s), Pixel::shifted(d.zi, s), Pixel::shifted(d.ar, s),
            Pixel::shifted(d.ai, s)};
}

}  // namespace complex::perturbation_detail
