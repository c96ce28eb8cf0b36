// A deep view's parameter string as today's escape-time reader takes it: the classic
// fields hold the nearest view double resolves, the deep field follows every other.
#include <gtest/gtest.h>

#include <string>

#include "complex/complex_test_rig.h"
#include "deep/deep_view.h"

namespace deep {
namespace {

TEST(DeepParametersTest, TodaysReaderOpensTheNearbyShallowViewAndKeepsTheOtherFields) {
    for (const int colouring : {complex::kBands, complex::kSmooth}) {
        for (const char* width : {"1e-20", "1e-300", "1e-5000", "1e-100000"}) {
            SCOPED_TRACE(std::string(width) + (colouring == complex::kSmooth ? " smooth" : ""));
            complex_test::Rig rig;
            auto writer = complex_test::makeComplexType(engine::kMandelbrot, rig.services());
            const auto text = parseCentreAndWidth("-1.7400623825793399052,0.0281753397792", width);
            ASSERT_TRUE(text.value);
            const DeepView deep = *DeepView::fromCentreAndWidth(
                text.value->x, text.value->y, text.value->width, writer->width, writer->height);
            ASSERT_TRUE(deep.isDeep());
            writer->setView(deep.nearestShallowView());
            writer->setMaxIterations(4321);
            writer->setColouring(colouring);
            const std::string stored = writer->parameterString() + deepViewField(deep);

            rig.storeText("Mandelbrot", stored);
            auto reader = complex_test::makeComplexType(engine::kMandelbrot, rig.services());
            {
                engine::TakingOverScope noRun(*reader);
                ASSERT_TRUE(reader->loadParameters());
            }
            EXPECT_TRUE(engine::ViewWindow::sameView(reader->view(), writer->view()));
            EXPECT_TRUE(reader->view().resolvesPixels());
            EXPECT_EQ(reader->maxIterations(), 4321);
            EXPECT_EQ(reader->colouring.load(), colouring);
            const auto back = readDeepViewField(stored, reader->width, reader->height);
            ASSERT_TRUE(back);
            EXPECT_TRUE(DeepView::same(*back, deep));
        }
    }
}

}  // namespace
}  // namespace deep
