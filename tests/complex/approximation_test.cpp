#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <string>
#include <vector>

#include "complex/approximation_table.h"
#include "complex/boundary_point.h"
#include "complex/perturbation.h"

// Runs of steps skipped by the approximation table, pixels found inside by their cycle and
// references reused by later views: each against what the plain perturbation of every
// step gives.
namespace complex {
namespace {

using numeric::BigFloat;
using numeric::ExtFloat;
using Complex = std::complex<long double>;

constexpr long kWidth = 24;
constexpr long kHeight = 16;
constexpr long kPrecision = 400;

ExtFloat power10(int exponent) {
    return ExtFloat::fromBig(*BigFloat::parse("1e" + std::to_string(exponent), 128));
}

SceneSetup viewAround(const EscapeFormula& formula, const BigFloat& x, const BigFloat& y,
                      const ExtFloat& width, double fromCentreX = 0.0) {
    SceneSetup setup;
    setup.formula = formula;
    setup.width = kWidth;
    setup.height = kHeight;
    setup.dx = width * (1.0 / kWidth);
    setup.dy = setup.dx;
    setup.originX = x - setup.dx.toBig(kPrecision) * (kWidth / 2 - 0.5 - fromCentreX);
    setup.originY = y - setup.dy.toBig(kPrecision) * (kHeight / 2 - 0.5);
    return setup;
}

SceneSetup plain(SceneSetup setup) {
    setup.approximate = false;
    setup.detectInterior = false;
    setup.useLanes = false;
    return setup;
}

std::unique_ptr<PerturbationScene> prepared(const SceneSetup& setup) {
    auto scene = PerturbationScene::create(setup);
    if (!scene || scene->prepare() != PerturbationScene::Prepared::kReady)
        return nullptr;
    return scene;
}

std::vector<int> countsOf(const PerturbationScene& scene) {
    std::vector<int> counts;
    for (long j = 0; j < kHeight; ++j)
        for (long i = 0; i < kWidth; ++i)
            counts.push_back(scene.countAt(i, j).count);
    return counts;
}

// The same a row at a time, as the scans count them: through the vector lanes, which hand
// pixels to the runs of the table and take them back.
std::vector<int> rowCountsOf(const PerturbationScene& scene) {
    std::vector<int> counts;
    std::vector<EscapeValue> row(kWidth);
    for (long j = 0; j < kHeight; ++j) {
        scene.countRun(0, j, kWidth, row.data());
        for (const EscapeValue& value : row)
            counts.push_back(value.count);
    }
    return counts;
}

// The minibrot of period 30 beside c = i, and views of it: pixels inside it, outside it
// and on its edge.
const PlanePoint& copyBesideI() {
    static const PlanePoint nucleus = *findNucleus(
        PlanePoint{BigFloat(kPrecision, 0.0), BigFloat(kPrecision, 1.0)}, 30, kPrecision);
    return nucleus;
}

// A run of the table against the steps it merges, dz' = 2 Z dz + dz^2 + dc, in long
// double from a difference just inside the run's radius: the two agree to far better than
// a pixel's count can tell, at every level, while a difference 10^8 times the radius does
// not keep to it.
TEST(ApproximationTableTest, RunsAgreeWithTheStepsTheyMergeUpToTheirRadius) {
    struct Case {
        const char* name;
        EscapeFormula formula;
        double dcScale;  // |dc| of the pixel against the table's reach
    };
    const Case cases[] = {
        {"Mandelbrot", {kernels::Formula::kMandelbrot, 0.0, 0.0, 4000}, 1.0},
        {"Julia", {kernels::Formula::kJulia, -0.123, 0.745, 4000}, 0.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ReferenceOrbit orbit;
        const PlanePoint& at = copyBesideI();
        const BigFloat x =
            c.formula.type == kernels::Formula::kJulia ? BigFloat(kPrecision, 0.1) : at.x;
        const BigFloat y =
            c.formula.type == kernels::Formula::kJulia ? BigFloat(kPrecision, 0.2) : at.y;
        ASSERT_EQ(
            computeOrbit(c.formula, x, y, OrbitStart::kPoint, kPrecision, 1u << 30, {}, orbit),
            OrbitOutcome::kDone);
        ApproximationTable table;
        const ExtFloat reach(1e-30);
        ASSERT_EQ(table.build(orbit, c.formula.type, reach), ApproximationTable::Outcome::kReady);
        ASSERT_GT(table.levels(), 8);
        int checked = 0;
        int brokenBeyond = 0;
        for (std::size_t start = 1; start + 2 < orbit.points.size(); start += 37) {
            std::int64_t length = 0;
            const LinearStep* run = table.longest(start, 1e-300, 0, std::int64_t{1} << 20, length);
            if (run == nullptr || length < 2)
                continue;
            for (const double factor : {0.99, 1e8}) {
                const Complex dc(c.dcScale * 1e-30, 0.0);
                const Complex dz0(run->radius * factor * 0.6, run->radius * factor * 0.4);
                Complex dz = dz0;
                for (std::int64_t k = 0; k < length; ++k) {
                    const OrbitPoint& z = orbit.points[start + static_cast<std::size_t>(k)];
                    const Complex twiceZ(2.0L * z.zr, 2.0L * z.zi);
                    dz = (twiceZ + dz) * dz + dc;
                }
                const Complex linear =
                    Complex(run->ar, run->ai) * dz0 + Complex(run->br, run->bi) * dc;
                // Below double's range the table's product is 0, and so is the difference
                // for all a pixel can tell.
                if (std::abs(dz) < 1e-280L)
                    continue;
                const long double error = std::abs(linear - dz) / std::abs(dz);
                if (factor < 1.0) {
                    EXPECT_LT(error, 1e-9L) << "run of " << length << " from " << start;
                    ++checked;
                } else {
                    brokenBeyond += error > 1e-9L;
                }
            }
        }
        EXPECT_GT(checked, 20);
        EXPECT_GT(brokenBeyond, 0);
    }
}

// Whole pictures by the fast path (runs skipped, pixels proven inside, the reference of
// the last view reused) against the plain perturbation of every step: every pixel the
// same at these views, and no pixel proven inside that escapes.
TEST(ApproximationTableTest, FastPicturesEqualThePlainPerturbationPixelForPixel) {
    struct Case {
        const char* name;
        EscapeFormula formula;
        PlanePoint centre;
        int depth;
        int someInside;  // 1: some pixels are found inside, 0: none, -1: either
    };
    const PlanePoint& copy = copyBesideI();
    const BigFloat nearCopy = copy.x + BigFloat(kPrecision, 0.3e-21);
    const Case cases[] = {
        {"c = i, 1e-30",
         {kernels::Formula::kMandelbrot, 0.0, 0.0, 3000},
         {BigFloat(kPrecision, 0.0), BigFloat(kPrecision, 1.0)},
         -30,
         0},
        {"c = i, 1e-300",
         {kernels::Formula::kMandelbrot, 0.0, 0.0, 3000},
         {BigFloat(kPrecision, 0.0), BigFloat(kPrecision, 1.0)},
         -300,
         0},
        {"the copy of period 30, 1e-21",
         {kernels::Formula::kMandelbrot, 0.0, 0.0, 1000},
         {nearCopy, copy.y},
         -21,
         1},
        // Inside this copy the cycles' basins lie below what double resolves beside the
        // iterates: found or not, no pixel may change.
        {"the copy of period 30, 1e-19",
         {kernels::Formula::kMandelbrot, 0.0, 0.0, 20000},
         {copy.x, copy.y},
         -19,
         -1},
        {"Julia, inside and out",
         {kernels::Formula::kJulia, -0.123, 0.745, 3000},
         {BigFloat(kPrecision, 0.0), BigFloat(kPrecision, 0.0)},
         -20,
         1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const SceneSetup setup = viewAround(c.formula, c.centre.x, c.centre.y, power10(c.depth));
        const auto fast = prepared(setup);
        const auto reference = prepared(plain(setup));
        ASSERT_TRUE(fast && reference);
        const std::vector<int> counts = countsOf(*reference);
        EXPECT_TRUE(fast->countsInLanes());
        EXPECT_EQ(rowCountsOf(*fast), counts);
        EXPECT_EQ(countsOf(*fast), counts);
        if (c.someInside >= 0) {
            EXPECT_EQ(fast->interiorPixels() > 0, c.someInside == 1);
        }
        EXPECT_GT(fast->tableBytes(), 0u);
    }
}

// A view moved or zoomed within the last one takes its reference, off the new view's
// centre, and gives the picture of a reference of its own; views the reference cannot
// serve compute their own.
TEST(ApproximationTableTest, AReferenceServesLaterViewsThatContainIt) {
    const EscapeFormula formula{kernels::Formula::kMandelbrot, 0.0, 0.0, 1000};
    const PlanePoint& copy = copyBesideI();
    const SceneSetup first = viewAround(formula, copy.x, copy.y, power10(-19));
    const auto earlier = prepared(first);
    ASSERT_TRUE(earlier);
    struct Case {
        const char* name;
        SceneSetup setup;
        bool reused;
    };
    EscapeFormula otherParameter = formula;
    otherParameter.paramReal = 0.01;
    const Case cases[] = {
        {"zoomed in 4 times", viewAround(formula, copy.x, copy.y, power10(-19) * 0.25, 3.0), 1},
        {"moved by a third", viewAround(formula, copy.x, copy.y, power10(-19), 8.0), 1},
        {"zoomed out twice", viewAround(formula, copy.x, copy.y, power10(-19) * 2.0, 1.0), 1},
        {"moved away", viewAround(formula, copy.x, copy.y, power10(-19), 40.0), 0},
        {"another parameter", viewAround(otherParameter, copy.x, copy.y, power10(-19)), 0},
        {"zoomed in beyond its precision",
         viewAround(formula, copy.x, copy.y, power10(-19) * 0x1p-40), 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto scene = PerturbationScene::create(c.setup);
        ASSERT_TRUE(scene);
        scene->offerReference(earlier->sharedReference());
        ASSERT_EQ(scene->prepare(), PerturbationScene::Prepared::kReady);
        EXPECT_EQ(scene->referenceReused(), c.reused);
        const auto fresh = prepared(plain(c.setup));
        ASSERT_TRUE(fresh);
        EXPECT_EQ(countsOf(*scene), countsOf(*fresh));
    }
}

}  // namespace
}  // namespace complex
