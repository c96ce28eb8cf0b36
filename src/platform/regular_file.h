#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace platform {

// An open regular file for reading. Opening never blocks (a named pipe cannot make
// it wait for a writer) and refuses anything that is not a regular file: folders,
// pipes, devices.
class RegularFile {
  public:
    // nullopt when the path cannot be opened or is not a regular file; errorNumber
    // (when given) receives errno, or 0 for "not a regular file".
    static std::optional<RegularFile> open(const std::string& path, int* errorNumber = nullptr);
    // Why open failed, from the errorNumber it gave.
    static std::string failureReason(int errorNumber);

    RegularFile(RegularFile&& other) noexcept;
    RegularFile& operator=(RegularFile&& other) noexcept;
    RegularFile(const RegularFile&) = delete;
    RegularFile& operator=(const RegularFile&) = delete;
    ~RegularFile();

    int descriptor() const { return fd_; }
    // The size when the file was opened.
    std::uint64_t size() const { return size_; }

    // Reads size bytes at offset; false when fewer are there.
    bool readAt(std::uint64_t offset, void* buffer, std::size_t size) const;
    // The whole file, or its first maxBytes when it is longer (truncated is then set).
    // It reads to the real end: the file may have grown or shrunk since it was opened.
    std::optional<std::string> readAll(std::size_t maxBytes, bool& truncated) const;

  private:
    RegularFile(int fd, std::uint64_t size) : fd_(fd), size_(size) {}
    int fd_ = -1;
    std::uint64_t size_ = 0;
};

}  // namespace platform
