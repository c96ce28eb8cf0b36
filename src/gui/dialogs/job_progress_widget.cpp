#include "gui/dialogs/job_progress_widget.h"

#include <QFileInfo>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <utility>

#include "app/dialog_fields.h"
#include "app/picture_export.h"
#include "app/picture_open_job.h"

namespace gui {

namespace {

constexpr int kRefreshMs = 100;
constexpr int kBarWidth = 320;

QString fileNameOf(const std::string& path) {
    return QFileInfo(QString::fromStdString(path)).fileName();
}

}  // namespace

JobProgressWidget::JobProgressWidget(QWidget* parent, Job job)
    : QDialog(parent), job_(std::move(job)) {
    setWindowTitle(job_.title);
    setWindowModality(Qt::NonModal);
    label_ = new QLabel(job_.text, this);
    label_->setObjectName(QStringLiteral("label") + job_.objectName);
    bar_ = new QProgressBar(this);
    bar_->setObjectName(QStringLiteral("progress") + job_.objectName);
    bar_->setRange(0, 1000);
    bar_->setMinimumWidth(kBarWidth);
    cancel_ = new QPushButton(QString::fromUtf8(app::kCancelText), this);
    cancel_->setObjectName(QStringLiteral("cancelButton"));
    auto* layout = new QVBoxLayout;
    layout->addWidget(label_);
    layout->addWidget(bar_);
    layout->addWidget(cancel_, 0, Qt::AlignRight);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    setLayout(layout);

    connect(cancel_, &QPushButton::clicked, this, [this] { cancelJob(); });
    timer_ = new QTimer(this);
    connect(timer_, &QTimer::timeout, this, [this] { refresh(); });
    timer_->start(kRefreshMs);
    refresh();
}

void JobProgressWidget::refresh() {
    bar_->setValue(job_.permille());
}

void JobProgressWidget::cancelJob() {
    job_.cancel();
    cancel_->setEnabled(false);
    label_->setText(job_.cancellingText);
}

void JobProgressWidget::reject() {
    cancelJob();
}

namespace {

// An export, or the completion of an unfinished picture before it is saved.
JobProgressWidget::Job exportJobShown(app::ExportJob& job) {
    const bool saving = job.output() == app::ExportJob::Output::CompletedPicture;
    const QString text = saving ? QStringLiteral("Completing %1 x %2 pixels for %3")
                                : QStringLiteral("Exporting %1 x %2 pixels to %3");
    return JobProgressWidget::Job{
        saving ? QStringLiteral("Save") : QStringLiteral("Export"),
        text.arg(job.request().width).arg(job.request().height).arg(fileNameOf(job.path())),
        saving ? QStringLiteral("Cancelling the save...")
               : QStringLiteral("Cancelling the export..."),
        QStringLiteral("Export"),
        [&job] { return job.permille(); },
        [&job] { job.cancel(); }};
}

}  // namespace

ExportProgressWidget::ExportProgressWidget(QWidget* parent, app::ExportJob& job)
    : JobProgressWidget(parent, exportJobShown(job)) {}

OpenProgressWidget::OpenProgressWidget(QWidget* parent, app::PictureOpenJob& job)
    : JobProgressWidget(parent, Job{QStringLiteral("Open"),
                                    QStringLiteral("Reading %1").arg(fileNameOf(job.path())),
                                    QStringLiteral("Cancelling..."), QStringLiteral("Open"),
                                    [&job] { return job.permille(); }, [&job] { job.cancel(); }}) {
    QTimer::singleShot(kShowAfterMs, this, [this, &job] {
        if (!job.finished())
            show();
    });
}

}  // namespace gui
