#include "platform/instance_handshake.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace platform {

namespace {

using Clock = std::chrono::steady_clock;

class Descriptor {
  public:
    explicit Descriptor(int fd) : fd_(fd) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    int get() const { return fd_; }

  private:
    int fd_;
};

// Waits until fd is ready for events; false at the deadline or on an error.
bool waitUntilReady(int fd, short events, Clock::time_point deadline) {
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0)
            return false;
        pollfd entry{fd, events, 0};
        const int ready = ::poll(&entry, 1, static_cast<int>(left.count()));
        if (ready > 0)
            return (entry.revents & events) != 0;
        if (ready < 0 && errno != EINTR)
            return false;
    }
}

bool connectBy(int fd, const sockaddr_un& address, Clock::time_point deadline) {
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0)
        return true;
    // A full queue of waiting connections (EAGAIN) fails this attempt; the caller tries
    // again.
    if (errno != EINPROGRESS)
        return false;
    if (!waitUntilReady(fd, POLLOUT, deadline))
        return false;
    int error = 0;
    socklen_t size = sizeof error;
    return ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) == 0 && error == 0;
}

bool sendAll(int fd, std::string_view bytes, Clock::time_point deadline) {
    while (!bytes.empty()) {
        const ssize_t sent = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(sent));
        } else if (sent < 0 && errno == EINTR) {
            continue;
        } else if (sent < 0 && errno == EAGAIN) {
            if (!waitUntilReady(fd, POLLOUT, deadline))
                return false;
        } else {
            return false;
        }
    }
    return true;
}

// The first line the other side sends, cut off after a little more than the answer
// we expect.
std::string receiveLine(int fd, Clock::time_point deadline) {
    std::string line;
    const std::size_t enough = kRaiseAnswer.size() + 1;
    while (line.size() < enough && (line.empty() || line.back() != '\n')) {
        if (!waitUntilReady(fd, POLLIN, deadline))
            break;
        char buffer[64];
        const ssize_t got = ::recv(fd, buffer, std::min(sizeof buffer, enough - line.size()), 0);
        if (got > 0) {
            line.append(buffer, static_cast<std::size_t>(got));
        } else if (got == 0 || (errno != EINTR && errno != EAGAIN)) {
            break;
        }
    }
    return line;
}

}  // namespace

std::string instanceName(const std::string& settingsPath) {
    // FNV-1a: the same name for the same store in every build of the program.
    std::uint64_t hash = 14695981039346656037ull;
    for (const char c : settingsPath) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ull;
    }
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(hash));
    return std::string("instance-") + hex;
}

bool askInstanceToRaise(const std::string& socketPath, std::chrono::milliseconds timeout) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (socketPath.empty() || socketPath.size() >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, socketPath.data(), socketPath.size());
    const Descriptor socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (socket.get() < 0)
        return false;
    const Clock::time_point deadline = Clock::now() + timeout;
    return connectBy(socket.get(), address, deadline) &&
           sendAll(socket.get(), kRaiseRequest, deadline) &&
           receiveLine(socket.get(), deadline) == kRaiseAnswer;
}

}  // namespace platform
