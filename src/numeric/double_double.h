#pragma once

#include <cmath>

// Numbers carried as the unevaluated sum of two doubles, hi + lo with |lo| at most half an
// ulp of hi: about 106 significant bits, for the few pixels whose counts double differences
// cannot decide. The sums and products are the error-free transformations (the rounding
// error of a double sum or product is itself a double), so they hold only where the
// compiler neither contracts nor reorders floating-point operations, which the build
// forbids (-ffp-contract=off, no fast math). Products take their rounding error from a
// fused multiply-add, which the C library computes exactly on any processor.
namespace numeric {

struct DoubleDouble {
    double hi = 0.0;
    double lo = 0.0;

    constexpr DoubleDouble() = default;
    constexpr DoubleDouble(double h) : hi(h) {}  // NOLINT: a double is a DoubleDouble
    constexpr DoubleDouble(double h, double l) : hi(h), lo(l) {}

    double toDouble() const noexcept { return hi + lo; }
};

// a + b exactly, as a rounded sum and its error.
inline DoubleDouble twoSum(double a, double b) noexcept {
    const double s = a + b;
    const double bb = s - a;
    return {s, (a - (s - bb)) + (b - bb)};
}

// a + b exactly where |a| >= |b| (or a is 0).
inline DoubleDouble quickTwoSum(double a, double b) noexcept {
    const double s = a + b;
    return {s, b - (s - a)};
}

// a b exactly, as a rounded product and its error.
inline DoubleDouble twoProduct(double a, double b) noexcept {
    const double p = a * b;
    return {p, std::fma(a, b, -p)};
}

inline DoubleDouble operator+(const DoubleDouble& a, const DoubleDouble& b) noexcept {
    DoubleDouble s = twoSum(a.hi, b.hi);
    const DoubleDouble t = twoSum(a.lo, b.lo);
    s.lo += t.hi;
    s = quickTwoSum(s.hi, s.lo);
    s.lo += t.lo;
    return quickTwoSum(s.hi, s.lo);
}

inline DoubleDouble operator-(const DoubleDouble& a) noexcept {
    return {-a.hi, -a.lo};
}

inline DoubleDouble operator-(const DoubleDouble& a, const DoubleDouble& b) noexcept {
    return a + (-b);
}

inline DoubleDouble operator*(const DoubleDouble& a, const DoubleDouble& b) noexcept {
    DoubleDouble p = twoProduct(a.hi, b.hi);
    p.lo += (a.hi * b.lo) + (a.lo * b.hi);
    return quickTwoSum(p.hi, p.lo);
}

// a times a power of two: exact while the result stays in double's normal range.
inline DoubleDouble timesTwo(const DoubleDouble& a) noexcept {
    return {2.0 * a.hi, 2.0 * a.lo};
}

// a >= b, deciding by the low parts where the high parts are equal.
inline bool atLeast(const DoubleDouble& a, const DoubleDouble& b) noexcept {
    return a.hi > b.hi || (a.hi == b.hi && a.lo >= b.lo);
}

}  // namespace numeric
