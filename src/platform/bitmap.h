#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/geometry.h"

namespace platform {

// Colours are COLORREF-style: red in bits 0..7, green 8..15, blue 16..23, top byte 0.
using Color = std::uint32_t;

constexpr Color rgb(unsigned r, unsigned g, unsigned b) {
    return (r & 0xFFu) | ((g & 0xFFu) << 8) | ((b & 0xFFu) << 16);
}
constexpr unsigned redOf(Color c) {
    return c & 0xFFu;
}
constexpr unsigned greenOf(Color c) {
    return (c >> 8) & 0xFFu;
}
constexpr unsigned blueOf(Color c) {
    return (c >> 16) & 0xFFu;
}

// The columns first..end - 1 of a run of count pixels from column x on that lie within
// [0, width); none (first >= end) when no pixel of it does, or count is not positive.
struct ColumnRun {
    int first;
    int end;
    bool empty() const noexcept { return first >= end; }
    int length() const noexcept { return end - first; }
};
ColumnRun clipRun(int x, int count, int width) noexcept;

// Asks the processor to fetch bytes bytes from first on, which are about to be
// written (a hint: it changes nothing the program sees).
void prefetchForWriting(const void* first, std::size_t bytes) noexcept;

constexpr Color kBlack = 0x000000;
constexpr Color kWhite = 0xFFFFFF;

// A width x height array of colours with the drawing operations the program needs,
// clipped to the bitmap. An empty bitmap (a surface that could not be created)
// ignores every drawing operation.
//
// One thread may draw while another reads: every pixel is written and read
// through a relaxed atomic_ref, so a reader sees each pixel either old or new.
class Bitmap {
  public:
    Bitmap() = default;
    Bitmap(int width, int height);

    // Re-creates the bitmap; only while nobody else draws into it or reads it.
    void resize(int width, int height);

    bool empty() const noexcept { return width_ <= 0 || height_ <= 0; }
    int width() const noexcept { return width_; }
    int height() const noexcept { return height_; }

    bool contains(int x, int y) const noexcept {
        return static_cast<unsigned>(x) < static_cast<unsigned>(width_) &&
               static_cast<unsigned>(y) < static_cast<unsigned>(height_);
    }

    Color pixel(int x, int y) const noexcept {
        if (!contains(x, y))
            return kBlack;
        return std::atomic_ref<Color>(pixels_[index(x, y)]).load(std::memory_order_relaxed);
    }

    void setPixel(int x, int y, Color color) noexcept {
        if (!contains(x, y))
            return;
        std::atomic_ref<Color>(pixels_[index(x, y)]).store(color, std::memory_order_relaxed);
    }

    // Fills (left, top)-(right, bottom), right and bottom edges excluded.
    void fillRect(const Rect& rect, Color color) noexcept;
    // The WHITENESS raster operation on x, y, w, h.
    void whiteness(int x, int y, int w, int h) noexcept;
    // Block copy (SRCCOPY) of w x h pixels from (sx, sy) of source to (dx, dy).
    void copyFrom(const Bitmap& source, int dx, int dy, int w, int h, int sx, int sy) noexcept;
    // Stretched copy, nearest pixel, from the source block to the destination block.
    void stretchFrom(const Bitmap& source, int dx, int dy, int dw, int dh, int sx, int sy, int sw,
                     int sh) noexcept;
    // One-pixel outline of the rectangle with corners (a, b)-(c, d): columns a and
    // c - 1, rows b and d - 1.
    void outline(int a, int b, int c, int d, Color color) noexcept;

    // A plain copy of all pixels, read pixel by pixel (for saving and showing).
    std::vector<Color> snapshot() const;
    // Reads count pixels of row y from column x on into out, each as pixel() reads it;
    // the part of the run outside the bitmap is left as it is in out.
    void readRow(int x, int y, int count, Color* out) const noexcept;
    // Writes count colours into row y from column x on, each as setPixel writes it; the
    // part of the run outside the bitmap is not written.
    void writeRow(int x, int y, int count, const Color* colors) noexcept;
    // Asks the processor to fetch the memory of count pixels of row y from column x on,
    // which are about to be written: rows lie far apart, so a writer that goes down a
    // strip of columns would otherwise wait for every row's memory in turn.
    void prefetchRow(int x, int y, int count) const noexcept;

  private:
    std::size_t index(int x, int y) const noexcept {
        return static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) +
               static_cast<std::size_t>(x);
    }

    int width_ = 0;
    int height_ = 0;
    // Mutable because a relaxed atomic load needs a non-const atomic_ref.
    mutable std::vector<Color> pixels_;
};

}  // namespace platform
