// Pictures coloured by the distance to the set's boundary: their colours, their field in
// the parameter string, and recolouring them from kept distances exactly as a new run
// colours them.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "complex/band_renderer.h"
#include "complex/color_controls.h"
#include "complex/distance_estimate.h"
#include "complex/escape_colouring.h"
#include "complex/mandelbrot_fractal.h"
#include "complex_test_rig.h"
#include "view/deep_view.h"

namespace complex {
namespace {

using complex_test::CollectedRows;
using complex_test::computed;
using complex_test::Rig;

constexpr int kWidth = 23;
constexpr int kHeight = 17;

ColorControls byDistance(double density = 1.0, double offset = 0.0) {
    ColorControls controls;
    controls.density = density;
    controls.offset = offset;
    controls.distance = true;
    return controls;
}

struct PictureSetup {
    engine::FractalType type;
    int method;
    bool integer;
    int colouring;
    bool deep = false;
};

void prepare(ComplexFractal& f, const PictureSetup& s, const ColorControls& controls) {
    engine::TakingOverScope noRun(f);
    f.setDefaultParameters();
    f.setDefaultView();
    f.setMethod(s.method);
    f.setColouring(s.colouring);
    f.setColorControls(controls);
    f.setIntegerArithmetic(s.integer);
    f.setThreadLimit(2);
    if (s.deep) {
        const auto text =
            view::parseCentreAndWidth("-1.7400623825793399052,0.0281753397792", "1e-25");
        f.setParameters(400, f.paramReal(), f.paramImag(), false);
        f.setPreciseView(*view::DeepView::fromCentreAndWidth(text.value->x, text.value->y,
                                                             text.value->width, kWidth, kHeight));
    }
}

std::vector<platform::Color> computedWith(const PictureSetup& s, const ColorControls& controls) {
    Rig rig(kWidth, kHeight);
    auto f = complex_test::makeComplexType(s.type, rig.services());
    prepare(*f, s, controls);
    return computed(*f);
}

// Recoloured with other distance controls, a finished picture f (before: its colours)
// is the picture computed afresh with them, in the window and in bands.
void expectRecolouringAsComputed(ComplexFractal& f, const PictureSetup& setup,
                                 const std::vector<platform::Color>& before) {
    const ColorControls after = byDistance(0.5, 3.25);
    f.setColorControls(after);
    ASSERT_TRUE(f.recolor());
    const std::vector<platform::Color> recoloured = f.picture.snapshot();
    EXPECT_NE(recoloured, before) << "the change shows";
    Rig fresh(kWidth, kHeight);
    auto g = complex_test::makeComplexType(setup.type, fresh.services());
    prepare(*g, setup, after);
    EXPECT_EQ(recoloured, computed(*g));
    CollectedRows rows;
    BandRenderer(*g, 5).render(rows);
    EXPECT_EQ(rows.colors, recoloured) << "the picture in bands";
}

// Mandelbrot and Julia by distance, for every method, both arithmetics (fixed point
// iterates in double here) and both colourings: recoloured with other controls they are
// the picture computed with those, in the window and in bands; turning distance on or
// off computes again.
TEST(DistanceColouringTest, RecolouringEqualsComputingAgain) {
    for (const engine::FractalType type : {engine::kMandelbrot, engine::kJulia}) {
        for (const int method : {kSimple, kRelief, kTesseral}) {
            for (const bool integer : {true, false}) {
                for (const int colouring : {kBands, kSmooth}) {
                    const PictureSetup setup{type, method, integer, colouring};
                    SCOPED_TRACE(testing::Message()
                                 << "type " << type << " method " << method << " integer "
                                 << integer << " colouring " << colouring);
                    Rig rig(kWidth, kHeight);
                    auto f = complex_test::makeComplexType(type, rig.services());
                    prepare(*f, setup, byDistance());
                    const std::vector<platform::Color> before = computed(*f);
                    EXPECT_TRUE(f->keptValues().hasDistances());
                    Rig plainRig(kWidth, kHeight);
                    auto plain = complex_test::makeComplexType(type, plainRig.services());
                    prepare(*plain, setup, {});
                    EXPECT_NE(before, computed(*plain)) << "distance shows";

                    expectRecolouringAsComputed(*f, setup, before);

                    f->setColorControls({});
                    EXPECT_FALSE(f->recolor()) << "counts of double, not of the run's kernel";
                    plain->setColorControls(byDistance());
                    EXPECT_FALSE(plain->recolor()) << "no distances kept";
                }
            }
        }
    }
}

// Where no derivative is carried (other types, shallow or deep) distance keeps the
// colours of the counts, and recolouring does not wait for distances that never come.
TEST(DistanceColouringTest, OtherTypesKeepTheirCountColours) {
    const PictureSetup setups[] = {
        {engine::kSpider, kSimple, false, kSmooth},
        {engine::kUnity, kTesseral, true, kBands},
        {engine::kPhoenix, kRelief, false, kBands},
        {engine::kManowar, kSimple, false, kSmooth},
        {engine::kSpider, kTesseral, false, kSmooth, true},
        {engine::kManowar, kRelief, false, kBands, true},
    };
    for (const PictureSetup& s : setups) {
        SCOPED_TRACE(testing::Message() << "type " << s.type << " deep " << s.deep);
        Rig rig(kWidth, kHeight);
        auto f = complex_test::makeComplexType(s.type, rig.services());
        prepare(*f, s, byDistance());
        EXPECT_EQ(computed(*f), computedWith(s, {}));
        EXPECT_FALSE(f->keptValues().hasDistances());
        f->setColorControls(byDistance(1.0, 2.0));
        EXPECT_TRUE(f->recolor());
        EXPECT_EQ(f->picture.snapshot(), computedWith(s, byDistance(1.0, 2.0)));
    }
}

// Deep views of Mandelbrot and Julia colour by distance as well: their distances are kept,
// recolouring from them gives the picture a new run gives, in the window and in bands, and
// the counts are those of the view coloured by counts.
TEST(DistanceColouringTest, DeepViewsColourByDistance) {
    for (const engine::FractalType type : {engine::kMandelbrot, engine::kJulia}) {
        for (const int method : {kSimple, kRelief, kTesseral}) {
            for (const int colouring : {kBands, kSmooth}) {
                const PictureSetup setup{type, method, false, colouring, true};
                SCOPED_TRACE(testing::Message() << "type " << type << " method " << method
                                                << " colouring " << colouring);
                Rig rig(kWidth, kHeight);
                auto f = complex_test::makeComplexType(type, rig.services());
                prepare(*f, setup, byDistance());
                const std::vector<platform::Color> before = computed(*f);
                ASSERT_TRUE(f->keptValues().hasDistances());
                Rig plainRig(kWidth, kHeight);
                auto plain = complex_test::makeComplexType(type, plainRig.services());
                prepare(*plain, setup, {});
                EXPECT_NE(before, computed(*plain)) << "distance shows";
                int measured = 0;
                for (int row = 0; row < kHeight; ++row) {
                    for (int column = 0; column < kWidth; ++column) {
                        const EscapeValue value = f->keptValues().at(column, row);
                        EXPECT_EQ(value.count, plain->keptValues().at(column, row).count);
                        measured += value.distance > 0.0;
                    }
                }
                EXPECT_GT(measured, kWidth * kHeight / 4) << "pixels outside measured";

                expectRecolouringAsComputed(*f, setup, before);
            }
        }
    }
}

// Distances in pixels on a palette of four entries, eight entries to each doubling:
// the palette position is 8 log2(d) / density + offset, mixed with the next entry;
// within half a pixel of the boundary the colour fades to black.
TEST(DistanceColouringTest, DistancesPlacedOnThePalette) {
    const platform::Color entries[4] = {platform::rgb(0, 0, 200), platform::rgb(100, 0, 0),
                                        platform::rgb(200, 0, 0), platform::rgb(0, 100, 0)};
    engine::ColorTable palette;
    palette.setColors(entries, 4);
    struct Case {
        double density, offset;
        EscapeValue value;
        platform::Color expected;
    };
    const Case cases[] = {
        {1.0, 0.0, {5, 5.0, 1.0}, entries[0]},                  // log2 1 = 0
        {1.0, 0.0, {5, 5.0, 2.0}, entries[0]},                  // 8 entries on: 0 again
        {8.0, 0.0, {5, 5.0, 4.0}, entries[2]},                  // 2 octaves, 1 each
        {8.0, 1.0, {5, 5.0, 4.0}, entries[3]},                  // turned by one
        {16.0, 0.0, {5, 5.0, 2.0}, platform::rgb(50, 0, 100)},  // half-way to entry 1
        {8.0, 3.0, {5, 5.0, 0.25}, platform::rgb(50, 0, 0)},    // a quarter pixel: half faded
        {8.0, 1.0, {5, 5.0, 0.5}, entries[0]},                  // half a pixel: unfaded
        {1.0, 0.0, {5, 5.0, 0.0}, platform::kBlack},            // on the boundary
        {1.0, 0.0, {5, 5.0, NAN}, platform::kBlack},            // no distance to tell
        {1.0, 0.0, {5, 5.0, INFINITY}, platform::kBlack},
        {1.0, 0.0, {99, 99.0, 7.0}, platform::kBlack},            // inside
        {1.0, 0.0, {5, 5.0, 1e-300}, platform::kBlack},           // far below a pixel
        {1.0, 0.0, {5, 5.0, std::ldexp(1.0, 1000)}, entries[0]},  // far from the set
    };
    for (const Case& c : cases) {
        const EscapeColouring colouring(palette, 99, kBands, byDistance(c.density, c.offset));
        EXPECT_EQ(colouring.plain(c.value), c.expected)
            << "density " << c.density << " offset " << c.offset << " distance "
            << c.value.distance;
        EXPECT_EQ(colouring.relief(c.value, {4, 4.0, 9.0}, 100), c.expected) << "not shaded";
    }
}

// The field is written only with distance on, after the other controls; a damaged
// field gives the defaults.
TEST(DistanceColouringTest, DistanceInTheParameterString) {
    struct Case {
        const char* stored;  // after the ten classic fields
        ColorControls read;
        const char* back;
    };
    const Case cases[] = {
        {"", {}, ""},
        {",0,color:1:0:linear", {}, ""},
        {",0,color:1:0:linear:distance", byDistance(), ",0,color:1:0:linear:distance"},
        {",1,color:2.5:-1:log:distance",
         {2.5, -1.0, Transfer::kLogarithm, false, true},
         ",1,color:2.5:-1:log:distance"},
        {",1,color:auto:0:linear:distance",
         {1.0, 0.0, Transfer::kLinear, true, true},
         ",1,color:auto:0:linear:distance"},
        {",0,color:1:0:linear:distances", {}, ""},
        {",0,color:1:0:linear:distance:1", {}, ""},
        {",0,color:0:0:linear:distance", {}, ""},
        {",0,color:1:0:distance", {}, ""},
    };
    for (const Case& c : cases) {
        Rig rig(24, 18);
        MandelbrotFractal f(rig.services());
        const std::string stored = std::string("-2,-1.5,1,1.5,200,0,0,1,1,100") + c.stored;
        rig.storeText("Mandelbrot", stored);
        {
            engine::TakingOverScope noRun(f);
            ASSERT_TRUE(f.loadParameters());
        }
        EXPECT_EQ(f.colorControls(), c.read) << stored;
        const std::string saved = f.parameterString();
        EXPECT_EQ(saved.substr(saved.find(",100") + 4), c.back) << stored;
    }
    ColorControlChanges on;
    on.distance = true;
    EXPECT_TRUE(on.appliedTo({}).distance);
    ColorControlChanges off;
    off.distance = false;
    EXPECT_FALSE(off.appliedTo(byDistance()).distance);
    EXPECT_TRUE(ColorControlChanges{}.appliedTo(byDistance()).distance);
}

// The picture's distances are the derivative's estimate over the pixel spacing: a
// pixel of the default Mandelbrot view holds the kernel's distance of its point (in
// pixels of the averaged picture when the picture is samples of one).
TEST(DistanceColouringTest, KeptDistancesAreInPixels) {
    for (const int factor : {1, 3}) {
        Rig rig(kWidth, kHeight);
        auto f = complex_test::makeComplexType(engine::kMandelbrot, rig.services());
        prepare(*f, PictureSetup{engine::kMandelbrot, kSimple, false, kBands}, byDistance());
        f->setSamplesPerPixel(factor);
        computed(*f);
        const view::ViewWindow& v = f->view();
        int outside = 0;
        for (int row = 0; row < kHeight; row += 4) {
            for (int column = 0; column < kWidth; column += 3) {
                const kernels::EscapeDistance d = kernels::quadraticDistance(
                    0.0, 0.0, v.planeX(column), v.planeY(row), true, f->maxIterations());
                const EscapeValue kept = f->keptValues().at(column, row);
                EXPECT_EQ(kept.count, d.value.count);
                EXPECT_DOUBLE_EQ(kept.distance, d.distance / (v.xscale * factor));
                outside += d.distance > 0.0;
            }
        }
        EXPECT_GT(outside, 10);
    }
}

// A deep picture's samples measure their distances in the pixels they are averaged into.
TEST(DistanceColouringTest, DeepKeptDistancesAreInPixels) {
    std::vector<double> distances[2];
    const int factors[2] = {1, 3};
    for (int k = 0; k < 2; ++k) {
        Rig rig(kWidth, kHeight);
        auto f = complex_test::makeComplexType(engine::kMandelbrot, rig.services());
        prepare(*f, PictureSetup{engine::kMandelbrot, kSimple, false, kBands, true}, byDistance());
        f->setSamplesPerPixel(factors[k]);
        computed(*f);
        for (int row = 0; row < kHeight; ++row)
            for (int column = 0; column < kWidth; ++column)
                distances[k].push_back(f->keptValues().at(column, row).distance);
    }
    int outside = 0;
    for (std::size_t i = 0; i < distances[0].size(); ++i) {
        EXPECT_DOUBLE_EQ(distances[1][i], distances[0][i] / 3.0);
        outside += distances[0][i] > 0.0;
    }
    EXPECT_GT(outside, kWidth * kHeight / 4);
}

}  // namespace
}  // namespace complex
