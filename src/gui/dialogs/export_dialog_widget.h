#pragma once

#include <optional>
#include <vector>

#include "app/export_dialog.h"
#include "gui/dialogs/dialog_frame.h"

class QComboBox;
class QLabel;
class QLineEdit;

namespace gui {

// The size of an export: a list of common sizes and two fields. Result 1 OK, 2 Cancel;
// after OK, size() holds what was asked for.
class ExportDialogWidget : public DialogFrame {
  public:
    ExportDialogWidget(QWidget* parent, engine::Fractal& fractal);

    std::optional<app::ExportSize> size() const { return size_; }
    QComboBox* presets() const { return presetBox_; }
    QLineEdit* width() const { return width_; }
    QLineEdit* height() const { return height_; }
    QComboBox* samples() const { return samplesBox_; }
    QLabel* problem() const { return problem_; }

  private:
    void accept() override;
    app::ExportForm form() const;
    void showPreset(int index);
    void matchPreset();

    engine::Fractal& fractal_;
    std::vector<app::ExportPreset> presetList_;
    QComboBox* presetBox_;
    QLineEdit* width_;
    QLineEdit* height_;
    QComboBox* samplesBox_;
    QLabel* problem_;
    std::optional<app::ExportSize> size_;
};

}  // namespace gui
