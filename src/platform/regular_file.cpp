#include "platform/regular_file.h"

#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <utility>

namespace platform {

std::optional<RegularFile> RegularFile::open(const std::string& path, int* errorNumber) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        if (errorNumber != nullptr)
            *errorNumber = errno;
        return std::nullopt;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        if (errorNumber != nullptr)
            *errorNumber = 0;
        return std::nullopt;
    }
    return RegularFile(fd, static_cast<std::uint64_t>(std::max<off_t>(info.st_size, 0)));
}

RegularFile::RegularFile(RegularFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), size_(other.size_) {}

RegularFile& RegularFile::operator=(RegularFile&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = std::exchange(other.fd_, -1);
        size_ = other.size_;
    }
    return *this;
}

RegularFile::~RegularFile() {
    if (fd_ >= 0)
        ::close(fd_);
}

bool RegularFile::readAt(std::uint64_t offset, void* buffer, std::size_t size) const {
    auto* out = static_cast<unsigned char*>(buffer);
    std::size_t done = 0;
    while (done < size) {
        // pread takes at most about 2 GiB at a time on Linux anyway.
        const std::size_t chunk = std::min<std::size_t>(size - done, std::size_t{1} << 30);
        const ssize_t got = ::pread(fd_, out + done, chunk, static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        done += static_cast<std::size_t>(got);
    }
    return true;
}

std::optional<std::string> RegularFile::readAll(std::size_t maxBytes, bool& truncated) const {
    // Sized from the file's own length, but read to the real end.
    std::string data(static_cast<std::size_t>(std::min<std::uint64_t>(size_, maxBytes)) + 1, '\0');
    std::size_t used = 0;
    while (used <= maxBytes) {
        if (used == data.size())
            data.resize(std::min(data.size() * 2, maxBytes + 1));
        const ssize_t got =
            ::pread(fd_, data.data() + used, data.size() - used, static_cast<off_t>(used));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return std::nullopt;
        if (got == 0)
            break;
        used += static_cast<std::size_t>(got);
    }
    truncated = used > maxBytes;
    data.resize(std::min(used, maxBytes));
    return data;
}

std::string RegularFile::failureReason(int errorNumber) {
    return errorNumber == 0 ? std::string("not a regular file") : std::strerror(errorNumber);
}

}  // namespace platform
