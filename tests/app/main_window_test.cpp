#include "app/main_window.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <random>
#include <thread>
#include <tuple>

#include <sys/stat.h>

#include "app/help.h"
#include "app/messages.h"
#include "app/view_dialog.h"
#include "persist/picture_file.h"
#include "platform/headless_window.h"
#include "platform/settings_store.h"
#include "platform/temp_folder.h"

#include "main_window_rig.h"

namespace {

using namespace testing_support;

TEST(MainWindowFactory, CreatesTheStoredTypeAndAMandelbrotForUnknownIds) {
    const struct {
        std::optional<std::int32_t> stored;
        engine::FractalType expected;
    } table[] = {
        {std::nullopt, engine::kMandelbrot}, {0, engine::kMandelbrot}, {14, engine::kMandelbrot},
        {-1, engine::kMandelbrot},           {1, engine::kHopalong},   {13, engine::kPhoenix}};
    for (const auto& row : table) {
        SCOPED_TRACE(row.stored.value_or(-999));
        Rig rig(row.stored);
        EXPECT_EQ(rig.mainWindow->currentFractal(), nullptr);
        rig.startAndPump();
        ASSERT_NE(rig.mainWindow->currentFractal(), nullptr);
        EXPECT_EQ(rig.fractal().type, row.expected);
        EXPECT_TRUE(rig.fractal().isRunning() || rig.fractal().isFinished());
        EXPECT_EQ(rig.fractal().width, 64);
    }
}

// ----- Select mode -----

enum class Step { Select, Down, Move, Up, CtrlQ, Deactivate };
struct Event {
    Step step;
    int x = 0;
    int y = 0;
};

TEST(MainWindowSelection, FollowsTheSelectModeStateTable) {
    const struct {
        const char* name;
        std::vector<Event> events;
        bool selecting;
        bool dragging;
        bool zoomed;
    } table[] = {
        {"armed", {{Step::Select}}, true, false, false},
        {"second tap cancels", {{Step::Select}, {Step::Select}}, false, false, false},
        {"press starts the band", {{Step::Select}, {Step::Down, 10, 10}}, true, true, false},
        {"band follows",
         {{Step::Select}, {Step::Down, 10, 10}, {Step::Move, 30, 20}},
         true,
         true,
         false},
        {"5 x 5 zooms",
         {{Step::Select}, {Step::Down, 10, 10}, {Step::Up, 15, 15}},
         false,
         false,
         true},
        {"4 x 100 does not zoom",
         {{Step::Select}, {Step::Down, 10, 10}, {Step::Move, 14, 40}, {Step::Up, 14, 40}},
         false,
         false,
         false},
        {"tap ends the mode",
         {{Step::Select}, {Step::Down, 10, 10}, {Step::Up, 10, 10}},
         false,
         false,
         false},
        {"second press cancels",
         {{Step::Select}, {Step::Down, 10, 10}, {Step::Down, 30, 30}, {Step::Up, 40, 40}},
         false,
         false,
         false},
        {"command while armed", {{Step::Select}, {Step::CtrlQ}}, false, false, false},
        {"command while dragging",
         {{Step::Select}, {Step::Down, 10, 10}, {Step::CtrlQ}},
         false,
         false,
         false},
        {"deactivation while dragging",
         {{Step::Select}, {Step::Down, 10, 10}, {Step::Deactivate}},
         false,
         false,
         false},
        // Without the select tool a drag pans: one entry of the history as well.
        {"press without select mode pans",
         {{Step::Down, 10, 10}, {Step::Up, 40, 40}},
         false,
         false,
         true},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.name);
        Rig rig;
        rig.startAndPump();
        const int history = rig.fractal().history.count();  // the default view pushed one
        for (const Event& e : row.events) {
            switch (e.step) {
                case Step::Select:
                    rig.command(app::IDM_SELECT_ZOOM);
                    break;
                case Step::Down:
                    rig.stylus(app::WM_LBUTTONDOWN, e.x, e.y);
                    break;
                case Step::Move:
                    rig.stylus(app::WM_MOUSEMOVE, e.x, e.y);
                    break;
                case Step::Up:
                    rig.stylus(app::WM_LBUTTONUP, e.x, e.y);
                    break;
                case Step::CtrlQ:
                    rig.command(app::IDM_CTRL_Q);
                    break;
                case Step::Deactivate:
                    rig.send(app::WM_ACTIVATE, app::WA_INACTIVE, 0);
                    break;
            }
        }
        EXPECT_EQ(rig.mainWindow->selecting(), row.selecting);
        EXPECT_EQ(rig.mainWindow->dragging(), row.dragging);
        EXPECT_EQ(rig.window.title(), row.selecting ? "Select area:" : "Mandelbrot - Corvane");
        EXPECT_EQ(rig.fractal().history.count(), history + (row.zoomed ? 1 : 0));
    }
}

TEST(MainWindowSelection, ZoomsToThePlaneRectangleOfTheDragInEitherDirection) {
    const struct {
        platform::Point from;
        platform::Point to;
    } drags[] = {{{10, 20}, {50, 40}}, {{50, 40}, {10, 20}}, {{50, 20}, {10, 40}}};
    for (const auto& drag : drags) {
        Rig rig;
        rig.startAndPump();
        const view::ViewWindow before = rig.fractal().view();
        const int history = rig.fractal().history.count();
        rig.command(app::IDM_SELECT_ZOOM);
        rig.stylus(app::WM_LBUTTONDOWN, drag.from.x, drag.from.y);
        rig.stylus(app::WM_MOUSEMOVE, drag.to.x, drag.to.y);
        rig.stylus(app::WM_LBUTTONUP, drag.to.x, drag.to.y);

        // Column 10 is xmin + 10 * xscale; row 40 is ymin + (height - 2 - 40) * yscale.
        view::ViewWindow expected = before;
        expected.setRect(
            before.xmin + 10 * before.xscale, before.ymin + (48 - 2 - 40) * before.yscale,
            before.xmin + 50 * before.xscale, before.ymin + (48 - 2 - 20) * before.yscale);
        EXPECT_TRUE(sameView(rig.fractal().view(), expected));
        ASSERT_EQ(rig.fractal().history.count(), history + 1);
        EXPECT_TRUE(sameView(rig.fractal().history.at(history), before));
    }
}

// ----- Commands -----

TEST(MainWindowCommands, AreIgnoredWithoutAFractal) {
    Rig rig;
    for (unsigned id : {app::IDM_EXIT, app::IDM_ABOUT, app::IDM_TYPE, app::IDM_SELECT_ZOOM}) {
        EXPECT_EQ(rig.command(id), 0);
    }
    EXPECT_TRUE(rig.shell.dialogs.empty());
    EXPECT_TRUE(rig.shell.quitCodes.empty());
    EXPECT_FALSE(rig.mainWindow->selecting());
}

TEST(MainWindowCommands, OpenTheirDialogs) {
    const struct {
        engine::FractalType type;
        unsigned command;
        std::optional<DialogId> dialog;
    } table[] = {
        {engine::kMandelbrot, app::IDM_ABOUT, DialogId::About},
        {engine::kMandelbrot, app::IDM_VIEW, DialogId::View},
        {engine::kMandelbrot, app::IDM_OPTIONS, DialogId::Options},
        {engine::kMandelbrot, app::IDM_STATISTICS, DialogId::Statistics},
        {engine::kMandelbrot, app::IDM_PARAMETERS, DialogId::ComplexParameters},
        {engine::kUnity, app::IDM_PARAMETERS, DialogId::ComplexParameters},
        {engine::kHopalong, app::IDM_PARAMETERS, DialogId::Parameters},
        {engine::kGingerbreadman, app::IDM_PARAMETERS, DialogId::Parameters},
        {engine::kMandelbrot, app::IDM_CTRL_Q, std::nullopt},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.command);
        Rig rig(row.type);
        rig.startAndPump();
        rig.command(row.command);
        if (row.dialog) {
            ASSERT_EQ(rig.shell.dialogs.size(), 1u);
            EXPECT_EQ(rig.shell.dialogs[0], *row.dialog);
        } else {
            EXPECT_TRUE(rig.shell.dialogs.empty());
        }
    }
}

TEST(MainWindowCommands, TypeCancelledLeavesTheFractalComputing) {
    Rig rig(engine::kHopalong);
    rig.startAndPump();
    engine::Fractal* before = rig.mainWindow->currentFractal();
    rig.shell.typeAnswer = 0;
    rig.command(app::IDM_TYPE);
    EXPECT_EQ(rig.mainWindow->currentFractal(), before);
    EXPECT_TRUE(rig.fractal().isRunning());
    EXPECT_FALSE(rig.window.takeMessage().has_value());
}

TEST(MainWindowCommands, TypeChoosingTheCurrentTypeRecreatesItFromItsStoredParameters) {
    Rig rig(engine::kHopalong);
    rig.startAndPump();
    rig.command(app::IDM_ZOOM_OUT);
    const view::ViewWindow zoomed = rig.fractal().view();
    ASSERT_GT(rig.fractal().history.count(), 0);

    rig.shell.typeAnswer = engine::kHopalong;
    rig.command(app::IDM_TYPE);
    EXPECT_EQ(rig.mainWindow->currentFractal(), nullptr);  // until the posted creation
    rig.pump();
    ASSERT_NE(rig.mainWindow->currentFractal(), nullptr);
    EXPECT_EQ(rig.fractal().type, engine::kHopalong);
    EXPECT_EQ(rig.fractal().history.count(), 0);  // a new object, loaded without a push
    // The stored string keeps six decimals.
    EXPECT_NEAR(rig.fractal().view().xmin, zoomed.xmin, 1e-6);
    EXPECT_NEAR(rig.fractal().view().ymax, zoomed.ymax, 1e-6);
    EXPECT_TRUE(rig.fractal().isRunning());
}

TEST(MainWindowCommands, ClearScreenRestartsTheRunWithTheSameView) {
    Rig rig;
    rig.startAndPump();
    rig.command(app::IDM_ZOOM_OUT);
    const view::ViewWindow view = rig.fractal().view();
    const int history = rig.fractal().history.count();
    waitFinished(rig.fractal());
    const std::uint32_t firstStart = rig.fractal().statistics().startTick;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));

    rig.command(app::IDM_CLEAR_SCREEN);
    EXPECT_GT(rig.fractal().statistics().startTick, firstStart);
    EXPECT_TRUE(sameView(rig.fractal().view(), view));
    EXPECT_EQ(rig.fractal().history.count(), history);
}

TEST(MainWindowCommands, ExitStoresTheTypeAndQuits) {
    Rig rig(engine::kJulia);
    rig.startAndPump();
    rig.command(app::IDM_EXIT);
    EXPECT_EQ(rig.mainWindow->currentFractal(), nullptr);
    EXPECT_EQ(rig.stored("Fractal"), platform::SettingsValue::ofNumber(engine::kJulia));
    EXPECT_TRUE(rig.stored("Julia").has_value());  // the stop stored the parameters
    EXPECT_EQ(rig.shell.quitCodes, std::vector<int>{0});
    // The deactivation before the close took its default course.
    ASSERT_FALSE(rig.shell.defaulted.empty());
    EXPECT_EQ(rig.shell.defaulted.front(), app::WM_ACTIVATE);
}

TEST(MainWindowCommands, ZoomOutAndPreviousMoveThroughTheHistory) {
    Rig rig;
    rig.startAndPump();
    const view::ViewWindow start = rig.fractal().view();
    rig.command(app::IDM_ZOOM_OUT);
    EXPECT_NEAR(rig.fractal().view().xrange, start.xrange / 0.6, 1e-9);
    rig.command(app::IDM_ZOOM_PREVIOUS);
    EXPECT_TRUE(sameView(rig.fractal().view(), start));
}

// ----- Display power -----

TEST(MainWindowDisplayPower, AKeyWhileTheDisplayIsOffOnlySwitchesItOn) {
    Rig rig;
    rig.startAndPump();
    rig.command(app::IDM_DISPLAY_OFF);
    EXPECT_TRUE(rig.mainWindow->displayOff());

    // A tap leaves the display off.
    rig.stylus(app::WM_LBUTTONDOWN, 5, 5);
    EXPECT_TRUE(rig.mainWindow->displayOff());

    rig.shell.defaulted.clear();
    EXPECT_EQ(rig.send(app::WM_KEYDOWN, 'A', 0), 0);
    EXPECT_FALSE(rig.mainWindow->displayOff());
    EXPECT_TRUE(rig.shell.defaulted.empty());  // consumed
    EXPECT_EQ(rig.shell.powerRequests, (std::vector<bool>{false, true}));

    rig.send(app::WM_KEYDOWN, 'A', 0);
    EXPECT_EQ(rig.shell.defaulted, std::vector<unsigned>{app::WM_KEYDOWN});
}

// Whichever way the program loses the screen or ends, the display comes back on.
TEST(MainWindowDisplayPower, ActivationAndEveryWayOutSwitchTheDisplayOn) {
    struct Case {
        const char* what;
        std::function<void(Rig&)> act;
        bool quits;
    };
    const Case cases[] = {
        {"deactivation", [](Rig& rig) { rig.send(app::WM_ACTIVATE, app::WA_INACTIVE, 0); }, false},
        {"the window manager closes the window", [](Rig& rig) { rig.send(app::WM_CLOSE, 0, 0); },
         true},
        {"Exit", [](Rig& rig) { rig.command(app::IDM_EXIT); }, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Rig rig;
        rig.startAndPump();
        rig.command(app::IDM_DISPLAY_OFF);
        c.act(rig);
        EXPECT_FALSE(rig.mainWindow->displayOff());
        EXPECT_EQ(rig.shell.powerRequests, (std::vector<bool>{false, true}));
        EXPECT_EQ(rig.shell.quitCodes.size(), c.quits ? 1u : 0u);
    }
}

TEST(MainWindowDisplayPower, StaysOnWhenTheDisplayCannotBeSwitched) {
    Rig rig;
    rig.startAndPump();
    rig.shell.displaySupportsPower = false;
    rig.command(app::IDM_DISPLAY_OFF);
    EXPECT_FALSE(rig.mainWindow->displayOff());
    rig.send(app::WM_KEYDOWN, 'A', 0);
    EXPECT_EQ(rig.shell.powerRequests, std::vector<bool>{false});
}

// ----- Help -----

TEST(MainWindowHelp, BuildsTheCommandLineOfEachTopic) {
    EXPECT_EQ(app::helpCommandLine(app::kHelpContents), "Corvane.htm#Contents");
    EXPECT_EQ(app::helpCommandLine(app::kHelpFractals), "Corvane.htm#Fractals");
    EXPECT_EQ(app::helpCommandLine(app::kHelpOptions), "Corvane.htm#Options");
    EXPECT_EQ(app::helpCommandLine(std::string(400, 'x')).size(), 255u);

    Rig rig;
    EXPECT_EQ(rig.send(app::WM_HELP), 1);
    EXPECT_EQ(rig.shell.helpCommands, std::vector<std::string>{"Corvane.htm#Contents"});
}

// ----- Files -----

TEST(MainWindowFiles, SaveProposesANameInThePictureFolderAndCreatesIt) {
    Rig rig;
    rig.startAndPump();
    const std::string folder = rig.folder.file("pictures");
    ASSERT_FALSE(std::filesystem::exists(folder));
    const std::string path = folder + "/mine.bmp";
    rig.shell.fileAnswers.push_back(FileChoice{path, ""});
    waitFinished(rig.fractal());  // a finished picture is saved at once
    rig.command(app::IDM_SAVE);

    ASSERT_EQ(rig.shell.fileRequests.size(), 1u);
    const FileDialogRequest& request = rig.shell.fileRequests[0];
    EXPECT_EQ(request.kind, FileDialogRequest::Kind::Save);
    EXPECT_EQ(request.title, "Save fractal:");
    EXPECT_EQ(request.fileName, "Mandelbrot001");
    EXPECT_EQ(request.initialFolder, folder);
    EXPECT_EQ(request.defaultExtension, "bmp");
    EXPECT_EQ(request.flags, 0x806u);
    EXPECT_EQ(request.filters, (std::vector<app::FileFilter>{{"Bitmaps (*.bmp)", "*.bmp"},
                                                             {"PNG picture (*.png)", "*.png"},
                                                             {"All files (*.*)", "*.*"}}));
    EXPECT_TRUE(std::filesystem::is_regular_file(path));
    EXPECT_TRUE(rig.shell.messages.empty());
}

TEST(MainWindowFiles, ASaveThatFailsNamesTheFileAndTheReason) {
    Rig rig;
    rig.startAndPump();
    const std::string path = rig.folder.file("no-such-folder/x.bmp");
    rig.shell.fileAnswers.push_back(FileChoice{path, ""});
    waitFinished(rig.fractal());  // a finished picture is saved at once
    rig.command(app::IDM_SAVE);
    ASSERT_EQ(rig.shell.messages.size(), 1u);
    EXPECT_NE(rig.shell.messages[0].find(path), std::string::npos);
    EXPECT_NE(rig.shell.messages[0].find("No such file or directory"), std::string::npos);
}

// What the settings make of a parameter string does not change what a picture carries.
TEST(MainWindowFiles, ASaveCarriesTheFractalsOwnParametersNotWhatTheStoreHolds) {
    Rig rig(engine::kHopalong);  // an orbit runs until it is stopped
    rig.startAndPump();
    const std::string path = rig.folder.file("pictures") + "/long.bmp";
    rig.store.overlongName = "Hopalong";
    rig.shell.fileAnswers.push_back(FileChoice{path, ""});
    rig.command(app::IDM_SAVE);

    EXPECT_TRUE(rig.shell.messages.empty()) << rig.shell.messages.front();
    const persist::PictureFile file = persist::readPictureFile(
        path, engine::kMaxParameterUnits, rig.fractal().width, rig.fractal().height);
    EXPECT_EQ(file.type, engine::kHopalong);
    EXPECT_EQ(file.params, rig.fractal().parameterString());
    EXPECT_LT(file.params.size(), 200u);
    EXPECT_TRUE(rig.fractal().isRunning());
}

// The window on a settings file of its own, which the case may break.
struct FileStoreRig {
    explicit FileStoreRig(
        const std::function<std::string(const testing_support::TempFolder&)>& makeStore)
        : window(64, 48), store(makeStore(folder)) {
        store.write(kKey, "ImagePath", platform::SettingsValue::ofText(folder.file("pictures")));
        store.write(kKey, "AnimZoom", platform::SettingsValue::ofNumber(0));
        mainWindow = std::make_unique<app::MainWindow>(window, store, sound, shell);
        mainWindow->start();
        pump();
    }
    ~FileStoreRig() { mainWindow.reset(); }
    void pump() {
        while (auto message = window.takeMessage())
            mainWindow->windowProc(message->message, message->wParam, message->lParam);
    }
    void command(unsigned id) { mainWindow->windowProc(app::WM_COMMAND, id, 0); }
    void zoomIn() {
        command(app::IDM_SELECT_ZOOM);
        for (const auto& [message, x, y] :
             {std::tuple{app::WM_LBUTTONDOWN, 10, 10}, std::tuple{app::WM_MOUSEMOVE, 40, 30},
              std::tuple{app::WM_LBUTTONUP, 40, 30}}) {
            mainWindow->windowProc(
                message, 0, app::makeLParam(static_cast<unsigned>(x), static_cast<unsigned>(y)));
        }
    }
    engine::Fractal& fractal() { return *mainWindow->currentFractal(); }

    testing_support::TempFolder folder;
    platform::HeadlessWindow window;
    platform::FileSettingsStore store;
    platform::RecordingSound sound;
    ScriptedShell shell;
    std::unique_ptr<app::MainWindow> mainWindow;
};

// A settings file the program cannot use is reported once, the window works on in
// memory, and a saved picture carries the view on screen.
TEST(MainWindowSettings, ABrokenStoreIsReportedOnceAndSaveCarriesTheCurrentView) {
    const struct {
        const char* what;
        std::function<std::string(const testing_support::TempFolder&)> makeStore;
        const char* reason;
    } cases[] = {
        {"cannot be written",
         [](const testing_support::TempFolder& f) { return f.write("Velk", "x") + "/Corvane.reg"; },
         "Not a directory"},
        {"cannot be read",
         [](const testing_support::TempFolder& f) {
             std::filesystem::create_directory(f.path() / "Corvane.reg");
             return f.file("Corvane.reg");
         },
         "Is a directory"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        FileStoreRig rig(c.makeStore);
        const std::string initial = rig.fractal().parameterString();
        rig.zoomIn();
        rig.command(app::IDM_ZOOM_OUT);
        rig.zoomIn();
        const std::string path = rig.folder.file("pictures") + "/view.bmp";
        rig.shell.fileAnswers.push_back(FileChoice{path, ""});
        waitFinished(rig.fractal());  // a finished picture is saved at once
        rig.command(app::IDM_SAVE);

        ASSERT_EQ(rig.shell.messages.size(), 1u) << "once, at the start";
        const std::string& message = rig.shell.messages[0];
        EXPECT_NE(message.find(rig.store.path()), std::string::npos) << message;
        EXPECT_NE(message.find(c.reason), std::string::npos) << message;
        const persist::PictureFile file =
            persist::readPictureFile(path, 255, rig.fractal().width, rig.fractal().height);
        EXPECT_EQ(file.params, rig.fractal().parameterString());
        EXPECT_NE(file.params, initial);

        // The settings written meanwhile are there for as long as the program runs.
        rig.command(app::IDM_TYPE);  // cancelled
        rig.shell.typeAnswer = engine::kMandelbrot;
        const std::string view = rig.fractal().parameterString();
        rig.command(app::IDM_TYPE);
        rig.pump();
        EXPECT_EQ(rig.fractal().parameterString(), view);
        EXPECT_EQ(rig.fractal().folders.images, rig.folder.file("pictures"));
        EXPECT_EQ(rig.shell.messages.size(), 1u);
    }
}

TEST(MainWindowSettings, AnOversizedStoreIsLeftByteForByte) {
    std::string text = "[HKEY_CURRENT_USER\\Software\\Velk\\Corvane]\n";
    text += std::string(platform::kMaxSettingsFileBytes, ';') + "\n\"Fractal\"=dword:00000006\n";
    FileStoreRig rig(
        [&](const testing_support::TempFolder& f) { return f.write("big.reg", text); });
    rig.command(app::IDM_CLEAR_SCREEN);
    rig.zoomIn();
    rig.command(app::IDM_EXIT);
    EXPECT_EQ(rig.shell.quitCodes, std::vector<int>{0});
    ASSERT_EQ(rig.shell.messages.size(), 1u);
    EXPECT_NE(rig.shell.messages[0].find(": too large (more than 16 MiB)."), std::string::npos)
        << rig.shell.messages[0];
    EXPECT_TRUE(testing_support::TempFolder::read(rig.store.path()) == text);
}

// The window never writes into a pipe or a device, not even through a link.
TEST(MainWindowFiles, SaveRefusesWhatIsNoRegularFile) {
    Rig rig;
    rig.startAndPump();
    const std::string pipe = rig.folder.file("pipe.bmp");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    std::filesystem::create_symlink(pipe, rig.folder.file("link.bmp"));
    std::filesystem::create_directory(rig.folder.file("folder.bmp"));
    const struct {
        const char* name;
        const char* reason;
    } cases[] = {
        {"pipe.bmp", "a named pipe, not a regular file"},
        {"link.bmp", "a named pipe, not a regular file"},
        {"folder.bmp", "Is a directory"},
    };
    for (const auto& c : cases) {
        const std::string path = rig.folder.file(c.name);
        rig.shell.fileAnswers.push_back(FileChoice{path, ""});
        waitFinished(rig.fractal());  // a finished picture is saved at once
        rig.command(app::IDM_SAVE);
        EXPECT_EQ(rig.shell.messages.back(),
                  "Cannot save the picture to " + path + ": " + c.reason + ".");
    }
    EXPECT_EQ(rig.shell.messages.size(), 3u);
    EXPECT_TRUE(std::filesystem::is_fifo(pipe));
    EXPECT_TRUE(std::filesystem::is_symlink(rig.folder.file("link.bmp")));
    EXPECT_TRUE(std::filesystem::is_empty(rig.folder.file("folder.bmp")));
}

// Where a folder or a palette may be put, the program follows, whatever the length
// of its path: saved pictures, the palette and the next start find them whole.
TEST(MainWindowFiles, LongPathsOfPalettesAndPictureFoldersWork) {
    for (const std::size_t length : {300u, 1500u, 4000u}) {
        SCOPED_TRACE(length);
        Rig rig(engine::kJulia);
        rig.startAndPump();
        std::string folder = rig.folder.path().string();
        while (folder.size() + 201 < length)
            folder += "/" + std::string(200, 'd');
        folder += "/" + std::string(length - folder.size() - 1, 'e');
        ASSERT_EQ(folder.size(), length);
        std::filesystem::create_directories(folder);
        const std::string palette = folder + "/two.pal";
        std::ofstream(palette) << "255 0 0\n0 0 255\n";
        const std::string picture = folder + "/Julia001.bmp";

        rig.shell.fileAnswers.push_back(FileChoice{palette, ""});
        rig.command(app::IDM_LOAD_PALETTE);
        rig.shell.fileAnswers.push_back(FileChoice{picture, ""});
        waitFinished(rig.fractal());  // a finished picture is saved at once
        rig.command(app::IDM_SAVE);
        EXPECT_TRUE(rig.shell.messages.empty()) << rig.shell.messages.front();
        EXPECT_TRUE(std::filesystem::is_regular_file(picture));

        // The next start.
        rig.mainWindow =
            std::make_unique<app::MainWindow>(rig.window, rig.store, rig.sound, rig.shell);
        rig.startAndPump();
        EXPECT_EQ(rig.fractal().folders.palette, palette);
        EXPECT_EQ(rig.fractal().numColors, 2);
        EXPECT_EQ(rig.fractal().folders.images, folder);
        rig.shell.fileAnswers.push_back(FileChoice{picture, ""});
        rig.command(app::IDM_OPEN);
        rig.pump();
        EXPECT_EQ(rig.shell.fileRequests.back().initialFolder, folder);
        EXPECT_TRUE(rig.shell.messages.empty());
        EXPECT_EQ(rig.fractal().type, engine::kJulia);
        EXPECT_FALSE(rig.fractal().isRunning());  // the opened picture is shown
    }
}

TEST(MainWindowFiles, OpenContinuesASavedPictureOfAnotherType) {
    Rig rig(engine::kJulia);
    rig.startAndPump();
    waitFinished(rig.fractal());
    const std::string path = rig.folder.file("julia.bmp");
    ASSERT_EQ(rig.fractal().saveImage(path), engine::kStatusOk);
    const auto savedPixel = rig.fractal().picture.pixel(20, 20);

    rig.shell.typeAnswer = engine::kMandelbrot;
    rig.command(app::IDM_TYPE);
    rig.pump();
    ASSERT_EQ(rig.fractal().type, engine::kMandelbrot);

    rig.shell.fileAnswers.push_back(FileChoice{path, ""});
    rig.command(app::IDM_OPEN);
    const FileDialogRequest& request = rig.shell.fileRequests.back();
    EXPECT_EQ(request.title, "Open fractal:");
    EXPECT_EQ(request.flags, 0x1804u);
    ASSERT_NE(rig.mainWindow->heldFractal(), nullptr);
    EXPECT_EQ(rig.mainWindow->currentFractal(), rig.mainWindow->heldFractal());

    rig.pump();
    EXPECT_EQ(rig.mainWindow->heldFractal(), nullptr);
    EXPECT_EQ(rig.fractal().type, engine::kJulia);
    EXPECT_FALSE(rig.fractal().isRunning());  // the opened picture is shown unchanged
    EXPECT_EQ(rig.fractal().picture.pixel(20, 20), savedPixel);
}

// Open offers both formats at once; a picture of another shape than the window keeps
// its proportions on a border, and its view fills the window once it is recomputed.
TEST(MainWindowFiles, APictureOfAnotherShapeOpensInProportionAndIsRecomputedToFill) {
    struct Case {
        const char* name;
        int width, height;  // of the window that opens it
    };
    const Case cases[] = {
        {"wide.png", 48, 64}, {"wide.bmp", 48, 64}, {"same.png", 64, 48}, {"tall.png", 96, 48}};
    Rig saver(engine::kJulia, 64, 48);
    saver.startAndPump();
    waitFinished(saver.fractal());
    const view::ViewWindow saved = saver.fractal().view();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = saver.folder.file(c.name);
        ASSERT_EQ(saver.fractal().saveImage(path), engine::kStatusOk);

        Rig rig(engine::kMandelbrot, c.width, c.height);
        rig.startAndPump();
        rig.shell.fileAnswers.push_back(FileChoice{path, ""});
        rig.command(app::IDM_OPEN);
        rig.pump();
        const FileDialogRequest& request = rig.shell.fileRequests.back();
        ASSERT_FALSE(request.filters.empty());
        EXPECT_EQ(request.filters[0], (app::FileFilter{"Pictures (*.bmp *.png)", "*.bmp *.png"}));
        EXPECT_EQ(app::extensionForFilter(request, 0), "bmp");
        EXPECT_EQ(app::extensionForFilter(request, 2), "png");
        ASSERT_TRUE(rig.shell.messages.empty()) << rig.shell.messages[0];
        engine::Fractal& opened = rig.fractal();
        ASSERT_EQ(opened.type, engine::kJulia);

        // The saved picture, scaled to fit, in the middle of a border.
        const persist::PictureSize fitted = persist::fittedSize(64, 48, c.width, c.height);
        const int left = (c.width - fitted.width) / 2;
        const int top = (c.height - fitted.height) / 2;
        platform::Bitmap expected(c.width, c.height);
        expected.fillRect({0, 0, c.width, c.height}, persist::kPictureBorder);
        expected.stretchFrom(saver.fractal().picture, left, top, fitted.width, fitted.height, 0, 0,
                             64, 48);
        EXPECT_EQ(opened.picture.snapshot(), expected.snapshot());

        // The view shows the saved one whole and centred, at the window's proportions.
        const view::ViewWindow& view = opened.view();
        EXPECT_NEAR(view.xcenter, saved.xcenter, 1e-12);
        EXPECT_NEAR(view.ycenter, saved.ycenter, 1e-12);
        EXPECT_NEAR(view.xscale, view.yscale, 1e-12);
        EXPECT_LE(view.xmin, saved.xmin + 1e-12);
        EXPECT_LE(view.ymin, saved.ymin + 1e-12);
        EXPECT_TRUE(std::fabs(view.xmin - saved.xmin) < 1e-12 ||
                    std::fabs(view.ymin - saved.ymin) < 1e-12);

        // Computed again, the picture fills the window: no border is left.
        rig.command(app::IDM_CLEAR_SCREEN);
        rig.pump();
        waitFinished(opened);
        int borderPixels = 0;
        for (const platform::Color color : opened.picture.snapshot())
            borderPixels += color == persist::kPictureBorder;
        EXPECT_LT(borderPixels, c.width);  // a grey colour of the palette may appear
        EXPECT_NE(opened.picture.pixel(0, 0), persist::kPictureBorder);
        EXPECT_NE(opened.picture.pixel(c.width - 1, c.height - 1), persist::kPictureBorder);
    }
}

TEST(MainWindowFiles, AFileThatIsNoPictureIsRefusedAndTheFractalKeepsComputing) {
    const struct {
        const char* name;
        std::string content;
        const char* reason;
    } table[] = {
        {"text.bmp", "hello", "not a bitmap file"},
        // A bitmap of another program: 1 x 1 pixel, 24 bits, no trailer.
        {"plain.bmp",
         std::string("BM\x3A\0\0\0\0\0\0\0\x36\0\0\0\x28\0\0\0\x01\0\0\0\x01\0\0\0\x01\0\x18\0",
                     30) +
             std::string(24, '\0') + std::string("\xFF\xFF\xFF\0", 4),
         "no fractal type"},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.name);
        Rig rig(engine::kHopalong);
        rig.startAndPump();
        engine::Fractal* before = rig.mainWindow->currentFractal();
        const std::string path = rig.folder.write(row.name, row.content);
        rig.shell.fileAnswers.push_back(FileChoice{path, ""});
        rig.command(app::IDM_OPEN);
        ASSERT_EQ(rig.shell.messages.size(), 1u);
        EXPECT_NE(rig.shell.messages[0].find(path), std::string::npos);
        EXPECT_NE(rig.shell.messages[0].find(row.reason), std::string::npos)
            << rig.shell.messages[0];
        EXPECT_EQ(rig.mainWindow->heldFractal(), nullptr);
        EXPECT_EQ(rig.mainWindow->currentFractal(), before);
        EXPECT_TRUE(rig.fractal().isRunning());
        // Nothing is posted but the end of the read, which was taken already.
        while (const auto message = rig.window.takeMessage())
            EXPECT_EQ(message->message, app::WM_OPENDONE);
    }
}

// The file chosen in the dialog may be gone or different by the time it is read:
// what is opened is what is there then, or nothing at all.
TEST(MainWindowFiles, OpenReadsWhatIsThereAfterTheDialog) {
    Rig rig(engine::kJulia);
    rig.startAndPump();
    waitFinished(rig.fractal());
    const std::string path = rig.folder.file("chosen.bmp");
    const std::string replacement = rig.folder.file("replacement.bmp");
    ASSERT_EQ(rig.fractal().saveImage(path), engine::kStatusOk);

    // Removed after the dialog.
    std::filesystem::remove(path);
    rig.shell.fileAnswers.push_back(FileChoice{path, ""});
    rig.command(app::IDM_OPEN);
    ASSERT_EQ(rig.shell.messages.size(), 1u);
    EXPECT_NE(rig.shell.messages[0].find("No such file or directory"), std::string::npos);
    EXPECT_EQ(rig.mainWindow->heldFractal(), nullptr);
    EXPECT_EQ(rig.fractal().type, engine::kJulia);

    // Replaced by a picture of another type after the dialog.
    rig.shell.typeAnswer = engine::kMandelbrot;
    rig.command(app::IDM_TYPE);
    rig.pump();
    waitFinished(rig.fractal());
    ASSERT_EQ(rig.fractal().saveImage(replacement), engine::kStatusOk);
    std::filesystem::rename(replacement, path);
    rig.shell.typeAnswer = engine::kJulia;
    rig.command(app::IDM_TYPE);
    rig.pump();
    rig.shell.fileAnswers.push_back(FileChoice{path, ""});
    rig.command(app::IDM_OPEN);
    rig.pump();
    EXPECT_EQ(rig.shell.messages.size(), 1u);
    EXPECT_EQ(rig.fractal().type, engine::kMandelbrot);
    EXPECT_FALSE(rig.fractal().isRunning());
}

TEST(MainWindowFiles, LoadPaletteStoresThePathAndRestarts) {
    Rig rig(engine::kHopalong);
    rig.startAndPump();
    const std::string path = rig.folder.write("two.pal", "255 0 0\n0 0 255\n");
    rig.shell.fileAnswers.push_back(FileChoice{path, ""});
    rig.command(app::IDM_LOAD_PALETTE);
    const FileDialogRequest& request = rig.shell.fileRequests.back();
    EXPECT_EQ(request.title, "Open palette:");
    EXPECT_EQ(request.filters[0], (app::FileFilter{"Color palettes (*.pal)", "*.pal"}));
    EXPECT_EQ(rig.stored("Palette"), platform::SettingsValue::ofText(path));
    EXPECT_EQ(rig.fractal().numColors, 2);
    EXPECT_TRUE(rig.fractal().isRunning());
}

std::vector<platform::Color> colorsOf(const engine::Fractal& fractal) {
    std::vector<platform::Color> colors;
    for (int i = 0; i < fractal.colorTable().colorCount(); ++i)
        colors.push_back(fractal.colorTable().colorAt(i));
    return colors;
}

// Only a file that gives colours becomes the palette: anything else leaves the stored
// palette (what the next start loads), the colours and the run as they were, and says why.
TEST(MainWindowFiles, LoadPaletteStoresOnlyAFileThatGivesColours) {
    Rig rig(engine::kHopalong);
    rig.startAndPump();
    const std::string good = rig.folder.write("two.pal", "255 0 0\n0 0 255\n");
    rig.shell.fileAnswers.push_back(FileChoice{good, ""});
    rig.command(app::IDM_LOAD_PALETTE);
    ASSERT_EQ(rig.stored("Palette"), platform::SettingsValue::ofText(good));
    const std::vector<platform::Color> colors = colorsOf(rig.fractal());
    ASSERT_EQ(colors.size(), 2u);

    std::string noise(3000, '\0');
    std::mt19937 random(6);
    for (char& c : noise)
        c = static_cast<char>(random());
    noise[0] = '\x89';  // as a PNG begins: no number
    const std::string fifo = rig.folder.file("pipe.pal");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string dangling = rig.folder.file("dangling.pal");
    std::filesystem::create_symlink(rig.folder.file("gone.pal"), dangling);
    const std::string loop = rig.folder.file("loop.pal");
    std::filesystem::create_symlink(loop, loop);
    const struct {
        const char* name;
        std::string path;
        const char* reason;
    } refused[] = {
        {"random bytes", rig.folder.write("noise.pal", noise), "binary file"},
        {"empty", rig.folder.write("empty.pal", ""), "file is empty"},
        {"blank lines", rig.folder.write("blank.pal", "\n  \r\n\t\n"), "file is empty"},
        {"two numbers", rig.folder.write("short.pal", "255 0\n"), "no colours"},
        {"a picture",
         rig.folder.write("picture.pal", std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16)),
         "binary file"},
        {"header line", rig.folder.write("header.pal", "JASC-PAL\n0100\n1 2 3\n"), "no colours"},
        {"FIFO", fifo, "not a regular file"},
        {"folder", rig.folder.path().string(), "not a regular file"},
        {"device", "/dev/zero", "not a regular file"},
        {"dangling link", dangling, "No such file"},
        {"link loop", loop, "symbolic links"},
        {"path of 4200 characters", rig.folder.file(std::string(4200, 'p') + ".pal"), "too long"},
    };
    for (const auto& row : refused) {
        SCOPED_TRACE(row.name);
        engine::Fractal* before = rig.mainWindow->currentFractal();
        rig.shell.messages.clear();
        rig.shell.fileAnswers.push_back(FileChoice{row.path, ""});
        rig.command(app::IDM_LOAD_PALETTE);
        EXPECT_EQ(rig.stored("Palette"), platform::SettingsValue::ofText(good));
        EXPECT_EQ(colorsOf(rig.fractal()), colors);
        EXPECT_EQ(rig.fractal().numColors, 2);
        EXPECT_EQ(rig.fractal().folders.palette, good);
        EXPECT_EQ(rig.mainWindow->currentFractal(), before);
        EXPECT_TRUE(rig.fractal().isRunning());
        ASSERT_EQ(rig.shell.messages.size(), 1u);
        EXPECT_NE(rig.shell.messages[0].find(row.path), std::string::npos);
        EXPECT_NE(rig.shell.messages[0].find(row.reason), std::string::npos)
            << rig.shell.messages[0];
    }

    // A palette after the refusals is taken as ever.
    const std::string one = rig.folder.write("one.pal", "1 2 3\n");
    rig.shell.fileAnswers.push_back(FileChoice{one, ""});
    rig.command(app::IDM_LOAD_PALETTE);
    EXPECT_EQ(rig.stored("Palette"), platform::SettingsValue::ofText(one));
    EXPECT_EQ(colorsOf(rig.fractal()), std::vector<platform::Color>{platform::rgb(1, 2, 3)});
    EXPECT_EQ(rig.fractal().numColors, 1);
    EXPECT_TRUE(rig.fractal().isRunning());
}

// ----- Slideshow -----

TEST(MainWindowSlideshow, TheTimerShowsTheNextPictureAndAnyInputEndsTheShow) {
    const struct {
        const char* name;
        std::function<void(Rig&)> input;
    } endings[] = {
        {"command", [](Rig& rig) { rig.command(app::IDM_CTRL_Q); }},
        {"stylus", [](Rig& rig) { rig.stylus(app::WM_LBUTTONDOWN, 5, 5); }},
        {"key", [](Rig& rig) { rig.send(app::WM_KEYDOWN, 'A', 0); }},
        {"activation", [](Rig& rig) { rig.send(app::WM_ACTIVATE, app::WA_INACTIVE, 0); }},
    };
    for (const auto& ending : endings) {
        SCOPED_TRACE(ending.name);
        Rig rig;
        rig.startAndPump();
        waitFinished(rig.fractal());
        const std::string first = rig.folder.file("Mandelbrot001.bmp");
        ASSERT_EQ(rig.fractal().saveImage(first), engine::kStatusOk);
        ASSERT_EQ(rig.fractal().saveImage(rig.folder.file("Mandelbrot002.bmp")), engine::kStatusOk);
        ASSERT_EQ(rig.fractal().startSlideshow(first, app::kSlideshowTimerId, false),
                  engine::kStatusOk);
        EXPECT_EQ(rig.fractal().slideshow.position, 1);

        EXPECT_EQ(rig.send(app::WM_TIMER, app::kSlideshowTimerId, 0), 0);
        EXPECT_EQ(rig.fractal().slideshow.position, 2);
        rig.send(app::WM_TIMER, 7, 0);  // not ours
        EXPECT_EQ(rig.shell.defaulted, std::vector<unsigned>{app::WM_TIMER});

        ending.input(rig);
        EXPECT_EQ(rig.fractal().slideshow.timer, 0u);
        EXPECT_FALSE(rig.mainWindow->selecting());
    }
}

TEST(MainWindowSlideshow, TheCommandAsksAboutTheTypeAndShowsTheMatchingPictures) {
    const struct {
        const char* title;
        bool yes;
        const char* question;
        std::size_t shown;
    } cases[] = {
        {"Mandelbrot002.bmp", true, "Slideshow:|Only fractals of type Mandelbrot...?", 2},
        {"Mandelbrot002.bmp", false, "Slideshow:|Only fractals of type Mandelbrot...?", 3},
        {"Julia.bmp", true, "Slideshow:|Only fractals of type Julia.bmp...?", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.title) + (c.yes ? " yes" : " no"));
        Rig rig;
        rig.startAndPump();
        waitFinished(rig.fractal());
        for (const char* name : {"Mandelbrot001.bmp", "Mandelbrot002.bmp", "Julia.bmp"}) {
            ASSERT_EQ(rig.fractal().saveImage(rig.folder.file(name)), engine::kStatusOk);
        }
        rig.shell.yesAnswer = c.yes;
        rig.shell.fileAnswers.push_back(FileChoice{rig.folder.file(c.title), c.title});
        rig.command(app::IDM_SLIDESHOW);

        ASSERT_EQ(rig.shell.fileRequests.size(), 1u);
        EXPECT_EQ(rig.shell.fileRequests[0].title, "Slideshow:");
        EXPECT_EQ(rig.shell.fileRequests[0].flags, 0x804u);
        EXPECT_TRUE(rig.shell.fileRequests[0].wantsFileTitle);
        EXPECT_EQ(rig.shell.questions, std::vector<std::string>{c.question});
        EXPECT_EQ(rig.fractal().slideshow.files.size(), c.shown);
        EXPECT_EQ(rig.window.timers().count(app::kSlideshowTimerId), 1u);
        EXPECT_FALSE(rig.fractal().isRunning());
        rig.command(app::IDM_CTRL_Q);
        EXPECT_TRUE(rig.window.timers().empty());
    }
}

TEST(MainWindowSlideshow, ACancelledChoiceAsksNothing) {
    Rig rig;
    rig.startAndPump();
    rig.command(app::IDM_SLIDESHOW);
    EXPECT_TRUE(rig.shell.questions.empty());
    EXPECT_EQ(rig.fractal().slideshow.timer, 0u);
    EXPECT_TRUE(rig.fractal().isRunning() || rig.fractal().isFinished());
}

// ----- Window size -----

TEST(MainWindowSize, ANewSizeRecreatesTheFractalAtThatSize) {
    Rig rig(engine::kHopalong);
    rig.startAndPump();
    rig.send(app::WM_SIZE, 0, app::makeLParam(80, 60));
    EXPECT_EQ(rig.mainWindow->currentFractal(), nullptr);
    EXPECT_EQ(rig.window.surface().width(), 80);
    rig.pump();
    ASSERT_NE(rig.mainWindow->currentFractal(), nullptr);
    EXPECT_EQ(rig.fractal().type, engine::kHopalong);
    EXPECT_EQ(rig.fractal().width, 80);
    EXPECT_EQ(rig.fractal().height, 60);

    engine::Fractal* same = rig.mainWindow->currentFractal();
    rig.send(app::WM_SIZE, 0, app::makeLParam(80, 60));
    EXPECT_EQ(rig.mainWindow->currentFractal(), same);
}

// ----- Window size: the view keeps its centre and scale, the history survives -----

// The distance between neighbouring doubles at the magnitude of value.
double ulpOf(double value) {
    const double magnitude = std::fabs(value);
    return std::nextafter(magnitude, std::numeric_limits<double>::infinity()) - magnitude;
}

// Expects `view` to show `before`'s centre at `before`'s scale on its own picture size.
void expectMapped(const view::ViewWindow& view, const view::ViewWindow& before,
                  double tolerance = 0.0) {
    const double xUlp = ulpOf(std::fabs(before.xcenter) + before.xrange);
    const double yUlp = ulpOf(std::fabs(before.ycenter) + before.yrange);
    EXPECT_NEAR(view.xcenter, before.xcenter, 2 * xUlp + tolerance);
    EXPECT_NEAR(view.ycenter, before.ycenter, 2 * yUlp + tolerance);
    EXPECT_NEAR(view.xrange, before.xscale * view.width,
                4 * xUlp + 1e-13 * view.xrange + tolerance * view.width);
    EXPECT_NEAR(view.yrange, before.yscale * view.height,
                4 * yUlp + 1e-13 * view.yrange + tolerance * view.height);
}

void resize(Rig& rig, int width, int height) {
    rig.send(app::WM_SIZE, 0,
             app::makeLParam(static_cast<unsigned>(width), static_cast<unsigned>(height)));
    rig.pump();
}

void selectAndZoom(Rig& rig, platform::Point from, platform::Point to) {
    rig.command(app::IDM_SELECT_ZOOM);
    rig.stylus(app::WM_LBUTTONDOWN, from.x, from.y);
    rig.stylus(app::WM_MOUSEMOVE, to.x, to.y);
    rig.stylus(app::WM_LBUTTONUP, to.x, to.y);
}

// Replaces the view the way the View dialog does.
void showView(engine::Fractal& fractal, double x1, double y1, double x2, double y2) {
    fractal.stopCalculation();
    fractal.setViewRect(x1, y1, x2, y2);
    fractal.startCalculation();
}

TEST(MainWindowSize, DraggingBetweenWideAndTallKeepsTheViewAndTheHistory) {
    for (const engine::FractalType type :
         {engine::kMandelbrot, engine::kPhoenix, engine::kHopalong, engine::kGingerbreadman}) {
        SCOPED_TRACE(type);
        Rig rig(type, 480, 536);
        rig.startAndPump();
        selectAndZoom(rig, {100, 120}, {300, 330});
        selectAndZoom(rig, {200, 200}, {260, 250});
        const view::ViewWindow original = rig.fractal().view();
        const view::ZoomHistory history = rig.fractal().history;
        ASSERT_GE(history.count(), 2);

        for (int trip = 0; trip < 12; ++trip) {
            resize(rig, 536, 480);
            ASSERT_NE(rig.mainWindow->currentFractal(), nullptr);
            EXPECT_EQ(rig.fractal().width, 536);
            expectMapped(rig.fractal().view(), original);
            ASSERT_EQ(rig.fractal().history.count(), history.count());
            for (int i = 0; i < history.count(); ++i) {
                EXPECT_EQ(rig.fractal().history.at(i).width, 536);
                expectMapped(rig.fractal().history.at(i), history.at(i));
            }
            resize(rig, 480, 536);
            EXPECT_TRUE(rig.fractal().isRunning() || rig.fractal().isFinished());
        }
        // Back on the original rectangle, and the history walks back as before.
        EXPECT_TRUE(view::ViewWindow::sameView(rig.fractal().view(), original));
        for (int i = history.count() - 1; i >= 0; --i) {
            rig.command(app::IDM_ZOOM_PREVIOUS);
            EXPECT_TRUE(view::ViewWindow::sameView(rig.fractal().view(), history.at(i)));
        }
    }
}

TEST(MainWindowSize, EndsSelectModeAndASlideshowAndFollowsTheLastOfSeveralSizes) {
    const struct {
        const char* name;
        std::function<void(Rig&)> before;  // runs on the zoomed view, before the resize
        std::vector<platform::Point> sizes;
    } cases[] = {
        {"plain", [](Rig&) {}, {{100, 40}}},
        {"select mode", [](Rig& rig) { rig.command(app::IDM_SELECT_ZOOM); }, {{100, 40}}},
        {"dragging",
         [](Rig& rig) {
             rig.command(app::IDM_SELECT_ZOOM);
             rig.stylus(app::WM_LBUTTONDOWN, 10, 10);
             rig.stylus(app::WM_MOUSEMOVE, 30, 30);
         },
         {{100, 40}}},
        {"slideshow of pictures of another view",
         [](Rig& rig) {
             const std::string first = rig.folder.file("Mandelbrot001.bmp");
             rig.fractal().zoomPrevious();
             ASSERT_EQ(rig.fractal().saveImage(first), engine::kStatusOk);
             rig.fractal().zoomByFactor(0.6);
             ASSERT_EQ(rig.fractal().saveImage(rig.folder.file("Mandelbrot002.bmp")),
                       engine::kStatusOk);
             rig.fractal().zoomPrevious();
             selectAndZoom(rig, {10, 8}, {40, 30});
             ASSERT_EQ(rig.fractal().startSlideshow(first, app::kSlideshowTimerId, false),
                       engine::kStatusOk);
             rig.send(app::WM_TIMER, app::kSlideshowTimerId, 0);
         },
         {{100, 40}}},
        {"several sizes before the new object", [](Rig&) {}, {{30, 90}, {200, 20}, {100, 40}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig;  // 64 x 48
        rig.startAndPump();
        selectAndZoom(rig, {10, 8}, {40, 30});
        c.before(rig);
        const view::ViewWindow shown = rig.fractal().view();
        const int history = rig.fractal().history.count();
        for (const platform::Point& size : c.sizes) {
            rig.send(app::WM_SIZE, 0,
                     app::makeLParam(static_cast<unsigned>(size.x), static_cast<unsigned>(size.y)));
        }
        rig.pump();
        ASSERT_NE(rig.mainWindow->currentFractal(), nullptr);
        EXPECT_EQ(rig.fractal().width, c.sizes.back().x);
        EXPECT_EQ(rig.fractal().height, c.sizes.back().y);
        expectMapped(rig.fractal().view(), shown);
        EXPECT_EQ(rig.fractal().history.count(), history);
        EXPECT_FALSE(rig.mainWindow->selecting());
        EXPECT_EQ(rig.window.title(), "Mandelbrot - Corvane");
        EXPECT_TRUE(rig.window.timers().empty());
    }
}

TEST(MainWindowSize, AResizeWhileAPictureOpensGoesOnFromTheOpenedView) {
    Rig rig(engine::kJulia, 64, 48);
    rig.startAndPump();
    rig.command(app::IDM_ZOOM_OUT);
    const view::ViewWindow saved = rig.fractal().view();
    const std::string path = rig.folder.file("julia.bmp");
    ASSERT_EQ(rig.fractal().saveImage(path), engine::kStatusOk);
    rig.command(app::IDM_ZOOM_PREVIOUS);

    rig.shell.fileAnswers.push_back(FileChoice{path, ""});
    rig.command(app::IDM_OPEN);
    rig.send(app::WM_SIZE, 0, app::makeLParam(48, 64));  // waits for the opened picture
    rig.pump();
    ASSERT_NE(rig.mainWindow->currentFractal(), nullptr);
    EXPECT_EQ(rig.mainWindow->heldFractal(), nullptr);
    EXPECT_EQ(rig.fractal().width, 48);
    EXPECT_EQ(rig.fractal().height, 64);
    // The picture file keeps six decimals of the view.
    expectMapped(rig.fractal().view(), saved, 1e-6);
    EXPECT_EQ(rig.fractal().history.count(), 0);
    EXPECT_TRUE(rig.fractal().isRunning() || rig.fractal().isFinished());
}

// ----- The deepest view -----

TEST(MainWindowDepth, ZoomingInBeyondTheDepthIsRefusedWithAMessage) {
    const double unit = ulpOf(1.5);  // the spacing of doubles near the view's centre
    const auto viewDialogOk = [](double x1, double y1, double x2, double y2) {
        return [=](Rig& rig) {
            rig.shell.dialogAction = [=](DialogId dialog, engine::Fractal& fractal) {
                EXPECT_EQ(dialog, DialogId::View);
                char text[4][40];
                const double edges[4] = {x1, x2, y1, y2};
                for (int i = 0; i < 4; ++i)
                    std::snprintf(text[i], sizeof text[i], "%.17g", edges[i]);
                return app::ViewDialog::ok(app::ViewForm{text[0], text[1], text[2], text[3]},
                                           fractal);
            };
            rig.command(app::IDM_VIEW);
        };
    };
    const struct {
        const char* name;
        double ulpsPerPixel;  // of the view before
        std::function<void(Rig&)> zoom;
        bool refused;
    } cases[] = {
        // Escape-time types go on by perturbation below the depth double resolves.
        {"selection", 3.0,
         [](Rig& rig) {
             selectAndZoom(rig, {10, 8}, {40, 30});
             EXPECT_NE(rig.fractal().deepView(), nullptr);
         },
         false},
        {"View dialog", 3.0, viewDialogOk(1.5, 0.5, 1.5 + 16 * unit, 0.5 + 12 * unit), true},
        {"selection within the depth", 1e4,
         [](Rig& rig) {
             selectAndZoom(rig, {10, 8}, {40, 30});
         },
         false},
        {"View dialog within the depth", 1e4,
         viewDialogOk(1.5, 0.5, 1.5 + 1e4 * unit, 0.5 + 1e4 * unit), false},
        {"zoom out of a view too deep", 0.5, [](Rig& rig) { rig.command(app::IDM_ZOOM_OUT); },
         false},
        {"zoom previous out of a view too deep", 0.5,
         [](Rig& rig) { rig.command(app::IDM_ZOOM_PREVIOUS); }, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig;  // 64 x 48
        rig.startAndPump();
        rig.fractal().pushView();
        const double halfWidth = c.ulpsPerPixel * unit * 32;
        const double halfHeight = c.ulpsPerPixel * unit * 24;
        showView(rig.fractal(), 1.5 - halfWidth, 0.5 - halfHeight, 1.5 + halfWidth,
                 0.5 + halfHeight);
        waitFinished(rig.fractal());
        ASSERT_TRUE(rig.fractal().isFinished());
        const view::ViewWindow before = rig.fractal().view();
        const int history = rig.fractal().history.count();

        c.zoom(rig);

        EXPECT_FALSE(rig.mainWindow->selecting());
        if (c.refused) {
            EXPECT_EQ(rig.shell.messages,
                      std::vector<std::string>{"The view cannot be zoomed in further: double "
                                               "precision cannot tell its pixels apart."});
            EXPECT_TRUE(sameView(rig.fractal().view(), before));
            EXPECT_EQ(rig.fractal().history.count(), history);
            EXPECT_TRUE(rig.fractal().isFinished());  // no new run
        } else {
            EXPECT_TRUE(rig.shell.messages.empty());
            EXPECT_FALSE(sameView(rig.fractal().view(), before));
        }
    }
}

// Open reads the file on a job of its own: the window keeps its picture until the file
// has been read, and a cancelled read changes nothing.
TEST(MainWindowFiles, OpenReadsOnAJobThatCanBeCancelled) {
    struct Case {
        const char* what;
        bool large;   // a picture of 2000 x 2000 pixels rather than the window's
        bool cancel;  // the read is cancelled at once
        bool opened;
    };
    const Case cases[] = {
        {"a picture opens through the job", false, false, true},
        {"a cancelled read leaves the picture shown", true, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Rig saver(engine::kJulia, c.large ? 2000 : 64, c.large ? 2000 : 48);
        saver.startAndPump();
        ASSERT_TRUE(waitFinished(saver.fractal(), std::chrono::minutes(2)));
        const std::string path = saver.folder.file("julia.png");
        ASSERT_EQ(saver.fractal().saveImage(path), engine::kStatusOk);

        Rig rig(engine::kMandelbrot);
        rig.startAndPump();
        rig.shell.fileAnswers.push_back(FileChoice{path, ""});
        rig.send(app::WM_COMMAND, app::IDM_OPEN);
        ASSERT_NE(rig.mainWindow->openJob(), nullptr);
        EXPECT_EQ(rig.fractal().type, engine::kMandelbrot);  // nothing changed yet
        if (c.cancel)
            rig.mainWindow->openJob()->cancel();
        rig.pump();
        EXPECT_EQ(rig.mainWindow->openJob(), nullptr);
        EXPECT_TRUE(rig.shell.messages.empty());
        EXPECT_EQ(rig.fractal().type, c.opened ? engine::kJulia : engine::kMandelbrot);
    }
}

}  // namespace
