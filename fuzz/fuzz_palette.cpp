// The palette file reader on arbitrary text.
#include <cstdint>
#include <vector>

#include "engine/color_table.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static std::vector<platform::Color> entries(4096);
    const int maxCount = size > 0 ? 1 + data[0] % 4096 : 4096;
    const int n =
        engine::parsePalette(reinterpret_cast<const char*>(data), size, entries.data(), maxCount);
    if (n < 0 || n > maxCount)
        __builtin_trap();
    for (int i = 0; i < n; ++i) {
        if (entries[static_cast<std::size_t>(i)] > 0xFFFFFFu)
            __builtin_trap();
    }
    return 0;
}
