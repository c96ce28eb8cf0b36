#include "gui/qt_window.h"

#include <QMetaObject>
#include <utility>

#include "app/messages.h"
#include "gui/message_words.h"

namespace gui {

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

}  // namespace gui
