#include "platform/documents_folder.h"

#include "platform/regular_file.h"

#include <cstdlib>

namespace platform {

namespace {

constexpr std::string_view kDocumentsName = "XDG_DOCUMENTS_DIR";
constexpr std::string_view kHomeVariable = "$HOME";
// The file holds a handful of short lines; more than this is not a file we read whole.
constexpr std::size_t kMaxUserDirsBytes = std::size_t{64} * 1024;

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value == nullptr ? std::string() : std::string(value);
}

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

void skipBlanks(std::string_view& s) {
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
}

bool isAbsolute(std::string_view path) {
    return path.starts_with('/');
}

std::string_view withoutTrailingSlashes(std::string_view path) {
    while (path.size() > 1 && path.back() == '/')
        path.remove_suffix(1);
    return path;
}

// The text of a double-quoted shell word at the start of s, up to its closing quote,
// with the backslash escapes the shell knows inside double quotes undone; the word is
// removed from s. nullopt when the word is unterminated or holds what only a shell
// could work out (another variable, a command) or a control character. A leading
// $HOME is kept as it is and reported through startsWithHome.
std::optional<std::string> takeDoubleQuoted(std::string_view& s, bool& startsWithHome) {
    if (!s.starts_with('"'))
        return std::nullopt;
    s.remove_prefix(1);
    startsWithHome = s.starts_with(kHomeVariable) && s.size() > kHomeVariable.size() &&
                     (s[kHomeVariable.size()] == '/' || s[kHomeVariable.size()] == '"');
    if (startsWithHome)
        s.remove_prefix(kHomeVariable.size());
    std::string value;
    while (!s.empty()) {
        char c = s.front();
        s.remove_prefix(1);
        if (c == '"')
            return value;
        if (c == '$' || c == '`' || static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            return std::nullopt;
        if (c == '\\' && !s.empty() &&
            std::string_view("$`\"\\").find(s.front()) != std::string_view::npos) {
            c = s.front();
            s.remove_prefix(1);
        }
        value += c;
    }
    return std::nullopt;
}

// Nothing but blanks or a comment may follow the value.
bool isEndOfLine(std::string_view rest) {
    skipBlanks(rest);
    return rest.empty() || rest.starts_with('#');
}

struct Assignment {
    std::string value;
    bool relativeToHome = false;
};

// The value of a line "XDG_DOCUMENTS_DIR=\"...\"", or nullopt for any other line.
std::optional<Assignment> parseDocumentsLine(std::string_view line) {
    skipBlanks(line);
    if (!line.starts_with(kDocumentsName))
        return std::nullopt;
    line.remove_prefix(kDocumentsName.size());
    skipBlanks(line);
    if (!line.starts_with('='))
        return std::nullopt;
    line.remove_prefix(1);
    skipBlanks(line);
    Assignment assignment;
    auto value = takeDoubleQuoted(line, assignment.relativeToHome);
    if (!value || !isEndOfLine(line))
        return std::nullopt;
    assignment.value = std::move(*value);
    return assignment;
}

// What "$HOME" stands for in front of "/...": home without its trailing slashes, so
// that neither "/home/user/" nor "/" doubles the slash.
std::string homePrefix(std::string_view home) {
    const std::string_view tidy = withoutTrailingSlashes(home);
    return tidy == "/" ? std::string() : std::string(tidy);
}

// The folder an assignment names, or nullopt when it is not usable.
std::optional<std::string> usableFolder(const Assignment& assignment, std::string_view home) {
    if (assignment.relativeToHome && home.empty())
        return std::nullopt;
    const std::string folder =
        assignment.relativeToHome ? homePrefix(home) + assignment.value : assignment.value;
    if (!isAbsolute(folder))
        return std::nullopt;
    const std::string_view tidy = withoutTrailingSlashes(folder);
    if (!home.empty() && tidy == withoutTrailingSlashes(home))
        return std::nullopt;
    return std::string(tidy);
}

// Where the user-dirs.dirs file is: in the configuration folder, which a relative
// XDG_CONFIG_HOME does not name. Empty when there is no such folder.
std::string userDirsPath(const std::string& home) {
    const std::string configHome = environment("XDG_CONFIG_HOME");
    if (isAbsolute(configHome))
        return configHome + "/user-dirs.dirs";
    if (home.empty())
        return std::string();
    return home + "/.config/user-dirs.dirs";
}

// The text of the user-dirs.dirs file, whole lines only; empty when it cannot be read.
std::string readUserDirs(const std::string& path) {
    if (path.empty())
        return std::string();
    const auto file = RegularFile::open(path);
    if (!file)
        return std::string();
    bool truncated = false;
    auto text = file->readAll(kMaxUserDirsBytes, truncated);
    if (!text)
        return std::string();
    if (truncated) {
        // A line cut short could name a different folder.
        const std::size_t lastNewline = text->rfind('\n');
        text->resize(lastNewline == std::string::npos ? 0 : lastNewline + 1);
    }
    return std::move(*text);
}

}  // namespace

std::optional<std::string> documentsFolderFromUserDirs(std::string_view text,
                                                       std::string_view home) {
    std::optional<Assignment> last;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (line.ends_with('\r'))
            line.remove_suffix(1);
        if (auto assignment = parseDocumentsLine(line))
            last = std::move(assignment);
    }
    if (!last)
        return std::nullopt;
    return usableFolder(*last, home);
}

std::string documentsFolder() {
    // Set by scripts and tests; it wins over everything the user's files say.
    if (std::string documents = environment("XDG_DOCUMENTS_DIR"); !documents.empty())
        return documents;
    const std::string home = environment("HOME");
    if (auto folder = documentsFolderFromUserDirs(readUserDirs(userDirsPath(home)), home))
        return std::move(*folder);
    if (!home.empty())
        return home + "/Documents";
    return "Documents";
}

}  // namespace platform
