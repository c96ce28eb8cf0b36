#include "platform/temporary_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <set>

namespace platform {

namespace {

constexpr std::string_view kPattern = kTemporaryFilePattern;
constexpr std::string_view kPrefix = kPattern.substr(0, kPattern.find('X'));

bool isLetterOrDigit(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

// Seconds since the file was last changed; negative for a clock that went back.
double ageInSeconds(const struct stat& info) {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<double>(now.tv_sec - info.st_mtim.tv_sec) +
           static_cast<double>(now.tv_nsec - info.st_mtim.tv_nsec) / 1e9;
}

bool isStaleTemporaryFile(int folderFd, const char* name, std::chrono::seconds maxAge) {
    struct stat info {};
    if (::fstatat(folderFd, name, &info, AT_SYMLINK_NOFOLLOW) != 0)
        return false;
    return S_ISREG(info.st_mode) && info.st_uid == ::geteuid() &&
           ageInSeconds(info) > static_cast<double>(maxAge.count());
}

// The files of writes under way. Creating, renaming and removing happen under the
// lock, so that the removal at the end never misses a file nor removes one renamed.
struct OpenTemporaryFiles {
    std::mutex mutex;
    std::set<std::string> names;
    bool ending = false;
};

OpenTemporaryFiles& openTemporaryFiles() {
    static OpenTemporaryFiles files;
    return files;
}

}  // namespace

int createTemporaryFile(std::string& name, int flags) {
    OpenTemporaryFiles& files = openTemporaryFiles();
    const std::lock_guard lock(files.mutex);
    if (files.ending) {
        errno = ECANCELED;
        return -1;
    }
    const int fd = ::mkostemp(name.data(), flags);
    if (fd >= 0)
        files.names.insert(name);
    return fd;
}

int renameTemporaryFile(const std::string& name, const std::string& target) {
    OpenTemporaryFiles& files = openTemporaryFiles();
    const std::lock_guard lock(files.mutex);
    if (files.ending)
        return ECANCELED;
    if (std::rename(name.c_str(), target.c_str()) != 0)
        return errno;
    files.names.erase(name);
    return 0;
}

void removeTemporaryFile(const std::string& name) {
    OpenTemporaryFiles& files = openTemporaryFiles();
    const std::lock_guard lock(files.mutex);
    ::unlink(name.c_str());
    files.names.erase(name);
}

void removeAllTemporaryFiles() {
    OpenTemporaryFiles& files = openTemporaryFiles();
    const std::lock_guard lock(files.mutex);
    files.ending = true;
    for (const std::string& name : files.names)
        ::unlink(name.c_str());
    files.names.clear();
}

bool isTemporaryFileName(std::string_view name) {
    if (name.size() != kPattern.size() || !name.starts_with(kPrefix))
        return false;
    for (const char c : name.substr(kPrefix.size())) {
        if (!isLetterOrDigit(c))
            return false;
    }
    return true;
}

int removeStaleTemporaryFiles(const std::string& folder, std::chrono::seconds maxAge) {
    const int folderFd =
        ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd < 0)
        return 0;
    DIR* entries = ::fdopendir(folderFd);
    if (entries == nullptr) {
        ::close(folderFd);
        return 0;
    }
    int removed = 0;
    while (const dirent* entry = ::readdir(entries)) {
        if (!isTemporaryFileName(entry->d_name))
            continue;
        // unlinkat never follows a link, and without AT_REMOVEDIR never removes a folder,
        // so an entry swapped after the check is at worst a young file of our pattern.
        if (isStaleTemporaryFile(folderFd, entry->d_name, maxAge) &&
            ::unlinkat(folderFd, entry->d_name, 0) == 0) {
            ++removed;
        }
    }
    ::closedir(entries);  // closes folderFd too
    return removed;
}

}  // namespace platform
