#include "platform/instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

namespace platform {

InstanceLock InstanceLock::tryTake(const std::string& path) {
    // Not inherited: a program started from ours must not keep the lock after we end.
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return InstanceLock(-1, State::Unusable, path + ": " + std::strerror(errno));
    int result = 0;
    do {
        result = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    if (result == 0)
        return InstanceLock(fd, State::Held, {});
    const int error = errno;
    ::close(fd);
    if (error == EWOULDBLOCK)
        return InstanceLock(-1, State::TakenByAnother, {});
    return InstanceLock(-1, State::Unusable, path + ": " + std::strerror(error));
}

InstanceLock::InstanceLock(InstanceLock&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)),
      state_(std::exchange(other.state_, State::Unusable)),
      problem_(std::move(other.problem_)) {}

InstanceLock& InstanceLock::operator=(InstanceLock&& other) noexcept {
    if (this != &other) {
        release();
        fd_ = std::exchange(other.fd_, -1);
        state_ = std::exchange(other.state_, State::Unusable);
        problem_ = std::move(other.problem_);
    }
    return *this;
}

InstanceLock::~InstanceLock() {
    release();
}

void InstanceLock::release() noexcept {
    if (fd_ >= 0)
        ::close(fd_);  // closing the only descriptor lets go of the lock
    fd_ = -1;
}

}  // namespace platform
