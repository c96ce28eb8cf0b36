#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "complex/exact_orbit.h"
#include "numeric/ext_float.h"

namespace complex {

// One merged run of Unity's steps: the difference (dx, dy) goes from the run's first state
// to its last as dx -> xx dx + xy dy, dy -> yx dx + yy dy, while |dx| + |dy| is below
// radius.
struct PlaneRun {
    double xx = 0.0, xy = 0.0;
    double yx = 0.0, yy = 0.0;
    double radius = 0.0;
};

// One merged run of the steps of Spider, Manowar or Phoenix, whose difference is a pair of
// complex numbers (dz and the second value dw): while |dz| + |dw| is below radius,
//   dz -> zz dz + zw dw + bz dc,   dw -> wz dz + ww dw + bw dc,
// dc the pixel's constant where the type adds one at every step (Manowar; else B is 0).
struct PairRun {
    double zzr = 0.0, zzi = 0.0, zwr = 0.0, zwi = 0.0;
    double wzr = 0.0, wzi = 0.0, wwr = 0.0, wwi = 0.0;
    double bzr = 0.0, bzi = 0.0, bwr = 0.0, bwi = 0.0;
    double radius = 0.0;
};

// Bilinear approximation of one reference orbit of a type whose difference is a state of
// two numbers: Unity's (dx, dy), a real map, and the (dz, dw) of Spider, Manowar and
// Phoenix. The model is ApproximationTable (Mandelbrot and Julia); what differs is that a
// step is a 2x2 matrix A and a vector B, and that a run's radius bounds the whole state,
// N(v) = |v1| + |v2| (the walk compares the sum of |re| + |im| of the parts, which is at
// least N).
//
// Merging. Two runs x then y merge into A = Ay Ax, B = Ay Bx + By. After x the state is
// Ax v + Bx dc, whose norm is at most
//   ||Ax|| N(v) + (|Bx1| + |Bx2|) |dc|max,   ||Ax|| = max over the columns j of |Ax1j| + |Ax2j|
// (y's radius bounds the whole state, so both rows of Ax count); it must stay below Ry, so the
// merged run holds below min(Rx, (Ry - (|Bx1| + |Bx2|) |dc|max) / ||Ax||). Every state inside the
// merged run is then within its own step's radius. Runs of one step are never taken (the step
// itself costs as much), so the levels start at runs of 2 steps: level k holds the runs of 2^(k+1)
// steps from states 1 + j 2^(k+1).
//
// Spider, Manowar, Phoenix. Each step is dz' = 2 Z dz + dz^2 + (linear terms), and only
// dz^2 is dropped:
//   Spider   (dz, dc moving):  dz' = 2 Z dz + dc,   dc' = dc / 2 + dz' = 2 Z dz + 3/2 dc;
//            the pixel's dc enters only through the initial state, so B = 0.
//   Manowar  (dz, dw):         dz' = 2 Z dz + dw + dc,   dw' = dz;   B = (1, 0).
//   Phoenix  (dz, dw):         dz' = 2 Z dz + p2 dw,     dw' = dz;   B = 0, p2 real and
//            the same for the whole picture.
// With N(v) <= e |Z|, |dz| <= e |Z| and the dropped dz^2 is at most e/2 of the kept
// 2 Z dz: the single step's radius is e |Z|. The glitch test (|Z + dz|^2 below 1e-6 |Z|^2)
// cannot fire at a state a run passes over: there |dz| <= e |Z|, so |Z + dz| >= (1 - e) |Z|.
//
// Unity. k = x^2 + y^2, t = 2 - k, y' = t x, x' = t y'. With the reference's X, Y, T and
// its next y, Y1:
//   dk = L + Q,   L = 2 X dx + 2 Y dy,   Q = dx^2 + dy^2,   dt = -dk,
//   dy' = T dx - dk (X + dx)  = (T - 2 X^2) dx - 2 X Y dy          - [Q X + dk dx],
//   dx' = T dy' - dk (Y1 + dy') = T dy' - 2 X Y1 dx - 2 Y Y1 dy    - [Q Y1 + dk dy'].
// The bracketed terms are dropped: linear, dy' = (T - 2 X^2) dx - 2 X Y dy and
// dx' = T dy' - 2 X Y1 dx - 2 Y Y1 dy. Each dropped term stays below e of the kept term
// beside it when r = |dx| + |dy| <= e min(|X|, |Y|, |T| / (3 m)), m = max(|X|, |Y|):
// dx^2 beside 2 X dx and dy^2 beside 2 Y dy need |dx| <= 2 e |X| and |dy| <= 2 e |Y| (so
// Q X beside L X and Q Y1 beside L Y1 as well); dk dx beside T dx and dk dy' beside T dy'
// need |dk| <= e |T|, and |dk| <= 2 m r + r^2 <= 3 m r. Where X or Y is 0, dy enters the
// step only through the dropped terms (the map is not invertible there: the determinant of
// its derivative is 2 T^2 X Y), so the radius is 0 and the pixel takes that step exactly. Inside a
// run |d| <= e |Z|, so the pixel never rebases (|Z + d| > |d|). Unity's second orbit is the fixed
// point 0, where no step is linear in this sense: it has no table.
//
// All types: no run passes over a state whose reference comes within a relative 2^-30 of
// the bailout (its radius is 0): inside a run the pixel is within a relative e of the
// reference, so the escape test at any state passed over finds it inside, as it would.
template <class Run>
class StateApproximationTable {
  public:
    enum class Outcome { kReady, kStopped };

    // The runs of orbit (of the type of formula, which gives Phoenix's p2) for a picture
    // whose pixels' constants are at most dcMost. stop is asked every few thousand runs.
    Outcome build(const ReferenceOrbit& orbit, const EscapeFormula& formula,
                  const numeric::ExtFloat& dcMost, const StopCheck& stop = {});

    // The longest run from state index whose radius holds a state of magnitude (the sum of
    // |re| + |im| of its parts) 2^exponent, of at least 2 and at most most steps; nullptr
    // when there is none. length receives the run's length.
    const Run* longest(std::size_t index, double magnitude, std::int64_t exponent,
                       std::int64_t most, std::int64_t& length) const;

    // What the table of an orbit of states states needs at most: fewer runs than states
    // (half as many of 2 steps, a quarter of 4, ...), 40 bytes each for Unity, 104 for the
    // others.
    static std::size_t bytesFor(std::size_t states) noexcept { return states * sizeof(Run); }

    bool empty() const noexcept { return levels_.empty(); }
    std::size_t bytes() const noexcept;
    int levels() const noexcept { return static_cast<int>(levels_.size()); }

  private:
    // levels_[k][j]: the run of 2^(k+1) steps from state 1 + j 2^(k+1).
    std::vector<std::vector<Run>> levels_;
};

using UnityApproximationTable = StateApproximationTable<PlaneRun>;
using PairApproximationTable = StateApproximationTable<PairRun>;

// Whether type's table is a pair table (Spider, Manowar, Phoenix).
bool hasPairTable(kernels::Formula type) noexcept;

}  // namespace complex
