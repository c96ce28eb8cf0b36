#include "platform/settings_store.h"

#include "platform/file_writer.h"
#include "platform/regular_file.h"
#include "platform/write_target.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <utility>

namespace platform {

namespace {

// ----- Files -----

// What could be read of the store: whole lines only, so that a number cut in half is
// not taken for a smaller one.
struct StoreFile {
    std::string text;
    // Why the file could not be read whole; empty when it was (or does not exist).
    std::string problem;
};

std::string whyNotRegular(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0) {
        const std::string reason = refusalReason(kindOfMode(info.st_mode));
        if (!reason.empty())
            return reason;
    }
    return "not a regular file";
}

StoreFile readStoreFile(const std::string& path) {
    int error = 0;
    const auto file = RegularFile::open(path, &error);
    if (!file) {
        if (error == ENOENT)
            return {};
        return {{}, error != 0 ? systemReason(error) : whyNotRegular(path)};
    }
    bool truncated = false;
    errno = 0;
    auto data = file->readAll(kMaxSettingsFileBytes, truncated);
    if (!data)
        return {{}, systemReason(errno != 0 ? errno : EIO)};
    // Another program's file (notes, random bytes) named as the store by mistake is
    // read as holding nothing, and never replaced by a store of ours.
    if (!isSettingsText(*data))
        return {{}, "not a settings file (it has no [HKEY_CURRENT_USER\\...] section)"};
    if (!truncated)
        return {std::move(*data), {}};
    const std::size_t lastNewline = data->rfind('\n');
    data->resize(lastNewline == std::string::npos ? 0 : lastNewline + 1);
    return {std::move(*data), "too large (more than " +
                                  std::to_string(kMaxSettingsFileBytes / (1024 * 1024)) + " MiB)"};
}

// An exclusive lock on "<store>.lock", held for the lifetime of the object. The store
// itself is never locked because it is replaced by rename on every write.
class StoreLock {
  public:
    explicit StoreLock(const std::string& storePath) {
        const std::string lockPath = storePath + ".lock";
        fd_ = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0600);
        if (fd_ < 0) {
            error_ = errno;
            return;
        }
        int result;
        do {
            result = ::flock(fd_, LOCK_EX);
        } while (result != 0 && errno == EINTR);
        if (result != 0) {
            error_ = errno;
            ::close(fd_);
            fd_ = -1;
        }
    }
    ~StoreLock() {
        if (fd_ >= 0) {
            ::flock(fd_, LOCK_UN);
            ::close(fd_);
        }
    }
    StoreLock(const StoreLock&) = delete;
    StoreLock& operator=(const StoreLock&) = delete;
    bool locked() const { return fd_ >= 0; }
    int error() const { return error_; }

  private:
    int fd_ = -1;
    int error_ = 0;
};

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value == nullptr ? std::string() : std::string(value);
}

}  // namespace

bool SettingsStore::writeValues(const std::string& keyPath, const SettingsKeyValues& values) {
    bool stored = createKey(keyPath);
    for (const auto& [name, value] : values)
        stored = write(keyPath, name, value) && stored;
    return stored;
}

// ----- MemorySettingsStore -----

bool MemorySettingsStore::createKey(const std::string& keyPath) {
    std::lock_guard lock(mutex_);
    contents_[keyPath];
    return true;
}

bool MemorySettingsStore::keyExists(const std::string& keyPath) {
    std::lock_guard lock(mutex_);
    return contents_.contains(keyPath);
}

std::optional<SettingsValue> MemorySettingsStore::read(const std::string& keyPath,
                                                       const std::string& name) {
    std::lock_guard lock(mutex_);
    const auto key = contents_.find(keyPath);
    if (key == contents_.end())
        return std::nullopt;
    const auto value = key->second.find(name);
    if (value == key->second.end())
        return std::nullopt;
    return value->second;
}

bool MemorySettingsStore::write(const std::string& keyPath, const std::string& name,
                                const SettingsValue& value) {
    std::lock_guard lock(mutex_);
    contents_[keyPath][name] = value;
    return true;
}

SettingsContents MemorySettingsStore::contents() const {
    std::lock_guard lock(mutex_);
    return contents_;
}

// ----- FileSettingsStore -----

FileSettingsStore::FileSettingsStore(std::string path) : path_(std::move(path)) {}

std::string FileSettingsStore::defaultPath() {
    if (std::string explicitPath = environment("CORVANE_SETTINGS"); !explicitPath.empty()) {
        return explicitPath;
    }
    std::string configHome = environment("XDG_CONFIG_HOME");
    if (configHome.empty())
        configHome = environment("HOME") + "/.config";
    return configHome + "/Velk/Corvane.reg";
}

bool FileSettingsStore::createKey(const std::string& keyPath) {
    if (keyExists(keyPath))
        return true;
    return update(keyPath, {});
}

bool FileSettingsStore::keyExists(const std::string& keyPath) {
    return readContents().contains(keyPath);
}

std::optional<SettingsValue> FileSettingsStore::read(const std::string& keyPath,
                                                     const std::string& name) {
    const SettingsContents contents = readContents();
    const auto key = contents.find(keyPath);
    if (key == contents.end())
        return std::nullopt;
    const auto value = key->second.find(name);
    if (value == key->second.end())
        return std::nullopt;
    return value->second;
}

bool FileSettingsStore::write(const std::string& keyPath, const std::string& name,
                              const SettingsValue& value) {
    return update(keyPath, SettingsKeyValues{{name, value}});
}

bool FileSettingsStore::writeValues(const std::string& keyPath, const SettingsKeyValues& values) {
    return update(keyPath, values);
}

std::optional<std::string> FileSettingsStore::takeProblem() {
    std::lock_guard lock(mutex_);
    if (problems_.empty())
        return std::nullopt;
    std::string problem = std::move(problems_.front());
    problems_.pop_front();
    return problem;
}

// What the file holds, with the values that could not be written over it.
SettingsContents FileSettingsStore::readContents() {
    std::lock_guard lock(mutex_);
    const StoreFile file = readStoreFile(path_);
    if (!file.problem.empty())
        noteReadProblem(file.problem);
    SettingsContents contents = parseSettings(file.text);
    for (const auto& [keyPath, values] : unsaved_) {
        SettingsKeyValues& key = contents[keyPath];
        for (const auto& [name, value] : values)
            key[name] = value;
    }
    return contents;
}

// Without values only the key is created. A value is kept in memory whatever
// happens to the file.
bool FileSettingsStore::update(const std::string& keyPath, const SettingsKeyValues& values) {
    if (path_.empty() || !isStorableKeyPath(keyPath))
        return false;
    std::lock_guard lock(mutex_);
    keepUnsaved(keyPath, values);
    // Only a regular file (or none yet) is ever replaced; anything else is what the
    // reads already find unreadable.
    const WriteTarget target = examineWriteTarget(path_, StreamTargets::Refuse);
    if (target.action != WriteTarget::Action::Replace) {
        noteReadProblem(target.reason);
        return false;
    }
    return storeUnsaved(target.path);
}

// Writes the values kept in memory into the file at target (the end of any chain
// of links, so that the links survive); true when they are stored.
bool FileSettingsStore::storeUnsaved(const std::string& target) {
    const std::filesystem::path folder = std::filesystem::path(target).parent_path();
    if (!folder.empty()) {
        std::error_code ec;
        std::filesystem::create_directories(folder, ec);
        if (ec) {
            noteWriteProblem(ec.message());
            return false;
        }
    }
    const StoreLock lock(target);
    if (!lock.locked()) {
        noteWriteProblem(systemReason(lock.error()));
        return false;
    }
    // A store that could not be read whole is left as it is: rewriting it would lose
    // whatever was not read.
    const StoreFile file = readStoreFile(target);
    if (!file.problem.empty()) {
        noteReadProblem(file.problem);
        return false;
    }
    SettingsContents contents = parseSettings(file.text);
    bool changed = false;
    for (const auto& [keyPath, values] : unsaved_) {
        changed = !contents.contains(keyPath) || changed;
        SettingsKeyValues& stored = contents[keyPath];
        for (const auto& [name, value] : values) {
            const auto old = stored.find(name);
            if (old == stored.end() || old->second != value) {
                stored[name] = value;
                changed = true;
            }
        }
    }
    // Rewriting what is already there would only cost a disk write (and wake anything
    // that watches the file).
    if (changed) {
        const std::string text = serializeSettings(contents);
        const FileWriteResult written =
            writeFile(target, FileWriteOptions{StreamTargets::Refuse, true}, [&](std::FILE* out) {
                return std::fwrite(text.data(), 1, text.size(), out) == text.size();
            });
        if (!written) {
            noteWriteProblem(written.reason);
            return false;
        }
    }
    unsaved_.clear();
    return true;
}

void FileSettingsStore::keepUnsaved(const std::string& keyPath, const SettingsKeyValues& values) {
    SettingsKeyValues& kept = unsaved_[keyPath];
    for (const auto& [name, value] : values)
        kept[name] = value;
}

void FileSettingsStore::noteReadProblem(const std::string& reason) {
    noteProblem("Cannot read the settings file " + path_ + ": " + reason +
                ". It is left as it is, and settings changed now last only until Corvane ends.");
}

void FileSettingsStore::noteWriteProblem(const std::string& reason) {
    noteProblem("Cannot write the settings file " + path_ + ": " + reason +
                ". Settings changed now last only until Corvane ends.");
}

void FileSettingsStore::noteProblem(std::string message) {
    if (std::find(problems_.begin(), problems_.end(), message) == problems_.end())
        problems_.push_back(std::move(message));
}

}  // namespace platform
