#include <gtest/gtest.h>

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

constexpr auto* make = &complex_test::makeComplexType;

// The same type scanned point by point: its kernel is the real type's single-point
// kernel, and it offers no batch, so every scan takes the path that evaluates one
// pixel at a time.
class PointByPoint final : public ComplexFractal {
  public:
    PointByPoint(const platform::Services& services, ComplexFractal& real)
        : ComplexFractal(services), real_(real) {
        type = real.type;
        opened.type = real.opened.type;
        typeName = "PointByPoint";
        setView(real.view());
        setMaxIterations(real.maxIterations());
        setIntegerArithmetic(real.useInteger());
        setParamReal(real.paramReal());
        setParamImag(real.paramImag());
        reliefDepth.store(real.reliefDepth.load());
    }
    ~PointByPoint() override { runState.running = false; }
    using ComplexFractal::iteratePoint;
    int iteratePoint(const complex::EscapeParameters& p, double x, double y) override {
        return real_.iteratePoint(p, x, y);
    }
    std::optional<complex::kernels::BatchSetup> batchSetup(
        const complex::EscapeParameters&) const override {
        return std::nullopt;
    }

  private:
    ComplexFractal& real_;
};

// One scan on the calling thread, as the worker would run it.
void scan(ComplexFractal& f, int method) {
    f.setMethod(method);
    f.prepareRun();
    f.runState.pointCount = 0;
    f.runState.iterationCount = 0;
    f.runState.running = true;
    f.calculate();
    f.runState.running = false;
}

// Pictures, kept values, point and iteration counts and filled areas come out the same whether the
// scans hand the kernels runs of pixels or one pixel at a time, for every type, scan
// method and arithmetic, on sizes that cut runs in the middle of columns and
// diagonals and on the smallest ones.
TEST(BatchScanTest, RunsOfPixelsDrawWhatSinglePixelsDraw) {
    const engine::FractalType types[] = {engine::kMandelbrot, engine::kJulia,   engine::kUnity,
                                         engine::kSpider,     engine::kManowar, engine::kPhoenix};
    struct Size {
        int width;
        int height;
    };
    const Size sizes[] = {{1, 1}, {6, 6}, {241, 137}, {3, 4500}};
    for (const engine::FractalType type : types) {
        for (const bool integer : {true, false}) {
            for (const Size size : sizes) {
                Rig rig(size.width, size.height);
                std::unique_ptr<ComplexFractal> real = make(type, rig.services());
                {
                    engine::TakingOverScope noRun(*real);
                    real->setDefaultParameters();
                    real->setParameters(real->maxIterations(), real->paramReal(), real->paramImag(),
                                        integer);
                    real->setDefaultView();
                }
                Rig twinRig(size.width, size.height);
                PointByPoint twin(twinRig.services(), *real);
                for (const int method : {complex::kSimple, complex::kRelief, complex::kTesseral}) {
                    SCOPED_TRACE(real->typeName + (integer ? " fixed" : " double") + " method " +
                                 std::to_string(method) + " " + std::to_string(size.width) + "x" +
                                 std::to_string(size.height));
                    scan(*real, method);
                    scan(twin, method);
                    EXPECT_EQ(real->runState.pointCount.load(), twin.runState.pointCount.load());
                    EXPECT_EQ(real->runState.iterationCount.load(),
                              twin.runState.iterationCount.load());
                    EXPECT_EQ(real->filledPixels.load(), twin.filledPixels.load());
                    int differing = 0;
                    for (int row = 0; row < size.height; ++row) {
                        for (int column = 0; column < size.width; ++column)
                            differing +=
                                real->picture.pixel(column, row) != twin.picture.pixel(column, row);
                    }
                    EXPECT_EQ(differing, 0);
                    int differingValues = 0;
                    for (int row = 0; row < size.height; ++row) {
                        for (int column = 0; column < size.width; ++column) {
                            const complex::EscapeValue a = real->keptValues().at(column, row);
                            const complex::EscapeValue b = twin.keptValues().at(column, row);
                            differingValues += a.count != b.count || a.continuous != b.continuous;
                        }
                    }
                    EXPECT_EQ(differingValues, 0);
                }
            }
        }
    }
}

}  // namespace
