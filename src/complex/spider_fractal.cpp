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

int SpiderFractal::iteratePoint(double x, double y) {
    const int limit = maxIterations;
    if (integerArithmetic()) {
        return kernels::spider(toFixed28(paramReal), toFixed28(paramImag), toFixed28(x),
                               toFixed28(y), limit);
    }
    return kernels::spider(paramReal, paramImag, x, y, limit);
}

// Always in double precision: the fixed-point words cannot hold the iterate out to
// the smooth bailout.
EscapeValue SpiderFractal::smoothPoint(double x, double y) {
    return kernels::spiderSmooth(paramReal, paramImag, x, y, maxIterations);
}

std::optional<kernels::BatchSetup> SpiderFractal::batchSetup() const {
    return kernels::BatchSetup{kernels::Formula::kSpider, maxIterations, integerArithmetic(),
                               paramReal, paramImag};
}

}  // namespace complex
