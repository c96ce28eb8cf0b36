#include "complex/complex_fractal.h"

#include <algorithm>

#include "platform/c_format.h"
#include "platform/string_table.h"

namespace complex {

namespace {

// Longest stored text accepted, in bytes of UTF-16 with the terminator.
constexpr std::uint32_t kParameterCapacity = engine::textCapacityBytes(engine::kMaxParameterUnits);
constexpr int kParameterFields = 10;
// The colouring follows the ten fields, written only when it is not bands: banded
// strings stay exactly as they always were, and readers of ten fields ignore it.
constexpr int kColouringField = 11;
constexpr int kDefaultIterations = 200;
constexpr int kDefaultReliefDepth = 100;

// A rectangle as its top-left pixel and its size.
struct Area {
    int x;
    int y;
    int w;
    int h;
};

}  // namespace

bool fixedPointResolves(const engine::ViewWindow& view) noexcept {
    return view.xscale >= kFinestFixedPointSpacing && view.yscale >= kFinestFixedPointSpacing;
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

void ComplexFractal::setColouring(int c) {
    colouring.store(c, std::memory_order_relaxed);
}

EscapeValue ComplexFractal::smoothPoint(double x, double y) {
    const int n = iteratePoint(x, y);
    return EscapeValue{n, static_cast<double>(n)};
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
    std::string text = platform::cformat(
        "%s,%s,%s,%s,%d,%lg,%lg,%d,%d,%d", formatRoundTrip(view.xmin).c_str(),
        formatRoundTrip(view.ymin).c_str(), formatRoundTrip(view.xmax).c_str(),
        formatRoundTrip(view.ymax).c_str(), maxIterations, paramReal, paramImag, useInteger ? 1 : 0,
        method.load(std::memory_order_relaxed), reliefDepth.load(std::memory_order_relaxed) & 0xFF);
    const int c = colouring.load(std::memory_order_relaxed);
    if (c != kBands)
        text += platform::cformat(",%d", c);
    return text;
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
    int iterations = 0, integer = 0, scanMethod = 0, depth = 0, colours = kBands;
    const int fields =
        platform::cscan(text, "%lf,%lf,%lf,%lf,%d,%lf,%lf,%d,%d,%d,%d", &x1, &y1, &x2, &y2,
                        &iterations, &real, &imag, &integer, &scanMethod, &depth, &colours);
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
    // A string without the field (every one stored before smooth colouring) is banded.
    setColouring(fields >= kColouringField ? colours : kBands);
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

int ComplexFractal::calculate() {
    runColouring_ =
        EscapeColouring(colorTable, maxIterations, colouring.load(std::memory_order_relaxed));
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

void ComplexFractal::scanSimple() {
    for (int column = 0; column < width; ++column) {
        const double x = view.planeX(column);
        for (int row = 0; row < height; ++row) {
            if (!keepRunning())
                return;
            plotPoint(column, row, runColouring_.plain(evaluateAt(x, row)));
        }
    }
}

// Diagonals running down and to the right, from the bottom-left corner to the
// top-right one, so that every pixel but a diagonal's first is shaded against its
// upper-left neighbour.
void ComplexFractal::scanRelief() {
    const int diagonals = width + height - 1;
    for (int d = 0; d < diagonals; ++d) {
        if (!keepRunning())
            return;
        int column = d < height ? 0 : d - height + 1;
        int row = d < height ? height - 1 - d : 0;
        EscapeValue previous{-1, -1.0};
        for (; row < height && column < width; ++row, ++column) {
            if (!keepRunning())
                return;
            const EscapeValue value = evaluate(column, row);
            plotPoint(
                column, row,
                runColouring_.relief(value, previous, reliefDepth.load(std::memory_order_relaxed)));
            previous = value;
        }
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

bool ComplexFractal::traceBorder(int x, int y, int w, int h) {
    if (w <= 0 || h <= 0)
        return true;
    if (w == 1 && h == 1) {
        tracePixel(x, y);
        return true;
    }
    if (w == 1) {
        for (int row = y; row < y + h; ++row) {
            if (!keepRunning())
                return true;
            tracePixel(x, row);
        }
        return true;
    }
    if (h == 1) {
        for (int column = x; column < x + w; ++column) {
            if (!keepRunning())
                return true;
            tracePixel(column, y);
        }
        return true;
    }

    const int m = tracePixel(x, y).count;
    const int right = x + w - 1;
    const int bottom = y + h - 1;
    bool uniform = true;
    for (int row = y + 1; row <= bottom; ++row) {  // left edge
        if (!keepRunning())
            return true;
        uniform &= tracePixel(x, row).count == m;
    }
    for (int column = x + 1; column <= right; ++column) {  // bottom edge
        if (!keepRunning())
            return true;
        uniform &= tracePixel(column, bottom).count == m;
    }
    for (int row = y + 1; row < bottom; ++row) {  // right edge without its corners
        if (!keepRunning())
            return true;
        uniform &= tracePixel(right, row).count == m;
    }
    for (int column = x + 1; column <= right; ++column) {  // top edge
        if (!keepRunning())
            return true;
        uniform &= tracePixel(column, y).count == m;
    }
    if (!uniform)
        return false;
    // Smooth colours differ within one count: only a rectangle of inside points is
    // one colour, black.
    if (runColouring_.smooth() && !runColouring_.inside(m)) {
        traceInside(x + 1, y + 1, w - 2, h - 2);
        return true;
    }
    fillRect(platform::Rect{x, y, x + w, y + h}, runColouring_.band(m));
    // The border was counted as it was computed.
    filledPixels.store(filledPixels.load(std::memory_order_relaxed) +
                           static_cast<std::uint64_t>(w - 2) * static_cast<std::uint64_t>(h - 2),
                       std::memory_order_relaxed);
    return true;
}

void ComplexFractal::traceInside(int x, int y, int w, int h) {
    for (int column = x; column < x + w; ++column) {
        for (int row = y; row < y + h; ++row) {
            if (!keepRunning())
                return;
            tracePixel(column, row);
        }
    }
}

}  // namespace complex
