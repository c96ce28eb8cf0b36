// A deep view in the window: every pixel of the picture a run draws has the colour of
// the count a direct iteration in arbitrary precision gives at that pixel's plane
// point, whichever scan and however many threads.
#include <gtest/gtest.h>

#include <string>

#include "complex/complex_test_rig.h"
#include "complex/exact_orbit.h"
#include "view/deep_view.h"

namespace complex {
namespace {

using numeric::BigFloat;
using numeric::ExtFloat;
using view::DeepView;
using view::parseCentreAndWidth;
using view::ViewTextResult;

TEST(DeepPictureTest, EveryPixelHasTheColourOfTheDirectCountAtItsPoint) {
    struct Case {
        engine::FractalType type;
        kernels::Formula formula;
        const char* centre;
        const char* width;
        int method;
        int threads;
    };
    const Case cases[] = {
        {engine::kMandelbrot, kernels::Formula::kMandelbrot,
         "-1.7400623825793399052,0.0281753397792", "1e-40", complex::kSimple, 1},
        {engine::kMandelbrot, kernels::Formula::kMandelbrot, "0,1", "1e-300", complex::kTesseral,
         3},
        {engine::kJulia, kernels::Formula::kJulia, "0.3162277660168379,0.5", "1e-25",
         complex::kSimple, 2},
        {engine::kMandelbrot, kernels::Formula::kMandelbrot, "0,1", "1e-120", complex::kRelief, 2},
        {engine::kSpider, kernels::Formula::kSpider,
         "0.0581746863184820454892181890929624744804993599350607836609558,"
         "0.137262029477723073700504686915870548697834816100172810864243",
         "1e-40", complex::kTesseral, 2},
        {engine::kUnity, kernels::Formula::kUnity,
         "0.300048852409363354695717314010374443355138690036867480113713702394,"
         "0.500073278614045048683362072972004202342207787714047867185210777574",
         "1e-45", complex::kRelief, 1},
    };
    constexpr int kWidth = 23;
    constexpr int kHeight = 17;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.type << " at " << c.centre << " width " << c.width);
        complex_test::Rig rig(kWidth, kHeight);
        auto f = complex_test::makeComplexType(c.type, rig.services());
        const ViewTextResult text = parseCentreAndWidth(c.centre, c.width);
        ASSERT_TRUE(text.value);
        const DeepView view = *DeepView::fromCentreAndWidth(text.value->x, text.value->y,
                                                            text.value->width, kWidth, kHeight);
        {
            engine::TakingOverScope noRun(*f);
            f->setDefaultParameters();
            f->setParameters(400, f->paramReal(), f->paramImag(), true);
            f->setPreciseView(view);
            f->setMethod(c.method);
            f->setThreadLimit(c.threads);
        }
        f->startCalculation();
        ASSERT_TRUE(complex_test::waitFinished(*f));
        EXPECT_FALSE(f->integerArithmetic());
        const EscapeFormula formula{c.formula, f->paramReal(), f->paramImag(), 400};
        const auto direct = [&](int column, int row) {
            const int n = directEscape(formula, view.planeX(column), view.planeY(row), 1200).count;
            return complex::EscapeValue{n, static_cast<double>(n)};
        };
        const int depth = f->reliefDepth.load();
        for (int row = 0; row < kHeight; ++row) {
            for (int column = 0; column < kWidth; ++column) {
                const complex::EscapeValue value = direct(column, row);
                // Relief shades each pixel against its upper-left neighbour.
                const complex::EscapeValue previous = column > 0 && row > 0
                                                          ? direct(column - 1, row - 1)
                                                          : complex::EscapeValue{-1, -1.0};
                const platform::Color expected =
                    c.method == complex::kRelief ? f->runColouring().relief(value, previous, depth)
                                                 : f->colorForCount(value.count);
                ASSERT_EQ(f->picture.pixel(column, row), expected)
                    << "pixel " << column << "," << row << " count " << value.count;
            }
        }
    }
}

}  // namespace
}  // namespace complex
