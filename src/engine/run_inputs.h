#pragma once

#include "engine/color_table.h"
#include "view/view_window.h"

namespace engine {

// What a run computes from, copied as the run starts. The worker and its helpers read
// this value only, so a change the user makes meanwhile (a new view, new colours)
// waits for the next run instead of reaching the one under way.
struct RunInputs {
    view::ViewWindow view;
    ColorTable colors;
    // The precise form of a view deeper than double resolves (view is then its
    // rounded rectangle); null for a view double holds.
    view::DeepViewPtr deep;
};

}  // namespace engine
