#include "catalogue/fractal_types.h"

#include <gtest/gtest.h>

#include <climits>
#include <numbers>
#include <optional>

#include "catalogue/factory.h"
#include "complex/batch_kernels.h"
#include "complex/complex_fractal.h"
#include "orbit/orbit_fractal.h"
#include "platform/headless_window.h"
#include "platform/settings_store.h"

namespace {

using complex::kernels::Formula;
using engine::TypeFamily;

struct Corners {
    double x1, y1, x2, y2;
};

// What every type has always been: stored names, pictures and settings depend on
// these values, so none of them may change when types are added or rearranged.
struct Expected {
    engine::FractalType id;
    const char* name;
    int nameStringId;
    TypeFamily family;
    double a, b, c;               // an escape-time type's real and imaginary parameters in a and b
    std::optional<Corners> view;  // none: centred on the origin
    std::optional<Formula> formula;
};

constexpr TypeFamily kOrbit = TypeFamily::kOrbit;
constexpr TypeFamily kComplex = TypeFamily::kComplex;
constexpr std::optional<Corners> kOrigin = std::nullopt;

const Expected kTypes[] = {
    {1, "Hopalong", 500, kOrbit, 10, 20, 30, kOrigin, std::nullopt},
    {2, "Quadruptwo", 502, kOrbit, 40, 10, 30, kOrigin, std::nullopt},
    {3, "Threeply", 503, kOrbit, 10, 20, 30, kOrigin, std::nullopt},
    {4, "Chip", 501, kOrbit, 10, 20, 30, kOrigin, std::nullopt},
    {5, "Mandelbrot", 505, kComplex, 0, 0, 0, Corners{-2.1, -1.69, 1.0, 1.72},
     Formula::kMandelbrot},
    {6, "Julia", 506, kComplex, -0.7, 0.3, 0, Corners{-2.0, -2.6, 2.2, 2.6}, Formula::kJulia},
    {7, "Martin", 504, kOrbit, std::numbers::pi, 0, 0, kOrigin, std::nullopt},
    {8, "Henon", 507, kOrbit, 1.4, 0.3, 0, Corners{-2, -2, 2, 2}, std::nullopt},
    {9, "Gingerbreadman", 508, kOrbit, -0.1, 0, 0, Corners{-4.5, 8.5, 8.5, -4.5}, std::nullopt},
    {10, "Unity", 509, kComplex, 0, 0, 0, Corners{-1.75, -2.0, 1.75, 2.0}, Formula::kUnity},
    {11, "Spider", 510, kComplex, 0, 0, 0, Corners{-2.1, -1.69, 1.0, 1.72}, Formula::kSpider},
    {12, "Manowar", 511, kComplex, 0, 0, 0, Corners{-1.2, -1.4, 1.2, 1.4}, Formula::kManowar},
    {13, "Phoenix", 512, kComplex, 0.56667, -0.5, 0, Corners{-2.0, -2.6, 2.2, 2.6},
     Formula::kPhoenix},
};

struct Rig {
    platform::HeadlessWindow window{24, 18};
    platform::MemorySettingsStore store;
    platform::RecordingSound sound;
    platform::Services services() { return platform::Services{window, store, sound}; }
};

// The parameters the type starts with, and those its defaults restore after they
// were changed.
void expectDefaultParameters(engine::Fractal& fractal, const Expected& e) {
    if (e.family == kOrbit) {
        auto& orbit = dynamic_cast<orbit::OrbitFractal&>(fractal);
        EXPECT_EQ(orbit.paramA(), e.a);
        EXPECT_EQ(orbit.paramB(), e.b);
        EXPECT_EQ(orbit.paramC(), e.c);
        orbit.setParameters(-5, -6, -7);
        orbit.setDefaultParameters();
        EXPECT_EQ(orbit.paramA(), e.a);
        EXPECT_EQ(orbit.paramB(), e.b);
        EXPECT_EQ(orbit.paramC(), e.c);
        return;
    }
    auto& escape = dynamic_cast<complex::ComplexFractal&>(fractal);
    escape.setParameters(7, -5, -6, false);
    escape.reliefDepth = 3;
    escape.setDefaultParameters();
    EXPECT_EQ(escape.maxIterations(), 200);
    EXPECT_EQ(escape.paramReal(), e.a);
    EXPECT_EQ(escape.paramImag(), e.b);
    EXPECT_TRUE(escape.useInteger());
    EXPECT_EQ(escape.reliefDepth, 100);
    const auto batch = escape.batchSetup(escape.nextRunParameters());
    ASSERT_TRUE(batch.has_value());
    EXPECT_EQ(batch->formula, e.formula);
}

// The default view, as the View dialog's "Default" shows it: the old view stays in
// the history.
void expectDefaultView(engine::Fractal& fractal, const Expected& e) {
    view::ViewWindow expected(true);
    expected.setScreenSize(fractal.width, fractal.height);
    if (e.view)
        expected.setRect(e.view->x1, e.view->y1, e.view->x2, e.view->y2);
    else
        expected.centreOnOrigin();
    EXPECT_TRUE(view::ViewWindow::sameView(fractal.defaultView(), expected));

    fractal.setViewRect(100, 100, 101, 101);
    const int historyBefore = fractal.history.count();
    fractal.setDefaultView();
    EXPECT_TRUE(view::ViewWindow::sameView(fractal.view(), expected));
    EXPECT_EQ(fractal.history.count(), historyBefore + 1);
}

TEST(FractalTypes, EveryTypeKeepsItsIdNameFamilyDefaultsAndView) {
    const auto types = catalogue::fractalTypes();
    ASSERT_EQ(types.size(), std::size(kTypes));
    for (std::size_t i = 0; i < types.size(); ++i) {
        const Expected& e = kTypes[i];
        const engine::TypeDescription& d = *types[i];
        SCOPED_TRACE(e.name);
        EXPECT_EQ(d.id, e.id);
        EXPECT_EQ(catalogue::findFractalType(e.id), &d);
        EXPECT_EQ(d.name, e.name);
        EXPECT_EQ(d.nameStringId, e.nameStringId);
        EXPECT_EQ(d.descriptionStringId(), e.nameStringId + 101);
        EXPECT_EQ(d.family, e.family);
        EXPECT_EQ(catalogue::isOrbitType(e.id), e.family == kOrbit);
        EXPECT_EQ(catalogue::isComplexType(e.id), e.family == kComplex);
        EXPECT_EQ(catalogue::fractalTypeName(e.id), e.name);

        Rig rig;
        engine::FractalPtr fractal = catalogue::createFractal(e.id, rig.services());
        ASSERT_NE(fractal, nullptr);
        EXPECT_EQ(fractal->type, e.id);
        EXPECT_EQ(fractal->opened.type, e.id);
        const auto* escapeTime = dynamic_cast<const complex::ComplexFractal*>(fractal.get());
        EXPECT_EQ(escapeTime != nullptr ? escapeTime->formula() : std::nullopt, e.formula);
        EXPECT_EQ(fractal->typeName, e.name);
        EXPECT_FALSE(fractal->isRunning());
        // The defaults are checked without computing a picture.
        engine::TakingOverScope quiet(*fractal);
        expectDefaultParameters(*fractal, e);
        expectDefaultView(*fractal, e);
        EXPECT_FALSE(fractal->isRunning());
    }
}

TEST(FractalTypes, IdsOutsideTheTableNameNoType) {
    for (const engine::FractalType id : {0, -1, 14, INT_MIN, INT_MAX}) {
        SCOPED_TRACE(id);
        EXPECT_EQ(catalogue::findFractalType(id), nullptr);
        EXPECT_FALSE(catalogue::isOrbitType(id));
        EXPECT_FALSE(catalogue::isComplexType(id));
    }
}

}  // namespace
