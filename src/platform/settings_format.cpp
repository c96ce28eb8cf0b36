#include "platform/settings_format.h"

#include <cstdio>
#include <optional>
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

}  // namespace

bool isStorableKeyPath(const std::string& keyPath) {
    for (char c : keyPath) {
        if (static_cast<unsigned char>(c) < 0x20)
            return false;
    }
    return true;
}

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

bool isSettingsText(std::string_view text) {
    if (text.starts_with("\xEF\xBB\xBF"))
        text.remove_prefix(3);
    bool blank = true;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        const std::string_view line =
            trimBlanks(text.substr(0, end == std::string_view::npos ? text.size() : end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (parseSectionLine(line))
            return true;
        blank = blank && line.empty();
    }
    return blank;
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

}  // namespace platform
