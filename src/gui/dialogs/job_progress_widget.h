#pragma once

#include <QDialog>
#include <QString>
#include <functional>

class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;

namespace app {
class ExportJob;
class PictureOpenJob;
}  // namespace app

namespace gui {

// How far a job on a thread of its own has come, with a button that cancels it. It does
// not block the main window; the main window takes it away when the job has ended.
class JobProgressWidget : public QDialog {
  public:
    // What the widget shows of a job and how it cancels it.
    struct Job {
        QString title;
        QString text;
        QString cancellingText;
        QString objectName;  // the label is "label" + objectName, the bar "progress" + objectName
        std::function<int()> permille;
        std::function<void()> cancel;
    };
    JobProgressWidget(QWidget* parent, Job job);

    QProgressBar* bar() const { return bar_; }
    QPushButton* cancelButton() const { return cancel_; }

  protected:
    // Closing the window cancels the job, as the button does.
    void reject() override;

  private:
    void refresh();
    void cancelJob();

    Job job_;
    QLabel* label_;
    QProgressBar* bar_;
    QPushButton* cancel_;
    QTimer* timer_;
};

// The progress of an export, shown at once.
class ExportProgressWidget : public JobProgressWidget {
  public:
    ExportProgressWidget(QWidget* parent, app::ExportJob& job);
};

// The progress of a picture file read for Open: shown only once the read has taken
// longer than a moment, so that ordinary pictures open without a flash.
class OpenProgressWidget : public JobProgressWidget {
  public:
    OpenProgressWidget(QWidget* parent, app::PictureOpenJob& job);
    static constexpr int kShowAfterMs = 300;
};

}  // namespace gui
