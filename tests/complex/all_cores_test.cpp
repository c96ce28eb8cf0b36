// A picture computed by several threads is the picture one thread computes: the
// same pixels, the same counters, for every type, method and arithmetic.
#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "complex/julia_fractal.h"
#include "complex/mandelbrot_fractal.h"
#include "complex/manowar_fractal.h"
#include "complex/phoenix_fractal.h"
#include "complex/spider_fractal.h"
#include "complex/unity_fractal.h"
#include "complex_test_rig.h"

namespace {

using complex_test::Rig;

using Make = std::function<std::unique_ptr<complex::ComplexFractal>(const platform::Services&)>;

template <class T>
Make make() {
    return [](const platform::Services& services) { return std::make_unique<T>(services); };
}

struct Result {
    std::vector<platform::Color> picture;
    std::vector<platform::Color> window;
    std::uint64_t points = 0;
    std::uint64_t iterations = 0;
    std::uint64_t filled = 0;
};

// One complete run on a view zoomed onto the set's edge, where every method has work
// of every kind (escaping, inside, uniform and mixed borders).
Result run(const Make& makeType, int width, int height, int method, bool integer, int threads,
           int colouring) {
    Rig rig(width, height);
    const std::unique_ptr<complex::ComplexFractal> f = makeType(rig.services());
    {
        engine::TakingOverScope noRun(*f);
        f->setDefaultParameters();
        f->setDefaultView();
        f->zoomByFactor(0.6);
        f->setParameters(300, f->paramReal(), f->paramImag(), integer);
        f->setMethod(method);
        f->setColouring(colouring);
        f->setThreadLimit(threads);
    }
    f->startCalculation();
    EXPECT_TRUE(complex_test::waitFinished(*f));
    EXPECT_EQ(f->calculationThreads(), threads);
    const engine::RunStatistics stats = f->statistics();
    return Result{f->picture.snapshot(), rig.window.surface().snapshot(), stats.pointCount,
                  stats.iterationCount, f->filledPixels.load()};
}

TEST(AllCoresTest, EveryThreadCountGivesTheOneThreadPicture) {
    const std::pair<const char*, Make> types[] = {
        {"Mandelbrot", make<complex::MandelbrotFractal>()},
        {"Julia", make<complex::JuliaFractal>()},
        {"Unity", make<complex::UnityFractal>()},
        {"Spider", make<complex::SpiderFractal>()},
        {"Manowar", make<complex::ManowarFractal>()},
        {"Phoenix", make<complex::PhoenixFractal>()}};
    const std::pair<int, int> sizes[] = {{1, 1}, {6, 6}, {241, 137}};
    for (const auto& [name, makeType] : types) {
        for (const int method : {complex::kSimple, complex::kRelief, complex::kTesseral}) {
            for (const auto& [integer, colouring] :
                 {std::pair{false, complex::kBands}, std::pair{true, complex::kBands},
                  std::pair{false, complex::kSmooth}}) {
                for (const auto& [width, height] : sizes) {
                    SCOPED_TRACE(testing::Message()
                                 << name << " method " << method << " integer " << integer
                                 << " colouring " << colouring << " " << width << "x" << height);
                    const Result one = run(makeType, width, height, method, integer, 1, colouring);
                    EXPECT_EQ(one.picture, one.window);
                    for (const int threads : {2, 7}) {
                        SCOPED_TRACE(threads);
                        const Result many =
                            run(makeType, width, height, method, integer, threads, colouring);
                        EXPECT_EQ(many.picture, one.picture);
                        EXPECT_EQ(many.window, one.window);
                        EXPECT_EQ(many.points, one.points);
                        EXPECT_EQ(many.iterations, one.iterations);
                        EXPECT_EQ(many.filled, one.filled);
                    }
                }
            }
        }
    }
}

// Stopped in every phase (before the helpers start, in the middle, near the end), a
// run of many threads leaves no thread behind and ends promptly.
TEST(AllCoresTest, StopAtAnyMomentEndsEveryThread) {
    for (const int method : {complex::kSimple, complex::kRelief, complex::kTesseral}) {
        for (const int afterPoints : {0, 50, 5000, 60000}) {
            SCOPED_TRACE(testing::Message() << "method " << method << " after " << afterPoints);
            Rig rig(300, 200);
            complex::MandelbrotFractal f(rig.services());
            {
                engine::TakingOverScope noRun(f);
                f.setDefaultView();
                f.setParameters(2000, 0, 0, false);
                f.setMethod(method);
                f.setThreadLimit(7);
            }
            f.startCalculation();
            while (!f.isFinished() &&
                   f.runState.pointCount.load() < static_cast<std::uint64_t>(afterPoints))
                std::this_thread::yield();
            f.pauseCalculation();
            f.resumeCalculation();
            f.stopCalculation();
            EXPECT_TRUE(f.isFinished());
            EXPECT_FALSE(f.isRunning());
        }
    }
}

TEST(AllCoresTest, ThreadLimitIsClamped) {
    Rig rig(4, 4);
    complex::MandelbrotFractal f(rig.services());
    const std::pair<int, int> cases[] = {
        {0, 1}, {-5, 1}, {3, 3}, {100000, engine::Fractal::kMostThreads}};
    for (const auto& [asked, got] : cases) {
        f.setThreadLimit(asked);
        EXPECT_EQ(f.calculationThreads(), got) << asked;
    }
    f.setThreadLimit(std::nullopt);
    f.setOption(&engine::Options::allCores, false);
    EXPECT_EQ(f.calculationThreads(), 1);
    f.setOption(&engine::Options::allCores, true);
    EXPECT_GE(f.calculationThreads(), 1);
}

}  // namespace
