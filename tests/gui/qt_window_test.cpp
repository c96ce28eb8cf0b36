// The picture area's message delivery and the single-instance handshake.
#include <QSignalSpy>
#include <QTest>
#include <QUuid>
#include <vector>

#include "app/messages.h"
#include "gui/qt_window.h"
#include "gui/single_instance.h"

class QtWindowTest : public QObject {
    Q_OBJECT

  private slots:
    void postedMessagesWaitUntilTheProcedureReturns() {
        gui::QtWindow window;
        std::vector<QString> order;
        window.setProcedure([&](unsigned message, std::uintptr_t, std::intptr_t) -> std::intptr_t {
            if (message == app::WM_COMMAND) {
                order.push_back(QStringLiteral("command begins"));
                window.postMessage(app::WM_TIMER, 2, 0);
                // An animation frame's pause lets the screen repaint, but not the procedure run.
                window.pause(30);
                window.send(app::WM_KEYDOWN, 'A', 0);
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
        QCOMPARE(order, (std::vector<QString>{"command begins", "command ends", "timer", "key"}));
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

    void aSecondStartAsksTheFirstToComeToTheFront() {
        const QString name =
            QStringLiteral("corvane-test-") + QUuid::createUuid().toString(QUuid::Id128);
        gui::SingleInstance first(name);
        QVERIFY(!first.askRunningInstance());
        QVERIFY(first.listen());
        QSignalSpy raised(&first, &gui::SingleInstance::activationRequested);

        gui::SingleInstance second(name);
        QVERIFY(second.askRunningInstance());
        QVERIFY(raised.wait(2000));
    }

    void instancesAreSeparatedBySettingsStore() {
        QCOMPARE(gui::SingleInstance::nameFor("/a/Corvane.reg"),
                 gui::SingleInstance::nameFor("/a/Corvane.reg"));
        QVERIFY(gui::SingleInstance::nameFor("/a/Corvane.reg") !=
                gui::SingleInstance::nameFor("/b/Corvane.reg"));
    }
};

QTEST_MAIN(QtWindowTest)
#include "qt_window_test.moc"
