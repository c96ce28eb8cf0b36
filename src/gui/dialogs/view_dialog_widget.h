#pragma once

#include "app/view_dialog.h"
#include "gui/dialogs/dialog_frame.h"

class QLineEdit;

namespace gui {

// The view rectangle. Result 1 OK, 2 Cancel, 3 Default.
class ViewDialogWidget : public DialogFrame {
  public:
    ViewDialogWidget(QWidget* parent, engine::Fractal& fractal);

    QLineEdit* xmin() const { return xmin_; }
    QLineEdit* xmax() const { return xmax_; }
    QLineEdit* ymin() const { return ymin_; }
    QLineEdit* ymax() const { return ymax_; }

  private:
    void accept() override;
    QLineEdit* makeEdit(const std::string& text, const char* objectName);

    engine::Fractal& fractal_;
    QLineEdit* xmin_;
    QLineEdit* xmax_;
    QLineEdit* ymin_;
    QLineEdit* ymax_;
};

}  // namespace gui
