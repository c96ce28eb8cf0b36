#include "complex/complex_fractal.h"

#include <algorithm>

#include "complex/area_queue.h"
#include "platform/c_format.h"

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

// Below this many pixels a tesseral rectangle is subdivided by the thread that
// traced it: handing it to another thread would cost more than it saves.
constexpr long kSmallestSharedArea = 64 * 64;

}  // namespace

bool fixedPointResolves(const view::ViewWindow& view) noexcept {
    return view.xscale >= kFinestFixedPointSpacing && view.yscale >= kFinestFixedPointSpacing;
}

ComplexFractal::ComplexFractal(const platform::Services& services) : engine::Fractal(services) {
    typeName = "Complex";
}

ComplexFractal::ComplexFractal(const platform::Services& services,
                               const engine::TypeDescription& description, kernels::Formula formula)
    : ComplexFractal(services) {
    identifyAs(description);
    formula_ = formula;
}

void ComplexFractal::identifyAs(const engine::TypeDescription& description) {
    description_ = &description;
    type = description.id;
    opened.type = description.id;
    // The capacity counts the terminator of the stored name.
    const std::size_t limit =
        kTypeNameCapacity > 0 ? static_cast<std::size_t>(kTypeNameCapacity - 1) : 0;
    typeName = std::string(description.name.substr(0, limit));
}

void ComplexFractal::setDefaultParameters() {
    if (description_ != nullptr)
        applyDefaultParameters(description_->defaultParameters[0],
                               description_->defaultParameters[1]);
}

void ComplexFractal::setDefaultView() {
    if (description_ != nullptr) {
        const engine::DefaultView& d = description_->defaultView;
        applyDefaultView(d.x1, d.y1, d.x2, d.y2);
    }
}

std::optional<kernels::BatchSetup> ComplexFractal::batchSetup(const EscapeParameters& p) const {
    if (!formula_)
        return std::nullopt;
    return kernels::BatchSetup{*formula_, p.maxIterations, p.integer, p.paramReal, p.paramImag};
}

void ComplexFractal::applyDefaultParameters(double real, double imag) {
    setParameters(kDefaultIterations, real, imag, true);
    // Written after the restart: the first pixels of the new run may still use the
    // previous depth.
    reliefDepth.store(kDefaultReliefDepth, std::memory_order_relaxed);
}

void ComplexFractal::applyDefaultView(double x1, double y1, double x2, double y2) {
    showDefaultRect(x1, y1, x2, y2);
}

void ComplexFractal::setMethod(int m) {
    method.store(m, std::memory_order_relaxed);
}

void ComplexFractal::setColouring(int c) {
    colouring.store(c, std::memory_order_relaxed);
}

EscapeValue ComplexFractal::smoothPoint(const EscapeParameters& p, double x, double y) {
    const int n = iteratePoint(p, x, y);
    return EscapeValue{n, static_cast<double>(n)};
}

void ComplexFractal::setMaxIterations(int n) {
    if (n >= 1)
        maxIterations_ = n;
}

void ComplexFractal::setParamReal(double value) {
    paramReal_ = value;
}

void ComplexFractal::setParamImag(double value) {
    paramImag_ = value;
}

void ComplexFractal::setParameters(int iterations, double real, double imag, bool integer) {
    restartWith([&] {
        setMaxIterations(iterations);
        setParamReal(real);
        setParamImag(imag);
        useInteger_ = integer;
    });
}

EscapeParameters ComplexFractal::nextRunParameters() const noexcept {
    return EscapeParameters{maxIterations_, paramReal_, paramImag_,
                            useInteger_ && fixedPointResolves(view())};
}

// The view's edges as the shortest texts that read back to the same doubles (strings
// stored with six decimals still read); the other fields as they always were.
std::string ComplexFractal::parameterString() const {
    using platform::formatRoundTrip;
    std::string text = platform::cformat(
        "%s,%s,%s,%s,%d,%lg,%lg,%d,%d,%d", formatRoundTrip(view().xmin).c_str(),
        formatRoundTrip(view().ymin).c_str(), formatRoundTrip(view().xmax).c_str(),
        formatRoundTrip(view().ymax).c_str(), maxIterations_, paramReal_, paramImag_,
        useInteger_ ? 1 : 0, method.load(std::memory_order_relaxed),
        reliefDepth.load(std::memory_order_relaxed) & 0xFF);
    const int c = colouring.load(std::memory_order_relaxed);
    if (c != kBands)
        text += platform::cformat(",%d", c);
    // A deep view: the classic fields hold its rounded rectangle, which readers of
    // the classic fields open; this field holds the view itself.
    if (const view::DeepView* deepView = this->deepView())
        text += view::deepViewField(*deepView);
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

    // The view's own size: an export's object computes a picture of another size.
    const std::optional<view::DeepView> deepView =
        view::readDeepViewField(text, view().width, view().height);
    restartWith([&] {
        setViewRect(x1, y1, x2, y2);
        if (deepView)
            setPreciseView(*deepView);
        setMaxIterations(iterations);
        setParamReal(real);
        setParamImag(imag);
        useInteger_ = integer != 0;
        setMethod(scanMethod);
        reliefDepth.store(depth & 0xFF, std::memory_order_relaxed);
        // A string without the field (every one stored before smooth colouring) is banded.
        setColouring(fields >= kColouringField ? colours : kBands);
    });
    return true;
}

void ComplexFractal::prepareCalculation() {
    filledPixels.store(0, std::memory_order_relaxed);
    const view::DeepViewPtr& deepView = runInputs().deep;
    // The integer algorithm ends long before deep views begin.
    runParameters_ =
        EscapeParameters{maxIterations_, paramReal_, paramImag_,
                         useInteger_ && !deepView && fixedPointResolves(runInputs().view)};
    deepScene_.reset();
    deepRefusal_.clear();
    if (deepView && !formula_) {
        deepRefusal_ = "not an escape-time type";
    } else if (deepView) {
        SceneSetup setup{EscapeFormula{*formula_, paramReal_, paramImag_, maxIterations_},
                         deepView->originX(),
                         deepView->originY(),
                         numeric::ExtFloat::fromBig(deepView->spacingX()),
                         numeric::ExtFloat::fromBig(deepView->spacingY()),
                         deepView->width(),
                         deepView->height()};
        setup.smooth = colouring.load(std::memory_order_relaxed) == kSmooth;
        deepScene_ = PerturbationScene::create(setup, &deepRefusal_);
    }
}

bool ComplexFractal::prepareDeepScene(const std::function<bool()>& stop) {
    if (!deepScene_)
        return false;
    const complex::PerturbationScene::Prepared prepared = deepScene_->prepare(stop);
    if (prepared == complex::PerturbationScene::Prepared::kTooLarge)
        deepRefusal_ = "its reference orbits need more memory than allowed";
    return prepared == complex::PerturbationScene::Prepared::kReady;
}

std::string ComplexFractal::titleNote() const {
    if (runsDeepView()) {
        if (!deepScene_)
            return "not computed: " + deepRefusal_;
        return "computed by perturbation";
    }
    const bool doubleForced = useInteger_ && !runParameters_.integer;
    return doubleForced ? "computed in double precision" : std::string();
}

// The old picture stays until the scan overwrites it pixel by pixel.
void ComplexFractal::clearPicture() {}

void ComplexFractal::prepareColouring() {
    runColouring_ = EscapeColouring(runInputs().colors, runParameters_.maxIterations,
                                    colouring.load(std::memory_order_relaxed));
    // The batch kernels give counts only: smooth colours need the escaping value too;
    // deep views are computed by perturbation.
    runBatch_ =
        runColouring_.smooth() || runsDeepView() ? std::nullopt : batchSetup(runParameters_);
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

int ComplexFractal::calculate() {
    prepareColouring();
    if (runsDeepView() && !prepareDeepScene([this] { return !keepRunning(); }))
        return 0;
    switch (method.load(std::memory_order_relaxed)) {
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
    return 0;
}

// Columns from the left, each taken by the next thread that is free.
void ComplexFractal::scanSimple() {
    std::atomic<int> nextColumn{0};
    runOnTeam([this, &nextColumn] {
        for (int column = nextColumn++; column < width; column = nextColumn++) {
            if (!scanColumn(column))
                return;
        }
    });
}

bool ComplexFractal::scanColumn(int column) {
    if (batched())
        return scanColumnBatched(column);
    Tally tally(*this);
    const double x = runInputs().view.planeX(column);
    for (int row = 0; row < height; ++row) {
        if (!keepRunning())
            return false;
        const EscapeValue value =
            deepScene_ ? evaluateDeep(column, row, tally) : evaluateAt(x, row, tally);
        plotPoint(column, row, runColouring_.plain(value));
    }
    return true;
}

// Diagonals runState.running down and to the right, from the bottom-left corner to the
// top-right one, so that every pixel but a diagonal's first is shaded against its
// upper-left neighbour. A diagonal depends on nothing outside itself: each is taken
// by the next thread that is free.
void ComplexFractal::scanRelief() {
    const int diagonals = width + height - 1;
    std::atomic<int> nextDiagonal{0};
    runOnTeam([this, &nextDiagonal, diagonals] {
        for (int d = nextDiagonal++; d < diagonals; d = nextDiagonal++) {
            if (!scanDiagonal(d))
                return;
        }
    });
}

bool ComplexFractal::scanDiagonal(int diagonal) {
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
        plotPoint(
            column, row,
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
    // Smooth colours differ within one count: only a rectangle of inside points is
    // one colour, black.
    if (runColouring_.smooth() && !runColouring_.inside(m)) {
        traceInside(x + 1, y + 1, w - 2, h - 2, tally);
        return true;
    }
    fillRect(platform::Rect{x, y, x + w, y + h}, runColouring_.band(m));
    // The border was counted as it was computed.
    filledPixels.fetch_add(static_cast<std::uint64_t>(w - 2) * static_cast<std::uint64_t>(h - 2),
                           std::memory_order_relaxed);
    return true;
}

// The same scans with the pixels handed to the batch kernels in runs: the same
// pixels, counts and colours, and a stop seen between runs.
bool ComplexFractal::scanColumnBatched(int column) {
    thread_local PixelRun run;
    Tally tally(*this);
    const double x = runInputs().view.planeX(column);
    for (int first = 0; first < height; first += kRunPixels) {
        run.clear();
        for (int row = first; row < std::min(height, first + kRunPixels); ++row)
            run.add(column, row, x, runInputs().view.planeY(row));
        if (!evaluateRun(run, tally))
            return false;
        for (std::size_t k = 0; k < run.counts.size(); ++k)
            plotPoint(column, run.row[k], runColouring_.band(run.counts[k]));
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
        plotPoint(run.column[k], run.row[k], runColouring_.relief(value, previous, depth));
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
        plotPoint(run.column[k], run.row[k], runColouring_.band(run.counts[k]));
        uniform &= run.counts[k] == m;
    }
    if (line)
        return true;
    if (!uniform)
        return false;
    return fillUniformBorder(x, y, w, h, m, tally);
}

void ComplexFractal::traceInside(int x, int y, int w, int h, Tally& tally) {
    for (int column = x; column < x + w; ++column) {
        for (int row = y; row < y + h; ++row) {
            if (!keepRunning())
                return;
            tracePixel(column, row, tally);
        }
    }
}

}  // namespace complex
