// The dialogs' widgets on real fractals, on Qt's offscreen platform.
//
// With CORVANE_DIALOG_SHOTS=<folder> in the environment, every dialog is also saved
// as a picture in that folder (scripts/dialog-screenshots.sh).
#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSet>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "app/messages.h"
#include "app/picture_export.h"
#include "app/shell.h"
#include "catalogue/factory.h"
#include "complex/complex_fractal.h"
#include "gui/dialogs/about_dialog_widget.h"
#include "gui/dialogs/accelerating_spin_box.h"
#include "gui/dialogs/coloring_dialog_widget.h"
#include "gui/dialogs/complex_parameters_dialog_widget.h"
#include "gui/dialogs/dialogs.h"
#include "gui/dialogs/export_dialog_widget.h"
#include "gui/dialogs/gradient_bar.h"
#include "gui/dialogs/gradient_dialog_widget.h"
#include "gui/dialogs/job_progress_widget.h"
#include "gui/dialogs/options_dialog_widget.h"
#include "gui/dialogs/parameters_dialog_widget.h"
#include "gui/dialogs/statistics_dialog_widget.h"
#include "gui/dialogs/type_dialog_widget.h"
#include "gui/dialogs/view_dialog_widget.h"
#include "orbit/orbit_fractal.h"
#include "platform/headless_window.h"
#include "platform/settings_store.h"
#include "support/wait.h"
#include "view/deep_view.h"

namespace {

// A shell that only records the help the dialogs ask for.
class HelpRecordingShell : public app::Shell {
  public:
    int runDialog(app::DialogId, engine::Fractal&) override { return 0; }
    std::optional<app::FileChoice> chooseFile(const app::FileDialogRequest&) override {
        return std::nullopt;
    }
    bool askYesNo(const std::string&, const std::string&) override { return false; }
    void showMessage(const std::string&, const std::string&) override {}
    void startHelpViewer(const std::string& commandLine) override { help.push_back(commandLine); }
    bool displayPower(bool) override { return false; }
    void quit(int) override {}
    std::intptr_t defaultProcessing(unsigned, std::uintptr_t, std::intptr_t) override { return 0; }

    std::vector<std::string> help;
};

// A real fractal of a type on a headless window with its own settings.
struct Rig {
    explicit Rig(engine::FractalType type) : fractal(catalogue::createFractal(type, services())) {}
    platform::Services services() { return platform::Services{window, store, sound}; }
    template <class T>
    T& as() {
        return dynamic_cast<T&>(*fractal);
    }

    platform::HeadlessWindow window{48, 36};
    platform::MemorySettingsStore store;
    platform::RecordingSound sound;
    HelpRecordingShell shell;
    engine::FractalPtr fractal;
};

template <class T = QWidget>
T* child(QWidget& dialog, const char* name) {
    T* found = dialog.findChild<T*>(QString::fromUtf8(name));
    if (found == nullptr)
        qFatal("no child %s", name);
    return found;
}

void click(QWidget& dialog, const char* button) {
    QTest::mouseClick(child<QPushButton>(dialog, button), Qt::LeftButton);
}

// Clicks a check box on its box: a shown dialog's layout stretches the control past its
// text, and a click at its middle would then hit nothing.
void toggle(QCheckBox* box) {
    QStyleOptionButton option;
    option.initFrom(box);
    const QRect mark = box->style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, box);
    QTest::mouseClick(box, Qt::LeftButton, {}, mark.center());
}

bool shotsWanted() {
    return !qEnvironmentVariableIsEmpty("CORVANE_DIALOG_SHOTS");
}

// Saves the dialog with a caption bar above it when screenshots are asked for.
void saveShot(QWidget& dialog, const char* fileName) {
    if (!shotsWanted())
        return;
    const QString folder = qEnvironmentVariable("CORVANE_DIALOG_SHOTS");
    dialog.show();
    QApplication::processEvents();
    const QPixmap body = dialog.grab();
    const int captionHeight = dialog.fontMetrics().height() + 10;
    QPixmap shot(body.width() + 2, body.height() + captionHeight + 1);
    shot.fill(QColor(0x40, 0x40, 0x40));
    QPainter painter(&shot);
    painter.fillRect(1, 1, body.width(), captionHeight - 1, QColor(0x1f, 0x4e, 0x8c));
    painter.setPen(Qt::white);
    QFont bold = dialog.font();
    bold.setBold(true);
    painter.setFont(bold);
    painter.drawText(QRect(8, 1, body.width() - 8, captionHeight - 1),
                     Qt::AlignVCenter | Qt::AlignLeft, dialog.windowTitle());
    painter.drawPixmap(1, captionHeight, body);
    painter.end();
    QDir().mkpath(folder);
    if (!shot.save(folder + QLatin1Char('/') + QString::fromUtf8(fileName))) {
        qWarning("cannot save %s", fileName);
    }
}

// A control's text as the user reads it: the access key's mark left out.
QString shown(QString text) {
    static const QRegularExpression mark("&(.)");
    return text.replace(mark, "\\1");
}

QStringList labelTexts(QWidget& dialog, std::initializer_list<const char*> names) {
    QStringList texts;
    for (const char* name : names)
        texts << shown(child<QLabel>(dialog, name)->text());
    return texts;
}

}  // namespace

class DialogsTest : public QObject {
    Q_OBJECT

  private slots:
    void typeDialogOpensOnTheCurrentTypeAndGivesTheChosenId();
    void typeDialogCancelGivesZeroAndF1OpensHelp();
    void parametersDialogAdaptsToMartinAndApplies();
    void parametersDialogLabelsTheGingerbreadmansStart();
    void viewDialogPushesTheViewAndRestarts();
    void viewDialogEditsADeepViewAsCentreAndWidth();
    void complexDialogOnUnityAndPhoenix();
    void complexDialogMethodAndReliefDepth();
    void coloringDialogPreviewsAndCancelPutsBack();
    void iterationFieldTakesDigitsAndStepsWithinItsRange();
    void optionsDialogAppliesTheDelay();
    void statisticsDialogStopsRefreshingWhenTheRunEnds();
    void aboutDialogNamesTheProgram();
    void parametersOfTheOtherFamilyOpenNoDialog();
    void everyFieldAndButtonHasItsOwnAccessKey();
    void exportDialogOffersTheWindowAndScreenSizesAndRefusesTooLarge();
    void exportProgressCancelsItsJob();
    void exportDialogOffersAntiAliasingForEscapeTimeTypes();
    void gradientEditorEditsStopsOnTheBarAndAppliesItsPalette();
};

void DialogsTest::typeDialogOpensOnTheCurrentTypeAndGivesTheChosenId() {
    Rig rig(engine::kJulia);
    gui::TypeDialogWidget dialog(nullptr, *rig.fractal, &rig.shell);
    saveShot(dialog, "type.png");
    QCOMPARE(dialog.windowTitle(), QString("Fractal Type"));
    QCOMPARE(shown(child<QLabel>(dialog, "typeLabel")->text()), QString("Fractal type:"));
    QCOMPARE(dialog.list()->count(), 13);
    QCOMPARE(dialog.list()->item(0)->text(), QString("Chip"));
    QCOMPARE(dialog.list()->currentItem()->text(), QString("Julia"));
    QVERIFY(dialog.description()->isReadOnly());
    QVERIFY(dialog.description()->toPlainText().startsWith(
        "Classic Julia set fractal.\nz(0) = pixel\n"));

    dialog.list()->setCurrentRow(
        dialog.list()->row(dialog.list()->findItems("Quadruptwo", Qt::MatchExactly).first()));
    QVERIFY(dialog.description()->toPlainText().contains("arctan"));
    click(dialog, "okButton");
    QCOMPARE(dialog.result(), int{engine::kQuadruptwo});

    // A double-click on a name chooses it at once.
    gui::TypeDialogWidget again(nullptr, *rig.fractal, &rig.shell);
    again.show();
    QListWidget* list = again.list();
    const QRect chip = list->visualItemRect(list->item(0));
    QTest::mousePress(list->viewport(), Qt::LeftButton, {}, chip.center());
    QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, chip.center());
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, chip.center());
    QCOMPARE(again.result(), int{engine::kChip});
}

void DialogsTest::typeDialogCancelGivesZeroAndF1OpensHelp() {
    Rig rig(engine::kMandelbrot);
    gui::TypeDialogWidget dialog(nullptr, *rig.fractal, &rig.shell);
    QTest::keyClick(dialog.list(), Qt::Key_F1);
    QVERIFY(rig.shell.help == std::vector<std::string>{"Corvane.htm#Fractals"});
    dialog.setResult(-1);
    click(dialog, "cancelButton");
    QCOMPARE(dialog.result(), 0);
    dialog.setResult(-1);
    dialog.reject();  // the cancel key
    QCOMPARE(dialog.result(), 0);
}

void DialogsTest::parametersDialogAdaptsToMartinAndApplies() {
    Rig rig(engine::kMartin);
    auto& martin = rig.as<orbit::OrbitFractal>();
    gui::ParametersDialogWidget dialog(nullptr, martin);
    saveShot(dialog, "parameters.png");
    QCOMPARE(dialog.windowTitle(), QString("Parameters"));
    QCOMPARE(labelTexts(dialog, {"labelA", "labelB", "labelC", "labelPointsPerColor"}),
             (QStringList{"A:", "---", "---", "Pt/color:"}));
    QVERIFY(dialog.edit(0)->isEnabled());
    QVERIFY(!dialog.edit(1)->isEnabled());
    QVERIFY(!dialog.edit(2)->isEnabled());
    QCOMPARE(dialog.edit(0)->text(), QString("3.14159"));
    QCOMPARE(dialog.pointsPerColor()->text(), QString("5000"));
    QCOMPARE(shown(dialog.randomColors()->text()), QString("Rnd. color"));
    QVERIFY(dialog.randomColors()->isChecked());
    QCOMPARE(shown(child<QPushButton>(dialog, "defaultButton")->text()), QString("Default"));

    // Points per colour take digits only.
    dialog.pointsPerColor()->clear();
    QTest::keyClicks(dialog.pointsPerColor(), "2x5-0");
    QCOMPARE(dialog.pointsPerColor()->text(), QString("250"));
    toggle(dialog.randomColors());

    click(dialog, "okButton");
    QCOMPARE(dialog.result(), app::kDialogOk);
    QCOMPARE(martin.paramA(), 3.14159);
    QCOMPARE(martin.getPointsPerColor(), 250);
    QVERIFY(!martin.options().randomColors);
    QVERIFY(martin.isRunning());
}

void DialogsTest::parametersDialogLabelsTheGingerbreadmansStart() {
    Rig rig(engine::kGingerbreadman);
    gui::ParametersDialogWidget dialog(nullptr, rig.as<orbit::OrbitFractal>());
    QCOMPARE(labelTexts(dialog, {"labelA", "labelB", "labelC"}),
             (QStringList{"X[0]:", "Y[0]:", "---"}));
    QVERIFY(dialog.edit(1)->isEnabled());
    QVERIFY(!dialog.edit(2)->isEnabled());
    click(dialog, "cancelButton");
    QCOMPARE(dialog.result(), app::kDialogCancel);
    QVERIFY(!rig.fractal->isRunning());
}

void DialogsTest::viewDialogPushesTheViewAndRestarts() {
    Rig rig(engine::kMandelbrot);
    rig.fractal->setViewRect(-2.0, -1.5, 2.0, 1.5);  // the window's own aspect
    gui::ViewDialogWidget dialog(nullptr, *rig.fractal);
    saveShot(dialog, "view.png");
    QCOMPARE(dialog.windowTitle(), QString("View"));
    QCOMPARE(labelTexts(dialog, {"labelXmin", "labelXmax", "labelYmin", "labelYmax"}),
             (QStringList{"X min.:", "X max.:", "Y min.:", "Y max.:"}));
    QCOMPARE(dialog.xmin()->text(), QString("-2"));
    QCOMPARE(dialog.ymax()->text(), QString("1.5"));

    // The escape-time types take a centre and width beside the edges.
    QCOMPARE(labelTexts(dialog, {"labelReal", "labelImaginary", "labelWidth"}),
             (QStringList{"Centre real:", "Centre imag.:", "Width:"}));
    QCOMPARE(dialog.planeWidth()->text(), QString("4"));

    dialog.xmin()->setText("nan");  // keeps its edge
    click(dialog, "okButton");
    QCOMPARE(dialog.result(), app::kDialogOk);
    QCOMPARE(rig.fractal->history.count(), 1);
    QCOMPARE(rig.fractal->view().xmin, -2.0);
    QVERIFY(rig.fractal->statistics().startTime != platform::LocalTime{});

    gui::ViewDialogWidget again(nullptr, *rig.fractal);
    click(again, "defaultButton");
    QCOMPARE(again.result(), app::kDialogDefault);
    QCOMPARE(rig.fractal->history.count(), 2);

    // A deep location typed at a shallow view.
    gui::ViewDialogWidget typed(nullptr, *rig.fractal);
    typed.real()->setText("-0.74364388703715870475219150611477");
    typed.planeWidth()->setText("1e-300");
    click(typed, "okButton");
    QCOMPARE(typed.result(), app::kDialogOk);
    QVERIFY(rig.fractal->deepView() != nullptr);
    QCOMPARE(QString::fromStdString(view::widthText(*rig.fractal->deepView())).left(6),
             QString("1e-300"));

    Rig orbitRig(engine::kHopalong);
    gui::ViewDialogWidget orbit(nullptr, *orbitRig.fractal);
    QVERIFY(orbit.xmin() != nullptr);
    QVERIFY(orbit.real() == nullptr);
}

void DialogsTest::viewDialogEditsADeepViewAsCentreAndWidth() {
    Rig rig(engine::kMandelbrot);
    const std::string centre = std::string("0.").append(400, '3');  // four hundred digits
    const view::CentreAndWidth text = *view::parseCentreAndWidth(centre, "-0.5", "1e-380").value;
    const view::DeepView view = *view::DeepView::fromCentreAndWidth(
        text.x, text.y, text.width, rig.fractal->width, rig.fractal->height);
    rig.fractal->setPreciseView(view);
    gui::ViewDialogWidget dialog(nullptr, *rig.fractal);
    saveShot(dialog, "view-deep.png");
    QVERIFY(dialog.xmin() == nullptr);
    QCOMPARE(labelTexts(dialog, {"labelReal", "labelImaginary", "labelWidth"}),
             (QStringList{"Centre real:", "Centre imag.:", "Width:"}));
    QVERIFY(dialog.real()->text().startsWith("0.3333333333"));
    QVERIFY(dialog.real()->text().size() > 380);
    QVERIFY(dialog.planeWidth()->text().startsWith("1e-380") ||
            dialog.planeWidth()->text().startsWith("9.99"));

    // Refused text: the reason is shown and the dialog stays open with what was typed.
    dialog.planeWidth()->setText("-1e-380");
    QString shownReason;
    QTimer::singleShot(50, [&shownReason] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            shownReason = box->text();
            box->accept();
        }
    });
    dialog.show();
    click(dialog, "okButton");
    QCOMPARE(shownReason, QString("The width must be greater than zero."));
    QVERIFY(dialog.isVisible());
    QCOMPARE(dialog.planeWidth()->text(), QString("-1e-380"));
    QCOMPARE(rig.fractal->history.count(), 0);

    // Typed digits beyond QLineEdit's usual limit of 32767 stay whole.
    const QString longReal = "0." + QString(40000, '1');
    dialog.real()->setText(longReal);
    QCOMPARE(dialog.real()->text(), longReal);
    dialog.real()->setText(QString::fromStdString(centre));
    dialog.planeWidth()->setText("2e-380");
    click(dialog, "okButton");
    QCOMPARE(dialog.result(), app::kDialogOk);
    QCOMPARE(rig.fractal->history.count(), 1);
    QVERIFY(rig.fractal->deepView() != nullptr);
    QCOMPARE(QString::fromStdString(view::widthText(*rig.fractal->deepView())).left(4),
             QString("2e-3"));
}

void DialogsTest::complexDialogOnUnityAndPhoenix() {
    {
        Rig rig(engine::kUnity);
        gui::ComplexParametersDialogWidget dialog(nullptr, rig.as<complex::ComplexFractal>());
        QVERIFY(!dialog.real()->isEnabled());
        QVERIFY(!dialog.imag()->isEnabled());
        QVERIFY(!dialog.realLabel()->isEnabled());
        QVERIFY(!dialog.imagLabel()->isEnabled());
        QCOMPARE(shown(dialog.realLabel()->text()), QString("Real[0]:"));
    }
    {
        Rig rig(engine::kPhoenix);
        gui::ComplexParametersDialogWidget dialog(nullptr, rig.as<complex::ComplexFractal>());
        QVERIFY(dialog.real()->isEnabled());
        QCOMPARE(shown(dialog.realLabel()->text()), QString("P1:"));
        QCOMPARE(shown(dialog.imagLabel()->text()), QString("P2:"));
    }
}

void DialogsTest::complexDialogMethodAndReliefDepth() {
    Rig rig(engine::kMandelbrot);
    auto& fractal = rig.as<complex::ComplexFractal>();
    fractal.reliefDepth = 100;
    fractal.method = complex::kRelief;
    gui::ComplexParametersDialogWidget dialog(nullptr, fractal);
    saveShot(dialog, "complex-parameters.png");
    QCOMPARE(dialog.windowTitle(), QString("Complex Parameters"));
    QCOMPARE(labelTexts(dialog, {"labelIterations", "labelReal", "labelImag", "labelMethod"}),
             (QStringList{"Iterat.:", "Real[0]:", "Imag[0]:", "Method:"}));
    QCOMPARE(dialog.methods()->count(), 3);
    QCOMPARE(dialog.methods()->itemText(0), QString("Simple"));
    QCOMPARE(dialog.methods()->itemText(2), QString("Tesseral"));
    QCOMPARE(dialog.methods()->currentText(), QString("Relief"));
    QCOMPARE(dialog.relief()->text(), QString("39"));
    QVERIFY(dialog.relief()->isEnabled());
    QCOMPARE(shown(dialog.useInteger()->text()), QString("Integer algorithm"));
    QCOMPARE(labelTexts(dialog, {"labelColouring"}), QStringList{"Colouring:"});
    QCOMPARE(dialog.colourings()->count(), 2);
    QCOMPARE(dialog.colourings()->itemText(0), QString("Bands"));
    QCOMPARE(dialog.colourings()->itemText(1), QString("Smooth"));
    QCOMPARE(dialog.colourings()->currentIndex(), complex::kBands);
    dialog.colourings()->setCurrentIndex(complex::kSmooth);

    dialog.methods()->setCurrentIndex(complex::kSimple);
    QCOMPARE(dialog.relief()->text(), QString());
    QVERIFY(!dialog.relief()->isEnabled());
    dialog.methods()->setCurrentIndex(complex::kRelief);
    QCOMPARE(dialog.relief()->text(), QString("39"));
    dialog.relief()->stepUp();
    QCOMPARE(dialog.relief()->text(), QString("40"));
    dialog.relief()->setFieldText("100");

    click(dialog, "okButton");
    QCOMPARE(dialog.result(), app::kDialogOk);
    QCOMPARE(fractal.reliefDepth.load(), 255);
    QCOMPARE(fractal.method.load(), complex::kRelief);
    QCOMPARE(fractal.colouring.load(), complex::kSmooth);
}

// Each change shows on the finished picture at once; Cancel puts it back.
void DialogsTest::coloringDialogPreviewsAndCancelPutsBack() {
    Rig rig(engine::kMandelbrot);
    auto& fractal = rig.as<complex::ComplexFractal>();
    fractal.startCalculation();
    QVERIFY(corvane_test::waitFinished(fractal));
    const auto original = fractal.picture.snapshot();
    gui::ColoringDialogWidget dialog(nullptr, fractal);
    saveShot(dialog, "colouring.png");
    QCOMPARE(dialog.windowTitle(), QString("Colouring"));
    QCOMPARE(labelTexts(dialog, {"labelDensity", "labelOffset", "labelTransfer"}),
             (QStringList{"Density:", "Offset:", "Transfer:"}));
    QCOMPARE(dialog.density()->text(), QString("1"));
    QCOMPARE(dialog.transfers()->count(), 3);
    dialog.density()->selectAll();
    QTest::keyClicks(dialog.density(), "4");
    QCOMPARE(fractal.colorControls().density, 4.0);
    QVERIFY(!fractal.isRunning());
    QVERIFY(fractal.picture.snapshot() != original);
    dialog.density()->selectAll();
    QTest::keyClicks(dialog.density(), "-");
    QVERIFY(!dialog.refusal()->text().isEmpty());
    QCOMPARE(fractal.colorControls().density, 4.0);
    dialog.density()->selectAll();
    QTest::keyClicks(dialog.density(), "2");
    QVERIFY(dialog.refusal()->text().isEmpty());
    dialog.transfers()->setCurrentIndex(2);
    QCOMPARE(fractal.colorControls().transfer, complex::Transfer::kLogarithm);
    // Offered for Mandelbrot, whose derivative is carried; off until asked for.
    QVERIFY(dialog.distance()->isEnabled());
    QVERIFY(!dialog.distance()->isChecked());
    click(dialog, "cancelButton");
    QCOMPARE(dialog.result(), app::kDialogCancel);
    QVERIFY(fractal.colorControls().isDefault());
    QVERIFY(fractal.picture.snapshot() == original);
}

void DialogsTest::iterationFieldTakesDigitsAndStepsWithinItsRange() {
    Rig rig(engine::kMandelbrot);
    auto& fractal = rig.as<complex::ComplexFractal>();
    fractal.setMaxIterations(50000);  // above what the arrows offer: shown as it is
    gui::ComplexParametersDialogWidget dialog(nullptr, fractal);
    gui::AcceleratingSpinBox* iterations = dialog.iterations();
    QCOMPARE(iterations->text(), QString("50000"));
    QCOMPARE(iterations->currentStep(), 10);
    iterations->stepUp();
    QCOMPARE(iterations->text(), QString("10000"));
    iterations->setFieldText("100");
    iterations->stepUp();
    QCOMPARE(iterations->text(), QString("110"));
    QTest::keyClick(iterations, Qt::Key_Down);
    QCOMPARE(iterations->text(), QString("100"));
    iterations->setFieldText("15");
    iterations->stepDown();
    QCOMPARE(iterations->text(), QString("10"));

    iterations->setFieldText("");
    QTest::keyClicks(iterations, "1a-2.5");
    QCOMPARE(iterations->text(), QString("125"));
    click(dialog, "okButton");
    QCOMPARE(fractal.maxIterations(), 125);
}

void DialogsTest::optionsDialogAppliesTheDelay() {
    Rig rig(engine::kMandelbrot);
    rig.fractal->setOption(&engine::Options::slideshowDelay, 2000);
    rig.fractal->setOption(&engine::Options::alarm, false);
    gui::OptionsDialogWidget dialog(nullptr, *rig.fractal, &rig.shell);
    saveShot(dialog, "options.png");
    QCOMPARE(dialog.windowTitle(), QString("Options"));
    QCOMPARE(shown(dialog.alarm()->text()), QString("Alarm, if finished"));
    QCOMPARE(shown(dialog.animZoom()->text()), QString("Animated Zoom"));
    QCOMPARE(labelTexts(dialog, {"labelDelay", "labelSeconds"}),
             (QStringList{"Slideshow delay:", "seconds"}));
    QCOMPARE(dialog.delay()->text(), QString("2"));
    QCOMPARE(shown(dialog.autoIterations()->text()), QString("Automatic iteration limit"));
    QVERIFY(!dialog.autoIterations()->isChecked());
    QCOMPARE(shown(dialog.exactCounts()->text()), QString("Exact counts in deep views (slower)"));
    QCOMPARE(dialog.exactCounts()->objectName(), QString("exactCounts"));
    QVERIFY(!dialog.exactCounts()->isChecked());
    QCOMPARE(labelTexts(dialog, {"labelReferenceMemory", "labelMiB"}),
             (QStringList{"Deep view memory:", "MiB"}));
    QCOMPARE(dialog.referenceMemory()->text(), QString("2048"));
    QCOMPARE(labelTexts(dialog, {"labelZoomSpeed", "labelTimesASecond"}),
             (QStringList{"Zoom speed:", "times a second"}));
    QCOMPARE(dialog.zoomSpeed()->text(), QString("2"));

    QTest::keyClick(&dialog, Qt::Key_F1);
    QVERIFY(rig.shell.help == std::vector<std::string>{"Corvane.htm#Options"});

    dialog.delay()->setText("0.5");
    toggle(dialog.alarm());
    toggle(dialog.autoIterations());
    toggle(dialog.exactCounts());
    dialog.referenceMemory()->setText("512");
    dialog.zoomSpeed()->setText("3");
    click(dialog, "okButton");
    QCOMPARE(dialog.result(), app::kDialogOk);
    QCOMPARE(rig.fractal->options().slideshowDelay, 500);
    QVERIFY(rig.fractal->options().alarm);
    QVERIFY(rig.fractal->options().autoIterations);
    QVERIFY(rig.fractal->options().exactCounts);
    QCOMPARE(rig.fractal->options().referenceMemoryMiB, 512);
    QCOMPARE(rig.fractal->options().zoomSpeedPercent, 300);

    gui::OptionsDialogWidget cancelled(nullptr, *rig.fractal, &rig.shell);
    QVERIFY(cancelled.exactCounts()->isChecked());
    cancelled.delay()->setText("9");
    toggle(cancelled.exactCounts());
    click(cancelled, "cancelButton");
    QCOMPARE(cancelled.result(), app::kDialogCancel);
    QCOMPARE(rig.fractal->options().slideshowDelay, 500);
    QVERIFY(rig.fractal->options().exactCounts);
}

void DialogsTest::statisticsDialogStopsRefreshingWhenTheRunEnds() {
    Rig rig(engine::kHopalong);
    rig.fractal->startCalculation();
    gui::StatisticsDialogWidget dialog(nullptr, *rig.fractal);
    QCOMPARE(dialog.windowTitle(), QString("Statistics"));
    QCOMPARE(labelTexts(dialog, {"label_startTime", "label_endTime", "label_duration",
                                 "label_points", "label_iterations", "label_pointsPerSecond",
                                 "label_iterationsPerSecond", "label_referenceMemory"}),
             (QStringList{"Start time:", "End time:", "Duration:", "Points:", "Iterations:",
                          "Points/sec:", "Iter./sec:", "Reference:"}));
    QVERIFY(dialog.refreshing());
    QCOMPARE(dialog.value(1)->text(), QString("---"));
    QCOMPARE(dialog.value(5)->text(), QString("---"));  // no rate in the first second

    rig.fractal->stopCalculation();
    dialog.refresh();
    QVERIFY(!dialog.refreshing());
    const QString points = dialog.value(3)->text();
    QVERIFY(dialog.value(1)->text() != QString("---"));

    rig.fractal->startCalculation();  // a new run does not reach the frozen dialog
    QTest::qWait(50);
    dialog.refresh();
    QCOMPARE(dialog.value(3)->text(), points);
    rig.fractal->stopCalculation();
    click(dialog, "okButton");
    QCOMPARE(dialog.result(), app::kDialogOk);

    if (shotsWanted()) {  // a run long enough to have rates
        rig.fractal->startCalculation();
        QTest::qWait(1500);
        rig.fractal->stopCalculation();
        gui::StatisticsDialogWidget shot(nullptr, *rig.fractal);
        saveShot(shot, "statistics.png");
    }
}

void DialogsTest::aboutDialogNamesTheProgram() {
    gui::AboutDialogWidget dialog(nullptr);
    saveShot(dialog, "about.png");
    QCOMPARE(child<QLabel>(dialog, "name")->text(), QString("Corvane"));
    QVERIFY(child<QLabel>(dialog, "version")->text().startsWith("Version "));
    click(dialog, "okButton");
    QCOMPARE(dialog.result(), app::kDialogOk);
}

void DialogsTest::parametersOfTheOtherFamilyOpenNoDialog() {
    Rig rig(engine::kMandelbrot);
    QCOMPARE(gui::runDialog(app::DialogId::Parameters, *rig.fractal, rig.shell, nullptr),
             app::kDialogCancel);
    Rig orbitRig(engine::kHopalong);
    QCOMPARE(gui::runDialog(app::DialogId::ComplexParameters, *orbitRig.fractal, orbitRig.shell,
                            nullptr),
             app::kDialogCancel);
}

// Each button and each label that names a field underlines a key of its own, and the
// key of a label moves the focus to its field.
void DialogsTest::everyFieldAndButtonHasItsOwnAccessKey() {
    Rig orbitRig(engine::kMartin);
    Rig complexRig(engine::kPhoenix);
    std::vector<std::unique_ptr<QDialog>> dialogs;
    dialogs.push_back(
        std::make_unique<gui::TypeDialogWidget>(nullptr, *complexRig.fractal, &complexRig.shell));
    dialogs.push_back(
        std::make_unique<gui::ParametersDialogWidget>(nullptr, orbitRig.as<orbit::OrbitFractal>()));
    dialogs.push_back(std::make_unique<gui::ViewDialogWidget>(nullptr, *complexRig.fractal));
    dialogs.push_back(std::make_unique<gui::ComplexParametersDialogWidget>(
        nullptr, complexRig.as<complex::ComplexFractal>()));
    dialogs.push_back(std::make_unique<gui::OptionsDialogWidget>(nullptr, *complexRig.fractal,
                                                                 &complexRig.shell));
    dialogs.push_back(std::make_unique<gui::AboutDialogWidget>(nullptr));
    dialogs.push_back(std::make_unique<gui::GradientDialogWidget>(nullptr, *complexRig.fractal,
                                                                  complexRig.shell));
    dialogs.push_back(std::make_unique<gui::ExportDialogWidget>(nullptr, *complexRig.fractal));
    dialogs.push_back(std::make_unique<gui::ColoringDialogWidget>(
        nullptr, complexRig.as<complex::ComplexFractal>()));
    for (const auto& dialog : dialogs) {
        QSet<QKeySequence> keys;
        int controls = 0;
        const auto keep = [&](const QString& text) {
            static const QRegularExpression anyKey("[A-Za-z0-9]");
            if (!text.contains(anyKey))
                return;  // a field not used by this type ("---")
            const QKeySequence key = QKeySequence::mnemonic(text);
            QVERIFY2(!key.isEmpty(), qPrintable(dialog->windowTitle() + ": " + text));
            QVERIFY2(!keys.contains(key), qPrintable(dialog->windowTitle() + ": " + text));
            keys.insert(key);
            ++controls;
        };
        for (QAbstractButton* button : dialog->findChildren<QAbstractButton*>())
            keep(button->text());
        for (QLabel* label : dialog->findChildren<QLabel*>()) {
            if (label->buddy() != nullptr)
                keep(label->text());
        }
        QVERIFY(controls >= 1);
    }
}

void DialogsTest::exportDialogOffersTheWindowAndScreenSizesAndRefusesTooLarge() {
    Rig rig(engine::kHopalong);
    gui::ExportDialogWidget dialog(nullptr, *rig.fractal);
    QCOMPARE(dialog.windowTitle(), QString("Export"));
    QCOMPARE(dialog.width()->text(), QString("48"));
    QCOMPARE(dialog.height()->text(), QString("36"));
    QCOMPARE(dialog.presets()->currentText(), QString("Window (48 x 36)"));
    QCOMPARE(dialog.presets()->count(), 5);
    dialog.presets()->setCurrentIndex(2);
    emit dialog.presets()->activated(2);
    QCOMPARE(dialog.width()->text(), QString("3840"));
    QCOMPARE(dialog.height()->text(), QString("2160"));
    saveShot(dialog, "export.png");

    // An orbit picture is computed whole: beyond its limit the dialog stays open.
    dialog.width()->setText("20000");
    dialog.height()->setText("20000");
    click(dialog, "okButton");
    QVERIFY(!dialog.size());
    QVERIFY(dialog.problem()->text().contains("orbit pictures are computed whole in memory"));

    dialog.width()->clear();
    QTest::keyClicks(dialog.width(), "641");
    QCOMPARE(dialog.presets()->currentText(), QString("Other size"));
    dialog.height()->setText("481");
    click(dialog, "okButton");
    QCOMPARE(dialog.result(), app::kDialogOk);
    QVERIFY(dialog.size() == (app::ExportSize{641, 481}));
}

void DialogsTest::exportDialogOffersAntiAliasingForEscapeTimeTypes() {
    Rig orbit(engine::kHopalong);
    gui::ExportDialogWidget plotted(nullptr, *orbit.fractal);
    QVERIFY(!plotted.samples()->isEnabled());

    Rig rig(engine::kMandelbrot);
    gui::ExportDialogWidget dialog(nullptr, *rig.fractal);
    QVERIFY(dialog.samples()->isEnabled());
    QCOMPARE(dialog.samples()->currentText(), QString("None"));
    dialog.samples()->setCurrentIndex(1);
    QCOMPARE(dialog.samples()->currentText(), QString("2 x 2 samples a pixel"));
    // The samples of a picture have the export's limits.
    dialog.width()->setText("40000");
    click(dialog, "okButton");
    QVERIFY(!dialog.size());
    QVERIFY(dialog.problem()->text().contains("samples are exported up to 65536"));
    dialog.width()->setText("3000");
    click(dialog, "okButton");
    QCOMPARE(dialog.result(), app::kDialogOk);
    QVERIFY(dialog.size() == (app::ExportSize{3000, 36, 2}));
}

void DialogsTest::gradientEditorEditsStopsOnTheBarAndAppliesItsPalette() {
    Rig rig(engine::kMandelbrot);
    rig.fractal->loadPalette();
    gui::GradientDialogWidget dialog(nullptr, *rig.fractal, rig.shell);
    QCOMPARE(dialog.windowTitle(), QString("Gradient Editor"));
    gui::GradientBar* bar = dialog.bar();
    bar->resize(bar->sizeHint());
    const std::size_t opening = dialog.editor().gradient().stops().size();
    QCOMPARE(opening, app::GradientEditor::kOpeningStops);
    QCOMPARE(dialog.entries()->text(), QString("255"));
    QVERIFY(!child<QPushButton>(dialog, "removeButton")->isEnabled());
    saveShot(dialog, "gradient.png");

    // A click between stops adds one there, selected; Delete takes it away again.
    const int between = bar->xOf(0.5 / 7.0);
    QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(between, 5));
    QCOMPARE(dialog.editor().gradient().stops().size(), opening + 1);
    QCOMPARE(dialog.editor().selected(), std::optional<std::size_t>(1));
    QVERIFY(child<QPushButton>(dialog, "removeButton")->isEnabled());
    // A drag moves the stop under the pointer.
    QTest::mousePress(bar, Qt::LeftButton, {}, QPoint(between, 5));
    QMouseEvent move(QEvent::MouseMove, QPointF(bar->xOf(0.3), 5),
                     bar->mapToGlobal(QPointF(bar->xOf(0.3), 5)), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(bar, &move);
    QTest::mouseRelease(bar, Qt::LeftButton, {}, QPoint(bar->xOf(0.3), 5));
    QVERIFY(std::fabs(dialog.editor().gradient().stops()[*dialog.editor().selected()].position -
                      0.3) < 0.01);
    QTest::keyClick(bar, Qt::Key_Delete);
    QCOMPARE(dialog.editor().gradient().stops().size(), opening);
    QVERIFY(!dialog.editor().selected());

    // Bad input keeps the dialog open with the reason.
    dialog.entries()->setText("1");
    click(dialog, "applyButton");
    QVERIFY(!dialog.choice());
    QVERIFY(dialog.problem()->text().contains("from 2 to 4096"));
    dialog.entries()->setText("64");
    click(dialog, "applyButton");
    QCOMPARE(dialog.result(), app::kDialogOk);
    QVERIFY(dialog.choice());
    QCOMPARE(dialog.choice()->colors.size(), std::size_t{64});
    QVERIFY(dialog.choice()->savedPath.empty());
    QCOMPARE(dialog.choice()->colors.front(), engine::builtInPalette().front());
}

void DialogsTest::exportProgressCancelsItsJob() {
    QTemporaryDir folder;
    platform::HeadlessWindow window(8, 8);
    app::ExportRequest request;
    request.type = engine::kMandelbrot;
    request.width = 4000;
    request.height = 4000;
    const QString path = folder.filePath("big.png");
    app::ExportJob job(request, path.toStdString(), window, app::WM_EXPORTDONE);
    gui::ExportProgressWidget progress(nullptr, job);
    QCOMPARE(progress.bar()->maximum(), 1000);
    click(progress, "cancelButton");
    QVERIFY(job.cancelling());
    QVERIFY(!progress.cancelButton()->isEnabled());
    QCOMPARE(job.result().outcome, app::ExportResult::Outcome::Cancelled);
    QVERIFY(window.takeMessage().has_value());
    QVERIFY(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
}

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    DialogsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "dialogs_test.moc"
