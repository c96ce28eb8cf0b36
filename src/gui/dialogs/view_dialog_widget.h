#pragma once

#include <optional>

#include "app/view_dialog.h"
#include "gui/dialogs/dialog_frame.h"

class QGridLayout;
class QLineEdit;

namespace gui {

// The view rectangle, or the centre and width of a view deeper than double resolves.
// Types that compute deep views show the centre and width below the edges too.
// Result 1 OK, 2 Cancel, 3 Default.
class ViewDialogWidget : public DialogFrame {
  public:
    ViewDialogWidget(QWidget* parent, engine::Fractal& fractal);

    QLineEdit* xmin() const { return xmin_; }
    QLineEdit* xmax() const { return xmax_; }
    QLineEdit* ymin() const { return ymin_; }
    QLineEdit* ymax() const { return ymax_; }
    // The centre and width; null when the dialog shows only the four edges.
    QLineEdit* real() const { return real_; }
    QLineEdit* imaginary() const { return imaginary_; }
    QLineEdit* planeWidth() const { return width_; }

  private:
    void accept() override;
    QLineEdit* makeEdit(const std::string& text, const char* objectName);
    QLineEdit* makeLongEdit(const std::string& text, const char* objectName);
    void layOutEdges(const app::ViewForm& form, QGridLayout* grid);
    // From row on: first when alone, below the edges beside them.
    void layOutCentreAndWidth(const app::DeepViewForm& form, QGridLayout* grid, int row);
    // Ok with the centre and width shown (alone, or beside the edges).
    void acceptCentre();
    app::ViewForm edges() const;

    engine::Fractal& fractal_;
    QLineEdit* xmin_ = nullptr;
    QLineEdit* xmax_ = nullptr;
    QLineEdit* ymin_ = nullptr;
    QLineEdit* ymax_ = nullptr;
    QLineEdit* real_ = nullptr;
    QLineEdit* imaginary_ = nullptr;
    QLineEdit* width_ = nullptr;
    // The centre and width as shown beside the edges; nullopt when not shown there.
    std::optional<app::DeepViewForm> shownCentre_;
};

}  // namespace gui
