#pragma once

#include <cstdarg>
#include <initializer_list>
#include <optional>
#include <string>

namespace platform {

// printf and sscanf with the C library's formats, always with '.' as the decimal
// point whatever the process locale (the GUI toolkit sets it from the environment).
std::string cformat(const char* format, ...) __attribute__((format(printf, 1, 2)));
int cscan(const std::string& text, const char* format, ...) __attribute__((format(scanf, 2, 3)));

// One comma-separated field of a text read with "%d" or "%u", and the values it may
// hold. The C library's scan wraps a number outside its type (4294967297 reads as 1
// with "%u"), and may even misbehave, so such fields are checked before scanning.
struct IntegerField {
    int index;  // 0 for the first field
    long long lowest;
    long long highest;
};
inline constexpr long long kLowestInt = -2147483648LL;
inline constexpr long long kHighestInt = 2147483647LL;
inline constexpr long long kHighestUnsigned = 4294967295LL;

// The first of fields whose number (blanks, a sign and digits, as the scan takes
// them) lies outside its range; nullopt when there is none. A field without digits
// passes: the scan stops there anyway.
std::optional<IntegerField> integerFieldOutOfRange(const std::string& text,
                                                   std::initializer_list<IntegerField> fields);

// The shortest text that "%lf" reads back as exactly this double ("-0.7436438870371587",
// "1e-07", "120"), with '.' as the decimal point in any locale. Views are written this way
// so that they survive every store and file bit for bit.
std::string formatRoundTrip(double value);

}  // namespace platform
