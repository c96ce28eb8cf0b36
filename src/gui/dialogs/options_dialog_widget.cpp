#include "gui/dialogs/options_dialog_widget.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/dialog_fields.h"
#include "app/help.h"

namespace gui {

using Logic = app::OptionsDialog;

OptionsDialogWidget::OptionsDialogWidget(QWidget* parent, engine::Fractal& fractal,
                                         app::Shell* shell)
    : DialogFrame(parent, Logic::kCaption, app::kDialogCancel), fractal_(fractal) {
    const app::OptionsForm form = Logic::open(fractal);

    alarm_ = new QCheckBox(Logic::kAlarmText, this);
    alarm_->setObjectName("alarm");
    alarm_->setChecked(form.alarm);
    animZoom_ = new QCheckBox(Logic::kAnimZoomText, this);
    animZoom_->setObjectName("animZoom");
    animZoom_->setChecked(form.animZoom);
    allCores_ = new QCheckBox(Logic::kAllCoresText, this);
    allCores_->setObjectName("allCores");
    allCores_->setChecked(form.allCores);
    delay_ = new QLineEdit(QString::fromStdString(form.delay), this);
    delay_->setObjectName("editDelay");
    delay_->setFixedWidth(fontMetrics().horizontalAdvance("0000.000") + 8);
    auto* delayLabel = makeLabel(Logic::kDelayLabel, "labelDelay", delay_);
    auto* secondsLabel = makeLabel(Logic::kSecondsLabel, "labelSeconds");
    autoIterations_ = new QCheckBox(Logic::kAutoIterationsText, this);
    autoIterations_->setObjectName("autoIterations");
    autoIterations_->setChecked(form.autoIterations);
    exactCounts_ = new QCheckBox(Logic::kExactCountsText, this);
    exactCounts_->setObjectName("exactCounts");
    exactCounts_->setChecked(form.exactCounts);
    referenceMemory_ = new QLineEdit(QString::fromStdString(form.referenceMemory), this);
    referenceMemory_->setObjectName("editReferenceMemory");
    referenceMemory_->setFixedWidth(fontMetrics().horizontalAdvance("0000000") + 8);
    auto* memoryLabel =
        makeLabel(Logic::kReferenceMemoryLabel, "labelReferenceMemory", referenceMemory_);
    auto* mibLabel = makeLabel(Logic::kMiBLabel, "labelMiB");
    zoomSpeed_ = new QLineEdit(QString::fromStdString(form.zoomSpeed), this);
    zoomSpeed_->setObjectName("editZoomSpeed");
    zoomSpeed_->setFixedWidth(fontMetrics().horizontalAdvance("0000000") + 8);
    auto* zoomSpeedLabel = makeLabel(Logic::kZoomSpeedLabel, "labelZoomSpeed", zoomSpeed_);
    auto* timesLabel = makeLabel(Logic::kTimesASecondLabel, "labelTimesASecond");
    // A desktop dialog has no OK in its caption: it gets buttons of its own.
    auto* ok = makeButton(app::kOkText, "okButton");
    auto* cancel = makeButton(app::kCancelText, "cancelButton");
    ok->setDefault(true);

    auto* grid = new QGridLayout;
    grid->addWidget(alarm_, 0, 0, 1, 3);
    grid->addWidget(animZoom_, 1, 0, 1, 3);
    grid->addWidget(allCores_, 2, 0, 1, 3);
    grid->addWidget(delayLabel, 3, 0);
    grid->addWidget(delay_, 3, 1);
    grid->addWidget(secondsLabel, 3, 2);
    grid->addWidget(autoIterations_, 4, 0, 1, 3);
    grid->addWidget(exactCounts_, 5, 0, 1, 3);
    grid->addWidget(memoryLabel, 6, 0);
    grid->addWidget(referenceMemory_, 6, 1);
    grid->addWidget(mibLabel, 6, 2);
    grid->addWidget(zoomSpeedLabel, 7, 0);
    grid->addWidget(zoomSpeed_, 7, 1);
    grid->addWidget(timesLabel, 7, 2);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    grid->addLayout(buttons, 8, 0, 1, 3);
    finishLayout(grid);

    connect(ok, &QPushButton::clicked, this, [this] { accept(); });
    connect(cancel, &QPushButton::clicked, this, [this] { reject(); });
    setHelpTopic(shell, app::kHelpOptions);
}

void OptionsDialogWidget::accept() {
    app::OptionsForm form;
    form.alarm = alarm_->isChecked();
    form.animZoom = animZoom_->isChecked();
    form.allCores = allCores_->isChecked();
    form.delay = delay_->text().toStdString();
    form.autoIterations = autoIterations_->isChecked();
    form.exactCounts = exactCounts_->isChecked();
    form.referenceMemory = referenceMemory_->text().toStdString();
    form.zoomSpeed = zoomSpeed_->text().toStdString();
    done(Logic::ok(form, fractal_));
}

}  // namespace gui
