// Distances to the boundary of deep pixels of Mandelbrot and Julia: against the orbit and
// its derivative iterated directly in arbitrary precision, against the double estimate
// where double resolves the view, and with the table's runs against single steps.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "complex/derivative_walk.h"
#include "complex/distance_estimate.h"
#include "complex/perturbation.h"

namespace complex {
namespace {

using numeric::BigFloat;
using numeric::ExtFloat;
using perturbation_detail::WideComplex;

constexpr long kWidth = 24;
constexpr long kHeight = 16;

struct Place {
    const char* name;
    EscapeFormula formula;
    const char* x;
    const char* y;
    int deepest;  // the deepest view its digits place
    // The reference (the middle pixel) on the point itself: at the tip its orbit escapes
    // at once, and pixels go on past its end.
    bool onPixel = false;
};

// c = i, whose orbit is periodic after two steps (rebasing onto the orbit of 0 at every
// depth); a point of the Julia set of -0.123 + 0.745i; Mandelbrot from z(0) = 0.05 +
// 0.02i, whose pixels rebase onto a second orbit; and the tip.
const Place kPlaces[] = {
    {"Mandelbrot", {kernels::Formula::kMandelbrot, 0.0, 0.0, 3000}, "0", "1", -400},
    {"Julia",
     {kernels::Formula::kJulia, -0.123, 0.745, 3000},
     "1.58806526962346884217570133251899877105255588830643527396685550286097778693697712835699"
     "32084599528938661839664876938431179413229468205656876672187031071167077536943604631817428"
     "21936496780104380490643125354956951435717127623749509552207643247218859310887436866132251"
     "883675386003927203685229292677767579132232817206690415287854e-1",
     "3.17613053924693768435140266503799754210511177661287054793371100572195557387395425671398"
     "64169199057877323679329753876862358826458936411313753344374062142334155073887209263634856"
     "43872993560208760981286250709913902871434255247499019104415286494437718621774873732264503"
     "767350772007854407370458585355535158264465634413380830575708e-1",
     -300},
    {"Mandelbrot z0",
     {kernels::Formula::kMandelbrot, 0.05, 0.02, 3000},
     "3.29262665589945659484832131967442697423743797094812658e-1",
     "5.72188932148940225176224729980166723369678523762598334e-1",
     -30},
    // The tip c = -2, whose orbit stays on the bailout circle: beside it pixels escape by
    // a hair and stay near the circle for hundreds of steps.
    {"the tip", {kernels::Formula::kMandelbrot, 0.0, 0.0, 3000}, "-2", "0", -300},
    {"the tip on a pixel", {kernels::Formula::kMandelbrot, 0.0, 0.0, 3000}, "-2", "0", -300, true},
};

SceneSetup viewAround(const Place& place, int depth, bool approximate) {
    SceneSetup setup;
    setup.formula = place.formula;
    setup.width = kWidth;
    setup.height = kHeight;
    setup.approximate = approximate;
    setup.dx =
        ExtFloat::fromBig(*BigFloat::parse("1e" + std::to_string(depth), 128)) * (1.0 / kWidth);
    setup.dy = setup.dx;
    const long precision = numeric::precisionFor(setup.dx.exponent()) + 64;
    const BigFloat x = *BigFloat::parse(place.x, precision);
    const BigFloat y = *BigFloat::parse(place.y, precision);
    // Half a pixel off: no pixel lies on the boundary point itself, unless asked.
    const double off = place.onPixel ? 0.0 : 0.5;
    setup.originX = x - setup.dx.toBig(precision) * (kWidth / 2 - off);
    setup.originY = y - setup.dy.toBig(precision) * (kHeight / 2 - off);
    return setup;
}

std::vector<PixelIndex> samplePixels() {
    // The corners take the table's runs nearest their radii's edge.
    std::vector<PixelIndex> pixels = {
        {0, 0}, {kWidth - 1, 0}, {0, kHeight - 1}, {kWidth - 1, kHeight - 1}, {12, 8}};
    for (long k = 1; k <= 7; ++k)
        pixels.push_back({(k * 7) % kWidth, (k * 5) % kHeight});
    return pixels;
}

// The distance in pixels of spacing h from z and z' iterated in arbitrary precision to
// the escape and on until |z| is large, as the double estimate reads it.
double directDistance(const EscapeFormula& f, const BigFloat& x, const BigFloat& y,
                      const ExtFloat& h, long precision, int count) {
    const bool byC = f.type == kernels::Formula::kMandelbrot;
    BigFloat zr = byC ? BigFloat(precision, f.paramReal) : x;
    BigFloat zi = byC ? BigFloat(precision, f.paramImag) : y;
    const BigFloat cr = byC ? x : BigFloat(precision, f.paramReal);
    const BigFloat ci = byC ? y : BigFloat(precision, f.paramImag);
    BigFloat dr(precision, byC ? 0.0 : 1.0);
    BigFloat di(precision, 0.0);
    const auto step = [&] {
        const BigFloat nextDr = (zr * dr - zi * di) * 2.0 + BigFloat(precision, byC ? 1.0 : 0.0);
        const BigFloat nextDi = (zr * di + zi * dr) * 2.0;
        dr = nextDr;
        di = nextDi;
        const BigFloat nextZr = zr * zr - zi * zi + cr;
        zi = zr * zi * 2.0 + ci;
        zr = nextZr;
    };
    for (int n = 1; n < count; ++n)
        step();
    for (int extra = 0; extra < 100000; ++extra) {
        const double r = zr.toDouble();
        const double i = zi.toDouble();
        if ((r * r) + (i * i) >= kernels::kSmoothBailout)
            break;
        step();
    }
    const BigFloat hb = h.toBig(precision);
    const double size = std::hypot(zr.toDouble(), zi.toDouble());
    const double slope = std::hypot((dr * hb).toDouble(), (di * hb).toDouble());
    return size * std::log(size) / slope;
}

// At 1e-30 (plain differences), 1e-100, 1e-300 (differences below double's range a few
// steps in) and 1e-400 (the derivative beyond double's range): every outside pixel's
// distance is the direct one, with the table's runs and with single steps alike.
TEST(DeepDistanceTest, AgreesWithDirectIterationAtEveryDepth) {
    for (const Place& place : kPlaces) {
        for (const int depth : {-30, -100, -300, -400}) {
            if (depth < place.deepest)
                continue;
            SCOPED_TRACE(std::string(place.name) + " 1e" + std::to_string(depth));
            const SceneSetup setup = viewAround(place, depth, true);
            auto scene = PerturbationScene::create(setup);
            SceneSetup singleSetup = setup;
            singleSetup.approximate = false;
            auto single = PerturbationScene::create(singleSetup);
            ASSERT_TRUE(scene && single);
            ASSERT_EQ(scene->prepare(), PerturbationScene::Prepared::kReady);
            ASSERT_EQ(single->prepare(), PerturbationScene::Prepared::kReady);
            const std::vector<PixelIndex> pixels = samplePixels();
            const long count = static_cast<long>(pixels.size());
            std::vector<EscapeValue> values(pixels.size());
            std::vector<EscapeValue> singles(pixels.size());
            scene->countPixels(pixels.data(), count, values.data());
            single->countPixels(pixels.data(), count, singles.data());
            scene->measureDistances(pixels.data(), count, values.data());
            single->measureDistances(pixels.data(), count, singles.data());
            int outside = 0;
            for (std::size_t k = 0; k < pixels.size(); ++k) {
                SCOPED_TRACE(testing::Message() << "pixel " << pixels[k].i << ", " << pixels[k].j);
                if (values[k].count >= setup.formula.maxIterations) {
                    EXPECT_EQ(values[k].distance, 0.0) << "inside";
                    continue;
                }
                ++outside;
                const double direct = directDistance(setup.formula, scene->planeX(pixels[k].i),
                                                     scene->planeY(pixels[k].j), setup.dx,
                                                     scene->precision() + 64, values[k].count);
                // The tip itself stays on the bailout circle: nothing to tell.
                if (direct == 0.0) {
                    EXPECT_EQ(values[k].distance, 0.0);
                    continue;
                }
                EXPECT_NEAR(values[k].distance / direct, 1.0, 1e-4);
                EXPECT_NEAR(singles[k].distance / values[k].distance, 1.0, 1e-6) << "runs";
            }
            EXPECT_GT(outside, 3);
        }
    }
}

// Where double resolves the view, the deep distance is the shallow estimate's.
TEST(DeepDistanceTest, AgreesWithTheDoubleEstimateAtShallowWidths) {
    for (const Place& place : kPlaces) {
        SCOPED_TRACE(place.name);
        const SceneSetup setup = viewAround(place, -6, true);
        auto scene = PerturbationScene::create(setup);
        ASSERT_TRUE(scene);
        ASSERT_EQ(scene->prepare(), PerturbationScene::Prepared::kReady);
        const std::vector<PixelIndex> pixels = samplePixels();
        std::vector<EscapeValue> values(pixels.size());
        scene->countPixels(pixels.data(), static_cast<long>(pixels.size()), values.data());
        scene->measureDistances(pixels.data(), static_cast<long>(pixels.size()), values.data());
        const bool byC = setup.formula.type == kernels::Formula::kMandelbrot;
        for (std::size_t k = 0; k < pixels.size(); ++k) {
            const double x = scene->planeX(pixels[k].i).toDouble();
            const double y = scene->planeY(pixels[k].j).toDouble();
            const double pr = setup.formula.paramReal;
            const double pi = setup.formula.paramImag;
            const kernels::EscapeDistance shallow =
                byC ? kernels::quadraticDistance(pr, pi, x, y, true, setup.formula.maxIterations)
                    : kernels::quadraticDistance(x, y, pr, pi, false, setup.formula.maxIterations);
            EXPECT_EQ(values[k].count, shallow.value.count);
            const double inPixels = shallow.distance / setup.dx.toDouble();
            // On the tip itself both find it far below a pixel (the deep walk at 0).
            if (shallow.value.count < setup.formula.maxIterations && inPixels < 0.1) {
                EXPECT_LT(values[k].distance, 0.1);
            } else if (shallow.value.count < setup.formula.maxIterations) {
                EXPECT_NEAR(values[k].distance / inPixels, 1.0, 0.03)
                    << inPixels << " pixel " << pixels[k].i << ", " << pixels[k].j;
            }
        }
    }
}

// The derivative's wide form: exact powers of two moved into the exponent, addends too
// small to count dropped, and no overflow where the parts lie far apart.
TEST(DeepDistanceTest, WideComplexKeepsItsMagnitude) {
    struct Case {
        const char* name;
        WideComplex start;
        double fr, fi;
        std::int64_t fe;
        double ar, ai;
        std::int64_t ae;
        double log2Magnitude;
    };
    const Case cases[] = {
        {"from zero, the addend", {}, 2.0, 0.0, 0, 1.0, 0.0, -1000, -1000.0},
        {"growth past double's range", {1.0, 0.0, 1000}, 0x1p60, 0.0, 100, 0.0, 0.0, 0, 1160.0},
        {"a negligible addend", {1.0, 0.0, 0}, 1.0, 0.0, 0, 1.0, 0.0, -2000, 0.0},
        {"an addend that outweighs", {1.0, 0.0, -3000}, 1.0, 0.0, 0, 1.0, 0.0, 0, 0.0},
        {"a product that cancels", {1.0, 1.0, 0}, 1.0, -1.0, 0, 0.0, 0.0, 0, 1.0},
        {"equal addend doubles", {1.0, 0.0, -700}, 1.0, 0.0, 0, 1.0, 0.0, -700, -699.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WideComplex w = c.start;
        w.multiply(c.fr, c.fi, c.fe);
        w.add(c.ar, c.ai, c.ae);
        const double larger = std::max(std::fabs(w.re), std::fabs(w.im));
        EXPECT_TRUE(larger >= 0x1p-64 && larger <= 0x1p64) << larger;
        EXPECT_NEAR(std::log2(std::hypot(w.re, w.im)) + static_cast<double>(w.e), c.log2Magnitude,
                    1e-9);
    }
}

}  // namespace
}  // namespace complex
