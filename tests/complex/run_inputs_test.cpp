// What a run computes from is copied as it starts: a change made while it goes on
// (the dialogs may be open over a running picture) reaches only the next run.
#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "complex/julia_fractal.h"
#include "complex_test_rig.h"

namespace {

using complex_test::Rig;

struct Picture {
    std::vector<platform::Color> pixels;
    std::uint64_t points = 0;
    std::uint64_t iterations = 0;
};

void prepareZoomedJulia(complex::ComplexFractal& f) {
    engine::TakingOverScope noRun(f);
    f.setDefaultParameters();
    f.setDefaultView();
    f.zoomByFactor(0.6);
    f.setParameters(300, f.paramReal(), f.paramImag(), false);
    f.setMethod(complex::kTesseral);
    f.setThreadLimit(2);
}

Picture finish(complex::ComplexFractal& f) {
    EXPECT_TRUE(complex_test::waitFinished(f));
    const engine::RunStatistics stats = f.statistics();
    return Picture{f.picture.snapshot(), stats.pointCount, stats.iterationCount};
}

engine::ColorTable twoColours() {
    const platform::Color colours[] = {0x00FF00FF, 0x0000FF00};
    engine::ColorTable table;
    table.setColors(colours, 2);
    return table;
}

TEST(RunInputsTest, AChangeDuringARunReachesOnlyTheNextRun) {
    Rig referenceRig(61, 47);
    complex::JuliaFractal reference(referenceRig.services());
    prepareZoomedJulia(reference);
    reference.startCalculation();
    const Picture unchanged = finish(reference);

    struct Case {
        const char* change;
        std::function<void(complex::ComplexFractal&)> apply;
    };
    const Case cases[] = {
        {"view", [](auto& f) { f.setViewRect(-0.1, -0.1, 0.1, 0.1); }},
        {"iterations", [](auto& f) { f.setMaxIterations(7); }},
        {"parameter", [](auto& f) { f.setParamReal(0.3); }},
        {"arithmetic", [](auto& f) { f.setIntegerArithmetic(true); }},
        {"colours", [](auto& f) { f.usePalette("two", twoColours()); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.change);
        Rig rig(61, 47);
        complex::JuliaFractal f(rig.services());
        prepareZoomedJulia(f);
        f.startCalculation();
        f.pauseCalculation();
        c.apply(f);
        f.resumeCalculation();
        const Picture during = finish(f);
        EXPECT_EQ(during.pixels, unchanged.pixels);
        EXPECT_EQ(during.points, unchanged.points);
        EXPECT_EQ(during.iterations, unchanged.iterations);
        EXPECT_FALSE(f.integerArithmetic());

        // The change was kept for the next run, not lost.
        f.startCalculation();
        const Picture next = finish(f);
        EXPECT_TRUE(next.pixels != unchanged.pixels || f.integerArithmetic());
    }
}

}  // namespace
