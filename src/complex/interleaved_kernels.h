#pragma once

#include <climits>
#include <cstddef>

#include "complex/batch_kernels.h"
#include "complex/escape_kernels.h"
#include "complex/fixed28.h"

// Fixed-point kernels that keep several independent pixels in flight on one core. A
// single pixel's loop waits on the latency of its multiplies; with a few pixels
// interleaved the processor overlaps them. The steps are those of the single-point
// kernels (the sums wrap modulo 2^64, so their order does not change a bit), and a
// pixel that finishes hands its slot to the next pixel at once.
namespace complex::kernels::interleaved {

using fixed28::Fixed28;

// The plane points of one batch and the settings they share, with the parameters
// converted once.
struct Points {
    Points(const double* xs, const double* ys, const BatchSetup& s) noexcept
        : x(xs),
          y(ys),
          setup(s),
          realFixed(fixed28::toFixed28(s.paramReal)),
          imagFixed(fixed28::toFixed28(s.paramImag)) {}
    const double* x;
    const double* y;
    BatchSetup setup;
    Fixed28 realFixed;
    Fixed28 imagFixed;
    Fixed28 fx(std::size_t i) const noexcept { return fixed28::toFixed28(x[i]); }
    Fixed28 fy(std::size_t i) const noexcept { return fixed28::toFixed28(y[i]); }
    Fixed28 real() const noexcept { return realFixed; }
    Fixed28 imag() const noexcept { return imagFixed; }
};

// z' = z^2 + c: Mandelbrot (z from the parameters) or Julia (c from the parameters).
struct Quadratic {
    struct State {
        Fixed28 zr = 0, zi = 0, cr = 0, ci = 0;
    };
    const Points& p;
    bool julia;
    State start(std::size_t i) const noexcept {
        if (julia)
            return {p.fx(i), p.fy(i), p.real(), p.imag()};
        return {p.real(), p.imag(), p.fx(i), p.fy(i)};
    }
    static bool step(State& s) noexcept {
        using namespace fixed28;
        const Fixed28 xx = mul(s.zr, s.zr);
        const Fixed28 yy = mul(s.zi, s.zi);
        const Fixed28 nextZi = dbl(s.zr, s.zi) + s.ci;
        s.zr = addSquareLast(xx, s.cr - yy);
        s.zi = nextZi;
        return escapesUnsigned(xx + yy);
    }
};

struct Unity {
    struct State {
        Fixed28 zr = 0, zi = 0;
    };
    const Points& p;
    State start(std::size_t i) const noexcept { return {p.fx(i), p.fy(i)}; }
    static bool step(State& s) noexcept {
        using namespace fixed28;
        const Fixed28 k = mul(s.zr, s.zr) + mul(s.zi, s.zi);
        const Fixed28 t = kTwo - k;
        s.zi = mul(t, s.zr);
        s.zr = mul(t, s.zi);
        return toSigned(k) >= toSigned(kTwo);
    }
};

struct Spider {
    struct State {
        Fixed28 zr = 0, zi = 0, cr = 0, ci = 0;
    };
    const Points& p;
    State start(std::size_t i) const noexcept { return {p.real(), p.imag(), p.fx(i), p.fy(i)}; }
    static bool step(State& s) noexcept {
        using namespace fixed28;
        const Fixed28 xx = mul(s.zr, s.zr);
        const Fixed28 yy = mul(s.zi, s.zi);
        const Fixed28 nextZi = dbl(s.zr, s.zi) + s.ci;
        s.zr = addSquareLast(xx, s.cr - yy);
        s.zi = nextZi;
        s.cr = half(s.cr) + s.zr;
        s.ci = half(s.ci) + s.zi;
        return escapesUnsigned(xx + yy);
    }
};

struct Manowar {
    struct State {
        Fixed28 zr = 0, zi = 0, wr = 0, wi = 0, cr = 0, ci = 0;
    };
    const Points& p;
    State start(std::size_t i) const noexcept {
        const Fixed28 cr = p.fx(i);
        const Fixed28 ci = p.fy(i);
        return {p.real(), p.imag(), cr, ci, cr, ci};
    }
    static bool step(State& s) noexcept {
        using namespace fixed28;
        const Fixed28 xx = mul(s.zr, s.zr);
        const Fixed28 yy = mul(s.zi, s.zi);
        const Fixed28 nextZr = addSquareLast(xx, s.cr + s.wr - yy);
        const Fixed28 nextZi = dbl(s.zr, s.zi) + s.ci + s.wi;
        s.wr = s.zr;
        s.wi = s.zi;
        s.zr = nextZr;
        s.zi = nextZi;
        return escapesUnsigned(xx + yy);
    }
};

struct Phoenix {
    struct State {
        Fixed28 zr = 0, zi = 0, wr = 0, wi = 0;
    };
    const Points& p;
    Fixed28 p1;
    Fixed28 p2;
    explicit Phoenix(const Points& points) : p(points), p1(points.real()), p2(points.imag()) {}
    State start(std::size_t i) const noexcept { return {p.fx(i), p.fy(i), 0, 0}; }
    bool step(State& s) const noexcept {
        using namespace fixed28;
        const Fixed28 xx = mul(s.zr, s.zr);
        const Fixed28 yy = mul(s.zi, s.zi);
        const Fixed28 nextZr = addSquareLast(xx, mul(p2, s.wr) + p1 - yy);
        const Fixed28 nextZi = mul(p2, s.wi) + dbl(s.zr, s.zi);
        s.wr = s.zr;
        s.wi = s.zi;
        s.zr = nextZr;
        s.zi = nextZi;
        return escapesUnsigned(xx + yy);
    }
};

// Runs the points 0..count-1 through kLanes slots. A slot without a point left idles
// on a zero state until the others finish; its count starts so low that it never
// reaches the limit, and what it reports is dropped.
template <int kLanes, class F>
void run(const F& f, std::size_t count, int limit, int* counts) noexcept {
    typename F::State s[kLanes];
    int n[kLanes];
    std::ptrdiff_t index[kLanes];
    std::size_t next = 0;
    int live = 0;
    const auto refill = [&](int l) {
        if (next < count) {
            s[l] = f.start(next);
            index[l] = static_cast<std::ptrdiff_t>(next++);
            n[l] = 0;
            ++live;
        } else {
            s[l] = typename F::State{};
            index[l] = -1;
            n[l] = INT_MIN;
        }
    };
    for (int l = 0; l < kLanes; ++l)
        refill(l);
    while (live > 0) {
#pragma GCC unroll 8
        for (int l = 0; l < kLanes; ++l) {
            ++n[l];
            const bool escaped = f.step(s[l]);
            if (escaped || n[l] == limit) [[unlikely]] {
                if (index[l] >= 0) {
                    counts[index[l]] = n[l];
                    --live;
                }
                refill(l);
            }
        }
    }
}

// The fixed-point batch with kLanes pixels in flight.
template <int kLanes>
void countFixed(const Points& p, std::size_t count, int* counts) noexcept {
    const int limit = p.setup.limit;
    switch (p.setup.formula) {
        case Formula::kMandelbrot:
            return run<kLanes>(Quadratic{p, false}, count, limit, counts);
        case Formula::kJulia:
            return run<kLanes>(Quadratic{p, true}, count, limit, counts);
        case Formula::kUnity:
            return run<kLanes>(Unity{p}, count, limit, counts);
        case Formula::kSpider:
            return run<kLanes>(Spider{p}, count, limit, counts);
        case Formula::kManowar:
            return run<kLanes>(Manowar{p}, count, limit, counts);
        case Formula::kPhoenix:
            return run<kLanes>(Phoenix{p}, count, limit, counts);
    }
}

}  // namespace complex::kernels::interleaved
