#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "complex/approximation_table.h"
#include "complex/escape_value.h"
#include "complex/exact_orbit.h"
#include "complex/perturbation_rules.h"

// The plain leg of the perturbation walk in vector lanes, for every type: each lane is
// a pixel with its own position on its own orbit, its own rebasing (Mandelbrot, Julia,
// Unity) or glitch test (Spider, Manowar, Phoenix) and its own escape test. A pixel
// needs nothing from its neighbours, so the lanes keep several pixels' chains of
// dependent steps in flight at once where the scalar walk has one. Every operation is
// the scalar walk's, in its order and without contracted multiply-adds, so the values
// are the same bit for bit. What the lanes do not do (the escape test near the
// bailout, smooth counts, differences below 2^-500, the change of orbit at full range,
// flagged pixels, the end of a reference that is not rebased from) they leave to the
// scalar walk, handing it the pixel's state at the step where the walk would do it.
namespace complex::perturbation_detail {

// The difference rules the lanes know, one per rule of perturbation_rules.h.
enum class LaneRule : std::uint8_t { kQuadratic, kUnity, kSpider, kManowar, kPhoenix };

// The reference orbits as the lanes read them: the iterates (zr, zi), and as well
// Unity's T, or where the orbits have approximation tables the radius of their runs of
// two steps (ApproximationTable::pairRadius), of the primary orbit and, after them, of
// the critical orbit when it is another orbit, then one state of zeros, which a step at
// the last state reads as its next. A lane's position is its state's index in this
// table.
class LaneOrbits {
  public:
    LaneOrbits() = default;
    // Empty when either orbit is. stride: the doubles kept of a state (2 or 3). With
    // tables (Mandelbrot and Julia, stride 3), pixels leave the lanes where a run holds.
    LaneOrbits(const ReferenceOrbit& primary, const ReferenceOrbit& critical, int stride,
               const ApproximationTable* primaryRuns = nullptr,
               const ApproximationTable* criticalRuns = nullptr);
    static std::size_t bytesFor(const ReferenceOrbit& primary, const ReferenceOrbit& critical,
                                int stride);
    static int strideFor(LaneRule rule, bool runs = false) noexcept {
        return rule == LaneRule::kUnity || runs ? 3 : 2;
    }

    bool empty() const noexcept { return values_.empty(); }
    const double* values() const noexcept { return values_.data(); }
    int stride() const noexcept { return stride_; }
    bool hasRuns() const noexcept { return runs_; }
    // The positions of the primary orbit's last state and of the critical orbit's
    // first and last.
    std::int64_t primaryLast() const noexcept { return primaryLast_; }
    std::int64_t criticalStart() const noexcept { return criticalStart_; }
    std::int64_t criticalLast() const noexcept { return criticalLast_; }

  private:
    std::vector<double> values_;
    int stride_ = 2;
    bool runs_ = false;
    std::int64_t primaryLast_ = 0;
    std::int64_t criticalStart_ = 0;
    std::int64_t criticalLast_ = 0;
};

// What the lanes' walk shares with the scalar walk's Context.
struct LaneSetup {
    LaneRule rule = LaneRule::kQuadratic;
    double p2 = 0.0;  // Phoenix's
    int limit = 1;
    bool smooth = false;
    bool fixGlitches = true;
    double escapeAt = 0.0;
    double surelyOutside = 0.0;
    // Whether a pixel leaves the lanes where a run of the orbits' tables holds its
    // difference (LaneOrbits with tables).
    bool runs = false;
};

// A pixel at the start of a plain leg, the step's tests still to come: its difference
// and its constant dc as plain doubles, its steps counted and its position in the
// table.
struct LaneStart {
    Diff m;
    double kcr = 0.0, kci = 0.0;
    int n = 0;
    std::int64_t pos = 0;
};

// How a pixel left the lanes.
enum class LaneExit : std::uint8_t {
    kCounted,   // value holds its count
    kResume,    // n steps counted, the scalar plain leg resumes before the next one's tests
    kHandOver,  // n steps counted, the difference fell below 2^-500: on at full range
};

// A pixel's state where it left the lanes: steps counted, orbit and index there, and
// its difference in plain double.
struct LaneState {
    LaneExit exit = LaneExit::kCounted;
    bool onCritical = false;
    int n = 0;
    std::size_t index = 0;
    Diff m;
    EscapeValue value;
};

// Where the pixels that leave the lanes go on: pixel is the index in starts.
class LaneExits {
  public:
    virtual ~LaneExits() = default;
    // The pixel's count, or its walk on in the scalar walk; true with next when it
    // comes to a plain leg again and goes on in the lanes from there (only if
    // mayReturn).
    virtual bool walkOn(std::size_t pixel, const LaneState& state, bool mayReturn,
                        LaneStart& next) = 0;
};

// Walks pixels 0..count-1 from starts in vector lanes, each until it is counted or
// must go on in the scalar walk, and those exits bring back; false (the values of no
// use) when stop (if given) asked for a stop, which it is asked every few thousand
// steps.
bool walkLanes(const LaneSetup& setup, const LaneOrbits& orbits, const LaneStart* starts,
               std::size_t count, LaneExits& exits, const StopCheck& stop);

}  // namespace complex::perturbation_detail
