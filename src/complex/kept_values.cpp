#include "complex/kept_values.h"

#include <algorithm>

namespace complex {

void KeptValues::reset(int width, int height, bool smooth, bool distances) {
    width_ = std::max(width, 0);
    height_ = std::max(height, 0);
    smooth_ = smooth;
    const std::size_t pixels = static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_);
    // Not cleared: every run writes each pixel's values before they are read (a run
    // stopped early leaves values nobody reads), and clearing 8 MB or more before each
    // run would hold up the run on one core.
    counts_.resize(pixels);
    if (smooth)
        continuous_.resize(pixels);
    else
        continuous_ = {};
    if (distances)
        distances_.resize(pixels);
    else
        distances_ = {};
}

void KeptValues::clear() noexcept {
    width_ = height_ = 0;
    counts_ = {};
    continuous_ = {};
    distances_ = {};
}

void KeptValues::putCounts(int column, int row, int count, const std::int32_t* counts) noexcept {
    if (row < 0 || row >= height_)
        return;
    const platform::ColumnRun run = platform::clipRun(column, count, width_);
    if (run.empty())
        return;
    const std::size_t at = index(run.first, row);
    const std::int32_t* from = counts + (run.first - column);
    std::copy(from, from + run.length(), counts_.begin() + static_cast<std::ptrdiff_t>(at));
    if (smooth_) {
        for (int k = 0; k < run.length(); ++k)
            continuous_[at + static_cast<std::size_t>(k)] = static_cast<double>(from[k]);
    }
}

void KeptValues::prefetchCounts(int column, int row, int count) const noexcept {
    if (row < 0 || row >= height_)
        return;
    const platform::ColumnRun run = platform::clipRun(column, count, width_);
    if (!run.empty()) {
        platform::prefetchForWriting(counts_.data() + index(run.first, row),
                                     static_cast<std::size_t>(run.length()) * sizeof(std::int32_t));
    }
}

void KeptValues::fill(int x, int y, int w, int h, int count) noexcept {
    const int left = std::max(x, 0);
    const int top = std::max(y, 0);
    const int right = std::min(x + w, width_);
    const int bottom = std::min(y + h, height_);
    for (int row = top; row < bottom; ++row) {
        for (int column = left; column < right; ++column)
            put(column, row, EscapeValue{count, static_cast<double>(count)});
    }
}

namespace {

// One kept row: its counts, and its continuous counts and distances where kept.
struct KeptRow {
    const std::int32_t* counts;
    const double* continuous;
    const double* distances;

    KeptRow(const KeptValues& kept, int row) noexcept
        : counts(kept.countsOf(row)),
          continuous(kept.continuousOf(row)),
          distances(kept.distancesOf(row)) {}

    EscapeValue at(int column) const noexcept {
        const std::int32_t count = counts[column];
        return EscapeValue{count, continuous ? continuous[column] : static_cast<double>(count),
                           distances ? distances[column] : 0.0};
    }
};

}  // namespace

void colorKeptRows(const KeptValues& kept, const EscapeColouring& colouring, bool relief,
                   int reliefDepth, int first, int last, platform::Color* out) noexcept {
    const int width = kept.width();
    for (int row = std::max(first, 0); row < std::min(last, kept.height()); ++row) {
        platform::Color* pixels = out + static_cast<std::size_t>(row - first) * width;
        const KeptRow values(kept, row);
        if (!relief || row == 0) {
            // The top row begins every diagonal it meets: never shaded.
            for (int column = 0; column < width; ++column) {
                const EscapeValue value = values.at(column);
                pixels[column] = relief
                                     ? colouring.relief(value, EscapeValue{-1, -1.0}, reliefDepth)
                                     : colouring.plain(value);
            }
            continue;
        }
        const KeptRow above(kept, row - 1);
        for (int column = 0; column < width; ++column) {
            const EscapeValue previous = column > 0 ? above.at(column - 1) : EscapeValue{-1, -1.0};
            pixels[column] = colouring.relief(values.at(column), previous, reliefDepth);
        }
    }
}

}  // namespace complex
