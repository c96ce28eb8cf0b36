#include "complex/spider_fractal.h"

#include "complex/escape_kernels.h"

namespace complex {

using fixed28::toFixed28;

const engine::TypeDescription SpiderFractal::kDescription{
    .id = engine::kSpider,
    .name = "Spider",
    .nameStringId = 510,
    .description =
        "Complex fractal.\r\n"
        "c(0) = pixel\r\n"
        "z(n+1) = z(n)^2 * c(n)\r\n"
        "c(n+1) = c(n)/2 + z(n+1)\r\n"
        "Two parameters:\r\n"
        "real & imaginary perturbations of z(0).",
    .family = engine::TypeFamily::kComplex,
    .defaultParameters = {0.0, 0.0, 0.0},
    .defaultView = {.x1 = -2.1, .y1 = -1.69, .x2 = 1.0, .y2 = 1.72},
    .create = engine::createWithDefaults<SpiderFractal>,
};

SpiderFractal::SpiderFractal(const platform::Services& services)
    : ComplexFractal(services, kDescription, kernels::Formula::kSpider) {}

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

}  // namespace complex
