#pragma once

// The plain scalar Mandelbrot loops the benchmarks measure the engine and the kernels
// against: the iteration with nothing around it, column by column, pixel by pixel.
#include <cstdint>
#include <vector>

#include "complex/escape_kernels.h"
#include "complex/fixed28.h"
#include "view/view_window.h"

namespace bench {

using complex::fixed28::Fixed28;

template <bool kSquareLast>
std::uint64_t plainFixedLoop(const view::ViewWindow& view, std::vector<int>& counts, int limit) {
    using complex::fixed28::toFixed28;
    const int width = view.width;
    const int height = view.height;
    std::uint64_t total = 0;
    for (int column = 0; column < width; ++column) {
        for (int row = 0; row < height; ++row) {
            const Fixed28 cr = toFixed28(view.xmin + column * view.xscale);
            const Fixed28 ci = toFixed28(view.ymin + (view.maxY - row - 1) * view.yscale);
            Fixed28 zr = 0;
            Fixed28 zi = 0;
            int n = 0;
            while (n < limit) {
                ++n;
                const Fixed28 xx = static_cast<Fixed28>(static_cast<std::int64_t>(zr * zr) >> 28);
                const Fixed28 yy = static_cast<Fixed28>(static_cast<std::int64_t>(zi * zi) >> 28);
                const Fixed28 nextZi =
                    static_cast<Fixed28>(static_cast<std::int64_t>(zr * zi) >> 27) + ci;
                if constexpr (kSquareLast) {
                    zr = complex::kernels::addSquareLast(xx, cr - yy);
                } else {
                    zr = xx - yy + cr;
                }
                zi = nextZi;
                if (xx + yy >= (Fixed28{4} << 28))
                    break;
            }
            counts[static_cast<std::size_t>(row) * width + column] = n;
            total += static_cast<std::uint64_t>(n);
        }
    }
    return total;
}

inline std::uint64_t plainDoubleLoop(const view::ViewWindow& view, std::vector<int>& counts,
                                     int limit) {
    const int width = view.width;
    const int height = view.height;
    std::uint64_t total = 0;
    for (int column = 0; column < width; ++column) {
        for (int row = 0; row < height; ++row) {
            const double cr = view.xmin + column * view.xscale;
            const double ci = view.ymin + (view.maxY - row - 1) * view.yscale;
            double zr = 0.0;
            double zi = 0.0;
            int n = 0;
            while (n < limit) {
                ++n;
                const double xx = zr * zr;
                const double yy = zi * zi;
                const double nextZr = (xx - yy) + cr;
                zi = ((zi * zr) * 2) + ci;
                zr = nextZr;
                if (yy + xx >= 4.0)
                    break;
            }
            counts[static_cast<std::size_t>(row) * width + column] = n;
            total += static_cast<std::uint64_t>(n);
        }
    }
    return total;
}

}  // namespace bench
