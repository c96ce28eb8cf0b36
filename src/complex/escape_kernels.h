#pragma once

#include "complex/fixed28.h"

// The iteration loops of the six escape-time types, in double precision and in
// fixed point. Each returns the count n at which the iterate from before step n lay
// outside (a start value outside gives 1), or limit when it never escaped.
//
// The double loops keep the written order of operations: pictures must come out bit
// for bit the same on every build, which is also why the build forbids contracting
// a multiply and an add into one instruction.
namespace complex::kernels {

using fixed28::Fixed28;

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
    int n = 0;
    while (n < limit) {
        ++n;
        const double xx = zr * zr;
        const double yy = zi * zi;
        const double nextZr = (xx - yy) + cr;
        zi = ((zi * zr) * 2) + ci;
        zr = nextZr;
        if (yy + xx >= 4.0)
            return n;
    }
    return n;
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
    int n = 0;
    while (n < limit) {
        ++n;
        const double xx = zr * zr;
        const double yy = zi * zi;
        const double k = yy + xx;
        const double t = 2 - k;
        zi = t * zr;
        zr = t * zi;
        if (k >= 2.0)
            return n;
    }
    return n;
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
    int n = 0;
    while (n < limit) {
        ++n;
        const double xx = zr * zr;
        const double yy = zi * zi;
        const double nextZr = (xx - yy) + cr;
        zi = ((zi * zr) * 2) + ci;
        zr = nextZr;
        cr = (cr * 0.5) + zr;
        ci = (ci * 0.5) + zi;
        if (yy + xx >= 4.0)
            return n;
    }
    return n;
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
    double wr = cr;
    double wi = ci;
    int n = 0;
    while (n < limit) {
        ++n;
        const double xx = zr * zr;
        const double yy = zi * zi;
        const double nextZr = ((xx - yy) + wr) + cr;
        const double nextZi = (((zi * zr) * 2) + wi) + ci;
        wr = zr;
        wi = zi;
        zr = nextZr;
        zi = nextZi;
        if (yy + xx >= 4.0)
            return n;
    }
    return n;
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
    double wr = 0.0;
    double wi = 0.0;
    int n = 0;
    while (n < limit) {
        ++n;
        const double xx = zr * zr;
        const double yy = zi * zi;
        const double nextZr = ((p2 * wr) + (xx - yy)) + p1;
        const double nextZi = (p2 * wi) + ((zi * zr) * 2);
        wr = zr;
        wi = zi;
        zr = nextZr;
        zi = nextZi;
        if (yy + xx >= 4.0)
            return n;
    }
    return n;
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
