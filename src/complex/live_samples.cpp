// The pixels of a view on the move, computed as a run computes them (double, fixed
// point or perturbation, with the batch kernels where the run has them) and coloured
// without shading: relief needs neighbours a moving frame does not have yet.
#include <algorithm>
#include <atomic>

#include "complex/complex_fractal.h"

namespace complex {

namespace {

// Spots a thread of the team takes at a time.
constexpr std::size_t kShare = 256;

}  // namespace

bool ComplexFractal::prepareLiveSamples() {
    if (isRunning())
        return false;
    prepareRun();
    prepareColouring();
    return !runsDeepView() || prepareDeepScene([] { return false; });
}

void ComplexFractal::liveSamples(const std::vector<platform::Point>& spots, platform::Color* out) {
    std::atomic<std::size_t> nextShare{0};
    computeOnTeam([&] {
        Tally tally(*this);
        std::vector<PixelSpot> share;
        std::vector<EscapeValue> values;
        for (std::size_t from = nextShare.fetch_add(kShare); from < spots.size();
             from = nextShare.fetch_add(kShare)) {
            const std::size_t to = std::min(from + kShare, spots.size());
            share.clear();
            for (std::size_t k = from; k < to; ++k)
                share.push_back({spots[k].x, spots[k].y});
            values.resize(share.size());
            if (!valuesAt(share, values.data(), tally, nullptr))
                return;
            for (std::size_t k = from; k < to; ++k)
                out[k] = runColouring().plain(values[k - from]);
        }
    });
}

}  // namespace complex
