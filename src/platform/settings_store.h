#pragma once

#include <cstddef>
#include <deque>
#include <mutex>
#include <optional>
#include <string>

#include "platform/settings_format.h"

namespace platform {

// The per-user settings store. Each call is one self-contained transfer.
class SettingsStore {
  public:
    virtual ~SettingsStore() = default;
    // Creates the key when it does not exist yet; false when the store cannot be written.
    virtual bool createKey(const std::string& keyPath) = 0;
    virtual bool keyExists(const std::string& keyPath) = 0;
    // Missing key or value: nullopt.
    virtual std::optional<SettingsValue> read(const std::string& keyPath,
                                              const std::string& name) = 0;
    // Creates the key when needed; false when the store cannot be written.
    virtual bool write(const std::string& keyPath, const std::string& name,
                       const SettingsValue& value) = 0;
    // Several values of one key in one transfer; false when the store cannot be written.
    virtual bool writeValues(const std::string& keyPath, const SettingsKeyValues& values);
    // The next problem the store has met (a file it could not read or write), as one
    // message naming the file and the reason; nullopt when there is none left.
    virtual std::optional<std::string> takeProblem() { return std::nullopt; }
};

// A store in memory, for tests and corvane-render.
class MemorySettingsStore : public SettingsStore {
  public:
    bool createKey(const std::string& keyPath) override;
    bool keyExists(const std::string& keyPath) override;
    std::optional<SettingsValue> read(const std::string& keyPath, const std::string& name) override;
    bool write(const std::string& keyPath, const std::string& name,
               const SettingsValue& value) override;
    SettingsContents contents() const;

  private:
    mutable std::mutex mutex_;
    SettingsContents contents_;
};

// A settings file is a few kilobytes; a larger one is not ours to load whole.
inline constexpr std::size_t kMaxSettingsFileBytes = std::size_t{16} * 1024 * 1024;

// The store as one text file in the style of a registry export:
//   [HKEY_CURRENT_USER\Software\Velk\Corvane]
//   "Fractal"=dword:00000005
//   "ImagePath"="/home/me/Documents/Corvane"
// Every write re-reads the file under an exclusive lock, changes its values and
// replaces the file atomically (temporary file, flush, rename), so a crash or a
// second process never leaves a half-written or lost store. A write that changes
// nothing leaves the file as it is.
//
// A file that cannot be read whole (larger than kMaxSettingsFileBytes, unreadable,
// not a regular file) is never rewritten: reads take the whole lines that could be
// read, and writes fail. A value that could not be written is kept in memory, so
// reads go on delivering it until the program ends, and the next write that
// succeeds stores it too. Each such failure is a problem for takeProblem.
class FileSettingsStore : public SettingsStore {
  public:
    explicit FileSettingsStore(std::string path);

    // $CORVANE_SETTINGS, else $XDG_CONFIG_HOME/Velk/Corvane.reg, else ~/.config/Velk/Corvane.reg.
    static std::string defaultPath();

    const std::string& path() const { return path_; }

    bool createKey(const std::string& keyPath) override;
    bool keyExists(const std::string& keyPath) override;
    std::optional<SettingsValue> read(const std::string& keyPath, const std::string& name) override;
    bool write(const std::string& keyPath, const std::string& name,
               const SettingsValue& value) override;
    bool writeValues(const std::string& keyPath, const SettingsKeyValues& values) override;
    std::optional<std::string> takeProblem() override;

  private:
    SettingsContents readContents();
    bool update(const std::string& keyPath, const SettingsKeyValues& values);
    bool storeUnsaved(const std::string& target);
    void keepUnsaved(const std::string& keyPath, const SettingsKeyValues& values);
    void noteReadProblem(const std::string& reason);
    void noteWriteProblem(const std::string& reason);
    void noteProblem(std::string message);

    std::string path_;
    std::mutex mutex_;
    // Values written since the last write that reached the file.
    SettingsContents unsaved_;
    std::deque<std::string> problems_;
};

}  // namespace platform
