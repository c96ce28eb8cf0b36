#include "gui/dialogs/export_progress_widget.h"

#include <QFileInfo>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "app/dialog_fields.h"
#include "app/picture_export.h"

namespace gui {

namespace {

constexpr int kRefreshMs = 100;
constexpr int kBarWidth = 320;

}  // namespace

ExportProgressWidget::ExportProgressWidget(QWidget* parent, app::ExportJob& job)
    : QDialog(parent), job_(job) {
    const bool saving = job.output() == app::ExportJob::Output::CompletedPicture;
    setWindowTitle(saving ? QStringLiteral("Save") : QStringLiteral("Export"));
    setWindowModality(Qt::NonModal);
    const QString name = QFileInfo(QString::fromStdString(job.path())).fileName();
    label_ = new QLabel((saving ? QStringLiteral("Completing %1 x %2 pixels for %3")
                                : QStringLiteral("Exporting %1 x %2 pixels to %3"))
                            .arg(job.request().width)
                            .arg(job.request().height)
                            .arg(name),
                        this);
    label_->setObjectName(QStringLiteral("labelExport"));
    bar_ = new QProgressBar(this);
    bar_->setObjectName(QStringLiteral("progressExport"));
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

    connect(cancel_, &QPushButton::clicked, this, [this] { cancelExport(); });
    timer_ = new QTimer(this);
    connect(timer_, &QTimer::timeout, this, [this] { refresh(); });
    timer_->start(kRefreshMs);
    refresh();
}

void ExportProgressWidget::refresh() {
    bar_->setValue(job_.permille());
}

void ExportProgressWidget::cancelExport() {
    job_.cancel();
    cancel_->setEnabled(false);
    label_->setText(job_.output() == app::ExportJob::Output::CompletedPicture
                        ? QStringLiteral("Cancelling the save...")
                        : QStringLiteral("Cancelling the export..."));
}

void ExportProgressWidget::reject() {
    cancelExport();
}

}  // namespace gui
