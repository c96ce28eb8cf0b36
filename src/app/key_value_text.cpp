#include "app/key_value_text.h"

#include <algorithm>
#include <charconv>

#include "view/view_field.h"

namespace app {

bool isLineSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v';
}

std::string_view trimmedSpaces(std::string_view text) {
    while (!text.empty() && isLineSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isLineSpace(text.back()))
        text.remove_suffix(1);
    return text;
}

std::vector<KeyValueLine> keyValueLines(std::string_view text) {
    std::vector<KeyValueLine> lines;
    int number = 0;
    for (const std::string_view rawLine : view::splitFields(text, '\n')) {
        ++number;
        const std::string_view line = trimmedSpaces(rawLine);
        if (line.empty() || line.front() == '#')
            continue;
        std::size_t keyEnd = 0;
        while (keyEnd < line.size() && !isLineSpace(line[keyEnd]))
            ++keyEnd;
        lines.push_back({number, line.substr(0, keyEnd), trimmedSpaces(line.substr(keyEnd))});
    }
    return lines;
}

std::string asciiLowered(std::string_view text) {
    std::string result(text);
    std::transform(result.begin(), result.end(), result.begin(), [](unsigned char c) {
        return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    });
    return result;
}

std::optional<long long> parseWholeNumber(std::string_view text) {
    long long value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end)
        return std::nullopt;
    return value;
}

}  // namespace app
