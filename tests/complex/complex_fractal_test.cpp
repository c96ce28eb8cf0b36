#include "complex/complex_fractal.h"

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
#include "platform/c_format.h"

namespace {

using complex::ComplexFractal;
using complex_test::Rig;
using complex_test::TableFractal;

void setEdges(engine::Fractal& f, double x1, double y1, double x2, double y2) {
    view::ViewWindow view = f.view();
    view.xmin = x1;
    view.ymin = y1;
    view.xmax = x2;
    view.ymax = y2;
    f.setView(view);
}

engine::ColorTable tableOf(const platform::Color* colors, int count) {
    engine::ColorTable table;
    table.setColors(colors, count);
    return table;
}

TEST(ComplexParametersTest, SavedStringHasTenFieldsInTheirFormats) {
    struct Case {
        double xmin, ymin, xmax, ymax;
        int iterations;
        double real, imag;
        bool integer;
        int method;
        int depth;
        const char* expected;
    };
    const Case cases[] = {
        {-2.1, -1.69, 1.0, 1.72, 200, 0, 0, true, 1, 100, "-2.1,-1.69,1,1.72,200,0,0,1,1,100"},
        {0.25, -0.5, 1e-7, 3, 10000, -0.7, 0.3, false, 2, 0,
         "0.25,-0.5,1e-07,3,10000,-0.7,0.3,0,2,0"},
        {0, 0, 1, 1, 50, 0.56667, 1.5e-7, true, 7, 255, "0,0,1,1,50,0.56667,1.5e-07,1,7,255"},
        // The parameters with every digit they hold (they were cut to six significant
        // ones, which lost a deep Julia view's parameter); the depth keeps its low byte.
        {0, 0, 1, 1, 50, 1234567.0, -0.000123456789, true, 0, 300,
         "0,0,1,1,50,1234567,-0.000123456789,1,0,44"},
        // The view and the parameters with every digit.
        {-0.7436438870371587, 0.13182590420531198, -0.74364388703715, 0.131825904205312, 50,
         -0.7436438870371587, 0.13182590420531198, true, 1, 100,
         "-0.7436438870371587,0.13182590420531198,-0.74364388703715,0.131825904205312,50,"
         "-0.7436438870371587,0.13182590420531198,1,1,100"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected);
        Rig rig;
        TableFractal f(rig.services());
        setEdges(f, c.xmin, c.ymin, c.xmax, c.ymax);
        f.setMaxIterations(c.iterations);
        f.setParamReal(c.real);
        f.setParamImag(c.imag);
        f.setIntegerArithmetic(c.integer);
        f.method = c.method;
        f.reliefDepth = c.depth;
        EXPECT_TRUE(f.saveParameters());
        EXPECT_EQ(rig.storedText("Table"), c.expected);
    }
}

TEST(ComplexParametersTest, LoadingAppliesTheFieldsWithTheirRules) {
    struct Case {
        std::string text;
        bool result;
        bool applied;
        int iterations;
        double real, imag;
        bool integer;
        int method;
        int depth;
    };
    // Construction state: 100 iterations, 0, 0, integer, Relief, depth 100.
    const Case cases[] = {
        {"1,2,3,4,50,0.5,0.25,0,2,300", true, true, 50, 0.5, 0.25, false, 2, 44},
        {"1,2,3,4,0,0.5,0.25,0,2,300", true, true, 100, 0.5, 0.25, false, 2, 44},
        {"1,2,3,4,-5,1e-3,-2,5,0,-1", true, true, 100, 0.001, -2, true, 0, 255},
        {"1,2,3,4,50,0.5,0.25,0,7,100", true, true, 50, 0.5, 0.25, false, 7, 100},
        {"1,2,3,4,50,0.5,0.25,0,2", true, false, 100, 0, 0, true, 1, 100},  // nine fields
        {"1;2;3;4;50;0.5;0.25;0;2;3", true, false, 100, 0, 0, true, 1, 100},
        {"", true, false, 100, 0, 0, true, 1, 100},
        {"1,2,3,4,50,0,0,0,0,0" + std::string(engine::kMaxParameterUnits - 19, ' '), false, false,
         100, 0, 0, true, 1, 100},
        // The largest limit is a limit; a number beyond its field's range damages the
        // string instead of wrapping (to 1, 200 or a negative limit).
        {"1,2,3,4,2147483647,0.5,0.25,0,2,300", true, true, 2147483647, 0.5, 0.25, false, 2, 44},
        {"1,2,3,4,4294967297,0.5,0.25,0,2,300", true, false, 100, 0, 0, true, 1, 100},
        {"1,2,3,4,4294967496,0.5,0.25,0,2,300", true, false, 100, 0, 0, true, 1, 100},
        {"1,2,3,4,2147483648,0.5,0.25,0,2,300", true, false, 100, 0, 0, true, 1, 100},
        {"1,2,3,4,-2147483649,0.5,0.25,0,2,300", true, false, 100, 0, 0, true, 1, 100},
        {"1,2,3,4,50,0.5,0.25,4294967296,2,300", true, false, 100, 0, 0, true, 1, 100},
        {"1,2,3,4,50,0.5,0.25,0,99999999999999999999,300", true, false, 100, 0, 0, true, 1, 100},
        {"1,2,3,4,50,0.5,0.25,0,2,4294967340", true, false, 100, 0, 0, true, 1, 100},
        {"1,2,3,4,50,0.5,0.25,0,2,300,4294967297", true, false, 100, 0, 0, true, 1, 100},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        Rig rig;
        rig.storeText("Table", c.text);
        TableFractal f(rig.services());
        const view::ViewWindow before = f.view();
        {
            engine::TakingOverScope noRun(f);
            EXPECT_EQ(f.loadParameters(), c.result);
        }
        EXPECT_EQ(f.maxIterations(), c.iterations);
        EXPECT_DOUBLE_EQ(f.paramReal(), c.real);
        EXPECT_DOUBLE_EQ(f.paramImag(), c.imag);
        EXPECT_EQ(f.useInteger(), c.integer);
        EXPECT_EQ(f.method.load(), c.method);
        EXPECT_EQ(f.reliefDepth.load(), c.depth);
        if (c.applied) {
            // x 1..3 and y 2..4, widened to the picture's aspect.
            EXPECT_LE(f.view().xmin, 1.0);
            EXPECT_GE(f.view().xmax, 3.0);
            EXPECT_LE(f.view().ymin, 2.0);
            EXPECT_GE(f.view().ymax, 4.0);
            EXPECT_NEAR((f.view().xmin + f.view().xmax) / 2, 2.0, 1e-9);
            EXPECT_NEAR((f.view().ymin + f.view().ymax) / 2, 3.0, 1e-9);
        } else {
            EXPECT_TRUE(view::ViewWindow::sameView(f.view(), before));
            // Nothing was stopped, so nothing was saved over the stored text.
            EXPECT_EQ(rig.storedText("Table"), c.text);
        }
    }
}

// A rectangle no view can show is damaged: the type's default view takes its place,
// and the other fields apply. One that can be widened to the picture stays as ever.
TEST(ComplexParametersTest, ADamagedViewGivesTheDefaultViewAndIsStoredSo) {
    struct Case {
        const char* edges;
        bool damaged;
    };
    const Case cases[] = {
        {"nan,nan,nan,nan", true},    {"nan,-1,1,1", true},
        {"0.5,0.5,0.5,0.5", true},    {"-1e308,-1e308,1e308,1e308", true},
        {"inf,-1,-inf,1", true},      {"1,1e308,2,1e308", true},
        {"0.25,-1,0.25,1", false},    {"-1e300,-1e300,1e300,1e300", false},
        {"-2.1,-1.69,1,1.72", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.edges);
        Rig rig(24, 18);
        const std::string stored = std::string(c.edges) + ",50,0.5,0.25,0,2,300";
        rig.storeText("Mandelbrot", stored);
        complex::MandelbrotFractal f(rig.services());
        view::ViewWindow expected = f.defaultView();
        if (!c.damaged) {
            double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
            ASSERT_EQ(platform::cscan(stored, "%lf,%lf,%lf,%lf", &x1, &y1, &x2, &y2), 4);
            expected = f.view();
            ASSERT_TRUE(expected.setRect(x1, y1, x2, y2));
        }
        f.startFromSettings();
        f.stopCalculation();
        EXPECT_TRUE(view::ViewWindow::sameView(f.view(), expected));
        EXPECT_EQ(f.maxIterations(), 50);
        EXPECT_EQ(f.method.load(), 2);
        // What is stored (and so what pictures carry) is the view shown.
        const std::optional<std::string> after = rig.storedText("Mandelbrot");
        ASSERT_TRUE(after.has_value());
        double edges[4] = {};
        ASSERT_EQ(
            platform::cscan(*after, "%lf,%lf,%lf,%lf", &edges[0], &edges[1], &edges[2], &edges[3]),
            4);
        EXPECT_EQ(edges[0], expected.xmin);
        EXPECT_EQ(edges[3], expected.ymax);
    }
}

TEST(ComplexParametersTest, MissingStringReportsFalse) {
    Rig rig;
    TableFractal f(rig.services());
    engine::TakingOverScope noRun(f);
    EXPECT_FALSE(f.loadParameters());
    rig.store.write(complex_test::kKey, "Table", platform::SettingsValue::ofNumber(5));
    EXPECT_FALSE(f.loadParameters());
}

TEST(ComplexFractalTest, ColorForCountIsBlackInsideAndTheTableOutside) {
    Rig rig;
    TableFractal f(rig.services());
    const platform::Color colors[] = {0x000011, 0x002200, 0x330000};
    f.usePalette("three", tableOf(colors, 3));
    f.setMaxIterations(10);
    struct Case {
        int n;
        platform::Color expected;
    };
    const Case cases[] = {{1, 0x002200}, {3, 0x000011}, {5, 0x330000},
                          {9, 0x000011}, {10, 0},       {11, 0}};
    for (const Case& c : cases)
        EXPECT_EQ(f.colorForCount(c.n), c.expected) << c.n;

    f.usePalette("none", tableOf(colors, 0));
    EXPECT_EQ(f.colorForCount(4), f.colorTable().defaultColor());
    EXPECT_EQ(f.colorForCount(10), 0u);
}

// ----- The six types -----

struct TypeCase {
    engine::FractalType type;
    const char* name;
    std::function<std::unique_ptr<ComplexFractal>(const platform::Services&)> make;
    double real, imag;
    double x1, y1, x2, y2;
};

template <class T>
std::unique_ptr<ComplexFractal> makeType(const platform::Services& s) {
    return std::make_unique<T>(s);
}

const TypeCase kTypes[] = {
    {engine::kMandelbrot, "Mandelbrot", makeType<complex::MandelbrotFractal>, 0.0, 0.0, -2.1, -1.69,
     1.0, 1.72},
    {engine::kJulia, "Julia", makeType<complex::JuliaFractal>, -0.7, 0.3, -2.0, -2.6, 2.2, 2.6},
    {engine::kUnity, "Unity", makeType<complex::UnityFractal>, 0.0, 0.0, -1.75, -2.0, 1.75, 2.0},
    {engine::kSpider, "Spider", makeType<complex::SpiderFractal>, 0.0, 0.0, -2.1, -1.69, 1.0, 1.72},
    {engine::kManowar, "Manowar", makeType<complex::ManowarFractal>, 0.0, 0.0, -1.2, -1.4, 1.2,
     1.4},
    {engine::kPhoenix, "Phoenix", makeType<complex::PhoenixFractal>, 0.56667, -0.5, -2.0, -2.6, 2.2,
     2.6},
};

TEST(ComplexTypesTest, ConstructionSetsIdentityAndFamilyState) {
    for (const TypeCase& t : kTypes) {
        SCOPED_TRACE(t.name);
        Rig rig;
        auto f = t.make(rig.services());
        EXPECT_EQ(f->type, t.type);
        EXPECT_EQ(f->opened.type, t.type);
        EXPECT_EQ(f->typeName, t.name);
        EXPECT_EQ(f->method.load(), complex::kRelief);
        EXPECT_EQ(f->reliefDepth.load(), 100);
        EXPECT_EQ(f->maxIterations(), 100);
        EXPECT_TRUE(f->useInteger());
        EXPECT_EQ(f->paramReal(), 0.0);
        EXPECT_EQ(f->paramImag(), 0.0);
        EXPECT_FALSE(f->isRunning());
    }
}

TEST(ComplexTypesTest, DefaultsKeepTheMethodAndRecordTheOldView) {
    for (const TypeCase& t : kTypes) {
        SCOPED_TRACE(t.name);
        Rig rig(60, 40);
        auto f = t.make(rig.services());
        engine::TakingOverScope noRun(*f);
        f->setMethod(complex::kTesseral);
        f->reliefDepth = 3;
        f->setMaxIterations(7);
        f->setIntegerArithmetic(false);
        f->setDefaultParameters();
        EXPECT_EQ(f->maxIterations(), 200);
        EXPECT_EQ(f->paramReal(), t.real);
        EXPECT_EQ(f->paramImag(), t.imag);
        EXPECT_TRUE(f->useInteger());
        EXPECT_EQ(f->reliefDepth.load(), 100);
        EXPECT_EQ(f->method.load(), complex::kTesseral);

        const view::ViewWindow before = f->view();
        f->setDefaultView();
        ASSERT_EQ(f->history.count(), 1);
        EXPECT_TRUE(view::ViewWindow::sameView(f->history.at(0), before));
        view::ViewWindow expected(true);
        expected.setScreenSize(60, 40);
        expected.setRect(t.x1, t.y1, t.x2, t.y2);
        EXPECT_TRUE(view::ViewWindow::sameView(f->view(), expected));
        EXPECT_LE(f->view().xmin, t.x1);
        EXPECT_GE(f->view().ymax, t.y2);
    }
}

// The whole path: the worker runs the scan and the picture ends complete.
TEST(ComplexTypesTest, WorkerCompletesEachMethodOnARealKernel) {
    for (const int method : {complex::kSimple, complex::kRelief, complex::kTesseral}) {
        SCOPED_TRACE(method);
        Rig rig(48, 36);
        complex::MandelbrotFractal f(rig.services());
        {
            engine::TakingOverScope noRun(f);
            f.setDefaultParameters();
            f.setDefaultView();
            f.setMethod(method);
        }
        f.startCalculation();
        ASSERT_TRUE(complex_test::waitFinished(f));
        const engine::RunStatistics stats = f.statistics();
        if (method == complex::kTesseral) {
            EXPECT_LT(stats.pointCount, 48u * 36u);
        } else {
            EXPECT_EQ(stats.pointCount, 48u * 36u);
        }
        EXPECT_GT(stats.iterationCount, stats.pointCount);
        // The origin is inside the set: black, in the window and in the picture.
        int column = 0, row = 0;
        ASSERT_TRUE(view::planeToPixel(f.view(), -0.1, 0.0, column, row));
        EXPECT_EQ(f.picture.pixel(column, row), platform::kBlack);
        EXPECT_EQ(rig.window.surface().pixel(column, row), platform::kBlack);
        EXPECT_EQ(f.picture.snapshot(), rig.window.surface().snapshot());
    }
}

TEST(ComplexTypesTest, StopEndsALongRunPromptly) {
    Rig rig(400, 300);
    complex::MandelbrotFractal f(rig.services());
    {
        engine::TakingOverScope noRun(f);
        f.setDefaultView();
        f.setParameters(100000, 0, 0, false);
        f.setMethod(complex::kSimple);
    }
    f.startCalculation();
    while (f.runState.pointCount.load() < 10)
        std::this_thread::yield();
    const auto start = std::chrono::steady_clock::now();
    f.stopCalculation();
    EXPECT_TRUE(f.isFinished());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_LT(f.runState.pointCount.load(), 400u * 300u);
}

}  // namespace
