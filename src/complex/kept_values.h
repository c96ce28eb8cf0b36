#pragma once

#include <cstdint>
#include <vector>

#include "complex/escape_colouring.h"
#include "complex/escape_value.h"
#include "platform/bitmap.h"

namespace complex {

// The values an escape-time picture's colours came from, one a pixel, rows top down:
// the whole count of every pixel and, for a smooth picture, its continuous count (a
// banded picture's continuous count is its whole count, so it is not stored: 4 bytes a
// pixel, 12 when smooth) and, for a picture coloured by distance, its distance (8 bytes
// more). A point is inside when its count reaches the limit of the picture's colouring.
//
// Threads: the threads of a run write different pixels; the picture is read once the
// run is over.
class KeptValues {
  public:
    // Room for a picture of width x height (each at least 0); a value holds what an
    // earlier picture left there, or 0, until it is put.
    void reset(int width, int height, bool smooth, bool distances = false);
    void clear() noexcept;

    int width() const noexcept { return width_; }
    int height() const noexcept { return height_; }
    bool smooth() const noexcept { return smooth_; }
    bool hasDistances() const noexcept { return !distances_.empty(); }
    bool empty() const noexcept { return counts_.empty(); }

    // A pixel outside the picture is not stored.
    void put(int column, int row, const EscapeValue& value) noexcept {
        if (!contains(column, row))
            return;
        const std::size_t i = index(column, row);
        counts_[i] = value.count;
        if (smooth_)
            continuous_[i] = value.continuous;
        if (!distances_.empty())
            distances_[i] = value.distance;
    }
    // count whole counts into row row from column column on, with no fraction (runs of
    // the batch kernels, which never colour by distance); the part of the run outside
    // the picture is not stored.
    void putCounts(int column, int row, int count, const std::int32_t* counts) noexcept;
    // Fetches ahead the memory putCounts is about to write (a hint).
    void prefetchCounts(int column, int row, int count) const noexcept;
    // Every pixel of the rectangle (cut to the picture) holds count, no fraction and no
    // distance.
    void fill(int x, int y, int w, int h, int count) noexcept;
    // The counts of a row and its continuous counts (null when not smooth); the row
    // must lie in the picture.
    const std::int32_t* countsOf(int row) const noexcept { return counts_.data() + index(0, row); }
    const double* continuousOf(int row) const noexcept {
        return smooth_ ? continuous_.data() + index(0, row) : nullptr;
    }
    // The distances of a row (null without distances); the row must lie in the picture.
    const double* distancesOf(int row) const noexcept {
        return distances_.empty() ? nullptr : distances_.data() + index(0, row);
    }
    EscapeValue at(int column, int row) const noexcept {
        if (!contains(column, row))
            return EscapeValue{};
        const std::size_t i = index(column, row);
        return EscapeValue{counts_[i], smooth_ ? continuous_[i] : static_cast<double>(counts_[i]),
                           distances_.empty() ? 0.0 : distances_[i]};
    }

  private:
    bool contains(int column, int row) const noexcept {
        return static_cast<unsigned>(column) < static_cast<unsigned>(width_) &&
               static_cast<unsigned>(row) < static_cast<unsigned>(height_);
    }
    std::size_t index(int column, int row) const noexcept {
        return static_cast<std::size_t>(row) * static_cast<std::size_t>(width_) +
               static_cast<std::size_t>(column);
    }

    int width_ = 0;
    int height_ = 0;
    bool smooth_ = false;
    std::vector<std::int32_t> counts_;
    std::vector<double> continuous_;
    std::vector<double> distances_;
};

// The colours of rows first..last - 1 of the kept values, into out (width() colours a
// row), exactly as the scans colour them: with relief shading of reliefDepth when
// relief is set (each pixel against its upper-left neighbour; the top row and the left
// column unshaded, as the diagonals begin there).
void colorKeptRows(const KeptValues& kept, const EscapeColouring& colouring, bool relief,
                   int reliefDepth, int first, int last, platform::Color* out) noexcept;

}  // namespace complex
