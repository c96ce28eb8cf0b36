#include "platform/temporary_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>

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

}  // namespace

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
