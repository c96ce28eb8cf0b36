#pragma once

#include <cmath>
#include <cstdint>

namespace complex::fixed28 {

// A fixed-point number with 28 fraction bits: the word holds a signed 64-bit two's
// complement value raw, standing for raw / 2^28. The word is kept unsigned so that
// sums, differences and products wrap modulo 2^64 instead of overflowing; shifts go
// through the signed view, which C++20 defines as arithmetic (rounding towards minus
// infinity).
using Fixed28 = std::uint64_t;

constexpr int kFractionBits = 28;
constexpr Fixed28 kOne = Fixed28{1} << kFractionBits;  // 1.0
constexpr Fixed28 kTwo = kOne * 2;                     // 2.0
constexpr Fixed28 kFour = kOne * 4;                    // 4.0

constexpr std::int64_t toSigned(Fixed28 a) noexcept {
    return static_cast<std::int64_t>(a);
}
constexpr Fixed28 fromSigned(std::int64_t raw) noexcept {
    return static_cast<Fixed28>(raw);
}

// v * 2^28 truncated towards zero. A value whose scaled magnitude does not fit in 64
// bits saturates to the largest or smallest word; NaN gives 0.
inline Fixed28 toFixed28(double v) noexcept {
    constexpr double kScale = 268435456.0;
    constexpr double kLimit = 9223372036854775808.0;  // 2^63
    const double scaled = v * kScale;
    // One test for the common case, which NaN fails as well; every kernel call converts
    // up to four values.
    if (std::fabs(scaled) < kLimit)
        return fromSigned(static_cast<std::int64_t>(scaled));
    if (scaled > 0)
        return fromSigned(INT64_MAX);
    if (scaled < 0)
        return fromSigned(INT64_MIN);
    return 0;
}

constexpr double toDouble(Fixed28 a) noexcept {
    return static_cast<double>(toSigned(a)) / 268435456.0;
}

// a * b: the low 64 bits of the true product, shifted right arithmetically.
constexpr Fixed28 mul(Fixed28 a, Fixed28 b) noexcept {
    return fromSigned(toSigned(a * b) >> kFractionBits);
}

// 2ab from the same low 64 bits shifted by one bit less. This keeps one more bit of
// the product than doubling mul(a, b) would.
constexpr Fixed28 dbl(Fixed28 a, Fixed28 b) noexcept {
    return fromSigned(toSigned(a * b) >> (kFractionBits - 1));
}

// a / 2, rounding towards minus infinity.
constexpr Fixed28 half(Fixed28 a) noexcept {
    return fromSigned(toSigned(a) >> 1);
}

// Escape test of the squared magnitude: compared as an unsigned word, so a sum that
// wrapped into the sign bit escapes too.
constexpr bool escapesUnsigned(Fixed28 squaredMagnitude) noexcept {
    return squaredMagnitude >= kFour;
}

}  // namespace complex::fixed28
