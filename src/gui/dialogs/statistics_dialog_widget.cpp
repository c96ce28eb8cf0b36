#include "gui/dialogs/statistics_dialog_widget.h"

#include <QGridLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

#include "app/dialog_fields.h"

namespace gui {

namespace {

using Logic = app::StatisticsDialog;

platform::Rect toRect(const QRect& r) {
    // QRect's right and bottom are inclusive; ours are not.
    return platform::Rect{r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
}

constexpr std::array<const char*, 8> kValueNames = {
    "startTime",           "endTime",        "duration", "points", "iterations", "pointsPerSecond",
    "iterationsPerSecond", "referenceMemory"};

}  // namespace

StatisticsDialogWidget::StatisticsDialogWidget(QWidget* parent, const engine::Fractal& fractal)
    : DialogFrame(parent, Logic::kCaption, app::kDialogOk), fractal_(fractal) {
    auto* grid = new QGridLayout;
    for (std::size_t i = 0; i < values_.size(); ++i) {
        const int row = static_cast<int>(i);
        QLabel* label = makeLabel(Logic::kLabels[i], "");
        label->setObjectName(QStringLiteral("label_%1").arg(kValueNames[i]));
        grid->addWidget(label, row, 0);
        values_[i] = makeLabel("---", kValueNames[i]);
        values_[i]->setMinimumWidth(fontMetrics().horizontalAdvance("00:00:00 AM XXXXXXXX"));
        grid->addWidget(values_[i], row, 1);
    }
    // A deep picture's figures, below the run's.
    deep_ = makeLabel("", "deepFigures");
    deep_->setVisible(false);
    grid->addWidget(deep_, static_cast<int>(values_.size()), 0, 1, 2);
    // A desktop dialog has no OK in its caption: it gets a button of its own.
    auto* ok = makeButton(app::kOkText, "okButton");
    ok->setDefault(true);
    grid->addWidget(ok, static_cast<int>(values_.size()) + 1, 0, 1, 2, Qt::AlignHCenter);
    finishLayout(grid);
    connect(ok, &QPushButton::clicked, this, [this] { accept(); });

    timer_.setInterval(static_cast<int>(Logic::kRefreshMs));
    connect(&timer_, &QTimer::timeout, this, [this] { refresh(); });
    timer_.start();
    refresh();  // the values are there when the dialog appears
    centreOverParent(parent);
}

void StatisticsDialogWidget::refresh() {
    if (!logic_.refresh(fractal_))
        timer_.stop();
    const app::StatisticsValues& v = logic_.values();
    const std::array<const std::string*, 8> texts = {&v.startTime,
                                                     &v.endTime,
                                                     &v.duration,
                                                     &v.points,
                                                     &v.iterations,
                                                     &v.pointsPerSecond,
                                                     &v.iterationsPerSecond,
                                                     &v.referenceMemory};
    for (std::size_t i = 0; i < values_.size(); ++i) {
        values_[i]->setText(QString::fromStdString(*texts[i]));
    }
    QStringList deepLines;
    for (const std::string& line : v.deep)
        deepLines << QString::fromStdString(line);
    deep_->setText(deepLines.join(QLatin1Char('\n')));
    if (deep_->isVisible() != !deepLines.isEmpty()) {
        deep_->setVisible(!deepLines.isEmpty());
        adjustSize();
    }
}

void StatisticsDialogWidget::accept() {
    timer_.stop();
    done(logic_.close());
}

// Closing the window any other way is the same as OK.
void StatisticsDialogWidget::reject() {
    accept();
}

void StatisticsDialogWidget::centreOverParent(QWidget* parent) {
    adjustSize();
    QWidget* over = parent != nullptr ? parent->window() : nullptr;
    QScreen* screen = over != nullptr ? over->screen() : QGuiApplication::primaryScreen();
    if (screen == nullptr)
        return;
    const platform::Rect desktop = toRect(screen->availableGeometry());
    const platform::Rect parentRect = over != nullptr ? toRect(over->frameGeometry()) : desktop;
    const platform::Rect dialog{0, 0, width(), height()};
    const platform::Rect placed = Logic::centreOverParent(dialog, parentRect, desktop);
    move(placed.left, placed.top);
}

}  // namespace gui
