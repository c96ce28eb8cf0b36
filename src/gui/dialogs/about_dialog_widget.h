#pragma once

#include "app/about_dialog.h"
#include "gui/dialogs/dialog_frame.h"

namespace gui {

// The program's name, version and what it is. Result 1.
class AboutDialogWidget : public DialogFrame {
  public:
    explicit AboutDialogWidget(QWidget* parent);
};

}  // namespace gui
