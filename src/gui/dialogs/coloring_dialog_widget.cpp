#include "gui/dialogs/coloring_dialog_widget.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

#include "app/dialog_fields.h"

namespace gui {

using Logic = app::ColoringDialog;

ColoringDialogWidget::ColoringDialogWidget(QWidget* parent, complex::ComplexFractal& fractal)
    : DialogFrame(parent, Logic::kCaption, app::kDialogCancel),
      fractal_(fractal),
      opened_(fractal.colorControls()),
      form_(Logic::open(fractal)) {
    // Created in the order the keyboard visits them.
    density_ = new QLineEdit(QString::fromStdString(form_.density), this);
    density_->setObjectName("density");
    automatic_ = new QCheckBox(Logic::kAutomaticText, this);
    automatic_->setObjectName("automaticDensity");
    automatic_->setChecked(form_.automaticDensity);
    offset_ = new QLineEdit(QString::fromStdString(form_.offset), this);
    offset_->setObjectName("offset");
    transfers_ = new QComboBox(this);
    transfers_->setObjectName("transfers");
    for (const std::string& name : form_.transfers)
        transfers_->addItem(QString::fromStdString(name));
    transfers_->setCurrentIndex(form_.transferIndex);
    distance_ = new QCheckBox(Logic::kDistanceText, this);
    distance_->setObjectName("distance");
    distance_->setChecked(form_.distance);
    distance_->setEnabled(form_.distanceOffered);
    refusal_ = new QLabel(QString::fromStdString(form_.foundDensity), this);
    refusal_->setObjectName("refusal");
    // A long reason wraps instead of widening the dialog.
    refusal_->setWordWrap(true);
    auto* ok = makeButton(app::kOkText, "okButton");
    auto* cancel = makeButton(app::kCancelText, "cancelButton");
    auto* densityLabel = makeLabel(Logic::kDensityLabel, "labelDensity", density_);
    auto* offsetLabel = makeLabel(Logic::kOffsetLabel, "labelOffset", offset_);
    auto* transferLabel = makeLabel(Logic::kTransferLabel, "labelTransfer", transfers_);
    density_->setEnabled(!form_.automaticDensity);
    ok->setDefault(true);

    const int fieldWidth = fontMetrics().horizontalAdvance("-0.000123456789012") + 8;
    density_->setFixedWidth(fieldWidth);
    offset_->setFixedWidth(fieldWidth);
    auto* grid = new QGridLayout;
    grid->addWidget(densityLabel, 0, 0);
    grid->addWidget(density_, 0, 1);
    grid->addWidget(automatic_, 1, 1);
    grid->addWidget(offsetLabel, 2, 0);
    grid->addWidget(offset_, 2, 1);
    grid->addWidget(transferLabel, 3, 0);
    grid->addWidget(transfers_, 3, 1, Qt::AlignLeft);
    grid->addWidget(distance_, 4, 0, 1, 2);
    grid->addWidget(refusal_, 5, 0, 1, 2);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    grid->addLayout(buttons, 6, 0, 1, 2);
    finishLayout(grid);

    connect(density_, &QLineEdit::textEdited, this, [this] { preview(); });
    connect(offset_, &QLineEdit::textEdited, this, [this] { preview(); });
    connect(automatic_, &QCheckBox::toggled, this, [this](bool on) {
        density_->setEnabled(!on);
        preview();
    });
    connect(transfers_, &QComboBox::currentIndexChanged, this, [this] { preview(); });
    connect(distance_, &QCheckBox::toggled, this, [this] { preview(); });
    connect(ok, &QPushButton::clicked, this, [this] { accept(); });
    connect(cancel, &QPushButton::clicked, this, [this] { reject(); });
}

void ColoringDialogWidget::readFields() {
    form_.density = density_->text().toStdString();
    form_.automaticDensity = automatic_->isChecked();
    form_.offset = offset_->text().toStdString();
    form_.transferIndex = transfers_->currentIndex();
    form_.distance = distance_->isChecked();
}

// Each change shows at once; a field being typed that is not yet a usable number
// leaves the picture as it was and says why.
void ColoringDialogWidget::preview() {
    readFields();
    std::string refusal;
    Logic::preview(form_, fractal_, refusal);
    refusal_->setText(QString::fromStdString(refusal));
}

void ColoringDialogWidget::reject() {
    Logic::cancel(opened_, fractal_);
    DialogFrame::reject();
}

void ColoringDialogWidget::accept() {
    readFields();
    std::string refusal;
    const int result = Logic::ok(form_, fractal_, refusal);
    if (result != Logic::kRefused) {
        done(result);
        return;
    }
    QMessageBox::warning(this, windowTitle(), QString::fromStdString(refusal));
}

}  // namespace gui
