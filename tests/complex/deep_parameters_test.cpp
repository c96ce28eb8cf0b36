// A deep view's parameter string: the classic fields hold the nearest view double
// resolves (what a reader of the classic fields opens), the deep field follows every
// other and brings the view itself back.
#include <gtest/gtest.h>

#include <string>

#include "complex/complex_test_rig.h"
#include "view/deep_view.h"

namespace complex {
namespace {

using numeric::BigFloat;
using numeric::ExtFloat;
using view::DeepView;
using view::parseCentreAndWidth;
using view::ViewTextResult;

TEST(DeepParametersTest, AStoredDeepViewComesBackWholeWithTheOtherFields) {
    for (const int colouring : {complex::kBands, complex::kSmooth}) {
        for (const char* width : {"1e-20", "1e-300", "1e-5000", "1e-29000"}) {
            SCOPED_TRACE(std::string(width) + (colouring == complex::kSmooth ? " smooth" : ""));
            complex_test::Rig rig;
            auto writer = complex_test::makeComplexType(engine::kMandelbrot, rig.services());
            const auto text = parseCentreAndWidth("-1.7400623825793399052,0.0281753397792", width);
            ASSERT_TRUE(text.value);
            const DeepView deep = *DeepView::fromCentreAndWidth(
                text.value->x, text.value->y, text.value->width, writer->width, writer->height);
            ASSERT_TRUE(deep.isDeep());
            writer->setPreciseView(deep);
            writer->setMaxIterations(4321);
            writer->setColouring(colouring);
            const std::string stored = writer->parameterString();
            EXPECT_TRUE(writer->view().resolvesPixels());

            rig.storeText("Mandelbrot", stored);
            auto reader = complex_test::makeComplexType(engine::kMandelbrot, rig.services());
            {
                engine::TakingOverScope noRun(*reader);
                ASSERT_TRUE(reader->loadParameters());
            }
            ASSERT_NE(reader->deepView(), nullptr);
            EXPECT_TRUE(DeepView::same(*reader->deepView(), deep));
            EXPECT_TRUE(view::ViewWindow::sameView(reader->view(), writer->view()));
            EXPECT_EQ(reader->maxIterations(), 4321);
            EXPECT_EQ(reader->colouring.load(), colouring);
            EXPECT_EQ(reader->parameterString(), stored);

            // A reader of the classic fields only opens the rounded rectangle.
            const std::string classic = stored.substr(0, stored.find(",deep:"));
            rig.storeText("Mandelbrot", classic);
            auto older = complex_test::makeComplexType(engine::kMandelbrot, rig.services());
            {
                engine::TakingOverScope noRun(*older);
                ASSERT_TRUE(older->loadParameters());
            }
            EXPECT_EQ(older->deepView(), nullptr);
            EXPECT_TRUE(view::ViewWindow::sameView(older->view(), writer->view()));
        }
    }
}

}  // namespace
}  // namespace complex
