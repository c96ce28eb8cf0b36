#include "app/complex_parameters_dialog.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "complex/exact_orbit.h"
#include "complex/mandelbrot_fractal.h"
#include "dialog_test_rig.h"
#include "view/deep_view.h"
#include "view/view_text.h"

namespace {

using corvane_test::DialogRig;
using Dialog = app::ComplexParametersDialog;

TEST(ComplexParametersDialog, AdaptsTheParameterFieldsToTheType) {
    struct Case {
        engine::FractalType type;
        const char* realLabel;
        const char* imagLabel;
        bool enabled;
    };
    const Case cases[] = {
        {engine::kMandelbrot, "Real[0]:", "Imag[0]:", true},
        {engine::kJulia, "Real[0]:", "Imag[0]:", true},
        {engine::kUnity, "Real[0]:", "Imag[0]:", false},
        {engine::kPhoenix, "P1:", "P2:", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.type);
        DialogRig rig(c.type);
        const auto form = Dialog::open(rig.as<complex::ComplexFractal>());
        EXPECT_EQ(form.realLabel, c.realLabel);
        EXPECT_EQ(form.imagLabel, c.imagLabel);
        EXPECT_EQ(form.parametersEnabled, c.enabled);
    }
}

TEST(ComplexParametersDialog, ShowsTheSettingsWithTheirFormats) {
    DialogRig rig(engine::kJulia);
    auto& julia = rig.as<complex::ComplexFractal>();
    julia.setMaxIterations(250);
    julia.setParamReal(-0.75);
    julia.setParamImag(0.1234567);
    julia.setIntegerArithmetic(false);
    const auto form = Dialog::open(julia);
    EXPECT_EQ(form.iterations, "250");
    // Every digit the parameters hold, as the views show theirs.
    EXPECT_EQ(form.real, "-0.75");
    EXPECT_EQ(form.imag, "0.1234567");
    EXPECT_EQ(form.methods, (std::array<std::string, 3>{"Simple", "Relief", "Tesseral"}));
    EXPECT_FALSE(form.useInteger);
}

// The colouring list shows what the picture is drawn with; OK stores a new choice and
// keeps a stored value this program does not know while the list is left alone.
TEST(ComplexParametersDialog, ColouringIsShownAndApplied) {
    struct Case {
        int stored;
        int shown;
        int chosen;  // -1: no selection
        int expected;
    };
    const Case cases[] = {
        {complex::kBands, 0, 1, complex::kSmooth},
        {complex::kSmooth, 1, 0, complex::kBands},
        {complex::kSmooth, 1, 1, complex::kSmooth},
        {complex::kSmooth, 1, -1, complex::kSmooth},
        {7, 0, 0, 7},
        {7, 0, 1, complex::kSmooth},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored * 10 + c.chosen);
        DialogRig rig(engine::kMandelbrot);
        auto& fractal = rig.as<complex::ComplexFractal>();
        fractal.setColouring(c.stored);
        auto form = Dialog::open(fractal);
        EXPECT_EQ(form.colourings, (std::array<std::string, 2>{"Bands", "Smooth"}));
        EXPECT_EQ(form.colouringIndex, c.shown);
        form.colouringIndex = c.chosen;
        Dialog::ok(form, fractal);
        EXPECT_EQ(fractal.colouring.load(), c.expected);
        // The choice is stored with the type's parameters.
        EXPECT_EQ(fractal.parameterString().ends_with(",1"), c.expected == complex::kSmooth);
    }
}

TEST(ComplexParametersDialog, OnlyReliefHasADepth) {
    struct Case {
        int method;
        int depth;
        int selected;
        const char* relief;
        bool enabled;
    };
    const Case cases[] = {
        {complex::kRelief, 100, 1, "39", true},  {complex::kRelief, 255, 1, "100", true},
        {complex::kRelief, 0, 1, "0", true},     {complex::kSimple, 100, 0, "", false},
        {complex::kTesseral, 100, 2, "", false}, {7, 100, 0, "", false},  // scans as Simple
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.method);
        DialogRig rig(engine::kMandelbrot);
        auto& fractal = rig.as<complex::ComplexFractal>();
        fractal.method = c.method;
        fractal.reliefDepth = c.depth;
        const auto form = Dialog::open(fractal);
        EXPECT_EQ(form.methodIndex, c.selected);
        EXPECT_EQ(form.relief, c.relief);
        EXPECT_EQ(form.reliefEnabled, c.enabled);
    }
}

TEST(ComplexParametersDialog, SwitchingTheMethodShowsOrEmptiesTheDepth) {
    DialogRig rig(engine::kMandelbrot);
    auto& fractal = rig.as<complex::ComplexFractal>();
    fractal.method = complex::kSimple;
    fractal.reliefDepth = 128;
    auto form = Dialog::open(fractal);
    EXPECT_FALSE(form.reliefEnabled);
    form.methodIndex = complex::kRelief;
    Dialog::methodChanged(form, fractal);
    EXPECT_EQ(form.relief, "50");
    EXPECT_TRUE(form.reliefEnabled);
    form.methodIndex = complex::kSimple;
    Dialog::methodChanged(form, fractal);
    EXPECT_EQ(form.relief, "");
    EXPECT_FALSE(form.reliefEnabled);
}

TEST(ComplexParametersDialog, ReliefPercentagesInSinglePrecision) {
    struct Case {
        int percent;
        int depth;
    };
    // The way back keeps the low 8 bits: 101 % is 258, which is 2.
    const Case toDepth[] = {{100, 255}, {50, 128}, {0, 0},    {1, 3},
                            {39, 99},   {101, 2},  {-5, 244}, {200, 254}};
    for (const Case& c : toDepth) {
        SCOPED_TRACE(c.percent);
        EXPECT_EQ(Dialog::reliefDepthFromPercent(c.percent), c.depth);
    }
    const Case toPercent[] = {{100, 255}, {50, 128}, {0, 0}, {39, 100}, {1, 2}};
    for (const Case& c : toPercent) {
        SCOPED_TRACE(c.depth);
        EXPECT_EQ(Dialog::reliefPercent(c.depth), c.percent);
    }
    // Any typed number stays defined.
    for (const int extreme : {INT_MAX, INT_MIN}) {
        const int depth = Dialog::reliefDepthFromPercent(extreme);
        EXPECT_GE(depth, 0);
        EXPECT_LE(depth, 255);
    }
}

TEST(ComplexParametersDialog, OkAppliesEveryField) {
    struct Case {
        const char* iterations;
        const char* real;
        int method;
        const char* relief;
        int expectedIterations;
        double expectedReal;
        int expectedDepth;
    };
    const Case cases[] = {
        {"500", "0.25", complex::kRelief, "100", 500, 0.25, 255},
        {"500", "0.25", complex::kRelief, "101", 500, 0.25, 2},
        {"500", "0.25", complex::kRelief, "abc", 500, 0.25, 77},  // keeps the depth
        {"abc", "nan", complex::kSimple, "", 100, 0.5, 77},       // keep their values
        {"0", "1e999", complex::kTesseral, "", 100, 0.5, 77},     // 0 iterations are ignored
        {"20000", "-1", complex::kSimple, "", 20000, -1.0, 77},   // beyond the spin range
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.iterations);
        DialogRig rig(engine::kMandelbrot);
        auto& fractal = rig.as<complex::ComplexFractal>();
        fractal.setMaxIterations(100);
        fractal.setParamReal(0.5);
        fractal.reliefDepth = 77;
        auto form = Dialog::open(fractal);
        form.iterations = c.iterations;
        form.real = c.real;
        form.methodIndex = c.method;
        form.relief = c.relief;
        form.useInteger = false;
        EXPECT_EQ(Dialog::ok(form, fractal), app::kDialogOk);
        EXPECT_EQ(fractal.maxIterations(), c.expectedIterations);
        EXPECT_EQ(fractal.paramReal(), c.expectedReal);
        EXPECT_EQ(fractal.method, c.method);
        EXPECT_EQ(fractal.reliefDepth, c.expectedDepth);
        EXPECT_FALSE(fractal.useInteger());
    }
}

// Views deeper than double resolves are computed by perturbation: a limit above the
// largest int, or one whose reference orbits could need more memory than the options
// allow, is refused in the dialog with the reason, and nothing changes. The orbits
// counted are those of the parameters typed (Mandelbrot keeps a second orbit for a
// starting value other than 0). Shallow views take any limit.
TEST(ComplexParametersDialog, RefusesAnIterationLimitTheViewCannotCompute) {
    const std::string tooMany = "At this depth the iteration limit is at most 2,147,483,647.";
    const struct {
        bool deep;
        const char* iterations;
        const char* real;
        int memoryMiB;
        int expectedIterations;  // 100: refused
        std::string refusal;
        bool automatic = false;  // the automatic limit replaces the one typed
    } table[] = {
        {true, "99999999999", "0.25", 2048, 100, tooMany},
        {true, "2147483648", "0.25", 2048, 100, tooMany},
        {true, "2147483647", "0.25", 2048, 100,
         "At this depth 2,147,483,647 iterations need 103,079,215,104 bytes for its 2 reference "
         "orbits (2,147,483,648 states of 24 bytes each); the options allow 2,048 MiB."},
        {true, "50000000", "0.25", 2048, 100,
         "At this depth 50,000,000 iterations need 2,400,000,048 bytes for its 2 reference "
         "orbits (50,000,001 states of 24 bytes each); the options allow 2,048 MiB."},
        {true, "30000000", "0", 2048, 30000000, ""},
        {true, "30000000", "0.25", 2048, 6862, "", true},  // 2^68.6 deep
        {true, "3000000", "0", 64, 100,
         "At this depth 3,000,000 iterations need 72,000,024 bytes for its reference orbit "
         "(3,000,001 states of 24 bytes each); the options allow 64 MiB."},
        {true, "1000001", "0.25", 2048, 1000001, ""},
        {true, "5000", "0.25", 2048, 5000, ""},
        {false, "1000001", "0.25", 2048, 1000001, ""},
        {false, "5000000", "0.25", 16, 5000000, ""},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(std::string(row.iterations) + (row.deep ? " deep" : " shallow"));
        DialogRig rig(engine::kMandelbrot);
        auto& fractal = rig.as<complex::ComplexFractal>();
        fractal.setOption(&engine::Options::referenceMemoryMiB, row.memoryMiB);
        fractal.setOption(&engine::Options::autoIterations, row.automatic);
        fractal.setMaxIterations(100);
        fractal.setParamReal(0.5);
        if (row.deep) {
            // Outside the set, where every orbit escapes at once: a short run.
            const view::CentreAndWidth text = *view::parseCentreAndWidth("2", "2", "1e-20").value;
            fractal.setPreciseView(*view::DeepView::fromCentreAndWidth(
                text.x, text.y, text.width, fractal.width, fractal.height));
            ASSERT_NE(fractal.deepView(), nullptr);
        }
        auto form = Dialog::open(fractal);
        form.iterations = row.iterations;
        form.real = row.real;
        std::string refusal;
        EXPECT_EQ(Dialog::ok(form, fractal, refusal),
                  row.refusal.empty() ? app::kDialogOk : Dialog::kRefused);
        EXPECT_EQ(refusal, row.refusal);
        EXPECT_EQ(fractal.maxIterations(), row.expectedIterations);
        // Nothing at all is applied when refused.
        EXPECT_EQ(fractal.paramReal(), row.refusal.empty() ? std::stod(row.real) : 0.5);
        fractal.stopCalculation();
    }
}

// A parameter typed with every digit of a double (a deep Julia view needs them) is
// shown, stored and read back whole.
TEST(ComplexParametersDialog, ParametersRoundTripWithSeventeenDigits) {
    const struct {
        engine::FractalType type;
        const char* real;
        const char* imag;
    } table[] = {
        {engine::kJulia, "-0.74364388703715871", "0.13182590420531198"},
        {engine::kPhoenix, "0.56666999999999998", "-1.2345678901234567e-05"},
        {engine::kJulia, "1.0000000000000002", "-2.2250738585072014e-308"},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.real);
        const double real = std::stod(row.real);
        const double imag = std::stod(row.imag);
        DialogRig rig(row.type);
        auto& fractal = rig.as<complex::ComplexFractal>();
        auto form = Dialog::open(fractal);
        form.real = row.real;
        form.imag = row.imag;
        ASSERT_EQ(Dialog::ok(form, fractal), app::kDialogOk);
        fractal.stopCalculation();  // stores the parameter string
        EXPECT_EQ(fractal.paramReal(), real);
        EXPECT_EQ(fractal.paramImag(), imag);

        // The dialog opened again hands the same doubles back on an untouched Ok.
        const auto again = Dialog::open(fractal);
        EXPECT_EQ(std::stod(again.real), real);
        EXPECT_EQ(std::stod(again.imag), imag);

        // The stored string brings them back in a new object of the type.
        std::string stored;
        std::uint32_t length = 1024;
        ASSERT_TRUE(fractal.settings.readString(fractal.typeName, stored, length));
        DialogRig reader(row.type);
        auto& loaded = reader.as<complex::ComplexFractal>();
        ASSERT_TRUE(loaded.settings.writeString(loaded.typeName, stored));
        ASSERT_TRUE(loaded.loadParameters());
        loaded.stopCalculation();
        EXPECT_EQ(loaded.paramReal(), real);
        EXPECT_EQ(loaded.paramImag(), imag);
    }
}

// Records the calls OK makes, to check their order.
class RecordingFractal final : public complex::ComplexFractal {
  public:
    explicit RecordingFractal(const platform::Services& services)
        : ComplexFractal(services, complex::MandelbrotFractal::kDescription,
                         complex::kernels::Formula::kMandelbrot) {}
    int iteratePoint(const complex::EscapeParameters&, double, double) override { return 1; }
    void setParameters(int iterations, double real, double imag, bool integer) override {
        calls.push_back("setParameters " + std::to_string(iterations) + " depth " +
                        std::to_string(reliefDepth) + " method " + std::to_string(method));
        ComplexFractal::setParameters(iterations, real, imag, integer);
    }
    void setMethod(int m) override {
        calls.push_back("setMethod " + std::to_string(m));
        ComplexFractal::setMethod(m);
    }
    std::vector<std::string> calls;
};

TEST(ComplexParametersDialog, OkRestartsOnceMoreWithTheNewMethodAndDepth) {
    DialogRig rig(engine::kMandelbrot);
    engine::FractalPtr owner(new RecordingFractal(rig.services()));
    auto& fractal = static_cast<RecordingFractal&>(*owner);
    fractal.method = complex::kSimple;
    fractal.reliefDepth = 10;
    auto form = Dialog::open(fractal);
    form.iterations = "300";
    form.methodIndex = complex::kRelief;
    form.relief = "50";
    Dialog::ok(form, fractal);
    const std::vector<std::string> expected = {"setParameters 300 depth 10 method 0", "setMethod 1",
                                               "setParameters 300 depth 128 method 1"};
    EXPECT_EQ(fractal.calls, expected);
}

TEST(ComplexParametersDialog, DefaultAppliesTheTypesDefaults) {
    DialogRig rig(engine::kMandelbrot);
    auto& fractal = rig.as<complex::ComplexFractal>();
    fractal.setMaxIterations(5000);
    EXPECT_EQ(Dialog::useDefaults(fractal), app::kDialogDefault);
    EXPECT_NE(fractal.maxIterations(), 5000);
}

}  // namespace
