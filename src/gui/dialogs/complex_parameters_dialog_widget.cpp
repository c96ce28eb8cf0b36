#include "gui/dialogs/complex_parameters_dialog_widget.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

#include "app/dialog_fields.h"
#include "gui/dialogs/accelerating_spin_box.h"

namespace gui {

using Logic = app::ComplexParametersDialog;

ComplexParametersDialogWidget::ComplexParametersDialogWidget(QWidget* parent,
                                                             complex::ComplexFractal& fractal)
    : DialogFrame(parent, Logic::kCaption, app::kDialogCancel),
      fractal_(fractal),
      form_(Logic::open(fractal)) {
    // Created in the order the keyboard visits them.
    iterations_ = new AcceleratingSpinBox(Logic::kIterationRange, true, this);
    iterations_->setObjectName("iterations");
    iterations_->setFieldText(QString::fromStdString(form_.iterations));
    real_ = new QLineEdit(QString::fromStdString(form_.real), this);
    real_->setObjectName("editReal");
    imag_ = new QLineEdit(QString::fromStdString(form_.imag), this);
    imag_->setObjectName("editImag");
    methods_ = new QComboBox(this);
    methods_->setObjectName("methods");
    for (const std::string& name : form_.methods)
        methods_->addItem(QString::fromStdString(name));
    methods_->setCurrentIndex(form_.methodIndex);
    relief_ = new AcceleratingSpinBox(Logic::kReliefRange, false, this);
    relief_->setObjectName("relief");
    colourings_ = new QComboBox(this);
    colourings_->setObjectName("colourings");
    for (const std::string& name : form_.colourings)
        colourings_->addItem(QString::fromStdString(name));
    colourings_->setCurrentIndex(form_.colouringIndex);
    useInteger_ = new QCheckBox(Logic::kIntegerText, this);
    useInteger_->setObjectName("useInteger");
    useInteger_->setChecked(form_.useInteger);
    auto* ok = makeButton(app::kOkText, "okButton");
    auto* defaults = makeButton(app::kDefaultText, "defaultButton");
    auto* cancel = makeButton(app::kCancelText, "cancelButton");
    auto* iterationsLabel = makeLabel(Logic::kIterationsLabel, "labelIterations", iterations_);
    realLabel_ = makeLabel(QString::fromStdString(form_.realLabel), "labelReal", real_);
    imagLabel_ = makeLabel(QString::fromStdString(form_.imagLabel), "labelImag", imag_);
    auto* methodLabel = makeLabel(Logic::kMethodLabel, "labelMethod", methods_);
    auto* colouringLabel = makeLabel(Logic::kColouringLabel, "labelColouring", colourings_);
    for (QWidget* w : {static_cast<QWidget*>(real_), static_cast<QWidget*>(imag_),
                       static_cast<QWidget*>(realLabel_), static_cast<QWidget*>(imagLabel_)}) {
        w->setEnabled(form_.parametersEnabled);
    }
    showRelief();
    ok->setDefault(true);

    // Wide enough for a parameter with all its digits.
    const int fieldWidth = fontMetrics().horizontalAdvance("-0.00012345678901234567") + 8;
    real_->setFixedWidth(fieldWidth);
    imag_->setFixedWidth(fieldWidth);
    real_->setCursorPosition(0);
    imag_->setCursorPosition(0);
    auto* grid = new QGridLayout;
    grid->addWidget(iterationsLabel, 0, 0);
    grid->addWidget(iterations_, 0, 1, Qt::AlignLeft);
    grid->addWidget(realLabel_, 1, 0);
    grid->addWidget(real_, 1, 1);
    grid->addWidget(imagLabel_, 2, 0);
    grid->addWidget(imag_, 2, 1);
    grid->addWidget(methodLabel, 3, 0);
    auto* methodRow = new QHBoxLayout;
    methodRow->addWidget(methods_);
    methodRow->addWidget(relief_);
    grid->addLayout(methodRow, 3, 1);
    grid->addWidget(colouringLabel, 4, 0);
    grid->addWidget(colourings_, 4, 1, Qt::AlignLeft);
    grid->addWidget(useInteger_, 5, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(ok);
    buttons->addWidget(defaults);
    buttons->addWidget(cancel);
    grid->addLayout(buttons, 6, 0, 1, 2);
    finishLayout(grid);

    connect(methods_, &QComboBox::currentIndexChanged, this,
            [this](int index) { methodChanged(index); });
    connect(ok, &QPushButton::clicked, this, [this] { accept(); });
    connect(defaults, &QPushButton::clicked, this, [this] { done(Logic::useDefaults(fractal_)); });
    connect(cancel, &QPushButton::clicked, this, [this] { reject(); });
}

void ComplexParametersDialogWidget::methodChanged(int index) {
    form_.methodIndex = index;
    Logic::methodChanged(form_, fractal_);
    showRelief();
}

void ComplexParametersDialogWidget::showRelief() {
    relief_->setFieldText(QString::fromStdString(form_.relief));
    relief_->setEnabled(form_.reliefEnabled);
}

void ComplexParametersDialogWidget::accept() {
    form_.iterations = iterations_->text().toStdString();
    form_.real = real_->text().toStdString();
    form_.imag = imag_->text().toStdString();
    form_.methodIndex = methods_->currentIndex();
    form_.relief = relief_->text().toStdString();
    form_.useInteger = useInteger_->isChecked();
    form_.colouringIndex = colourings_->currentIndex();
    std::string refusal;
    const int result = Logic::ok(form_, fractal_, refusal);
    if (result != Logic::kRefused) {
        done(result);
        return;
    }
    // The fields keep what was typed, so that the user can mend it.
    QMessageBox::warning(this, windowTitle(), QString::fromStdString(refusal));
}

}  // namespace gui
