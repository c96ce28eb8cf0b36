#include "gui/dialogs/gradient_dialog_widget.h"

#include <QColorDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/dialog_fields.h"
#include "app/shell.h"
#include "gui/dialogs/gradient_bar.h"

namespace gui {

GradientDialogWidget::GradientDialogWidget(QWidget* parent, engine::Fractal& fractal,
                                           app::Shell& shell)
    : DialogFrame(parent, app::GradientEditor::kCaption, app::kDialogCancel),
      fractal_(fractal),
      shell_(shell),
      editor_(fractal) {
    bar_ = new GradientBar(this, editor_);
    entries_ = new QLineEdit(QString::fromStdString(editor_.entries()), this);
    entries_->setObjectName(QStringLiteral("editEntries"));
    entries_->setValidator(new QIntValidator(engine::Gradient::kFewestEntries,
                                             engine::Gradient::kMostEntries, entries_));
    entries_->setFixedWidth(fontMetrics().horizontalAdvance(QStringLiteral("0000000")) + 12);
    color_ = makeButton(app::GradientEditor::kColorText, "colorButton");
    remove_ = makeButton(app::GradientEditor::kRemoveText, "removeButton");
    save_ = makeButton(app::GradientEditor::kSaveText, "saveButton");
    apply_ = makeButton(app::GradientEditor::kApplyText, "applyButton");
    auto* cancel = makeButton(app::kCancelText, "cancelButton");
    apply_->setDefault(true);
    problem_ = makeLabel(QString(), "labelProblem");
    problem_->setWordWrap(true);
    problem_->hide();

    auto* grid = new QGridLayout;
    grid->addWidget(bar_, 0, 0, 1, 4);
    grid->addWidget(makeLabel(app::GradientEditor::kHint, "labelHint"), 1, 0, 1, 4);
    grid->addWidget(color_, 2, 0);
    grid->addWidget(remove_, 2, 1);
    grid->addWidget(makeLabel(app::GradientEditor::kEntriesLabel, "labelEntries", entries_), 2, 2);
    grid->addWidget(entries_, 2, 3);
    grid->addWidget(problem_, 3, 0, 1, 4);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(save_);
    buttons->addStretch();
    buttons->addWidget(apply_);
    buttons->addWidget(cancel);
    grid->addLayout(buttons, 4, 0, 1, 4);
    finishLayout(grid);
    showSelection();

    bar_->setOnChange([this] {
        problem_->hide();
        showSelection();
    });
    connect(color_, &QPushButton::clicked, this, [this] { pickColor(); });
    connect(remove_, &QPushButton::clicked, this, [this] {
        editor_.removeSelected();
        bar_->update();
        showSelection();
    });
    connect(save_, &QPushButton::clicked, this, [this] { savePalette(); });
    connect(apply_, &QPushButton::clicked, this, [this] { applyPalette(); });
    connect(cancel, &QPushButton::clicked, this, [this] { reject(); });
}

// The stop's buttons work on the selected stop only.
void GradientDialogWidget::showSelection() {
    const bool selected = editor_.selected().has_value();
    color_->setEnabled(selected);
    remove_->setEnabled(selected);
}

void GradientDialogWidget::pickColor() {
    if (!editor_.selected())
        return;
    const platform::Color now = editor_.selectedColor();
    const QColor picked = QColorDialog::getColor(
        QColor(static_cast<int>(platform::redOf(now)), static_cast<int>(platform::greenOf(now)),
               static_cast<int>(platform::blueOf(now))),
        this, QString::fromUtf8(app::GradientEditor::kColorText));
    if (!picked.isValid())
        return;
    editor_.setSelectedColor(platform::rgb(static_cast<unsigned>(picked.red()),
                                           static_cast<unsigned>(picked.green()),
                                           static_cast<unsigned>(picked.blue())));
    bar_->update();
}

std::optional<std::vector<platform::Color>> GradientDialogWidget::readPalette() {
    editor_.setEntries(entries_->text().toStdString());
    app::GradientEditor::Reading reading = editor_.palette();
    if (reading.colors.empty()) {
        problem_->setText(QString::fromStdString(reading.problem));
        problem_->show();
        return std::nullopt;
    }
    problem_->hide();
    return std::move(reading.colors);
}

void GradientDialogWidget::savePalette() {
    const std::optional<std::vector<platform::Color>> colors = readPalette();
    if (!colors)
        return;
    app::FileDialogRequest request;
    request.kind = app::FileDialogRequest::Kind::Save;
    request.title = app::GradientEditor::kSaveTitle;
    request.filters = {app::FileFilter{"Colour palettes (*.pal)", "*.pal"}};
    request.defaultExtension = "pal";
    // Beside the palette shown; the pictures' folder while the colours are built in.
    request.initialFolder =
        fractal_.folders.palette.empty() ? fractal_.folders.images : fractal_.paletteDirectory();
    request.flags = app::OFN_OVERWRITEPROMPT | app::OFN_HIDEREADONLY | app::OFN_PATHMUSTEXIST;
    const std::optional<app::FileChoice> chosen = shell_.chooseFile(request);
    if (!chosen)
        return;
    if (const std::string problem = app::writePaletteFile(chosen->path, *colors);
        !problem.empty()) {
        shell_.showMessage(app::GradientEditor::kCaption,
                           "Cannot save the palette to " + chosen->path + ": " + problem + ".");
        return;
    }
    savedColors_ = *colors;
    savedPath_ = chosen->path;
}

void GradientDialogWidget::applyPalette() {
    const std::optional<std::vector<platform::Color>> colors = readPalette();
    if (!colors)
        return;
    // The file stands for the colours only while they are still the ones saved.
    choice_ = app::GradientChoice{*colors, *colors == savedColors_ ? savedPath_ : std::string()};
    done(app::kDialogOk);
}

}  // namespace gui
