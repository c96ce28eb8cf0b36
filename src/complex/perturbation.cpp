#include "complex/perturbation.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <vector>

#include "complex/perturbation_rules.h"
#include "complex/perturbation_walk.h"
#include "complex/reference_budget.h"
#include "numeric/mpfr_access.h"

namespace complex {

using perturbation_detail::Context;
using perturbation_detail::ExtDiff;
using perturbation_detail::iteratePixel;
using perturbation_detail::LaneExit;
using perturbation_detail::LaneOrbits;
using perturbation_detail::LaneRule;
using perturbation_detail::LaneSetup;
using perturbation_detail::LaneStart;
using perturbation_detail::LaneState;
using perturbation_detail::ManowarRule;
using perturbation_detail::PhoenixRule;
using perturbation_detail::Pixel;
using perturbation_detail::QuadraticRule;
using perturbation_detail::SpiderRule;
using perturbation_detail::UnityRule;

namespace {

constexpr long kMostIndex = 1L << 40;

bool finitePositive(const numeric::ExtFloat& v) {
    return v.isFinite() && v.sign() > 0;
}

std::string describeRefusal(const SceneSetup& s) {
    if (s.formula.maxIterations < 1)
        return "the iteration limit must be at least 1";
    if (const ReferenceNeed need = referenceNeed(s.formula); need.bytes > s.mostReferenceBytes) {
        return "the reference orbits of " + std::to_string(s.formula.maxIterations) +
               " iterations need " + std::to_string(need.bytes) + " bytes, more than the " +
               std::to_string(s.mostReferenceBytes) + " allowed";
    }
    if (!std::isfinite(s.formula.paramReal) || !std::isfinite(s.formula.paramImag))
        return "the parameters must be finite";
    if (!s.originX.isFinite() || !s.originY.isFinite())
        return "the origin must be finite";
    if (!finitePositive(s.dx) || !finitePositive(s.dy))
        return "the pixel steps must be finite and positive";
    if (s.dx.exponent() < PerturbationScene::kLeastSpacingExponent ||
        s.dy.exponent() < PerturbationScene::kLeastSpacingExponent)
        return "the pixel steps are too small (below about 1e-100000)";
    if (s.width < 1 || s.height < 1 || s.width > PerturbationScene::kMostPictureSide ||
        s.height > PerturbationScene::kMostPictureSide)
        return "the picture size is out of range";
    return {};
}

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

bool hasTable(kernels::Formula type) {
    return type == kernels::Formula::kMandelbrot || type == kernels::Formula::kJulia;
}

// Unity, Spider, Manowar, Phoenix: a table of their state's runs along the primary orbit.
bool hasStateTable(kernels::Formula type) {
    return type == kernels::Formula::kUnity || hasPairTable(type);
}

std::size_t bytesLeftOf(std::size_t most, std::size_t used) noexcept {
    return used < most ? most - used : 0;
}

long magnitudeExponent(const numeric::BigFloat& v) {
    if (v.isZero())
        return 0;
    long e = 0;
    v.mantissa(&e);
    return e;
}

}  // namespace

bool keepsCriticalOrbit(const EscapeFormula& formula) noexcept {
    const kernels::Formula type = formula.type;
    return type == kernels::Formula::kJulia || type == kernels::Formula::kUnity ||
           (type == kernels::Formula::kMandelbrot &&
            (formula.paramReal != 0.0 || formula.paramImag != 0.0));
}

namespace {

// The table of the primary orbit of Unity, Spider, Manowar and Phoenix.
bool buildStateTable(SharedReference& reference, const numeric::ExtFloat& pictureReach,
                     std::size_t mostBytes, const StopCheck& stop) {
    const ReferenceOrbits& orbits = *reference.orbits;
    const EscapeFormula& formula = orbits.formula;
    const std::size_t states = orbits.primary.points.size();
    // The table takes what the orbits (all of them, a second reference's as well) leave.
    const std::size_t need = formula.type == kernels::Formula::kUnity
                                 ? UnityApproximationTable::bytesFor(states)
                                 : PairApproximationTable::bytesFor(states);
    if (need > bytesLeftOf(mostBytes, referenceNeed(formula).bytes))
        return true;
    reference.tableReach = pictureReach * 2.0;
    return formula.type == kernels::Formula::kUnity
               ? reference.unityTable.build(orbits.primary, formula, reference.tableReach, stop) ==
                     UnityApproximationTable::Outcome::kReady
               : reference.pairTable.build(orbits.primary, formula, reference.tableReach, stop) ==
                     PairApproximationTable::Outcome::kReady;
}

}  // namespace

bool buildReferenceTables(SharedReference& reference, const numeric::ExtFloat& pictureReach,
                          std::size_t mostBytes, const StopCheck& stop) {
    const ReferenceOrbits& orbits = *reference.orbits;
    const kernels::Formula type = orbits.formula.type;
    if (hasStateTable(type))
        return buildStateTable(reference, pictureReach, mostBytes, stop);
    if (!hasTable(type))
        return true;
    // The tables take what the orbits leave; without them every step is taken.
    const std::size_t need =
        ApproximationTable::bytesFor(orbits.primary.points.size()) +
        (orbits.hasCritical ? ApproximationTable::bytesFor(orbits.critical.points.size()) : 0);
    if (need > bytesLeftOf(mostBytes, referenceNeed(orbits.formula).bytes))
        return true;
    // Twice the picture's reach: the tables then serve views moved or zoomed out a little.
    reference.tableReach = pictureReach * 2.0;
    bool built = reference.primaryTable.build(orbits.primary, type, reference.tableReach, stop) ==
                 ApproximationTable::Outcome::kReady;
    if (built && orbits.hasCritical)
        built = reference.criticalTable.build(orbits.critical, type, reference.tableReach, stop) ==
                ApproximationTable::Outcome::kReady;
    return built;
}

ComputedReference computeSharedReference(const ReferenceRequest& request, const StopCheck& stop) {
    ComputedReference result;
    const auto started = std::chrono::steady_clock::now();
    auto orbits = std::make_shared<ReferenceOrbits>();
    orbits->formula = request.formula;
    orbits->x = request.x;
    orbits->y = request.y;
    orbits->precision = request.precision;
    orbits->hasCritical = keepsCriticalOrbit(request.formula);
    result.outcome = computeOrbit(request.formula, request.x, request.y, OrbitStart::kPoint,
                                  request.precision, request.mostBytes, stop, orbits->primary);
    if (result.outcome == OrbitOutcome::kDone && orbits->hasCritical) {
        result.outcome = computeOrbit(
            request.formula, request.x, request.y, OrbitStart::kCritical, request.precision,
            bytesLeftOf(request.mostBytes, orbits->primary.bytes()), stop, orbits->critical);
    }
    if (result.outcome != OrbitOutcome::kDone)
        return result;
    result.orbitSeconds = secondsSince(started);
    auto reference = std::make_shared<SharedReference>();
    reference->orbits = std::move(orbits);
    reference->orbitsOnly = request.pictureReach.isZero();
    if (request.approximate && !reference->orbitsOnly) {
        const auto tablesStarted = std::chrono::steady_clock::now();
        if (!buildReferenceTables(*reference, request.pictureReach, request.mostBytes, stop)) {
            result.outcome = OrbitOutcome::kStopped;
            return result;
        }
        result.tableSeconds = secondsSince(tablesStarted);
    }
    result.reference = std::move(reference);
    return result;
}

std::unique_ptr<PerturbationScene> PerturbationScene::create(const SceneSetup& setup,
                                                             std::string* why) {
    const std::string refusal = describeRefusal(setup);
    if (!refusal.empty()) {
        if (why)
            *why = refusal;
        return nullptr;
    }
    return std::unique_ptr<PerturbationScene>(new PerturbationScene(setup));
}

PerturbationScene::PerturbationScene(const SceneSetup& setup) : setup_(setup) {
    const long spacing = static_cast<long>(std::min(setup.dx.exponent(), setup.dy.exponent()));
    // The coordinates of every pixel: the origin's magnitude and the picture's extent.
    const long extent = static_cast<long>(std::max(setup.dx.exponent(), setup.dy.exponent())) +
                        21;  // at most 2^20 pixels a side
    const long magnitude =
        std::max({2L, magnitudeExponent(setup.originX) + 1, magnitudeExponent(setup.originY) + 1,
                  std::min(extent, 2000L)});
    precision_ = numeric::precisionFor(spacing, magnitude);
    refI_ = setup.width / 2;
    refJ_ = setup.height / 2;
    // The types without rebasing check their flagged pixels against a second reference,
    // a quarter of the way in from the top-left corner.
    secondI_ = setup.width / 4;
    secondJ_ = setup.height / 4;
    const kernels::Formula type = setup.formula.type;
    hasSecond_ = (type == kernels::Formula::kSpider || type == kernels::Formula::kManowar ||
                  type == kernels::Formula::kPhoenix) &&
                 (secondI_ != refI_ || secondJ_ != refJ_);
}

numeric::BigFloat PerturbationScene::planeX(long i) const {
    numeric::BigFloat x(precision_);
    mpfr_set(numeric::raw(x), numeric::raw(setup_.originX), MPFR_RNDN);
    const numeric::BigFloat step = setup_.dx.toBig(precision_);
    x += step * static_cast<double>(std::clamp(i, -kMostIndex, kMostIndex));
    return x;
}

numeric::BigFloat PerturbationScene::planeY(long j) const {
    numeric::BigFloat y(precision_);
    mpfr_set(numeric::raw(y), numeric::raw(setup_.originY), MPFR_RNDN);
    const numeric::BigFloat step = setup_.dy.toBig(precision_);
    y += step * static_cast<double>(std::clamp(j, -kMostIndex, kMostIndex));
    return y;
}

PerturbationScene::Prepared PerturbationScene::prepare(const std::atomic<bool>& stop) {
    return prepare([&stop] { return stop.load(std::memory_order_relaxed); });
}

PerturbationScene::Prepared PerturbationScene::prepare(const StopCheck& stop) {
    prepared_ = false;
    reused_ = false;
    times_ = PreparationTimes{};
    reference_.reset();
    second_ = ReferenceOrbit();
    primaryRemainders_ = std::vector<OrbitRemainder>();
    criticalRemainders_ = std::vector<OrbitRemainder>();
    refI_ = setup_.width / 2;
    refJ_ = setup_.height / 2;
    refRestX_ = numeric::ExtFloat();
    refRestY_ = numeric::ExtFloat();
    Prepared outcome = Prepared::kReady;
    if (offered_)
        reference_ = takeOffered(stop, outcome);
    if (reference_) {
        reused_ = true;
    } else if (outcome == Prepared::kReady) {
        reference_ = computeReference(stop, outcome);
    }
    if (!reference_)
        return outcome;
    offered_.reset();
    if (hasSecond_) {
        const OrbitOutcome second =
            computeOrbit(setup_.formula, planeX(secondI_), planeY(secondJ_), OrbitStart::kPoint,
                         precision_, bytesLeft(referenceBytes()), stop, second_);
        if (second != OrbitOutcome::kDone) {
            reference_.reset();
            second_ = ReferenceOrbit();
            return second == OrbitOutcome::kStopped ? Prepared::kStopped : Prepared::kTooLarge;
        }
    }
    if (const Prepared remainders = prepareExactCounts(stop); remainders != Prepared::kReady) {
        reference_.reset();
        return remainders;
    }
    buildLanes();
    prepared_ = true;
    return Prepared::kReady;
}

// The lanes take the plain steps of every type's pixels, and their copy of the iterates
// stays within what the orbits and the tables leave of the budget. Where Mandelbrot's and
// Julia's orbits have tables, a pixel leaves the lanes where a run holds, and comes back
// after many single steps in a row; only their test of inside without tables keeps the
// pixels out, as it follows every step. Unity, Spider, Manowar and Phoenix keep their lanes
// beside their runs: the lanes take the pixels that start plain, whose differences soon
// outgrow the runs' radii (a fraction of their steps lie in runs) and where a step in lanes
// costs a quarter of a step alone or less; the pixels that start scaled (views deeper than
// about 1e-150), and those the lanes hand back, take the runs, which there hold nearly
// every step.
void PerturbationScene::buildLanes() {
    lanes_ = LaneOrbits();
    const bool runs = usesTables();
    if (!setup_.useLanes || (hasTable(setup_.formula.type) && !runs && setup_.detectInterior))
        return;
    const ReferenceOrbit& primary = reference_->orbits->primary;
    if (firstStepAtBailout(primary))
        return;
    const ReferenceOrbit& critical =
        reference_->orbits->hasCritical ? reference_->orbits->critical : primary;
    const ApproximationTable& primaryTable = reference_->primaryTable;
    const ApproximationTable& criticalTable =
        reference_->orbits->hasCritical ? reference_->criticalTable : primaryTable;
    const int stride = LaneOrbits::strideFor(laneRule(), runs);
    if (referenceBytes() + tableBytes() + LaneOrbits::bytesFor(primary, critical, stride) <=
        setup_.mostReferenceBytes) {
        lanes_ = runs ? LaneOrbits(primary, critical, stride, &primaryTable, &criticalTable)
                      : LaneOrbits(primary, critical, stride);
    }
}

// Where the reference's first iterate after its start is within 2^-30 of the bailout (the
// tip c = -2), every pixel's escape test comes at the bailout from its first step on, for
// as many steps as the view is deep, and the lanes would hand each pixel over at once.
bool PerturbationScene::firstStepAtBailout(const ReferenceOrbit& primary) const noexcept {
    if (!hasTable(setup_.formula.type) || primary.points.size() < 2)
        return false;
    const double bailout = bailoutOf(setup_.formula.type);
    return primary.points[1].outside >= -bailout * 0x1p-30;
}

bool PerturbationScene::usesTables() const noexcept {
    if (!setup_.approximate || !hasTable(setup_.formula.type) || !reference_ ||
        reference_->primaryTable.empty())
        return false;
    return reference_->primaryTable.skipsAny() ||
           (reference_->orbits->hasCritical && reference_->criticalTable.skipsAny());
}

ReferenceRequest PerturbationScene::ownReferenceRequest() const {
    ReferenceRequest request;
    request.formula = setup_.formula;
    request.x = planeX(setup_.width / 2);
    request.y = planeY(setup_.height / 2);
    // A few more bits than this view needs: the reference then serves views zoomed in
    // around it by up to 2^kReuseBits.
    request.precision = precision_ + kReuseBits;
    request.mostBytes = setup_.mostReferenceBytes;
    request.pictureReach = reach();
    request.approximate = setup_.approximate;
    return request;
}

std::shared_ptr<SharedReference> PerturbationScene::computeReference(const StopCheck& stop,
                                                                     Prepared& outcome) {
    ComputedReference computed = computeSharedReference(ownReferenceRequest(), stop);
    if (computed.outcome != OrbitOutcome::kDone) {
        outcome =
            computed.outcome == OrbitOutcome::kStopped ? Prepared::kStopped : Prepared::kTooLarge;
        return nullptr;
    }
    times_.reference = computed.orbitSeconds;
    times_.table = computed.tableSeconds;
    return std::move(computed.reference);
}

std::size_t PerturbationScene::bytesLeft(std::size_t used) const noexcept {
    return bytesLeftOf(setup_.mostReferenceBytes, used);
}

numeric::ExtFloat PerturbationScene::reach() const {
    // Every pixel's constant is within the picture's width plus height of a reference in
    // the picture.
    return setup_.dx * static_cast<double>(setup_.width) +
           setup_.dy * static_cast<double>(setup_.height);
}

std::optional<PerturbationScene::Placement> PerturbationScene::placeOf(
    const SharedReference& reference, std::string* why) const {
    const auto refuse = [why](std::string reason) {
        if (why)
            *why = std::move(reason);
        return std::nullopt;
    };
    if (!reference.orbits || reference.orbits->primary.points.empty())
        return refuse("it holds no orbit");
    const ReferenceOrbits& r = *reference.orbits;
    const EscapeFormula& f = setup_.formula;
    if (r.formula.type != f.type)
        return refuse("it belongs to another fractal type");
    if (r.formula.paramReal != f.paramReal || r.formula.paramImag != f.paramImag)
        return refuse("it belongs to other parameters of the type");
    if (r.precision < precision_) {
        return refuse("it is computed with " + std::to_string(r.precision) +
                      " bits, the picture needs " + std::to_string(precision_));
    }
    const bool endedEarly = r.primary.escaped && (!r.hasCritical || r.critical.escaped);
    if (f.maxIterations > r.formula.maxIterations && !endedEarly) {
        return refuse("its orbits go to " + std::to_string(r.formula.maxIterations) +
                      " iterations, the picture's limit is " + std::to_string(f.maxIterations));
    }
    // The reference's place in pixels, which must lie in the picture.
    // Exact differences of numbers of two precisions.
    const long bits = std::max({r.precision, precision_, setup_.originX.precision(),
                                setup_.originY.precision(), r.x.precision(), r.y.precision()}) +
                      1;
    numeric::BigFloat offsetX(bits);
    numeric::BigFloat offsetY(bits);
    mpfr_sub(numeric::raw(offsetX), numeric::raw(r.x), numeric::raw(setup_.originX), MPFR_RNDN);
    mpfr_sub(numeric::raw(offsetY), numeric::raw(r.y), numeric::raw(setup_.originY), MPFR_RNDN);
    const double column = (offsetX / setup_.dx.toBig(r.precision)).toDouble();
    const double row = (offsetY / setup_.dy.toBig(r.precision)).toDouble();
    const auto inside = [](double v, long size) {
        return v >= 0.0 && v <= static_cast<double>(size - 1);
    };
    if (!inside(column, setup_.width) || !inside(row, setup_.height))
        return refuse("its point lies outside the picture");
    Placement place;
    place.i = std::lround(column);
    place.j = std::lround(row);
    // A reference at the very plane point this scene gives a pixel is that pixel's own,
    // as the reference a scene computes for itself is: no remainder, so that both give
    // the same picture. (The plane point is rounded to the scene's precision; the
    // remainder of the rounding would shift every pixel's difference by it.)
    if (mpfr_cmp(numeric::raw(r.x), numeric::raw(planeX(place.i))) != 0) {
        place.restX = numeric::ExtFloat::fromBig(offsetX - setup_.dx.toBig(r.precision) *
                                                               static_cast<double>(place.i));
    }
    if (mpfr_cmp(numeric::raw(r.y), numeric::raw(planeY(place.j))) != 0) {
        place.restY = numeric::ExtFloat::fromBig(offsetY - setup_.dy.toBig(r.precision) *
                                                               static_cast<double>(place.j));
    }
    return place;
}

std::string PerturbationScene::refusalOf(const SharedReference& reference) const {
    std::string why;
    placeOf(reference, &why);
    return why;
}

bool PerturbationScene::tablesServe(const SharedReference& r) const {
    const kernels::Formula type = setup_.formula.type;
    if (!setup_.approximate)
        return true;
    if (hasTable(type) && (r.primaryTable.empty() || r.tableReach < reach()))
        return false;
    // Only Manowar's runs depend on the reach (its pixels add their dc at every step).
    const bool stateTable = !r.unityTable.empty() || !r.pairTable.empty();
    return !hasStateTable(type) ||
           (stateTable && (type != kernels::Formula::kManowar || !(r.tableReach < reach())));
}

std::shared_ptr<const SharedReference> PerturbationScene::takeOffered(const StopCheck& stop,
                                                                      Prepared& outcome) {
    const std::optional<Placement> place = placeOf(*offered_, nullptr);
    if (!place)
        return nullptr;
    std::shared_ptr<const SharedReference> taken = offered_;
    if (setup_.approximate && offered_->orbitsOnly) {
        // Orbits without tables (read from a file): the tables for this picture's reach,
        // as the scene that computes the same orbits builds them.
        const auto started = std::chrono::steady_clock::now();
        auto withTables = std::make_shared<SharedReference>();
        withTables->orbits = offered_->orbits;
        if (!buildReferenceTables(*withTables, reach(), setup_.mostReferenceBytes, stop)) {
            outcome = Prepared::kStopped;
            return nullptr;
        }
        times_.table = secondsSince(started);
        taken = std::move(withTables);
    } else if (!tablesServe(*offered_)) {
        return nullptr;
    }
    refI_ = place->i;
    refJ_ = place->j;
    refRestX_ = place->restX;
    refRestY_ = place->restY;
    return taken;
}

std::size_t PerturbationScene::referenceBytes() const noexcept {
    std::size_t bytes =
        second_.bytes() +
        (primaryRemainders_.capacity() + criticalRemainders_.capacity()) * sizeof(OrbitRemainder);
    if (reference_)
        bytes += reference_->orbits->primary.bytes() + reference_->orbits->critical.bytes();
    return bytes;
}

perturbation_detail::Context PerturbationScene::contextFor(const ReferenceOrbit& orbit,
                                                           bool detect) const {
    const EscapeFormula& f = setup_.formula;
    const double bailout = bailoutOf(f.type);
    const bool main = &orbit == &reference_->orbits->primary;
    Context ctx{detect,
                setup_.smooth,
                &f,
                &orbit,
                main && reference_->orbits->hasCritical ? &reference_->orbits->critical : &orbit,
                f.maxIterations,
                bailout * (1.0 - 0x1p-40),
                bailout * (1.0 + 0x1p-40)};
    ctx.detectInterior = setup_.detectInterior;
    ctx.watchFrom = perturbation_detail::watchFromOf(f.maxIterations);
    if (main && usesTables()) {
        ctx.primaryTable = &reference_->primaryTable;
        ctx.criticalTable = reference_->orbits->hasCritical ? &reference_->criticalTable
                                                            : &reference_->primaryTable;
    }
    if (main && setup_.approximate) {
        ctx.unityTable = reference_->unityTable.empty() ? nullptr : &reference_->unityTable;
        ctx.pairTable = reference_->pairTable.empty() ? nullptr : &reference_->pairTable;
    }
    return ctx;
}

void PerturbationScene::startOf(bool main, long i, long j, ExtDiff& start, Pixel& px) const {
    const long ci = std::clamp(i, -kMostIndex, kMostIndex) - (main ? refI_ : secondI_);
    const long cj = std::clamp(j, -kMostIndex, kMostIndex) - (main ? refJ_ : secondJ_);
    numeric::ExtFloat offR = numeric::ExtFloat(static_cast<double>(ci)) * setup_.dx;
    numeric::ExtFloat offI = numeric::ExtFloat(static_cast<double>(cj)) * setup_.dy;
    // A reference reused from an earlier view lies between pixels.
    if (main && !refRestX_.isZero())
        offR = offR - refRestX_;
    if (main && !refRestY_.isZero())
        offI = offI - refRestY_;
    start = ExtDiff{};
    px = Pixel{};
    switch (setup_.formula.type) {
        case kernels::Formula::kJulia:
        case kernels::Formula::kUnity:
            start.zr = offR;
            start.zi = offI;
            break;
        case kernels::Formula::kSpider:
            start.ar = offR;
            start.ai = offI;
            break;
        case kernels::Formula::kManowar:
            start.ar = offR;
            start.ai = offI;
            px.dcr = offR;
            px.dci = offI;
            break;
        case kernels::Formula::kPhoenix:
            start.zr = offR;
            start.zi = offI;
            px.p2 = setup_.formula.paramImag;
            break;
        default:
            px.dcr = offR;
            px.dci = offI;
            break;
    }
}

bool PerturbationScene::perturb(const ReferenceOrbit& orbit, long i, long j, bool detect,
                                EscapeValue& result) const {
    const Context ctx = contextFor(orbit, detect);
    ExtDiff start;
    Pixel px;
    startOf(&orbit == &reference_->orbits->primary, i, j, start, px);
    bool counted = false;
    switch (setup_.formula.type) {
        case kernels::Formula::kUnity:
            counted = iteratePixel<UnityRule>(ctx, start, px, result);
            break;
        case kernels::Formula::kSpider:
            counted = iteratePixel<SpiderRule>(ctx, start, px, result);
            break;
        case kernels::Formula::kManowar:
            counted = iteratePixel<ManowarRule>(ctx, start, px, result);
            break;
        case kernels::Formula::kPhoenix:
            counted = iteratePixel<PhoenixRule>(ctx, start, px, result);
            break;
        default:
            counted = iteratePixel<QuadraticRule>(ctx, start, px, result);
            break;
    }
    if (counted && px.interior)
        interiorPixels_.fetch_add(1, std::memory_order_relaxed);
    return counted;
}

EscapeValue PerturbationScene::countAt(long i, long j, const StopCheck& stop) const {
    EscapeValue value = countOne(i, j, stop);
    if (exactCountsApply()) {
        const PixelIndex pixel{i, j};
        recountExactly(&pixel, 1, &value, stop);
    }
    return value;
}

EscapeValue PerturbationScene::countOne(long i, long j, const StopCheck& stop) const {
    if (!prepared_)
        return EscapeValue{};
    EscapeValue result;
    if (perturb(reference_->orbits->primary, i, j, setup_.fixGlitches, result))
        return result;
    return countOtherwise(i, j, stop);
}

EscapeValue PerturbationScene::countOtherwise(long i, long j, const StopCheck& stop) const {
    EscapeValue result;
    const bool detect = setup_.fixGlitches;
    // Spider, Manowar, Phoenix: the iterate came near 0 relative to the reference's.
    // Often nothing was lost (pixels that settle on a cycle through 0 do so again and
    // again): the second reference decides without that, or both references agree.
    if (hasSecond_) {
        if (perturb(second_, i, j, detect, result))
            return result;
        EscapeValue other;
        if (perturb(reference_->orbits->primary, i, j, false, result) &&
            perturb(second_, i, j, false, other) && other.count == result.count)
            return result;
    }
    directPixels_.fetch_add(1, std::memory_order_relaxed);
    EscapeValue direct = directEscape(setup_.formula, planeX(i), planeY(j), precision_, stop);
    if (!setup_.smooth)
        direct.continuous = direct.count;
    return direct;
}

void PerturbationScene::countRun(long i, long j, long count, EscapeValue* out,
                                 const StopCheck& stop) const {
    const long first = std::clamp(i, -kMostIndex, kMostIndex);
    thread_local std::vector<PixelIndex> pixels;
    pixels.resize(static_cast<std::size_t>(std::max(count, 0L)));
    for (long k = 0; k < count; ++k)
        pixels[static_cast<std::size_t>(k)] = PixelIndex{first + std::min(k, kMostIndex), j};
    countPixels(pixels.data(), count, out, stop);
}

void PerturbationScene::countPixels(const PixelIndex* pixels, long count, EscapeValue* out,
                                    const StopCheck& stop) const {
    if (count <= 0)
        return;
    if (countsInLanes()) {
        countInLanes(pixels, count, out, stop);
    } else {
        for (long k = 0; k < count; ++k)
            out[k] = countOne(pixels[k].i, pixels[k].j, stop);
    }
    if (exactCountsApply())
        recountExactly(pixels, count, out, stop);
}

namespace {

// The values of a run's pixels that leave the lanes, found by the scene's scalar walk.
template <class Finish>
class RunExits : public perturbation_detail::LaneExits {
  public:
    RunExits(const Finish& finish) : finish_(finish) {}
    bool walkOn(std::size_t pixel, const LaneState& state, bool mayReturn,
                LaneStart& next) override {
        return finish_(pixel, state, mayReturn, next);
    }

  private:
    const Finish& finish_;
};

}  // namespace

// The pixels that start plain go into the lanes, the others through countAt. Those
// the lanes hand back go on in the scalar walk until they are counted or start a
// plain leg again, and these go on in the lanes.
void PerturbationScene::countInLanes(const PixelIndex* pixels, long count, EscapeValue* out,
                                     const StopCheck& stop) const {
    thread_local std::vector<LaneStart> starts;
    thread_local std::vector<long> walked;
    starts.clear();
    walked.clear();
    for (long k = 0; k < count; ++k) {
        ExtDiff start;
        Pixel px;
        startOf(true, pixels[k].i, pixels[k].j, start, px);
        if (!perturbation_detail::goesPlain(start, perturbation_detail::constantExponent(px))) {
            out[k] = countOne(pixels[k].i, pixels[k].j, stop);
            continue;
        }
        px.setScale(0);
        starts.push_back(LaneStart{perturbation_detail::narrowed(start, 0), px.kcr, px.kci});
        walked.push_back(k);
    }
    const Context ctx = contextFor(reference_->orbits->primary, setup_.fixGlitches);
    const LaneSetup setup{laneRule(),        setup_.formula.paramImag, ctx.limit,
                          ctx.smooth,        ctx.fixGlitches,          ctx.escapeAt,
                          ctx.surelyOutside, lanes_.hasRuns()};
    const auto finish = [&](std::size_t w, const LaneState& state, bool mayReturn,
                            LaneStart& next) {
        const long k = walked[w];
        return finishFromLanes(pixels[k], state, mayReturn, out[k], next, stop);
    };
    RunExits exits(finish);
    if (!perturbation_detail::walkLanes(setup, lanes_, starts.data(), starts.size(), exits, stop)) {
        for (long k = 0; k < count; ++k)
            out[k] = EscapeValue{};
    }
}

perturbation_detail::LaneRule PerturbationScene::laneRule() const noexcept {
    switch (setup_.formula.type) {
        case kernels::Formula::kUnity:
            return LaneRule::kUnity;
        case kernels::Formula::kSpider:
            return LaneRule::kSpider;
        case kernels::Formula::kManowar:
            return LaneRule::kManowar;
        case kernels::Formula::kPhoenix:
            return LaneRule::kPhoenix;
        default:
            return LaneRule::kQuadratic;
    }
}

namespace {

// The scalar walk from where the pixel left the lanes, until it is counted or starts
// a plain leg again (kSwitch, w holding its state).
template <class Rule>
perturbation_detail::Leg walkOn(const Context& ctx, const LaneState& state,
                                perturbation_detail::Walk& w, Pixel& px, EscapeValue& result,
                                perturbation_detail::Diff* plain) {
    w.n = state.n;
    w.index = state.index;
    w.orbit = state.onCritical ? ctx.critical : ctx.primary;
    if (state.exit == LaneExit::kResume)
        return perturbation_detail::iteratePixelFrom<Rule>(ctx, w, state.m, px, result, plain);
    w.handover = perturbation_detail::widened(state.m, 0);
    return perturbation_detail::walkLegs<Rule>(ctx, w, px, result, plain);
}

}  // namespace

bool PerturbationScene::finishFromLanes(const PixelIndex& pixel, const LaneState& state,
                                        bool mayReturn, EscapeValue& value, LaneStart& next,
                                        const StopCheck& stop) const {
    using perturbation_detail::Leg;
    if (state.exit == LaneExit::kCounted) {
        value = state.value;
        return false;
    }
    const Context ctx = contextFor(reference_->orbits->primary, setup_.fixGlitches);
    ExtDiff start;
    Pixel px;
    startOf(true, pixel.i, pixel.j, start, px);
    perturbation_detail::Walk w;
    perturbation_detail::Diff* plain = mayReturn ? &next.m : nullptr;
    Leg leg = Leg::kDirect;
    switch (laneRule()) {
        case LaneRule::kUnity:
            leg = walkOn<UnityRule>(ctx, state, w, px, value, plain);
            break;
        case LaneRule::kSpider:
            leg = walkOn<SpiderRule>(ctx, state, w, px, value, plain);
            break;
        case LaneRule::kManowar:
            leg = walkOn<ManowarRule>(ctx, state, w, px, value, plain);
            break;
        case LaneRule::kPhoenix:
            leg = walkOn<PhoenixRule>(ctx, state, w, px, value, plain);
            break;
        case LaneRule::kQuadratic:
            leg = walkOn<QuadraticRule>(ctx, state, w, px, value, plain);
            break;
    }
    // Counted with those found inside one pixel at a time (see perturb).
    if (leg == Leg::kDone && px.interior)
        interiorPixels_.fetch_add(1, std::memory_order_relaxed);
    if (leg == Leg::kDirect)
        value = countOtherwise(pixel.i, pixel.j, stop);
    if (leg != Leg::kSwitch)
        return false;
    next.kcr = px.kcr;
    next.kci = px.kci;
    next.n = w.n;
    const bool onCritical = w.orbit == ctx.critical && ctx.critical != ctx.primary;
    next.pos = static_cast<std::int64_t>(w.index) + (onCritical ? lanes_.criticalStart() : 0);
    return true;
}

}  // namespace complex
