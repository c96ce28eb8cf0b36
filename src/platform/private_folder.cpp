#include "platform/private_folder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace platform {

namespace {

constexpr mode_t kPrivateMode = 0700;

std::string describe(const std::string& path, const std::string& what) {
    return path + ": " + what;
}

// The folder as it is now, without following a link at its place: checked on the
// open folder itself, so that it cannot be swapped between the check and the use.
std::string problemWith(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        return describe(path,
                        errno == ENOTDIR || errno == ELOOP ? "not a folder" : std::strerror(errno));
    }
    struct stat info {};
    const bool known = ::fstat(fd, &info) == 0;
    ::close(fd);
    if (!known || !S_ISDIR(info.st_mode))
        return describe(path, "not a folder");
    if (info.st_uid != ::geteuid())
        return describe(path, "owned by another user");
    if ((info.st_mode & 07777) != kPrivateMode)
        return describe(path, "others may enter it (its mode is not 0700)");
    return {};
}

}  // namespace

PrivateFolder preparePrivateFolder(const std::string& path) {
    if (path.empty() || path.front() != '/')
        return PrivateFolder{path, describe(path, "not an absolute path")};
    if (::mkdir(path.c_str(), kPrivateMode) == 0) {
        // A narrow umask may have left it unusable even to us.
        ::chmod(path.c_str(), kPrivateMode);
    } else if (errno != EEXIST) {
        return PrivateFolder{path, describe(path, std::strerror(errno))};
    }
    // One that exists already is checked as it is.
    return PrivateFolder{path, problemWith(path)};
}

std::string runtimeFolderPath(const char* xdgRuntimeDir, uid_t uid) {
    if (xdgRuntimeDir != nullptr && xdgRuntimeDir[0] == '/')
        return std::string(xdgRuntimeDir) + "/corvane";
    return "/tmp/corvane-" + std::to_string(uid);
}

std::string runtimeFolderPath() {
    return runtimeFolderPath(std::getenv("XDG_RUNTIME_DIR"), ::geteuid());
}

}  // namespace platform
