#pragma once

#include <algorithm>

namespace gui {

// A coordinate as one 16-bit half of a message parameter.
inline unsigned clampToWord(int value) {
    return static_cast<unsigned>(std::clamp(value, 0, 0xFFFF));
}

}  // namespace gui
