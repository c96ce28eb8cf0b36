#include "complex/spider_fractal.h"

#include "complex/escape_kernels.h"

namespace complex {

using fixed28::toFixed28;

SpiderFractal::SpiderFractal(const platform::Services& services) : ComplexFractal(services) {
    identifyAs(engine::kSpider);
}

void SpiderFractal::setDefaultParameters() {
    applyDefaultParameters(0.0, 0.0);
}

void SpiderFractal::setDefaultView() {
    applyDefaultView(-2.1, -1.69, 1.0, 1.72);
}

int SpiderFractal::iteratePoint(const EscapeParameters& p, double x, double y) {
    const int limit = p.maxIterations;
    if (p.integer) {
        return kernels::spider(toFixed28(p.paramReal), toFixed28(p.paramImag), toFixed28(x),
                               toFixed28(y), limit);
    }
    return kernels::spider(p.paramReal, p.paramImag, x, y, limit);
}

// Always in double precision: the fixed-point words cannot hold the iterate out to
// the smooth bailout.
EscapeValue SpiderFractal::smoothPoint(const EscapeParameters& p, double x, double y) {
    return kernels::spiderSmooth(p.paramReal, p.paramImag, x, y, p.maxIterations);
}

std::optional<kernels::BatchSetup> SpiderFractal::batchSetup(const EscapeParameters& p) const {
    return kernels::BatchSetup{kernels::Formula::kSpider, p.maxIterations, p.integer,
                               p.paramReal, p.paramImag};
}

}  // namespace complex
