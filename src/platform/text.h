#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace platform {

// Strings are UTF-8 inside the program. Stored capacities keep the UTF-16
// arithmetic of a wide-character system: a text takes (units + 1) x 2 bytes.
std::size_t utf16Length(std::string_view utf8);
std::u16string toUtf16(std::string_view utf8);     // invalid sequences become U+FFFD
std::string fromUtf16(std::u16string_view utf16);  // unpaired surrogates become U+FFFD

// The first maxUnits UTF-16 code units of a text, never cutting a character in half.
std::string truncateUtf16(std::string_view utf8, std::size_t maxUnits);

}  // namespace platform
