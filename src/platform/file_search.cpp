#include "platform/file_search.h"

#include <filesystem>
#include <system_error>

namespace platform {

namespace {

char lowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Classic wildcard matching with backtracking on the last '*'.
bool globMatch(const std::string& text, const std::string& pattern, bool ignoreCase) {
    std::size_t t = 0, p = 0, starP = std::string::npos, starT = 0;
    const auto same = [&](char a, char b) {
        return ignoreCase ? lowerAscii(a) == lowerAscii(b) : a == b;
    };
    while (t < text.size()) {
        if (p < pattern.size() &&
            (pattern[p] == '?' || (pattern[p] != '*' && same(pattern[p], text[t])))) {
            ++t;
            ++p;
        } else if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starT = t;
        } else if (starP != std::string::npos) {
            p = starP + 1;
            t = ++starT;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

}  // namespace

bool matchesPattern(const std::string& name, const std::string& namePattern) {
    const std::size_t dot = namePattern.rfind('.');
    const bool plainExtension =
        dot != std::string::npos && namePattern.find_first_of("*?", dot) == std::string::npos;
    if (!plainExtension)
        return globMatch(name, namePattern, false);
    const std::string extension = namePattern.substr(dot);
    if (name.size() < extension.size())
        return false;
    const std::string nameExtension = name.substr(name.size() - extension.size());
    return globMatch(nameExtension, extension, true) &&
           globMatch(name.substr(0, name.size() - extension.size()), namePattern.substr(0, dot),
                     false);
}

std::vector<std::string> findFiles(const std::string& pattern) {
    const std::size_t slash = pattern.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : pattern.substr(0, slash + 1);
    const std::string namePattern =
        slash == std::string::npos ? pattern : pattern.substr(slash + 1);
    std::vector<std::string> names;
    std::error_code error;
    std::filesystem::directory_iterator it(folder, error);
    if (error)
        return names;
    for (; it != std::filesystem::directory_iterator(); it.increment(error)) {
        if (error)
            break;
        std::error_code typeError;
        if (!it->is_regular_file(typeError) || typeError)
            continue;
        const std::string name = it->path().filename().string();
        if (matchesPattern(name, namePattern))
            names.push_back(name);
    }
    return names;
}

}  // namespace platform
