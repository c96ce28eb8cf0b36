#include "complex/direct_distance.h"

#include <cmath>

#include "complex/derivative_walk.h"
#include "complex/escape_kernels.h"

namespace complex {

namespace {

// z and dz/dc (Mandelbrot) or dz/dz(0) (Julia), in place.
class DirectOrbit {
  public:
    DirectOrbit(const EscapeFormula& f, const numeric::BigFloat& x, const numeric::BigFloat& y,
                long precision)
        : byC_(f.type == kernels::Formula::kMandelbrot),
          zr_(byC_ ? numeric::BigFloat(precision, f.paramReal) : x),
          zi_(byC_ ? numeric::BigFloat(precision, f.paramImag) : y),
          cr_(byC_ ? x : numeric::BigFloat(precision, f.paramReal)),
          ci_(byC_ ? y : numeric::BigFloat(precision, f.paramImag)),
          dr_(precision, byC_ ? 0.0 : 1.0),
          di_(precision, 0.0),
          t_(precision),
          u_(precision) {}

    void step() {
        // z' = 2 z z' (+ 1), from the iterate before the step.
        t_ = zr_ * dr_;
        t_ -= zi_ * di_;
        u_ = zr_ * di_;
        u_ += zi_ * dr_;
        dr_ = t_ * 2.0;
        if (byC_)
            dr_ += 1.0;
        di_ = u_ * 2.0;
        t_ = zr_ * zr_;
        t_ -= zi_ * zi_;
        t_ += cr_;
        zi_ *= zr_;
        zi_ *= 2.0;
        zi_ += ci_;
        zr_ = t_;
    }

    double squared() const {
        const double r = zr_.toDouble();
        const double i = zi_.toDouble();
        return (r * r) + (i * i);
    }

    double distance(const numeric::ExtFloat& spacing, long precision) const {
        const numeric::BigFloat h = spacing.toBig(precision);
        const double size = std::hypot(zr_.toDouble(), zi_.toDouble());
        const double slope = std::hypot((dr_ * h).toDouble(), (di_ * h).toDouble());
        if (!(size > 1.0) || !(slope > 0.0) || !std::isfinite(size) || !std::isfinite(slope))
            return 0.0;
        const double d = size * std::log(size) / slope;
        return std::isfinite(d) ? d : 0.0;
    }

  private:
    bool byC_;
    numeric::BigFloat zr_, zi_, cr_, ci_, dr_, di_, t_, u_;
};

constexpr int kStepsBetweenStops = 256;

}  // namespace

double directDistance(const EscapeFormula& formula, const numeric::BigFloat& x,
                      const numeric::BigFloat& y, const numeric::ExtFloat& spacing, long precision,
                      int count, const StopCheck& stop) {
    if (formula.type != kernels::Formula::kMandelbrot && formula.type != kernels::Formula::kJulia)
        return 0.0;
    DirectOrbit orbit(formula, x, y, precision);
    const auto stopped = [&stop](int n) { return n % kStepsBetweenStops == 0 && stop && stop(); };
    for (int n = 1; n < count; ++n) {
        if (stopped(n))
            return 0.0;
        orbit.step();
    }
    for (int extra = 0; extra < perturbation_detail::kMostDistanceSteps; ++extra) {
        if (!(orbit.squared() < kernels::kSmoothBailout))
            break;
        if (stopped(extra + 1))
            return 0.0;
        orbit.step();
    }
    return orbit.distance(spacing, precision);
}

}  // namespace complex
