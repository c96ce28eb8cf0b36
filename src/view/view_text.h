#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "numeric/big_float.h"

namespace view {

class DeepView;

// A centre and plane width as the user or the command line gives them, before they
// are tied to a picture size.
struct CentreAndWidth {
    numeric::BigFloat x;
    numeric::BigFloat y;
    numeric::BigFloat width;
};

struct ViewTextResult {
    std::optional<CentreAndWidth> value;
    std::string error;  // a short English sentence when value is empty
};

// Decimal text of any length for the centre's two coordinates and the plane width.
// Refuses text that does not parse, a width of zero or less, a width below
// kNarrowestExtent, a centre beyond 1e100 and what would need more precision than
// supported, each with a message.
ViewTextResult parseCentreAndWidth(std::string_view real, std::string_view imaginary,
                                   std::string_view width);
// The limits every reader of a view by its centre and extent keeps (the View dialog,
// the command line, the deep field of a parameter string): the reason a width or a
// centre is refused, or nullptr.
const char* widthProblem(const numeric::BigFloat& width);
const char* centreProblem(const numeric::BigFloat& x, const numeric::BigFloat& y);
// The same with the centre as "RE,IM".
ViewTextResult parseCentreAndWidth(std::string_view centre, std::string_view width);

// The centre's coordinates and the plane width as decimal text with as many digits
// as the view's depth needs (the centre to a thousandth of a pixel, the width to a
// thousandth of a pixel across the picture) and no more. Parsed back and formatted
// again they give the same text.
std::string centreXText(const DeepView& view);
std::string centreYText(const DeepView& view);
std::string widthText(const DeepView& view);

// Decimal text of value rounded to `digits` significant digits: plain notation for
// moderate exponents ("-0.743643887037151"), scientific otherwise ("1.5e-300").
// Trailing zeros are dropped.
std::string formatDigits(const numeric::BigFloat& value, long digits);

}  // namespace view
