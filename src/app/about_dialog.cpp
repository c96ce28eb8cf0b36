#include "app/about_dialog.h"

#include "app/dialog_fields.h"

namespace app {

int AboutDialog::ok() {
    return kDialogOk;
}

}  // namespace app
