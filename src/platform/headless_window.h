#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/window.h"

namespace platform {

// A message for the window procedure.
struct Message {
    unsigned message = 0;
    std::uintptr_t wParam = 0;
    std::intptr_t lParam = 0;
};

// A window without a display: pixels in memory, a message queue that the owner
// pumps by hand, timers that the owner fires by hand. Used by the tests and by
// corvane-render. It records what the program asked of it so tests can check it.
class HeadlessWindow : public Window {
  public:
    HeadlessWindow(int width, int height);

    void invalidate(const Rect* rect, bool erase) override;
    void flush() override;
    void pause(unsigned ms) override;
    void setTitleText(const std::string& text) override;
    void restoreTitle() override;
    void setTitleNote(const std::string& note) override;
    void setTitleSubject(const std::string& subject) override;
    bool setTimer(unsigned id, unsigned periodMs) override;
    void killTimer(unsigned id) override;
    void postMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) override;
    bool inputWaiting() const override;

    // The next queued message, if any.
    std::optional<Message> takeMessage();

    // What the title bar shows: the override, or "Corvane" with the note.
    std::string title() const;
    std::string titleNote() const;
    std::map<unsigned, unsigned> timers() const;
    int flushCount() const;
    std::vector<unsigned> pauses() const;
    int invalidateCount() const;
    // When set, pause() really sleeps; otherwise it only records the request.
    void setRealPauses(bool real);
    // The user's input waits once the window has been flushed this many times (0: from
    // the start; negative: never, the default).
    void setInputAfterFlushes(int flushes);

  private:
    mutable std::mutex mutex_;
    std::deque<Message> queue_;
    std::map<unsigned, unsigned> timers_;
    std::optional<std::string> titleOverride_;
    std::string titleNote_;
    std::string titleSubject_;
    std::vector<unsigned> pauses_;
    int flushCount_ = 0;
    int invalidateCount_ = 0;
    bool realPauses_ = false;
    int inputAfterFlushes_ = -1;
};

// A sound that counts the beeps and remembers when they came (tick count).
class RecordingSound : public Sound {
  public:
    void exclamation() override;
    std::vector<std::uint32_t> beeps() const;

  private:
    mutable std::mutex mutex_;
    std::vector<std::uint32_t> beeps_;
};

}  // namespace platform
