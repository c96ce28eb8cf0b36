// Navigation in the real window: the wheel, the keys and dragging reach the window
// procedure and move the view.
#include <QApplication>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QTest>
#include <QWheelEvent>
#include <clocale>
#include <memory>

#include "gui/application.h"
#include "gui/main_frame.h"
#include "platform/settings_store.h"

namespace {

const std::string kKey = "Software\\Velk\\Corvane";
// Longer than the rest that ends a run of steps.
constexpr int kRestWaitMs = 600;

}  // namespace

class NavigationTest : public QObject {
    Q_OBJECT

  private:
    struct Program {
        Program() {
            store.write(kKey, "ImagePath",
                        platform::SettingsValue::ofText(folder.filePath("pictures").toStdString()));
            store.write(kKey, "AnimZoom", platform::SettingsValue::ofNumber(0));
            store.write(kKey, "WindowWidth", platform::SettingsValue::ofNumber(200));
            store.write(kKey, "WindowHeight", platform::SettingsValue::ofNumber(150));
            application = std::make_unique<gui::Application>(store);
            application->shell().setQuitHandler([](int) {});
            application->start();
        }
        engine::Fractal* fractal() { return application->mainWindow().currentFractal(); }
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
        bool waitForRun() {
            QTest::qWait(kRestWaitMs);
            return fractal()->isRunning() || fractal()->isFinished();
        }

        QTemporaryDir folder;
        platform::MemorySettingsStore store;
        std::unique_ptr<gui::Application> application;
    };

    static void mouse(QWidget& target, QEvent::Type type, Qt::MouseButton button,
                      Qt::MouseButtons held, QPoint at) {
        QMouseEvent event(type, QPointF(at), target.mapToGlobal(QPointF(at)), button, held,
                          Qt::NoModifier);
        QApplication::sendEvent(&target, &event);
    }

  private slots:
    void initTestCase() { std::setlocale(LC_NUMERIC, "C"); }

    void wheelKeysAndDragMoveTheView() {
        Program program;
        QVERIFY(program.waitForFractal());
        gui::QtWindow& picture = program.application->picture();
        const int history = program.fractal()->history.count();

        // Three notches in at (50, 40): the plane point there stays there.
        const QPoint at(50, 40);
        const view::ViewWindow start = program.fractal()->view();
        for (int i = 0; i < 3; ++i) {
            QWheelEvent wheel(QPointF(at), picture.mapToGlobal(QPointF(at)), QPoint(),
                              QPoint(0, 120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase,
                              false);
            QApplication::sendEvent(&picture, &wheel);
        }
        QVERIFY(program.waitForRun());
        const view::ViewWindow& zoomed = program.fractal()->view();
        QCOMPARE(program.fractal()->history.count(), history + 1);
        QVERIFY(std::abs(zoomed.planeX(at.x()) - start.planeX(at.x())) < zoomed.xscale * 1e-3);
        QVERIFY(std::abs(zoomed.planeY(at.y()) - start.planeY(at.y())) < zoomed.yscale * 1e-3);
        QVERIFY(std::abs(start.xrange / zoomed.xrange - 1.25 * 1.25 * 1.25) < 1e-9);

        // The right arrow key pans by an eighth; Backspace goes back.
        const view::ViewWindow beforeKey = program.fractal()->view();
        QTest::keyClick(&program.application->frame(), Qt::Key_Right);
        QVERIFY(program.waitForRun());
        QVERIFY(std::abs(program.fractal()->view().xcenter -
                         (beforeKey.xcenter + beforeKey.xrange / 8)) < beforeKey.xscale * 1e-3);
        QTest::keyClick(&program.application->frame(), Qt::Key_Backspace);
        QVERIFY(view::ViewWindow::sameView(program.fractal()->view(), beforeKey));
        // Alt+Right goes forward again, Alt+Left back; neither pans.
        const view::ViewWindow panned = program.fractal()->view();
        QTest::keyClick(&program.application->frame(), Qt::Key_Right, Qt::AltModifier);
        QVERIFY(std::abs(program.fractal()->view().xcenter -
                         (beforeKey.xcenter + beforeKey.xrange / 8)) < beforeKey.xscale * 1e-3);
        QTest::keyClick(&program.application->frame(), Qt::Key_Left, Qt::AltModifier);
        QVERIFY(view::ViewWindow::sameView(program.fractal()->view(), panned));
        // + on the keypad zooms in at the centre.
        QTest::keyClick(&program.application->frame(), Qt::Key_Plus, Qt::KeypadModifier);
        QVERIFY(program.waitForRun());
        QVERIFY(std::abs(beforeKey.xrange / program.fractal()->view().xrange - 1.5) < 1e-9);

        // A drag with the middle button moves the picture with the pointer.
        const view::ViewWindow beforeDrag = program.fractal()->view();
        mouse(picture, QEvent::MouseButtonPress, Qt::MiddleButton, Qt::MiddleButton, {100, 80});
        mouse(picture, QEvent::MouseMove, Qt::NoButton, Qt::MiddleButton, {110, 75});
        mouse(picture, QEvent::MouseMove, Qt::NoButton, Qt::MiddleButton, {130, 60});
        mouse(picture, QEvent::MouseButtonRelease, Qt::MiddleButton, Qt::NoButton, {130, 60});
        const view::ViewWindow& dragged = program.fractal()->view();
        QVERIFY(std::abs(dragged.xmin - (beforeDrag.xmin - 30 * beforeDrag.xscale)) <
                beforeDrag.xscale * 1e-3);
        QVERIFY(std::abs(dragged.ymin - (beforeDrag.ymin - 20 * beforeDrag.yscale)) <
                beforeDrag.yscale * 1e-3);
        QVERIFY(program.fractal()->isRunning() || program.fractal()->isFinished());

        // The status bar ends on the finished picture.
        gui::MainFrame& frame = program.application->frame();
        QVERIFY2(QTest::qWaitFor([&] { return frame.statusText().contains("Done in"); }, 5000),
                 qPrintable(frame.statusText()));
        // A narrow bar keeps the time and the rate; a wide one shows every field.
        QVERIFY2(
            frame.statusText().startsWith("Done in") && frame.statusText().endsWith("iterations/s"),
            qPrintable(frame.statusText()));
        frame.resize(1200, frame.height());
        QVERIFY2(QTest::qWaitFor(
                     [&] {
                         return frame.statusText().startsWith("Mandelbrot | Relief") &&
                                frame.statusText().contains("Done in");
                     },
                     5000),
                 qPrintable(frame.statusText()));
    }
};

QTEST_MAIN(NavigationTest)
#include "navigation_test.moc"
