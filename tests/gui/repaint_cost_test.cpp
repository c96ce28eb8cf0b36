// What showing the growing picture costs the worker, and how quickly the window
// answers while a large picture computes. A measurement, not a check: it runs only
// with CORVANE_MEASURE_REPAINT=1 and prints its figures.
//
//   CORVANE_MEASURE_REPAINT=1 xvfb-run -a -s "-screen 0 2560x1440x24"
//       build/tests/gui/corvane_gui_repaint_cost_test
#include <QElapsedTimer>
#include <QMenu>
#include <QTest>
#include <algorithm>
#include <clocale>
#include <vector>

#include "catalogue/factory.h"
#include "gui/qt_window.h"
#include "platform/clock.h"
#include "platform/headless_window.h"
#include "platform/settings_store.h"

namespace {

// Notes when a widget is first painted.
class PaintWatch : public QObject {
  public:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint && paintedAt < 0)
            paintedAt = clock.nsecsElapsed();
        return false;
    }
    QElapsedTimer clock;
    qint64 paintedAt = -1;
};

const std::string kKey = "Software\\Velk\\Corvane";

struct Run {
    double workerMs = 0;     // the worker's own duration, or points per second for orbits
    double frames = 0;       // pictures drawn on the screen per second
    double worstLateMs = 0;  // the longest wait of a 10 ms timer on the user-interface thread
    double paintMs = 0;      // the user-interface thread's time per repaint
    double menuMs = 0;       // from asking for a menu to its first paint
};

}  // namespace

class RepaintCostTest : public QObject {
    Q_OBJECT

  private:
    // One calculation on a shown 1920 x 1080 window; `shown` false hides the window, so
    // nothing is repainted while the worker draws.
    Run measure(engine::FractalType type, bool shown, int orbitMs) {
        gui::QtWindow window;
        window.resize(1920, 1080);
        window.resizeSurface(1920, 1080);
        if (shown) {
            window.show();
            QTest::qWait(300);
        }
        platform::MemorySettingsStore store;
        store.write(kKey, "AnimZoom", platform::SettingsValue::ofNumber(0));
        // A long escape-time run: floating point, 3000 iterations, every pixel.
        store.write(kKey, "Mandelbrot",
                    platform::SettingsValue::ofText("-2.1,-1.2,1.0,1.2,3000,0,0,0,0,100"));
        platform::RecordingSound sound;
        const platform::Services services{window, store, sound};
        engine::FractalPtr fractal = catalogue::createFractal(type, services);

        // The user-interface thread's promptness: a 10 ms timer and how late it fires.
        QElapsedTimer clock;
        double worstLate = 0;
        qint64 last = 0;
        QTimer probe;
        probe.setTimerType(Qt::PreciseTimer);
        QObject::connect(&probe, &QTimer::timeout, [&] {
            const qint64 now = clock.nsecsElapsed();
            worstLate = std::max(worstLate, (now - last) / 1e6 - 10.0);
            last = now;
        });

        const int framesBefore = window.frameCount();
        window.resetPaintCost();
        clock.start();
        probe.start(10);
        fractal->startFromSettings();
        Run run;
        if (shown) {
            // A menu opened while the worker draws.
            QTest::qWait(200);
            QMenu menu;
            for (const char* item : {"Open...", "Save...", "Slideshow...", "Load Palette...",
                                     "Options...", "About", "Exit"}) {
                menu.addAction(QString::fromLatin1(item));
            }
            PaintWatch watch;
            menu.installEventFilter(&watch);
            watch.clock.start();
            menu.popup(window.mapToGlobal(QPoint(10, 10)));
            if (!QTest::qWaitFor([&] { return watch.paintedAt >= 0; }, 5000))
                qFatal("no menu");
            run.menuMs = watch.paintedAt / 1e6;
            menu.close();
        }
        if (orbitMs > 0) {
            QTest::qWait(orbitMs);
            const auto stats = fractal->statistics();
            const double ran = (platform::tickCount() - stats.startTick) / 1000.0;
            fractal->stopCalculation();
            run.workerMs = stats.pointCount / ran;
        } else {
            if (!QTest::qWaitFor([&] { return fractal->isFinished(); }, 120000))
                qFatal("no end");
            const auto stats = fractal->statistics();
            run.workerMs = stats.endTick - stats.startTick;
        }
        const double seconds = clock.elapsed() / 1000.0;
        probe.stop();
        const int frames = window.frameCount() - framesBefore;
        run.frames = frames / seconds;
        run.paintMs = frames == 0 ? 0 : window.paintNanoseconds() / 1e6 / frames;
        run.worstLateMs = worstLate;
        fractal.reset();
        return run;
    }

    static double median(std::vector<double> values) {
        std::sort(values.begin(), values.end());
        return values[values.size() / 2];
    }

  private slots:
    void initTestCase() {
        std::setlocale(LC_NUMERIC, "C");
        if (qgetenv("CORVANE_MEASURE_REPAINT") != "1")
            QSKIP("a measurement; set CORVANE_MEASURE_REPAINT=1");
    }

    void mandelbrotWithAndWithoutRepainting() {
        std::vector<double> hidden, shown, frames, late, paint, menu;
        for (int i = 0; i < 7; ++i) {
            hidden.push_back(measure(engine::kMandelbrot, false, 0).workerMs);
            const Run run = measure(engine::kMandelbrot, true, 0);
            shown.push_back(run.workerMs);
            frames.push_back(run.frames);
            late.push_back(run.worstLateMs);
            paint.push_back(run.paintMs);
            menu.push_back(run.menuMs);
        }
        qInfo(
            "Mandelbrot 1920x1080: worker %.0f ms hidden, %.0f ms shown (%+.1f %%); "
            "%.0f repaints/s of %.1f ms each; a 10 ms timer at most %.1f ms late; "
            "a menu painted %.1f ms after it was asked for (median of 7)",
            median(hidden), median(shown), (median(shown) / median(hidden) - 1) * 100,
            median(frames), median(paint), median(late), median(menu));
    }

    void orbitWithAndWithoutRepainting() {
        std::vector<double> hidden, shown, frames, late, paint, menu;
        for (int i = 0; i < 7; ++i) {
            hidden.push_back(measure(engine::kHopalong, false, 2000).workerMs);
            const Run run = measure(engine::kHopalong, true, 2000);
            shown.push_back(run.workerMs);
            frames.push_back(run.frames);
            late.push_back(run.worstLateMs);
            paint.push_back(run.paintMs);
            menu.push_back(run.menuMs);
        }
        qInfo(
            "Hopalong 1920x1080: %.0f points/s hidden, %.0f shown (%+.1f %%); "
            "%.0f repaints/s of %.1f ms each; a 10 ms timer at most %.1f ms late; "
            "a menu painted %.1f ms after it was asked for (median of 7)",
            median(hidden), median(shown), (median(shown) / median(hidden) - 1) * 100,
            median(frames), median(paint), median(late), median(menu));
    }
};

QTEST_MAIN(RepaintCostTest)
#include "repaint_cost_test.moc"
