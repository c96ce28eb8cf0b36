#pragma once

#include <optional>
#include <string>
#include <vector>

#include "app/gradient_editor.h"
#include "gui/dialogs/dialog_frame.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace gui {

class GradientBar;

// The gradient editor: the bar, the selected stop's colour, the number of entries,
// Save as Palette and Apply. Result 1 Apply, 2 Cancel; after Apply, choice() holds the
// colours (and the file they were saved to, when the same colours were).
class GradientDialogWidget : public DialogFrame {
  public:
    GradientDialogWidget(QWidget* parent, engine::Fractal& fractal, app::Shell& shell);

    std::optional<app::GradientChoice> choice() const { return choice_; }
    app::GradientEditor& editor() { return editor_; }
    GradientBar* bar() const { return bar_; }
    QLineEdit* entries() const { return entries_; }
    QLabel* problem() const { return problem_; }
    QPushButton* saveButton() const { return save_; }
    QPushButton* applyButton() const { return apply_; }

    // The palette of the editor, or the problem shown and nothing.
    std::optional<std::vector<platform::Color>> readPalette();
    void savePalette();
    void applyPalette();

  private:
    void pickColor();
    void showSelection();

    engine::Fractal& fractal_;
    app::Shell& shell_;
    app::GradientEditor editor_;
    GradientBar* bar_;
    QLineEdit* entries_;
    QPushButton* color_;
    QPushButton* remove_;
    QPushButton* save_;
    QPushButton* apply_;
    QLabel* problem_;
    std::vector<platform::Color> savedColors_;
    std::string savedPath_;
    std::optional<app::GradientChoice> choice_;
};

}  // namespace gui
