#include "app/dialog_fields.h"

#include <climits>
#include <clocale>
#include <cmath>

#include "platform/c_format.h"

namespace app {

namespace {

// White space as the C locale's isspace knows it.
bool isCSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

}  // namespace

std::string formatShortest(double value) {
    return platform::cformat("%lg", value);
}

std::string formatFixed(double value) {
    return platform::cformat("%lf", value);
}

std::string formatInteger(long long value) {
    return platform::cformat("%lld", value);
}

namespace {

// digits with sep inserted as grouping (the localeconv form: each byte the size of
// the next group to the left, the last one repeating, CHAR_MAX for no more groups).
std::string insertSeparators(const std::string& digits, const std::string& sep,
                             const std::string& grouping) {
    std::string text = digits;
    std::size_t end = text.size();  // the groups are counted from the right
    std::size_t rule = 0;
    int size = 0;
    while (true) {
        if (rule < grouping.size())
            size = static_cast<unsigned char>(grouping[rule++]);
        if (size <= 0 || size == CHAR_MAX || end <= static_cast<std::size_t>(size))
            return text;
        end -= static_cast<std::size_t>(size);
        text.insert(end, sep);
    }
}

}  // namespace

std::string formatGrouped(std::uint64_t value) {
    const std::string digits = std::to_string(value);
    // The GUI toolkit sets the process locale from the environment.
    const std::lconv* conventions = std::localeconv();
    const std::string sep = conventions != nullptr && conventions->thousands_sep != nullptr
                                ? conventions->thousands_sep
                                : "";
    if (sep.empty())
        return insertSeparators(digits, ",", "\3");
    const std::string grouping = conventions->grouping != nullptr ? conventions->grouping : "";
    return insertSeparators(digits, sep, grouping);
}

std::optional<double> parseDouble(const std::string& text) {
    double value = 0.0;
    if (platform::cscan(text, "%lf", &value) != 1)
        return std::nullopt;
    if (!std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<int> parseInteger(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && isCSpace(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    if (i >= text.size() || !isDigit(text[i]))
        return std::nullopt;
    // The magnitude saturates just past the int range, so any number of digits is safe.
    constexpr long long kLimit = static_cast<long long>(INT_MAX) + 1;
    long long magnitude = 0;
    for (; i < text.size() && isDigit(text[i]); ++i) {
        magnitude = magnitude * 10 + (text[i] - '0');
        if (magnitude > kLimit)
            magnitude = kLimit;
    }
    const long long value = negative ? -magnitude : magnitude;
    if (value > INT_MAX)
        return INT_MAX;
    return static_cast<int>(value);  // -kLimit is INT_MIN exactly
}

double readDouble(const std::string& text, double previous) {
    return parseDouble(text).value_or(previous);
}

int readInteger(const std::string& text, int previous) {
    return parseInteger(text).value_or(previous);
}

int spinStepAfter(std::span<const SpinStep> steps, std::int64_t heldMs) {
    int step = 1;
    for (const SpinStep& s : steps) {
        if (heldMs >= static_cast<std::int64_t>(s.afterSeconds) * 1000)
            step = s.step;
    }
    return step;
}

int stepSpinValue(const std::string& text, const SpinRange& range, int count, int step) {
    const long long start = parseInteger(text).value_or(range.minimum);
    const long long next = start + static_cast<long long>(count) * step;
    if (next < range.minimum)
        return range.minimum;
    if (next > range.maximum)
        return range.maximum;
    return static_cast<int>(next);
}

}  // namespace app
