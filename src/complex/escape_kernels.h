#pragma once

#include <algorithm>
#include <cmath>

#include "complex/escape_value.h"
#include "complex/fixed28.h"

// The iteration loops of the six escape-time types, in double precision and in
// fixed point. Each returns the count n at which the iterate from before step n lay
// outside (a start value outside gives 1), or limit when it never escaped.
//
// The double loops keep the written order of operations: pictures must come out bit
// for bit the same on every build, which is also why the build forbids contracting
// a multiply and an add into one instruction.
//
// In double precision each type is one step (a function object that advances its
// state and returns the squared magnitude of the iterate from before the step), run
// by one of two loops: escapeCount for the whole count, smoothEscape for the
// continuous count of smooth colouring as well.
namespace complex::kernels {

using fixed28::Fixed28;

// The squared magnitude at which the types escape (Unity's k escapes at 2).
constexpr double kEscape = 4.0;
constexpr double kUnityEscape = 2.0;
// Smooth colouring reads the continuous count once the iterate is this far out
// (|z| = 1024): the farther out, the less the added constant of z^2 + c matters and
// the smoother the count.
constexpr double kSmoothBailout = 1048576.0;
// At most this many steps after the escape to reach it.
constexpr int kMostSmoothSteps = 16;

template <class Step>
inline int escapeCount(Step step, double bailout, int limit) noexcept {
    int n = 0;
    while (n < limit) {
        ++n;
        if (step() >= bailout)
            return n;
    }
    return n;
}

// The normalised iteration count of a quadratic escape: count n at the escape plus the
// extra steps taken after it, less log2 of how many doublings of the exponent the
// squared magnitude s is past 4. Each further step squares s and adds one step, so the
// value does not depend on how far the iterate was followed: it equals n where s is
// exactly 4 and runs continuously down to n - 1. The whole count where the
// iterate came back inside or overflowed.
inline double normalisedCount(int n, int extraSteps, double s) noexcept {
    if (!(s >= kEscape) || !std::isfinite(s))
        return n;
    // In double: n may be the largest int, and the sum of ints would overflow.
    return static_cast<double>(n) + extraSteps + 1 - std::log2(std::log2(s));
}

// The whole count exactly as escapeCount gives it (the escape test is the same), and
// the continuous count, read a few steps later at kSmoothBailout.
template <class Step>
inline EscapeValue smoothEscape(Step step, int limit) noexcept {
    int n = 0;
    while (n < limit) {
        ++n;
        double s = step();
        if (s >= kEscape) {
            int extra = 0;
            while (s < kSmoothBailout && extra < kMostSmoothSteps && std::isfinite(s)) {
                s = step();
                ++extra;
            }
            return EscapeValue{n, normalisedCount(n, extra, s)};
        }
    }
    return EscapeValue{n, static_cast<double>(n)};
}

struct QuadraticStep {
    double zr, zi, cr, ci;
    double operator()() noexcept {
        const double xx = zr * zr;
        const double yy = zi * zi;
        const double nextZr = (xx - yy) + cr;
        zi = ((zi * zr) * 2) + ci;
        zr = nextZr;
        return yy + xx;
    }
};

struct UnityStep {
    double zr, zi;
    double operator()() noexcept {
        const double xx = zr * zr;
        const double yy = zi * zi;
        const double k = yy + xx;
        const double t = 2 - k;
        zi = t * zr;
        zr = t * zi;
        return k;
    }
};

struct SpiderStep {
    double zr, zi, cr, ci;
    double operator()() noexcept {
        const double xx = zr * zr;
        const double yy = zi * zi;
        const double nextZr = (xx - yy) + cr;
        zi = ((zi * zr) * 2) + ci;
        zr = nextZr;
        cr = (cr * 0.5) + zr;
        ci = (ci * 0.5) + zi;
        return yy + xx;
    }
};

// w starts as c.
struct ManowarStep {
    double zr, zi, cr, ci, wr, wi;
    double operator()() noexcept {
        const double xx = zr * zr;
        const double yy = zi * zi;
        const double nextZr = ((xx - yy) + wr) + cr;
        const double nextZi = (((zi * zr) * 2) + wi) + ci;
        wr = zr;
        wi = zi;
        zr = nextZr;
        zi = nextZi;
        return yy + xx;
    }
};

// w starts as 0.
struct PhoenixStep {
    double zr, zi, p1, p2, wr, wi;
    double operator()() noexcept {
        const double xx = zr * zr;
        const double yy = zi * zi;
        const double nextZr = ((p2 * wr) + (xx - yy)) + p1;
        const double nextZi = (p2 * wi) + ((zi * zr) * 2);
        wr = zr;
        wi = zi;
        zr = nextZr;
        zi = nextZi;
        return yy + xx;
    }
};

// xx + rest, added in this order. Wrapping sums give the same word in any order, but
// the order decides the loop's speed: rest (the parts without the new square xx) is
// ready before xx, so the next iterate is one addition after xx instead of two. The
// empty asm keeps the compiler from re-associating the sum into the slower order.
inline Fixed28 addSquareLast(Fixed28 xx, Fixed28 rest) noexcept {
    asm("" : "+r"(rest));
    return xx + rest;
}

// z(n+1) = z(n)^2 + c: Mandelbrot (z from the parameters, c the pixel) and Julia
// (z the pixel, c from the parameters).
inline int quadratic(double zr, double zi, double cr, double ci, int limit) noexcept {
    return escapeCount(QuadraticStep{zr, zi, cr, ci}, kEscape, limit);
}
inline EscapeValue quadraticSmooth(double zr, double zi, double cr, double ci, int limit) noexcept {
    return smoothEscape(QuadraticStep{zr, zi, cr, ci}, limit);
}

inline int quadratic(Fixed28 zr, Fixed28 zi, Fixed28 cr, Fixed28 ci, int limit) noexcept {
    using namespace fixed28;
    int n = 0;
    while (n < limit) {
        ++n;
        const Fixed28 xx = mul(zr, zr);
        const Fixed28 yy = mul(zi, zi);
        const Fixed28 nextZi = dbl(zr, zi) + ci;
        zr = addSquareLast(xx, cr - yy);
        zi = nextZi;
        if (escapesUnsigned(xx + yy))
            return n;
    }
    return n;
}

// k = |z|^2, y' = (2 - k) x, x' = (2 - k) y'. Escapes at k >= 2.
inline int unity(double zr, double zi, int limit) noexcept {
    return escapeCount(UnityStep{zr, zi}, kUnityEscape, limit);
}
// Unity's escapes follow no power law (the next iterate depends on the real part
// alone, and may fall back to 0), so it has no exact continuous count: the fraction
// is how far k passed 2 on a log scale, k = 2 giving the whole count and k >= 4 one
// less. It softens the bands without removing their edges.
inline EscapeValue unitySmooth(double zr, double zi, int limit) noexcept {
    UnityStep step{zr, zi};
    int n = 0;
    while (n < limit) {
        ++n;
        const double k = step();
        if (k >= kUnityEscape) {
            const double past = std::isfinite(k) ? std::log2(std::log2(k)) : 1.0;
            return EscapeValue{n, n - std::clamp(past, 0.0, 1.0)};
        }
    }
    return EscapeValue{n, static_cast<double>(n)};
}

// The test reads k as signed: a k that wrapped negative does not escape.
inline int unity(Fixed28 zr, Fixed28 zi, int limit) noexcept {
    using namespace fixed28;
    int n = 0;
    while (n < limit) {
        ++n;
        const Fixed28 k = mul(zr, zr) + mul(zi, zi);
        const Fixed28 t = kTwo - k;
        zi = mul(t, zr);
        zr = mul(t, zi);
        if (toSigned(k) >= toSigned(kTwo))
            return n;
    }
    return n;
}

// z(n+1) = z(n)^2 + c(n), c(n+1) = c(n) / 2 + z(n+1).
inline int spider(double zr, double zi, double cr, double ci, int limit) noexcept {
    return escapeCount(SpiderStep{zr, zi, cr, ci}, kEscape, limit);
}
inline EscapeValue spiderSmooth(double zr, double zi, double cr, double ci, int limit) noexcept {
    return smoothEscape(SpiderStep{zr, zi, cr, ci}, limit);
}

inline int spider(Fixed28 zr, Fixed28 zi, Fixed28 cr, Fixed28 ci, int limit) noexcept {
    using namespace fixed28;
    int n = 0;
    while (n < limit) {
        ++n;
        const Fixed28 xx = mul(zr, zr);
        const Fixed28 yy = mul(zi, zi);
        const Fixed28 nextZi = dbl(zr, zi) + ci;
        zr = addSquareLast(xx, cr - yy);
        zi = nextZi;
        cr = half(cr) + zr;
        ci = half(ci) + zi;
        if (escapesUnsigned(xx + yy))
            return n;
    }
    return n;
}

// z(n+1) = z(n)^2 + w(n) + c, w(0) = c, w(n+1) = z(n).
inline int manowar(double zr, double zi, double cr, double ci, int limit) noexcept {
    return escapeCount(ManowarStep{zr, zi, cr, ci, cr, ci}, kEscape, limit);
}
inline EscapeValue manowarSmooth(double zr, double zi, double cr, double ci, int limit) noexcept {
    return smoothEscape(ManowarStep{zr, zi, cr, ci, cr, ci}, limit);
}

inline int manowar(Fixed28 zr, Fixed28 zi, Fixed28 cr, Fixed28 ci, int limit) noexcept {
    using namespace fixed28;
    Fixed28 wr = cr;
    Fixed28 wi = ci;
    int n = 0;
    while (n < limit) {
        ++n;
        const Fixed28 xx = mul(zr, zr);
        const Fixed28 yy = mul(zi, zi);
        const Fixed28 nextZr = addSquareLast(xx, cr + wr - yy);
        const Fixed28 nextZi = dbl(zr, zi) + ci + wi;
        wr = zr;
        wi = zi;
        zr = nextZr;
        zi = nextZi;
        if (escapesUnsigned(xx + yy))
            return n;
    }
    return n;
}

// z(n+1) = z(n)^2 + p1 + p2 w(n), w(0) = 0, w(n+1) = z(n); p1 moves the real part only.
inline int phoenix(double zr, double zi, double p1, double p2, int limit) noexcept {
    return escapeCount(PhoenixStep{zr, zi, p1, p2, 0.0, 0.0}, kEscape, limit);
}
inline EscapeValue phoenixSmooth(double zr, double zi, double p1, double p2, int limit) noexcept {
    return smoothEscape(PhoenixStep{zr, zi, p1, p2, 0.0, 0.0}, limit);
}

inline int phoenix(Fixed28 zr, Fixed28 zi, Fixed28 p1, Fixed28 p2, int limit) noexcept {
    using namespace fixed28;
    Fixed28 wr = 0;
    Fixed28 wi = 0;
    int n = 0;
    while (n < limit) {
        ++n;
        const Fixed28 xx = mul(zr, zr);
        const Fixed28 yy = mul(zi, zi);
        const Fixed28 nextZr = addSquareLast(xx, mul(p2, wr) + p1 - yy);
        const Fixed28 nextZi = mul(p2, wi) + dbl(zr, zi);
        wr = zr;
        wi = zi;
        zr = nextZr;
        zi = nextZi;
        if (escapesUnsigned(xx + yy))
            return n;
    }
    return n;
}

}  // namespace complex::kernels
