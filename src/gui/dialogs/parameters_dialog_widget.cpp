#include "gui/dialogs/parameters_dialog_widget.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>

#include "app/dialog_fields.h"

namespace gui {

namespace {

constexpr std::array<const char*, 3> kEditNames = {"editA", "editB", "editC"};
constexpr std::array<const char*, 3> kLabelNames = {"labelA", "labelB", "labelC"};

}  // namespace

ParametersDialogWidget::ParametersDialogWidget(QWidget* parent, orbit::OrbitFractal& fractal)
    : DialogFrame(parent, app::ParametersDialog::kCaption, app::kDialogCancel), fractal_(fractal) {
    const app::ParametersForm form = app::ParametersDialog::open(fractal);

    // Created in the order the keyboard visits them.
    for (std::size_t i = 0; i < edits_.size(); ++i) {
        edits_[i] = new QLineEdit(QString::fromStdString(form.values[i]), this);
        edits_[i]->setObjectName(kEditNames[i]);
        edits_[i]->setEnabled(form.enabled[i]);
    }
    pointsPerColor_ = new QLineEdit(QString::fromStdString(form.pointsPerColor), this);
    pointsPerColor_->setObjectName("editPointsPerColor");
    pointsPerColor_->setValidator(
        new QRegularExpressionValidator(QRegularExpression("[0-9]*"), pointsPerColor_));
    randomColors_ = new QCheckBox(app::ParametersDialog::kRandomColorsText, this);
    randomColors_->setObjectName("randomColors");
    randomColors_->setChecked(form.randomColors);
    auto* ok = makeButton(app::kOkText, "okButton");
    auto* defaults = makeButton(app::kDefaultText, "defaultButton");
    auto* cancel = makeButton(app::kCancelText, "cancelButton");
    for (std::size_t i = 0; i < labels_.size(); ++i) {
        labels_[i] = makeLabel(QString::fromStdString(form.labels[i]), kLabelNames[i], edits_[i]);
    }
    auto* pointsLabel = makeLabel(app::ParametersDialog::kPointsPerColorLabel,
                                  "labelPointsPerColor", pointsPerColor_);
    ok->setDefault(true);

    const int fieldWidth = fontMetrics().horizontalAdvance("-0.000000000000") + 8;
    auto* grid = new QGridLayout;
    for (int i = 0; i < 3; ++i) {
        edits_[static_cast<std::size_t>(i)]->setFixedWidth(fieldWidth);
        grid->addWidget(labels_[static_cast<std::size_t>(i)], i, 0);
        grid->addWidget(edits_[static_cast<std::size_t>(i)], i, 1);
    }
    pointsPerColor_->setFixedWidth(fieldWidth);
    grid->addWidget(pointsLabel, 3, 0);
    grid->addWidget(pointsPerColor_, 3, 1);
    grid->addWidget(randomColors_, 4, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(ok);
    buttons->addWidget(defaults);
    buttons->addWidget(cancel);
    grid->addLayout(buttons, 5, 0, 1, 2);
    finishLayout(grid);

    connect(ok, &QPushButton::clicked, this, [this] { accept(); });
    connect(defaults, &QPushButton::clicked, this,
            [this] { done(app::ParametersDialog::useDefaults(fractal_)); });
    connect(cancel, &QPushButton::clicked, this, [this] { reject(); });
}

void ParametersDialogWidget::accept() {
    app::ParametersForm form = app::ParametersDialog::open(fractal_);
    for (std::size_t i = 0; i < edits_.size(); ++i)
        form.values[i] = edits_[i]->text().toStdString();
    form.pointsPerColor = pointsPerColor_->text().toStdString();
    form.randomColors = randomColors_->isChecked();
    done(app::ParametersDialog::ok(form, fractal_));
}

}  // namespace gui
