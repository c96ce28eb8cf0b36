#include "gui/qt_window.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QRegion>
#include <QWheelEvent>
#include <algorithm>
#include <utility>

#include "app/messages.h"
#include "platform/string_table.h"

namespace gui {

namespace {

constexpr std::uintptr_t kLeftButton = app::MK_LBUTTON;
constexpr unsigned kMinimumTimerMs = 10;
constexpr std::uint32_t kOpaque = 0xFF000000u;

std::uintptr_t buttonsHeld(Qt::MouseButtons buttons) {
    std::uintptr_t held = 0;
    if (buttons & Qt::LeftButton)
        held |= app::MK_LBUTTON;
    if (buttons & Qt::MiddleButton)
        held |= app::MK_MBUTTON;
    return held;
}

unsigned clampToWord(int value) {
    return static_cast<unsigned>(std::clamp(value, 0, 0xFFFF));
}

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

// ----- Messages -----

std::intptr_t QtWindow::send(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) {
    emit activity();
    if (busy_ > 0) {
        enqueue(platform::Message{message, wParam, lParam}, true);
        if (pauseLoop_ != nullptr)
            pauseLoop_->quit();
        return 0;
    }
    return dispatch(platform::Message{message, wParam, lParam});
}

std::intptr_t QtWindow::dispatch(const platform::Message& queued) {
    platform::Message message = queued;
    if (message.message == app::WM_PAINT) {
        // The update rectangle goes with the message, and is thereby validated.
        const QRect update = pendingUpdate_ & QRect(0, 0, surface().width(), surface().height());
        pendingUpdate_ = QRect();
        paintQueued_ = false;
        if (update.isEmpty())
            return 0;
        message.wParam = static_cast<std::uintptr_t>(
            app::makeLParam(clampToWord(update.left()), clampToWord(update.top())));
        message.lParam = app::makeLParam(clampToWord(update.left() + update.width()),
                                         clampToWord(update.top() + update.height()));
    }
    if (!procedure_)
        return 0;
    ++busy_;
    const std::intptr_t result = procedure_(message.message, message.wParam, message.lParam);
    --busy_;
    if (busy_ == 0)
        scheduleDrain();
    return result;
}

void QtWindow::postMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) {
    enqueue(platform::Message{message, wParam, lParam}, false);
}

void QtWindow::enqueue(const platform::Message& message, bool fromUser) {
    {
        std::lock_guard lock(queueMutex_);
        queue_.push_back(Queued{message, fromUser});
        if (fromUser)
            ++userMessagesWaiting_;
    }
    scheduleDrain();
}

bool QtWindow::inputWaiting() const {
    std::lock_guard lock(queueMutex_);
    return userMessagesWaiting_ > 0;
}

void QtWindow::postTimer(unsigned id) {
    // Like a desktop timer, one tick waits at most once: ticks that come while the
    // procedure is busy (an animated slideshow picture) must not pile up.
    {
        std::lock_guard lock(queueMutex_);
        const bool waiting = std::any_of(queue_.begin(), queue_.end(), [id](const Queued& queued) {
            return queued.message.message == app::WM_TIMER && queued.message.wParam == id;
        });
        if (waiting)
            return;
        queue_.push_back(Queued{platform::Message{app::WM_TIMER, id, 0}, false});
    }
    scheduleDrain();
}

void QtWindow::scheduleDrain() {
    std::lock_guard lock(queueMutex_);
    if (queue_.empty() || drainScheduled_)
        return;
    drainScheduled_ = true;
    QMetaObject::invokeMethod(this, &QtWindow::drainQueue, Qt::QueuedConnection);
}

std::optional<platform::Message> QtWindow::takeNextMessage() {
    std::lock_guard lock(queueMutex_);
    drainScheduled_ = false;
    if (busy_ > 0 || queue_.empty())
        return std::nullopt;  // the procedure schedules the rest when it returns
    // A tick waits behind every other message, as the desktop's timers do: a slideshow
    // whose pictures take longer than its delay must not hold back the key that ends it.
    auto next = std::find_if(queue_.begin(), queue_.end(), [](const Queued& queued) {
        return queued.message.message != app::WM_TIMER;
    });
    if (next == queue_.end())
        next = queue_.begin();
    const Queued taken = *next;
    queue_.erase(next);
    if (taken.fromUser)
        --userMessagesWaiting_;
    return taken.message;
}

void QtWindow::drainQueue() {
    const std::optional<platform::Message> message = takeNextMessage();
    if (!message)
        return;
    // One message per turn of the event loop, so that keys, clicks and paints the
    // user is waiting for are never held back by a stream of queued messages.
    dispatch(*message);
    scheduleDrain();
}

// ----- platform::Window -----

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

// ----- Painting -----

void QtWindow::repaintIfDirty() {
    if (takeDirty()) {
        update();
    } else {
        // A whole interval without drawing: sleep until the next drawing (dirtied).
        repaintTimer_.stop();
    }
}

void QtWindow::dirtied() noexcept {
    // Possibly on the worker thread, and at most once per repaint.
    QMetaObject::invokeMethod(this, &QtWindow::resumeRepainting, Qt::QueuedConnection);
}

void QtWindow::resumeRepainting() {
    emit activity();
    if (!repaintTimer_.isActive())
        repaintTimer_.start();
}

void QtWindow::adaptRepaintRate(qint64 paintNanoseconds) {
    // A large picture costs more per repaint: it is repainted less often, so that
    // showing it keeps to a small share of the time and the worker keeps the rest.
    averagePaintMs_ = 0.8 * averagePaintMs_ + 0.2 * (static_cast<double>(paintNanoseconds) / 1e6);
    const int interval = std::clamp(static_cast<int>(averagePaintMs_ / kPaintTimeShare),
                                    kRepaintIntervalMs, kSlowestRepaintMs);
    if (interval != repaintTimer_.interval())
        repaintTimer_.setInterval(interval);
}

void QtWindow::copySurface(const QRect& area) {
    const platform::Bitmap& pixels = surface();
    if (frame_.width() != pixels.width() || frame_.height() != pixels.height()) {
        frame_ = QImage(pixels.width(), pixels.height(), QImage::Format_RGB32);
    }
    // The surface keeps red in the lowest byte; the screen's own format wants blue there,
    // so the picture is drawn without a further conversion.
    for (int y = area.top(); y <= area.bottom(); ++y) {
        auto* line = reinterpret_cast<std::uint32_t*>(frame_.scanLine(y)) + area.left();
        pixels.readRow(area.left(), y, area.width(), line);
        for (int x = 0; x < area.width(); ++x) {
            const std::uint32_t c = line[x];
            line[x] = kOpaque | ((c & 0xFFu) << 16) | (c & 0xFF00u) | ((c >> 16) & 0xFFu);
        }
    }
}

void QtWindow::paintEvent(QPaintEvent* event) {
    QElapsedTimer cost;
    cost.start();
    QPainter painter(this);
    const QRect area = event->rect();
    const QRect pictureArea(0, 0, surface().width(), surface().height());
    const QRect shown = area & pictureArea;
    if (!shown.isEmpty()) {
        copySurface(shown);
        painter.drawImage(shown.topLeft(), frame_, shown);
    }
    // Until the picture follows a new size, the rest of the window stays white.
    for (const QRect& rest : QRegion(area).subtracted(QRegion(pictureArea))) {
        painter.fillRect(rest, Qt::white);
    }
    ++frameCount_;
    const qint64 spent = cost.nsecsElapsed();
    paintNanoseconds_ += spent;
    adaptRepaintRate(spent);
}

void QtWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    settleTimer_.start();
}

void QtWindow::settleSize() {
    emit sizeSettled(size());
    postMessage(app::WM_SIZE, 0, app::makeLParam(clampToWord(width()), clampToWord(height())));
}

// ----- Stylus and mouse -----

std::intptr_t QtWindow::stylusParam(const QPoint& position) const {
    // A drag may leave the picture; the stylus never leaves the screen.
    const int x = std::clamp(position.x(), 0, std::max(surface().width() - 1, 0));
    const int y = std::clamp(position.y(), 0, std::max(surface().height() - 1, 0));
    return app::makeLParam(static_cast<unsigned>(x), static_cast<unsigned>(y));
}

void QtWindow::mousePressEvent(QMouseEvent* event) {
    const std::intptr_t where = stylusParam(event->position().toPoint());
    if (event->button() == Qt::LeftButton) {
        send(app::WM_LBUTTONDOWN, kLeftButton, where);
    } else if (event->button() == Qt::MiddleButton) {
        send(app::WM_MBUTTONDOWN, app::MK_MBUTTON, where);
    } else {
        QWidget::mousePressEvent(event);
    }
}

void QtWindow::mouseMoveEvent(QMouseEvent* event) {
    const std::uintptr_t held = buttonsHeld(event->buttons());
    if (held == 0) {
        emit activity();  // the coordinates under the pointer
        return QWidget::mouseMoveEvent(event);
    }
    send(app::WM_MOUSEMOVE, held, stylusParam(event->position().toPoint()));
}

void QtWindow::mouseReleaseEvent(QMouseEvent* event) {
    const std::intptr_t where = stylusParam(event->position().toPoint());
    if (event->button() == Qt::LeftButton) {
        send(app::WM_LBUTTONUP, 0, where);
    } else if (event->button() == Qt::MiddleButton) {
        send(app::WM_MBUTTONUP, 0, where);
    } else {
        QWidget::mouseReleaseEvent(event);
    }
}

void QtWindow::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return mousePressEvent(event);
    send(app::WM_LBUTTONDBLCLK, kLeftButton, stylusParam(event->position().toPoint()));
}

void QtWindow::wheelEvent(QWheelEvent* event) {
    // Touchpads and fine wheels deliver fractions of a notch (120).
    const int delta = event->angleDelta().y();
    event->accept();
    if (delta != 0)
        sendWheel(delta, stylusParam(event->position().toPoint()));
}

void QtWindow::sendWheel(int delta, std::intptr_t lParam) {
    const auto wParamFor = [](int d) {
        return static_cast<std::uintptr_t>(
            app::makeLParam(0, static_cast<unsigned>(std::clamp(d, -0x7FFF, 0x7FFF))));
    };
    if (busy_ > 0) {
        std::lock_guard lock(queueMutex_);
        if (!queue_.empty() && queue_.back().message.message == app::WM_MOUSEWHEEL) {
            platform::Message& waiting = queue_.back().message;
            waiting.wParam = wParamFor(app::wheelDelta(waiting.wParam) + delta);
            waiting.lParam = lParam;
            return;
        }
    }
    send(app::WM_MOUSEWHEEL, wParamFor(delta), lParam);
}

}  // namespace gui
