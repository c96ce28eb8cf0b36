#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <utility>

namespace platform {

// One named value of a key: a 32-bit number or a text.
struct SettingsValue {
    enum class Kind { Number, Text };
    Kind kind = Kind::Number;
    std::uint32_t number = 0;
    std::string text;  // UTF-8

    static SettingsValue ofNumber(std::uint32_t n) { return {Kind::Number, n, {}}; }
    static SettingsValue ofText(std::string t) { return {Kind::Text, 0, std::move(t)}; }
    friend bool operator==(const SettingsValue&, const SettingsValue&) = default;
};

// Keys (paths such as "Software\Velk\Corvane" below the per-user root) holding values.
using SettingsKeyValues = std::map<std::string, SettingsValue>;
using SettingsContents = std::map<std::string, SettingsKeyValues>;

// The file format. Parsing never fails: damaged lines are skipped, a repeated name
// keeps its last value.
SettingsContents parseSettings(std::string_view text);
std::string serializeSettings(const SettingsContents& contents);
// Whether text may be a store of ours: empty (or blank), or holding at least one
// section line of our root. Anything else (notes, random bytes) is some other file.
bool isSettingsText(std::string_view text);
// A key path that would break its section line cannot be stored.
bool isStorableKeyPath(const std::string& keyPath);

}  // namespace platform
