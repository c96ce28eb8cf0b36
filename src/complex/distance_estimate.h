#pragma once

#include "complex/escape_kernels.h"
#include "complex/escape_value.h"

// The distance from a point outside the set to the set's boundary, estimated from the
// derivative of its orbit: boundary detail one pixel wide at any iteration count.
namespace complex::kernels {

// A count with the estimated distance of its point, in plane units. The distance is 0
// where the point never escaped (inside), and where the derivative grew past double's
// range (a point on the boundary to double's precision).
struct EscapeDistance {
    EscapeValue value;
    double distance = 0.0;
};

// The estimate |z| ln|z| / |z'| of an iterate z outside with derivative z': within a
// factor of two of the true distance (the Koebe quarter theorem bounds the true distance
// between a half and twice it).
inline double distanceFrom(double zr, double zi, double dr, double di) noexcept {
    const double size = std::hypot(zr, zi);
    const double slope = std::hypot(dr, di);
    if (!(slope > 0.0) || !std::isfinite(slope))
        return 0.0;
    const double distance = size * std::log(size) / slope;
    return std::isfinite(distance) ? distance : 0.0;
}

// z(n+1) = z(n)^2 + c with its derivative: by c for Mandelbrot (z' starts at 0 and gains 1
// a step), by the starting point for Julia (z' starts at 1). The iterate's operations are
// the double kernel's, in its order, so that the count is the count of that kernel and
// the continuous count that of its smooth loop.
inline EscapeDistance quadraticDistance(double zr, double zi, double cr, double ci, bool byC,
                                        int limit) noexcept {
    double dr = byC ? 0.0 : 1.0;
    double di = 0.0;
    const double add = byC ? 1.0 : 0.0;
    const auto step = [&] {
        const double xx = zr * zr;
        const double yy = zi * zi;
        const double nextDr = (2.0 * ((zr * dr) - (zi * di))) + add;
        const double nextDi = 2.0 * ((zr * di) + (zi * dr));
        dr = nextDr;
        di = nextDi;
        zi = ((zi * zr) * 2) + ci;
        zr = (xx - yy) + cr;
    };
    int n = 0;
    while (n < limit) {
        ++n;
        double s = (zi * zi) + (zr * zr);
        if (s >= kEscape) {
            int extra = 0;
            while (s < kSmoothBailout && extra < kMostSmoothSteps && std::isfinite(s)) {
                step();
                s = (zi * zi) + (zr * zr);
                ++extra;
            }
            return {EscapeValue{n, normalisedCount(n, extra, s)}, distanceFrom(zr, zi, dr, di)};
        }
        step();
    }
    return {EscapeValue{n, static_cast<double>(n)}, 0.0};
}

}  // namespace complex::kernels
