#include "gui/qt_window.h"

#include <QEventLoop>
#include <algorithm>
#include <utility>

#include "app/messages.h"
#include "platform/string_table.h"

namespace gui {

namespace {

constexpr unsigned kMinimumTimerMs = 10;

}  // namespace

QtWindow::QtWindow(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setMinimumSize(kMinimumSide, kMinimumSide);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);

    repaintTimer_.setInterval(kRepaintIntervalMs);
    connect(&repaintTimer_, &QTimer::timeout, this, &QtWindow::repaintIfDirty);
    repaintTimer_.start();

    settleTimer_.setSingleShot(true);
    settleTimer_.setInterval(kResizeSettleMs);
    connect(&settleTimer_, &QTimer::timeout, this, &QtWindow::settleSize);
}

QtWindow::~QtWindow() = default;

void QtWindow::invalidate(const platform::Rect* rect, bool) {
    const QRect whole(0, 0, surface().width(), surface().height());
    const QRect area = rect == nullptr ? whole
                                       : QRect(QPoint(rect->left, rect->top),
                                               QPoint(rect->right - 1, rect->bottom - 1));
    pendingUpdate_ |= area.normalized();
    if (!paintQueued_) {
        paintQueued_ = true;
        postMessage(app::WM_PAINT, 0, 0);
    }
}

void QtWindow::flush() {
    takeDirty();
    repaint();
}

void QtWindow::pause(unsigned ms) {
    if (inputWaiting())
        return;  // the user is waiting for the program
    ++busy_;
    QEventLoop loop;
    QEventLoop* const outer = std::exchange(pauseLoop_, &loop);
    QTimer::singleShot(static_cast<int>(std::min(ms, 60000u)), &loop, &QEventLoop::quit);
    // Keys and clicks are taken meanwhile: they wait for the procedure, and end the pause.
    loop.exec();
    pauseLoop_ = outer;
    --busy_;
}

void QtWindow::setTitleText(const std::string& text) {
    titleReplaced_ = true;
    window()->setWindowTitle(QString::fromStdString(text));
}

void QtWindow::restoreTitle() {
    titleReplaced_ = false;
    window()->setWindowTitle(
        QString::fromStdString(platform::windowTitleFor(titleSubject_, titleNote_)));
}

void QtWindow::setTitleNote(const std::string& note) {
    titleNote_ = note;
    if (!titleReplaced_)
        restoreTitle();
}

void QtWindow::setTitleSubject(const std::string& subject) {
    titleSubject_ = subject;
    if (!titleReplaced_)
        restoreTitle();
}

bool QtWindow::setTimer(unsigned id, unsigned periodMs) {
    std::unique_ptr<QTimer>& timer = timers_[id];
    if (!timer) {
        timer = std::make_unique<QTimer>();
        connect(timer.get(), &QTimer::timeout, this, [this, id] { postTimer(id); });
    }
    timer->start(static_cast<int>(std::clamp(periodMs, kMinimumTimerMs, 0x7FFFFFFFu)));
    return true;
}

void QtWindow::killTimer(unsigned id) {
    timers_.erase(id);
}

}  // namespace gui
