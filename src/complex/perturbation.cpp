#include "complex/perturbation.h"

#include <algorithm>
#include <cmath>

#include "complex/perturbation_rules.h"
#include "complex/perturbation_walk.h"
#include "complex/reference_budget.h"
#include "numeric/mpfr_access.h"

namespace complex {

using perturbation_detail::Context;
using perturbation_detail::ExtDiff;
using perturbation_detail::iteratePixel;
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
                                        setup_.mostReferenceBytes, stop, primary_);
    if (outcome == OrbitOutcome::kDone && hasCritical_) {
        outcome = computeOrbit(setup_.formula, x, y, OrbitStart::kCritical, precision_,
                               setup_.mostReferenceBytes - referenceBytes(), stop, critical_);
    }
    if (outcome == OrbitOutcome::kDone && hasSecond_) {
        outcome =
            computeOrbit(setup_.formula, planeX(secondI_), planeY(secondJ_), OrbitStart::kPoint,
                         precision_, setup_.mostReferenceBytes - referenceBytes(), stop, second_);
    }
    if (outcome != OrbitOutcome::kDone) {
        primary_ = ReferenceOrbit();
        critical_ = ReferenceOrbit();
        second_ = ReferenceOrbit();
        return outcome == OrbitOutcome::kStopped ? Prepared::kStopped : Prepared::kTooLarge;
    }
    prepared_ = true;
    return Prepared::kReady;
}

std::size_t PerturbationScene::referenceBytes() const noexcept {
    return (primary_.points.capacity() + critical_.points.capacity() + second_.points.capacity()) *
           sizeof(OrbitPoint);
}

bool PerturbationScene::perturb(const ReferenceOrbit& orbit, long refI, long refJ, long i, long j,
                                bool detect, EscapeValue& result) const {
    const long ci = std::clamp(i, -kMostIndex, kMostIndex) - refI;
    const long cj = std::clamp(j, -kMostIndex, kMostIndex) - refJ;
    const numeric::ExtFloat offR = numeric::ExtFloat(static_cast<double>(ci)) * setup_.dx;
    const numeric::ExtFloat offI = numeric::ExtFloat(static_cast<double>(cj)) * setup_.dy;
    const EscapeFormula& f = setup_.formula;
    const double bailout = bailoutOf(f.type);
    const Context ctx{detect,
                      setup_.smooth,
                      &f,
                      &orbit,
                      hasCritical_ ? &critical_ : &orbit,
                      f.maxIterations,
                      bailout * (1.0 - 0x1p-40),
                      bailout * (1.0 + 0x1p-40)};
    ExtDiff start;
    Pixel px;
    switch (f.type) {
        case kernels::Formula::kJulia:
            start.zr = offR;
            start.zi = offI;
            return iteratePixel<QuadraticRule>(ctx, start, px, result);
        case kernels::Formula::kUnity:
            start.zr = offR;
            start.zi = offI;
            return iteratePixel<UnityRule>(ctx, start, px, result);
        case kernels::Formula::kSpider:
            start.ar = offR;
            start.ai = offI;
            return iteratePixel<SpiderRule>(ctx, start, px, result);
        case kernels::Formula::kManowar:
            start.ar = offR;
            start.ai = offI;
            px.dcr = offR;
            px.dci = offI;
            return iteratePixel<ManowarRule>(ctx, start, px, result);
        case kernels::Formula::kPhoenix:
            start.zr = offR;
            start.zi = offI;
            px.p2 = f.paramImag;
            return iteratePixel<PhoenixRule>(ctx, start, px, result);
        default:
            px.dcr = offR;
            px.dci = offI;
            return iteratePixel<QuadraticRule>(ctx, start, px, result);
    }
}

EscapeValue PerturbationScene::countAt(long i, long j, const StopCheck& stop) const {
    if (!prepared_)
        return EscapeValue{};
    EscapeValue result;
    const bool detect = setup_.fixGlitches;
    if (perturb(primary_, centreI_, centreJ_, i, j, detect, result))
        return result;
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
    for (long k = 0; k < count; ++k)
        out[k] = countAt(first + std::min(k, kMostIndex), j, stop);
}

}  // namespace complex
