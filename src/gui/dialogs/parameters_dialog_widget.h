#pragma once

#include <array>

#include "app/parameters_dialog.h"
#include "gui/dialogs/dialog_frame.h"

class QCheckBox;
class QLineEdit;

namespace gui {

// The orbit types' parameters. Result 1 OK, 2 Cancel, 3 Default.
class ParametersDialogWidget : public DialogFrame {
  public:
    ParametersDialogWidget(QWidget* parent, orbit::OrbitFractal& fractal);

    QLineEdit* edit(int index) const { return edits_[static_cast<std::size_t>(index)]; }
    QLabel* label(int index) const { return labels_[static_cast<std::size_t>(index)]; }
    QLineEdit* pointsPerColor() const { return pointsPerColor_; }
    QCheckBox* randomColors() const { return randomColors_; }

  private:
    void accept() override;

    orbit::OrbitFractal& fractal_;
    std::array<QLineEdit*, 3> edits_{};
    std::array<QLabel*, 3> labels_{};
    QLineEdit* pointsPerColor_;
    QCheckBox* randomColors_;
};

}  // namespace gui
