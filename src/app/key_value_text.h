#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace app {

// Texts a person writes as one "key value" pair a line (a location, a zoom path).

// One such line: its number from 1, the key as written and the value, without the spaces
// and tabs around them.
struct KeyValueLine {
    int number = 0;
    std::string_view key;
    std::string_view value;
};

// The key-value lines of text, leaving out blank lines and lines starting with '#'. The
// views point into text.
std::vector<KeyValueLine> keyValueLines(std::string_view text);

// Spaces and tabs (and the CR of a CR LF line end) around keys and values.
bool isLineSpace(char c);
std::string_view trimmedSpaces(std::string_view text);

// text with the ASCII capitals made small: keys are read in any case.
std::string asciiLowered(std::string_view text);

// A decimal whole number and nothing else; nullopt for anything else.
std::optional<long long> parseWholeNumber(std::string_view text);

}  // namespace app
