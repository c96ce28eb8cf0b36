#pragma once

// Waiting for a worker thread in tests. The limits are generous on purpose: the tests also
// run under the sanitizers on a busy machine, where a picture takes many times longer. A
// wait that ends early costs nothing; only a wait that would never end runs to the limit.

#include <chrono>
#include <thread>

#include "engine/fractal.h"

namespace corvane_test {

inline constexpr std::chrono::milliseconds kWaitLimit = std::chrono::seconds(60);

// Polls `done` every millisecond until it holds or `limit` has passed. Returns whether it
// held (checked once more at the end, so a condition met just in time counts).
template <typename Predicate>
bool waitUntil(Predicate&& done, std::chrono::milliseconds limit = kWaitLimit) {
    const auto until = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= until)
            return done();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// Waits until the fractal's worker has finished (or the time is up).
inline bool waitFinished(const engine::Fractal& fractal,
                         std::chrono::milliseconds limit = kWaitLimit) {
    return waitUntil([&fractal] { return fractal.isFinished(); }, limit);
}

}  // namespace corvane_test
