#pragma once

#include <atomic>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "complex/approximation_table.h"
#include "complex/escape_value.h"
#include "complex/exact_orbit.h"
#include "complex/perturbation_lanes.h"
#include "complex/state_approximation_table.h"
#include "numeric/big_float.h"
#include "numeric/ext_float.h"

namespace complex {

namespace perturbation_detail {
struct Context;
struct DerivativeSetup;
}  // namespace perturbation_detail

// What a deep picture is: the type and its parameters, the plane point of pixel
// (0, 0) and the plane step from one pixel to the next on each axis.
struct SceneSetup {
    EscapeFormula formula;
    numeric::BigFloat originX;
    numeric::BigFloat originY;
    numeric::ExtFloat dx;
    numeric::ExtFloat dy;
    long width = 0;
    long height = 0;
    // false only to show what a picture would be without the fixing of glitches
    // described below (the tests compare the two).
    bool fixGlitches = true;
    // Whether countAt gives the continuous count of smooth colouring as well (a few
    // steps more per pixel); without, the continuous count is the whole count.
    bool smooth = false;
    // Whether pixels skip runs of steps where the reference's approximation table holds
    // (every type; Unity only along its primary orbit); false gives the plain perturbation
    // of every step, which the benchmarks and tests compare with.
    bool approximate = true;
    // Whether pixels of Mandelbrot and Julia found attracted to a cycle stop at once,
    // counted as inside (they would reach the limit).
    bool detectInterior = true;
    // The most memory the reference orbits may take together.
    std::size_t mostReferenceBytes = std::size_t{2048} << 20;
    // Whether runs of pixels (countRun, countPixels) go through vector lanes, several
    // pixels at once; false: one by one as countAt counts them. The values are the
    // same.
    bool useLanes = true;
    // Mandelbrot and Julia: whether pixels whose count is decided closer to them than
    // double differences can tell (beside small copies of the set, some counts change
    // within 2^-30 of a pixel) are counted again with differences and reference in twice
    // double's precision, so that their counts are those of a direct iteration. Slower;
    // the other pixels keep their counts.
    bool exactCounts = false;
};

// How long the preparation of a scene took, in seconds (0 for a reference reused).
struct PreparationTimes {
    double reference = 0.0;
    double table = 0.0;
};

// The orbits of one reference point: the orbit of the point and, for the types that
// rebase onto it, of the critical point 0, computed at precision for the type, its
// parameters and its limit. What a reference file holds.
struct ReferenceOrbits {
    EscapeFormula formula;
    numeric::BigFloat x;
    numeric::BigFloat y;
    long precision = 0;
    bool hasCritical = false;
    ReferenceOrbit primary;
    ReferenceOrbit critical;
};

// The main reference of a scene, which the scenes of later views may reuse while it lies
// in their picture: its orbits and their approximation tables, built for pixels whose
// constants are at most tableReach from the point.
struct SharedReference {
    std::shared_ptr<const ReferenceOrbits> orbits;
    ApproximationTable primaryTable;
    ApproximationTable criticalTable;
    // The table of the primary orbit of Unity, and of Spider, Manowar and Phoenix; empty
    // where it would not fit in the memory the orbits leave.
    UnityApproximationTable unityTable;
    PairApproximationTable pairTable;
    numeric::ExtFloat tableReach;
    // The orbits alone, their tables left to the scenes they serve (read from a file, or
    // computed without tables): each such scene builds them for its own reach.
    bool orbitsOnly = false;
};

// Whether the type keeps the orbit of its critical point beside the primary one.
bool keepsCriticalOrbit(const EscapeFormula& formula) noexcept;

// What a reference is computed for: the point, the precision, and the memory its
// orbits and tables may take together.
struct ReferenceRequest {
    EscapeFormula formula;
    numeric::BigFloat x;
    numeric::BigFloat y;
    long precision = 0;
    std::size_t mostBytes = std::size_t{2048} << 20;
    // Builds the tables as well, for pixels whose constants are at most this far from
    // the point (a picture's reach); zero: the orbits only.
    numeric::ExtFloat pictureReach;
    // Whether the tables are wanted at all (SceneSetup::approximate).
    bool approximate = true;
};

// A reference computed, with how long its orbits and its tables took.
struct ComputedReference {
    OrbitOutcome outcome = OrbitOutcome::kDone;
    // Set when outcome is kDone.
    std::shared_ptr<SharedReference> reference;
    double orbitSeconds = 0.0;
    double tableSeconds = 0.0;
};

// The reference of a point, exactly as a scene computes its own: a reference computed
// ahead and one computed by the scene are the same numbers.
ComputedReference computeSharedReference(const ReferenceRequest& request,
                                         const StopCheck& stop = {});

// Builds the approximation tables of reference's orbits for pixels within pictureReach
// (at twice that reach), within what mostBytes leaves of the orbits' need; the tables
// stay empty where they would not fit. false after a stop.
bool buildReferenceTables(SharedReference& reference, const numeric::ExtFloat& pictureReach,
                          std::size_t mostBytes, const StopCheck& stop);

// A pixel of the picture: column i, row j counted from the bottom.
struct PixelIndex {
    long i = 0;
    long j = 0;
};

// One escape-time picture computed by perturbation: one orbit of the picture's centre
// in arbitrary precision (the reference), kept rounded to double, and every pixel
// iterated as its small difference from that orbit in double precision: plain while
// the difference is at least 2^-500, and below that as double mantissas sharing one
// wide binary exponent (an extended-exponent number), so that views far below
// double's 1e-308 work the same. The escape test is the double kernel's on the full
// value (reference + difference) at every step, so the counts equal those of a direct
// iteration in arbitrary precision; where the full value comes within 2^-40 of the
// bailout, too near for a reference rounded to double to decide, the pixel is
// counted by direct iteration instead. The differences themselves are rounded to
// double at every step: beside small copies of the set, with counts of 1e5, some
// pixels' counts change within 2^-30 of a pixel (the orbit's derivative is that
// large), and there a count is that of a point within about that distance, not always
// the pixel's own (see docs/testing.md).
//
// Glitches (pixels whose difference has lost the precision its orbit needs) are
// avoided or fixed per type:
// - Mandelbrot, Julia, Unity: rebasing. Whenever the pixel's iterate is nearer 0 than
//   the reference's (|Z + dz| < |dz|), or the reference has ended, the pixel goes on
//   along a second orbit that starts at 0 (Mandelbrot: 0 under the reference's c, the
//   same orbit when z(0) is 0; Julia: 0 under the parameter c; Unity: the fixed point
//   0), with the full value as its difference. Their maps depend on nothing but the
//   iterate and a constant, so any orbit of the same map serves from any step on.
// - Spider, Manowar, Phoenix: their second value (the moving c, the previous iterate)
//   does not restart with z, so a rebased difference would be as large as the values
//   themselves. A pixel whose iterate comes within a thousandth of 0 relative to the
//   reference's is flagged: it is counted again from a second reference (the pixel a
//   quarter of the way in from the top-left corner); if flagged there too, it is
//   accepted only when both references give it the same count without the flag, and
//   is counted by direct iteration in arbitrary precision otherwise. (Pixels that
//   settle on a cycle through 0 are flagged again and again and lose nothing; a
//   glitch depends on the reference and would not agree.) At the end of the reference
//   the pixel continues from the reference's start with the whole state as its
//   difference (exact for these maps as well: they are autonomous in the pair).
//
// Limits: iteration limits below 1, pixel steps that are not finite and positive or
// lie below 2^kLeastSpacingExponent (about 1e-100000), and pictures wider or higher
// than kMostPictureSide are refused; so are iteration limits whose reference orbits
// (24 or 40 bytes a state, maxIterations + 1 states each, as many orbits as the type keeps)
// could need more than the setup's mostReferenceBytes together.
// The lanes' copy of the reference iterates is made only where it fits in what is left.
class PerturbationScene {
  public:
    static constexpr long kLeastSpacingExponent = -332193;
    static constexpr long kMostPictureSide = 1L << 20;
    // The bits a reference is computed with beyond its view's needs (see offerReference).
    static constexpr long kReuseBits = 32;

    enum class Prepared { kReady, kStopped, kTooLarge };

    // nullptr with the reason in why when the setup is refused.
    static std::unique_ptr<PerturbationScene> create(const SceneSetup& setup,
                                                     std::string* why = nullptr);

    // A reference of an earlier scene (or read from a file) that prepare() uses instead
    // of computing one when it serves this picture: the same type, parameters and limit
    // (or an orbit that ended before it), at least this scene's precision, its point
    // inside the picture and its tables (if any) built for a reach as large as the
    // picture's. A reference without tables has them built for this picture's reach.
    void offerReference(std::shared_ptr<const SharedReference> reference) {
        offered_ = std::move(reference);
    }
    // Why reference's orbits cannot serve this picture (one line); empty when they can.
    std::string refusalOf(const SharedReference& reference) const;
    // The reference this scene computes for itself: the plane point of its centre
    // pixel at the precision the scene gives its reference (kReuseBits beyond its own).
    ReferenceRequest ownReferenceRequest() const;
    // The main reference once prepared, for the next scene; before, the one offered.
    std::shared_ptr<const SharedReference> sharedReference() const {
        return reference_ ? reference_ : offered_;
    }
    bool referenceReused() const noexcept { return reused_; }

    // Computes the reference orbit(s). stop is read at every iteration: a stop leaves
    // the scene unprepared (kStopped) within one arbitrary-precision step. Not while
    // another thread counts pixels of this scene.
    Prepared prepare(const StopCheck& stop = {});
    Prepared prepare(const std::atomic<bool>& stop);
    bool prepared() const noexcept { return prepared_; }

    // The count of the pixel at plane point (originX + i dx, originY + j dy); i and j
    // are clamped to +-2^40. Only after prepare() returned kReady; thread-safe. A
    // pixel counted directly at the scene's precision asks stop at every step; after
    // a stop its value is of no use.
    EscapeValue countAt(long i, long j, const StopCheck& stop = {}) const;
    // count pixels of row j from column i on, into out.
    void countRun(long i, long j, long count, EscapeValue* out, const StopCheck& stop = {}) const;
    // out[k] = countAt(pixels[k]) for k < count, in vector lanes with useLanes. After a
    // stop the values are of no use.
    void countPixels(const PixelIndex* pixels, long count, EscapeValue* out,
                     const StopCheck& stop = {}) const;

    // Mandelbrot and Julia: the estimated distance of each pixel that escaped to the
    // set's boundary, in pixels, into values[k].distance, for values as countPixels gave
    // them (0 for inside pixels and other types). Each such pixel walks again with its
    // derivative. After a stop the distances are of no use.
    void measureDistances(const PixelIndex* pixels, long count, EscapeValue* values,
                          const StopCheck& stop = {}) const;

    // The plane point of pixel (i, j), at the scene's precision.
    numeric::BigFloat planeX(long i) const;
    numeric::BigFloat planeY(long j) const;

    // Whether countPixels counts in vector lanes (useLanes, and a prepared scene whose
    // orbits leave room for the lanes' copy of them).
    bool countsInLanes() const noexcept { return prepared_ && !lanes_.empty(); }
    long precision() const noexcept { return precision_; }
    std::size_t referenceBytes() const noexcept;
    // The approximation tables' memory; 0 without tables.
    std::size_t tableBytes() const noexcept {
        return reference_ ? reference_->primaryTable.bytes() + reference_->criticalTable.bytes() +
                                reference_->unityTable.bytes() + reference_->pairTable.bytes()
                          : 0;
    }
    const PreparationTimes& preparationTimes() const noexcept { return times_; }
    long referenceLength() const noexcept {
        return reference_ ? static_cast<long>(reference_->orbits->primary.points.size()) : 0;
    }
    // Pixels counted so far by direct iteration because their difference failed.
    long directPixels() const noexcept { return directPixels_.load(std::memory_order_relaxed); }
    // Pixels found inside by their cycle before the limit.
    long interiorPixels() const noexcept { return interiorPixels_.load(std::memory_order_relaxed); }
    // Pixels counted again in twice double's precision (exactCounts).
    long exactPixels() const noexcept { return exactPixels_.load(std::memory_order_relaxed); }
    const SceneSetup& setup() const noexcept { return setup_; }

  private:
    explicit PerturbationScene(const SceneSetup& setup);
    // The pixel perturbed from orbit (the main reference's or the second's); false when
    // it must be counted otherwise.
    bool perturb(const ReferenceOrbit& orbit, long i, long j, bool detect,
                 EscapeValue& result) const;
    perturbation_detail::Context contextFor(const ReferenceOrbit& orbit, bool detect) const;
    // The difference pixel (i, j) starts with from the main reference (or the second),
    // and the constants it adds.
    void startOf(bool main, long i, long j, perturbation_detail::ExtDiff& start,
                 perturbation_detail::Pixel& px) const;
    void buildLanes();
    // Whether the pixels look up Mandelbrot's or Julia's tables: not where no run of them
    // holds anything.
    bool usesTables() const noexcept;
    bool firstStepAtBailout(const ReferenceOrbit& primary) const noexcept;
    // The walk with the derivative along the main reference (Mandelbrot and Julia), for
    // distances and for how near counts are to changing.
    perturbation_detail::DerivativeSetup derivativeWalkSetup() const;
    // countAt without the exact recount.
    EscapeValue countOne(long i, long j, const StopCheck& stop) const;
    // exactCounts: the remainders of the main reference's orbits, where they apply (see
    // exactCountsApply); kStopped after a stop.
    Prepared prepareExactCounts(const StopCheck& stop);
    bool exactCountsApply() const noexcept { return !primaryRemainders_.empty(); }
    // Whether the count of pixel, as its walk found it, is nearer to changing than the
    // walk's rounding could move the pixel (see kMarginFactor).
    bool nearlyChanging(const perturbation_detail::DerivativeSetup& walk, const PixelIndex& pixel,
                        int count) const;
    // The pixel counted in twice double's precision; none after a stop.
    std::optional<EscapeValue> countPrecisely(const PixelIndex& pixel, const StopCheck& stop) const;
    // The pixels among values (as counted) that are nearly changing, counted again in twice
    // double's precision.
    void recountExactly(const PixelIndex* pixels, long count, EscapeValue* values,
                        const StopCheck& stop) const;
    // What countAt does once the primary reference has failed the pixel.
    EscapeValue countOtherwise(long i, long j, const StopCheck& stop) const;
    perturbation_detail::LaneRule laneRule() const noexcept;
    void countInLanes(const PixelIndex* pixels, long count, EscapeValue* out,
                      const StopCheck& stop) const;
    // The pixel on in the scalar walk from where it left the lanes: its value, or
    // true with next where it starts a plain leg again.
    bool finishFromLanes(const PixelIndex& pixel, const perturbation_detail::LaneState& state,
                         bool mayReturn, EscapeValue& value, perturbation_detail::LaneStart& next,
                         const StopCheck& stop) const;

    SceneSetup setup_;
    long precision_ = 0;
    // Where the main reference lies: pixel (refI_, refJ_) plus a remainder in the plane
    // (0 for a reference computed for this scene, at the centre pixel).
    long refI_ = 0;
    long refJ_ = 0;
    numeric::ExtFloat refRestX_;
    numeric::ExtFloat refRestY_;
    // How far from the main reference the constants of this picture's pixels may lie.
    numeric::ExtFloat reach() const;
    // What the memory bound leaves once used bytes are taken.
    std::size_t bytesLeft(std::size_t used) const noexcept;

    // Where a reference lies in the picture: a pixel plus a remainder in the plane.
    struct Placement {
        long i = 0;
        long j = 0;
        numeric::ExtFloat restX;
        numeric::ExtFloat restY;
    };
    // Where reference's point lies, when its orbits serve this scene; why not in why.
    std::optional<Placement> placeOf(const SharedReference& reference, std::string* why) const;
    // Whether reference's own tables serve this picture as they are.
    bool tablesServe(const SharedReference& reference) const;
    // The offered reference when it serves, with tables built for this picture where it
    // came without; nullptr when it does not serve or a stop came (outcome says which).
    std::shared_ptr<const SharedReference> takeOffered(const StopCheck& stop, Prepared& outcome);
    std::shared_ptr<SharedReference> computeReference(const StopCheck& stop, Prepared& outcome);

    std::shared_ptr<const SharedReference> reference_;
    std::shared_ptr<const SharedReference> offered_;
    bool reused_ = false;
    PreparationTimes times_;
    ReferenceOrbit second_;
    // What rounding to double left out of the main reference's iterates (exactCounts); the
    // critical orbit's only where it is another orbit.
    std::vector<OrbitRemainder> primaryRemainders_;
    std::vector<OrbitRemainder> criticalRemainders_;
    long secondI_ = 0;
    long secondJ_ = 0;
    bool hasSecond_ = false;
    // The orbits as the lanes read them; empty without lanes.
    perturbation_detail::LaneOrbits lanes_;
    bool prepared_ = false;
    mutable std::atomic<long> directPixels_{0};
    mutable std::atomic<long> interiorPixels_{0};
    mutable std::atomic<long> exactPixels_{0};
};

}  // namespace complex
