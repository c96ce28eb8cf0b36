#pragma once

#include <cstdint>
#include <optional>

#include "complex/approximation_table.h"
#include "complex/exact_orbit.h"
#include "complex/perturbation_rules.h"
#include "numeric/ext_float.h"

// The walk of a deep pixel of Mandelbrot or Julia that carries the derivative of its
// orbit as well, for colouring by the distance to the set's boundary. It is a walk of its
// own, one pixel at a time, so that the walk that counts (and its vector lanes) stays as
// fast as it is: a pixel is counted there first, and only a pixel found outside walks
// again here, to the step it escaped at.
namespace complex::perturbation_detail {

// The steps a pixel goes on beyond its escape at most, until its iterate is large enough
// for the estimate to settle (see distanceInPixels). Beside the tip c = -2 the pixel's
// difference grows by two binary places a step there: enough for views to about 1e-19000.
inline constexpr int kMostDistanceSteps = 32768;

// (re + i im) 2^e: a complex number of any magnitude, its larger part kept near 1.
struct WideComplex {
    double re = 0.0;
    double im = 0.0;
    std::int64_t e = 0;

    bool isZero() const noexcept { return re == 0.0 && im == 0.0; }
    // Moves the larger part's power of two into e once it strays far from 1.
    void normalise() noexcept;
    // this = f this for a double f times 2^fe.
    void multiply(double fr, double fi, std::int64_t fe) noexcept;
    // this += (ar + i ai) 2^ae.
    void add(double ar, double ai, std::int64_t ae) noexcept;
};

// What the walk needs of its scene: the orbits with their tables (nullptr: single steps
// only), whether the derivative is by c (Mandelbrot: z' starts at 0 and gains 1 a step)
// or by the starting point (Julia: it starts at 1), and the pixel spacing h the
// derivative is measured in. The walk carries z' h, which stays within a few powers of
// ten of 1 where z' itself grows like 1 / h and leaves double's range in views below
// 1e-300.
struct DerivativeSetup {
    const ReferenceOrbit* primary = nullptr;
    const ReferenceOrbit* critical = nullptr;
    const ApproximationTable* primaryTable = nullptr;
    const ApproximationTable* criticalTable = nullptr;
    bool byC = true;
    numeric::ExtFloat spacing;
};

// The estimated distance to the set's boundary, in pixels of the setup's spacing, of the
// pixel whose difference starts at start (full range) with constants px and which escaped
// at the test count (the count of the walk that counts: count - 1 steps and a test). 0
// where nothing can be told (an estimate that is not finite and positive); none where the
// walk lost the pixel's own part (see directDistance).
std::optional<double> distanceInPixels(const DerivativeSetup& setup, const ExtDiff& start,
                                       const Pixel& px, int count);

// How near the count of that pixel is to changing, in pixels of the setup's spacing: the
// least change of the pixel that, by its derivative, would take the iterate before the
// escape out past the bailout or the iterate it escaped with back within it. Infinite
// where the derivative is 0; none where the walk lost the pixel's own part.
std::optional<double> escapeMarginInPixels(const DerivativeSetup& setup, const ExtDiff& start,
                                           const Pixel& px, int count);

}  // namespace complex::perturbation_detail
