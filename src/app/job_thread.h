#pragma once

#include <atomic>
#include <functional>
#include <thread>

#include "platform/window.h"

namespace app {

// The thread of a job that runs beside the window (an export, the reading of a picture
// file): it runs work, marks the job finished and posts message to window, whose
// procedure then takes the result. Destroying it waits for the thread; the job cancels
// its work first.
class JobThread {
  public:
    JobThread(platform::Window& window, unsigned message, std::function<void()> work);
    ~JobThread() { join(); }
    JobThread(const JobThread&) = delete;
    JobThread& operator=(const JobThread&) = delete;

    bool finished() const { return finished_.load(std::memory_order_acquire); }
    // Waits until the work has returned; what it wrote may be read afterwards.
    void join() {
        if (thread_.joinable())
            thread_.join();
    }

  private:
    std::atomic<bool> finished_{false};
    std::thread thread_;
};

inline JobThread::JobThread(platform::Window& window, unsigned message, std::function<void()> work)
    : thread_([this, &window, message, work = std::move(work)] {
          work();
          finished_.store(true, std::memory_order_release);
          window.postMessage(message, 0, 0);
      }) {}

}  // namespace app
