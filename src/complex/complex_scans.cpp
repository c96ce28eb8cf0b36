// The scans of an escape-time picture: Simple (columns), Relief (diagonals) and
// Tesseral (rectangles whose uniform border fills them), on one thread or a team, pixel
// by pixel or in runs of pixels for the batch kernels.
#include <algorithm>

#include "complex/area_queue.h"
#include "complex/complex_fractal.h"

namespace complex {

namespace {

// Below this many pixels a tesseral rectangle is subdivided by the thread that
// traced it: handing it to another thread would cost more than it saves.
constexpr long kSmallestSharedArea = 64 * 64;

// Columns a Simple scan with the batch kernels takes at a time: a few cache lines of
// colours a row, next to each other, which the processor fetches ahead.
constexpr int kStripColumns = 64;
// Diagonals a Relief scan with the batch kernels takes at a time: in every row they
// are as many neighbouring pixels.
constexpr int kBandDiagonals = 64;

}  // namespace

void ComplexFractal::PixelRun::clear() noexcept {
    column.clear();
    row.clear();
    x.clear();
    y.clear();
}

void ComplexFractal::PixelRun::add(int c, int r, double planeX, double planeY) {
    column.push_back(c);
    row.push_back(r);
    x.push_back(planeX);
    y.push_back(planeY);
}

bool ComplexFractal::evaluateRun(PixelRun& run, Tally& tally) {
    run.counts.resize(static_cast<std::size_t>(run.size()));
    const kernels::BatchInterrupt interrupt{&runState.running, &runState.paused};
    // A pause interrupts the kernels as a stop does; once resumed, the run is
    // computed again from its start.
    do {
        if (!keepRunning())
            return false;
    } while (!kernels::countBatch(*runBatch_, run.x.data(), run.y.data(), run.x.size(),
                                  run.counts.data(), &interrupt));
    for (const int n : run.counts)
        tally.count(n);
    return true;
}

bool ComplexFractal::valuesAt(const std::vector<PixelSpot>& spots, EscapeValue* values,
                              Tally& tally, const std::atomic<bool>* cancel) {
    const auto cancelled = [cancel] {
        return cancel != nullptr && cancel->load(std::memory_order_relaxed);
    };
    if (deepRuns())
        return deepValuesAt(spots, values, tally, cancel);
    if (!batched()) {
        for (std::size_t i = 0; i < spots.size(); ++i) {
            if (cancelled())
                return false;
            values[i] = evaluate(spots[i].column, spots[i].row, tally);
        }
        return true;
    }
    thread_local PixelRun run;
    kernels::BatchInterrupt interrupt;
    interrupt.cancel = cancel;
    for (std::size_t first = 0; first < spots.size(); first += kRunPixels) {
        run.clear();
        const std::size_t end = std::min(spots.size(), first + kRunPixels);
        for (std::size_t i = first; i < end; ++i) {
            run.add(spots[i].column, spots[i].row, runInputs().view.planeX(spots[i].column),
                    runInputs().view.planeY(spots[i].row));
        }
        run.counts.resize(run.x.size());
        if (cancelled() || !kernels::countBatch(*runBatch_, run.x.data(), run.y.data(),
                                                run.x.size(), run.counts.data(), &interrupt)) {
            return false;
        }
        for (std::size_t k = 0; k < run.counts.size(); ++k) {
            const int n = run.counts[k];
            values[first + k] = EscapeValue{n, static_cast<double>(n)};
            tally.count(n);
        }
    }
    return true;
}

int ComplexFractal::calculate() {
    prepareColouring();
    keptComplete_.store(false, std::memory_order_relaxed);
    kept_.reset(width, height, runColouring_.smooth(), runColouring_.byDistance());
    keptDistanceCapable_ = carriesDistance();
    keptLimit_ = runParameters_.maxIterations;
    keptMethod_ = method.load(std::memory_order_relaxed);
    keptAutomatic_ = runControls_.automaticDensity;
    keptDensityTransfer_ = runControls_.transfer;
    if (runsDeepView() && !prepareDeepScene([this] { return !keepRunning(); }))
        return 0;
    if (!resolveAutomaticDensity(nullptr) || !keepRunning())
        return 0;
    switch (keptMethod_) {
        case kRelief:
            scanRelief();
            break;
        case kTesseral:
            if (teamSize() > 1)
                scanTesseralOnTeam();
            else
                scanTesseral(0, 0, width, height);
            break;
        default:
            scanSimple();
            break;
    }
    if (runsDeepView())
        finishDeepPixels();
    // Every pixel drawn: the picture can be coloured again from its values.
    keptComplete_.store(keepRunning(), std::memory_order_release);
    if (options().autoIterations && formula_ && keepRunning())
        observeBorder();
    return 0;
}

// Columns from the left, each taken by the next thread that is free. With the batch
// kernels a thread takes a strip of neighbouring columns and stores it row by row: a
// column's pixels lie a whole row apart in the surfaces and the kept values, a strip's
// row is one short stretch of memory.
void ComplexFractal::scanSimple() {
    const int step = batched() ? kStripColumns : 1;
    std::atomic<int> nextColumn{0};
    runOnTeam([this, &nextColumn, step] {
        for (int column = nextColumn.fetch_add(step); column < width;
             column = nextColumn.fetch_add(step)) {
            const bool more = step > 1 ? scanStripBatched(column, std::min(step, width - column))
                                       : scanColumn(column);
            if (!more)
                return;
        }
    });
}

bool ComplexFractal::scanColumn(int column) {
    if (deepRuns())
        return scanColumnDeep(column);
    Tally tally(*this);
    const double x = runInputs().view.planeX(column);
    for (int row = 0; row < height; ++row) {
        if (!keepRunning())
            return false;
        const EscapeValue value =
            deepScene_ ? evaluateDeep(column, row, tally) : evaluateAt(x, row, tally);
        plotValue(column, row, value, runColouring_.plain(value));
    }
    return true;
}

// Diagonals runState.running down and to the right, from the bottom-left corner to the
// top-right one, so that every pixel but a diagonal's first is shaded against its
// upper-left neighbour. A diagonal depends on nothing outside itself: each is taken
// by the next thread that is free. With the batch kernels a thread takes a band of
// neighbouring diagonals and stores it row by row, as the Simple scan does its strips.
void ComplexFractal::scanRelief() {
    const int diagonals = width + height - 1;
    const int step = batched() && !deepRuns() ? kBandDiagonals : 1;
    std::atomic<int> nextDiagonal{0};
    runOnTeam([this, &nextDiagonal, diagonals, step] {
        for (int d = nextDiagonal.fetch_add(step); d < diagonals;
             d = nextDiagonal.fetch_add(step)) {
            const bool more =
                step > 1 ? scanBandBatched(d, std::min(step, diagonals - d)) : scanDiagonal(d);
            if (!more)
                return;
        }
    });
}

bool ComplexFractal::scanDiagonal(int diagonal) {
    if (deepRuns())
        return scanDiagonalDeep(diagonal);
    if (batched())
        return scanDiagonalBatched(diagonal);
    if (!keepRunning())
        return false;
    Tally tally(*this);
    int column = diagonal < height ? 0 : diagonal - height + 1;
    int row = diagonal < height ? height - 1 - diagonal : 0;
    EscapeValue previous{-1, -1.0};
    for (; row < height && column < width; ++row, ++column) {
        if (!keepRunning())
            return false;
        const EscapeValue value = evaluate(column, row, tally);
        plotValue(
            column, row, value,
            runColouring_.relief(value, previous, reliefDepth.load(std::memory_order_relaxed)));
        previous = value;
    }
    return true;
}

// Depth first over the quadrants. A quadrant whose border was not uniform continues
// one pixel inside its border, which has been drawn already.
void ComplexFractal::scanTesseral(int x, int y, int w, int h) {
    if (w <= 0 || h <= 0)
        return;
    const int wl = w / 2;
    const int wr = w - wl;
    const int ht = h / 2;
    const int hb = h - ht;
    const Area quadrants[4] = {
        {x, y, wl, ht}, {x + wl, y, wr, ht}, {x, y + ht, wl, hb}, {x + wl, y + ht, wr, hb}};
    for (int q = 0; q < 4; ++q) {
        const Area& a = quadrants[q];
        if (!traceBorder(a.x, a.y, a.w, a.h))
            scanTesseral(a.x + 1, a.y + 1, a.w - 2, a.h - 2);
        if (q < 3 && !keepRunning())
            return;
    }
}

// The same subdivision by several threads. Every quadrant's border and inside belong
// to that quadrant alone, so the order in which they are done cannot change a pixel;
// large insides go back to the queue for any thread, small ones are runState.finished at once.
void ComplexFractal::scanTesseralOnTeam() {
    AreaQueue queue;
    queue.put(Area{0, 0, width, height});
    runOnTeam([this, &queue] {
        Area area{};
        while (queue.take(area)) {
            const int wl = area.w / 2;
            const int ht = area.h / 2;
            const Area quadrants[4] = {{area.x, area.y, wl, ht},
                                       {area.x + wl, area.y, area.w - wl, ht},
                                       {area.x, area.y + ht, wl, area.h - ht},
                                       {area.x + wl, area.y + ht, area.w - wl, area.h - ht}};
            for (const Area& a : quadrants) {
                if (!keepRunning())
                    break;
                if (a.w <= 0 || a.h <= 0 || traceBorder(a.x, a.y, a.w, a.h))
                    continue;
                const Area inside{a.x + 1, a.y + 1, a.w - 2, a.h - 2};
                if (static_cast<long>(inside.w) * inside.h >= kSmallestSharedArea)
                    queue.put(inside);
                else
                    scanTesseral(inside.x, inside.y, inside.w, inside.h);
            }
            if (!keepRunning())
                queue.close();
            queue.done();
        }
    });
}

bool ComplexFractal::traceBorder(int x, int y, int w, int h) {
    Tally tally(*this);
    return traceBorderTallied(x, y, w, h, tally);
}

bool ComplexFractal::traceBorderTallied(int x, int y, int w, int h, Tally& tally) {
    if (w <= 0 || h <= 0)
        return true;
    if (batched())
        return traceBorderBatched(x, y, w, h, tally);
    if (deepRuns())
        return traceBorderDeep(x, y, w, h, tally);
    if (w == 1 && h == 1) {
        tracePixel(x, y, tally);
        return true;
    }
    if (w == 1) {
        for (int row = y; row < y + h; ++row) {
            if (!keepRunning())
                return true;
            tracePixel(x, row, tally);
        }
        return true;
    }
    if (h == 1) {
        for (int column = x; column < x + w; ++column) {
            if (!keepRunning())
                return true;
            tracePixel(column, y, tally);
        }
        return true;
    }

    const int m = tracePixel(x, y, tally).count;
    const int right = x + w - 1;
    const int bottom = y + h - 1;
    bool uniform = true;
    for (int row = y + 1; row <= bottom; ++row) {  // left edge
        if (!keepRunning())
            return true;
        uniform &= tracePixel(x, row, tally).count == m;
    }
    for (int column = x + 1; column <= right; ++column) {  // bottom edge
        if (!keepRunning())
            return true;
        uniform &= tracePixel(column, bottom, tally).count == m;
    }
    for (int row = y + 1; row < bottom; ++row) {  // right edge without its corners
        if (!keepRunning())
            return true;
        uniform &= tracePixel(right, row, tally).count == m;
    }
    for (int column = x + 1; column <= right; ++column) {  // top edge
        if (!keepRunning())
            return true;
        uniform &= tracePixel(column, y, tally).count == m;
    }
    if (!uniform)
        return false;
    return fillUniformBorder(x, y, w, h, m, tally);
}

bool ComplexFractal::fillUniformBorder(int x, int y, int w, int h, int m, Tally& tally) {
    // Smooth and distance colours differ within one count: only a rectangle of inside
    // points is one colour, black.
    if (runColouring_.variesWithinCount() && !runColouring_.inside(m)) {
        traceInside(x + 1, y + 1, w - 2, h - 2, tally);
        return true;
    }
    kept_.fill(x + 1, y + 1, w - 2, h - 2, m);
    fillRect(platform::Rect{x, y, x + w, y + h}, runColouring_.band(m));
    // The border was counted as it was computed.
    filledPixels.fetch_add(static_cast<std::uint64_t>(w - 2) * static_cast<std::uint64_t>(h - 2),
                           std::memory_order_relaxed);
    return true;
}

// The same scans with the pixels handed to the batch kernels in runs: the same
// pixels, counts and colours, and a stop seen between runs.
bool ComplexFractal::scanStripBatched(int firstColumn, int columns) {
    thread_local PixelRun run;
    thread_local std::vector<platform::Color> colors;
    thread_local std::vector<double> xs;
    const auto strip = static_cast<std::size_t>(columns);
    colors.resize(strip);
    xs.resize(strip);
    const view::ViewWindow& view = runInputs().view;
    for (int k = 0; k < columns; ++k)
        xs[static_cast<std::size_t>(k)] = view.planeX(firstColumn + k);
    Tally tally(*this);
    const int rowsPerRun = std::max(1, kRunPixels / columns);
    for (int top = 0, bottom = 0; top < height; top = bottom) {
        bottom = top + std::min(rowsPerRun, height - top);
        run.clear();
        run.x.resize(strip * static_cast<std::size_t>(bottom - top));
        run.y.resize(run.x.size());
        for (int row = top; row < bottom; ++row) {
            const std::size_t at = strip * static_cast<std::size_t>(row - top);
            std::copy(xs.begin(), xs.end(), run.x.begin() + static_cast<std::ptrdiff_t>(at));
            std::fill_n(run.y.begin() + static_cast<std::ptrdiff_t>(at), strip, view.planeY(row));
            // Fetched while the kernels count.
            kept_.prefetchCounts(firstColumn, row, columns);
            windowDC.prefetchRow(firstColumn, row, columns);
            picture.prefetchRow(firstColumn, row, columns);
        }
        if (!evaluateRun(run, tally))
            return false;
        for (int row = top; row < bottom; ++row) {
            const int* counts = run.counts.data() + static_cast<std::size_t>(row - top) * columns;
            kept_.putCounts(firstColumn, row, columns, counts);
            runColouring_.bands(counts, columns, colors.data());
            plotRow(firstColumn, row, columns, colors.data());
        }
    }
    return true;
}

// Row r holds the pixel of diagonal d in column d + r - (height - 1): the band's
// pixels of a row are neighbours, and each diagonal's pixel in the row above is its
// upper-left neighbour, against which it is shaded.
bool ComplexFractal::scanBandBatched(int firstDiagonal, int diagonals) {
    thread_local PixelRun run;
    thread_local std::vector<platform::Color> colors;
    thread_local std::vector<int> above;
    colors.resize(static_cast<std::size_t>(diagonals));
    // Each diagonal's count in the row above; a diagonal's first pixel has no
    // neighbour to be shaded against.
    above.assign(static_cast<std::size_t>(diagonals), -1);
    const view::ViewWindow& view = runInputs().view;
    const auto columnsOf = [this, firstDiagonal, diagonals](int row) {
        const int shift = row - (height - 1);
        return platform::ColumnRun{std::max(0, firstDiagonal + shift),
                                   std::min(width, firstDiagonal + diagonals + shift)};
    };
    Tally tally(*this);
    const int rowsPerRun = std::max(1, kRunPixels / diagonals);
    for (int top = 0, bottom = 0; top < height; top = bottom) {
        bottom = top + std::min(rowsPerRun, height - top);
        run.clear();
        for (int row = top; row < bottom; ++row) {
            const platform::ColumnRun columns = columnsOf(row);
            for (int column = columns.first; column < columns.end; ++column)
                run.add(column, row, view.planeX(column), view.planeY(row));
            if (!columns.empty()) {
                // Fetched while the kernels count.
                kept_.prefetchCounts(columns.first, row, columns.length());
                windowDC.prefetchRow(columns.first, row, columns.length());
                picture.prefetchRow(columns.first, row, columns.length());
            }
        }
        if (run.size() == 0)
            continue;
        if (!evaluateRun(run, tally))
            return false;
        const int depth = reliefDepth.load(std::memory_order_relaxed);
        const int* counts = run.counts.data();
        for (int row = top; row < bottom; ++row) {
            const platform::ColumnRun columns = columnsOf(row);
            if (columns.empty())
                continue;
            // The row's first pixel belongs to this diagonal of the band.
            int* upperLeft = above.data() + (columns.first - (row - (height - 1)) - firstDiagonal);
            runColouring_.reliefBands(counts, upperLeft, columns.length(), depth, colors.data());
            std::copy(counts, counts + columns.length(), upperLeft);
            kept_.putCounts(columns.first, row, columns.length(), counts);
            plotRow(columns.first, row, columns.length(), colors.data());
            counts += columns.length();
        }
    }
    return true;
}

bool ComplexFractal::scanDiagonalBatched(int diagonal) {
    thread_local PixelRun run;
    Tally tally(*this);
    run.clear();
    int column = diagonal < height ? 0 : diagonal - height + 1;
    int row = diagonal < height ? height - 1 - diagonal : 0;
    for (; row < height && column < width; ++row, ++column)
        run.add(column, row, runInputs().view.planeX(column), runInputs().view.planeY(row));
    if (!evaluateRun(run, tally))
        return false;
    const int depth = reliefDepth.load(std::memory_order_relaxed);
    EscapeValue previous{-1, -1.0};
    for (std::size_t k = 0; k < run.counts.size(); ++k) {
        const EscapeValue value{run.counts[k], static_cast<double>(run.counts[k])};
        plotValue(run.column[k], run.row[k], value, runColouring_.relief(value, previous, depth));
        previous = value;
    }
    return true;
}

// The border's pixels go to the kernels as one run, in the order they are drawn.
bool ComplexFractal::traceBorderBatched(int x, int y, int w, int h, Tally& tally) {
    thread_local PixelRun run;
    run.clear();
    const auto add = [this](int column, int row) {
        run.add(column, row, runInputs().view.planeX(column), runInputs().view.planeY(row));
    };
    const int right = x + w - 1;
    const int bottom = y + h - 1;
    const bool line = w == 1 || h == 1;
    if (w == 1) {
        for (int row = y; row <= bottom; ++row)
            add(x, row);
    } else if (h == 1) {
        for (int column = x; column <= right; ++column)
            add(column, y);
    } else {
        add(x, y);                                   // the corner whose count m is compared
        for (int row = y + 1; row <= bottom; ++row)  // left edge
            add(x, row);
        for (int column = x + 1; column <= right; ++column)  // bottom edge
            add(column, bottom);
        for (int row = y + 1; row < bottom; ++row)  // right edge without its corners
            add(right, row);
        for (int column = x + 1; column <= right; ++column)  // top edge
            add(column, y);
    }
    // A stopped run starts no deeper subdivision.
    if (!evaluateRun(run, tally))
        return true;
    const int m = run.counts[0];
    bool uniform = true;
    for (std::size_t k = 0; k < run.counts.size(); ++k) {
        const int n = run.counts[k];
        plotValue(run.column[k], run.row[k], EscapeValue{n, static_cast<double>(n)},
                  runColouring_.band(n));
        uniform &= n == m;
    }
    if (line)
        return true;
    if (!uniform)
        return false;
    return fillUniformBorder(x, y, w, h, m, tally);
}

void ComplexFractal::traceInside(int x, int y, int w, int h, Tally& tally) {
    if (deepRuns()) {
        traceInsideDeep(x, y, w, h, tally);
        return;
    }
    for (int column = x; column < x + w; ++column) {
        for (int row = y; row < y + h; ++row) {
            if (!keepRunning())
                return;
            tracePixel(column, row, tally);
        }
    }
}

}  // namespace complex
