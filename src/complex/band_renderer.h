#pragma once

#include <atomic>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "complex/complex_fractal.h"
#include "engine/row_sink.h"

namespace complex {

// Computes the picture of a fractal's view (view.width x view.height, whatever the
// size of the fractal's own surfaces) in bands of rows and hands each band to a sink
// as soon as it is complete, so that memory grows with the width but not with the
// height. The pixels are those the fractal's own scan would draw on a picture of
// the view's size, for every method: the same kernel, the same colours, the same
// relief shading and the same tesseral subdivision.
//
// The fractal must not be calculating: the kernels run on the calling thread.
class BandRenderer {
  public:
    // bandHeight rows are computed before they are handed on (at least 1).
    BandRenderer(ComplexFractal& fractal, int bandHeight);

    // true when every row reached the sink; false when the sink refused a row or
    // cancel was set (checked before every row).
    bool render(engine::RowSink& sink, const std::atomic<bool>* cancel = nullptr);

    // The rows whose computation has finished and that reached the sink.
    int rowsDone() const noexcept { return rowsDone_.load(std::memory_order_relaxed); }

  private:
    // A rectangle of the tesseral subdivision: its top-left pixel and its size.
    struct Area {
        int x;
        int y;
        int w;
        int h;
        int bottom() const noexcept { return y + h - 1; }
    };
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

    bool cancelled() const noexcept;
    platform::Color* bandRow(int row) noexcept;

    void computeSimple();
    void computeRelief();
    void computeTesseral();

    // The part of scanTesseral(x, y, w, h) that lies in the band.
    void walkTesseral(const Area& region);
    // A traced rectangle wholly inside the band: drawn as the window's scan draws it;
    // true when its inside is left to do.
    bool traceInBand(const Area& a);
    // A traced rectangle that reaches beyond the band; true when its inside is left to do.
    bool traceAcrossBands(const Area& a);
    Border countBorder(const Area& a);
    void fillRows(const Area& a, int firstRow, int lastRow, platform::Color color);
    // The inside of a rectangle with a uniform border of count m, rows firstRow..lastRow
    // of the band: one colour, or every pixel computed where smooth colours differ
    // within one count.
    void fillInside(const Area& a, int firstRow, int lastRow, int m);
    std::uint64_t keyOf(const Area& a) const noexcept;

    ComplexFractal& fractal_;
    int width_;
    int height_;
    int bandHeight_;
    const std::atomic<bool>* cancel_ = nullptr;
    // The rows [bandTop_, bandEnd_) being computed and their pixels.
    int bandTop_ = 0;
    int bandEnd_ = 0;
    std::vector<platform::Color> band_;
    // Relief: the counts of the row above the one being computed.
    std::vector<EscapeValue> previousCounts_;
    std::vector<EscapeValue> currentCounts_;
    // Tesseral: the rectangles met in an earlier band that reach into this one or
    // beyond, by their top-left pixel (which belongs to no other traced border).
    std::unordered_map<std::uint64_t, Border> open_;
    std::atomic<int> rowsDone_{0};
    // The statistics of the band being computed, added when it is done.
    ComplexFractal::Tally tally_{fractal_};
};

}  // namespace complex
