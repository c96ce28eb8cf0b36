#include "complex/band_renderer.h"

#include <algorithm>

namespace complex {

namespace {

// Below this many pixels of the band, the inside of a tesseral rectangle is
// subdivided by the thread that traced it: handing it on would cost more than it saves.
constexpr long kSmallestSharedArea = 64 * 64;

int bottomOf(const Area& a) noexcept {
    return a.y + a.h - 1;
}

// The border of a traced rectangle in the order the kernels take it: a line's every
// pixel; otherwise the top row, the bottom row, then the left and the right column
// without their corners. The first pixel is the top-left corner.
void addBorder(const Area& a, std::vector<ComplexFractal::PixelSpot>& spots) {
    const int right = a.x + a.w - 1;
    const int bottom = bottomOf(a);
    if (a.w == 1 || a.h == 1) {
        for (int row = a.y; row <= bottom; ++row)
            for (int column = a.x; column <= right; ++column)
                spots.push_back({column, row});
        return;
    }
    for (const int row : {a.y, bottom})
        for (int column = a.x; column <= right; ++column)
            spots.push_back({column, row});
    for (const int column : {a.x, right})
        for (int row = a.y + 1; row < bottom; ++row)
            spots.push_back({column, row});
}

}  // namespace

BandRenderer::BandRenderer(ComplexFractal& fractal, int bandHeight)
    : BandRenderer(fractal, bandHeight,
                   PixelWindow{0, 0, fractal.view().width, fractal.view().height}) {}

BandRenderer::BandRenderer(ComplexFractal& fractal, int bandHeight, const PixelWindow& window)
    : fractal_(fractal),
      width_(std::max(fractal.view().width, 0)),
      height_(std::max(fractal.view().height, 0)),
      bandHeight_(std::max(bandHeight, 1)) {
    // The part of the window inside the picture; an empty one computes nothing.
    const int left = std::clamp(window.left, 0, width_);
    const int top = std::clamp(window.top, 0, height_);
    const auto endOf = [](int start, int size, int low, int high) {
        const long long end = static_cast<long long>(start) + std::max(size, 0);
        return static_cast<int>(std::clamp<long long>(end, low, high));
    };
    const int right = endOf(window.left, window.width, left, width_);
    const int bottom = endOf(window.top, window.height, top, height_);
    window_ = PixelWindow{left, top, right - left, bottom - top};
    reliefLeft_ = std::max(left - 1, 0);
}

bool BandRenderer::cancelled() const noexcept {
    return cancel_ != nullptr && cancel_->load(std::memory_order_relaxed);
}

bool BandRenderer::inWindow(int column) const noexcept {
    return column >= window_.left && column < window_.right();
}

platform::Color* BandRenderer::bandRow(int row) noexcept {
    return band_.data() +
           static_cast<std::size_t>(row - bandTop_) * static_cast<std::size_t>(window_.width);
}

platform::Color& BandRenderer::pixel(int row, int column) noexcept {
    return bandRow(row)[column - window_.left];
}

EscapeValue* BandRenderer::valuesRow(int row) noexcept {
    const auto width = static_cast<std::size_t>(window_.right() - reliefLeft_);
    return values_.data() + static_cast<std::size_t>(row - bandTop_) * width;
}

std::pair<int, int> BandRenderer::windowColumns(int first, int end) const noexcept {
    const int from = std::max(first, window_.left);
    return {from, std::max(std::min(end, window_.right()), from)};
}

bool BandRenderer::evaluateSpots(Lane& lane) {
    lane.values.resize(lane.spots.size());
    return fractal_.valuesAt(lane.spots, lane.values.data(), lane.tally, cancel_);
}

bool BandRenderer::render(engine::RowSink& sink, const std::atomic<bool>* cancel) {
    cancel_ = cancel;
    rowsDone_.store(0, std::memory_order_relaxed);
    open_.clear();
    if (window_.width == 0 || window_.height == 0)
        return !cancelled();
    // What every run does first: among others, whether this view is too fine for the
    // integer algorithm.
    fractal_.prepareRun();
    fractal_.prepareColouring();
    if (fractal_.runsDeepView() && !fractal_.prepareDeepScene([this] { return cancelled(); }))
        return false;
    if (!fractal_.resolveAutomaticDensity(cancel_))
        return false;
    const int method = fractal_.method.load(std::memory_order_relaxed);
    const auto bandRows = static_cast<std::size_t>(std::min(bandHeight_, window_.height));
    band_.assign(static_cast<std::size_t>(window_.width) * bandRows, platform::kBlack);
    if (method == kRelief) {
        const auto valuesWidth = static_cast<std::size_t>(window_.right() - reliefLeft_);
        values_.assign(valuesWidth * bandRows, EscapeValue{});
        rowAbove_.assign(valuesWidth, EscapeValue{});
    }

    for (bandTop_ = window_.top; bandTop_ < window_.bottom(); bandTop_ = bandEnd_) {
        bandEnd_ = bandTop_ + std::min(bandHeight_, window_.bottom() - bandTop_);
        switch (method) {
            case kRelief:
                computeRows(true);
                break;
            case kTesseral:
                computeTesseral();
                break;
            default:
                computeRows(false);
                break;
        }
        if (cancelled())
            return false;
        for (int row = bandTop_; row < bandEnd_; ++row) {
            if (!sink.takeRow(row, bandRow(row), window_.width))
                return false;
        }
        rowsDone_.store(bandEnd_ - window_.top, std::memory_order_relaxed);
    }
    open_.clear();
    if (fractal_.runsDeepView())
        fractal_.finishDeepPixels();
    return true;
}

// Each row is taken by the next thread that is free. Simple colours a row at once;
// Relief keeps the values until every row of the band is known; a window below the
// picture's top row needs the values of the row above it as well.
void BandRenderer::computeRows(bool relief) {
    const bool rowAboveWindow = relief && bandTop_ == window_.top && bandTop_ > 0;
    std::atomic<int> nextRow{rowAboveWindow ? bandTop_ - 1 : bandTop_};
    fractal_.computeOnTeam([this, relief, &nextRow] {
        Lane lane(fractal_);
        for (int row = nextRow++; row < bandEnd_; row = nextRow++) {
            if (!computeRow(row, relief, lane))
                return;
        }
    });
    if (relief && !cancelled())
        shadeReliefRows();
}

bool BandRenderer::computeRow(int row, bool relief, Lane& lane) {
    lane.spots.clear();
    for (int column = relief ? reliefLeft_ : window_.left; column < window_.right(); ++column)
        lane.spots.push_back({column, row});
    if (!evaluateSpots(lane))
        return false;
    if (relief) {
        std::copy(lane.values.begin(), lane.values.end(),
                  row < bandTop_ ? rowAbove_.data() : valuesRow(row));
        return true;
    }
    const EscapeColouring& colouring = fractal_.runColouring();
    platform::Color* pixels = bandRow(row);
    for (int i = 0; i < window_.width; ++i)
        pixels[i] = colouring.plain(lane.values[static_cast<std::size_t>(i)]);
    return true;
}

// Each pixel is shaded against its upper-left neighbour, as the diagonals of the
// window's scan shade it; the first column and the top row are never shaded. The
// values of the row above carry over from one band to the next.
void BandRenderer::shadeReliefRows() {
    const EscapeColouring& colouring = fractal_.runColouring();
    const int depth = fractal_.reliefDepth.load(std::memory_order_relaxed);
    for (int row = bandTop_; row < bandEnd_; ++row) {
        const EscapeValue* above = row == bandTop_ ? rowAbove_.data() : valuesRow(row - 1);
        const EscapeValue* values = valuesRow(row);
        for (int column = window_.left; column < window_.right(); ++column) {
            const int at = column - reliefLeft_;
            const EscapeValue previous =
                column > 0 && row > 0 ? above[at - 1] : EscapeValue{-1, -1.0};
            pixel(row, column) = colouring.relief(values[at], previous, depth);
        }
    }
    const EscapeValue* last = valuesRow(bandEnd_ - 1);
    std::copy(last, last + rowAbove_.size(), rowAbove_.begin());
}

// Every border pixel of a traced rectangle holds its own count and every filled
// rectangle one colour, so the picture is a function of the subdivision alone, and
// the order in which rectangles are done cannot change a pixel. Each band walks the
// rectangles that meet it; one that reaches below the band keeps its border counts
// (and so its verdict) until the band with its last row.
void BandRenderer::computeTesseral() {
    AreaQueue queue;
    queue.put(Area{0, 0, width_, height_});
    fractal_.computeOnTeam([this, &queue] {
        Lane lane(fractal_);
        Area area{};
        while (queue.take(area)) {
            walkTesseral(area, lane, queue);
            if (cancelled())
                queue.close();
            queue.done();
        }
    });
}

bool BandRenderer::meetsBand(const Area& a) const noexcept {
    return a.w > 0 && a.h > 0 && bottomOf(a) >= bandTop_ && a.y < bandEnd_ &&
           a.x < window_.right() && a.x + a.w > window_.left;
}

long BandRenderer::pixelsInBand(const Area& a) const noexcept {
    const int rows = std::min(bottomOf(a), bandEnd_ - 1) - std::max(a.y, bandTop_) + 1;
    const auto [from, to] = windowColumns(a.x, a.x + a.w);
    return static_cast<long>(to - from) * std::max(rows, 0);
}

void BandRenderer::walkTesseral(const Area& region, Lane& lane, AreaQueue& queue) {
    if (!meetsBand(region))
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
        if (!meetsBand(a))
            continue;
        if (cancelled())
            return;
        const bool insideLeft = a.y >= bandTop_ && bottomOf(a) < bandEnd_
                                    ? traceInBand(a, lane)
                                    : traceAcrossBands(a, lane);
        if (!insideLeft)
            continue;
        const Area inside{a.x + 1, a.y + 1, a.w - 2, a.h - 2};
        if (pixelsInBand(inside) >= kSmallestSharedArea)
            queue.put(inside);
        else
            walkTesseral(inside, lane, queue);
    }
}

bool BandRenderer::traceInBand(const Area& a, Lane& lane) {
    lane.spots.clear();
    addBorder(a, lane.spots);
    // A cancelled band is dropped whole: nothing deeper starts.
    if (!evaluateSpots(lane))
        return false;
    const EscapeColouring& colouring = fractal_.runColouring();
    const int m = lane.values.front().count;
    bool uniform = true;
    for (std::size_t k = 0; k < lane.spots.size(); ++k) {
        const ComplexFractal::PixelSpot spot = lane.spots[k];
        if (inWindow(spot.column))
            pixel(spot.row, spot.column) = colouring.plain(lane.values[k]);
        uniform &= lane.values[k].count == m;
    }
    if (a.w == 1 || a.h == 1)
        return false;
    if (!uniform)
        return true;
    fillInside(a, a.y + 1, bottomOf(a) - 1, m, lane);
    return false;
}

BandRenderer::Border BandRenderer::countBorder(const Area& a, Lane& lane) {
    lane.spots.clear();
    addBorder(a, lane.spots);
    // A cancelled band is dropped whole, whatever the values.
    evaluateSpots(lane);
    const std::vector<EscapeValue>& values = lane.values;
    Border border;
    if (a.h == 1) {
        border.top = values;
        return border;
    }
    if (a.w == 1) {
        border.left = values;
        return border;
    }
    const auto w = static_cast<std::ptrdiff_t>(a.w);
    const auto inner = static_cast<std::ptrdiff_t>(a.h - 2);
    const auto first = values.begin();
    border.top.assign(first, first + w);
    border.bottom.assign(first + w, first + 2 * w);
    // The columns hold their corners as well.
    border.left.push_back(border.top.front());
    border.left.insert(border.left.end(), first + 2 * w, first + 2 * w + inner);
    border.left.push_back(border.bottom.front());
    border.right.push_back(border.top.back());
    border.right.insert(border.right.end(), first + 2 * w + inner, first + 2 * w + 2 * inner);
    border.right.push_back(border.bottom.back());
    const int m = values.front().count;
    border.uniform = std::all_of(values.begin(), values.end(),
                                 [m](const EscapeValue& value) { return value.count == m; });
    return border;
}

bool BandRenderer::traceAcrossBands(const Area& a, Lane& lane) {
    const std::uint64_t key = keyOf(a);
    const Border* border = nullptr;
    {
        std::lock_guard lock(openMutex_);
        if (const auto found = open_.find(key); found != open_.end())
            border = &found->second;  // elements stay where they are while others come and go
    }
    const bool kept = border != nullptr;
    Border traced;
    if (!kept) {
        // Met for the first time: this band holds the rectangle's top row, or is the
        // window's first band.
        traced = countBorder(a, lane);
        border = &traced;
        if (bottomOf(a) >= bandEnd_) {
            std::lock_guard lock(openMutex_);
            border = &open_.emplace(key, std::move(traced)).first->second;
        }
    }

    const int first = std::max(a.y, bandTop_);
    const int last = std::min(bottomOf(a), bandEnd_ - 1);
    paintBorderRows(a, *border, first, last);
    const bool lines = a.w == 1 || a.h == 1;
    const bool uniform = border->uniform;
    if (!lines && uniform)
        fillInside(a, std::max(first, a.y + 1), std::min(last, bottomOf(a) - 1),
                   border->top.front().count, lane);
    if (kept && bottomOf(a) < bandEnd_) {
        std::lock_guard lock(openMutex_);
        open_.erase(key);
    }
    return !lines && !uniform;
}

void BandRenderer::paintBorderRows(const Area& a, const Border& border, int first, int last) {
    const EscapeColouring& colouring = fractal_.runColouring();
    // Named variables: clang 14 cannot capture structured bindings in a lambda.
    const std::pair<int, int> columns = windowColumns(a.x, a.x + a.w);
    const int from = columns.first;
    const int to = columns.second;
    const auto paintRow = [this, &a, &colouring, from, to](int row,
                                                           const std::vector<EscapeValue>& values) {
        for (int column = from; column < to; ++column)
            pixel(row, column) = colouring.plain(values[static_cast<std::size_t>(column - a.x)]);
    };
    const auto paintColumn = [this, &colouring](int row, int column, const EscapeValue& value) {
        if (inWindow(column))
            pixel(row, column) = colouring.plain(value);
    };
    for (int row = first; row <= last; ++row) {
        const auto i = static_cast<std::size_t>(row - a.y);
        if (a.h == 1) {
            paintRow(row, border.top);
        } else if (a.w == 1) {
            paintColumn(row, a.x, border.left[i]);
        } else if (row == a.y) {
            paintRow(row, border.top);
        } else if (row == bottomOf(a)) {
            paintRow(row, border.bottom);
        } else {
            paintColumn(row, a.x, border.left[i]);
            paintColumn(row, a.x + a.w - 1, border.right[i]);
        }
    }
}

// The inside columns of a uniform rectangle in the window, rows firstRow..lastRow of
// the band.
void BandRenderer::fillRows(const Area& a, int firstRow, int lastRow, platform::Color color) {
    const auto [from, to] = windowColumns(a.x + 1, a.x + a.w - 1);
    if (from == to)
        return;
    for (int row = firstRow; row <= lastRow; ++row)
        std::fill(&pixel(row, from), &pixel(row, to - 1) + 1, color);
}

void BandRenderer::fillInside(const Area& a, int firstRow, int lastRow, int m, Lane& lane) {
    const EscapeColouring& colouring = fractal_.runColouring();
    if (!colouring.variesWithinCount() || colouring.inside(m)) {
        fillRows(a, firstRow, lastRow, colouring.band(m));
        return;
    }
    const auto [from, to] = windowColumns(a.x + 1, a.x + a.w - 1);
    if (from == to)
        return;
    for (int row = firstRow; row <= lastRow; ++row) {
        lane.spots.clear();
        for (int column = from; column < to; ++column)
            lane.spots.push_back({column, row});
        if (!evaluateSpots(lane))
            return;
        for (std::size_t k = 0; k < lane.spots.size(); ++k)
            pixel(row, lane.spots[k].column) = colouring.plain(lane.values[k]);
    }
}

std::uint64_t BandRenderer::keyOf(const Area& a) const noexcept {
    return static_cast<std::uint64_t>(a.y) * static_cast<std::uint64_t>(width_) +
           static_cast<std::uint64_t>(a.x);
}

}  // namespace complex
