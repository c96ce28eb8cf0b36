#include "platform/c_format.h"

#include <locale.h>

#include <charconv>
#include <clocale>
#include <cstdio>
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

}  // namespace

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
