#pragma once

#include "app/options_dialog.h"
#include "gui/dialogs/dialog_frame.h"

class QCheckBox;
class QLineEdit;

namespace gui {

// The options. Result 1 OK, 2 Cancel.
class OptionsDialogWidget : public DialogFrame {
  public:
    OptionsDialogWidget(QWidget* parent, engine::Fractal& fractal, app::Shell* shell);

    QCheckBox* alarm() const { return alarm_; }
    QCheckBox* animZoom() const { return animZoom_; }
    QCheckBox* allCores() const { return allCores_; }
    QLineEdit* delay() const { return delay_; }
    QCheckBox* autoIterations() const { return autoIterations_; }
    QCheckBox* exactCounts() const { return exactCounts_; }
    QLineEdit* referenceMemory() const { return referenceMemory_; }
    QLineEdit* zoomSpeed() const { return zoomSpeed_; }

  private:
    void accept() override;

    engine::Fractal& fractal_;
    QCheckBox* alarm_;
    QCheckBox* animZoom_;
    QCheckBox* allCores_;
    QLineEdit* delay_;
    QCheckBox* autoIterations_;
    QCheckBox* exactCounts_;
    QLineEdit* referenceMemory_;
    QLineEdit* zoomSpeed_;
};

}  // namespace gui
