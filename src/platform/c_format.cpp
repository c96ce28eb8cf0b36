#include "platform/c_format.h"

#include <locale.h>

#include <algorithm>
#include <charconv>
#include <clocale>
#include <cstdio>
#include <string_view>
#include <vector>

namespace platform {

namespace {

// Switches the calling thread to the "C" locale for the lifetime of the object.
class CLocaleScope {
  public:
    CLocaleScope() {
        static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
        if (cLocale != static_cast<locale_t>(0))
            previous_ = uselocale(cLocale);
    }
    ~CLocaleScope() {
        if (previous_ != static_cast<locale_t>(0))
            uselocale(previous_);
    }
    CLocaleScope(const CLocaleScope&) = delete;
    CLocaleScope& operator=(const CLocaleScope&) = delete;

  private:
    locale_t previous_ = static_cast<locale_t>(0);
};

bool isScanBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// The field of the given index between commas; empty when there are fewer fields.
std::string_view nthField(std::string_view text, int index) {
    for (int i = 0; i < index; ++i) {
        const std::size_t comma = text.find(',');
        if (comma == std::string_view::npos)
            return {};
        text.remove_prefix(comma + 1);
    }
    return text.substr(0, text.find(','));
}

// Whether the number at the start of field (as "%d" reads it) lies in [lowest,
// highest]; a field without digits is no number and passes. Digits beyond any
// range saturate instead of overflowing.
bool numberInRange(std::string_view field, long long lowest, long long highest) {
    std::size_t i = 0;
    while (i < field.size() && isScanBlank(field[i]))
        ++i;
    bool negative = false;
    if (i < field.size() && (field[i] == '+' || field[i] == '-')) {
        negative = field[i] == '-';
        ++i;
    }
    constexpr long long kSaturated = 1LL << 40;
    long long magnitude = 0;
    bool digits = false;
    for (; i < field.size() && field[i] >= '0' && field[i] <= '9'; ++i) {
        digits = true;
        magnitude = std::min(magnitude * 10 + (field[i] - '0'), kSaturated);
    }
    const long long value = negative ? -magnitude : magnitude;
    return !digits || (value >= lowest && value <= highest);
}

}  // namespace

std::optional<IntegerField> integerFieldOutOfRange(const std::string& text,
                                                   std::initializer_list<IntegerField> fields) {
    for (const IntegerField& field : fields) {
        if (!numberInRange(nthField(text, field.index), field.lowest, field.highest))
            return field;
    }
    return std::nullopt;
}

std::string cformat(const char* format, ...) {
    CLocaleScope scope;
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    char small[256];
    const int needed = std::vsnprintf(small, sizeof small, format, args);
    va_end(args);
    std::string result;
    if (needed < 0) {
        va_end(copy);
        return result;
    }
    if (static_cast<std::size_t>(needed) < sizeof small) {
        result.assign(small, static_cast<std::size_t>(needed));
    } else {
        std::vector<char> big(static_cast<std::size_t>(needed) + 1);
        std::vsnprintf(big.data(), big.size(), format, copy);
        result.assign(big.data(), static_cast<std::size_t>(needed));
    }
    va_end(copy);
    return result;
}

int cscan(const std::string& text, const char* format, ...) {
    CLocaleScope scope;
    va_list args;
    va_start(args, format);
    const int converted = std::vsscanf(text.c_str(), format, args);
    va_end(args);
    return converted;
}

std::string formatRoundTrip(double value) {
    // Room for the longest shortest form, "-2.2250738585072014e-308", so it cannot fail.
    char text[32];
    const std::to_chars_result result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}

}  // namespace platform
