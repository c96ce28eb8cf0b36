#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace numeric {

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

    long precision() const noexcept;
    // Changes the precision, keeping the value (rounded when it shrinks).
    void setPrecision(long precision);

    double toDouble() const noexcept;
    // The value as mantissa * 2^exponent with 0.5 <= |mantissa| < 1 (0 for zero).
    double mantissa(long* exponent) const noexcept;
    // Decimal text with significant digits (0: as many as the precision needs),
    // readable back by parse to the same value at the same precision.
    std::string toString(int digits = 0) const;
    // Fixed-point decimal text with exactly this many decimals, rounded to nearest; a
    // value that rounds to zero has no minus sign.
    std::string toFixed(long decimals) const;
    bool isZero() const noexcept;
    bool isFinite() const noexcept;
    int sign() const noexcept;
    // The binary exponent e of value = m * 2^e with 0.5 <= |m| < 1; only for a finite
    // number other than zero.
    long exponent() const noexcept;
    // The value rounded to `digits` significant decimal digits: the digits (with a
    // leading '-' for a negative number) and the exponent e of value = 0.digits * 10^e.
    // Empty digits when the value is no finite number.
    struct Decimal {
        std::string digits;
        long exponent = 0;
    };
    Decimal toDecimal(long digits) const;
    // Multiplies by 2^power exactly.
    BigFloat& scaleByPowerOfTwo(long power);

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
    friend int compare(const BigFloat& a, const BigFloat& b) noexcept;
    friend bool operator<(const BigFloat& a, const BigFloat& b) noexcept {
        return compare(a, b) < 0;
    }
    friend bool operator==(const BigFloat& a, const BigFloat& b) noexcept;

    // For the MPFR functions this class does not wrap.
  private:
    friend struct MpfrAccess;
    // The MPFR number (numeric/mpfr_access.h), kept as storage of its size so that
    // MPFR's header stays with the code that computes with it.
    alignas(8) unsigned char storage_[32];
};

// The precision, in bits, that resolves pixels of the given spacing (plane units per
// pixel, as a power of two) around coordinates of magnitude up to 2^magnitudeExponent,
// with guard bits.
long precisionFor(long spacingExponent, long magnitudeExponent = 2);

}  // namespace numeric
