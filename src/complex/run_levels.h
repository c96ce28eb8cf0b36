#pragma once

#include <cstddef>
#include <utility>
#include <vector>

#include "complex/exact_orbit.h"

namespace complex {

// The levels of a table of runs above its first: each run of a level is two neighbouring
// runs of the level below merged (merge(first, second)), until a level holds one run.
// stop is asked every few thousand merges; false, the levels emptied, when it asked for a
// stop.
template <class Run, class Merge>
bool mergeLevels(std::vector<std::vector<Run>>& levels, const Merge& merge, const StopCheck& stop) {
    while (levels.back().size() >= 2) {
        const std::vector<Run>& below = levels.back();
        std::vector<Run> above;
        above.reserve(below.size() / 2);
        for (std::size_t j = 0; j + 1 < below.size(); j += 2) {
            if ((j & 0xFFF) == 0 && stop && stop()) {
                levels.clear();
                return false;
            }
            above.push_back(merge(below[j], below[j + 1]));
        }
        levels.push_back(std::move(above));
    }
    return true;
}

}  // namespace complex
