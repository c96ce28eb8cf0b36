#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <unordered_map>
#include <utility>
#include <vector>

#include "complex/area_queue.h"
#include "complex/complex_fractal.h"
#include "complex/pixel_window.h"
#include "engine/row_sink.h"

namespace complex {

// Computes the picture of a fractal's view (view.width x view.height, whatever the
// size of the fractal's own surfaces) in bands of rows and hands each band to a sink
// as soon as it is complete, so that memory grows with the width but not with the
// height. The pixels are those the fractal's own scan would draw on a picture of
// the view's size, for every method: the same kernel, the same colours, the same
// relief shading and the same tesseral subdivision.
//
// Each band is computed by the thread team a run of the fractal would use (the
// calling thread among them), with the batch kernels where the run has them; the
// bands reach the sink in order, from the calling thread. The fractal must not be
// calculating.
//
// A window of the picture (a tile of a larger one) is computed as part of the whole
// picture: the same pixel coordinates, relief shaded against its neighbours outside
// the window, and the whole picture's tesseral subdivision walked with every border
// that meets the window counted whole. Its pixels are those of the whole picture.
class BandRenderer {
  public:
    // bandHeight rows are computed before they are handed on (at least 1).
    BandRenderer(ComplexFractal& fractal, int bandHeight);
    // Only the window's rows and columns (its part inside the picture) are computed and
    // handed on: rows of window.width pixels, numbered as rows of the whole picture.
    BandRenderer(ComplexFractal& fractal, int bandHeight, const PixelWindow& window);

    // true when every row reached the sink; false when the sink refused a row or
    // cancel was set (seen within a run of the kernels).
    bool render(engine::RowSink& sink, const std::atomic<bool>* cancel = nullptr);

    // The rows whose computation has finished and that reached the sink.
    int rowsDone() const noexcept { return rowsDone_.load(std::memory_order_relaxed); }

  private:
    // The border of a traced rectangle that reaches below the band it was met in:
    // the counts of its four edges (corners in both edges that hold them), kept
    // until the band that holds its last row has been drawn.
    struct Border {
        std::vector<EscapeValue> top;
        std::vector<EscapeValue> bottom;
        std::vector<EscapeValue> left;
        std::vector<EscapeValue> right;
        bool uniform = false;
    };
    // What one thread of the team works with: its statistics and its scratch lists.
    struct Lane {
        explicit Lane(ComplexFractal& fractal) : tally(fractal) {}
        ComplexFractal::Tally tally;
        std::vector<ComplexFractal::PixelSpot> spots;
        std::vector<EscapeValue> values;
    };

    bool cancelled() const noexcept;
    bool inWindow(int column) const noexcept;
    // The band's pixels of a row: the window's columns only, from its left column.
    platform::Color* bandRow(int row) noexcept;
    platform::Color& pixel(int row, int column) noexcept;
    // Relief: the values of a row from reliefLeft_ on (the column left of the window
    // as well, which its left column is shaded against).
    EscapeValue* valuesRow(int row) noexcept;
    // The window's columns that a rectangle's columns [first, end) hold, as [from, to).
    std::pair<int, int> windowColumns(int first, int end) const noexcept;
    // The values of lane.spots into lane.values; false when cancelled.
    bool evaluateSpots(Lane& lane);

    // Simple and Relief: the band's rows shared out among the team.
    void computeRows(bool relief);
    // Relief computes the row above the window too, into rowAbove_.
    bool computeRow(int row, bool relief, Lane& lane);
    void shadeReliefRows();

    // Tesseral: the subdivision's rectangles that meet the band, shared out among
    // the team as the window's tesseral scan shares them.
    void computeTesseral();
    bool meetsBand(const Area& a) const noexcept;
    long pixelsInBand(const Area& a) const noexcept;
    // The part of scanTesseral(x, y, w, h) that lies in the band; large insides go to
    // queue for any thread of the team.
    void walkTesseral(const Area& region, Lane& lane, AreaQueue& queue);
    // A traced rectangle wholly inside the band: drawn as the window's scan draws it;
    // true when its inside is left to do.
    bool traceInBand(const Area& a, Lane& lane);
    // A traced rectangle that reaches beyond the band; true when its inside is left to do.
    bool traceAcrossBands(const Area& a, Lane& lane);
    Border countBorder(const Area& a, Lane& lane);
    // The border's pixels in rows first..last of the band.
    void paintBorderRows(const Area& a, const Border& border, int first, int last);
    void fillRows(const Area& a, int firstRow, int lastRow, platform::Color color);
    // The inside of a rectangle with a uniform border of count m, rows firstRow..lastRow
    // of the band: one colour, or every pixel computed where smooth colours differ
    // within one count.
    void fillInside(const Area& a, int firstRow, int lastRow, int m, Lane& lane);
    std::uint64_t keyOf(const Area& a) const noexcept;

    ComplexFractal& fractal_;
    int width_;
    int height_;
    int bandHeight_;
    PixelWindow window_;
    int reliefLeft_ = 0;
    const std::atomic<bool>* cancel_ = nullptr;
    // The rows [bandTop_, bandEnd_) being computed and their pixels.
    int bandTop_ = 0;
    int bandEnd_ = 0;
    std::vector<platform::Color> band_;
    // Relief: the values of the band's rows, and of the row above the band (from
    // reliefLeft_ on).
    std::vector<EscapeValue> values_;
    std::vector<EscapeValue> rowAbove_;
    // Tesseral: the rectangles met in an earlier band that reach into this one or
    // beyond, by their top-left pixel (which belongs to no other traced border). Each
    // is met by one thread a band; the map itself is shared.
    std::unordered_map<std::uint64_t, Border> open_;
    std::mutex openMutex_;
    std::atomic<int> rowsDone_{0};
};

}  // namespace complex
