#include "gui/dialogs/export_dialog_widget.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>

#include "app/dialog_fields.h"
#include "app/picture_export.h"
#include "catalogue/fractal_types.h"

namespace gui {

ExportDialogWidget::ExportDialogWidget(QWidget* parent, engine::Fractal& fractal)
    : DialogFrame(parent, app::ExportDialog::kCaption, app::kDialogCancel),
      fractal_(fractal),
      presetList_(app::ExportDialog::presets(fractal)) {
    const app::ExportForm opened = app::ExportDialog::open(fractal);

    presetBox_ = new QComboBox(this);
    presetBox_->setObjectName(QStringLiteral("comboSize"));
    for (const app::ExportPreset& preset : presetList_)
        presetBox_->addItem(QString::fromStdString(preset.label));
    presetBox_->addItem(QString::fromUtf8(app::ExportDialog::kCustomPreset));
    const auto makeEdit = [this](const std::string& text, const char* objectName) {
        auto* edit = new QLineEdit(QString::fromStdString(text), this);
        edit->setObjectName(QString::fromUtf8(objectName));
        edit->setValidator(new QIntValidator(1, app::kMaxExportSide, edit));
        edit->setFixedWidth(fontMetrics().horizontalAdvance(QStringLiteral("0000000")) + 12);
        return edit;
    };
    width_ = makeEdit(opened.width, "editWidth");
    height_ = makeEdit(opened.height, "editHeight");
    samplesBox_ = new QComboBox(this);
    samplesBox_->setObjectName(QStringLiteral("comboSamples"));
    for (const int factor : app::ExportDialog::supersampleChoices())
        samplesBox_->addItem(QString::fromStdString(app::ExportDialog::supersampleLabel(factor)),
                             factor);
    // Orbit points are plotted, not sampled.
    samplesBox_->setEnabled(catalogue::isComplexType(fractal.type));
    problem_ = makeLabel(QString(), "labelProblem");
    problem_->setWordWrap(true);
    problem_->hide();
    auto* ok = makeButton(app::kOkText, "okButton");
    auto* cancel = makeButton(app::kCancelText, "cancelButton");
    ok->setDefault(true);

    auto* grid = new QGridLayout;
    grid->addWidget(makeLabel(app::ExportDialog::kSizeLabel, "labelSize"), 0, 0);
    grid->addWidget(presetBox_, 0, 1, 1, 2);
    grid->addWidget(makeLabel(app::ExportDialog::kWidthLabel, "labelWidth"), 1, 0);
    grid->addWidget(width_, 1, 1);
    grid->addWidget(makeLabel(app::ExportDialog::kPixelsUnit, "labelWidthUnit"), 1, 2);
    grid->addWidget(makeLabel(app::ExportDialog::kHeightLabel, "labelHeight"), 2, 0);
    grid->addWidget(height_, 2, 1);
    grid->addWidget(makeLabel(app::ExportDialog::kPixelsUnit, "labelHeightUnit"), 2, 2);
    grid->addWidget(makeLabel(app::ExportDialog::kSamplesLabel, "labelSamples", samplesBox_), 3, 0);
    grid->addWidget(samplesBox_, 3, 1, 1, 2);
    grid->addWidget(problem_, 4, 0, 1, 3);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    grid->addLayout(buttons, 5, 0, 1, 3);
    finishLayout(grid);
    matchPreset();

    connect(presetBox_, &QComboBox::activated, this, [this](int index) { showPreset(index); });
    connect(width_, &QLineEdit::textEdited, this, [this] { matchPreset(); });
    connect(height_, &QLineEdit::textEdited, this, [this] { matchPreset(); });
    connect(ok, &QPushButton::clicked, this, [this] { accept(); });
    connect(cancel, &QPushButton::clicked, this, [this] { reject(); });
}

app::ExportForm ExportDialogWidget::form() const {
    return app::ExportForm{width_->text().toStdString(), height_->text().toStdString(),
                           samplesBox_->currentData().toInt()};
}

void ExportDialogWidget::showPreset(int index) {
    if (index < 0 || static_cast<std::size_t>(index) >= presetList_.size())
        return;  // "Other size" leaves the fields as they are
    const app::ExportForm form =
        app::ExportDialog::formOf(presetList_[static_cast<std::size_t>(index)].size);
    width_->setText(QString::fromStdString(form.width));
    height_->setText(QString::fromStdString(form.height));
    problem_->hide();
}

void ExportDialogWidget::matchPreset() {
    const std::optional<std::size_t> preset = app::ExportDialog::presetOf(form(), presetList_);
    const QSignalBlocker quiet(presetBox_);
    presetBox_->setCurrentIndex(static_cast<int>(preset.value_or(presetList_.size())));
}

void ExportDialogWidget::accept() {
    const app::ExportDialog::Reading reading = app::ExportDialog::read(form(), fractal_);
    if (!reading.size) {
        problem_->setText(QString::fromStdString(reading.problem));
        problem_->show();
        return;
    }
    size_ = reading.size;
    done(app::kDialogOk);
}

}  // namespace gui
