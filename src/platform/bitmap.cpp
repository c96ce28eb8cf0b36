#include "platform/bitmap.h"

#include <algorithm>
#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace platform {

namespace {

// Clips the half-open span [start, start + length) to [0, limit); false when empty.
bool clipSpan(long long& start, long long& length, int limit) {
    long long end = start + length;
    start = std::max<long long>(start, 0);
    end = std::min<long long>(end, limit);
    length = end - start;
    return length > 0;
}

// ThreadSanitizer sees atomic stores, not assembly: under it every pixel is stored atomically,
// so that it still checks the picture's writers against its readers.
#if defined(__SANITIZE_THREAD__)
#define CORVANE_THREAD_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define CORVANE_THREAD_SANITIZER 1
#endif
#endif

#if defined(__x86_64__) && defined(__SSE2__) && !defined(CORVANE_THREAD_SANITIZER)
#define CORVANE_FOUR_PIXEL_STORES 1
// Writes from[0..3] to to[0..3] in one 16-byte store. The store is written in assembly
// so that it stands for what the processor does, not for a plain C++ store racing
// with a reader's atomic loads: the processor writes each 4-byte aligned pixel of it
// whole, so a reader sees every pixel either old or new, as with one atomic store a
// pixel.
inline void storeFourPixels(Color* to, const Color* from) noexcept {
    const __m128i four = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
    asm volatile("movdqu %1, %0" : "=m"(*reinterpret_cast<Color(*)[4]>(to)) : "x"(four));
}
#endif

}  // namespace

ColumnRun clipRun(int x, int count, int width) noexcept {
    if (count <= 0)
        return {0, 0};
    const long long end = std::min<long long>(static_cast<long long>(x) + count, width);
    return {std::max(x, 0), static_cast<int>(std::max<long long>(end, 0))};
}

void prefetchForWriting(const void* first, std::size_t bytes) noexcept {
    constexpr std::size_t kLine = 64;
    const auto* p = static_cast<const unsigned char*>(first);
    for (std::size_t offset = 0; offset < bytes; offset += kLine)
        __builtin_prefetch(p + offset, 1, 2);
    if (bytes > 0)
        __builtin_prefetch(p + bytes - 1, 1, 2);
}

Bitmap::Bitmap(int width, int height) {
    resize(width, height);
}

void Bitmap::resize(int width, int height) {
    if (width <= 0 || height <= 0) {
        width_ = height_ = 0;
        pixels_.clear();
        pixels_.shrink_to_fit();
        return;
    }
    pixels_.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), kBlack);
    width_ = width;
    height_ = height;
}

void Bitmap::fillRect(const Rect& rect, Color color) noexcept {
    long long x = rect.left;
    long long w = static_cast<long long>(rect.right) - rect.left;
    long long y = rect.top;
    long long h = static_cast<long long>(rect.bottom) - rect.top;
    if (!clipSpan(x, w, width_) || !clipSpan(y, h, height_))
        return;
    for (long long row = y; row < y + h; ++row) {
        for (long long col = x; col < x + w; ++col) {
            setPixel(static_cast<int>(col), static_cast<int>(row), color);
        }
    }
}

void Bitmap::whiteness(int x, int y, int w, int h) noexcept {
    fillRect(
        Rect{x, y, static_cast<int>(std::min<long long>(static_cast<long long>(x) + w, INT32_MAX)),
             static_cast<int>(std::min<long long>(static_cast<long long>(y) + h, INT32_MAX))},
        kWhite);
}

void Bitmap::copyFrom(const Bitmap& source, int dx, int dy, int w, int h, int sx, int sy) noexcept {
    // Only pixels inside both the source and the destination are visited and copied.
    const long long firstRow =
        std::max({0LL, -static_cast<long long>(dy), -static_cast<long long>(sy)});
    const long long lastRow =
        std::min({static_cast<long long>(h), static_cast<long long>(height_) - dy,
                  static_cast<long long>(source.height_) - sy});
    const long long firstCol =
        std::max({0LL, -static_cast<long long>(dx), -static_cast<long long>(sx)});
    const long long lastCol =
        std::min({static_cast<long long>(w), static_cast<long long>(width_) - dx,
                  static_cast<long long>(source.width_) - sx});
    for (long long row = firstRow; row < lastRow; ++row) {
        for (long long col = firstCol; col < lastCol; ++col) {
            setPixel(static_cast<int>(dx + col), static_cast<int>(dy + row),
                     source.pixel(static_cast<int>(sx + col), static_cast<int>(sy + row)));
        }
    }
}

void Bitmap::stretchFrom(const Bitmap& source, int dx, int dy, int dw, int dh, int sx, int sy,
                         int sw, int sh) noexcept {
    if (dw <= 0 || dh <= 0 || sw <= 0 || sh <= 0 || source.empty() || empty())
        return;
    // Only the part of the destination block inside this bitmap is visited, so a huge
    // block costs no more than the bitmap itself.
    const long long firstRow = std::max<long long>(0, -static_cast<long long>(dy));
    const long long lastRow = std::min<long long>(dh, static_cast<long long>(height_) - dy);
    const long long firstCol = std::max<long long>(0, -static_cast<long long>(dx));
    const long long lastCol = std::min<long long>(dw, static_cast<long long>(width_) - dx);
    for (long long row = firstRow; row < lastRow; ++row) {
        const long long fy = sy + row * sh / dh;
        if (fy < 0 || fy >= source.height_)
            continue;
        for (long long col = firstCol; col < lastCol; ++col) {
            const long long fx = sx + col * sw / dw;
            if (fx < 0 || fx >= source.width_)
                continue;
            setPixel(static_cast<int>(dx + col), static_cast<int>(dy + row),
                     source.pixel(static_cast<int>(fx), static_cast<int>(fy)));
        }
    }
}

void Bitmap::outline(int a, int b, int c, int d, Color color) noexcept {
    const int left = std::min(a, c);
    const int right = std::max(a, c) - 1;
    const int top = std::min(b, d);
    const int bottom = std::max(b, d) - 1;
    if (right < left || bottom < top)
        return;
    for (int x = std::max(left, 0); x <= std::min(right, width_ - 1); ++x) {
        setPixel(x, top, color);
        setPixel(x, bottom, color);
    }
    for (int y = std::max(top, 0); y <= std::min(bottom, height_ - 1); ++y) {
        setPixel(left, y, color);
        setPixel(right, y, color);
    }
}

std::vector<Color> Bitmap::snapshot() const {
    std::vector<Color> copy(pixels_.size());
    for (std::size_t i = 0; i < pixels_.size(); ++i) {
        copy[i] = std::atomic_ref<Color>(pixels_[i]).load(std::memory_order_relaxed);
    }
    return copy;
}

void Bitmap::readRow(int x, int y, int count, Color* out) const noexcept {
    if (y < 0 || y >= height_)
        return;
    const ColumnRun run = clipRun(x, count, width_);
    for (int column = run.first; column < run.end; ++column) {
        out[column - x] =
            std::atomic_ref<Color>(pixels_[index(column, y)]).load(std::memory_order_relaxed);
    }
}

void Bitmap::writeRow(int x, int y, int count, const Color* colors) noexcept {
    if (y < 0 || y >= height_)
        return;
    const ColumnRun run = clipRun(x, count, width_);
    if (run.empty())
        return;
    Color* to = &pixels_[index(run.first, y)];
    const Color* from = colors + (run.first - x);
    const auto length = static_cast<std::size_t>(run.length());
    std::size_t k = 0;
#if defined(CORVANE_FOUR_PIXEL_STORES)
    // Four pixels a store: rows are written where they are not cached, and the
    // processor keeps only so many stores waiting for memory, so one store a pixel
    // made the writer wait for memory at every few pixels.
    for (; k + 4 <= length; k += 4)
        storeFourPixels(to + k, from + k);
#endif
    for (; k < length; ++k)
        std::atomic_ref<Color>(to[k]).store(from[k], std::memory_order_relaxed);
}

void Bitmap::prefetchRow(int x, int y, int count) const noexcept {
    if (y < 0 || y >= height_)
        return;
    const ColumnRun run = clipRun(x, count, width_);
    if (!run.empty())
        prefetchForWriting(&pixels_[index(run.first, y)],
                           static_cast<std::size_t>(run.length()) * sizeof(Color));
}

}  // namespace platform
