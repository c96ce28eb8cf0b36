#include "app/access_keys.h"

#include <cctype>
#include <optional>
#include <set>

namespace app {

namespace {

bool usableKey(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) != 0 && static_cast<unsigned char>(c) < 0x80;
}

char keyOf(char c) {
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

bool startsWord(const std::string& text, std::size_t i) {
    return i == 0 || !usableKey(text[i - 1]);
}

std::optional<std::size_t> chooseKey(const std::string& text, const std::set<char>& used) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (usableKey(text[i]) && startsWord(text, i) && !used.contains(keyOf(text[i])))
            return i;
    }
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (usableKey(text[i]) && !used.contains(keyOf(text[i])))
            return i;
    }
    return std::nullopt;
}

std::string marked(const std::string& text, std::optional<std::size_t> key) {
    std::string result;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (key && i == *key)
            result.push_back('&');
        if (text[i] == '&')
            result.push_back('&');
        result.push_back(text[i]);
    }
    return result;
}

}  // namespace

std::vector<std::string> withAccessKeys(const std::vector<std::string>& texts) {
    std::set<char> used;
    std::vector<std::string> result;
    result.reserve(texts.size());
    for (const std::string& text : texts) {
        const std::optional<std::size_t> key = chooseKey(text, used);
        if (key)
            used.insert(keyOf(text[*key]));
        result.push_back(marked(text, key));
    }
    return result;
}

}  // namespace app
