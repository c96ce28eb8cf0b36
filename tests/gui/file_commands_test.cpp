// Open, Save, Slideshow and Load Palette through the real file dialogs and message boxes.
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMainWindow>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <clocale>
#include <functional>
#include <memory>

#include "app/messages.h"
#include "gui/application.h"
#include "platform/settings_store.h"

namespace {

const std::string kKey = "Software\\Velk\\Corvane";

// Answers the next modal window (a dialog the command opens) once it is up.
// Answers the next modal dialog once it has the activation, as a person would answer
// the dialog they see (or after a second, where the platform never gives it).
void whenModalOpens(std::function<void(QWidget*)> answer) {
    auto* poll = new QTimer;
    auto polls = std::make_shared<int>(0);
    QObject::connect(poll, &QTimer::timeout, [poll, answer, polls] {
        QWidget* modal = QApplication::activeModalWidget();
        const bool seen =
            modal != nullptr && (QApplication::activeWindow() == modal || ++*polls > 50);
        if (seen) {
            poll->stop();
            poll->deleteLater();
            answer(modal);
            // An answer that failed must not leave the test waiting for ever.
            if (auto* dialog = qobject_cast<QDialog*>(modal); dialog && dialog->isVisible()) {
                dialog->reject();
            }
        }
    });
    poll->start(20);
}

// Types the path into the dialog's name field and confirms, as a user would; the
// dialog's view of the folder fills in later, so nothing depends on it.
void choose(QFileDialog* dialog, const QString& path) {
    auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    QVERIFY(name != nullptr);
    name->setText(path);
    static_cast<QDialog*>(dialog)->accept();
    QVERIFY(!dialog->isVisible());
}

}  // namespace

class FileCommandsTest : public QObject {
    Q_OBJECT

  private:
    struct Program {
        explicit Program(engine::FractalType type) {
            pictures = folder.filePath("pictures");
            store.write(kKey, "ImagePath", platform::SettingsValue::ofText(pictures.toStdString()));
            store.write(kKey, "AnimZoom", platform::SettingsValue::ofNumber(0));
            store.write(kKey, "Fractal",
                        platform::SettingsValue::ofNumber(static_cast<std::uint32_t>(type)));
            store.write(kKey, "WindowWidth", platform::SettingsValue::ofNumber(160));
            store.write(kKey, "WindowHeight", platform::SettingsValue::ofNumber(120));
            application = std::make_unique<gui::Application>(store);
            application->shell().setQuitHandler([](int) {});
            application->start();
        }
        engine::Fractal* fractal() { return application->mainWindow().currentFractal(); }
        bool settle() {
            QTest::qWait(gui::QtWindow::kResizeSettleMs + 100);
            return QTest::qWaitFor(
                [this] { return fractal() != nullptr && fractal()->isFinished(); }, 10000);
        }
        void command(unsigned id) { application->frame().commandAction(id)->trigger(); }

        QTemporaryDir folder;
        QString pictures;
        platform::MemorySettingsStore store;
        std::unique_ptr<gui::Application> application;
    };

  private slots:
    void initTestCase() {
        std::setlocale(LC_NUMERIC, "C");
        QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    }

    void saveThenOpenInAnotherType() {
        Program program(engine::kJulia);
        QVERIFY(program.settle());
        const QString path = program.pictures + QStringLiteral("/Julia001.bmp");

        QString title, proposed, folder;
        QStringList filters;
        whenModalOpens([&](QWidget* modal) {
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            QVERIFY(dialog != nullptr);
            title = dialog->windowTitle();
            filters = dialog->nameFilters();
            folder = dialog->directory().absolutePath();
            proposed = dialog->selectedFiles().value(0);
            choose(dialog, path);
        });
        program.command(app::IDM_SAVE);
        QCOMPARE(title, QStringLiteral("Save fractal:"));
        QCOMPARE(filters,
                 QStringList({"Bitmaps (*.bmp)", "PNG picture (*.png)", "All files (*.*)"}));
        QCOMPARE(folder, program.pictures);  // made for the first save
        QVERIFY2(proposed.endsWith(QStringLiteral("/Julia001.bmp")), qPrintable(proposed));
        QVERIFY(QFile::exists(path));

        // Another type, then the saved Julia again.
        program.store.write(kKey, "Fractal",
                            platform::SettingsValue::ofNumber(engine::kMandelbrot));
        whenModalOpens(
            [](QWidget* modal) { qobject_cast<QDialog*>(modal)->done(engine::kMandelbrot); });
        program.command(app::IDM_TYPE);
        QVERIFY(QTest::qWaitFor(
            [&] { return program.fractal() && program.fractal()->type == engine::kMandelbrot; },
            5000));

        whenModalOpens([&](QWidget* modal) {
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            QVERIFY(dialog != nullptr);
            title = dialog->windowTitle();
            choose(dialog, path);
        });
        program.command(app::IDM_OPEN);
        QCOMPARE(title, QStringLiteral("Open fractal:"));
        QVERIFY(QTest::qWaitFor(
            [&] { return program.fractal() && program.fractal()->type == engine::kJulia; }, 5000));
        QVERIFY(!program.fractal()->isRunning());
    }

    // The typed extension decides the format; a name typed without one gets the chosen
    // filter's.
    void theTypedExtensionOrTheChosenFilterDecidesTheFormat() {
        struct Case {
            const char* typed;
            const char* filter;  // chosen before typing, or nullptr
            const char* written;
            const char* start;
        };
        const Case cases[] = {
            {"typed.png", nullptr, "typed.png", "\x89PNG"},
            {"upper.PNG", nullptr, "upper.PNG", "\x89PNG"},
            {"plain", nullptr, "plain.bmp", "BM"},
            {"chosen", "PNG picture (*.png)", "chosen.png", "\x89PNG"},
            {"back", "Bitmaps (*.bmp)", "back.bmp", "BM"},
        };
        Program program(engine::kJulia);
        QVERIFY(program.settle());
        for (const Case& c : cases) {
            whenModalOpens([&](QWidget* modal) {
                auto* dialog = qobject_cast<QFileDialog*>(modal);
                QVERIFY(dialog != nullptr);
                if (c.filter != nullptr) {
                    dialog->selectNameFilter(QString::fromLatin1(c.filter));
                    emit dialog->filterSelected(QString::fromLatin1(c.filter));
                }
                choose(dialog, program.pictures + QLatin1Char('/') + QString::fromLatin1(c.typed));
            });
            program.command(app::IDM_SAVE);
            QFile file(program.pictures + QLatin1Char('/') + QString::fromLatin1(c.written));
            QVERIFY2(file.open(QIODevice::ReadOnly), c.written);
            QVERIFY2(file.read(4).startsWith(QByteArray(c.start)), c.written);
        }
    }

    void aFileThatIsNoPictureIsReportedAndTheFractalGoesOn() {
        Program program(engine::kHopalong);
        QTest::qWait(gui::QtWindow::kResizeSettleMs + 100);
        QVERIFY(QTest::qWaitFor([&] { return program.fractal() != nullptr; }, 5000));
        engine::Fractal* before = program.fractal();
        const QString path = program.folder.filePath(QStringLiteral("notes.bmp"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("not a picture");
        file.close();

        QString message;
        whenModalOpens([&](QWidget* modal) {
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            choose(dialog, path);
            whenModalOpens([&](QWidget* box) {
                message = qobject_cast<QMessageBox*>(box)->text();
                qobject_cast<QMessageBox*>(box)->accept();
            });
        });
        program.command(app::IDM_OPEN);
        // The file is read on a job of its own: the refusal comes once it has been read.
        QVERIFY(QTest::qWaitFor([&] { return !message.isEmpty(); }, 5000));
        QVERIFY2(message.contains(path), qPrintable(message));
        QVERIFY2(message.contains(QStringLiteral("not a bitmap")), qPrintable(message));
        QCOMPARE(program.fractal(), before);
        QVERIFY(program.fractal()->isRunning());
    }

    void slideshowFromTheMenuShowsTheSavedPicturesUntilAKey() {
        Program program(engine::kJulia);
        // Long enough that a loaded machine still sees the first picture after the
        // command's dialogs have gone.
        program.store.write(kKey, "SlideshowDelay", platform::SettingsValue::ofNumber(1500));
        QVERIFY(program.settle());
        QVERIFY(QDir().mkpath(program.pictures));
        const auto shown = program.fractal()->picture.snapshot();
        for (const char* name : {"/Julia001.bmp", "/Julia002.bmp"}) {
            const QString path = program.pictures + QString::fromLatin1(name);
            QCOMPARE(program.fractal()->saveImage(path.toStdString()), engine::kStatusOk);
        }

        QString title, question;
        const auto startShow = [&] {
            whenModalOpens([&](QWidget* modal) {
                auto* dialog = qobject_cast<QFileDialog*>(modal);
                QVERIFY(dialog != nullptr);
                title = dialog->windowTitle();
                whenModalOpens([&](QWidget* box) {
                    auto* messageBox = qobject_cast<QMessageBox*>(box);
                    QVERIFY(messageBox != nullptr);
                    question = messageBox->text();
                    messageBox->button(QMessageBox::Yes)->click();
                });
                choose(dialog, program.pictures + QStringLiteral("/Julia002.bmp"));
            });
            QMainWindow& frame = program.application->frame();
            QApplication::setActiveWindow(&frame);
            QVERIFY(QTest::qWaitForWindowActive(&frame));
            program.command(app::IDM_SLIDESHOW);
            // The desktop gives the activation back to the window after its dialogs.
            QApplication::setActiveWindow(&frame);
            QVERIFY(QTest::qWaitForWindowActive(&frame));
        };
        // The dialogs of the command give the activation back to the window; that
        // must not end the show the command has just started.
        startShow();
        QCOMPARE(title, QStringLiteral("Slideshow:"));
        QVERIFY2(question.contains(QStringLiteral("Julia")), qPrintable(question));
        QMainWindow& frame = program.application->frame();
        QCOMPARE(frame.windowTitle(), QStringLiteral("Julia001"));  // the first in order
        QVERIFY(QTest::qWaitFor([&] { return frame.windowTitle() == "Julia002"; }, 5000));
        QVERIFY(QTest::qWaitFor([&] { return frame.windowTitle() == "Julia001"; }, 5000));

        QTest::keyClick(&program.application->picture(), Qt::Key_Space);
        QCOMPARE(frame.windowTitle(), QStringLiteral("Julia - Corvane"));
        QTest::qWait(1700);  // no tick after the end
        QCOMPARE(frame.windowTitle(), QStringLiteral("Julia - Corvane"));
        QVERIFY(program.fractal()->picture.snapshot() == shown);

        // Switching to another window of the desktop does end it.
        startShow();
        QCOMPARE(frame.windowTitle(), QStringLiteral("Julia001"));
        QWidget elsewhere;
        elsewhere.show();
        QApplication::setActiveWindow(&elsewhere);
        QVERIFY(QTest::qWaitFor([&] { return frame.windowTitle() == "Julia - Corvane"; }, 5000));
        QTest::qWait(1700);
        QCOMPARE(frame.windowTitle(), QStringLiteral("Julia - Corvane"));
    }

    void loadPaletteUsesTheChosenFile() {
        Program program(engine::kHopalong);
        QTest::qWait(gui::QtWindow::kResizeSettleMs + 100);
        QVERIFY(QTest::qWaitFor([&] { return program.fractal() != nullptr; }, 5000));
        const QString path = program.folder.filePath(QStringLiteral("three.pal"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("255 0 0\n0 255 0\n0 0 255\n");
        file.close();

        QString title;
        QStringList filters;
        whenModalOpens([&](QWidget* modal) {
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            title = dialog->windowTitle();
            filters = dialog->nameFilters();
            choose(dialog, path);
        });
        program.command(app::IDM_LOAD_PALETTE);
        QCOMPARE(title, QStringLiteral("Open palette:"));
        QCOMPARE(filters.value(0), QStringLiteral("Color palettes (*.pal)"));
        QCOMPARE(program.fractal()->numColors, 3);
        QCOMPARE(program.store.read(kKey, "Palette"),
                 platform::SettingsValue::ofText(path.toStdString()));
    }
};

QTEST_MAIN(FileCommandsTest)
#include "file_commands_test.moc"
