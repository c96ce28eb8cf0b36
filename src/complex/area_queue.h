#pragma once

#include <condition_variable>
#include <mutex>
#include <vector>

namespace complex {

// A rectangle as its top-left pixel and its size.
struct Area {
    int x;
    int y;
    int w;
    int h;
};

// The rectangles the threads of a tesseral run still have to subdivide. A thread
// takes one, may put new ones while working on it, and says when it is done with it;
// take waits while others may still put work, and returns false once nothing is left
// and nobody is working, or once the queue is closed (the run was stopped).
class AreaQueue {
  public:
    void put(const Area& area) {
        {
            std::lock_guard lock(mutex_);
            areas_.push_back(area);
        }
        changed_.notify_one();
    }

    bool take(Area& area) {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return closed_ || !areas_.empty() || working_ == 0; });
        if (closed_ || areas_.empty())
            return false;
        area = areas_.back();
        areas_.pop_back();
        ++working_;
        return true;
    }

    void done() {
        bool last = false;
        {
            std::lock_guard lock(mutex_);
            last = --working_ == 0 && areas_.empty();
        }
        if (last)
            changed_.notify_all();
    }

    void close() {
        {
            std::lock_guard lock(mutex_);
            closed_ = true;
        }
        changed_.notify_all();
    }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Area> areas_;
    int working_ = 0;
    bool closed_ = false;
};

}  // namespace complex
