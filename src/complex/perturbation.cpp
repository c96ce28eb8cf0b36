#include "complex/perturbation.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "complex/perturbation_rules.h"
#include "complex/perturbation_walk.h"
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
    if (s.formula.maxIterations < 1 || s.formula.maxIterations > kMostIterations)
        return "the iteration limit must lie between 1 and " + std::to_string(kMostIterations);
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

long magnitudeExponent(const numeric::BigFloat& v) {
    if (v.isZero())
        return 0;
    long e = 0;
    v.mantissa(&e);
    return e;
}

}  // namespace

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
    centreI_ = setup.width / 2;
    centreJ_ = setup.height / 2;
    // The types without rebasing check their flagged pixels against a second reference,
    // a quarter of the way in from the top-left corner.
    secondI_ = setup.width / 4;
    secondJ_ = setup.height / 4;
    const kernels::Formula type = setup.formula.type;
    hasSecond_ = (type == kernels::Formula::kSpider || type == kernels::Formula::kManowar ||
                  type == kernels::Formula::kPhoenix) &&
                 (secondI_ != centreI_ || secondJ_ != centreJ_);
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
    lanes_ = LaneOrbits();
    primary_ = ReferenceOrbit();
    critical_ = ReferenceOrbit();
    second_ = ReferenceOrbit();
    const kernels::Formula type = setup_.formula.type;
    hasCritical_ = type == kernels::Formula::kJulia || type == kernels::Formula::kUnity ||
                   (type == kernels::Formula::kMandelbrot &&
                    (setup_.formula.paramReal != 0.0 || setup_.formula.paramImag != 0.0));
    const numeric::BigFloat x = planeX(centreI_);
    const numeric::BigFloat y = planeY(centreJ_);
    OrbitOutcome outcome = computeOrbit(setup_.formula, x, y, OrbitStart::kPoint, precision_,
                                        kMostReferenceBytes, stop, primary_);
    if (outcome == OrbitOutcome::kDone && hasCritical_) {
        outcome = computeOrbit(setup_.formula, x, y, OrbitStart::kCritical, precision_,
                               kMostReferenceBytes - referenceBytes(), stop, critical_);
    }
    if (outcome == OrbitOutcome::kDone && hasSecond_) {
        outcome =
            computeOrbit(setup_.formula, planeX(secondI_), planeY(secondJ_), OrbitStart::kPoint,
                         precision_, kMostReferenceBytes - referenceBytes(), stop, second_);
    }
    if (outcome != OrbitOutcome::kDone) {
        primary_ = ReferenceOrbit();
        critical_ = ReferenceOrbit();
        second_ = ReferenceOrbit();
        return outcome == OrbitOutcome::kStopped ? Prepared::kStopped : Prepared::kTooLarge;
    }
    // The lanes' copy of the iterates stays within the orbits' budget.
    const ReferenceOrbit& critical = hasCritical_ ? critical_ : primary_;
    const int stride = LaneOrbits::strideFor(laneRule());
    if (setup_.useLanes &&
        referenceBytes() + LaneOrbits::bytesFor(primary_, critical, stride) <= kMostReferenceBytes)
        lanes_ = LaneOrbits(primary_, critical, stride);
    prepared_ = true;
    return Prepared::kReady;
}

std::size_t PerturbationScene::referenceBytes() const noexcept {
    return (primary_.points.capacity() + critical_.points.capacity() + second_.points.capacity()) *
           sizeof(OrbitPoint);
}

perturbation_detail::Context PerturbationScene::contextFor(const ReferenceOrbit& orbit,
                                                           bool detect) const {
    const EscapeFormula& f = setup_.formula;
    const double bailout = bailoutOf(f.type);
    return Context{detect,
                   setup_.smooth,
                   &f,
                   &orbit,
                   hasCritical_ ? &critical_ : &orbit,
                   f.maxIterations,
                   bailout * (1.0 - 0x1p-40),
                   bailout * (1.0 + 0x1p-40)};
}

void PerturbationScene::startOf(long refI, long refJ, long i, long j, ExtDiff& start,
                                Pixel& px) const {
    const long ci = std::clamp(i, -kMostIndex, kMostIndex) - refI;
    const long cj = std::clamp(j, -kMostIndex, kMostIndex) - refJ;
    const numeric::ExtFloat offR = numeric::ExtFloat(static_cast<double>(ci)) * setup_.dx;
    const numeric::ExtFloat offI = numeric::ExtFloat(static_cast<double>(cj)) * setup_.dy;
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

bool PerturbationScene::perturb(const ReferenceOrbit& orbit, long refI, long refJ, long i, long j,
                                bool detect, EscapeValue& result) const {
    const Context ctx = contextFor(orbit, detect);
    ExtDiff start;
    Pixel px;
    startOf(refI, refJ, i, j, start, px);
    switch (setup_.formula.type) {
        case kernels::Formula::kUnity:
            return iteratePixel<UnityRule>(ctx, start, px, result);
        case kernels::Formula::kSpider:
            return iteratePixel<SpiderRule>(ctx, start, px, result);
        case kernels::Formula::kManowar:
            return iteratePixel<ManowarRule>(ctx, start, px, result);
        case kernels::Formula::kPhoenix:
            return iteratePixel<PhoenixRule>(ctx, start, px, result);
        default:
            return iteratePixel<QuadraticRule>(ctx, start, px, result);
    }
}

EscapeValue PerturbationScene::countAt(long i, long j, const StopCheck& stop) const {
    if (!prepared_)
        return EscapeValue{};
    EscapeValue result;
    if (perturb(primary_, centreI_, centreJ_, i, j, setup_.fixGlitches, result))
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
        if (perturb(second_, secondI_, secondJ_, i, j, detect, result))
            return result;
        EscapeValue other;
        if (perturb(primary_, centreI_, centreJ_, i, j, false, result) &&
            perturb(second_, secondI_, secondJ_, i, j, false, other) && other.count == result.count)
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
    std::vector<PixelIndex> pixels(static_cast<std::size_t>(std::max(count, 0L)));
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
        return;
    }
    for (long k = 0; k < count; ++k)
        out[k] = countAt(pixels[k].i, pixels[k].j, stop);
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
        startOf(centreI_, centreJ_, pixels[k].i, pixels[k].j, start, px);
        if (!perturbation_detail::goesPlain(start, perturbation_detail::constantExponent(px))) {
            out[k] = countAt(pixels[k].i, pixels[k].j, stop);
            continue;
        }
        px.setScale(0);
        starts.push_back(LaneStart{perturbation_detail::narrowed(start, 0), px.kcr, px.kci});
        walked.push_back(k);
    }
    const Context ctx = contextFor(primary_, setup_.fixGlitches);
    const LaneSetup setup{laneRule(),       setup_.formula.paramImag, ctx.limit,
                          ctx.smooth,       ctx.fixGlitches,          ctx.escapeAt,
                          ctx.surelyOutside};
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
    const Context ctx = contextFor(primary_, setup_.fixGlitches);
    ExtDiff start;
    Pixel px;
    startOf(centreI_, centreJ_, pixel.i, pixel.j, start, px);
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
