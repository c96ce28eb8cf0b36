#include "complex/band_renderer.h"

#include <algorithm>

namespace complex {

BandRenderer::BandRenderer(ComplexFractal& fractal, int bandHeight)
    : fractal_(fractal),
      width_(std::max(fractal.view().width, 0)),
      height_(std::max(fractal.view().height, 0)),
      bandHeight_(std::max(bandHeight, 1)) {}

bool BandRenderer::cancelled() const noexcept {
    return cancel_ != nullptr && cancel_->load(std::memory_order_relaxed);
}

platform::Color* BandRenderer::bandRow(int row) noexcept {
    return band_.data() +
           static_cast<std::size_t>(row - bandTop_) * static_cast<std::size_t>(width_);
}

bool BandRenderer::render(engine::RowSink& sink, const std::atomic<bool>* cancel) {
    cancel_ = cancel;
    rowsDone_.store(0, std::memory_order_relaxed);
    open_.clear();
    if (width_ == 0 || height_ == 0)
        return !cancelled();
    // What every run does first: among others, whether this view is too fine for the
    // integer algorithm.
    fractal_.prepareRun();
    fractal_.prepareColouring();
    if (fractal_.runsDeepView() && !fractal_.prepareDeepScene([this] { return cancelled(); }))
        return false;
    const int method = fractal_.method.load(std::memory_order_relaxed);
    band_.assign(
        static_cast<std::size_t>(width_) * static_cast<std::size_t>(std::min(bandHeight_, height_)),
        platform::kBlack);
    previousCounts_.assign(static_cast<std::size_t>(width_), EscapeValue{});
    currentCounts_.assign(static_cast<std::size_t>(width_), EscapeValue{});

    for (bandTop_ = 0; bandTop_ < height_; bandTop_ = bandEnd_) {
        bandEnd_ = bandTop_ + std::min(bandHeight_, height_ - bandTop_);
        switch (method) {
            case kRelief:
                computeRelief();
                break;
            case kTesseral:
                computeTesseral();
                break;
            default:
                computeSimple();
                break;
        }
        tally_.flush();
        if (cancelled())
            return false;
        for (int row = bandTop_; row < bandEnd_; ++row) {
            if (!sink.takeRow(row, bandRow(row), width_))
                return false;
        }
        rowsDone_.store(bandEnd_, std::memory_order_relaxed);
    }
    open_.clear();
    return true;
}

void BandRenderer::computeSimple() {
    for (int row = bandTop_; row < bandEnd_ && !cancelled(); ++row) {
        platform::Color* pixels = bandRow(row);
        for (int column = 0; column < width_; ++column)
            pixels[column] = fractal_.runColouring().plain(fractal_.valueAt(column, row, tally_));
    }
}

// Each pixel is shaded against its upper-left neighbour, as the diagonals of the
// window's scan shade it; the first column and the top row are never shaded. The
// counts of the row above carry over from one band to the next.
void BandRenderer::computeRelief() {
    for (int row = bandTop_; row < bandEnd_ && !cancelled(); ++row) {
        platform::Color* pixels = bandRow(row);
        for (int column = 0; column < width_; ++column) {
            const EscapeValue value = fractal_.valueAt(column, row, tally_);
            currentCounts_[static_cast<std::size_t>(column)] = value;
            const EscapeValue previous = column > 0 && row > 0
                                             ? previousCounts_[static_cast<std::size_t>(column - 1)]
                                             : EscapeValue{-1, -1.0};
            pixels[column] = fractal_.runColouring().relief(
                value, previous, fractal_.reliefDepth.load(std::memory_order_relaxed));
        }
        previousCounts_.swap(currentCounts_);
    }
}

// Every border pixel of a traced rectangle holds its own count and every filled
// rectangle one colour, so the picture is a function of the subdivision alone. Each
// band walks the rectangles that meet it; one that reaches below the band keeps its
// border counts (and so its verdict) until the band with its last row.
void BandRenderer::computeTesseral() {
    walkTesseral(Area{0, 0, width_, height_});
}

void BandRenderer::walkTesseral(const Area& region) {
    if (region.w <= 0 || region.h <= 0 || region.bottom() < bandTop_ || region.y >= bandEnd_)
        return;
    const int wl = region.w / 2;
    const int wr = region.w - wl;
    const int ht = region.h / 2;
    const int hb = region.h - ht;
    const Area quadrants[4] = {{region.x, region.y, wl, ht},
                               {region.x + wl, region.y, wr, ht},
                               {region.x, region.y + ht, wl, hb},
                               {region.x + wl, region.y + ht, wr, hb}};
    for (const Area& a : quadrants) {
        if (a.w <= 0 || a.h <= 0 || a.bottom() < bandTop_ || a.y >= bandEnd_)
            continue;
        if (cancelled())
            return;
        const bool insideLeft =
            a.y >= bandTop_ && a.bottom() < bandEnd_ ? traceInBand(a) : traceAcrossBands(a);
        if (insideLeft)
            walkTesseral(Area{a.x + 1, a.y + 1, a.w - 2, a.h - 2});
    }
}

bool BandRenderer::traceInBand(const Area& a) {
    const auto trace = [this](int column, int row) {
        const EscapeValue value = fractal_.valueAt(column, row, tally_);
        bandRow(row)[column] = fractal_.runColouring().plain(value);
        return value.count;
    };
    if (a.w == 1 || a.h == 1) {
        for (int row = a.y; row <= a.bottom(); ++row) {
            for (int column = a.x; column < a.x + a.w; ++column)
                trace(column, row);
        }
        return false;
    }
    const int m = trace(a.x, a.y);
    const int right = a.x + a.w - 1;
    const int bottom = a.bottom();
    bool uniform = true;
    for (int row = a.y + 1; row <= bottom; ++row)
        uniform &= trace(a.x, row) == m;
    for (int column = a.x + 1; column <= right; ++column)
        uniform &= trace(column, bottom) == m;
    for (int row = a.y + 1; row < bottom; ++row)
        uniform &= trace(right, row) == m;
    for (int column = a.x + 1; column <= right; ++column)
        uniform &= trace(column, a.y) == m;
    if (!uniform)
        return true;
    fillInside(a, a.y + 1, bottom - 1, m);
    return false;
}

BandRenderer::Border BandRenderer::countBorder(const Area& a) {
    Border border;
    const auto countRow = [this, &a](int row, std::vector<EscapeValue>& counts) {
        counts.resize(static_cast<std::size_t>(a.w));
        for (int i = 0; i < a.w; ++i)
            counts[static_cast<std::size_t>(i)] = fractal_.valueAt(a.x + i, row, tally_);
    };
    if (a.h == 1) {
        countRow(a.y, border.top);
        return border;
    }
    // Each border pixel is computed once; a corner is copied into the column edges.
    border.left.resize(static_cast<std::size_t>(a.h));
    for (int i = a.w == 1 ? 0 : 1; i < (a.w == 1 ? a.h : a.h - 1); ++i)
        border.left[static_cast<std::size_t>(i)] = fractal_.valueAt(a.x, a.y + i, tally_);
    if (a.w == 1)
        return border;
    countRow(a.y, border.top);
    countRow(a.bottom(), border.bottom);
    border.right.resize(static_cast<std::size_t>(a.h));
    for (int i = 1; i < a.h - 1; ++i)
        border.right[static_cast<std::size_t>(i)] =
            fractal_.valueAt(a.x + a.w - 1, a.y + i, tally_);
    const auto last = static_cast<std::size_t>(a.w - 1);
    border.left.front() = border.top.front();
    border.left.back() = border.bottom.front();
    border.right.front() = border.top[last];
    border.right.back() = border.bottom[last];
    const int m = border.top.front().count;
    const auto same = [m](const std::vector<EscapeValue>& values) {
        return std::all_of(values.begin(), values.end(),
                           [m](const EscapeValue& value) { return value.count == m; });
    };
    border.uniform =
        same(border.top) && same(border.bottom) && same(border.left) && same(border.right);
    return border;
}

bool BandRenderer::traceAcrossBands(const Area& a) {
    const std::uint64_t key = keyOf(a);
    auto found = open_.find(key);
    Border traced;
    const bool kept = found != open_.end();
    if (!kept) {
        // Met for the first time: this band holds the rectangle's top row.
        traced = countBorder(a);
        if (a.bottom() >= bandEnd_)
            found = open_.emplace(key, std::move(traced)).first;
    }
    const Border& border = found != open_.end() ? found->second : traced;

    const int first = std::max(a.y, bandTop_);
    const int last = std::min(a.bottom(), bandEnd_ - 1);
    const EscapeColouring& colouring = fractal_.runColouring();
    const auto paintRow = [this, &a, &colouring](int row, const std::vector<EscapeValue>& values) {
        platform::Color* pixels = bandRow(row);
        for (int i = 0; i < a.w; ++i)
            pixels[a.x + i] = colouring.plain(values[static_cast<std::size_t>(i)]);
    };
    for (int row = first; row <= last; ++row) {
        const auto i = static_cast<std::size_t>(row - a.y);
        if (a.h == 1) {
            paintRow(row, border.top);
        } else if (a.w == 1) {
            bandRow(row)[a.x] = colouring.plain(border.left[i]);
        } else if (row == a.y) {
            paintRow(row, border.top);
        } else if (row == a.bottom()) {
            paintRow(row, border.bottom);
        } else {
            bandRow(row)[a.x] = colouring.plain(border.left[i]);
            bandRow(row)[a.x + a.w - 1] = colouring.plain(border.right[i]);
        }
    }
    const bool lines = a.w == 1 || a.h == 1;
    const bool uniform = border.uniform;
    if (!lines && uniform)
        fillInside(a, std::max(first, a.y + 1), std::min(last, a.bottom() - 1),
                   border.top.front().count);
    if (found != open_.end() && a.bottom() < bandEnd_)
        open_.erase(found);
    return !lines && !uniform;
}

// The inside columns of a uniform rectangle, rows firstRow..lastRow of the band.
void BandRenderer::fillRows(const Area& a, int firstRow, int lastRow, platform::Color color) {
    for (int row = firstRow; row <= lastRow; ++row) {
        platform::Color* pixels = bandRow(row);
        std::fill(pixels + a.x + 1, pixels + a.x + a.w - 1, color);
    }
}

void BandRenderer::fillInside(const Area& a, int firstRow, int lastRow, int m) {
    const EscapeColouring& colouring = fractal_.runColouring();
    if (!colouring.smooth() || colouring.inside(m)) {
        fillRows(a, firstRow, lastRow, colouring.band(m));
        return;
    }
    for (int row = firstRow; row <= lastRow && !cancelled(); ++row) {
        platform::Color* pixels = bandRow(row);
        for (int column = a.x + 1; column < a.x + a.w - 1; ++column)
            pixels[column] = colouring.plain(fractal_.valueAt(column, row, tally_));
    }
}

std::uint64_t BandRenderer::keyOf(const Area& a) const noexcept {
    return static_cast<std::uint64_t>(a.y) * static_cast<std::uint64_t>(width_) +
           static_cast<std::uint64_t>(a.x);
}

}  // namespace complex
