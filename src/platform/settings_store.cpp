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

constexpr std::string_view kRootPrefix = "HKEY_CURRENT_USER\\";
constexpr std::string_view kDwordPrefix = "dword:";

// ----- Parsing -----

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view trimBlanks(std::string_view s) {
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && (isBlank(s.back()) || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Escapes inside quoted strings: the escape letter and the character it stands for.
// Any other control character is written as \xHH.
constexpr std::pair<char, char> kEscapes[] = {
    {'\\', '\\'}, {'"', '"'}, {'n', '\n'}, {'r', '\r'}, {'t', '\t'}};

std::optional<char> unescaped(char letter) {
    for (const auto& [escape, raw] : kEscapes) {
        if (escape == letter)
            return raw;
    }
    return std::nullopt;
}

std::optional<char> escapeLetter(char raw) {
    for (const auto& [escape, character] : kEscapes) {
        if (character == raw)
            return escape;
    }
    return std::nullopt;
}

// Reads a quoted, escaped string at the start of s and removes it from s.
// nullopt for an unterminated string, a bad escape or a raw control character.
std::optional<std::string> takeQuoted(std::string_view& s) {
    if (s.empty() || s.front() != '"')
        return std::nullopt;
    std::string out;
    std::size_t i = 1;
    while (i < s.size()) {
        const char c = s[i];
        if (c == '"') {
            s.remove_prefix(i + 1);
            return out;
        }
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            return std::nullopt;
        if (c != '\\') {
            out += c;
            ++i;
            continue;
        }
        if (i + 1 >= s.size())
            return std::nullopt;
        const char e = s[i + 1];
        if (const auto raw = unescaped(e)) {
            out += *raw;
        } else if (e == 'x' && i + 3 < s.size() && hexDigit(s[i + 2]) >= 0 &&
                   hexDigit(s[i + 3]) >= 0) {
            out += static_cast<char>(hexDigit(s[i + 2]) * 16 + hexDigit(s[i + 3]));
            i += 2;
        } else {
            return std::nullopt;
        }
        i += 2;
    }
    return std::nullopt;
}

// Exactly eight hex digits, as written; a shorter run is a truncated line.
std::optional<std::uint32_t> parseDword(std::string_view s) {
    if (s.size() != 8)
        return std::nullopt;
    std::uint32_t value = 0;
    for (char c : s) {
        const int d = hexDigit(c);
        if (d < 0)
            return std::nullopt;
        value = (value << 4) | static_cast<std::uint32_t>(d);
    }
    return value;
}

struct ValueLine {
    std::string name;
    SettingsValue value;
};

std::optional<ValueLine> parseValueLine(std::string_view line) {
    auto name = takeQuoted(line);
    if (!name || line.empty() || line.front() != '=')
        return std::nullopt;
    line.remove_prefix(1);
    if (line.starts_with('"')) {
        auto text = takeQuoted(line);
        if (!text || !line.empty())
            return std::nullopt;
        return ValueLine{std::move(*name), SettingsValue::ofText(std::move(*text))};
    }
    if (!line.starts_with(kDwordPrefix))
        return std::nullopt;
    line.remove_prefix(kDwordPrefix.size());
    const auto number = parseDword(line);
    if (!number)
        return std::nullopt;
    return ValueLine{std::move(*name), SettingsValue::ofNumber(*number)};
}

// The key path of a section line, or nullopt when the line is no section of our root.
std::optional<std::string> parseSectionLine(std::string_view line) {
    if (line.size() < 2 || line.front() != '[' || line.back() != ']')
        return std::nullopt;
    line = line.substr(1, line.size() - 2);
    if (!line.starts_with(kRootPrefix))
        return std::nullopt;
    line.remove_prefix(kRootPrefix.size());
    for (char c : line) {
        if (static_cast<unsigned char>(c) < 0x20)
            return std::nullopt;
    }
    return std::string(line);
}

// ----- Writing -----

void appendQuoted(std::string& out, std::string_view s) {
    static constexpr char kHex[] = "0123456789abcdef";
    out += '"';
    for (char c : s) {
        const auto u = static_cast<unsigned char>(c);
        if (const auto letter = escapeLetter(c)) {
            out += '\\';
            out += *letter;
        } else if (u < 0x20 || u == 0x7F) {
            out += "\\x";
            out += kHex[u >> 4];
            out += kHex[u & 0xF];
        } else {
            out += c;
        }
    }
    out += '"';
}

// A key path that would break its section line cannot be stored.
bool isStorableKeyPath(const std::string& keyPath) {
    for (char c : keyPath) {
        if (static_cast<unsigned char>(c) < 0x20)
            return false;
    }
    return true;
}

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

// ----- Format -----

SettingsContents parseSettings(std::string_view text) {
    SettingsContents contents;
    SettingsKeyValues* section = nullptr;
    if (text.starts_with("\xEF\xBB\xBF"))
        text.remove_prefix(3);
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        const std::string_view line =
            trimBlanks(text.substr(0, end == std::string_view::npos ? text.size() : end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (line.starts_with('[')) {
            // A line that is not one of our sections closes the current one, so that its
            // values are not taken for values of the previous key.
            const auto keyPath = parseSectionLine(line);
            section = keyPath ? &contents[*keyPath] : nullptr;
            continue;
        }
        if (section == nullptr)
            continue;
        if (auto value = parseValueLine(line)) {
            (*section)[std::move(value->name)] = std::move(value->value);
        }
    }
    return contents;
}

std::string serializeSettings(const SettingsContents& contents) {
    std::string out;
    bool first = true;
    for (const auto& [keyPath, values] : contents) {
        if (!isStorableKeyPath(keyPath))
            continue;
        if (!first)
            out += '\n';
        first = false;
        out += '[';
        out += kRootPrefix;
        out += keyPath;
        out += "]\n";
        for (const auto& [name, value] : values) {
            appendQuoted(out, name);
            out += '=';
            if (value.kind == SettingsValue::Kind::Number) {
                char hex[9];
                std::snprintf(hex, sizeof hex, "%08x", static_cast<unsigned>(value.number));
                out += kDwordPrefix;
                out += hex;
            } else {
                appendQuoted(out, value.text);
            }
            out += '\n';
        }
    }
    return out;
}

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
