#pragma once

// The seven modal dialogs of the program, for the Qt shell.
//
// Entry point: gui::runDialog(dialog, fractal, shell, parent) opens the dialog modally
// over parent on the fractal shown and returns its result code (1 OK, 2 Cancel,
// 3 Default; the Type dialog the chosen type id or 0). The Parameters dialogs check
// the fractal's family themselves: a fractal of the other family gets no dialog and
// the result 2. The shell is only used for help (F1 in the Type and Options dialogs).
//
// The widgets themselves (gui/dialogs/*_widget.h) can be built directly, as the tests
// do; each closes with done(result code).

#include "app/shell.h"

class QWidget;

namespace engine {
class Fractal;
}

namespace gui {

int runDialog(app::DialogId dialog, engine::Fractal& fractal, app::Shell& shell, QWidget* parent);

}  // namespace gui
