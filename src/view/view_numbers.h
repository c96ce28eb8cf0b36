#pragma once

#include "numeric/big_float.h"

// Small helpers on the numbers of a view, shared by its geometry, its text form and
// its stored field. Not for use outside view/.
namespace view {

// Extents need only relative precision: they are kept to 64 bits whatever the depth.
inline constexpr long kExtentPrecision = 64;

inline numeric::BigFloat withPrecision(const numeric::BigFloat& value, long precision) {
    numeric::BigFloat result(value);
    result.setPrecision(precision);
    return result;
}

inline numeric::BigFloat smaller(const numeric::BigFloat& a, const numeric::BigFloat& b) {
    return compare(a, b) <= 0 ? a : b;
}

// DeepView::kNarrowestExtent as a number.
const numeric::BigFloat& narrowestExtent();

}  // namespace view
