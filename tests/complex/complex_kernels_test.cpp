#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "complex/julia_fractal.h"
#include "complex/mandelbrot_fractal.h"
#include "complex/manowar_fractal.h"
#include "complex/phoenix_fractal.h"
#include "complex/spider_fractal.h"
#include "complex/unity_fractal.h"
#include "complex_test_rig.h"

namespace {

using complex::ComplexFractal;
using complex_test::Rig;

enum Path { kDouble = 1, kFixed = 2, kBoth = 3 };

constexpr auto* make = &complex_test::makeComplexType;

TEST(ComplexKernelTest, CountsOfKnownPoints) {
    using engine::kJulia, engine::kMandelbrot, engine::kManowar, engine::kPhoenix, engine::kSpider,
        engine::kUnity;
    struct Case {
        engine::FractalType type;
        int paths;
        double real, imag;  // paramReal, paramImag
        double x, y;
        int limit;
        int expected;
    };
    const Case cases[] = {
        {kMandelbrot, kBoth, 0, 0, 0, 0, 200, 200},
        {kMandelbrot, kBoth, 0, 0, 1, 0, 200, 3},
        {kMandelbrot, kBoth, 0, 0, 2, 0, 200, 2},  // |z|^2 of exactly 4 escapes
        {kMandelbrot, kBoth, 0, 0, 3, 0, 200, 2},
        {kMandelbrot, kBoth, 0, 0, -0.75, 0.1, 200, 34},
        {kMandelbrot, kBoth, 3, 0, 0, 0, 200, 1},  // the parameters are z(0)
        {kJulia, kBoth, 0, 0, 1, 0, 200, 200},
        {kJulia, kBoth, 0, 0, 2, 0, 200, 1},
        {kJulia, kBoth, 0, 0, 0.5, 0, 200, 200},
        {kJulia, kBoth, 2, 0, 0, 0, 200, 2},  // the parameters are c
        {kUnity, kBoth, 0, 0, 0, 0, 200, 200},
        {kUnity, kBoth, 0, 0, 1, 0, 200, 2},
        {kUnity, kBoth, 0, 0, 1, 1, 200, 1},
        {kUnity, kBoth, 0, 0, 0.5, 0.5, 200, 6},
        {kUnity, kBoth, 5, 5, 0, 0, 200, 200},  // parameters ignored
        {kSpider, kBoth, 0, 0, 1, 0, 200, 3},
        {kManowar, kBoth, 0, 0, 1, 0, 200, 2},
        {kPhoenix, kBoth, 0, 0, 1, 0, 200, 200},
        {kPhoenix, kBoth, 0, 0, 2, 0, 200, 1},
        {kPhoenix, kBoth, 0, 0, 0.5, 0, 200, 200},
        {kPhoenix, kBoth, 2, 0, 0, 0, 200, 2},  // p1 moves the real part
        // A square of magnitude 128 or more wraps in fixed point.
        {kJulia, kFixed, 0, 0, 12, 0, 200, 1},    // wraps to -112, escapes unsigned
        {kJulia, kFixed, 0, 0, 16, 0, 200, 200},  // wraps to exactly 0
        {kJulia, kDouble, 0, 0, 16, 0, 200, 1},
        {kUnity, kFixed, 0, 0, 12, 0, 200, 2},  // k = -112 does not escape signed
        {kUnity, kDouble, 0, 0, 12, 0, 200, 1},
    };
    for (const Case& c : cases) {
        for (const int path : {kDouble, kFixed}) {
            if ((c.paths & path) == 0)
                continue;
            SCOPED_TRACE("type " + std::to_string(c.type) +
                         (path == kFixed ? " fixed" : " double") + " at (" + std::to_string(c.x) +
                         ", " + std::to_string(c.y) + ")");
            Rig rig(8, 8);
            auto f = make(c.type, rig.services());
            f->setMaxIterations(c.limit);
            f->setParamReal(c.real);
            f->setParamImag(c.imag);
            f->setIntegerArithmetic(path == kFixed);
            EXPECT_EQ(f->iteratePoint(c.x, c.y), c.expected);
        }
    }
}

TEST(ComplexKernelTest, PhoenixWithoutParametersMatchesJuliaAtTheOrigin) {
    Rig rig(8, 8);
    auto phoenix = make(engine::kPhoenix, rig.services());
    auto julia = make(engine::kJulia, rig.services());
    for (const bool integer : {false, true}) {
        for (auto* f : {phoenix.get(), julia.get()}) {
            f->setParamReal(0);
            f->setParamImag(0);
            f->setIntegerArithmetic(integer);
        }
        for (double x = -2.0; x <= 2.0; x += 0.125) {
            for (double y = -1.5; y <= 1.5; y += 0.25) {
                ASSERT_EQ(phoenix->iteratePoint(x, y), julia->iteratePoint(x, y))
                    << x << ", " << y << (integer ? " fixed" : " double");
            }
        }
    }
}

TEST(ComplexKernelTest, OneIterationAlwaysReturnsOne) {
    for (const engine::FractalType type : {engine::kMandelbrot, engine::kJulia, engine::kUnity,
                                           engine::kSpider, engine::kManowar, engine::kPhoenix}) {
        for (const bool integer : {false, true}) {
            Rig rig(8, 8);
            auto f = make(type, rig.services());
            f->setMaxIterations(1);
            f->setIntegerArithmetic(integer);
            for (const double x : {0.0, 0.3, 5.0}) {
                EXPECT_EQ(f->iteratePoint(x, -x), 1) << "type " << type << " at " << x;
            }
        }
    }
}

// Start values far beyond the fixed-point range saturate; the kernel still returns a
// count in 1..limit.
TEST(ComplexKernelTest, HugeAndNonFiniteStartValuesStayInRange) {
    const double values[] = {1e30, -1e30, std::numeric_limits<double>::infinity(),
                             std::numeric_limits<double>::quiet_NaN()};
    for (const engine::FractalType type : {engine::kMandelbrot, engine::kJulia, engine::kUnity,
                                           engine::kSpider, engine::kManowar, engine::kPhoenix}) {
        for (const bool integer : {false, true}) {
            Rig rig(8, 8);
            auto f = make(type, rig.services());
            f->setMaxIterations(50);
            f->setIntegerArithmetic(integer);
            for (const double v : values) {
                f->setParamReal(v);
                const int n = f->iteratePoint(v, v);
                EXPECT_GE(n, 1);
                EXPECT_LE(n, 50);
            }
        }
    }
}

}  // namespace
