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
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    grid->addLayout(buttons, 4, 0, 1, 3);
    finishLayout(grid);

    connect(ok, &QPushButton::clicked, this, [this] { accept(); });
    connect(cancel, &QPushButton::clicked, this, [this] { reject(); });
    setHelpTopic(shell, app::kHelpOptions);
}

void OptionsDialogWidget::accept() {
    const app::OptionsForm form{alarm_->isChecked(), animZoom_->isChecked(), allCores_->isChecked(),
                                delay_->text().toStdString()};
    done(Logic::ok(form, fractal_));
}

}  // namespace gui
