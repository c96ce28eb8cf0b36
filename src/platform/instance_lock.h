#pragma once

#include <string>

namespace platform {

// An exclusive lock on a file for as long as this object (and the process) lives: the
// one running program of a user holds it. The kernel lets go of it when the process
// ends in any way, so a crash never leaves it taken.
class InstanceLock {
  public:
    enum class State { Held, TakenByAnother, Unusable };

    // Opens or creates path (mode 0600) and tries to lock it without waiting.
    static InstanceLock tryTake(const std::string& path);

    InstanceLock() = default;
    InstanceLock(InstanceLock&& other) noexcept;
    InstanceLock& operator=(InstanceLock&& other) noexcept;
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;
    ~InstanceLock();

    State state() const { return state_; }
    bool held() const { return state_ == State::Held; }
    // Why the file cannot be locked (Unusable).
    const std::string& problem() const { return problem_; }

  private:
    InstanceLock(int fd, State state, std::string problem)
        : fd_(fd), state_(state), problem_(std::move(problem)) {}
    void release() noexcept;

    int fd_ = -1;
    State state_ = State::Unusable;
    std::string problem_;
};

}  // namespace platform
