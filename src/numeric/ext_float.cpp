#include "numeric/ext_float.h"
#include "numeric/mpfr_access.h"

#include <cmath>
#include <limits>

namespace numeric {

namespace {

// Beyond this many binary places apart, the smaller addend cannot change the rounded
// sum: it is less than an eighth of the larger one's last place.
constexpr std::int64_t kAlignmentLimit = 60;

}  // namespace

ExtFloat::ExtFloat(double value) noexcept {
    if (value == 0.0 || !std::isfinite(value)) {
        mantissa_ = value == 0.0 ? 0.0 : value;
        return;
    }
    int exponent = 0;
    mantissa_ = std::frexp(value, &exponent);
    exponent_ = exponent;
}

ExtFloat ExtFloat::fromParts(double mantissa, std::int64_t exponent) noexcept {
    ExtFloat result(mantissa);
    if (result.isZero() || !result.isFinite())
        return result;
    // Both terms are within the limit (the mantissa's exponent is at most a few
    // thousand), so the sum cannot overflow once the caller's is clamped.
    const std::int64_t clamped =
        exponent > 2 * kExponentLimit
            ? 2 * kExponentLimit
            : (exponent < -2 * kExponentLimit ? -2 * kExponentLimit : exponent);
    const std::int64_t total = result.exponent_ + clamped;
    if (total > kExponentLimit) {
        result.mantissa_ = std::copysign(std::numeric_limits<double>::infinity(), mantissa);
        result.exponent_ = 0;
    } else if (total < -kExponentLimit) {
        result = ExtFloat();
    } else {
        result.exponent_ = total;
    }
    return result;
}

ExtFloat ExtFloat::fromBig(const BigFloat& value) noexcept {
    if (value.isZero())
        return ExtFloat();
    if (!value.isFinite())
        return ExtFloat(value.toDouble());
    long exponent = 0;
    const double mantissa = value.mantissa(&exponent);
    return fromParts(mantissa, exponent);
}

bool ExtFloat::isFinite() const noexcept {
    return std::isfinite(mantissa_);
}

double ExtFloat::toDouble() const noexcept {
    if (isZero() || !isFinite())
        return mantissa_;
    // Outside +-2100 the result is 0 or infinite anyway; ldexp takes an int.
    if (exponent_ > 2100)
        return std::copysign(std::numeric_limits<double>::infinity(), mantissa_);
    if (exponent_ < -2100)
        return std::copysign(0.0, mantissa_);
    return std::ldexp(mantissa_, static_cast<int>(exponent_));
}

BigFloat ExtFloat::toBig(long precision) const {
    BigFloat result(precision, mantissa_);
    if (!isZero() && isFinite())
        mpfr_mul_2si(numeric::raw(result), numeric::raw(result), static_cast<long>(exponent_),
                     MPFR_RNDN);
    return result;
}

ExtFloat ExtFloat::operator-() const noexcept {
    ExtFloat result(*this);
    if (!result.isZero())
        result.mantissa_ = -result.mantissa_;
    return result;
}

ExtFloat operator+(const ExtFloat& a, const ExtFloat& b) noexcept {
    if (b.isZero())
        return a;
    if (a.isZero())
        return b;
    if (!a.isFinite() || !b.isFinite())
        return ExtFloat(a.mantissa_ + b.mantissa_);
    const std::int64_t gap = a.exponent_ - b.exponent_;
    if (gap > kAlignmentLimit)
        return a;
    if (gap < -kAlignmentLimit)
        return b;
    // The smaller addend is scaled to the larger one's exponent: at most 60 places, so
    // it stays a normal double, and the sum is rounded once.
    if (gap >= 0)
        return ExtFloat::fromParts(a.mantissa_ + std::ldexp(b.mantissa_, static_cast<int>(-gap)),
                                   a.exponent_);
    return ExtFloat::fromParts(std::ldexp(a.mantissa_, static_cast<int>(gap)) + b.mantissa_,
                               b.exponent_);
}

ExtFloat operator*(const ExtFloat& a, const ExtFloat& b) noexcept {
    if (!a.isFinite() || !b.isFinite() || a.isZero() || b.isZero())
        return ExtFloat(a.mantissa_ * b.mantissa_);
    // 0.25 <= |product| < 1: exact range of a double, and the exponents add within
    // 2 * kExponentLimit, far from the integer's bounds.
    return ExtFloat::fromParts(a.mantissa_ * b.mantissa_, a.exponent_ + b.exponent_);
}

int compare(const ExtFloat& a, const ExtFloat& b) noexcept {
    if (std::isnan(a.mantissa_) || std::isnan(b.mantissa_))
        return 0;
    const int signA = a.sign();
    const int signB = b.sign();
    if (signA != signB)
        return signA < signB ? -1 : 1;
    if (signA == 0)
        return 0;
    // Same sign: infinities carry exponent 0, so compare them first.
    const bool infA = std::isinf(a.mantissa_);
    const bool infB = std::isinf(b.mantissa_);
    int magnitude = 0;
    if (infA || infB)
        magnitude = infA == infB ? 0 : (infA ? 1 : -1);
    else if (a.exponent_ != b.exponent_)
        magnitude = a.exponent_ < b.exponent_ ? -1 : 1;
    else if (a.mantissa_ != b.mantissa_)
        magnitude = std::fabs(a.mantissa_) < std::fabs(b.mantissa_) ? -1 : 1;
    return signA * magnitude;
}

bool operator<(const ExtFloat& a, const ExtFloat& b) noexcept {
    if (std::isnan(a.mantissa_) || std::isnan(b.mantissa_))
        return false;
    return compare(a, b) < 0;
}

ExtFloat squaredMagnitude(const ExtFloat& re, const ExtFloat& im) noexcept {
    return re * re + im * im;
}

}  // namespace numeric
