#include "app/numbered_name.h"

#include <algorithm>

namespace app {

namespace {

// Wider padding is surely a mistake, and would make names longer than any file system takes.
constexpr int kMostWidth = 32;

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

}  // namespace

std::optional<NumberedName> NumberedName::parse(const std::string& pattern, std::string& why) {
    return scan(pattern, true, why);
}

std::optional<NumberedName> NumberedName::parseAtMostOne(const std::string& pattern,
                                                         std::string& why) {
    return scan(pattern, false, why);
}

std::optional<NumberedName> NumberedName::scan(const std::string& pattern, bool needsOne,
                                               std::string& why) {
    NumberedName name;
    bool converted = false;
    std::string* out = &name.prefix_;
    why = pattern + ": a name holds one integer conversion such as %d or %05d";
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] != '%') {
            out->push_back(pattern[i]);
            continue;
        }
        if (i + 1 < pattern.size() && pattern[i + 1] == '%') {
            out->push_back('%');
            ++i;
            continue;
        }
        if (converted)
            return std::nullopt;
        std::size_t k = i + 1;
        if (k < pattern.size() && pattern[k] == '0') {
            name.zeros_ = true;
            ++k;
        }
        int width = 0;
        for (; k < pattern.size() && isDigit(pattern[k]); ++k) {
            width = width * 10 + (pattern[k] - '0');
            if (width > kMostWidth)
                return std::nullopt;
        }
        if (k >= pattern.size() || pattern[k] != 'd')
            return std::nullopt;
        name.width_ = width;
        converted = true;
        out = &name.suffix_;
        i = k;
    }
    if (!converted && needsOne)
        return std::nullopt;
    name.numbered_ = converted;
    why.clear();
    return name;
}

std::string NumberedName::at(long number) const {
    if (!numbered_)
        return prefix_;
    std::string digits = std::to_string(std::max(number, 0L));
    if (static_cast<int>(digits.size()) < width_)
        digits.insert(0, static_cast<std::size_t>(width_) - digits.size(), zeros_ ? '0' : ' ');
    return prefix_ + digits + suffix_;
}

}  // namespace app
