// The scans of a deep view whose scene counts in vector lanes: the same pixels in the
// same order as the scans pixel by pixel, handed to the scene in runs (a column, a
// diagonal, a rectangle's border), with a stop seen within a run.
#include <algorithm>

#include "complex/complex_fractal.h"

namespace complex {

void ComplexFractal::DeepRun::clear() noexcept {
    spots.clear();
    pixels.clear();
    values.clear();
}

void ComplexFractal::DeepRun::add(int column, int row, long planeRow) {
    spots.push_back(PixelSpot{column, row});
    pixels.push_back(PixelIndex{column, planeRow});
}

void ComplexFractal::addDeep(DeepRun& run, int column, int row) const {
    run.add(column, row, deepRow(row));
}

bool ComplexFractal::evaluateDeepRun(DeepRun& run, Tally& tally) {
    if (!keepRunning())
        return false;
    run.values.resize(run.pixels.size());
    deepScene_->countPixels(run.pixels.data(), static_cast<long>(run.pixels.size()),
                            run.values.data(), deepStop_);
    if (runColouring_.byDistance())
        measureDeepDistances(run.pixels.data(), static_cast<long>(run.pixels.size()),
                             run.values.data(), deepStop_);
    if (!keepRunning())
        return false;
    for (const EscapeValue& value : run.values)
        tally.count(value.count);
    return true;
}

bool ComplexFractal::scanColumnDeep(int column) {
    thread_local DeepRun run;
    Tally tally(*this);
    for (int first = 0; first < height; first += kRunPixels) {
        run.clear();
        for (int row = first; row < std::min(height, first + kRunPixels); ++row)
            addDeep(run, column, row);
        if (!evaluateDeepRun(run, tally))
            return false;
        for (std::size_t k = 0; k < run.values.size(); ++k)
            plotValue(column, run.spots[k].row, run.values[k], runColouring_.plain(run.values[k]));
    }
    return true;
}

bool ComplexFractal::scanDiagonalDeep(int diagonal) {
    thread_local DeepRun run;
    Tally tally(*this);
    run.clear();
    int column = diagonal < height ? 0 : diagonal - height + 1;
    int row = diagonal < height ? height - 1 - diagonal : 0;
    for (; row < height && column < width; ++row, ++column)
        addDeep(run, column, row);
    if (!evaluateDeepRun(run, tally))
        return false;
    const int depth = reliefDepth.load(std::memory_order_relaxed);
    EscapeValue previous{-1, -1.0};
    for (std::size_t k = 0; k < run.values.size(); ++k) {
        plotValue(run.spots[k].column, run.spots[k].row, run.values[k],
                  runColouring_.relief(run.values[k], previous, depth));
        previous = run.values[k];
    }
    return true;
}

// The border's pixels as one run, in the order the pixel-by-pixel trace draws them.
bool ComplexFractal::traceBorderDeep(int x, int y, int w, int h, Tally& tally) {
    thread_local DeepRun run;
    run.clear();
    const int right = x + w - 1;
    const int bottom = y + h - 1;
    const bool line = w == 1 || h == 1;
    if (w == 1) {
        for (int row = y; row <= bottom; ++row)
            addDeep(run, x, row);
    } else if (h == 1) {
        for (int column = x; column <= right; ++column)
            addDeep(run, column, y);
    } else {
        addDeep(run, x, y);                          // the corner whose count m is compared
        for (int row = y + 1; row <= bottom; ++row)  // left edge
            addDeep(run, x, row);
        for (int column = x + 1; column <= right; ++column)  // bottom edge
            addDeep(run, column, bottom);
        for (int row = y + 1; row < bottom; ++row)  // right edge without its corners
            addDeep(run, right, row);
        for (int column = x + 1; column <= right; ++column)  // top edge
            addDeep(run, column, y);
    }
    // A stopped run starts no deeper subdivision.
    if (!evaluateDeepRun(run, tally))
        return true;
    const int m = run.values[0].count;
    bool uniform = true;
    for (std::size_t k = 0; k < run.values.size(); ++k) {
        plotValue(run.spots[k].column, run.spots[k].row, run.values[k],
                  runColouring_.plain(run.values[k]));
        uniform &= run.values[k].count == m;
    }
    if (line)
        return true;
    if (!uniform)
        return false;
    return fillUniformBorder(x, y, w, h, m, tally);
}

void ComplexFractal::traceInsideDeep(int x, int y, int w, int h, Tally& tally) {
    thread_local DeepRun run;
    for (int column = x; column < x + w; ++column) {
        run.clear();
        for (int row = y; row < y + h; ++row)
            addDeep(run, column, row);
        if (!evaluateDeepRun(run, tally))
            return;
        for (std::size_t k = 0; k < run.values.size(); ++k)
            plotValue(column, run.spots[k].row, run.values[k], runColouring_.plain(run.values[k]));
    }
}

void ComplexFractal::measureDeepDistances(const PixelIndex* pixels, long count, EscapeValue* values,
                                          const StopCheck& stop) const {
    deepScene_->measureDistances(pixels, count, values, stop);
    for (long k = 0; k < count; ++k)
        values[k].distance /= samplesPerPixel_;
}

// The spots of a picture computed in bands, in runs of the scans' length; the scene's
// stop is the picture's cancel.
bool ComplexFractal::deepValuesAt(const std::vector<PixelSpot>& spots, EscapeValue* values,
                                  Tally& tally, const std::atomic<bool>* cancel) {
    const auto cancelled = [cancel] {
        return cancel != nullptr && cancel->load(std::memory_order_relaxed);
    };
    thread_local std::vector<PixelIndex> pixels;
    for (std::size_t first = 0; first < spots.size(); first += kRunPixels) {
        if (cancelled())
            return false;
        const std::size_t end = std::min(spots.size(), first + kRunPixels);
        pixels.clear();
        for (std::size_t i = first; i < end; ++i)
            pixels.push_back(PixelIndex{spots[i].column, deepRow(spots[i].row)});
        deepScene_->countPixels(pixels.data(), static_cast<long>(pixels.size()), values + first,
                                cancelled);
        if (runColouring_.byDistance())
            measureDeepDistances(pixels.data(), static_cast<long>(pixels.size()), values + first,
                                 cancelled);
        if (cancelled())
            return false;
        for (std::size_t i = first; i < end; ++i)
            tally.count(values[i].count);
    }
    return true;
}

}  // namespace complex
