#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "complex/exact_orbit.h"
#include "numeric/ext_float.h"
#include "numeric/power_of_two.h"

namespace complex {

// One merged run of steps along a reference orbit: a pixel whose difference dz from the
// reference is below radius (as |re| + |im|, which is at least |dz|) goes from the run's
// first state to its last in one move, dz -> A dz + B dc, where dc is the pixel's own
// constant (0 for Julia).
struct LinearStep {
    double ar = 0.0, ai = 0.0;
    double br = 0.0, bi = 0.0;
    double radius = 0.0;
};

// Bilinear approximation of one reference orbit of Mandelbrot or Julia (z' = z^2 + c).
//
// Why it holds. A pixel's difference goes dz' = 2 Z dz + dz^2 + dc (Z the reference's
// iterate). While |dz| <= e |Z| the dropped term dz^2 is at most e/2 of the kept term
// 2 Z dz, the relative error of one rounded double operation when e is near 2^-53; so
// one step is linear, dz' = A dz + B dc with A = 2 Z and B = 1, valid below the radius
// e |Z|. Two runs x then y merge into A = Ay Ax, B = Ay Bx + By, valid below
//   min(Rx, (Ry - |Bx| |dc|max) / |Ax|),
// since after x the difference is at most |Ax| |dz| + |Bx| |dc| < Ry: every state inside
// the merged run is within its own step's radius. |dc|max is the largest constant of
// any pixel of the picture. Runs are merged in a binary tree: level k holds the runs of
// 2^k steps that start at states 1 + j 2^k (state 0 of an orbit from 0 is 0, where no
// step is linear).
//
// The escape test and rebasing look at the states a run passes over: inside a run the
// pixel is within a relative e of the reference, which never rebases (|Z + dz| > |dz|)
// and stays inside unless the reference comes within a relative 2^-30 of the bailout; a
// state that close gets radius 0, so no run passes over it and the pixel takes its test
// there one step at a time. The counts are checked against direct iteration in
// arbitrary precision by the tests and by corvane-deep-check.
class ApproximationTable {
  public:
    // e above, as a power of two: runs are used only where the dropped terms are below
    // what a few roundings of double arithmetic lose.
    static constexpr int kToleranceExponent = -40;

    enum class Outcome { kReady, kStopped };

    // The runs of orbit (Mandelbrot's or Julia's, after type) for a picture whose pixels'
    // constants are at most dcMost. stop is asked every few thousand runs.
    Outcome build(const ReferenceOrbit& orbit, kernels::Formula type,
                  const numeric::ExtFloat& dcMost, const StopCheck& stop = {});

    // The longest run from state index whose radius holds a difference of magnitude
    // (|re| + |im|) 2^exponent and which is at most most steps long; nullptr when the
    // single step is not linear there. length receives the run's length.
    const LinearStep* longest(std::size_t index, double magnitude, std::int64_t exponent,
                              std::int64_t most, std::int64_t& length) const {
        if (index == 0 || index - 1 >= starts_)
            return nullptr;
        const std::size_t start = index - 1;
        const double held = absoluteMagnitude(magnitude, exponent);
        const LinearStep* runs = runs_.data() + slotOf(start);
        const std::size_t count = runsFrom(start);
        // The radii shrink from level to level (a merged run's is at most its first
        // half's), so the first that fails ends the search.
        std::size_t k = 0;
        while (k < count && (std::int64_t{1} << k) <= most && held < runs[k].radius)
            ++k;
        if (k == 0)
            return nullptr;
        length = std::int64_t{1} << (k - 1);
        return &runs[k - 1];
    }

    // The radius of the run of two steps from state index; 0 where there is none. A pixel
    // whose difference is below it takes a run of at least two steps there (longest).
    double pairRadius(std::size_t index) const noexcept {
        if (index == 0 || (index - 1) % 2 != 0 || levels_ < 2 || index - 1 >= starts_)
            return 0.0;
        return runs_[slotOf(index - 1) + 1].radius;
    }

    // At most the memory of the table of an orbit of so many states: its runs are fewer
    // than twice the steps, plus a slot for each level at the first start.
    static std::size_t bytesFor(std::size_t states) noexcept {
        return (2 * states + 64) * sizeof(LinearStep);
    }

    // The first state from which a run of two steps or more holds a difference at all;
    // none (SIZE_MAX) where no run does. Beside the tip c = -2 the reference's first
    // states are at the bailout, as many as the view is deep, where no run passes: the
    // pixels there, which escape among them, need not look.
    std::size_t firstRunAt() const noexcept { return firstRunAt_; }
    bool skipsAny() const noexcept { return firstRunAt_ != kNoRun; }

    bool empty() const noexcept { return runs_.empty(); }
    std::size_t bytes() const noexcept { return runs_.capacity() * sizeof(LinearStep); }
    int levels() const noexcept { return static_cast<int>(levels_); }

  private:
    // The runs that start at state 1 + s: those of 1, 2, 4, ... 2^tz(s) steps (every
    // level's at s = 0).
    std::size_t runsFrom(std::size_t s) const noexcept {
        return s == 0 ? levels_
                      : std::min<std::size_t>(static_cast<std::size_t>(std::countr_zero(s)) + 1,
                                              levels_);
    }
    // Where the runs from state 1 + s lie in runs_. Start 0 has a slot for every level, and
    // start t >= 1 has tz(t) + 1 (never more than the levels: 2^tz(t) <= t is below the
    // number of starts), so the starts before s >= 1 take
    // levels + sum over 1 <= t < s of (tz(t) + 1) = levels + 2 (s - 1) - popcount(s - 1).
    std::size_t slotOf(std::size_t s) const noexcept {
        return s == 0 ? 0 : levels_ + 2 * (s - 1) - bitsSet(s - 1);
    }
    // std::popcount without the library call it becomes where the processor's own
    // instruction is not assumed.
    static std::size_t bitsSet(std::uint64_t v) noexcept {
        v = v - ((v >> 1) & 0x5555555555555555u);
        v = (v & 0x3333333333333333u) + ((v >> 2) & 0x3333333333333333u);
        v = (v + (v >> 4)) & 0x0F0F0F0F0F0F0F0Fu;
        return static_cast<std::size_t>((v * 0x0101010101010101u) >> 56);
    }
    // magnitude 2^exponent as a double, for comparing with radii. Below double's normal
    // range it is taken as 2^-1000, which is above it: no run with a radius that small is
    // taken, where rounding would make the comparison unsure.
    static double absoluteMagnitude(double magnitude, std::int64_t exponent) {
        if (exponent == 0 || magnitude == 0.0)
            return magnitude;
        const double value =
            numeric::timesPowerOfTwo(magnitude, std::clamp<std::int64_t>(exponent, -2200, 2200));
        return value < 0x1p-1000 ? 0x1p-1000 : value;
    }
    // The run of 2^k steps from each start s of level k >= 1, its two halves merged.
    bool mergeLevel(std::size_t k, const numeric::ExtFloat& dcMost, const StopCheck& stop);
    void clear();

    // runs_[slotOf(s) + k]: the run of 2^k steps from state 1 + s (s a multiple of 2^k;
    // radius 0 where the orbit ends before it). The runs from one start lie side by side,
    // shortest first: finding a pixel's longest run reads a cache line or two, where
    // levels kept apart would cost a miss each.
    std::vector<LinearStep> runs_;
    // The single steps (starts) and the levels of runs.
    std::size_t starts_ = 0;
    std::size_t levels_ = 0;
    static constexpr std::size_t kNoRun = static_cast<std::size_t>(-1);
    std::size_t firstRunAt_ = kNoRun;
};

}  // namespace complex
