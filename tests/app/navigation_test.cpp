#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <thread>
#include <vector>

#include "app/messages.h"
#include "app/status_line.h"
#include "catalogue/fractal_types.h"
#include "complex/complex_fractal.h"
#include "main_window_rig.h"
#include "orbit/orbit_fractal.h"
#include "view/deep_view.h"

namespace {

using namespace testing_support;

constexpr int kWidth = 160;
constexpr int kHeight = 120;

void wheel(Rig& rig, int x, int y, int delta) {
    rig.send(app::WM_MOUSEWHEEL,
             static_cast<std::uintptr_t>(app::makeLParam(0, static_cast<unsigned>(delta))),
             app::makeLParam(static_cast<unsigned>(x), static_cast<unsigned>(y)));
}

void key(Rig& rig, unsigned code) {
    rig.send(app::WM_KEYDOWN, code, 0);
}

// The wheel and the keys have rested.
void rest(Rig& rig) {
    ASSERT_EQ(rig.window.timers().count(app::kNavigationTimerId), 1u);
    rig.send(app::WM_TIMER, app::kNavigationTimerId, 0);
    EXPECT_EQ(rig.window.timers().count(app::kNavigationTimerId), 0u);
}

// Within a thousandth of a pixel.
void expectNear(double actual, double expected, double pixel) {
    EXPECT_NEAR(actual, expected, pixel * 1e-3);
}

TEST(NavigationWheel, KeepsThePlanePointUnderThePointerAndMakesOneHistoryEntryPerBurst) {
    const struct {
        const char* name;
        int x;
        int y;
        std::vector<int> deltas;
    } table[] = {
        {"three notches in", 20, 30, {120, 120, 120}},
        {"two notches out", 150, 100, {-120, -120}},
        {"corner", 0, 0, {240}},
        {"far corner, in and out", kWidth - 1, kHeight - 1, {120, -120, 360, -240}},
        {"fine touchpad steps", 80, 10, {15, 15, 30, 30, 30}},
        {"a coalesced storm", 40, 90, {120 * 40}},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.name);
        Rig rig(std::nullopt, kWidth, kHeight);
        rig.startAndPump();
        const view::ViewWindow start = rig.fractal().view();
        const int historyBefore = rig.fractal().history.count();
        const double x = start.planeX(row.x);
        const double y = start.planeY(row.y);
        int total = 0;
        for (int delta : row.deltas) {
            wheel(rig, row.x, row.y, delta);
            total += delta;
            const view::ViewWindow& view = rig.fractal().view();
            expectNear(view.planeX(row.x), x, view.xscale);
            expectNear(view.planeY(row.y), y, view.yscale);
            EXPECT_FALSE(rig.fractal().isRunning());  // shown scaled until the wheel rests
        }
        const double magnification = std::pow(1.25, std::min(total, 16 * 120) / 120.0);
        EXPECT_NEAR(start.xrange / rig.fractal().view().xrange, magnification,
                    magnification * 1e-9);
        rest(rig);
        EXPECT_TRUE(rig.fractal().isRunning() || rig.fractal().isFinished());
        EXPECT_EQ(rig.fractal().history.count(), historyBefore + 1);
        EXPECT_TRUE(rig.shell.messages.empty());
        rig.command(app::IDM_ZOOM_PREVIOUS);
        EXPECT_TRUE(sameView(rig.fractal().view(), start));
    }
}

// An orbit type ends where double precision ends.
TEST(NavigationWheel, RefusesStepsBeyondTheDeepestViewAndSaysSoOncePerBurst) {
    Rig rig(engine::kHopalong, kWidth, kHeight);
    rig.startAndPump();
    // A view a few notches above the depth double precision resolves.
    const double half = 1e-13;
    rig.fractal().stopCalculation();  // the worker reads the view
    rig.fractal().setViewRect(0.25 - half, -half, 0.25 + half, half);
    rig.fractal().startCalculation();
    const view::ViewWindow deep = rig.fractal().view();
    ASSERT_TRUE(deep.resolvesPixels());
    const int historyBefore = rig.fractal().history.count();
    for (int i = 0; i < 40; ++i)
        wheel(rig, 10, 10, 120);
    EXPECT_TRUE(rig.fractal().view().resolvesPixels());
    EXPECT_LT(rig.fractal().view().xrange, deep.xrange);  // went as deep as allowed
    rest(rig);
    EXPECT_EQ(rig.shell.messages.size(), 1u);
    EXPECT_EQ(rig.fractal().history.count(), historyBefore + 1);

    // Every step refused: no entry, one message, and zooming out still works.
    const view::ViewWindow deepest = rig.fractal().view();
    for (int i = 0; i < 5; ++i)
        wheel(rig, 10, 10, 120);
    rest(rig);
    EXPECT_TRUE(sameView(rig.fractal().view(), deepest));
    EXPECT_EQ(rig.shell.messages.size(), 2u);
    EXPECT_EQ(rig.fractal().history.count(), historyBefore + 1);
    wheel(rig, 10, 10, -120);
    rest(rig);
    EXPECT_GT(rig.fractal().view().xrange, deepest.xrange);
}

// An escape-time type zooms on below double's depth in the precise form of the view,
// one history entry per burst as ever, and comes back out the same way.
TEST(NavigationWheel, EscapeTimeTypesZoomOnBelowDoublesDepth) {
    Rig rig(engine::kMandelbrot, kWidth, kHeight);
    rig.startAndPump();
    const double half = 1e-12;
    rig.fractal().setViewRect(-0.75 - half, 0.1 - half, -0.75 + half, 0.1 + half);
    const int historyBefore = rig.fractal().history.count();
    for (int i = 0; i < 200; ++i)
        wheel(rig, 40, 30, 120);
    rest(rig);
    ASSERT_NE(rig.fractal().deepView(), nullptr);
    EXPECT_TRUE(rig.shell.messages.empty());
    EXPECT_EQ(rig.fractal().history.count(), historyBefore + 1);
    EXPECT_TRUE(rig.fractal().view().resolvesPixels());  // the rounded rectangle
    const numeric::BigFloat expectedWidth =
        view::DeepView::fromViewWindow(rig.fractal().view()).spanX();
    EXPECT_LT(rig.fractal().deepView()->spanX().toDouble(), 1e-20);
    EXPECT_GT(expectedWidth.toDouble(), 1e-20);

    // The pixel under the pointer stays under it, deep as it is.
    const view::DeepView before = *rig.fractal().deepView();
    wheel(rig, 40, 30, 120);
    rest(rig);
    const view::DeepView after = *rig.fractal().deepView();
    const numeric::BigFloat moved = (after.planeX(40) - before.planeX(40)) / after.spacingX();
    EXPECT_LT(std::fabs(moved.toDouble()), 1.0);

    rig.command(app::IDM_ZOOM_PREVIOUS);
    EXPECT_TRUE(view::DeepView::same(*rig.fractal().deepView(), before));
    rig.fractal().stopCalculation();
}

TEST(NavigationKeys, ZoomAtTheCentrePanByAnEighthAndStepBack) {
    const struct {
        unsigned key;
        double magnification;
        double eighthsRight;
        double eighthsUp;
    } table[] = {
        {app::VK_ADD, 1.5, 0, 0},
        {app::VK_OEM_PLUS, 1.5, 0, 0},
        {app::VK_PRIOR, 1.5, 0, 0},
        {app::VK_SUBTRACT, 1 / 1.5, 0, 0},
        {app::VK_OEM_MINUS, 1 / 1.5, 0, 0},
        {app::VK_NEXT, 1 / 1.5, 0, 0},
        {app::VK_LEFT, 1, -1, 0},
        {app::VK_RIGHT, 1, 1, 0},
        {app::VK_UP, 1, 0, 1},
        {app::VK_DOWN, 1, 0, -1},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.key);
        Rig rig(std::nullopt, kWidth, kHeight);
        rig.startAndPump();
        const view::ViewWindow start = rig.fractal().view();
        const int historyBefore = rig.fractal().history.count();
        key(rig, row.key);
        key(rig, row.key);  // a key held down: one run of steps
        rest(rig);
        const view::ViewWindow& view = rig.fractal().view();
        const double m = row.magnification * row.magnification;
        EXPECT_NEAR(start.xrange / view.xrange, m, m * 1e-9);
        expectNear(view.xcenter, start.xcenter + 2 * row.eighthsRight * start.xrange / 8,
                   view.xscale);
        expectNear(view.ycenter, start.ycenter + 2 * row.eighthsUp * start.yrange / 8, view.yscale);
        EXPECT_EQ(rig.fractal().history.count(), historyBefore + 1);
        EXPECT_TRUE(rig.shell.defaulted.empty());
        key(rig, app::VK_BACK);  // zoom previous
        EXPECT_TRUE(sameView(rig.fractal().view(), start));
    }
}

// Back and Forward by every key and command that gives them. The history keeps the
// newest views: after Home and 40 zooms, Back shows the 39th.
TEST(NavigationKeys, BackAndForwardThroughTheNewestViews) {
    enum class Way { Key, AltKey, Command };
    struct Input {
        Way way;
        unsigned code;
    };
    const auto give = [](Rig& rig, const Input& input) {
        if (input.way == Way::Command) {
            rig.command(input.code);
        } else {
            rig.send(app::WM_KEYDOWN, input.code, input.way == Way::AltKey ? app::KF_ALTDOWN : 0);
        }
    };
    const struct {
        const char* name;
        Input back;
        Input forward;
    } table[] = {
        {"Backspace and Alt+Right", {Way::Key, app::VK_BACK}, {Way::AltKey, app::VK_RIGHT}},
        {"Alt+Left and the Forward command",
         {Way::AltKey, app::VK_LEFT},
         {Way::Command, app::IDM_ZOOM_NEXT}},
        {"browser keys", {Way::Key, app::VK_BROWSER_BACK}, {Way::Key, app::VK_BROWSER_FORWARD}},
        {"Zoom previous and Alt+Right",
         {Way::Command, app::IDM_ZOOM_PREVIOUS},
         {Way::AltKey, app::VK_RIGHT}},
    };
    constexpr int kPresses = 40;
    for (const auto& row : table) {
        SCOPED_TRACE(row.name);
        Rig rig(std::nullopt, kWidth, kHeight);
        rig.startAndPump();
        key(rig, app::VK_HOME);
        const view::ViewWindow home = rig.fractal().view();
        const auto zoomsOf = [&] {
            const view::ViewWindow& view = rig.fractal().view();
            EXPECT_NEAR(view.xcenter, home.xcenter, view.xscale * 1e-3);  // no panning
            return static_cast<int>(
                std::lround(std::log(home.xrange / view.xrange) / std::log(1.5)));
        };
        for (int i = 0; i < kPresses; ++i) {
            key(rig, app::VK_ADD);
            rest(rig);
        }
        ASSERT_EQ(zoomsOf(), kPresses);
        const int steps[][2] = {{'b', 39}, {'b', 38}, {'f', 39}, {'f', 40}, {'f', 40}};
        for (const auto& [step, zooms] : steps) {
            give(rig, step == 'b' ? row.back : row.forward);
            EXPECT_EQ(zoomsOf(), zooms);
        }
        // A new view clears the way forward.
        give(rig, row.back);
        key(rig, app::VK_ADD);
        rest(rig);
        EXPECT_EQ(zoomsOf(), 40);
        give(rig, row.forward);
        EXPECT_EQ(zoomsOf(), 40);
        rig.fractal().stopCalculation();
    }
}

TEST(NavigationKeys, HomeShowsTheDefaultViewAndKeysKeepTheirOtherMeanings) {
    Rig rig(std::nullopt, kWidth, kHeight);
    rig.startAndPump();
    const view::ViewWindow start = rig.fractal().view();
    key(rig, app::VK_RIGHT);
    wheel(rig, 5, 5, 360);
    key(rig, app::VK_HOME);  // ends the run, then the default view
    EXPECT_FALSE(rig.window.timers().count(app::kNavigationTimerId));
    EXPECT_TRUE(sameView(rig.fractal().view(), start));

    // While the display is off a key only switches it on.
    rig.command(app::IDM_DISPLAY_OFF);
    key(rig, app::VK_ADD);
    EXPECT_FALSE(rig.mainWindow->displayOff());
    EXPECT_FALSE(rig.window.timers().count(app::kNavigationTimerId));
    EXPECT_TRUE(sameView(rig.fractal().view(), start));

    // Escape ends select mode and leaves the calculation alone.
    rig.command(app::IDM_SELECT_ZOOM);
    key(rig, app::VK_ESCAPE);
    EXPECT_FALSE(rig.mainWindow->selecting());
    EXPECT_FALSE(rig.mainWindow->stoppedByUser());

    // A key that is not for navigation goes on to the frame.
    rig.shell.defaulted.clear();
    key(rig, 'A');
    EXPECT_EQ(rig.shell.defaulted, std::vector<unsigned>{app::WM_KEYDOWN});
}

TEST(NavigationPan, DragsMoveTheViewWithThePointerAndDoubleClicksCentre) {
    enum class Gesture { LeftDrag, MiddleDrag, LeftDragSelecting, Click, DoubleClick };
    const struct {
        const char* name;
        Gesture gesture;
        int dx;
        int dy;
        int entries;
    } table[] = {
        {"left drag", Gesture::LeftDrag, 30, -12, 1},
        {"middle drag", Gesture::MiddleDrag, -25, 40, 1},
        {"far outside the picture", Gesture::LeftDrag, 3000, 2000, 1},
        {"a click is no pan", Gesture::Click, 0, 0, 0},
        {"the select tool selects instead", Gesture::LeftDragSelecting, 40, 30, 1},
        {"double-click centres", Gesture::DoubleClick, 0, 0, 1},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.name);
        Rig rig(std::nullopt, kWidth, kHeight);
        rig.startAndPump();
        const view::ViewWindow start = rig.fractal().view();
        const int historyBefore = rig.fractal().history.count();
        const int x0 = 60;
        const int y0 = 50;
        const auto at = [](int x, int y) {
            return app::makeLParam(static_cast<unsigned>(x), static_cast<unsigned>(y));
        };
        switch (row.gesture) {
            case Gesture::LeftDrag:
            case Gesture::LeftDragSelecting:
                if (row.gesture == Gesture::LeftDragSelecting)
                    rig.command(app::IDM_SELECT_ZOOM);
                rig.send(app::WM_LBUTTONDOWN, app::MK_LBUTTON, at(x0, y0));
                rig.send(app::WM_MOUSEMOVE, app::MK_LBUTTON, at(x0 + row.dx / 2, y0 + row.dy / 2));
                rig.send(app::WM_MOUSEMOVE, app::MK_LBUTTON, at(x0 + row.dx, y0 + row.dy));
                rig.send(app::WM_LBUTTONUP, 0, at(x0 + row.dx, y0 + row.dy));
                break;
            case Gesture::MiddleDrag:
                rig.send(app::WM_MBUTTONDOWN, app::MK_MBUTTON, at(x0, y0));
                rig.send(app::WM_MOUSEMOVE, app::MK_MBUTTON, at(x0 + row.dx, y0 + row.dy));
                rig.send(app::WM_MBUTTONUP, 0, at(x0 + row.dx, y0 + row.dy));
                break;
            case Gesture::Click:
                rig.send(app::WM_LBUTTONDOWN, app::MK_LBUTTON, at(x0, y0));
                rig.send(app::WM_LBUTTONUP, 0, at(x0, y0));
                break;
            case Gesture::DoubleClick:
                rig.send(app::WM_LBUTTONDOWN, app::MK_LBUTTON, at(x0, y0));
                rig.send(app::WM_LBUTTONUP, 0, at(x0, y0));
                rig.send(app::WM_LBUTTONDBLCLK, app::MK_LBUTTON, at(x0, y0));
                rig.send(app::WM_LBUTTONUP, 0, at(x0, y0));
                break;
        }
        const view::ViewWindow& view = rig.fractal().view();
        EXPECT_EQ(rig.fractal().history.count(), historyBefore + row.entries);
        EXPECT_TRUE(rig.fractal().isRunning() || rig.fractal().isFinished());
        if (row.gesture == Gesture::LeftDragSelecting) {
            EXPECT_LT(view.xrange, start.xrange);  // zoomed into the selection
            continue;
        }
        EXPECT_DOUBLE_EQ(view.xrange, start.xrange);
        if (row.gesture == Gesture::DoubleClick) {
            expectNear(view.xcenter, start.planeX(x0), view.xscale);
            expectNear(view.ycenter, start.planeY(y0), view.yscale);
        } else {
            // The plane point pressed on is under the pointer again.
            expectNear(view.xmin, start.xmin - row.dx * start.xscale, view.xscale);
            expectNear(view.ymin, start.ymin + row.dy * start.yscale, view.yscale);
        }
    }
}

TEST(NavigationStop, StopAndContinueKeepViewAndParametersForBothFamilies) {
    for (const engine::FractalType type : {engine::kHopalong, engine::kMandelbrot}) {
        SCOPED_TRACE(type);
        Rig rig(type, 640, 480);
        rig.startAndPump();
        if (auto* complexFractal = dynamic_cast<complex::ComplexFractal*>(&rig.fractal())) {
            // Long enough to be stopped half-way.
            complexFractal->stopCalculation();
            complexFractal->setMaxIterations(200000);
            complexFractal->startCalculation();
        }
        const view::ViewWindow view = rig.fractal().view();
        const std::string parameters = rig.fractal().pictureParameters().value_or("");
        ASSERT_TRUE(rig.fractal().isRunning());

        key(rig, app::VK_ESCAPE);
        EXPECT_TRUE(rig.mainWindow->stoppedByUser());
        // A paused orbit finishes the point it is computing before it waits.
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        const std::uint64_t points = rig.fractal().statistics().pointCount;
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        EXPECT_EQ(rig.fractal().statistics().pointCount, points);  // nothing more computed
        EXPECT_TRUE(sameView(rig.fractal().view(), view));

        rig.command(app::IDM_CONTINUE);
        EXPECT_FALSE(rig.mainWindow->stoppedByUser());
        EXPECT_TRUE(rig.fractal().isRunning());
        if (catalogue::isOrbitType(type)) {
            // The orbit goes on where it stopped.
            waitUntil([&rig, points] { return rig.fractal().statistics().pointCount > points; });
            EXPECT_GT(rig.fractal().statistics().pointCount, points);
        }
        rig.command(app::IDM_STOP);
        EXPECT_TRUE(rig.mainWindow->stoppedByUser());
        EXPECT_TRUE(sameView(rig.fractal().view(), view));
        EXPECT_EQ(rig.fractal().pictureParameters().value_or(""), parameters);
    }
}

TEST(NavigationTitle, ShowsTheTypeOrTheOpenedFileExceptWhereTheTitleIsReplaced) {
    Rig rig(engine::kJulia, 64, 48);
    rig.startAndPump();
    EXPECT_EQ(rig.window.title(), "Julia - Corvane");

    rig.command(app::IDM_SELECT_ZOOM);
    EXPECT_EQ(rig.window.title(), "Select area:");
    rig.command(app::IDM_CTRL_Q);
    EXPECT_EQ(rig.window.title(), "Julia - Corvane");

    const std::string path = rig.folder.file("Julia001.bmp");
    ASSERT_EQ(rig.fractal().saveImage(path), engine::kStatusOk);
    rig.shell.fileAnswers.push_back(app::FileChoice{path, ""});
    rig.command(app::IDM_OPEN);
    rig.pump();
    EXPECT_EQ(rig.window.title(), "Julia001.bmp - Corvane");
    // The same picture at another size keeps its title; another type takes its own.
    rig.send(app::WM_SIZE, 0, app::makeLParam(80, 60));
    rig.pump();
    EXPECT_EQ(rig.window.title(), "Julia001.bmp - Corvane");
    rig.shell.typeAnswer = engine::kMandelbrot;
    rig.command(app::IDM_TYPE);
    rig.pump();
    EXPECT_EQ(rig.window.title(), "Mandelbrot - Corvane");
}

// The title names the opened file only while the picture shown is the file's.
TEST(NavigationTitle, NamesTheOpenedFileOnlyWhileItsViewIsShown) {
    const struct {
        const char* name;
        void (*change)(Rig&);
    } table[] = {
        {"Home", [](Rig& rig) { key(rig, app::VK_HOME); }},
        {"+", [](Rig& rig) { key(rig, app::VK_ADD), rest(rig); }},
        {"wheel", [](Rig& rig) { wheel(rig, 10, 10, 120), rest(rig); }},
        {"Zoom out", [](Rig& rig) { rig.command(app::IDM_ZOOM_OUT); }},
        {"pan",
         [](Rig& rig) {
             rig.send(app::WM_MBUTTONDOWN, app::MK_MBUTTON, app::makeLParam(10, 10));
             rig.send(app::WM_MOUSEMOVE, app::MK_MBUTTON, app::makeLParam(30, 20));
             rig.send(app::WM_MBUTTONUP, 0, app::makeLParam(30, 20));
         }},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.name);
        Rig rig(engine::kJulia, 64, 48);
        rig.startAndPump();
        wheel(rig, 5, 5, 240);  // the file's view is not the type's own
        rest(rig);
        const std::string path = rig.folder.file("Julia007.bmp");
        ASSERT_EQ(rig.fractal().saveImage(path), engine::kStatusOk);
        rig.shell.fileAnswers.push_back(app::FileChoice{path, ""});
        rig.command(app::IDM_OPEN);
        rig.pump();
        ASSERT_EQ(rig.window.title(), "Julia007.bmp - Corvane");
        row.change(rig);
        EXPECT_EQ(rig.window.title(), "Julia - Corvane");
        // Back on the file's picture, the title names it again.
        key(rig, app::VK_BACK);
        EXPECT_EQ(rig.window.title(), "Julia007.bmp - Corvane");
        rig.fractal().stopCalculation();
    }
}

TEST(NavigationStatus, TextForBothFamiliesAndEveryStateOfTheRun) {
    using Run = app::StatusFacts::Run;
    const auto facts = [](bool orbit, Run run) {
        app::StatusFacts f;
        f.typeName = orbit ? "Hopalong" : "Mandelbrot";
        f.orbit = orbit;
        f.method = orbit ? "" : "Tesseral";
        f.arithmetic = orbit ? "double" : "fixed point";
        f.magnification = 12.5;
        f.run = run;
        f.shareDone = 0.456;
        f.points = 1234567;
        f.iterations = 24600000;
        f.seconds = 2.0;
        return f;
    };
    const auto withLimit = [](app::StatusFacts f, int limit, const char* refusal) {
        f.iterationLimit = limit;
        f.refusal = refusal;
        return f;
    };
    const struct {
        app::StatusFacts facts;
        const char* expected;
    } table[] = {
        {facts(false, Run::Running),
         "Mandelbrot | Tesseral, fixed point | x 12.5 | 45 % | 12.3 M iterations/s"},
        {facts(false, Run::Stopped),
         "Mandelbrot | Tesseral, fixed point | x 12.5 | Stopped at 45 %"},
        {facts(false, Run::Done),
         "Mandelbrot | Tesseral, fixed point | x 12.5 | Done in 2.00 s | 12.3 M iterations/s"},
        {facts(true, Run::Running),
         "Hopalong | double | x 12.5 | 1,234,567 points | 617.3 k points/s"},
        {facts(true, Run::Stopped), "Hopalong | double | x 12.5 | Stopped | 1,234,567 points"},
        // The limit in use (automatic or deep), and a run that computes nothing.
        {withLimit(facts(false, Run::Running), 1234567, ""),
         "Mandelbrot | Tesseral, fixed point | limit 1,234,567 | x 12.5 | 45 % | 12.3 M "
         "iterations/s"},
        {withLimit(facts(false, Run::Done), 5000, "the iteration limit must be at least 1"),
         "Mandelbrot | Tesseral, fixed point | limit 5,000 | x 12.5 | Not computed: the "
         "iteration limit must be at least 1"},
    };
    for (const auto& row : table)
        EXPECT_EQ(app::statusText(row.facts), row.expected);

    // The pointer's coordinates carry as many digits as the pixels need, and one more.
    app::StatusFacts f = facts(false, Run::Running);
    f.pointerX = app::coordinateDigits(-0.123456789, 0.01);
    f.pointerY = app::coordinateDigits(1.0, 1e-7);
    EXPECT_NE(app::statusText(f).find("| -1.23e-1, 1.00000000e+0 |"), std::string::npos)
        << app::statusText(f);
}

// Characters, as the tests measure the bar (the ellipsis is one).
int characters(const std::string& text) {
    int count = 0;
    for (const char c : text)
        count += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
    return count;
}

// A bar too narrow for the whole line: the coordinates lose digits, then the fields
// give way in a fixed order; the time and the rate always stay.
TEST(NavigationStatus, ANarrowBarKeepsTheTimeAndTheRate) {
    app::StatusFacts f;
    f.typeName = "Mandelbrot";
    f.method = "Relief";
    f.arithmetic = "perturbation";
    f.deepMagnification = "x 1.5e+1000";
    f.pointerX = app::ScientificNumber{true, "74364388" + std::string(992, '5'), -1};
    f.pointerY = app::ScientificNumber{false, "13182590" + std::string(992, '5'), -1};
    f.run = app::StatusFacts::Run::Done;
    f.iterations = 24600000;
    f.seconds = 2.0;
    const std::string tail = " | Done in 2.00 s | 12.3 M iterations/s";
    const struct {
        int width;
        std::string expected;
    } table[] = {
        {120,
         "Mandelbrot | Relief, perturbation | x 1.5e+1000 | -7.43643885\u2026e-1, "
         "1.31825905\u2026e-1" +
             tail},
        {110,
         "Mandelbrot | Relief, perturbation | x 1.5e+1000 | -7.436\u2026e-1, "
         "1.318\u2026e-1" +
             tail},
        {109,
         "Mandelbrot | x 1.5e+1000 | -7.43643885555555\u2026e-1, 1.31825905555555\u2026e-1" + tail},
        {80, "Mandelbrot | x 1.5e+1000" + tail},
        {60, "Mandelbrot" + tail},
        {40, "Done in 2.00 s | 12.3 M iterations/s"},
        {20, "Done in 2.00 s | 12.3 M iterations/s"},  // cut by the bar, from the end
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.width);
        EXPECT_EQ(app::statusText(f, row.width, characters), row.expected);
    }
    // A wide bar shows every digit.
    const std::string whole = app::statusText(f, 100000, characters);
    EXPECT_EQ(whole, app::statusText(f));
    EXPECT_NE(whole.find("-7.4364388" + std::string(992, '5') + "e-1, 1.3182590"),
              std::string::npos);

    // Shallow views too: the rate is never cut ("463.6 M iteratior").
    app::StatusFacts shallow;
    shallow.typeName = "Mandelbrot";
    shallow.method = "Relief";
    shallow.arithmetic = "fixed point";
    shallow.magnification = 86.0;
    shallow.pointerX = app::coordinateDigits(-0.743123456, 1e-5);
    shallow.pointerY = app::coordinateDigits(0.10234567, 1e-5);
    shallow.shareDone = 0.45;
    shallow.iterations = 927200000;
    shallow.seconds = 2.0;
    EXPECT_EQ(app::statusText(shallow),
              "Mandelbrot | Relief, fixed point | x 86 | -7.43123e-1, 1.02346e-1 | 45 % | "
              "463.6 M iterations/s");
    EXPECT_EQ(app::statusText(shallow, 90, characters),
              "Mandelbrot | x 86 | -7.43123e-1, 1.02346e-1 | 45 % | 463.6 M iterations/s");
    EXPECT_EQ(app::statusText(shallow, 70, characters),
              "Mandelbrot | x 86 | 45 % | 463.6 M iterations/s");
}

TEST(NavigationStatus, FactsFollowTheRunOfBothFamilies) {
    for (const engine::FractalType type : {engine::kMandelbrot, engine::kHopalong}) {
        SCOPED_TRACE(type);
        Rig rig(type, kWidth, kHeight);
        rig.startAndPump();
        const bool orbit = catalogue::isOrbitType(type);
        if (!orbit)
            waitFinished(rig.fractal());
        wheel(rig, 10, 10, 240);
        rest(rig);
        if (!orbit)
            waitFinished(rig.fractal());
        app::StatusFacts f = app::statusFacts(rig.fractal(), platform::Point{10, 10}, 0,
                                              rig.mainWindow->stoppedByUser());
        // Two notches in from the default view.
        const double atDefault = app::referenceSpacing(type) / rig.fractal().defaultView().xscale;
        EXPECT_NEAR(f.magnification, atDefault * 1.25 * 1.25, 1e-9 * atDefault);
        EXPECT_EQ(f.orbit, orbit);
        ASSERT_TRUE(f.pointerX.has_value());
        EXPECT_EQ(app::scientificText(*f.pointerX),
                  app::scientificText(app::coordinateDigits(rig.fractal().view().planeX(10),
                                                            rig.fractal().view().xscale)));
        if (orbit) {
            EXPECT_EQ(f.run, app::StatusFacts::Run::Running);
            EXPECT_FALSE(rig.mainWindow->statusSettled());
            key(rig, app::VK_ESCAPE);
            EXPECT_TRUE(rig.mainWindow->statusSettled());
            EXPECT_NE(rig.mainWindow->statusText(std::nullopt).find("Stopped"), std::string::npos);
        } else {
            EXPECT_EQ(f.run, app::StatusFacts::Run::Done);
            EXPECT_EQ(f.method, "Relief");
            EXPECT_EQ(f.arithmetic, "fixed point");
            EXPECT_TRUE(rig.mainWindow->statusSettled());
            // Smooth colouring computes in double precision whatever the check box says.
            dynamic_cast<complex::ComplexFractal&>(rig.fractal()).setColouring(complex::kSmooth);
            f = app::statusFacts(rig.fractal(), std::nullopt, 0, false);
            EXPECT_EQ(f.method, "Relief, smooth");
            EXPECT_EQ(f.arithmetic, "double");
        }
    }
    // A tesseral scan counts the pixels it fills: the whole picture when done.
    Rig rig(engine::kMandelbrot, kWidth, kHeight);
    rig.startAndPump();
    auto& mandelbrot = dynamic_cast<complex::ComplexFractal&>(rig.fractal());
    mandelbrot.stopCalculation();
    mandelbrot.setMethod(complex::kTesseral);
    mandelbrot.startCalculation();
    waitFinished(mandelbrot);
    EXPECT_GT(mandelbrot.filledPixels.load(), 0u);
    EXPECT_EQ(mandelbrot.filledPixels.load() + mandelbrot.statistics().pointCount,
              static_cast<std::uint64_t>(kWidth * kHeight));
}

TEST(NavigationStatus, DeepViewsShowTheirDepthAndEveryDigitThePixelsNeed) {
    const auto number = [](const char* text) { return *numeric::BigFloat::parse(text, 2048); };
    // Scientific notation with one digit more than tells neighbouring pixels apart.
    const struct {
        const char* value;
        const char* spacing;
        std::string expected;
    } coordinates[] = {
        {"1.5", "0.01", "1.500e+0"},
        {"-123.456", "0.01", "-1.23456e+2"},
        {"9.9999999", "0.1", "1.00e+1"},  // rounding carries into a new digit
        {"-0.74364388703715870475219", "1e-20", "-7.43643887037158704752e-1"},
        {"0", "1e-30", "0"},
        {"-1e-40", "1e-30", "0"},  // zero within a pixel, no "-0"
        {"3e-300", "1e-301", "3.00e-300"},
        {"1.25e-1000", "1e-1003", "1.2500e-1000"},  // few digits near zero at any depth
        {"-2", "nan", "?"},
    };
    for (const auto& c : coordinates) {
        SCOPED_TRACE(c.value);
        const numeric::BigFloat spacing = std::string_view(c.spacing) == "nan"
                                              ? numeric::BigFloat(53, std::nan(""))
                                              : number(c.spacing);
        EXPECT_EQ(app::scientificText(app::coordinateDigits(number(c.value), spacing)), c.expected);
    }

    // The magnification over a default view 4 wide on the 160 pixels of the views.
    const struct {
        const char* width;
        const char* expected;
    } magnifications[] = {
        {"4e-20", "x 1e+20"},  // as a shallow view's magnification is written
        {"3.0769230769e-290", "x 1.3e+290"},
        {"4.0004e-400", "x 1e+400"},  // 9.999e399 rounds up to the next power
        {"1.6e-3000", "x 2.5e+3000"},
        {"8e-99999", "x 5e+99998"},
    };
    for (const auto& m : magnifications) {
        SCOPED_TRACE(m.width);
        const view::CentreAndWidth text = *view::parseCentreAndWidth("0", "0", m.width).value;
        const view::DeepView view =
            *view::DeepView::fromCentreAndWidth(text.x, text.y, text.width, 160, 120);
        EXPECT_EQ(app::deepMagnificationText(view, 4.0 / 160), m.expected);
    }

    // A finished deep run in the window.
    Rig rig(engine::kMandelbrot, kWidth, kHeight);
    rig.startAndPump();
    waitFinished(rig.fractal());
    const view::CentreAndWidth text =
        *view::parseCentreAndWidth("-0.743643887037158704752191506114774",
                                   "0.131825904205311970493132056385139", "1e-25")
             .value;
    const view::DeepView deepView = *view::DeepView::fromCentreAndWidth(
        text.x, text.y, text.width, rig.fractal().width, rig.fractal().height);
    rig.fractal().restartWith([&] {
        rig.fractal().pushView();
        rig.fractal().setPreciseView(deepView);
    });
    waitFinished(rig.fractal());
    const app::StatusFacts f = app::statusFacts(rig.fractal(), platform::Point{0, 0}, 0, false);
    EXPECT_EQ(f.arithmetic, "perturbation");
    EXPECT_EQ(f.run, app::StatusFacts::Run::Done);
    const std::string status = app::statusText(f);
    // A deep view shows the limit in use.
    EXPECT_EQ(status.rfind("Mandelbrot | Relief, perturbation | limit 200 | x ", 0), 0u) << status;
    EXPECT_EQ(f.deepMagnification,
              app::deepMagnificationText(deepView, app::referenceSpacing(engine::kMandelbrot)));
    EXPECT_NE(f.deepMagnification.find("e+25"), std::string::npos) << status;
    // The top left pixel, with 29 significant digits: pixels are 1e-25 / 160 apart.
    EXPECT_NE(status.find("e+25 | -7.43643887037158704752191"), std::string::npos) << status;
    ASSERT_TRUE(f.pointerX.has_value());
    EXPECT_EQ(f.pointerX->digits.size(), 29u) << f.pointerX->digits;

    // The default view is no longer deep, and the numbers are plain again.
    rig.fractal().setDefaultView();
    const app::StatusFacts shallow = app::statusFacts(rig.fractal(), std::nullopt, 0, false);
    EXPECT_EQ(shallow.arithmetic, "fixed point");
    EXPECT_TRUE(shallow.deepMagnification.empty());

    // A limit set at a shallow view whose reference orbits do not fit the memory allowed
    // at the deep view reached: nothing is computed, and the bar says why in place of
    // the progress (as the title does).
    auto& escapeTime = dynamic_cast<complex::ComplexFractal&>(rig.fractal());
    rig.fractal().setOption(&engine::Options::referenceMemoryMiB, 16);
    rig.fractal().restartWith([&] {
        escapeTime.setMaxIterations(1'000'000);
        rig.fractal().setPreciseView(deepView);
    });
    waitFinished(rig.fractal());
    const std::string refused =
        app::statusText(app::statusFacts(rig.fractal(), std::nullopt, 0, false));
    EXPECT_NE(refused.find("| limit 1,000,000 | x "), std::string::npos) << refused;
    EXPECT_NE(refused.find("| Not computed: the reference orbits of 1000000 iterations need "
                           "24000024 bytes, more than the 16777216 allowed"),
              std::string::npos)
        << refused;
    EXPECT_NE(rig.window.title().find("not computed"), std::string::npos) << rig.window.title();
    rig.fractal().stopCalculation();
}

// At every depth the pointer's coordinates carry the digits the pixels need, the
// magnification follows the depth, and a bar of ordinary width still shows the run.
TEST(NavigationStatus, StatusAtEveryDepthFitsTheBar) {
    const struct {
        const char* width;
        std::size_t digits;  // the top left pixel's x, -0.75 - width/2: 160 pixels
        const char* magnification;
    } table[] = {
        {"1e-5", 9, "x 1.033e+05"},
        {"1e-100", 104, "x 1.03e+100"},
        {"1e-1000", 1004, "x 1.03e+1000"},
    };
    Rig rig(engine::kMandelbrot, kWidth, kHeight);
    rig.startAndPump();
    waitFinished(rig.fractal());
    for (const auto& row : table) {
        SCOPED_TRACE(row.width);
        const view::CentreAndWidth text =
            *view::parseCentreAndWidth("-0.75", "0.1", row.width).value;
        // The view of the next run: nothing needs computing to describe it.
        rig.fractal().setPreciseView(*view::DeepView::fromCentreAndWidth(
            text.x, text.y, text.width, rig.fractal().width, rig.fractal().height));
        const app::StatusFacts f = app::statusFacts(rig.fractal(), platform::Point{0, 0}, 0, false);
        ASSERT_TRUE(f.pointerX.has_value());
        EXPECT_EQ(f.pointerX->digits.size(), row.digits);
        EXPECT_EQ(f.pointerX->digits.substr(0, 2), "75");
        const std::string magnification =
            f.deepMagnification.empty() ? app::statusText(f) : f.deepMagnification;
        EXPECT_NE(magnification.find(row.magnification), std::string::npos) << magnification;
        for (const int bar : {60, 100, 160}) {
            const std::string line = app::statusText(f, bar, characters);
            EXPECT_LE(characters(line), bar) << line;
            EXPECT_EQ(line.substr(line.size() - std::string("iterations/s").size()), "iterations/s")
                << line;
            EXPECT_NE(line.find("Done in "), std::string::npos) << line;
        }
        EXPECT_EQ(app::statusText(f, 100000, characters), app::statusText(f));
    }
}

// What the bar names and counts is the picture shown: an opened picture is not being
// computed, a slideshow shows the type of each picture, and a new window size keeps
// the magnification.
TEST(NavigationStatus, StatusFollowsThePictureShown) {
    Rig rig(engine::kJulia, kWidth, kHeight);
    rig.startAndPump();
    waitFinished(rig.fractal());
    const std::string path = rig.folder.file("Julia001.bmp");
    ASSERT_EQ(rig.fractal().saveImage(path), engine::kStatusOk);

    rig.shell.fileAnswers.push_back(app::FileChoice{path, ""});
    rig.command(app::IDM_OPEN);
    rig.pump();
    EXPECT_EQ(app::statusFacts(rig.fractal(), std::nullopt, 0, false).run,
              app::StatusFacts::Run::Idle);
    EXPECT_EQ(rig.mainWindow->statusText(std::nullopt), "Julia | Relief, fixed point | x 0.2239");

    rig.shell.typeAnswer = engine::kMandelbrot;
    rig.command(app::IDM_TYPE);
    rig.pump();
    rig.shell.fileAnswers.push_back(app::FileChoice{path, "Julia001.bmp"});
    rig.command(app::IDM_SLIDESHOW);
    ASSERT_NE(rig.fractal().slideshow.timer, 0u);
    EXPECT_EQ(rig.fractal().typeName, "Mandelbrot");
    EXPECT_EQ(rig.mainWindow->statusText(platform::Point{5, 5}), "Julia | Slideshow");
    rig.command(app::IDM_CTRL_Q);

    wheel(rig, 10, 10, 240);
    rest(rig);
    const double before = app::statusFacts(rig.fractal(), std::nullopt, 0, false).magnification;
    for (const auto& size : {std::pair{80, 60}, std::pair{200, 60}, std::pair{90, 300}}) {
        rig.send(
            app::WM_SIZE, 0,
            app::makeLParam(static_cast<unsigned>(size.first), static_cast<unsigned>(size.second)));
        rig.pump();
        ASSERT_EQ(rig.fractal().width, size.first);
        EXPECT_NEAR(app::statusFacts(rig.fractal(), std::nullopt, 0, false).magnification, before,
                    before * 1e-9);
    }
}

}  // namespace
