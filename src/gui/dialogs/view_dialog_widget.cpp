#include "gui/dialogs/view_dialog_widget.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

#include <limits>
#include <optional>

#include "app/dialog_fields.h"

namespace gui {

namespace {

constexpr int kEdgeRows = 4;

}  // namespace

ViewDialogWidget::ViewDialogWidget(QWidget* parent, engine::Fractal& fractal)
    : DialogFrame(parent, app::ViewDialog::kCaption, app::kDialogCancel), fractal_(fractal) {
    // Created in the order the keyboard visits them: the buttons come first.
    auto* ok = makeButton(app::kOkText, "okButton");
    auto* defaults = makeButton(app::kDefaultText, "defaultButton");
    auto* cancel = makeButton(app::kCancelText, "cancelButton");
    ok->setDefault(true);

    auto* grid = new QGridLayout;
    if (const std::optional<app::DeepViewForm> deep = app::ViewDialog::openDeep(fractal)) {
        layOutCentreAndWidth(*deep, grid, 0);
    } else {
        layOutEdges(app::ViewDialog::open(fractal), grid);
        shownCentre_ = app::ViewDialog::openCentre(fractal);
        if (shownCentre_)
            layOutCentreAndWidth(*shownCentre_, grid, kEdgeRows);
    }
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(ok);
    buttons->addWidget(defaults);
    buttons->addWidget(cancel);
    grid->addLayout(buttons, grid->rowCount(), 0, 1, 2);
    finishLayout(grid);

    connect(ok, &QPushButton::clicked, this, [this] { accept(); });
    connect(defaults, &QPushButton::clicked, this,
            [this] { done(app::ViewDialog::useDefaults(fractal_)); });
    connect(cancel, &QPushButton::clicked, this, [this] { reject(); });
}

void ViewDialogWidget::layOutEdges(const app::ViewForm& form, QGridLayout* grid) {
    xmin_ = makeEdit(form.xmin, "editXmin");
    xmax_ = makeEdit(form.xmax, "editXmax");
    ymin_ = makeEdit(form.ymin, "editYmin");
    auto* xminLabel = makeLabel(app::ViewDialog::kXminLabel, "labelXmin", xmin_);
    auto* xmaxLabel = makeLabel(app::ViewDialog::kXmaxLabel, "labelXmax", xmax_);
    auto* yminLabel = makeLabel(app::ViewDialog::kYminLabel, "labelYmin", ymin_);
    ymax_ = makeEdit(form.ymax, "editYmax");
    auto* ymaxLabel = makeLabel(app::ViewDialog::kYmaxLabel, "labelYmax", ymax_);
    grid->addWidget(xminLabel, 0, 0);
    grid->addWidget(xmin_, 0, 1);
    grid->addWidget(xmaxLabel, 1, 0);
    grid->addWidget(xmax_, 1, 1);
    grid->addWidget(yminLabel, 2, 0);
    grid->addWidget(ymin_, 2, 1);
    grid->addWidget(ymaxLabel, 3, 0);
    grid->addWidget(ymax_, 3, 1);
}

void ViewDialogWidget::layOutCentreAndWidth(const app::DeepViewForm& form, QGridLayout* grid,
                                            int row) {
    real_ = makeLongEdit(form.real, "editReal");
    imaginary_ = makeLongEdit(form.imaginary, "editImaginary");
    width_ = makeLongEdit(form.width, "editWidth");
    auto* realLabel = makeLabel(app::ViewDialog::kRealLabel, "labelReal", real_);
    auto* imaginaryLabel =
        makeLabel(app::ViewDialog::kImaginaryLabel, "labelImaginary", imaginary_);
    auto* widthLabel = makeLabel(app::ViewDialog::kWidthLabel, "labelWidth", width_);
    grid->addWidget(realLabel, row, 0);
    grid->addWidget(real_, row, 1);
    grid->addWidget(imaginaryLabel, row + 1, 0);
    grid->addWidget(imaginary_, row + 1, 1);
    grid->addWidget(widthLabel, row + 2, 0);
    grid->addWidget(width_, row + 2, 1);
}

QLineEdit* ViewDialogWidget::makeEdit(const std::string& text, const char* objectName) {
    auto* edit = new QLineEdit(QString::fromStdString(text), this);
    edit->setObjectName(objectName);
    // Wide enough for an edge with all its digits.
    edit->setFixedWidth(fontMetrics().horizontalAdvance("-0.00012345678901234567") + 8);
    return edit;
}

QLineEdit* ViewDialogWidget::makeLongEdit(const std::string& text, const char* objectName) {
    auto* edit = new QLineEdit(QString::fromStdString(text), this);
    edit->setObjectName(objectName);
    // A deep view's numbers run to hundreds or thousands of digits: the field
    // scrolls, and takes text far longer than QLineEdit's default limit of 32767.
    edit->setMaxLength(std::numeric_limits<int>::max());
    edit->setFixedWidth(fontMetrics().horizontalAdvance(QString(40, QChar('0'))) + 8);
    edit->setCursorPosition(0);
    return edit;
}

void ViewDialogWidget::accept() {
    if (real_ != nullptr) {
        acceptCentre();
        return;
    }
    done(app::ViewDialog::ok(edges(), fractal_));
}

app::ViewForm ViewDialogWidget::edges() const {
    return app::ViewForm{xmin_->text().toStdString(), xmax_->text().toStdString(),
                         ymin_->text().toStdString(), ymax_->text().toStdString()};
}

void ViewDialogWidget::acceptCentre() {
    const app::DeepViewForm form{real_->text().toStdString(), imaginary_->text().toStdString(),
                                 width_->text().toStdString()};
    std::string refusal;
    const int result = shownCentre_ ? app::ViewDialog::okEdgesOrCentre(edges(), form, *shownCentre_,
                                                                       fractal_, refusal)
                                    : app::ViewDialog::okDeep(form, fractal_, refusal);
    if (result != app::ViewDialog::kRefused) {
        done(result);
        return;
    }
    // The fields keep what was typed, so that the user can mend it.
    QMessageBox::warning(this, windowTitle(), QString::fromStdString(refusal));
}

}  // namespace gui
