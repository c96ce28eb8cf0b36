#pragma once

#include <cstdint>

#include "numeric/big_float.h"

namespace numeric {

// A double mantissa with a wide integer exponent: the differences of deep pixels from
// their reference, which fall below double's smallest numbers (about 1e-308) once a
// view is deep enough.
//
// Normal form: value = mantissa * 2^exponent with 0.5 <= |mantissa| < 1, as frexp gives
// it. Zero is mantissa 0 with exponent 0 (one zero: the sign of a zero is not kept),
// so two equal values have equal fields. An infinite or NaN mantissa carries exponent
// 0 and spreads through every operation as it would in double. Exponents are kept
// within +-kExponentLimit: a result above it becomes infinite, one below it zero, so a
// sum of two exponents never overflows the integer. Every operation rounds its result
// to the 53 bits of the mantissa, to nearest.
class ExtFloat {
  public:
    static constexpr std::int64_t kExponentLimit = std::int64_t{1} << 60;

    constexpr ExtFloat() noexcept = default;
    explicit ExtFloat(double value) noexcept;
    // mantissa * 2^exponent, normalised (the mantissa may be any double).
    static ExtFloat fromParts(double mantissa, std::int64_t exponent) noexcept;
    static ExtFloat fromBig(const BigFloat& value) noexcept;

    double mantissa() const noexcept { return mantissa_; }
    std::int64_t exponent() const noexcept { return exponent_; }
    bool isZero() const noexcept { return mantissa_ == 0.0; }
    bool isFinite() const noexcept;
    int sign() const noexcept { return (mantissa_ > 0.0) - (mantissa_ < 0.0); }

    // The nearest double: 0 (or a subnormal) below double's range, infinite above.
    double toDouble() const noexcept;
    BigFloat toBig(long precision) const;

    ExtFloat operator-() const noexcept;
    friend ExtFloat operator+(const ExtFloat& a, const ExtFloat& b) noexcept;
    friend ExtFloat operator-(const ExtFloat& a, const ExtFloat& b) noexcept { return a + (-b); }
    friend ExtFloat operator*(const ExtFloat& a, const ExtFloat& b) noexcept;
    friend ExtFloat operator*(const ExtFloat& a, double b) noexcept { return a * ExtFloat(b); }
    friend ExtFloat operator*(double a, const ExtFloat& b) noexcept { return ExtFloat(a) * b; }
    friend ExtFloat operator+(const ExtFloat& a, double b) noexcept { return a + ExtFloat(b); }
    friend ExtFloat operator+(double a, const ExtFloat& b) noexcept { return ExtFloat(a) + b; }

    // -1, 0 or 1; NaN compares as unordered (0 and not equal).
    friend int compare(const ExtFloat& a, const ExtFloat& b) noexcept;
    friend bool operator<(const ExtFloat& a, const ExtFloat& b) noexcept;
    friend bool operator==(const ExtFloat& a, const ExtFloat& b) noexcept {
        return a.mantissa_ == b.mantissa_ && a.exponent_ == b.exponent_;
    }

  private:
    double mantissa_ = 0.0;
    std::int64_t exponent_ = 0;
};

// re^2 + im^2.
ExtFloat squaredMagnitude(const ExtFloat& re, const ExtFloat& im) noexcept;

}  // namespace numeric
