// The distances of deep pixels to the set's boundary, from their orbits' derivatives.
#include "complex/derivative_walk.h"
#include "complex/direct_distance.h"
#include "complex/perturbation.h"
#include "complex/perturbation_walk.h"

namespace complex {

perturbation_detail::DerivativeSetup PerturbationScene::derivativeWalkSetup() const {
    const perturbation_detail::Context ctx = contextFor(reference_->orbits->primary, false);
    perturbation_detail::DerivativeSetup walk;
    walk.primary = ctx.primary;
    walk.critical = ctx.critical;
    walk.primaryTable = ctx.primaryTable;
    walk.criticalTable = ctx.criticalTable;
    walk.byC = setup_.formula.type == kernels::Formula::kMandelbrot;
    walk.spacing = setup_.dx;
    return walk;
}

void PerturbationScene::measureDistances(const PixelIndex* pixels, long count, EscapeValue* values,
                                         const StopCheck& stop) const {
    const kernels::Formula type = setup_.formula.type;
    const bool carried = type == kernels::Formula::kMandelbrot || type == kernels::Formula::kJulia;
    if (!carried || !prepared_) {
        for (long k = 0; k < count; ++k)
            values[k].distance = 0.0;
        return;
    }
    const perturbation_detail::DerivativeSetup walk = derivativeWalkSetup();
    for (long k = 0; k < count; ++k) {
        EscapeValue& value = values[k];
        value.distance = 0.0;
        if (value.count >= setup_.formula.maxIterations)
            continue;
        if (stop && stop())
            return;
        perturbation_detail::ExtDiff start;
        perturbation_detail::Pixel px;
        startOf(true, pixels[k].i, pixels[k].j, start, px);
        const std::optional<double> walked =
            perturbation_detail::distanceInPixels(walk, start, px, value.count);
        value.distance =
            walked ? *walked
                   : directDistance(setup_.formula, planeX(pixels[k].i), planeY(pixels[k].j),
                                    setup_.dx, precision_, value.count, stop);
    }
}

}  // namespace complex
