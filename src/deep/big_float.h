#pragma once

#include <mpfr.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace deep {

// A binary floating-point number of a chosen precision (bits of mantissa), with an
// exponent far beyond double's: the coordinates of deep views and the reference orbits
// are computed in it. Results take the precision of the left operand; rounding is to
// nearest.
class BigFloat {
  public:
    // Precisions are bounded so that a hostile request cannot ask for gigabytes.
    static constexpr long kLeastPrecision = 53;
    static constexpr long kMostPrecision = 1 << 20;

    explicit BigFloat(long precision = kLeastPrecision, double value = 0.0);
    BigFloat(const BigFloat& other);
    BigFloat(BigFloat&& other) noexcept;
    BigFloat& operator=(const BigFloat& other);
    BigFloat& operator=(BigFloat&& other) noexcept;
    ~BigFloat();

    // Decimal text such as "-0.7436438870371587", "1.5e-300" or "2"; nullopt for
    // anything else (empty, trailing characters, NaN, infinity).
    static std::optional<BigFloat> parse(std::string_view text, long precision);

    long precision() const noexcept { return static_cast<long>(mpfr_get_prec(value_)); }
    // Changes the precision, keeping the value (rounded when it shrinks).
    void setPrecision(long precision);

    double toDouble() const noexcept { return mpfr_get_d(value_, MPFR_RNDN); }
    // The value as mantissa * 2^exponent with 0.5 <= |mantissa| < 1 (0 for zero).
    double mantissa(long* exponent) const noexcept;
    // Decimal text with significant digits (0: as many as the precision needs),
    // readable back by parse to the same value at the same precision.
    std::string toString(int digits = 0) const;
    // Fixed-point decimal text with exactly this many decimals, rounded to nearest; a
    // value that rounds to zero has no minus sign.
    std::string toFixed(long decimals) const;
    bool isZero() const noexcept { return mpfr_zero_p(value_) != 0; }
    bool isFinite() const noexcept { return mpfr_number_p(value_) != 0; }
    int sign() const noexcept { return mpfr_sgn(value_); }

    BigFloat& operator+=(const BigFloat& other);
    BigFloat& operator-=(const BigFloat& other);
    BigFloat& operator*=(const BigFloat& other);
    BigFloat& operator/=(const BigFloat& other);
    BigFloat& operator+=(double other);
    BigFloat& operator-=(double other);
    BigFloat& operator*=(double other);
    BigFloat& operator/=(double other);
    BigFloat operator-() const;

    friend BigFloat operator+(BigFloat a, const BigFloat& b) { return a += b; }
    friend BigFloat operator-(BigFloat a, const BigFloat& b) { return a -= b; }
    friend BigFloat operator*(BigFloat a, const BigFloat& b) { return a *= b; }
    friend BigFloat operator/(BigFloat a, const BigFloat& b) { return a /= b; }
    friend BigFloat operator+(BigFloat a, double b) { return a += b; }
    friend BigFloat operator-(BigFloat a, double b) { return a -= b; }
    friend BigFloat operator*(BigFloat a, double b) { return a *= b; }
    friend BigFloat operator/(BigFloat a, double b) { return a /= b; }
    friend int compare(const BigFloat& a, const BigFloat& b) noexcept {
        return mpfr_cmp(a.value_, b.value_);
    }
    friend bool operator<(const BigFloat& a, const BigFloat& b) noexcept {
        return compare(a, b) < 0;
    }
    friend bool operator==(const BigFloat& a, const BigFloat& b) noexcept {
        return mpfr_equal_p(a.value_, b.value_) != 0;
    }

    // For the MPFR functions this class does not wrap.
    mpfr_ptr raw() noexcept { return value_; }
    mpfr_srcptr raw() const noexcept { return value_; }

  private:
    mpfr_t value_;
};

// The precision, in bits, that resolves pixels of the given spacing (plane units per
// pixel, as a power of two) around coordinates of magnitude up to 2^magnitudeExponent,
// with guard bits.
long precisionFor(long spacingExponent, long magnitudeExponent = 2);

}  // namespace deep
