// Colouring controls: the colours of density, offset and transfer, the automatic
// density, the parameter string's field, and pictures coloured again from their kept
// values exactly as a new run colours them.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "complex/automatic_density.h"
#include "complex/band_renderer.h"
#include "complex/color_controls.h"
#include "complex/escape_colouring.h"
#include "complex_test_rig.h"
#include "platform/c_format.h"
#include "view/deep_view.h"

namespace complex {
namespace {

using complex_test::CollectedRows;
using complex_test::computed;
using complex_test::Rig;

constexpr int kWidth = 23;
constexpr int kHeight = 17;

enum class Arithmetic { kFixed, kDouble, kDeep };

struct PictureSetup {
    engine::FractalType type;
    int method;
    Arithmetic arithmetic;
    int colouring;
};

void prepare(ComplexFractal& f, const PictureSetup& s, const ColorControls& controls) {
    engine::TakingOverScope noRun(f);
    f.setDefaultParameters();
    f.setDefaultView();
    f.setMethod(s.method);
    f.setColouring(s.colouring);
    f.setColorControls(controls);
    f.setIntegerArithmetic(s.arithmetic == Arithmetic::kFixed);
    f.setThreadLimit(2);
    if (s.arithmetic == Arithmetic::kDeep) {
        // Views at the edge of each set, where the counts vary from pixel to pixel.
        const char* centre =
            s.type == engine::kJulia ? "0.3162277660168379,0.5"
            : s.type == engine::kSpider
                ? "0.0581746863184820454892181890929624744804993599350607836609558,"
                  "0.137262029477723073700504686915870548697834816100172810864243"
                : "-1.7400623825793399052,0.0281753397792";
        const auto text = view::parseCentreAndWidth(centre, "1e-25");
        f.setParameters(400, f.paramReal(), f.paramImag(), false);
        f.setPreciseView(*view::DeepView::fromCentreAndWidth(text.value->x, text.value->y,
                                                             text.value->width, kWidth, kHeight));
    }
}

// A picture computed with some controls and coloured again with others is the picture
// computed with the others, for every method, arithmetic (double, fixed point, deep)
// and colouring; so is the picture an export computes in bands.
TEST(RecolorTest, RecolouringEqualsComputingAgain) {
    ColorControls spread;
    spread.density = 2.5;
    spread.offset = 7.25;
    spread.transfer = Transfer::kSquareRoot;
    ColorControls logarithm;
    logarithm.density = 0.125;
    logarithm.offset = -3.0;
    logarithm.transfer = Transfer::kLogarithm;
    ColorControls automatic;
    automatic.automaticDensity = true;
    ColorControls automaticTurned = automatic;
    automaticTurned.offset = 40.5;
    ColorControls automaticRooted = automatic;
    automaticRooted.transfer = Transfer::kSquareRoot;
    struct Change {
        ColorControls before, after;
    };
    const Change changes[] = {
        {{}, spread},          {spread, logarithm},         {automatic, automaticTurned},
        {logarithm, {}},       {spread, automatic},         {automaticTurned, automaticRooted},
        {automaticRooted, {}}, {automaticRooted, logarithm}};
    int compared = 0;
    for (const engine::FractalType type : {engine::kMandelbrot, engine::kJulia, engine::kSpider}) {
        for (const int method : {kSimple, kRelief, kTesseral}) {
            for (const Arithmetic arithmetic :
                 {Arithmetic::kFixed, Arithmetic::kDouble, Arithmetic::kDeep}) {
                for (const int colouring : {kBands, kSmooth}) {
                    const PictureSetup setup{type, method, arithmetic, colouring};
                    const Change& change = changes[compared++ % std::size(changes)];
                    SCOPED_TRACE(testing::Message()
                                 << "type " << type << " method " << method << " arithmetic "
                                 << static_cast<int>(arithmetic) << " colouring " << colouring
                                 << " change " << (compared - 1) % std::size(changes));
                    Rig rig(kWidth, kHeight);
                    auto f = complex_test::makeComplexType(type, rig.services());
                    prepare(*f, setup, change.before);
                    const std::vector<platform::Color> before = computed(*f);
                    f->setColorControls(change.after);
                    // A new automatic density is found in the kept values, except in a
                    // Tesseral picture, whose filled areas were not sampled.
                    const bool newDensity = change.after.automaticDensity &&
                                            (!change.before.automaticDensity ||
                                             change.before.transfer != change.after.transfer);
                    if (method == kTesseral && newDensity) {
                        EXPECT_FALSE(f->recolor());
                        continue;
                    }
                    ASSERT_TRUE(f->recolor());
                    const std::vector<platform::Color> recoloured = f->picture.snapshot();

                    Rig fresh(kWidth, kHeight);
                    auto g = complex_test::makeComplexType(type, fresh.services());
                    prepare(*g, setup, change.after);
                    EXPECT_EQ(recoloured, computed(*g));
                    EXPECT_NE(recoloured, before) << "the change shows";

                    CollectedRows rows;
                    BandRenderer(*g, 5).render(rows);
                    EXPECT_EQ(rows.colors, recoloured) << "the picture in bands";
                }
            }
        }
    }
}

// What cannot be coloured again from kept values is computed again instead.
TEST(RecolorTest, PicturesWithoutServingValuesAreNotRecoloured) {
    Rig rig(kWidth, kHeight);
    auto f = complex_test::makeComplexType(engine::kMandelbrot, rig.services());
    prepare(*f, PictureSetup{engine::kMandelbrot, kSimple, Arithmetic::kDouble, kBands}, {});
    EXPECT_FALSE(f->recolor()) << "nothing computed yet";
    computed(*f);
    EXPECT_TRUE(f->recolor());
    f->setColouring(kSmooth);
    EXPECT_FALSE(f->recolor()) << "no continuous counts kept";
    f->setColouring(kBands);
    ColorControls automatic;
    automatic.automaticDensity = true;
    f->setColorControls(automatic);
    EXPECT_TRUE(f->recolor()) << "the density found in the kept values";
    f->setColorControls({});
    f->setMethod(kTesseral);
    computed(*f);
    f->setColorControls(automatic);
    EXPECT_FALSE(f->recolor()) << "a Tesseral picture's filled areas were not sampled";
}

// A moving frame starts from the finished picture, except that a relief picture's shading
// goes (the frames' new samples cannot be shaded): the Simple picture of the same view.
TEST(RecolorTest, MovingFramesStartFromUnshadedColours) {
    const Arithmetic arithmetics[] = {Arithmetic::kFixed, Arithmetic::kDouble, Arithmetic::kDeep};
    for (const Arithmetic arithmetic : arithmetics) {
        for (const int colouring : {kBands, kSmooth}) {
            SCOPED_TRACE(static_cast<int>(arithmetic) * 10 + colouring);
            Rig rig(kWidth, kHeight);
            auto f = complex_test::makeComplexType(engine::kMandelbrot, rig.services());
            prepare(*f, {engine::kMandelbrot, kSimple, arithmetic, colouring}, ColorControls{});
            const std::vector<platform::Color> simple = computed(*f);
            EXPECT_EQ(f->liveFramePixels(), simple);
            f->setMethod(kRelief);
            const std::vector<platform::Color> relief = computed(*f);
            const bool shaded = std::any_of(simple.begin(), simple.end(),
                                            [&](platform::Color c) { return c != simple[0]; });
            EXPECT_EQ(relief != simple, shaded);  // a picture of one colour has no relief
            EXPECT_EQ(f->liveFramePixels(), simple);
        }
    }
}

// Positions on a palette of four entries: density values per step, the offset turning
// the palette either way, the transfer, the blend of smooth colouring.
TEST(RecolorTest, ControlsPlaceValuesOnThePalette) {
    const platform::Color entries[4] = {platform::rgb(0, 0, 0), platform::rgb(100, 0, 0),
                                        platform::rgb(200, 0, 0), platform::rgb(0, 0, 200)};
    engine::ColorTable palette;
    palette.setColors(entries, 4);
    struct Case {
        double density, offset;
        Transfer transfer;
        int colouring;
        EscapeValue value;
        platform::Color expected;
    };
    const Case cases[] = {
        {1.0, 0.0, Transfer::kLinear, kBands, {6, 6.0}, entries[2]},  // as always: 6 mod 4
        {2.0, 0.0, Transfer::kLinear, kBands, {6, 6.0}, entries[3]},
        {2.0, 0.0, Transfer::kLinear, kBands, {7, 7.0}, entries[3]},
        {1.0, -1.0, Transfer::kLinear, kBands, {0, 0.0}, entries[3]},  // turned back past 0
        {1.0, 5.5, Transfer::kLinear, kBands, {1, 1.0}, entries[2]},
        {1.0, 1e9, Transfer::kLinear, kBands, {1, 1.0}, entries[1]},
        {1.0, 0.0, Transfer::kSquareRoot, kBands, {9, 9.0}, entries[3]},
        {1.0, 0.0, Transfer::kLogarithm, kBands, {19, 19.0}, entries[2]},  // log 20 = 2.99
        {2.0, 0.0, Transfer::kLinear, kSmooth, {3, 3.0}, platform::rgb(150, 0, 0)},
        {1.0, 0.5, Transfer::kLinear, kSmooth, {1, 1.25}, platform::rgb(175, 0, 0)},
        {1.0, 0.0, Transfer::kLinear, kSmooth, {99, 99.0}, platform::kBlack},  // inside
        {3.0, 0.0, Transfer::kLinear, kSmooth, {5, NAN}, platform::rgb(167, 0, 0)},
    };
    for (const Case& c : cases) {
        const EscapeColouring colouring(palette, 99, c.colouring,
                                        ColorControls{c.density, c.offset, c.transfer, false});
        EXPECT_EQ(colouring.plain(c.value), c.expected)
            << "density " << c.density << " offset " << c.offset << " value " << c.value.count;
    }
}

// Spread over the palette, relief shades where the colour changes, not the count.
TEST(RecolorTest, ReliefShadesWherePalettePositionsChange) {
    const platform::Color entries[3] = {platform::rgb(100, 100, 100), platform::rgb(50, 50, 50),
                                        platform::rgb(150, 150, 150)};
    engine::ColorTable palette;
    palette.setColors(entries, 3);
    const ColorControls tenPerStep{10.0, 0.0, Transfer::kLinear, false};
    struct Case {
        int colouring;
        EscapeValue value, previous;
        platform::Color expected;
    };
    const Case cases[] = {
        {kBands, {15, 15.0}, {12, 12.0}, entries[1]},                     // one entry: unshaded
        {kBands, {25, 25.0}, {15, 15.0}, platform::rgb(170, 170, 170)},   // entry 2, lighter
        {kBands, {15, 15.0}, {25, 25.0}, platform::rgb(30, 30, 30)},      // darker by 20
        {kSmooth, {15, 15.0}, {10, 10.0}, platform::rgb(110, 110, 110)},  // half a step: +10
        {kSmooth, {15, 15.0}, {-1, -1.0}, platform::rgb(100, 100, 100)},  // the diagonal's first
    };
    for (const Case& c : cases) {
        const EscapeColouring colouring(palette, 99, c.colouring, tenPerStep);
        EXPECT_EQ(colouring.relief(c.value, c.previous, 20), c.expected)
            << c.colouring << " " << c.value.count << " after " << c.previous.count;
    }
}

TEST(RecolorTest, AutomaticDensityFromTheSpreadOfNeighbours) {
    // Triples of a point and its two neighbours.
    const auto sample = [](const std::vector<std::array<int, 3>>& triples) {
        std::vector<EscapeValue> values;
        for (const auto& t : triples) {
            for (const int n : t)
                values.push_back(EscapeValue{n, static_cast<double>(n)});
        }
        return values;
    };
    std::vector<std::array<int, 3>> wide;
    for (int i = 0; i < 50; ++i)
        wide.push_back({1000, 1000 + 4 * i, 1000 - 4 * i});  // spreads 0..196
    struct Case {
        const char* what;
        std::vector<EscapeValue> values;
        Transfer transfer;
        double density;
    };
    const Case cases[] = {
        {"nothing", {}, Transfer::kLinear, 1.0},
        {"all alike", sample({{5, 5, 5}, {7, 7, 7}}), Transfer::kLinear, 1.0},
        {"inside pairs left out", sample({{5, 5000, 5000}, {5, 21, 37}}), Transfer::kLinear, 4.0},
        {"never finer than a count", sample({{5, 6, 7}}), Transfer::kLinear, 1.0},
        {"four in five within eight steps", sample(wide), Transfer::kLinear, 19.5},
        {"after the transfer", sample({{100, 121, 144}}), Transfer::kSquareRoot, 0.25},
    };
    for (const Case& c : cases)
        EXPECT_DOUBLE_EQ(densityOfSample(c.values, 5000, false, c.transfer), c.density) << c.what;
    EXPECT_EQ(densitySampleSpots(1, 100).size(), 0u);
    const std::vector<SampleSpot> spots = densitySampleSpots(4, 3);
    ASSERT_EQ(spots.size(), 3u * 3u * 2u);
    for (const SampleSpot& s : spots) {
        EXPECT_LT(s.column, 4);
        EXPECT_LT(s.row, 3);
    }
}

// The controls travel in a field of their own after the colouring, written only when
// they are not the defaults; a damaged field leaves the defaults, and readers of ten
// or eleven fields read those as before.
TEST(RecolorTest, ControlsFieldInTheParameterString) {
    struct Case {
        const char* stored;  // after the ten classic fields
        ColorControls read;  // the controls after loading
        const char* back;    // the string saved back, after the ten fields
    };
    const ColorControls defaults;
    const Case cases[] = {
        {"", defaults, ""},
        {",1", defaults, ",1"},
        {",0,color:2.5:0:linear", {2.5, 0.0, Transfer::kLinear, false}, ",0,color:2.5:0:linear"},
        {",1,color:auto:-3.5:log",
         {1.0, -3.5, Transfer::kLogarithm, true},
         ",1,color:auto:-3.5:log"},
        {",0,color:1:0:sqrt", {1.0, 0.0, Transfer::kSquareRoot, false}, ",0,color:1:0:sqrt"},
        {",0,color:1:0:linear", defaults, ""},
        {",0,color:0:0:linear", defaults, ""},  // density refused
        {",0,color:-2:0:linear", defaults, ""},
        {",0,color:nan:0:linear", defaults, ""},
        {",0,color:1e400:0:linear", defaults, ""},
        {",0,color: 2:0:linear", defaults, ""},
        {",0,color:2:1e10:linear", defaults, ""},  // offset refused
        {",0,color:2:0:cubic", defaults, ""},
        {",0,color:2:0", defaults, ""},
        {",0,color:2:0:log:9", defaults, ""},
    };
    for (const Case& c : cases) {
        Rig rig(24, 18);
        MandelbrotFractal f(rig.services());
        f.setColorControls(ColorControls{3.0, 1.0, Transfer::kLogarithm, false});  // held before
        const std::string stored = std::string("-2,-1.5,1,1.5,200,0,0,1,1,100") + c.stored;
        rig.storeText("Mandelbrot", stored);
        {
            engine::TakingOverScope noRun(f);
            ASSERT_TRUE(f.loadParameters());
        }
        EXPECT_EQ(f.colorControls(), c.read) << stored;
        const std::string saved = f.parameterString();
        EXPECT_EQ(saved.substr(saved.find(",100") + 4), c.back) << stored;
        EXPECT_EQ(readParameterString(saved).controls, c.read) << saved;

        double v[6] = {};
        int n[5] = {};
        EXPECT_GE(platform::cscan(saved, "%lf,%lf,%lf,%lf,%d,%lf,%lf,%d,%d,%d,%d", &v[0], &v[1],
                                  &v[2], &v[3], &n[0], &v[4], &v[5], &n[1], &n[2], &n[3], &n[4]),
                  10)
            << saved;
        EXPECT_EQ(n[3], 100) << saved;
    }
}

}  // namespace
}  // namespace complex
