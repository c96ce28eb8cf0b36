#pragma once

#include "app/complex_parameters_dialog.h"
#include "gui/dialogs/dialog_frame.h"

class QCheckBox;
class QComboBox;
class QLineEdit;

namespace gui {

class AcceleratingSpinBox;

// The escape-time types' parameters. Result 1 OK, 2 Cancel, 3 Default.
class ComplexParametersDialogWidget : public DialogFrame {
  public:
    ComplexParametersDialogWidget(QWidget* parent, complex::ComplexFractal& fractal);

    AcceleratingSpinBox* iterations() const { return iterations_; }
    QLineEdit* real() const { return real_; }
    QLineEdit* imag() const { return imag_; }
    QLabel* realLabel() const { return realLabel_; }
    QLabel* imagLabel() const { return imagLabel_; }
    QComboBox* methods() const { return methods_; }
    AcceleratingSpinBox* relief() const { return relief_; }
    QCheckBox* useInteger() const { return useInteger_; }
    QComboBox* colourings() const { return colourings_; }

  private:
    void methodChanged(int index);
    void showRelief();
    void accept() override;

    complex::ComplexFractal& fractal_;
    app::ComplexParametersForm form_;
    AcceleratingSpinBox* iterations_;
    QLineEdit* real_;
    QLineEdit* imag_;
    QComboBox* methods_;
    AcceleratingSpinBox* relief_;
    QCheckBox* useInteger_;
    QComboBox* colourings_;
    QLabel* realLabel_ = nullptr;
    QLabel* imagLabel_ = nullptr;
};

}  // namespace gui
