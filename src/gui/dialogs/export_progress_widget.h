#pragma once

#include <QDialog>

class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;

namespace app {
class ExportJob;
}

namespace gui {

// How far an export has come, with a button that cancels it. It does not block the
// main window; the main window takes it away when the export has ended.
class ExportProgressWidget : public QDialog {
  public:
    ExportProgressWidget(QWidget* parent, app::ExportJob& job);

    QProgressBar* bar() const { return bar_; }
    QPushButton* cancelButton() const { return cancel_; }

  protected:
    // Closing the window cancels the export, as the button does.
    void reject() override;

  private:
    void refresh();
    void cancelExport();

    app::ExportJob& job_;
    QLabel* label_;
    QProgressBar* bar_;
    QPushButton* cancel_;
    QTimer* timer_;
};

}  // namespace gui
