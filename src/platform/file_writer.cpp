#include "platform/file_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <utility>

#include "platform/c_format.h"
#include "platform/temporary_files.h"

namespace platform {

namespace {

FileWriteResult failure(std::string reason) {
    return FileWriteResult{false, std::move(reason)};
}

FileWriteResult systemFailure(int errorNumber) {
    return failure(errorNumber != 0 ? systemReason(errorNumber) : "the data could not be written");
}

// The process's file creation mask, read without changing it (umask() would
// briefly change it for every thread).
mode_t currentUmask() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        unsigned mask = 0;
        if (cscan(line, "Umask: %o", &mask) == 1)
            return static_cast<mode_t>(mask & 0777);
    }
    return 022;
}

// The permissions of the file being replaced, or those a new file gets.
mode_t modeForReplacement(const std::string& path, bool ownerOnly) {
    struct stat existing {};
    if (::stat(path.c_str(), &existing) == 0 && S_ISREG(existing.st_mode))
        return existing.st_mode & 0777;
    return ownerOnly ? 0600 : 0666 & ~currentUmask();
}

// The folder of path with its trailing '/', or "" for a name in the current folder.
std::string folderPrefix(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// Writes through a stream over fd and closes both; the first failure's reason.
FileWriteResult writeAndClose(int fd, const std::function<bool(std::FILE*)>& write, bool durable) {
    std::FILE* file = ::fdopen(fd, "wb");
    if (file == nullptr) {
        const int error = errno;
        ::close(fd);
        return systemFailure(error);
    }
    errno = 0;
    int error = 0;
    if (!write(file)) {
        error = errno != 0 ? errno : (std::ferror(file) ? EIO : 0);
        std::fclose(file);
        return systemFailure(error);
    }
    if (std::fflush(file) != 0 || (durable && ::fsync(fd) != 0)) {
        error = errno;
        std::fclose(file);
        return systemFailure(error);
    }
    if (std::fclose(file) != 0)
        return systemFailure(errno);
    return FileWriteResult{true, {}};
}

// A temporary file in the folder of target, removed again unless it was renamed.
class TemporaryFile {
  public:
    explicit TemporaryFile(const std::string& target)
        : name_(folderPrefix(target) + kTemporaryFilePattern) {
        fd_ = createTemporaryFile(name_, O_CLOEXEC);
        error_ = fd_ < 0 ? errno : 0;
        created_ = fd_ >= 0;
    }
    ~TemporaryFile() {
        if (fd_ >= 0)
            ::close(fd_);
        if (created_ && !kept_)
            removeTemporaryFile(name_);
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    int descriptor() const { return fd_; }
    int error() const { return error_; }
    const std::string& name() const { return name_; }
    // Hands the descriptor over to whoever closes it; the name stays ours.
    int release() { return std::exchange(fd_, -1); }
    void keep() { kept_ = true; }

  private:
    std::string name_;
    int fd_ = -1;
    int error_ = 0;
    bool created_ = false;
    bool kept_ = false;
};

// Makes a rename in folder durable; a failure here does not undo the write.
void syncFolder(const std::string& prefix) {
    const int fd =
        ::open(prefix.empty() ? "." : prefix.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

FileWriteResult replaceFile(const std::string& target, const FileWriteOptions& options,
                            const std::function<bool(std::FILE*)>& write) {
    removeStaleTemporaryFiles(folderPrefix(target));
    // An existing file that we may not write stays as it is, as with a plain open.
    if (::access(target.c_str(), F_OK) == 0 && ::access(target.c_str(), W_OK) != 0)
        return systemFailure(errno);
    TemporaryFile temporary(target);
    if (temporary.descriptor() < 0)
        return systemFailure(temporary.error());
    if (::fchmod(temporary.descriptor(), modeForReplacement(target, options.ownerOnly)) != 0)
        return systemFailure(errno);
    const FileWriteResult written = writeAndClose(temporary.release(), write, true);
    if (!written)
        return written;
    // Something other than a file may have taken the name meanwhile; the rename
    // would replace it.
    struct stat now {};
    if (::lstat(target.c_str(), &now) == 0 && !S_ISREG(now.st_mode))
        return failure(refusalReason(kindOfMode(now.st_mode)));
    if (const int error = renameTemporaryFile(temporary.name(), target); error != 0)
        return systemFailure(error);
    temporary.keep();
    syncFolder(folderPrefix(target));
    return FileWriteResult{true, {}};
}

// Writes into a pipe or a device as any tool would, without creating or truncating
// anything. Opened without blocking first, so that a pipe nobody reads fails at once.
FileWriteResult writeInto(const std::string& path, TargetKind kind,
                          const std::function<bool(std::FILE*)>& write) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENXIO && kind == TargetKind::Pipe)
            return failure("no program is reading from this pipe");
        return systemFailure(errno);
    }
    struct stat info {};
    const bool stream =
        ::fstat(fd, &info) == 0 && (S_ISFIFO(info.st_mode) || S_ISCHR(info.st_mode));
    const int flags = ::fcntl(fd, F_GETFL);
    if (!stream || flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        const int error = errno;
        ::close(fd);
        return stream ? systemFailure(error) : failure("it changed while it was being opened");
    }
    return writeAndClose(fd, write, false);
}

}  // namespace

FileWriteResult writeFile(const std::string& path, const FileWriteOptions& options,
                          const std::function<bool(std::FILE*)>& write) {
    const WriteTarget target = examineWriteTarget(path, options.streams);
    switch (target.action) {
        case WriteTarget::Action::Replace:
            return replaceFile(target.path, options, write);
        case WriteTarget::Action::WriteInto:
            return writeInto(target.path, target.kind, write);
        case WriteTarget::Action::Refuse:
            break;
    }
    return failure(target.reason);
}

}  // namespace platform
