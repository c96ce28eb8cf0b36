#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>
#include <vector>

#include "complex/batch_kernels.h"
#include "complex/escape_value.h"
#include "numeric/big_float.h"

namespace complex {

// The largest iteration limit of a deep view: any limit an int holds. What bounds it in
// practice is the memory of the reference orbits (bytesPerState per iteration), which
// the caller gives computeOrbit as its bound.
constexpr int kMostDeepIterations = std::numeric_limits<int>::max();

// What a type's count depends on besides the point: the type, its two parameters and
// the iteration limit.
struct EscapeFormula {
    kernels::Formula type = kernels::Formula::kMandelbrot;
    double paramReal = 0.0;
    double paramImag = 0.0;
    int maxIterations = 100;
};

// The squared magnitude at which the type's iterate is outside (4; Unity's k at 2).
double bailoutOf(kernels::Formula type) noexcept;

// One state of an orbit, rounded to double: the iterate z.
struct OrbitPoint {
    double zr = 0.0;
    double zi = 0.0;
    // |z|^2 minus the bailout, computed before rounding: how far this state is from
    // escaping, to double's precision however near the bailout it is. Below double's
    // normal range only its sign is kept here, as the least normal number, and the margin
    // itself beside the orbit's states (see ReferenceOrbit::smallMargins).
    double outside = 0.0;
    // Whether outside stands for a margin below double's normal range (0 is exact).
    bool marginBelowRange() const noexcept {
        return outside != 0.0 && std::fabs(outside) <= std::numeric_limits<double>::min();
    }
};

// The type's second value of a state: Spider's moving c; Manowar's and Phoenix's w,
// the previous iterate; Unity's t = 2 - |z|^2 of this iterate; 0 for Mandelbrot and
// Julia.
struct SecondValue {
    double ar = 0.0;
    double ai = 0.0;
};

// Where an orbit starts: at the point as the type starts there, or at the iterate
// 0 of the same map (the critical point of z^2, where the differences of a pixel
// lose their precision) with everything else as at the point.
enum class OrbitStart { kPoint, kCritical };

// The margin to the bailout of a state where it is below double's normal range, as
// mantissa 2^exponent (0.5 <= |mantissa| < 1).
struct SmallMargin {
    std::uint64_t index = 0;
    double mantissa = 0.0;
    std::int64_t exponent = 0;
};

// The states 0..last of one orbit. The last is the first state outside, or the
// state after maxIterations steps.
//
// A state keeps only its iterate and margin (24 bytes). The second value is derived
// where it can be: w is the previous state's iterate, and Unity's t = 2 - k is the
// margin k - 2 negated (both rounded to nearest from the same exact number). Only
// Spider's moving c is kept beside the states.
struct ReferenceOrbit {
    std::vector<OrbitPoint> points;
    std::vector<SecondValue> seconds;  // Spider only
    // The margins of the states whose margins are below double's range, by index: rare,
    // mostly beside the tip c = -2 in views deeper than double's range.
    std::vector<SmallMargin> smallMargins;
    kernels::Formula type = kernels::Formula::kMandelbrot;
    SecondValue firstSecond;  // w of state 0 (Manowar, Phoenix)
    bool escaped = false;
    double cr = 0.0;  // the constant c of Mandelbrot, Julia and Manowar, rounded
    double ci = 0.0;
    std::size_t last() const noexcept { return points.empty() ? 0 : points.size() - 1; }

    SecondValue second(std::size_t k) const noexcept {
        switch (type) {
            case kernels::Formula::kSpider:
                return seconds[k];
            case kernels::Formula::kManowar:
            case kernels::Formula::kPhoenix:
                return k == 0 ? firstSecond : SecondValue{points[k - 1].zr, points[k - 1].zi};
            case kernels::Formula::kUnity:
                return {unityT(points[k]), 0.0};
            default:
                return {};
        }
    }

    // Unity's t of a state. 0 - m rather than -m: where k is exactly 2, t is +0 as
    // the exact subtraction gives it.
    static double unityT(const OrbitPoint& p) noexcept { return 0.0 - p.outside; }

    // The small margin of state k; nullptr where it has none.
    const SmallMargin* smallMargin(std::size_t k) const noexcept;

    // The memory the states hold, reserved room included.
    std::size_t bytes() const noexcept {
        return (points.capacity() * sizeof(OrbitPoint)) +
               (seconds.capacity() * sizeof(SecondValue)) +
               (smallMargins.capacity() * sizeof(SmallMargin));
    }

    // The bytes a state of the type takes.
    static std::size_t bytesPerState(kernels::Formula type) noexcept {
        return sizeof(OrbitPoint) + (type == kernels::Formula::kSpider ? sizeof(SecondValue) : 0);
    }
};

enum class OrbitOutcome { kDone, kStopped, kTooLarge };

// Asked once per iteration; true ends the computation (kStopped).
using StopCheck = std::function<bool()>;

// The orbit of (x, y) iterated at the given precision. At most maxIterations + 1
// states are kept, and none when they would need more than mostBytes, or when the
// memory cannot be had (kTooLarge). Beyond a million states the orbit's memory grows
// as it is computed: an orbit that escapes early never holds what its limit would need.
OrbitOutcome computeOrbit(const EscapeFormula& formula, const numeric::BigFloat& x,
                          const numeric::BigFloat& y, OrbitStart start, long precision,
                          std::size_t mostBytes, const StopCheck& stop, ReferenceOrbit& orbit);

// What rounding to double left out of each state's iterate: the exact iterate minus the
// state's (zr, zi), rounded to double, so that the two hold it to about 106 bits.
struct OrbitRemainder {
    double zr = 0.0;
    double zi = 0.0;
};

// The remainders of orbit, which computeOrbit gave for the same formula, point, start and
// precision: the same iteration again, each state compared with the one kept. kStopped
// after a stop, kTooLarge where the memory cannot be had; out is then empty.
OrbitOutcome computeOrbitRemainders(const EscapeFormula& formula, const numeric::BigFloat& x,
                                    const numeric::BigFloat& y, OrbitStart start, long precision,
                                    const ReferenceOrbit& orbit, const StopCheck& stop,
                                    std::vector<OrbitRemainder>& out);

// The count of (x, y) iterated wholly at the given precision, with the double
// kernels' semantics: the count n at which the iterate from before step n lay
// outside, or maxIterations. The continuous count follows the escape in double.
// stop is asked at every step, as for the reference orbit: a stop ends the count at
// once, and the value is then of no use.
EscapeValue directEscape(const EscapeFormula& formula, const numeric::BigFloat& x,
                         const numeric::BigFloat& y, long precision, const StopCheck& stop = {});

// A state in double precision, from which smooth colouring follows an escape: the
// iterate, the second value as in OrbitPoint (Unity: unused) and the constant c.
struct DoubleState {
    double zr, zi, ar, ai, cr, ci;
};

// The whole and continuous count of a state found outside at count n, exactly as the
// double kernel's smooth loop gives them from there.
EscapeValue escapeFrom(const EscapeFormula& formula, const DoubleState& state, int n);

}  // namespace complex
