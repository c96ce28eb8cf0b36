#include "platform/settings_store.h"

#include "platform/link_target.h"
#include "platform/regular_file.h"

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
// A settings file is a few kilobytes; anything beyond this is not ours to load whole.
constexpr std::size_t kMaxFileBytes = std::size_t{16} * 1024 * 1024;

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

// At most kMaxFileBytes of the file; an oversized file loses its last, partial line so
// that a number cut in half is not taken for a smaller one. A missing file is empty.
std::optional<std::string> readStoreFile(const std::string& path) {
    int error = 0;
    const auto file = RegularFile::open(path, &error);
    if (!file) {
        if (error == ENOENT)
            return std::string();
        return std::nullopt;
    }
    bool truncated = false;
    auto data = file->readAll(kMaxFileBytes, truncated);
    if (data && truncated) {
        // Only whole lines of an oversized store are kept.
        const std::size_t lastNewline = data->rfind('\n');
        data->resize(lastNewline == std::string::npos ? 0 : lastNewline + 1);
    }
    return data;
}

bool writeAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t put = ::write(fd, data.data(), data.size());
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            return false;
        data.remove_prefix(static_cast<std::size_t>(put));
    }
    return true;
}

// Writes data to a temporary file next to path, flushes it to disk and renames it over path.
bool replaceFileAtomically(const std::string& path, const std::string& data) {
    const std::filesystem::path target(path);
    // Appended piece by piece: gcc 12 at -O3 gives a false -Wrestrict warning for
    // "." + std::string&& (GCC bug 105651).
    std::string tempName = ".";
    tempName += target.filename().string();
    tempName += ".XXXXXX";
    tempName = (target.parent_path() / tempName).string();
    const int fd = ::mkstemp(tempName.data());
    if (fd < 0)
        return false;
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0)
        ::fchmod(fd, st.st_mode & 07777);
    const bool written = writeAll(fd, data) && ::fsync(fd) == 0;
    const bool closed = ::close(fd) == 0;
    if (!written || !closed || ::rename(tempName.c_str(), path.c_str()) != 0) {
        ::unlink(tempName.c_str());
        return false;
    }
    // Make the rename itself durable.
    const std::string folder = target.parent_path().empty() ? "." : target.parent_path().string();
    const int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    return true;
}

// An exclusive lock on "<store>.lock", held for the lifetime of the object. The store
// itself is never locked because it is replaced by rename on every write.
class StoreLock {
  public:
    explicit StoreLock(const std::string& storePath) {
        const std::string lockPath = storePath + ".lock";
        fd_ = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd_ < 0)
            return;
        int result;
        do {
            result = ::flock(fd_, LOCK_EX);
        } while (result != 0 && errno == EINTR);
        if (result != 0) {
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

  private:
    int fd_ = -1;
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
    const auto text = readStoreFile(path_);
    return text && parseSettings(*text).contains(keyPath);
}

std::optional<SettingsValue> FileSettingsStore::read(const std::string& keyPath,
                                                     const std::string& name) {
    const auto text = readStoreFile(path_);
    if (!text)
        return std::nullopt;
    const SettingsContents contents = parseSettings(*text);
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

// Without values only the key is created.
bool FileSettingsStore::update(const std::string& keyPath, const SettingsKeyValues& values) {
    if (path_.empty() || !isStorableKeyPath(keyPath))
        return false;
    // A store reached through a symbolic link is replaced where the link points, so
    // the link survives the write.
    const std::string target = resolvedLinkTarget(path_);
    const std::filesystem::path folder = std::filesystem::path(target).parent_path();
    if (!folder.empty()) {
        std::error_code ec;
        std::filesystem::create_directories(folder, ec);
    }
    const StoreLock lock(target);
    if (!lock.locked())
        return false;
    // A store that exists but cannot be read is left alone rather than replaced by
    // a store holding only this value.
    const auto text = readStoreFile(target);
    if (!text)
        return false;
    SettingsContents contents = parseSettings(*text);
    const bool keyIsNew = !contents.contains(keyPath);
    SettingsKeyValues& stored = contents[keyPath];
    bool changed = keyIsNew;
    for (const auto& [name, value] : values) {
        const auto old = stored.find(name);
        if (old == stored.end() || old->second != value) {
            stored[name] = value;
            changed = true;
        }
    }
    // Rewriting what is already there would only cost a disk write (and wake anything
    // that watches the file).
    if (!changed)
        return true;
    return replaceFileAtomically(target, serializeSettings(contents));
}

}  // namespace platform
