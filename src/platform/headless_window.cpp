#include "platform/headless_window.h"

#include "platform/clock.h"
#include "platform/string_table.h"

namespace platform {

HeadlessWindow::HeadlessWindow(int width, int height) {
    resizeSurface(width, height);
}

void HeadlessWindow::invalidate(const Rect*, bool) {
    std::lock_guard lock(mutex_);
    ++invalidateCount_;
}

void HeadlessWindow::flush() {
    std::lock_guard lock(mutex_);
    ++flushCount_;
}

void HeadlessWindow::pause(unsigned ms) {
    bool real = false;
    {
        std::lock_guard lock(mutex_);
        pauses_.push_back(ms);
        real = realPauses_;
    }
    if (real)
        sleepMs(ms);
}

void HeadlessWindow::setTitleText(const std::string& text) {
    std::lock_guard lock(mutex_);
    titleOverride_ = text;
}

void HeadlessWindow::restoreTitle() {
    std::lock_guard lock(mutex_);
    titleOverride_.reset();
}

void HeadlessWindow::setTitleNote(const std::string& note) {
    std::lock_guard lock(mutex_);
    titleNote_ = note;
}

bool HeadlessWindow::setTimer(unsigned id, unsigned periodMs) {
    std::lock_guard lock(mutex_);
    timers_[id] = periodMs;
    return true;
}

void HeadlessWindow::killTimer(unsigned id) {
    std::lock_guard lock(mutex_);
    timers_.erase(id);
}

void HeadlessWindow::postMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) {
    std::lock_guard lock(mutex_);
    queue_.push_back(Message{message, wParam, lParam});
}

bool HeadlessWindow::inputWaiting() const {
    std::lock_guard lock(mutex_);
    return inputAfterFlushes_ >= 0 && flushCount_ >= inputAfterFlushes_;
}

std::optional<Message> HeadlessWindow::takeMessage() {
    std::lock_guard lock(mutex_);
    if (queue_.empty())
        return std::nullopt;
    Message m = queue_.front();
    queue_.pop_front();
    return m;
}

void HeadlessWindow::setTitleSubject(const std::string& subject) {
    std::lock_guard lock(mutex_);
    titleSubject_ = subject;
}

std::string HeadlessWindow::title() const {
    std::lock_guard lock(mutex_);
    return titleOverride_ ? *titleOverride_ : windowTitleFor(titleSubject_, titleNote_);
}

std::string HeadlessWindow::titleNote() const {
    std::lock_guard lock(mutex_);
    return titleNote_;
}

std::map<unsigned, unsigned> HeadlessWindow::timers() const {
    std::lock_guard lock(mutex_);
    return timers_;
}

int HeadlessWindow::flushCount() const {
    std::lock_guard lock(mutex_);
    return flushCount_;
}

std::vector<unsigned> HeadlessWindow::pauses() const {
    std::lock_guard lock(mutex_);
    return pauses_;
}

int HeadlessWindow::invalidateCount() const {
    std::lock_guard lock(mutex_);
    return invalidateCount_;
}

void HeadlessWindow::setRealPauses(bool real) {
    std::lock_guard lock(mutex_);
    realPauses_ = real;
}

void HeadlessWindow::setInputAfterFlushes(int flushes) {
    std::lock_guard lock(mutex_);
    inputAfterFlushes_ = flushes;
}

void RecordingSound::exclamation() {
    std::lock_guard lock(mutex_);
    beeps_.push_back(tickCount());
}

std::vector<std::uint32_t> RecordingSound::beeps() const {
    std::lock_guard lock(mutex_);
    return beeps_;
}

}  // namespace platform
