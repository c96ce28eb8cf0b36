// The real main window: menus, toolbar, the stylus zoom, the title in select mode,
// repainting, resizing and closing.
#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QSet>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <clocale>
#include <csignal>
#include <memory>
#include <optional>

#include "app/messages.h"
#include "gui/application.h"
#include "gui/help_window.h"
#include "gui/termination_signal.h"
#include "platform/settings_store.h"

namespace {

const std::string kKey = "Software\\Velk\\Corvane";

QStringList actionTexts(const QList<QAction*>& actions) {
    QStringList texts;
    for (const QAction* action : actions) {
        texts << (action->isSeparator() ? QStringLiteral("-") : action->text().remove('&'));
    }
    return texts;
}

}  // namespace

class MainFrameTest : public QObject {
    Q_OBJECT

  private:
    // The whole program on a settings store in memory.
    struct Program {
        explicit Program(engine::FractalType type, QSize size = QSize(200, 150),
                         std::optional<QPoint> position = std::nullopt) {
            if (position) {
                store.write(
                    kKey, "WindowLeft",
                    platform::SettingsValue::ofNumber(static_cast<std::uint32_t>(position->x())));
                store.write(
                    kKey, "WindowTop",
                    platform::SettingsValue::ofNumber(static_cast<std::uint32_t>(position->y())));
            }
            store.write(kKey, "ImagePath",
                        platform::SettingsValue::ofText(folder.filePath("pictures").toStdString()));
            store.write(kKey, "AnimZoom", platform::SettingsValue::ofNumber(0));
            store.write(kKey, "Fractal",
                        platform::SettingsValue::ofNumber(static_cast<std::uint32_t>(type)));
            store.write(
                kKey, "WindowWidth",
                platform::SettingsValue::ofNumber(static_cast<std::uint32_t>(size.width())));
            store.write(
                kKey, "WindowHeight",
                platform::SettingsValue::ofNumber(static_cast<std::uint32_t>(size.height())));
            application = std::make_unique<gui::Application>(store);
            application->shell().setQuitHandler([this](int code) { quitCodes << code; });
            application->start();
        }
        engine::Fractal* fractal() { return application->mainWindow().currentFractal(); }
        // Waits until the window has settled at its size and its fractal exists.
        bool waitForFractal() {
            gui::QtWindow& picture = application->picture();
            QTest::qWait(gui::QtWindow::kResizeSettleMs + 100);
            return QTest::qWaitFor(
                [&] {
                    return fractal() != nullptr && fractal()->width == picture.width() &&
                           fractal()->height == picture.height();
                },
                5000);
        }

        QTemporaryDir folder;
        platform::MemorySettingsStore store;
        std::unique_ptr<gui::Application> application;
        QList<int> quitCodes;
    };

  private slots:
    void initTestCase() { std::setlocale(LC_NUMERIC, "C"); }

    void menusHoldTheCommandsInOrder() {
        Program program(engine::kMandelbrot);
        gui::MainFrame& frame = program.application->frame();
        QCOMPARE(frame.windowTitle(), QStringLiteral("Corvane"));
        QVERIFY(!frame.windowIcon().isNull());
        QCOMPARE(actionTexts(frame.menuBar()->actions()),
                 QStringList({"File", "Edit", "Fractal", "Locations", "Help"}));
        QCOMPARE(actionTexts(frame.editMenu()->actions()),
                 QStringList({"Copy Location", "Paste Location"}));
        QCOMPARE(actionTexts(frame.locationsMenu()->actions()),
                 QStringList({"Add Bookmark...", "Rename Bookmark...", "Delete Bookmark...", "-"}));
        QCOMPARE(actionTexts(frame.fileMenu()->actions()),
                 QStringList({"Open...", "Save...", "Export...", "Slideshow...", "Load Palette...",
                              "Gradient Editor...", "Palette", "Options...", "-", "Exit"}));
        QCOMPARE(actionTexts(frame.fractalMenu()->actions()),
                 QStringList({"Type...", "View...", "Parameters...", "Statistics", "Colouring", "-",
                              "Back\tAlt+Left", "Forward\tAlt+Right", "Find Nearest Minibrot", "-",
                              "Stop\tEsc", "Continue", "Clear Screen"}));
        QCOMPARE(actionTexts(frame.helpMenu()->actions()), QStringList({"Contents", "About"}));
        // Every item has an access key, none twice in a menu.
        for (const QMenu* menu : {frame.fileMenu(), frame.editMenu(), frame.fractalMenu(),
                                  frame.locationsMenu(), frame.helpMenu()}) {
            QSet<QChar> keys;
            for (const QAction* action : menu->actions()) {
                if (action->isSeparator())
                    continue;
                const qsizetype amp = action->text().indexOf('&');
                QVERIFY2(amp >= 0, qPrintable(action->text()));
                const QChar accessKey = action->text().at(amp + 1).toLower();
                QVERIFY2(!keys.contains(accessKey), qPrintable(action->text()));
                keys.insert(accessKey);
            }
        }
        const struct {
            unsigned id;
            QKeySequence shortcut;
        } shortcuts[] = {
            {app::IDM_ABOUT, QKeySequence(Qt::CTRL | Qt::Key_A)},
            {app::IDM_CTRL_Q, QKeySequence(Qt::CTRL | Qt::Key_Q)},
            {app::IDM_OPEN, QKeySequence(Qt::CTRL | Qt::Key_O)},
            {app::IDM_SAVE, QKeySequence(Qt::CTRL | Qt::Key_S)},
            {app::IDM_EXIT, QKeySequence(Qt::ALT | Qt::Key_F4)},
            {app::IDM_COPY_LOCATION, QKeySequence(Qt::CTRL | Qt::Key_C)},
            {app::IDM_PASTE_LOCATION, QKeySequence(Qt::CTRL | Qt::Key_V)},
            {app::IDM_ADD_BOOKMARK, QKeySequence(Qt::CTRL | Qt::Key_D)},
        };
        for (const auto& row : shortcuts)
            QCOMPARE(frame.commandAction(row.id)->shortcut(), row.shortcut);
        QCOMPARE(frame.helpMenu()->actions().front()->shortcut(), QKeySequence(Qt::Key_F1));
    }

    // The Palette menu lists the built-in colours and the palettes that come with the
    // program; one click switches, and the menu checks the colours shown.
    void paletteMenuSwitchesWithOneClick() {
        qputenv("CORVANE_PALETTES", CORVANE_SOURCE_DIR "/resources/palettes");
        Program program(engine::kMandelbrot);
        qunsetenv("CORVANE_PALETTES");
        QVERIFY(program.waitForFractal());
        gui::MainFrame& frame = program.application->frame();
        QMenu* menu = frame.paletteMenu();
        QCOMPARE(actionTexts(menu->actions()),
                 QStringList(
                     {"Built-in", "Fire", "Grey", "High contrast", "Ocean", "Pastel", "Rainbow"}));
        const auto checked = [&] {
            emit menu->aboutToShow();
            QStringList texts;
            for (const QAction* action : menu->actions()) {
                if (action->isChecked())
                    texts << action->text().remove('&');
            }
            return texts;
        };
        QCOMPARE(checked(), QStringList({"Built-in"}));
        menu->actions().at(4)->trigger();
        QVERIFY(program.fractal()->folders.palette.ends_with("/ocean.pal"));
        QCOMPARE(checked(), QStringList({"Ocean"}));
        menu->actions().at(0)->trigger();
        QCOMPARE(program.fractal()->numColors, 255);
        QCOMPARE(checked(), QStringList({"Built-in"}));
    }

    void toolbarShowsTheFourImageButtons() {
        Program program(engine::kMandelbrot);
        const QList<QAction*> buttons = program.application->frame().imageButtons()->actions();
        QStringList tips;
        for (const QAction* button : buttons) {
            tips << button->toolTip();
            const QIcon icon = button->icon();
            QVERIFY(!icon.isNull());
            // Drawn for high-density screens, not scaled up.
            QCOMPARE(icon.pixmap(QSize(16, 16), 2.0).size(), QSize(32, 32));
        }
        QCOMPARE(tips, QStringList({"Select zoom area", "Zoom out", "Zoom previous",
                                    "Turn off the display"}));
    }

    void selectModeShowsItsTitle() {
        Program program(engine::kMandelbrot);
        QVERIFY(program.waitForFractal());
        gui::MainFrame& frame = program.application->frame();
        frame.commandAction(app::IDM_SELECT_ZOOM)->trigger();
        QCOMPARE(frame.windowTitle(), QStringLiteral("Select area:"));
        frame.commandAction(app::IDM_SELECT_ZOOM)->trigger();
        QCOMPARE(frame.windowTitle(), QStringLiteral("Mandelbrot - Corvane"));
    }

    void aDragZoomsToTheSelectedRectangle() {
        Program program(engine::kMandelbrot);
        QVERIFY(program.waitForFractal());
        gui::QtWindow& picture = program.application->picture();
        engine::Fractal& fractal = *program.fractal();
        const view::ViewWindow before = fractal.view();
        const int height = fractal.height;

        program.application->frame().commandAction(app::IDM_SELECT_ZOOM)->trigger();
        QTest::mousePress(&picture, Qt::LeftButton, {}, QPoint(60, 40));
        QTest::mouseMove(&picture, QPoint(80, 60));
        QTest::mouseMove(&picture, QPoint(20, 90));
        QTest::mouseRelease(&picture, Qt::LeftButton, {}, QPoint(20, 90));

        view::ViewWindow expected = before;
        expected.setRect(before.planeX(60), before.planeY(40), before.planeX(20),
                         before.planeY(90));
        QCOMPARE(fractal.view().xmin, expected.xmin);
        QCOMPARE(fractal.view().xmax, expected.xmax);
        QCOMPARE(fractal.view().ymin, expected.ymin);
        QCOMPARE(fractal.view().ymax, expected.ymax);
        QCOMPARE(fractal.height, height);
        QCOMPARE(program.application->frame().windowTitle(),
                 QStringLiteral("Mandelbrot - Corvane"));
    }

    void theGrowingPictureIsRepaintedAtAModestRate() {
        Program program(engine::kHopalong);
        QVERIFY(program.waitForFractal());
        gui::QtWindow& picture = program.application->picture();
        const int framesBefore = picture.frameCount();
        QElapsedTimer clock;
        clock.start();
        QTest::qWait(600);
        const int frames = picture.frameCount() - framesBefore;
        const double seconds = clock.elapsed() / 1000.0;
        QVERIFY2(frames >= 3, qPrintable(QString::number(frames)));
        QVERIFY2(frames <= seconds * 70 + 5, qPrintable(QString::number(frames)));

        // What the screen shows is the window's pixels.
        engine::Fractal& fractal = *program.fractal();
        fractal.stopCalculation();
        picture.flush();
        const QImage shown = picture.grab().toImage().convertToFormat(QImage::Format_RGB32);
        int differences = 0;
        int coloured = 0;
        for (int y = 0; y < fractal.height; y += 3) {
            for (int x = 0; x < fractal.width; x += 3) {
                const platform::Color c = picture.surface().pixel(x, y);
                const QRgb q = shown.pixel(x, y);
                if (qRed(q) != int(platform::redOf(c)) || qGreen(q) != int(platform::greenOf(c)) ||
                    qBlue(q) != int(platform::blueOf(c))) {
                    ++differences;
                }
                if (c != platform::kWhite)
                    ++coloured;
            }
        }
        QCOMPARE(differences, 0);
        QVERIFY(coloured > 0);
    }

    void aSettledResizeRecreatesTheFractalAtTheNewSize() {
        Program program(engine::kHopalong);
        QVERIFY(program.waitForFractal());
        gui::MainFrame& frame = program.application->frame();
        frame.resize(frame.size() + QSize(40, 30));
        gui::QtWindow& picture = program.application->picture();
        QVERIFY(QTest::qWaitFor(
            [&] {
                engine::Fractal* f = program.fractal();
                return f != nullptr && f->width == picture.width() && f->height == picture.height();
            },
            5000));
        QCOMPARE(program.fractal()->type, engine::kHopalong);
        QCOMPARE(picture.surface().width(), picture.width());
        QCOMPARE(program.store.read(kKey, "WindowWidth"),
                 platform::SettingsValue::ofNumber(static_cast<std::uint32_t>(picture.width())));
    }

    void displayOffWithoutPowerManagementLeavesTheDisplayOn() {
        Program program(engine::kMandelbrot);
        QVERIFY(program.waitForFractal());
        program.application->frame().commandAction(app::IDM_DISPLAY_OFF)->trigger();
        if (QGuiApplication::platformName() != QLatin1String("xcb")) {
            QVERIFY(!program.application->mainWindow().displayOff());
        }
    }

    void whileTheDisplayIsOffAShortcutIsOnlyAKey() {
        Program program(engine::kMandelbrot);
        QVERIFY(program.waitForFractal());
        gui::MainFrame& frame = program.application->frame();
        frame.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&frame));  // shortcuts work in the active window
        bool displayOff = true;
        frame.setDisplayOffQuery([&] { return displayOff; });
        QSignalSpy about(frame.commandAction(app::IDM_ABOUT), &QAction::triggered);
        QTest::keyClick(&program.application->picture(), Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(about.count(), 0);

        // With the display on, the same keys are the About command. Its dialog is closed
        // as soon as it is up.
        displayOff = false;
        QTimer::singleShot(300, [] {
            if (QWidget* dialog = QApplication::activeModalWidget())
                dialog->close();
        });
        QTest::keyClick(&program.application->picture(), Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(about.count(), 1);
    }

    void f1OpensTheHelpAtItsContents() {
        Program program(engine::kMandelbrot);
        QVERIFY(program.waitForFractal());
        program.application->picture().send(app::WM_HELP, 0, 0);
        gui::HelpWindow* help = program.application->shell().helpWindow();
        QVERIFY(help != nullptr);
        QVERIFY(help->isVisible());
        QCOMPARE(help->source().fragment(), QStringLiteral("Contents"));
        QVERIFY(help->toPlainText().contains(QStringLiteral("Mandelbrot")));

        // Asked for again while minimised, it comes back.
        help->showMinimized();
        QVERIFY(help->isMinimized());
        program.application->picture().send(app::WM_HELP, 0, 0);
        QVERIFY(!help->isMinimized());
        QVERIFY(help->isVisible());

        // Escape closes it, as it closes a dialog.
        help->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(help));
        QTest::keyClick(help, Qt::Key_Escape);
        QTRY_VERIFY(!help->isVisible());
    }

    // A stored position is restored, moved back onto the screen when it would hang off.
    void aStoredPositionIsKeptOnScreen() {
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        const struct {
            QPoint stored;
            QPoint expected;
        } cases[] = {
            {screen.topLeft() + QPoint(30, 20), screen.topLeft() + QPoint(30, 20)},
            {QPoint(screen.right() - 50, screen.top() - 40),
             QPoint(-1, screen.top())},  // x: flush with the right edge
        };
        for (const auto& c : cases) {
            Program program(engine::kMandelbrot, QSize(200, 150), c.stored);
            const QRect frame = program.application->frame().frameGeometry();
            // The position stored is the client area's, below the title bar.
            if (c.expected.x() >= 0)
                QCOMPARE(program.application->frame().geometry().topLeft(), c.expected);
            else
                QVERIFY(screen.contains(frame.topRight()) && frame.top() == c.expected.y());
        }
    }

    void threeRestartsLeaveTheWindowWhereItWas() {
        const QPoint first =
            QGuiApplication::primaryScreen()->availableGeometry().topLeft() + QPoint(60, 80);
        QPoint stored = first;
        for (int start = 0; start < 3; ++start) {
            Program program(engine::kMandelbrot, QSize(200, 150), stored);
            QVERIFY(program.waitForFractal());
            program.application->rememberWindowPosition();
            const auto left = program.store.read(kKey, "WindowLeft");
            const auto top = program.store.read(kKey, "WindowTop");
            QVERIFY(left && top);
            stored = QPoint(static_cast<std::int32_t>(left->number),
                            static_cast<std::int32_t>(top->number));
            QCOMPARE(stored, first);
        }
    }

    void closingStoresTheTypeAndQuits() {
        Program program(engine::kJulia);
        QVERIFY(program.waitForFractal());
        program.application->frame().close();
        QCOMPARE(program.quitCodes, QList<int>({0}));
        QCOMPARE(program.store.read(kKey, "Fractal"),
                 platform::SettingsValue::ofNumber(engine::kJulia));
        QVERIFY(program.fractal() == nullptr);
    }

    // A logout sends SIGTERM: the program ends as Exit does, even with a dialog open.
    void aTerminationSignalEndsTheProgramAsExitDoes() {
        for (const bool dialogOpen : {false, true}) {
            Program program(engine::kSpider);
            QVERIFY(program.waitForFractal());
            gui::TerminationSignal termination;
            QVERIFY(termination.installed());
            connect(&termination, &gui::TerminationSignal::received, program.application.get(),
                    &gui::Application::closeOrderly);
            if (dialogOpen) {
                QTimer::singleShot(200, [] { ::raise(SIGTERM); });
                // Returns once the dialog has been cancelled.
                program.application->picture().send(app::WM_COMMAND, app::IDM_ABOUT, 0);
            } else {
                ::raise(SIGTERM);
            }
            QTRY_COMPARE(program.quitCodes, QList<int>({0}));
            QCOMPARE(program.store.read(kKey, "Fractal"),
                     platform::SettingsValue::ofNumber(engine::kSpider));
            QVERIFY(program.store.read(kKey, "Spider").has_value());
            QVERIFY(program.fractal() == nullptr);
        }
    }
};

QTEST_MAIN(MainFrameTest)
#include "main_frame_test.moc"
