// The settings store's file parser: never crashes, and what it keeps survives a
// write and a read unchanged.
#include <cstdint>
#include <string_view>

#include "platform/settings_store.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const platform::SettingsContents parsed = platform::parseSettings(text);
    const std::string written = platform::serializeSettings(parsed);
    if (platform::parseSettings(written) != parsed)
        __builtin_trap();
    return 0;
}
