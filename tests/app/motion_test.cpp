#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "app/messages.h"
#include "catalogue/fractal_types.h"
#include "complex/complex_fractal.h"
#include "main_window_rig.h"
#include "view/deep_view.h"

namespace {

using namespace testing_support;

constexpr int kWidth = 96;
constexpr int kHeight = 72;

std::intptr_t at(int x, int y) {
    return app::makeLParam(static_cast<unsigned>(x), static_cast<unsigned>(y));
}

bool framesRun(Rig& rig) {
    return rig.window.timers().count(app::kFrameTimerId) == 1;
}

bool timersRest(Rig& rig) {
    return rig.window.timers().count(app::kFrameTimerId) == 0 &&
           rig.window.timers().count(app::kNavigationTimerId) == 0;
}

// Lets the frame timer fire a few times, with time passing between, as it does while
// a key or a button is held.
void holdFor(Rig& rig, int frames) {
    for (int k = 0; k < frames; ++k) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        rig.send(app::WM_TIMER, app::kFrameTimerId, 0);
    }
}

double planeWidth(Rig& rig) {
    return rig.fractal().preciseView().spanX().toDouble();
}

struct Arithmetic {
    const char* name;
    bool integer;
    double width;  // of the plane shown; below double's depth: perturbation
};

// Zooming in continuously with the right button, in every method and arithmetic,
// ends in the very picture computed afresh at the view reached.
TEST(ContinuousZoom, EndsInTheFreshPictureOfTheViewReached) {
    const Arithmetic arithmetics[] = {
        {"fixed point", true, 3e-3}, {"double", false, 3e-9}, {"deep", false, 3e-50}};
    const int methods[] = {complex::kSimple, complex::kRelief, complex::kTesseral};
    for (const Arithmetic& arithmetic : arithmetics) {
        for (const int method : methods) {
            SCOPED_TRACE(std::string(arithmetic.name) + " method " + std::to_string(method));
            Rig rig(engine::kMandelbrot, kWidth, kHeight);
            rig.startAndPump();
            auto& fractal = static_cast<complex::ComplexFractal&>(rig.fractal());
            ASSERT_TRUE(waitFinished(fractal));
            fractal.method = method;
            fractal.setIntegerArithmetic(arithmetic.integer);
            const long bits = 256;
            fractal.setPreciseView(*view::DeepView::fromCentreAndWidth(
                numeric::BigFloat(bits, -0.743643887037158704752191506114774),
                numeric::BigFloat(bits, 0.131825904205311970493132056385139),
                numeric::BigFloat(bits, arithmetic.width), kWidth, kHeight));
            fractal.startCalculation();
            ASSERT_TRUE(waitFinished(fractal));
            const double before = planeWidth(rig);

            rig.send(app::WM_RBUTTONDOWN, app::MK_RBUTTON, at(30, 20));
            EXPECT_TRUE(framesRun(rig));
            holdFor(rig, 4);
            rig.send(app::WM_MOUSEMOVE, app::MK_RBUTTON, at(60, 50));
            holdFor(rig, 4);
            EXPECT_FALSE(fractal.isRunning());  // frames only while held
            EXPECT_NE(rig.mainWindow->statusText(std::nullopt).find("frames/s"), std::string::npos);
            rig.send(app::WM_RBUTTONUP, 0, at(60, 50));
            EXPECT_TRUE(timersRest(rig));
            EXPECT_LT(planeWidth(rig), before);
            ASSERT_TRUE(waitFinished(fractal));
            const std::vector<platform::Color> reached = fractal.picture.snapshot();

            fractal.startCalculation();
            ASSERT_TRUE(waitFinished(fractal));
            EXPECT_EQ(reached, fractal.picture.snapshot());
        }
    }
}

// A held zoom key or button starts the motion and its frames, letting go ends them and
// computes the view reached; a first press of a key is still one step.
TEST(ContinuousZoom, HeldKeysAndButtonsStartAndStopTheMotion) {
    const struct {
        const char* name;
        unsigned press;
        unsigned release;
        std::uintptr_t wParam;
        bool zoomsIn;
    } table[] = {
        {"plus held", app::WM_KEYDOWN, app::WM_KEYUP, app::VK_ADD, true},
        {"page down held", app::WM_KEYDOWN, app::WM_KEYUP, app::VK_NEXT, false},
        {"right button", app::WM_RBUTTONDOWN, app::WM_RBUTTONUP, app::MK_RBUTTON, true},
        {"shift right button", app::WM_RBUTTONDOWN, app::WM_RBUTTONUP,
         app::MK_RBUTTON | app::MK_SHIFT, false},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.name);
        Rig rig(engine::kMandelbrot, kWidth, kHeight);
        rig.startAndPump();
        ASSERT_TRUE(waitFinished(rig.fractal()));
        EXPECT_TRUE(timersRest(rig));  // no wake-ups at rest
        const double before = planeWidth(rig);
        const bool isKey = row.press == app::WM_KEYDOWN;
        rig.send(row.press, row.wParam, isKey ? 0 : at(48, 36));
        double afterPress = planeWidth(rig);
        if (isKey) {
            // The first press is one step, as ever; the key repeating holds it.
            EXPECT_NEAR(before / afterPress, row.zoomsIn ? 1.5 : 1 / 1.5, 1e-9);
            rig.send(app::WM_KEYDOWN, row.wParam, app::KF_REPEAT);
        }
        EXPECT_TRUE(framesRun(rig));
        holdFor(rig, 5);
        const double held = planeWidth(rig);
        EXPECT_TRUE(row.zoomsIn ? held < afterPress : held > afterPress);
        rig.send(row.release, row.wParam, isKey ? 0 : at(48, 36));
        EXPECT_TRUE(timersRest(rig));
        EXPECT_TRUE(rig.fractal().isRunning() || rig.fractal().isFinished());
        ASSERT_TRUE(waitFinished(rig.fractal()));
        EXPECT_TRUE(timersRest(rig));
        EXPECT_EQ(rig.mainWindow->statusText(std::nullopt).find("Moving"), std::string::npos);
    }
}

}  // namespace
