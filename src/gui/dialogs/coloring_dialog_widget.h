#pragma once

#include "app/coloring_dialog.h"
#include "gui/dialogs/dialog_frame.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;

namespace gui {

// The colouring controls of an escape-time picture, shown on the picture as they are
// changed. Result 1 OK (the controls kept), 2 Cancel (the controls it opened with).
class ColoringDialogWidget : public DialogFrame {
  public:
    ColoringDialogWidget(QWidget* parent, complex::ComplexFractal& fractal);

    QLineEdit* density() const { return density_; }
    QCheckBox* automaticDensity() const { return automatic_; }
    QLineEdit* offset() const { return offset_; }
    QComboBox* transfers() const { return transfers_; }
    QCheckBox* distance() const { return distance_; }
    // Why the fields are not shown on the picture; empty while they are.
    QLabel* refusal() const { return refusal_; }

    void reject() override;

  private:
    void readFields();
    void preview();
    void accept() override;

    complex::ComplexFractal& fractal_;
    const complex::ColorControls opened_;
    app::ColoringForm form_;
    QLineEdit* density_;
    QCheckBox* automatic_;
    QLineEdit* offset_;
    QComboBox* transfers_;
    QCheckBox* distance_;
    QLabel* refusal_;
};

}  // namespace gui
