#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "app/messages.h"
#include "complex/complex_fractal.h"
#include "main_window_rig.h"
#include "view/deep_view.h"

namespace {

using namespace testing_support;
using numeric::BigFloat;
using numeric::ExtFloat;

constexpr int kWidth = 64;
constexpr int kHeight = 48;

// Shows the view centred on (x, y), width wide, computed with the iteration limit given.
void showView(Rig& rig, const char* x, const char* y, const char* width, int iterations) {
    engine::Fractal& fractal = rig.fractal();
    const auto view = view::DeepView::fromCentreAndWidth(
        *BigFloat::parse(x, 256), *BigFloat::parse(y, 256), *BigFloat::parse(width, 256),
        fractal.width, fractal.height);
    ASSERT_TRUE(view);
    fractal.restartWith([&] {
        if (auto* escapeTime = dynamic_cast<complex::ComplexFractal*>(&fractal))
            escapeTime->setMaxIterations(iterations);
        fractal.setPreciseView(*view);
    });
}

// The command, and the message of the search's end as the window receives it.
void findMinibrot(Rig& rig) {
    rig.command(app::IDM_FIND_MINIBROT);
    if (const app::MinibrotJob* job = rig.mainWindow->minibrotJob()) {
        ASSERT_TRUE(waitUntil([job] { return job->finished(); }));
    }
    rig.pump();
    EXPECT_EQ(rig.mainWindow->minibrotJob(), nullptr);
}

double distance(const BigFloat& a, const char* b) {
    return std::abs(ExtFloat::fromBig(a - *BigFloat::parse(b, 256)).toDouble());
}

TEST(MinibrotCommand, CentresTheViewOnTheMinibrotOrTellsWhyNot) {
    struct Case {
        const char* name;
        engine::FractalType type;
        const char* x;
        const char* y;
        const char* width;
        int iterations;
        const char* nucleusX;  // null: nothing changes and the message tells why
        const char* nucleusY;
        double widest;  // of the view found
        const char* message;
    };
    const Case cases[] = {
        {"period 3", engine::kMandelbrot, "-1.754", "0.001", "0.02", 100, "-1.7548776662466927",
         "0", 0.2, ""},
        // The copy of period 81 beside c = i, about 1e-60 wide: a deep view.
        {"1e-30 from c = i", engine::kMandelbrot, "0", "1", "1e-30", 1000,
         "3.5447713168193284204452983895161584e-31",
         "0.999999999999999999999999999998939432536128918356132893934758332107", 1e-58, ""},
        {"outside the set", engine::kMandelbrot, "2", "2", "0.1", 100, nullptr, nullptr, 0.0,
         "escapes"},
        {"beyond the limit", engine::kMandelbrot, "-1.754", "0", "0.02", 2, nullptr, nullptr, 0.0,
         "period up to 2"},
        {"Julia", engine::kJulia, "0", "0", "1", 100, nullptr, nullptr, 0.0,
         "only for the Mandelbrot type"},
        {"Hopalong", engine::kHopalong, nullptr, nullptr, nullptr, 0, nullptr, nullptr, 0.0,
         "only for the Mandelbrot type"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig(c.type, kWidth, kHeight);
        rig.startAndPump();
        if (c.x != nullptr)
            showView(rig, c.x, c.y, c.width, c.iterations);
        const view::DeepView before = rig.fractal().preciseView();
        const int backs = rig.fractal().history.count();
        findMinibrot(rig);
        if (c.nucleusX == nullptr) {
            ASSERT_EQ(rig.shell.messages.size(), 1u);
            EXPECT_NE(rig.shell.messages[0].find(c.message), std::string::npos)
                << rig.shell.messages[0];
            EXPECT_TRUE(view::DeepView::same(rig.fractal().preciseView(), before));
            EXPECT_EQ(rig.fractal().history.count(), backs);
            continue;
        }
        EXPECT_TRUE(rig.shell.messages.empty());
        const view::DeepView found = rig.fractal().preciseView();
        const double width = ExtFloat::fromBig(found.spanX()).toDouble();
        EXPECT_LT(width, c.widest);
        EXPECT_LT(distance(found.centreX(), c.nucleusX), width * 1e-3);
        EXPECT_LT(distance(found.centreY(), c.nucleusY), width * 1e-3);
        EXPECT_EQ(found.isDeep(), c.widest < 1e-20);
        // Back returns to the view searched.
        EXPECT_EQ(rig.fractal().history.count(), backs + 1);
        rig.command(app::IDM_ZOOM_PREVIOUS);
        EXPECT_TRUE(view::DeepView::same(rig.fractal().preciseView(), before));
    }
}

// A search that would take long (3000 decimal places deep) ends at Escape or at any
// other command, and changes nothing: no message, the view as it was.
TEST(MinibrotCommand, EscapeOrAnotherCommandEndsTheSearch) {
    const struct {
        const char* name;
        void (*end)(Rig&);
    } ways[] = {
        {"Escape", [](Rig& rig) { rig.send(app::WM_KEYDOWN, app::VK_ESCAPE, 0); }},
        {"Stop", [](Rig& rig) { rig.command(app::IDM_STOP); }},
        {"Zoom out", [](Rig& rig) { rig.command(app::IDM_ZOOM_OUT); }},
    };
    for (const auto& way : ways) {
        SCOPED_TRACE(way.name);
        Rig rig(engine::kMandelbrot, kWidth, kHeight);
        rig.startAndPump();
        showView(rig, "0", "1", "1e-3000", 1000000);
        rig.command(app::IDM_STOP);
        const view::DeepView before = rig.fractal().preciseView();
        rig.command(app::IDM_FIND_MINIBROT);
        ASSERT_NE(rig.mainWindow->minibrotJob(), nullptr);
        EXPECT_NE(rig.mainWindow->statusText(std::nullopt).find("Searching for a minibrot"),
                  std::string::npos);
        EXPECT_FALSE(rig.mainWindow->statusSettled());
        way.end(rig);
        EXPECT_EQ(rig.mainWindow->minibrotJob(), nullptr);
        rig.pump();
        EXPECT_TRUE(rig.shell.messages.empty());
        if (std::string(way.name) != "Zoom out") {
            EXPECT_TRUE(view::DeepView::same(rig.fractal().preciseView(), before));
        }
        EXPECT_EQ(rig.mainWindow->statusText(std::nullopt).find("Searching"), std::string::npos);
    }
}

}  // namespace
