#include "view/view_text.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "view/deep_view.h"
#include "view/view_numbers.h"

namespace view {

namespace {

// Views far from the origin, or wider than this, are refused as text.
constexpr double kFarthestText = 1e100;
// Text is tied to a picture size only later; pictures are at most this many pixels
// wide, so the precision chosen when parsing is enough for any of them.
constexpr long kWidestPictureBits = 24;

// floor(log10 |value|) for a nonzero finite value.
long decimalExponentOf(const numeric::BigFloat& value) {
    long e = 0;
    const double m = std::fabs(value.mantissa(&e));
    const double log10Value = std::log10(m) + static_cast<double>(e) * std::log10(2.0);
    return static_cast<long>(std::floor(log10Value));
}

// Significant digits that put the last digit of a coordinate at most a thousandth of
// a pixel apart, and never more than the view's precision holds.
long centreDigits(const numeric::BigFloat& coordinate, const DeepView& view) {
    if (coordinate.isZero())
        return 1;
    const numeric::BigFloat spacing = smaller(view.spacingX(), view.spacingY());
    const long digits = decimalExponentOf(coordinate) - decimalExponentOf(spacing) + 4;
    const long held =
        2 + static_cast<long>(std::ceil(static_cast<double>(view.precision()) * std::log10(2.0)));
    return std::clamp(digits, 1L, held);
}

bool hasNonzeroDigit(std::string_view text) {
    for (const char c : text) {
        if (c == 'e' || c == 'E')
            return false;
        if (c >= '1' && c <= '9')
            return true;
    }
    return false;
}

}  // namespace

std::string formatDigits(const numeric::BigFloat& value, long digits) {
    if (value.isZero())
        return "0";
    if (!value.isFinite())
        return "nan";
    const numeric::BigFloat::Decimal decimal = value.toDecimal(digits);
    if (decimal.digits.empty())
        return "nan";
    std::string mantissa = decimal.digits;
    const long exponent = decimal.exponent;
    std::string result;
    if (!mantissa.empty() && mantissa.front() == '-') {
        result.push_back('-');
        mantissa.erase(0, 1);
    }
    while (mantissa.size() > 1 && mantissa.back() == '0')
        mantissa.pop_back();
    // value = 0.mantissa * 10^exponent
    const long pointAfter = static_cast<long>(exponent);
    if (pointAfter > 0 && pointAfter <= 21) {
        const auto whole = static_cast<std::size_t>(pointAfter);
        if (mantissa.size() <= whole) {
            result.append(mantissa);
            result.append(whole - mantissa.size(), '0');
        } else {
            result.append(mantissa, 0, whole);
            result.push_back('.');
            result.append(mantissa, whole, std::string::npos);
        }
    } else if (pointAfter <= 0 && pointAfter > -6) {
        result.append("0.");
        result.append(static_cast<std::size_t>(-pointAfter), '0');
        result.append(mantissa);
    } else {
        result.push_back(mantissa.front());
        if (mantissa.size() > 1) {
            result.push_back('.');
            result.append(mantissa, 1, std::string::npos);
        }
        result.push_back('e');
        result.append(std::to_string(pointAfter - 1));
    }
    return result;
}

std::string centreXText(const DeepView& view) {
    return formatDigits(view.centreX(), centreDigits(view.centreX(), view));
}

std::string centreYText(const DeepView& view) {
    return formatDigits(view.centreY(), centreDigits(view.centreY(), view));
}

std::string widthText(const DeepView& view) {
    // Rounding to d digits moves the width by at most half a unit of the d-th digit;
    // across the picture that stays below a thousandth of a pixel.
    const double pixels = static_cast<double>(std::max(view.width(), 1));
    const long digits = 1 + static_cast<long>(std::ceil(std::log10(500.0 * pixels)));
    return formatDigits(view.spanX(), digits);
}

const char* widthProblem(const numeric::BigFloat& width) {
    if (width.sign() <= 0)
        return "The width must be greater than zero.";
    if (compare(width, narrowestExtent()) < 0)
        return "The width is below 1e-100000, the narrowest view supported.";
    if (width.toDouble() > kFarthestText)
        return "The width is too large (above 1e100).";
    return nullptr;
}

const char* centreProblem(const numeric::BigFloat& x, const numeric::BigFloat& y) {
    // Not finite (or beyond double's range) reads as infinite here, and is refused too.
    if (!x.isFinite() || !y.isFinite() || std::fabs(x.toDouble()) > kFarthestText ||
        std::fabs(y.toDouble()) > kFarthestText) {
        return "The centre lies too far out (beyond 1e100).";
    }
    return nullptr;
}

ViewTextResult parseCentreAndWidth(std::string_view real, std::string_view imaginary,
                                   std::string_view width) {
    ViewTextResult result;
    const auto fail = [&result](const char* message) {
        result.error = message;
        return result;
    };
    const std::optional<numeric::BigFloat> planeWidth =
        numeric::BigFloat::parse(width, kExtentPrecision);
    if (!planeWidth)
        return fail("The width is not a decimal number.");
    // A width that underflows to zero was written with nonzero digits: too small.
    if (planeWidth->isZero() && hasNonzeroDigit(width))
        return fail("The width is below 1e-100000, the narrowest view supported.");
    if (const char* problem = widthProblem(*planeWidth))
        return fail(problem);
    const std::optional<numeric::BigFloat> roughX = numeric::BigFloat::parse(real, 64);
    if (!roughX)
        return fail("The centre's real part is not a decimal number.");
    const std::optional<numeric::BigFloat> roughY = numeric::BigFloat::parse(imaginary, 64);
    if (!roughY)
        return fail("The centre's imaginary part is not a decimal number.");
    if (const char* problem = centreProblem(*roughX, *roughY))
        return fail(problem);
    numeric::BigFloat spacing = *planeWidth;
    spacing.scaleByPowerOfTwo(-kWidestPictureBits);
    const long precision = precisionNeeded(*roughX, *roughY, spacing);
    if (precision > numeric::BigFloat::kMostPrecision)
        return fail("The view needs more precision than supported.");
    CentreAndWidth parsed{*numeric::BigFloat::parse(real, precision),
                          *numeric::BigFloat::parse(imaginary, precision), *planeWidth};
    result.value = std::move(parsed);
    return result;
}

ViewTextResult parseCentreAndWidth(std::string_view centre, std::string_view width) {
    const std::size_t comma = centre.find(',');
    if (comma == std::string_view::npos || centre.find(',', comma + 1) != std::string_view::npos) {
        ViewTextResult result;
        result.error = "The centre is not given as RE,IM.";
        return result;
    }
    return parseCentreAndWidth(centre.substr(0, comma), centre.substr(comma + 1), width);
}

}  // namespace view
