#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "complex/exact_orbit.h"
#include "numeric/ext_float.h"
#include "numeric/power_of_two.h"

// The difference rules: how each type's difference from its reference orbit goes from
// one step to the next, and the scale those differences are kept in.
namespace complex::perturbation_detail {

// The differences of a pixel from its reference are iterated in double, as mantissas
// m of one shared power of two S = 2^s: d = S m. While the largest part of d is at
// least 2^-500 (or all are 0), S is 1 and the loop is plain double arithmetic: d^2
// and the products with the reference stay normal doubles with all 53 bits (numbers
// below 2^-1022 would lose bits, and cost a hundred times as much on common
// processors). Below that the pixel goes on scaled, which is an extended-exponent
// number whose exponent the parts share, until d has grown past 2^-460 again (the
// gap keeps a difference near the border from changing sides at every step). Scaled,
// m is kept within 2^-64..2^64 by moving powers of two into s. In the recurrences
// every term that is quadratic in d carries one factor S (d^2 = S (S m^2)), and
// every term that does not depend on d (the pixel's dc) is divided by S. Those
// quadratic terms, and d beside Z in the full iterate, are below what counts unless
// the reference is within 2^-400 of 0, so the scaled steps drop them elsewhere (see
// termScale), and always where S m would fall below double's normal range
// (s < -958).
inline constexpr std::int64_t kLeastPlainExponent = -500;
inline constexpr std::int64_t kBackToPlainExponent = -460;
inline constexpr std::int64_t kLeastScaleExponent = -958;
inline constexpr int kRescaleExponent = 64;

// The pixel's state minus the reference's, as mantissas of S: the iterate z and the
// type's second value a.
struct Diff {
    double zr = 0.0, zi = 0.0, ar = 0.0, ai = 0.0;
};

// The same at full range, where the pixel changes between plain and scaled.
struct ExtDiff {
    numeric::ExtFloat zr, zi, ar, ai;
};

// What a pixel adds to its reference besides the differences: dc (Mandelbrot,
// Manowar) and Phoenix's p2, and the scale S with dc / S.
struct Pixel {
    numeric::ExtFloat dcr, dci;
    double p2 = 0.0;
    // Set when the pixel was found attracted to a cycle (counted as inside).
    bool interior = false;
    std::int64_t s = 0;
    double scale = 1.0;
    double kcr = 0.0, kci = 0.0;
    // The largest mantissa before a rescaling, or before going back to plain double.
    double highest = 0x1p64;

    void setScale(std::int64_t exponent) {
        s = exponent;
        scale = exponent < kLeastScaleExponent
                    ? 0.0
                    : numeric::powerOfTwo(std::min<std::int64_t>(exponent, 2000));
        kcr = shifted(dcr, exponent);
        kci = shifted(dci, exponent);
        setHighest();
    }
    // Moves 2^e from the mantissas m into S. Multiplying by a power of two is exact,
    // and cheaper than recomputing dc / S from dc.
    void rescale(int e, Diff& m) {
        if (e < -960 || e > 960) {
            m.zr = std::ldexp(m.zr, -e);
            m.zi = std::ldexp(m.zi, -e);
            m.ar = std::ldexp(m.ar, -e);
            m.ai = std::ldexp(m.ai, -e);
            setScale(s + e);
            return;
        }
        const double f = numeric::powerOfTwo(-e);
        m.zr *= f;
        m.zi *= f;
        m.ar *= f;
        m.ai *= f;
        s += e;
        scale = s < kLeastScaleExponent ? 0.0 : numeric::powerOfTwo(s);
        setHighest();
        // A constant this far below the mantissas no longer counts; as 0 it costs
        // nothing, where a number below double's normal range would be slow.
        kcr = std::fabs(kcr * f) < 0x1p-1000 ? 0.0 : kcr * f;
        kci = std::fabs(kci * f) < 0x1p-1000 ? 0.0 : kci * f;
    }
    void setHighest() {
        const std::int64_t room = kBackToPlainExponent - s;
        highest = room >= kRescaleExponent
                      ? 0x1p64
                      : numeric::powerOfTwo(std::max<std::int64_t>(room, -1100));
    }
    // v / 2^exponent as a double.
    static double shifted(const numeric::ExtFloat& v, std::int64_t exponent) {
        if (exponent == 0)
            return v.toDouble();
        return v.isZero()
                   ? 0.0
                   : numeric::ExtFloat::fromParts(v.mantissa(), v.exponent() - exponent).toDouble();
    }
};

// How a step treats the terms that are quadratic in d: plain (S = 1), scaled (S m), or
// linear, where they are below what counts (scaled with S taken as 0) and the step
// is one operation shorter.
enum class StepMode { kPlain, kScaled, kLinear };

// x + S m as the mode has it.
template <StepMode kMode>
inline double withTerm(double x, double S, double m) {
    if constexpr (kMode == StepMode::kPlain)
        return x + m;
    else if constexpr (kMode == StepMode::kScaled)
        return x + S * m;
    else
        return x;
}

// (2 Z + d) d / S: the part of (Z + d)^2 - Z^2 that is left when Z^2 cancels.
template <StepMode kMode>
inline void squareDifference(const OrbitPoint& ref, const Diff& m, double S, double& outR,
                             double& outI) {
    const double a = withTerm<kMode>(2.0 * ref.zr, S, m.zr);
    const double b = withTerm<kMode>(2.0 * ref.zi, S, m.zi);
    outR = (a * m.zr) - (b * m.zi);
    outI = (a * m.zi) + (b * m.zr);
}

// Mandelbrot and Julia: z' = z^2 + c. With z = Z + dz and c = C + dc:
//   Z' + dz' = Z^2 + 2 Z dz + dz^2 + C + dc, so dz' = (2 Z + dz) dz + dc.
// Julia's c is the parameter for every pixel (dc = 0); Mandelbrot's z(0) is the
// parameter for every pixel (dz(0) = 0).
struct QuadraticRule {
    static constexpr bool kRebases = true;
    // Whether, beside a reference near 0 with the difference's scale below double's range,
    // a step is the full-range step of z^2 + c (see LegWalker::outweighsBelowRange): here
    // d^2 counts. The other types have a term of the difference's own size that outweighs
    // it there by d's distance from 0 (Unity's T d, Spider's moving c, Manowar's w,
    // Phoenix's p2 w), except Phoenix with p2 = 0, which is z^2 + p1.
    static bool quadraticNearZero(const Pixel&) noexcept { return true; }
    // The derivative of one step is 2 z, a complex number.
    static constexpr bool kConformal = true;
    template <StepMode kMode>
    static void step(const OrbitPoint& ref, const OrbitPoint&, Diff& m, const Pixel& px, double S) {
        double sr, si;
        squareDifference<kMode>(ref, m, S, sr, si);
        m.zr = sr + px.kcr;
        m.zi = si + px.kci;
    }
};

// Unity, a real map of (x, y): k = x^2 + y^2, t = 2 - k, y' = t x, x' = t y'.
// With x = X + dx, y = Y + dy and t = T + dt (T = 2 - K kept with the reference):
//   dk  = (2 X + dx) dx + (2 Y + dy) dy,   dt = -dk,
//   dy' = (T + dt)(X + dx) - T X = T dx + dt (X + dx),
//   dx' = (T + dt)(Y' + dy') - T Y' = T dy' + dt (Y' + dy'),
// where Y' is the reference's next y (its next state).
struct UnityRule {
    static constexpr bool kConformal = false;
    static constexpr bool kRebases = true;
    static bool quadraticNearZero(const Pixel&) noexcept { return false; }
    template <StepMode kMode>
    static void step(const OrbitPoint& ref, const OrbitPoint& next, Diff& m, const Pixel&,
                     double S) {
        const double dk = (withTerm<kMode>(2.0 * ref.zr, S, m.zr) * m.zr) +
                          (withTerm<kMode>(2.0 * ref.zi, S, m.zi) * m.zi);
        const double dt = -dk;
        const double T = ReferenceOrbit::unityT(ref);
        const double dy = (T * m.zr) + (dt * withTerm<kMode>(ref.zr, S, m.zr));
        const double dx = (T * dy) + (dt * withTerm<kMode>(next.zi, S, dy));
        m.zr = dx;
        m.zi = dy;
    }
};

// Spider: z' = z^2 + c, c' = c / 2 + z'. With z = Z + dz and c = C + dc:
//   dz' = (2 Z + dz) dz + dc,   dc' = dc / 2 + dz'.
// dz(0) = 0 (z(0) is the parameter), dc(0) is the pixel's offset.
struct SpiderRule {
    static constexpr bool kConformal = false;
    static constexpr bool kRebases = false;
    static bool quadraticNearZero(const Pixel&) noexcept { return false; }
    template <StepMode kMode>
    static void step(const OrbitPoint& ref, const OrbitPoint&, Diff& m, const Pixel&, double S) {
        double sr, si;
        squareDifference<kMode>(ref, m, S, sr, si);
        m.zr = sr + m.ar;
        m.zi = si + m.ai;
        m.ar = (m.ar * 0.5) + m.zr;
        m.ai = (m.ai * 0.5) + m.zi;
    }
};

// Manowar: z' = z^2 + w + c, w' = z. With z = Z + dz, w = W + dw, c = C + dc:
//   dz' = (2 Z + dz) dz + dw + dc,   dw' = dz.
// dz(0) = 0 (the parameter), dw(0) = dc (w starts as c).
struct ManowarRule {
    static constexpr bool kConformal = false;
    static constexpr bool kRebases = false;
    static bool quadraticNearZero(const Pixel&) noexcept { return false; }
    template <StepMode kMode>
    static void step(const OrbitPoint& ref, const OrbitPoint&, Diff& m, const Pixel& px, double S) {
        double sr, si;
        squareDifference<kMode>(ref, m, S, sr, si);
        const double oldR = m.zr;
        const double oldI = m.zi;
        m.zr = (sr + m.ar) + px.kcr;
        m.zi = (si + m.ai) + px.kci;
        m.ar = oldR;
        m.ai = oldI;
    }
};

// Phoenix: z' = z^2 + p1 + p2 w, w' = z (p1 real, p2 real scaling both parts of w).
// With z = Z + dz and w = W + dw: dz' = (2 Z + dz) dz + p2 dw,   dw' = dz.
// dz(0) is the pixel's offset, dw(0) = 0.
struct PhoenixRule {
    static constexpr bool kConformal = false;
    static constexpr bool kRebases = false;
    // z^2 + p1 where p2 = 0: its w then counts for nothing.
    static bool quadraticNearZero(const Pixel& px) noexcept { return px.p2 == 0.0; }
    template <StepMode kMode>
    static void step(const OrbitPoint& ref, const OrbitPoint&, Diff& m, const Pixel& px, double S) {
        double sr, si;
        squareDifference<kMode>(ref, m, S, sr, si);
        const double oldR = m.zr;
        const double oldI = m.zi;
        m.zr = sr + (px.p2 * m.ar);
        m.zi = si + (px.p2 * m.ai);
        m.ar = oldR;
        m.ai = oldI;
    }
};

}  // namespace complex::perturbation_detail
