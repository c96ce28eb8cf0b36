// The picture area's message delivery and repainting, and the running program's side
// of the single-instance handshake.
#include <QElapsedTimer>
#include <QLocalSocket>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <future>
#include <thread>
#include <vector>

#include "app/messages.h"
#include "gui/qt_window.h"
#include "gui/single_instance.h"
#include "platform/instance_handshake.h"

class QtWindowTest : public QObject {
    Q_OBJECT

  private slots:
    void postedMessagesWaitUntilTheProcedureReturns() {
        gui::QtWindow window;
        std::vector<QString> order;
        bool keyWaited = false;
        window.setProcedure([&](unsigned message, std::uintptr_t, std::intptr_t) -> std::intptr_t {
            if (message == app::WM_COMMAND) {
                order.push_back(QStringLiteral("command begins"));
                window.postMessage(app::WM_TIMER, 2, 0);
                // An animation frame's pause lets the screen repaint, but not the procedure run.
                window.pause(30);
                window.send(app::WM_KEYDOWN, 'A', 0);
                keyWaited = window.inputWaiting();
                order.push_back(QStringLiteral("command ends"));
            } else if (message == app::WM_TIMER) {
                order.push_back(QStringLiteral("timer"));
            } else if (message == app::WM_KEYDOWN) {
                order.push_back(QStringLiteral("key"));
            }
            return 0;
        });
        window.send(app::WM_COMMAND, 1, 0);
        QVERIFY(QTest::qWaitFor([&] { return order.size() == 4; }, 2000));
        // The user's key goes ahead of the tick that was waiting before it.
        QCOMPARE(order, (std::vector<QString>{"command begins", "command ends", "key", "timer"}));
        QVERIFY(keyWaited);
        QVERIFY(!window.inputWaiting());
    }

    // A key or click during an animation's pause ends the pause at once; later pauses of
    // the same animation do not wait while the input does.
    void inputEndsThePauseItArrivesIn() {
        gui::QtWindow window;
        qint64 firstPauseMs = -1;
        qint64 secondPauseMs = -1;
        std::vector<unsigned> delivered;
        window.setProcedure([&](unsigned message, std::uintptr_t, std::intptr_t) -> std::intptr_t {
            delivered.push_back(message);
            if (message != app::WM_COMMAND)
                return 0;
            QTimer::singleShot(20, &window, [&] { window.send(app::WM_LBUTTONDOWN, 1, 0); });
            QElapsedTimer clock;
            clock.start();
            window.pause(20000);
            firstPauseMs = clock.restart();
            window.pause(20000);
            secondPauseMs = clock.elapsed();
            return 0;
        });
        window.send(app::WM_COMMAND, 1, 0);
        QVERIFY2(firstPauseMs < 10000, qPrintable(QString::number(firstPauseMs)));
        QVERIFY2(secondPauseMs < 10000, qPrintable(QString::number(secondPauseMs)));
        QVERIFY(QTest::qWaitFor([&] { return delivered.size() == 2; }, 2000));
        QCOMPARE(delivered.back(), unsigned{app::WM_LBUTTONDOWN});
    }

    // A finished picture costs no repaints and no timer; drawing, from the worker or
    // the user-interface thread, brings the repainting back until it is shown.
    void theRepaintTimerSleepsUntilSomethingIsDrawn() {
        gui::QtWindow window;
        window.resize(64, 48);
        window.resizeSurface(64, 48);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QVERIFY(QTest::qWaitFor([&] { return !window.repaintScheduled(); }, 2000));
        const struct {
            const char* name;
            bool fromWorker;
        } cases[] = {{"user-interface thread", false}, {"worker thread", true}};
        for (const auto& c : cases) {
            const int frames = window.frameCount();
            const auto draw = [&] {
                window.surface().setPixel(3, 4, platform::rgb(200, 0, 0));
                window.markDirty();
            };
            if (c.fromWorker) {
                std::thread(draw).join();
            } else {
                draw();
            }
            QVERIFY2(QTest::qWaitFor([&] { return window.frameCount() > frames; }, 2000), c.name);
            QVERIFY2(QTest::qWaitFor([&] { return !window.repaintScheduled(); }, 2000), c.name);
            const int shown = window.frameCount();
            QTest::qWait(150);
            QCOMPARE(window.frameCount(), shown);
        }
    }

    void invalidationsBecomeOnePaintWithTheirUnion() {
        gui::QtWindow window;
        window.resizeSurface(100, 80);
        std::vector<std::pair<std::uintptr_t, std::intptr_t>> paints;
        window.setProcedure(
            [&](unsigned message, std::uintptr_t w, std::intptr_t l) -> std::intptr_t {
                if (message == app::WM_PAINT)
                    paints.emplace_back(w, l);
                return 0;
            });
        const platform::Rect first{10, 20, 30, 40};
        const platform::Rect second{50, 5, 60, 25};
        window.invalidate(&first, false);
        window.invalidate(&second, false);
        QVERIFY(QTest::qWaitFor([&] { return !paints.empty(); }, 2000));
        QTest::qWait(20);
        QCOMPARE(paints.size(), std::size_t{1});
        QCOMPARE(paints[0].first, static_cast<std::uintptr_t>(app::makeLParam(10, 5)));
        QCOMPARE(paints[0].second, app::makeLParam(60, 40));
    }

    void windowTimersPostTheirId() {
        gui::QtWindow window;
        std::vector<std::uintptr_t> ticks;
        window.setProcedure(
            [&](unsigned message, std::uintptr_t w, std::intptr_t) -> std::intptr_t {
                if (message == app::WM_TIMER)
                    ticks.push_back(w);
                return 0;
            });
        QVERIFY(window.setTimer(2, 20));
        QVERIFY(QTest::qWaitFor([&] { return ticks.size() >= 2; }, 2000));
        window.killTimer(2);
        const std::size_t count = ticks.size();
        QTest::qWait(80);
        QCOMPARE(ticks.size(), count);
        QCOMPARE(ticks.front(), std::uintptr_t{2});
    }

    // A slideshow picture that animates for longer than the slideshow's delay: the
    // ticks that come meanwhile wait as one, not as a growing pile.
    void ticksWhileTheProcedureIsBusyWaitAsOne() {
        gui::QtWindow window;
        int ticks = 0;
        int ticksAtKill = 0;
        window.setProcedure([&](unsigned message, std::uintptr_t, std::intptr_t) -> std::intptr_t {
            if (message == app::WM_TIMER) {
                ++ticks;
                window.pause(60);  // three timer periods
                if (ticks == 5) {
                    window.killTimer(2);
                    ticksAtKill = ticks;
                }
            }
            return 0;
        });
        QVERIFY(window.setTimer(2, 20));
        QVERIFY(QTest::qWaitFor([&] { return ticksAtKill > 0; }, 3000));
        QTest::qWait(300);
        QVERIFY2(ticks <= ticksAtKill + 1, qPrintable(QString::number(ticks - ticksAtKill)));
    }

    // Keys, clicks and paints arrive through the event loop: it gets a turn between
    // any two queued messages.
    void theEventLoopRunsBetweenQueuedMessages() {
        gui::QtWindow window;
        std::vector<QString> order;
        window.setProcedure(
            [&](unsigned message, std::uintptr_t w, std::intptr_t) -> std::intptr_t {
                if (message == app::WM_COMMAND)
                    order.push_back(QString::number(w));
                return 0;
            });
        for (unsigned id = 1; id <= 3; ++id)
            window.postMessage(app::WM_COMMAND, id, 0);
        QMetaObject::invokeMethod(
            &window, [&] { order.push_back(QStringLiteral("event")); }, Qt::QueuedConnection);
        QVERIFY(QTest::qWaitFor([&] { return order.size() == 4; }, 2000));
        QCOMPARE(order, (std::vector<QString>{"1", "event", "2", "3"}));
    }

    // Only the exact question is answered, with the answer that names the program; the
    // window is asked to come to the front only then.
    void theRunningProgramAnswersOnlyTheRaiseRequest() {
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("instance.socket"));
        gui::SingleInstance instance(path);
        QVERIFY(instance.listen());
        QSignalSpy raised(&instance, &gui::SingleInstance::activationRequested);

        const struct {
            QByteArray request;
            QByteArray answer;
        } cases[] = {
            {QByteArray(platform::kRaiseRequest.data()), QByteArray(platform::kRaiseAnswer.data())},
            {QByteArrayLiteral("hello\n"), QByteArray()},
            {QByteArrayLiteral("raise now\n"), QByteArray()},
        };
        for (const auto& c : cases) {
            QLocalSocket socket;
            socket.connectToServer(path);
            QVERIFY(socket.waitForConnected(2000));
            socket.write(c.request);
            QByteArray answer;
            QVERIFY(QTest::qWaitFor(
                [&] {
                    answer += socket.readAll();
                    return socket.state() == QLocalSocket::UnconnectedState;
                },
                3000));
            QCOMPARE(answer, c.answer);
        }
        QCOMPARE(raised.count(), 1);

        // The client of a later start, which asks without an event loop of its own.
        auto asked = std::async(std::launch::async, [&] {
            return platform::askInstanceToRaise(path.toStdString(), std::chrono::seconds(5));
        });
        QVERIFY(QTest::qWaitFor(
            [&] { return asked.wait_for(std::chrono::seconds(0)) == std::future_status::ready; },
            6000));
        QVERIFY(asked.get());
        QCOMPARE(raised.count(), 2);
    }
};

QTEST_MAIN(QtWindowTest)
#include "qt_window_test.moc"
