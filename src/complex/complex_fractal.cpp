#include "complex/complex_fractal.h"

#include <algorithm>

#include "platform/c_format.h"
#include "platform/string_table.h"

namespace complex {

namespace {

// Longest stored text accepted, in bytes of UTF-16 with the terminator.
constexpr std::uint32_t kParameterCapacity = engine::textCapacityBytes(engine::kMaxParameterUnits);
constexpr int kParameterFields = 10;
constexpr int kDefaultIterations = 200;
constexpr int kDefaultReliefDepth = 100;

// A rectangle as its top-left pixel and its size.
struct Area {
    int x;
    int y;
    int w;
    int h;
};

unsigned shiftedChannel(unsigned channel, int delta) noexcept {
    return static_cast<unsigned>(std::clamp(static_cast<int>(channel) + delta, 0, 255));
}

platform::Color shiftedColor(platform::Color color, int delta) noexcept {
    return platform::rgb(shiftedChannel(platform::redOf(color), delta),
                         shiftedChannel(platform::greenOf(color), delta),
                         shiftedChannel(platform::blueOf(color), delta));
}

}  // namespace

bool fixedPointResolves(const engine::ViewWindow& view) noexcept {
    return view.xscale >= kFinestFixedPointSpacing && view.yscale >= kFinestFixedPointSpacing;
}

platform::Color brightenColor(platform::Color color, int depth) noexcept {
    return shiftedColor(color, depth);
}

platform::Color darkenColor(platform::Color color, int depth) noexcept {
    return shiftedColor(color, -depth);
}

ComplexFractal::ComplexFractal(const platform::Services& services) : engine::Fractal(services) {
    typeName = "Complex";
}

void ComplexFractal::identifyAs(engine::FractalType id) {
    type = id;
    fileType = id;
    // The capacity counts the terminator of the stored name.
    const std::size_t limit =
        typeNameCapacity > 0 ? static_cast<std::size_t>(typeNameCapacity - 1) : 0;
    typeName = std::string(platform::loadString(platform::typeNameStringId(id)).substr(0, limit));
}

void ComplexFractal::applyDefaultParameters(double real, double imag) {
    setParameters(kDefaultIterations, real, imag, true);
    // Written after the restart: the first pixels of the new run may still use the
    // previous depth.
    reliefDepth.store(kDefaultReliefDepth, std::memory_order_relaxed);
}

void ComplexFractal::applyDefaultView(double x1, double y1, double x2, double y2) {
    if (defaultProbe != nullptr) {
        defaultProbe->setRect(x1, y1, x2, y2);
        return;
    }
    stopCalculation();
    pushView();
    view.setRect(x1, y1, x2, y2);
    startCalculation();
}

void ComplexFractal::setMethod(int m) {
    method.store(m, std::memory_order_relaxed);
}

void ComplexFractal::setMaxIterations(int n) {
    if (n >= 1)
        maxIterations = n;
}

void ComplexFractal::setParamReal(double value) {
    paramReal = value;
}

void ComplexFractal::setParamImag(double value) {
    paramImag = value;
}

void ComplexFractal::setParameters(int iterations, double real, double imag, bool integer) {
    stopCalculation();
    setMaxIterations(iterations);
    setParamReal(real);
    setParamImag(imag);
    useInteger = integer;
    startCalculation();
}

// The view's edges as the shortest texts that read back to the same doubles (strings
// stored with six decimals still read); the other fields as they always were.
std::string ComplexFractal::parameterString() const {
    using platform::formatRoundTrip;
    return platform::cformat("%s,%s,%s,%s,%d,%lg,%lg,%d,%d,%d", formatRoundTrip(view.xmin).c_str(),
                             formatRoundTrip(view.ymin).c_str(), formatRoundTrip(view.xmax).c_str(),
                             formatRoundTrip(view.ymax).c_str(), maxIterations, paramReal,
                             paramImag, useInteger ? 1 : 0, method.load(std::memory_order_relaxed),
                             reliefDepth.load(std::memory_order_relaxed) & 0xFF);
}

bool ComplexFractal::saveParameters() {
    return settings.writeString(typeName, parameterString());
}

bool ComplexFractal::loadParameters() {
    std::string text;
    std::uint32_t length = kParameterCapacity;
    if (!settings.readString(typeName, text, length))
        return false;

    double x1 = 0.0, y1 = 0.0, x2 = 0.0, y2 = 0.0, real = 0.0, imag = 0.0;
    int iterations = 0, integer = 0, scanMethod = 0, depth = 0;
    const int fields =
        platform::cscan(text, "%lf,%lf,%lf,%lf,%d,%lf,%lf,%d,%d,%d", &x1, &y1, &x2, &y2,
                        &iterations, &real, &imag, &integer, &scanMethod, &depth);
    // A damaged string keeps what the object already holds, and the caller does not
    // fall back to the defaults either.
    if (fields < kParameterFields)
        return true;

    stopCalculation();
    view.setRect(x1, y1, x2, y2);
    setMaxIterations(iterations);
    setParamReal(real);
    setParamImag(imag);
    useInteger = integer != 0;
    setMethod(scanMethod);
    reliefDepth.store(depth & 0xFF, std::memory_order_relaxed);
    startCalculation();
    return true;
}

void ComplexFractal::prepareCalculation() {
    filledPixels.store(0, std::memory_order_relaxed);
    doubleForced_ = useInteger && !fixedPointResolves(view);
}

std::string ComplexFractal::titleNote() const {
    return doubleForced_ ? "computed in double precision" : std::string();
}

// The old picture stays until the scan overwrites it pixel by pixel.
void ComplexFractal::clearPicture() {}

platform::Color ComplexFractal::colorForCount(int n) const noexcept {
    if (n >= maxIterations)
        return platform::kBlack;
    return colorTable.colorAt(n);
}

int ComplexFractal::calculate() {
    switch (method.load(std::memory_order_relaxed)) {
        case kRelief:
            scanRelief();
            break;
        case kTesseral:
            scanTesseral(0, 0, width, height);
            break;
        default:
            scanSimple();
            break;
    }
    return 0;
}

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

int ComplexFractal::evaluateRun(PixelRun& run) {
    const int size = run.size();
    run.counts.resize(static_cast<std::size_t>(size));
    int evaluated = 0;
    if (const std::optional<kernels::BatchSetup> setup = batchSetup()) {
        if (size > 0 && keepRunning()) {
            kernels::countBatch(*setup, run.x.data(), run.y.data(), run.x.size(),
                                run.counts.data());
            evaluated = size;
        }
    } else {
        for (; evaluated < size && keepRunning(); ++evaluated) {
            const auto i = static_cast<std::size_t>(evaluated);
            run.counts[i] = iteratePoint(run.x[i], run.y[i]);
        }
    }
    std::uint64_t iterations = 0;
    for (int i = 0; i < evaluated; ++i)
        iterations += static_cast<std::uint64_t>(run.counts[static_cast<std::size_t>(i)]);
    addPoints(static_cast<std::uint64_t>(evaluated));
    addIterations(iterations);
    return evaluated;
}

// Column by column, each top to bottom; the pixels go to the kernels in runs that may
// span several columns or part of one.
void ComplexFractal::scanSimple() {
    int column = 0;
    int row = 0;
    while (column < width && height > 0) {
        run_.clear();
        while (column < width && run_.size() < kRunPixels) {
            run_.add(column, row, view.planeX(column), view.planeY(row));
            if (++row == height) {
                row = 0;
                ++column;
            }
        }
        const int evaluated = evaluateRun(run_);
        for (int i = 0; i < evaluated; ++i) {
            const auto k = static_cast<std::size_t>(i);
            plotCount(run_.column[k], run_.row[k], run_.counts[k]);
        }
        if (evaluated < run_.size())
            return;
    }
}

platform::Color ComplexFractal::reliefColor(int n, int previous) const noexcept {
    if (n >= maxIterations)
        return platform::kBlack;
    const platform::Color color = colorForCount(n);
    if (previous < 0 || previous == n)
        return color;
    const int depth = reliefDepth.load(std::memory_order_relaxed);
    return previous < n ? brightenColor(color, depth) : darkenColor(color, depth);
}

// Diagonals running down and to the right, from the bottom-left corner to the
// top-right one, so that every pixel but a diagonal's first is shaded against its
// upper-left neighbour. A diagonal starts in the left column or the top row, and
// nowhere else; the runs handed to the kernels may span several diagonals or part of
// one.
void ComplexFractal::scanRelief() {
    if (width <= 0 || height <= 0)
        return;
    const int diagonals = width + height - 1;
    int d = 0;
    int column = 0;
    int row = height - 1;
    int previous = -1;
    while (d < diagonals) {
        run_.clear();
        while (d < diagonals && run_.size() < kRunPixels) {
            run_.add(column, row, view.planeX(column), view.planeY(row));
            ++column;
            ++row;
            if (row == height || column == width) {
                ++d;
                column = d < height ? 0 : d - height + 1;
                row = d < height ? height - 1 - d : 0;
            }
        }
        const int evaluated = evaluateRun(run_);
        for (int i = 0; i < evaluated; ++i) {
            const auto k = static_cast<std::size_t>(i);
            const int c = run_.column[k];
            const int r = run_.row[k];
            if (c == 0 || r == 0)
                previous = -1;
            const int n = run_.counts[k];
            plotPoint(c, r, reliefColor(n, previous));
            previous = n;
        }
        if (evaluated < run_.size())
            return;
    }
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

// The border's pixels go to the kernels as one run, in the order they are drawn.
bool ComplexFractal::traceBorder(int x, int y, int w, int h) {
    if (w <= 0 || h <= 0)
        return true;
    run_.clear();
    const auto add = [this](int column, int row) {
        run_.add(column, row, view.planeX(column), view.planeY(row));
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
    const int evaluated = evaluateRun(run_);
    bool uniform = true;
    const int m = run_.counts[0];
    for (int i = 0; i < evaluated; ++i) {
        const auto k = static_cast<std::size_t>(i);
        plotCount(run_.column[k], run_.row[k], run_.counts[k]);
        uniform &= run_.counts[k] == m;
    }
    // A stopped run starts no deeper subdivision.
    if (line || evaluated < run_.size())
        return true;
    if (!uniform)
        return false;
    fillRect(platform::Rect{x, y, x + w, y + h}, colorForCount(m));
    // The border was counted as it was computed.
    filledPixels.store(filledPixels.load(std::memory_order_relaxed) +
                           static_cast<std::uint64_t>(w - 2) * static_cast<std::uint64_t>(h - 2),
                       std::memory_order_relaxed);
    return true;
}

}  // namespace complex
