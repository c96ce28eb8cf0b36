#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <string>
#include <vector>

#include "complex/approximation_table.h"
#include "complex/boundary_point.h"
#include "complex/perturbation.h"
#include "complex/state_approximation_table.h"

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

// The same pixels counted a row at a time, as the scans count them: in lanes where the
// scene has them, which hand pixels to the runs of the table and take them back.
std::vector<int> rowsOf(const PerturbationScene& scene) {
    std::vector<int> counts;
    EscapeValue row[kWidth];
    for (long j = 0; j < kHeight; ++j) {
        scene.countRun(0, j, kWidth, row);
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

// The orbit of the point (x, y), or of the copy beside c = i where both are 0, and its
// table for pixels up to 1e-30 from it.
void buildOrbitAndTable(const EscapeFormula& formula, double x, double y, ReferenceOrbit& orbit,
                        ApproximationTable& table) {
    const bool besideI = x == 0.0 && y == 0.0;
    const BigFloat re = besideI ? copyBesideI().x : BigFloat(kPrecision, x);
    const BigFloat im = besideI ? copyBesideI().y : BigFloat(kPrecision, y);
    computeOrbit(formula, re, im, OrbitStart::kPoint, kPrecision, 1u << 30, {}, orbit);
    ASSERT_EQ(table.build(orbit, formula.type, ExtFloat(1e-30)),
              ApproximationTable::Outcome::kReady);
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

// The run a pixel takes from each state: aligned on its start, the longest whose radius
// holds the difference, none that only holds at its radius, none longer than the steps
// left, the run of two steps exactly where pairRadius says, and none from state 0 or past
// the orbit's end. Orbits whose lengths put the levels at their edge (a power of two
// states and one more) as well as a long one.
TEST(ApproximationTableTest, TakesTheLongestRunThatHoldsAndNoneAtItsRadius) {
    struct Case {
        const char* name;
        EscapeFormula formula;
        double x, y;
    };
    const Case cases[] = {
        {"beside c = i", {kernels::Formula::kMandelbrot, 0.0, 0.0, 4000}, 0.0, 0.0},
        {"17 states", {kernels::Formula::kMandelbrot, 0.0, 0.0, 16}, -0.1, 0.1},
        {"33 states", {kernels::Formula::kMandelbrot, 0.0, 0.0, 32}, -0.1, 0.1},
        {"escapes at once", {kernels::Formula::kMandelbrot, 0.0, 0.0, 100}, 0.3, 0.6},
        {"Julia", {kernels::Formula::kJulia, -0.123, 0.745, 1000}, 0.1, 0.2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ReferenceOrbit orbit;
        ApproximationTable table;
        ASSERT_NO_FATAL_FAILURE(buildOrbitAndTable(c.formula, c.x, c.y, orbit, table));
        const std::size_t states = orbit.points.size();
        std::int64_t length = -1;
        EXPECT_EQ(table.longest(0, 0.0, 0, 1 << 20, length), nullptr);
        EXPECT_EQ(table.longest(states, 0.0, 0, 1 << 20, length), nullptr);
        EXPECT_EQ(table.longest(states + 100, 0.0, 0, 1 << 20, length), nullptr);
        for (std::size_t start = 1; start < states; ++start) {
            const LinearStep* longest = table.longest(start, 0.0, 0, 1 << 20, length);
            if (longest == nullptr)
                continue;
            const std::int64_t most = length;
            EXPECT_EQ((start - 1) % static_cast<std::size_t>(most), 0u) << start;
            EXPECT_LE(start + static_cast<std::size_t>(most), states) << start;
            // From each run at or below the longest: just inside its radius that run or
            // a longer one; at its radius a shorter one.
            for (std::int64_t steps = most; steps >= 1; steps /= 2) {
                const LinearStep* run = table.longest(start, 0.0, 0, steps, length);
                ASSERT_NE(run, nullptr);
                ASSERT_EQ(length, steps);
                const double radius = run->radius;
                table.longest(start, std::nextafter(radius, 0.0), 0, 1 << 20, length);
                EXPECT_GE(length, steps) << start;
                const LinearStep* at = table.longest(start, radius, 0, 1 << 20, length);
                EXPECT_TRUE(at == nullptr || length < steps) << start;
            }
            const double pair = table.pairRadius(start);
            const LinearStep* belowPair =
                table.longest(start, std::nextafter(pair, 0.0), 0, 1 << 20, length);
            EXPECT_EQ(pair > 0.0, belowPair != nullptr && length >= 2) << start;
        }
    }
}

// The types whose difference is a state of two numbers, each at a point on the edge of its
// set (as corvane-deep-check finds them: the edge of "count reaches threshold" between
// reach and escape, to 2^-345): their limit, and the type's second parameter.
struct StateTypeView {
    const char* name;
    EscapeFormula formula;
    int threshold;
    double reachX, reachY, escapeX, escapeY;
};

const StateTypeView kStateTypeViews[] = {
    {"Unity", {kernels::Formula::kUnity, 0.0, 0.0, 3000}, 2900, 0.3, 0.5, 0.4, 0.65},
    {"Spider", {kernels::Formula::kSpider, 0.0, 0.0, 3000}, 2900, 0.0, 0.05, 0.3, 0.5},
    {"Manowar", {kernels::Formula::kManowar, 0.0, 0.0, 3000}, 250, -0.34, 0.0, -0.37, 0.02},
    {"Phoenix", {kernels::Formula::kPhoenix, -1.0, 0.1, 3000}, 2900, 0.0, 0.0, 0.5, 0.7},
};

const PlanePoint& edgeOf(const StateTypeView& view) {
    static std::vector<PlanePoint> found(std::size(kStateTypeViews));
    PlanePoint& point = found[static_cast<std::size_t>(&view - kStateTypeViews)];
    if (point.x.precision() < kPrecision) {
        point = *findBoundaryPoint(
            view.formula, view.threshold,
            {BigFloat(kPrecision, view.reachX), BigFloat(kPrecision, view.reachY)},
            {BigFloat(kPrecision, view.escapeX), BigFloat(kPrecision, view.escapeY)}, 345,
            kPrecision);
    }
    return point;
}

// The state of two numbers as a long-double pair: Unity's (dx, dy) as the real and
// imaginary parts of the first, the others' (dz, dw).
struct State {
    Complex z, w;
};

long double normOf(const State& v) {
    return std::abs(v.z) + std::abs(v.w);
}

// One exact step of the type's difference from the reference's state ref (next: the
// state after it).
State exactStep(const EscapeFormula& formula, const OrbitPoint& ref, const OrbitPoint& next,
                const State& v, const Complex& dc) {
    const Complex Z(ref.zr, ref.zi);
    const Complex square = (2.0L * Z + v.z) * v.z;
    switch (formula.type) {
        case kernels::Formula::kUnity: {
            const long double dx = v.z.real(), dy = v.z.imag();
            const long double dt = -(((2.0L * ref.zr + dx) * dx) + ((2.0L * ref.zi + dy) * dy));
            const long double ny = (ReferenceOrbit::unityT(ref) * dx) + (dt * (ref.zr + dx));
            const long double nx = (ReferenceOrbit::unityT(ref) * ny) + (dt * (next.zi + ny));
            return {Complex(nx, ny), Complex()};
        }
        case kernels::Formula::kSpider: {
            const Complex z = square + v.w;
            return {z, v.w * 0.5L + z};
        }
        case kernels::Formula::kManowar:
            return {square + v.w + dc, v.z};
        default:
            return {square + static_cast<long double>(formula.paramImag) * v.w, v.z};
    }
}

State linearOf(const PlaneRun& run, const State& v, const Complex&) {
    const long double dx = v.z.real(), dy = v.z.imag();
    return {Complex((run.xx * dx) + (run.xy * dy), (run.yx * dx) + (run.yy * dy)), Complex()};
}

State linearOf(const PairRun& run, const State& v, const Complex& dc) {
    return {Complex(run.zzr, run.zzi) * v.z + Complex(run.zwr, run.zwi) * v.w +
                Complex(run.bzr, run.bzi) * dc,
            Complex(run.wzr, run.wzi) * v.z + Complex(run.wwr, run.wwi) * v.w +
                Complex(run.bwr, run.bwi) * dc};
}

// How many runs of the table agree with their exact steps from a state just inside their
// radius (to 1e-11 of the state: each step drops at most 2^-40 of what it keeps), and how
// many from 10^8 times the radius do not (to 1e-9).
template <class Table>
void checkRuns(const StateTypeView& view, const ReferenceOrbit& orbit, int& checked,
               int& brokenBeyond) {
    Table table;
    ASSERT_EQ(table.build(orbit, view.formula, ExtFloat(1e-30)), Table::Outcome::kReady);
    ASSERT_GT(table.levels(), 6);
    const bool unity = view.formula.type == kernels::Formula::kUnity;
    const Complex dc(view.formula.type == kernels::Formula::kManowar ? 1e-30 : 0.0, 0.0);
    // A hundred starts or so, however long the orbit.
    const std::size_t stride = std::max<std::size_t>(orbit.points.size() / 100, 1);
    for (std::size_t start = 1; start + 3 < orbit.points.size(); start += stride) {
        std::int64_t length = 0;
        const auto* run = table.longest(start, 1e-300, 0, std::int64_t{1} << 20, length);
        if (run == nullptr)
            continue;
        ASSERT_GE(length, 2);
        for (const double factor : {0.99, 1e8}) {
            const long double r = run->radius * factor;
            const State v0 = unity
                                 ? State{Complex(0.6L * r, -0.4L * r), Complex()}
                                 : State{Complex(0.3L * r, 0.2L * r), Complex(-0.2L * r, 0.3L * r)};
            State v = v0;
            for (std::int64_t k = 0; k < length; ++k) {
                const std::size_t at = start + static_cast<std::size_t>(k);
                v = exactStep(view.formula, orbit.points[at], orbit.points[at + 1], v, dc);
            }
            const State linear = linearOf(*run, v0, dc);
            if (normOf(v) < 1e-280L)
                continue;
            const long double error = normOf(State{linear.z - v.z, linear.w - v.w}) / normOf(v);
            if (factor < 1.0) {
                EXPECT_LT(error, 1e-11L) << "run of " << length << " from " << start;
                ++checked;
            } else {
                brokenBeyond += error > 1e-9L;
            }
        }
    }
}

// As above for the types whose difference is a pair: every run agrees with the steps it
// merges up to its radius (the dropped terms are at most 2^-40 of those kept beside them),
// and far beyond it some do not.
TEST(ApproximationTableTest, StateRunsAgreeWithTheStepsTheyMergeUpToTheirRadius) {
    for (const StateTypeView& view : kStateTypeViews) {
        SCOPED_TRACE(view.name);
        const PlanePoint& at = edgeOf(view);
        EscapeFormula formula = view.formula;
        formula.maxIterations = 4000;
        ReferenceOrbit orbit;
        ASSERT_EQ(
            computeOrbit(formula, at.x, at.y, OrbitStart::kPoint, kPrecision, 1u << 30, {}, orbit),
            OrbitOutcome::kDone);
        int checked = 0;
        int brokenBeyond = 0;
        if (formula.type == kernels::Formula::kUnity)
            checkRuns<UnityApproximationTable>(view, orbit, checked, brokenBeyond);
        else
            checkRuns<PairApproximationTable>(view, orbit, checked, brokenBeyond);
        EXPECT_GT(checked, 20);
        EXPECT_GT(brokenBeyond, 0);
    }
}

// Whole pictures of the types with a state of two numbers, by their runs and by the plain
// perturbation of every step: plain legs (1e-30, 1e-100) and scaled ones (1e-300), every
// pixel the same, one by one and a row at a time.
TEST(ApproximationTableTest, StateTypesFastPicturesEqualThePlainPerturbation) {
    for (const StateTypeView& view : kStateTypeViews) {
        for (const int depth : {-30, -100, -300}) {
            SCOPED_TRACE(std::string(view.name) + " 1e" + std::to_string(depth));
            const PlanePoint& centre = edgeOf(view);
            const SceneSetup setup = viewAround(view.formula, centre.x, centre.y, power10(depth));
            const auto fast = prepared(setup);
            const auto reference = prepared(plain(setup));
            ASSERT_TRUE(fast && reference);
            EXPECT_EQ(countsOf(*fast), countsOf(*reference));
            EXPECT_GT(fast->tableBytes(), 0u);
            // Rows go through the lanes where pixels start plain, and take the runs where
            // the lanes hand them back.
            EXPECT_EQ(rowsOf(*fast), countsOf(*reference));
        }
    }
}

// A later view takes the reference of an earlier one with its table where the table serves
// it: always for the types whose runs add no constant, and for Manowar (whose pixels add
// their dc at every step) only within the reach the table was built for. A table that does
// not fit in the memory the orbits leave is not built, and the pixels take every step.
TEST(ApproximationTableTest, StateTablesAreReusedWhereTheyServeAndLeftOutWhereTheyDoNotFit) {
    struct Case {
        const char* name;
        std::size_t type;  // in kStateTypeViews
        double zoom;       // the later view's width against the first's
        std::size_t mostBytes;
        bool reused;
        bool table;
    };
    const std::size_t enough = std::size_t{1} << 30;
    const Case cases[] = {
        {"Phoenix zoomed in 4 times", 3, 0.25, enough, true, true},
        {"Spider zoomed out 4 times", 1, 4.0, enough, true, true},
        {"Manowar zoomed in 4 times", 2, 0.25, enough, true, true},
        {"Manowar zoomed out 4 times", 2, 4.0, enough, false, true},
        // The two orbits may take 144,048 bytes, which leaves no room for a table.
        {"Phoenix without room for its table", 3, 1.0, 144100, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const StateTypeView& view = kStateTypeViews[c.type];
        const PlanePoint& centre = edgeOf(view);
        SceneSetup first = viewAround(view.formula, centre.x, centre.y, power10(-40));
        first.mostReferenceBytes = c.mostBytes;
        const auto earlier = prepared(first);
        ASSERT_TRUE(earlier);
        EXPECT_EQ(earlier->tableBytes() > 0, c.table);
        SceneSetup later = viewAround(view.formula, centre.x, centre.y, power10(-40) * c.zoom, 2.0);
        later.mostReferenceBytes = c.mostBytes;
        auto scene = PerturbationScene::create(later);
        ASSERT_TRUE(scene);
        scene->offerReference(earlier->sharedReference());
        ASSERT_EQ(scene->prepare(), PerturbationScene::Prepared::kReady);
        EXPECT_EQ(scene->referenceReused(), c.reused);
        const auto fresh = prepared(plain(later));
        ASSERT_TRUE(fresh);
        EXPECT_EQ(countsOf(*scene), countsOf(*fresh));
        EXPECT_EQ(countsOf(*earlier), countsOf(*prepared(plain(first))));
    }
}

// A copy of period 799 about 8e-601 wide, below c = i: its pixels' iterates pass 0 far
// below double's range, where the test of inside keeps its discs in units of their own.
const PlanePoint& copyAt1e600() {
    static const PlanePoint nucleus{
        *BigFloat::parse(
            "6.6962864091698932795373409225691257388721744378257520040885806974796411794129028237"
            "517352704921568228637289426214127349266244642287900213318556349365851652664396353722"
            "945911557151199353832159279773839224490355896636622174783762548235283491743900633049"
            "213362681550867962300959595633374045041279040207607825e-301",
            2400),
        *BigFloat::parse(
            "0.9999999999999999999999999999999999999999999999999999999999999999999999999999999999"
            "999999999999999999999999999999999999999999999999999999999999999999999999999999999999"
            "999999999999999999999999999999999999999999999999999999999999999999999999999999999999"
            "999999999999999999999999999999999999999999999999996658633155489613333812083824404344"
            "963325624291641551639927572273754973605843243593552193195420913187462321665323630079"
            "645176354608883401015212302805042025443507531154854522403917526878800112235684480105"
            "196201736021404852539703912890436419469011022508354214908336178746271088753464705388"
            "48243023401433293402",
            2400)};
    return nucleus;
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
        {"the copy of period 799, 1e-599",
         {kernels::Formula::kMandelbrot, 0.0, 0.0, 5000},
         copyAt1e600(),
         -599,
         1},
        // The pixels inside settle where runs hold throughout; the few states tested
        // whole between the runs may or may not show their cycle before the limit (those
        // found were found two steps before it).
        {"Julia, inside and out",
         {kernels::Formula::kJulia, -0.123, 0.745, 3000},
         {BigFloat(kPrecision, 0.0), BigFloat(kPrecision, 0.0)},
         -20,
         -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const SceneSetup setup = viewAround(c.formula, c.centre.x, c.centre.y, power10(c.depth));
        const auto fast = prepared(setup);
        const auto reference = prepared(plain(setup));
        ASSERT_TRUE(fast && reference);
        const std::vector<int> counts = countsOf(*reference);
        EXPECT_TRUE(fast->countsInLanes());
        EXPECT_EQ(rowsOf(*fast), counts);
        EXPECT_EQ(countsOf(*fast), counts);
        if (c.someInside >= 0) {
            EXPECT_EQ(fast->interiorPixels() > 0, c.someInside == 1);
        }
        EXPECT_GT(fast->tableBytes(), 0u);
    }
}

// Where the runs of a table begin to hold: beside the tip c = -2 the reference's first
// states are at the bailout (as many as the view is deep), where no run passes, and at the
// tip itself none ever holds; such a table is left aside for the picture. Beside the tip
// every pixel's first tests are at the bailout, and the lanes, which would hand each pixel
// over at once, are left aside too. Either way the pictures are the plain perturbation's.
TEST(ApproximationTableTest, RunsHoldFromTheirFirstStateAndTablesThatSkipNothingAreLeftAside) {
    struct Case {
        const char* name;
        EscapeFormula formula;
        PlanePoint centre;
        int depth;
        std::size_t firstRunFrom;  // firstRunAt() at least this (SIZE_MAX: none)
        std::size_t firstRunTo;    // and at most this
        bool lanes;                // whether the picture's pixels go through the lanes
    };
    const std::size_t none = static_cast<std::size_t>(-1);
    const BigFloat besideTip =
        BigFloat(kPrecision, -2.0) + power10(-100).toBig(kPrecision) * (1.0 / 48.0);
    const Case cases[] = {
        {"the tip c = -2, 1e-100",
         {kernels::Formula::kMandelbrot, 0.0, 0.0, 3000},
         {BigFloat(kPrecision, -2.0), BigFloat(kPrecision, 0.0)},
         -100,
         none,
         none,
         false},
        // |Z - 2| grows four times a step from 2e-102 until it is 2^-30 of the bailout.
        {"beside the tip, 1e-100",
         {kernels::Formula::kMandelbrot, 0.0, 0.0, 3000},
         {besideTip, BigFloat(kPrecision, 0.0)},
         -100,
         140,
         170,
         false},
        {"c = i, 1e-30",
         {kernels::Formula::kMandelbrot, 0.0, 0.0, 3000},
         {BigFloat(kPrecision, 0.0), BigFloat(kPrecision, 1.0)},
         -30,
         1,
         1,
         true},
        {"Julia, 1e-20",
         {kernels::Formula::kJulia, -0.123, 0.745, 3000},
         {BigFloat(kPrecision, 0.0), BigFloat(kPrecision, 0.0)},
         -20,
         1,
         1,
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ReferenceOrbit orbit;
        computeOrbit(c.formula, c.centre.x, c.centre.y, OrbitStart::kPoint, kPrecision, 1u << 30,
                     {}, orbit);
        ApproximationTable table;
        ASSERT_EQ(table.build(orbit, c.formula.type, power10(c.depth)),
                  ApproximationTable::Outcome::kReady);
        EXPECT_GE(table.firstRunAt(), c.firstRunFrom);
        EXPECT_LE(table.firstRunAt(), c.firstRunTo);
        EXPECT_EQ(table.skipsAny(), c.firstRunFrom != none);
        // No run of two steps or more holds before the first state, even for a difference
        // of 0, and one does there.
        std::int64_t length = 0;
        for (std::size_t state = 1; state < std::min(table.firstRunAt(), orbit.points.size());
             ++state) {
            const LinearStep* run = table.longest(state, 0.0, 0, 1 << 20, length);
            EXPECT_TRUE(run == nullptr || length == 1) << state;
        }
        if (table.skipsAny()) {
            EXPECT_NE(table.longest(table.firstRunAt(), 0.0, 0, 1 << 20, length), nullptr);
            EXPECT_GE(length, 2);
        }
        const SceneSetup setup = viewAround(c.formula, c.centre.x, c.centre.y, power10(c.depth));
        const auto fast = prepared(setup);
        const auto reference = prepared(plain(setup));
        ASSERT_TRUE(fast && reference);
        EXPECT_EQ(fast->countsInLanes(), c.lanes);
        const std::vector<int> counts = countsOf(*reference);
        EXPECT_EQ(rowsOf(*fast), counts);
        EXPECT_EQ(countsOf(*fast), counts);
    }
}

// Where a run of two steps or more holds a pixel's difference, the walk takes it without
// that state's tests (after a short run): with any difference just below the run's radius,
// in every direction, the full iterate is neither outside (nor near enough to the bailout
// for the margin test) nor nearer 0 than the difference, so neither escape nor rebasing can
// be due there.
TEST(ApproximationTableTest, AtAStateWhereARunHoldsNeitherEscapeNorRebasingIsDue) {
    struct Case {
        const char* name;
        EscapeFormula formula;
        double x, y;  // the reference's point; 0, 0: the copy beside c = i
    };
    const Case cases[] = {
        {"the copy of period 30 beside c = i",
         {kernels::Formula::kMandelbrot, 0.0, 0.0, 4000},
         0.0,
         0.0},
        {"near the tip", {kernels::Formula::kMandelbrot, 0.0, 0.0, 2000}, -1.9999, 1e-9},
        {"escaping", {kernels::Formula::kMandelbrot, 0.0, 0.0, 2000}, 0.3, 0.55},
        {"Julia", {kernels::Formula::kJulia, -0.123, 0.745, 2000}, 0.1, 0.2},
    };
    const double directions[][2] = {{1.0, 0.0},  {0.0, 1.0}, {-1.0, 0.0},
                                    {0.0, -1.0}, {0.5, 0.5}, {-0.5, -0.5}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ReferenceOrbit orbit;
        ApproximationTable table;
        ASSERT_NO_FATAL_FAILURE(buildOrbitAndTable(c.formula, c.x, c.y, orbit, table));
        const double escapeAt = bailoutOf(c.formula.type) * (1.0 - 0x1p-40);
        int tested = 0;
        for (std::size_t state = 1; state < orbit.points.size(); ++state) {
            const double radius = table.pairRadius(state);
            if (radius == 0.0)
                continue;
            ++tested;
            const double below = std::nextafter(radius, 0.0);
            const OrbitPoint& z = orbit.points[state];
            for (const auto& d : directions) {
                const double dr = below * d[0];
                const double di = below * d[1];
                const double fr = z.zr + dr;
                const double fi = z.zi + di;
                const double full = (fi * fi) + (fr * fr);
                EXPECT_LT(full, escapeAt) << state;
                EXPECT_GE(full, (di * di) + (dr * dr)) << state;
            }
        }
        EXPECT_GT(tested, 0);
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
