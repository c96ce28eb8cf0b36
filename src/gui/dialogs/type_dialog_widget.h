#pragma once

#include "app/type_dialog.h"
#include "gui/dialogs/dialog_frame.h"

class QListWidget;
class QPlainTextEdit;

namespace gui {

// Result: the chosen type id, or 0 when cancelled.
class TypeDialogWidget : public DialogFrame {
  public:
    TypeDialogWidget(QWidget* parent, const engine::Fractal& fractal, app::Shell* shell);

    QListWidget* list() const { return list_; }
    QPlainTextEdit* description() const { return description_; }

  private:
    void selectionChanged(int row);
    void accept() override;

    app::TypeDialog logic_;
    QListWidget* list_;
    QPlainTextEdit* description_;
};

}  // namespace gui
