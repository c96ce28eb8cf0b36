// Exact counts: the pixels of a deep picture whose counts double differences cannot decide,
// counted again in twice double's precision.
#include <chrono>
#include <cmath>

#include "complex/derivative_walk.h"
#include "complex/double_double_walk.h"
#include "complex/perturbation.h"

namespace complex {

namespace {

// A pixel is counted again when its count would change closer to it than
// kMarginFactor x count x offset x 2^-53 pixels: each step rounds the difference by about
// 2^-53 of itself, which moves the pixel's orbit as moving the pixel by that share of its
// offset from the reference (in pixels, at least 1) would, and over count steps the shares
// add up. Beside small copies of the set at 2e-30 and 6e-106 (limit 200,000), every count
// of 2,000 sampled pixels each came out as a direct iteration's with a factor of 1, and one
// did not with 1/16; 2 leaves room. The runs of the table drop terms up to 2^-40 of those
// they keep, and their pixels' counts are within the same bound.
constexpr double kMarginFactor = 2.0;

// v as a pair of doubles times a power of two, to twice double's precision at any magnitude.
perturbation_detail::WideComplexDD splitExactly(const numeric::BigFloat& re,
                                                const numeric::BigFloat& im) {
    const numeric::ExtFloat r = numeric::ExtFloat::fromBig(re);
    const numeric::ExtFloat i = numeric::ExtFloat::fromBig(im);
    std::int64_t e = 0;
    if (!r.isZero() || !i.isZero())
        e = std::max(r.isZero() ? i.exponent() : r.exponent(),
                     i.isZero() ? r.exponent() : i.exponent());
    const auto part = [e](const numeric::BigFloat& v) {
        numeric::BigFloat scaled = v;
        scaled.scaleByPowerOfTwo(static_cast<long>(-e));
        const double hi = scaled.toDouble();
        scaled -= hi;
        return numeric::quickTwoSum(hi, scaled.toDouble());
    };
    return {{part(re), part(im)}, e};
}

bool countsByDerivative(kernels::Formula type) {
    return type == kernels::Formula::kMandelbrot || type == kernels::Formula::kJulia;
}

}  // namespace

PerturbationScene::Prepared PerturbationScene::prepareExactCounts(const StopCheck& stop) {
    primaryRemainders_ = std::vector<OrbitRemainder>();
    criticalRemainders_ = std::vector<OrbitRemainder>();
    if (!setup_.exactCounts || !countsByDerivative(setup_.formula.type))
        return Prepared::kReady;
    const ReferenceOrbits& orbits = *reference_->orbits;
    const std::size_t states =
        orbits.primary.points.size() + (orbits.hasCritical ? orbits.critical.points.size() : 0);
    // Without the memory for them the picture keeps the counts of its walk.
    if (states > bytesLeft(referenceBytes() + tableBytes()) / sizeof(OrbitRemainder))
        return Prepared::kReady;
    const auto started = std::chrono::steady_clock::now();
    OrbitOutcome outcome =
        computeOrbitRemainders(orbits.formula, orbits.x, orbits.y, OrbitStart::kPoint,
                               orbits.precision, orbits.primary, stop, primaryRemainders_);
    if (outcome == OrbitOutcome::kDone && orbits.hasCritical)
        outcome =
            computeOrbitRemainders(orbits.formula, orbits.x, orbits.y, OrbitStart::kCritical,
                                   orbits.precision, orbits.critical, stop, criticalRemainders_);
    times_.reference +=
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    if (outcome != OrbitOutcome::kDone) {
        primaryRemainders_ = std::vector<OrbitRemainder>();
        criticalRemainders_ = std::vector<OrbitRemainder>();
    }
    return outcome == OrbitOutcome::kStopped ? Prepared::kStopped : Prepared::kReady;
}

bool PerturbationScene::nearlyChanging(const perturbation_detail::DerivativeSetup& walk,
                                       const PixelIndex& pixel, int count) const {
    perturbation_detail::ExtDiff start;
    perturbation_detail::Pixel px;
    startOf(true, pixel.i, pixel.j, start, px);
    const std::optional<double> margin =
        perturbation_detail::escapeMarginInPixels(walk, start, px, count);
    const double offset = std::max(1.0, std::hypot(static_cast<double>(pixel.i - refI_),
                                                   static_cast<double>(pixel.j - refJ_)));
    return !margin || *margin < kMarginFactor * count * offset * 0x1p-53;
}

std::optional<EscapeValue> PerturbationScene::countPrecisely(const PixelIndex& pixel,
                                                             const StopCheck& stop) const {
    const ReferenceOrbits& orbits = *reference_->orbits;
    perturbation_detail::PreciseWalkSetup precise;
    precise.formula = setup_.formula;
    precise.primary = {&orbits.primary, &primaryRemainders_};
    precise.critical = orbits.hasCritical ? perturbation_detail::PreciseOrbit{&orbits.critical,
                                                                              &criticalRemainders_}
                                          : precise.primary;
    precise.smooth = setup_.smooth;
    const numeric::BigFloat x = planeX(pixel.i);
    const numeric::BigFloat y = planeY(pixel.j);
    const perturbation_detail::WideComplexDD offset = splitExactly(x - orbits.x, y - orbits.y);
    const perturbation_detail::WideComplexDD none{};
    if (setup_.formula.type == kernels::Formula::kMandelbrot)
        return perturbation_detail::countPrecisely(precise, none, offset, x.toDouble(),
                                                   y.toDouble(), stop);
    return perturbation_detail::countPrecisely(precise, offset, none, setup_.formula.paramReal,
                                               setup_.formula.paramImag, stop);
}

void PerturbationScene::recountExactly(const PixelIndex* pixels, long count, EscapeValue* values,
                                       const StopCheck& stop) const {
    const perturbation_detail::DerivativeSetup walk = derivativeWalkSetup();
    for (long k = 0; k < count; ++k) {
        EscapeValue& value = values[k];
        if (value.count >= setup_.formula.maxIterations || value.count < 2)
            continue;
        if (stop && stop())
            return;
        if (!nearlyChanging(walk, pixels[k], value.count))
            continue;
        const std::optional<EscapeValue> exact = countPrecisely(pixels[k], stop);
        if (!exact)
            return;
        exactPixels_.fetch_add(1, std::memory_order_relaxed);
        const double distance = value.distance;
        value = *exact;
        value.distance = distance;
    }
}

}  // namespace complex
