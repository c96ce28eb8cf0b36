#pragma once

#include <cstdint>
#include <cstring>

#include "platform/regular_file.h"

namespace platform {

// Random access to the bytes of a picture, so that only what its headers describe (and
// the file really holds) is ever read or allocated.
class ByteSource {
  public:
    virtual ~ByteSource() = default;
    virtual std::uint64_t size() const = 0;
    // Reads exactly n bytes at offset; false when they are not all there.
    virtual bool read(std::uint64_t offset, void* out, std::size_t n) const = 0;
};

class MemoryByteSource : public ByteSource {
  public:
    MemoryByteSource(const unsigned char* data, std::size_t size) : data_(data), size_(size) {}
    std::uint64_t size() const override { return size_; }
    bool read(std::uint64_t offset, void* out, std::size_t n) const override {
        if (offset > size_ || n > size_ - offset)
            return false;
        if (n > 0)
            std::memcpy(out, data_ + offset, n);
        return true;
    }

  private:
    const unsigned char* data_;
    std::size_t size_;
};

class FileByteSource : public ByteSource {
  public:
    explicit FileByteSource(const RegularFile& file) : file_(file) {}
    std::uint64_t size() const override { return file_.size(); }
    bool read(std::uint64_t offset, void* out, std::size_t n) const override {
        // Never beyond the size the file had when it was opened, even when it grew since.
        if (offset > file_.size() || n > file_.size() - offset)
            return false;
        return file_.readAt(offset, out, n);  // false too when the file shrank under us
    }

  private:
    const RegularFile& file_;
};

}  // namespace platform
