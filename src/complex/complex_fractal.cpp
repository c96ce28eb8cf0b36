#include "complex/complex_fractal.h"

#include <algorithm>
#include <chrono>
#include <cmath>

#include "complex/automatic_density.h"
#include "complex/distance_estimate.h"
#include "complex/reference_budget.h"
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

const char* integerFieldName(int index) {
    switch (index) {
        case 4:
            return "the iteration limit";
        case 7:
            return "the integer switch";
        case 8:
            return "the scan method";
        case 9:
            return "the relief depth";
        default:
            return "the colouring";
    }
}

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

bool ComplexFractal::carriesDistance() const noexcept {
    return formula_ == kernels::Formula::kMandelbrot || formula_ == kernels::Formula::kJulia;
}

EscapeValue ComplexFractal::distancePoint(const EscapeParameters& p, double x, double y) {
    if (formula_ == kernels::Formula::kMandelbrot) {
        const kernels::EscapeDistance d =
            kernels::quadraticDistance(p.paramReal, p.paramImag, x, y, true, p.maxIterations);
        return EscapeValue{d.value.count, d.value.continuous, d.distance};
    }
    if (formula_ == kernels::Formula::kJulia) {
        const kernels::EscapeDistance d =
            kernels::quadraticDistance(x, y, p.paramReal, p.paramImag, false, p.maxIterations);
        return EscapeValue{d.value.count, d.value.continuous, d.distance};
    }
    return smoothPoint(p, x, y);
}

double ComplexFractal::inPixels(double distance) const noexcept {
    const double spacing = runInputs().view.xscale * samplesPerPixel_;
    const double pixels = distance / spacing;
    return spacing > 0.0 && std::isfinite(pixels) ? pixels : 0.0;
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

// The view's edges and the two parameters as the shortest texts that read back to the
// same doubles (strings stored with six decimals or six significant digits still read:
// a deep Julia view needs every digit of its parameter); the other fields as they
// always were.
std::string ComplexFractal::parameterString() const {
    using platform::formatRoundTrip;
    std::string text = platform::cformat(
        "%s,%s,%s,%s,%d,%s,%s,%d,%d,%d", formatRoundTrip(view().xmin).c_str(),
        formatRoundTrip(view().ymin).c_str(), formatRoundTrip(view().xmax).c_str(),
        formatRoundTrip(view().ymax).c_str(), maxIterations_, formatRoundTrip(paramReal_).c_str(),
        formatRoundTrip(paramImag_).c_str(), useInteger_ ? 1 : 0,
        method.load(std::memory_order_relaxed), reliefDepth.load(std::memory_order_relaxed) & 0xFF);
    const int c = colouring.load(std::memory_order_relaxed);
    // The colouring field comes first whenever the controls are written, so that a
    // reader of eleven fields never takes the controls for it.
    const std::string controls = colorControlsField(colorControls_);
    if (c != kBands || !controls.empty())
        text += platform::cformat(",%d", c);
    text += controls;
    // A deep view: the classic fields hold its rounded rectangle, which readers of
    // the classic fields open; this field holds the view itself.
    if (const view::DeepView* deepView = this->deepView())
        text += view::deepViewField(*deepView);
    return text;
}

bool ComplexFractal::saveParameters() {
    return settings.writeString(typeName, parameterString());
}

StoredParameters readParameterString(const std::string& text) {
    StoredParameters p;
    // The integer fields are checked before the scan would wrap them.
    constexpr long long kLow = platform::kLowestInt;
    constexpr long long kHigh = platform::kHighestInt;
    if (const auto field = platform::integerFieldOutOfRange(text, {{4, kLow, kHigh},
                                                                   {7, kLow, kHigh},
                                                                   {8, kLow, kHigh},
                                                                   {9, kLow, kHigh},
                                                                   {10, kLow, kHigh}})) {
        p.damage = "its field " + std::to_string(field->index + 1) + " (" +
                   integerFieldName(field->index) + ") is out of range";
        return p;
    }
    p.fields = platform::cscan(text, "%lf,%lf,%lf,%lf,%d,%lf,%lf,%d,%d,%d,%d", &p.x1, &p.y1, &p.x2,
                               &p.y2, &p.iterations, &p.real, &p.imag, &p.integer, &p.method,
                               &p.depth, &p.colouring);
    if (p.fields < kParameterFields) {
        p.damage = "only " + std::to_string(std::max(p.fields, 0)) + " of its " +
                   std::to_string(kParameterFields) + " fields can be read";
    }
    // A string without the field (every one stored before smooth colouring) is banded.
    if (p.fields < kColouringField)
        p.colouring = kBands;
    p.controls = readColorControlsField(text);
    return p;
}

bool ComplexFractal::loadParameters() {
    std::string text;
    std::uint32_t length = kParameterCapacity;
    if (!settings.readString(typeName, text, length))
        return false;

    const StoredParameters p = readParameterString(text);
    // A damaged string keeps what the object already holds, and the caller does not
    // fall back to the defaults either.
    if (!p.damage.empty())
        return true;

    // The view's own size: an export's object computes a picture of another size.
    const std::optional<view::DeepView> deepView =
        view::readDeepViewField(text, view().width, view().height);
    restartWith([&] {
        // A rectangle no view can show (an edge not finite, no extent) is damaged:
        // the type's own view takes its place.
        if (!setViewRect(p.x1, p.y1, p.x2, p.y2))
            setView(defaultView());
        if (deepView)
            setPreciseView(*deepView);
        setMaxIterations(p.iterations);
        setParamReal(p.real);
        setParamImag(p.imag);
        useInteger_ = p.integer != 0;
        setMethod(p.method);
        reliefDepth.store(p.depth & 0xFF, std::memory_order_relaxed);
        setColouring(p.colouring);
        setColorControls(p.controls);
    });
    return true;
}

void ComplexFractal::prepareCalculation() {
    filledPixels.store(0, std::memory_order_relaxed);
    runControls_ = colorControls_;
    // The automatic limit takes the place of the user's, so that the parameter string,
    // the dialog and a saved picture all tell the limit the picture was computed with.
    if (options().autoIterations && formula_)
        maxIterations_ = automaticIterations();
    else
        automaticLimit_.reset();
    const view::DeepViewPtr& deepView = runInputs().deep;
    // The integer algorithm ends long before deep views begin; distances are computed
    // in double, whose words hold the derivative.
    const bool byDistance = runControls_.distance && carriesDistance();
    runParameters_ = EscapeParameters{
        maxIterations_, paramReal_, paramImag_,
        useInteger_ && !deepView && !byDistance && fixedPointResolves(runInputs().view)};
    // The reference of the last deep picture serves the next while it lies in its view.
    std::shared_ptr<const complex::SharedReference> previous =
        deepScene_ ? deepScene_->sharedReference() : nullptr;
    deepScene_.reset();
    deepFigures_.prepared.store(false);
    deepFigures_.pixelsFrom.store(0);
    deepStop_ = nullptr;
    deepRefusal_.clear();
    referenceTooLarge_.store(false, std::memory_order_relaxed);
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
        setup.mostReferenceBytes = static_cast<std::size_t>(referenceMemoryBytes());
        setup.exactCounts = options().exactCounts;
        deepScene_ = PerturbationScene::create(setup, &deepRefusal_);
        if (deepScene_)
            offerDeepReference(std::move(previous));
    }
}

void ComplexFractal::offerDeepReference(std::shared_ptr<const complex::SharedReference> previous) {
    if (!givenReference_) {
        deepScene_->offerReference(std::move(previous));
        return;
    }
    if (const std::string why = deepScene_->refusalOf(*givenReference_); !why.empty()) {
        deepRefusal_ = "the reference given cannot serve it: " + why;
        deepScene_.reset();
        return;
    }
    deepScene_->offerReference(givenReference_);
}

std::optional<complex::ReferenceRequest> ComplexFractal::deepReferenceRequest() const {
    if (!deepScene_)
        return std::nullopt;
    return deepScene_->ownReferenceRequest();
}

bool ComplexFractal::prepareDeepScene(const std::function<bool()>& stop) {
    if (!deepScene_)
        return false;
    deepStop_ = stop;
    const complex::PerturbationScene::Prepared prepared = deepScene_->prepare(stop);
    if (prepared == complex::PerturbationScene::Prepared::kTooLarge)
        referenceTooLarge_.store(true, std::memory_order_relaxed);
    runState.referenceBytes.store(deepScene_->referenceBytes(), std::memory_order_relaxed);
    if (prepared != complex::PerturbationScene::Prepared::kReady)
        return false;
    recordPreparation();
    return true;
}

namespace {

std::int64_t steadyNanoseconds() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

void ComplexFractal::recordPreparation() {
    deepFigures_.pixelsTo.store(0);
    deepFigures_.pixelsFrom.store(steadyNanoseconds());
    deepFigures_.prepared.store(true);
}

void ComplexFractal::finishDeepPixels() {
    if (deepFigures_.pixelsFrom.load() != 0)
        deepFigures_.pixelsTo.store(steadyNanoseconds());
}

std::optional<engine::DeepReport> ComplexFractal::deepReport() const {
    if (!deepScene_ || !deepFigures_.prepared.load())
        return std::nullopt;
    const complex::PreparationTimes& times = deepScene_->preparationTimes();
    engine::DeepReport report;
    report.referenceMs = times.reference * 1000.0;
    report.tableMs = times.table * 1000.0;
    report.referenceReused = deepScene_->referenceReused();
    report.referenceBytes = deepScene_->referenceBytes();
    report.tableBytes = deepScene_->tableBytes();
    const std::int64_t from = deepFigures_.pixelsFrom.load();
    std::int64_t to = deepFigures_.pixelsTo.load();
    if (to == 0)
        to = steadyNanoseconds();
    report.pixelsMs = static_cast<double>(std::max<std::int64_t>(to - from, 0)) / 1e6;
    report.interiorPixels = deepScene_->interiorPixels();
    report.directPixels = deepScene_->directPixels();
    report.exactPixels = deepScene_->exactPixels();
    report.exactCounts = deepScene_->setup().exactCounts;
    return report;
}

std::string ComplexFractal::deepRefusal() const {
    if (!runsDeepView())
        return {};
    if (!deepScene_)
        return deepRefusal_;
    if (referenceTooLarge_.load(std::memory_order_relaxed))
        return "its reference orbits need more memory than can be had";
    return {};
}

std::uint64_t ComplexFractal::referenceMemoryBytes() const noexcept {
    return bytesOfMiB(options().referenceMemoryMiB);
}

std::string ComplexFractal::nextLimitRefusal() const {
    // The automatic limit keeps within the memory by itself.
    if (deepView() == nullptr || !formula_ || options().autoIterations)
        return {};
    const ReferenceNeed need =
        referenceNeed(EscapeFormula{*formula_, paramReal_, paramImag_, maxIterations_});
    if (need.bytes <= referenceMemoryBytes())
        return {};
    return "the reference orbits of " + std::to_string(maxIterations_) + " iterations need " +
           std::to_string(need.bytes) + " bytes (" + std::to_string(need.orbits) +
           (need.orbits == 1 ? " orbit of " : " orbits of ") + std::to_string(need.statesEach) +
           " states of " + std::to_string(need.stateBytes) + " bytes), more than the " +
           std::to_string(options().referenceMemoryMiB) + " MiB allowed";
}

double ComplexFractal::log2Magnification() const {
    if (description_ == nullptr)
        return 0.0;
    const engine::DefaultView& d = description_->defaultView;
    view::ViewWindow reference(true);
    reference.setScreenSize(view().width, view().height);
    if (!reference.setRect(d.x1, d.y1, d.x2, d.y2) || !(reference.xscale > 0.0))
        return 0.0;
    if (const view::DeepView* deep = deepView()) {
        long exponent = 0;
        const double mantissa = deep->spacingX().mantissa(&exponent);
        if (!(mantissa > 0.0))
            return 0.0;
        return std::log2(reference.xscale) - (std::log2(mantissa) + static_cast<double>(exponent));
    }
    if (!(view().xscale > 0.0))
        return 0.0;
    return std::log2(reference.xscale) - std::log2(view().xscale);
}

int ComplexFractal::automaticIterations() {
    const int limit = borderLimit_.exchange(0, std::memory_order_relaxed);
    if (limit > 0)
        automaticLimit_.observe({limit, borderEscape_.load(std::memory_order_relaxed)});
    const int most =
        mostIterationsWithin(*formula_, paramReal_, paramImag_, referenceMemoryBytes());
    return automaticLimit_.limitFor(log2Magnification(), kDefaultIterations, std::max(most, 1));
}

int ComplexFractal::countForBorder(int column, int row) {
    if (deepScene_)
        return deepScene_->countAt(column, runInputs().deep->height() - 2 - row, deepStop_).count;
    return iteratePoint(runParameters_, runInputs().view.planeX(column),
                        runInputs().view.planeY(row));
}

void ComplexFractal::observeBorder() {
    // A few pixels a side tell enough, at a small part of the picture's cost.
    constexpr int kSamplesPerSide = 16;
    const int limit = runParameters_.maxIterations;
    int highest = -1;
    for (int k = 0; k < kSamplesPerSide; ++k) {
        const int column =
            static_cast<int>(static_cast<long long>(width - 1) * k / (kSamplesPerSide - 1));
        const int row =
            static_cast<int>(static_cast<long long>(height - 1) * k / (kSamplesPerSide - 1));
        const int samples[4] = {countForBorder(column, 0), countForBorder(column, height - 1),
                                countForBorder(0, row), countForBorder(width - 1, row)};
        if (!keepRunning())
            return;
        for (const int n : samples) {
            if (n < limit)
                highest = std::max(highest, n);
        }
    }
    borderEscape_.store(highest, std::memory_order_relaxed);
    borderLimit_.store(limit, std::memory_order_relaxed);
}

std::string ComplexFractal::titleNote() const {
    if (runsDeepView()) {
        if (const std::string refusal = deepRefusal(); !refusal.empty())
            return "not computed: " + refusal;
        return "computed by perturbation";
    }
    const bool doubleForced = useInteger_ && !runParameters_.integer;
    return doubleForced ? "computed in double precision" : std::string();
}

// The old picture stays until the scan overwrites it pixel by pixel.
void ComplexFractal::clearPicture() {}

void ComplexFractal::prepareColouring() {
    ColorControls controls = runControls_;
    // An automatic density is found once the run can compute its sample.
    if (controls.automaticDensity)
        controls.density = 1.0;
    // The types without a known derivative keep the colours of counts.
    controls.distance = controls.distance && carriesDistance();
    runColouring_ = EscapeColouring(runInputs().colors, runParameters_.maxIterations,
                                    colouring.load(std::memory_order_relaxed), controls);
    // The batch kernels give counts only: smooth and distance colours need the escaping
    // value too; deep views are computed by perturbation.
    runBatch_ = runColouring_.variesWithinCount() || runsDeepView() ? std::nullopt
                                                                    : batchSetup(runParameters_);
}

}  // namespace complex

namespace complex {

bool ComplexFractal::resolveAutomaticDensity(const std::atomic<bool>* cancel) {
    ColorControls controls = runColouring_.controls();
    // Distances spread over the palette by octaves whatever the counts: the counts say
    // nothing about the density they need.
    if (!runControls_.automaticDensity || controls.distance) {
        lastDensity_.store(controls.density, std::memory_order_relaxed);
        return true;
    }
    std::vector<PixelSpot> spots;
    for (const SampleSpot spot :
         densitySampleSpots(runInputs().view.width, runInputs().view.height))
        spots.push_back(PixelSpot{spot.column, spot.row});
    std::vector<EscapeValue> values(spots.size());
    {
        Tally tally(*this);
        if (!valuesAt(spots, values.data(), tally, cancel))
            return false;
    }
    controls.density = densityOfSample(values, runColouring_.maxIterations(),
                                       runColouring_.smooth(), controls.transfer);
    controls.automaticDensity = true;
    lastDensity_.store(controls.density, std::memory_order_relaxed);
    runColouring_ = EscapeColouring(runInputs().colors, runParameters_.maxIterations,
                                    colouring.load(std::memory_order_relaxed), controls);
    return true;
}

std::optional<EscapeColouring> ComplexFractal::keptColouring() const {
    if (isRunning() || !keptComplete_.load(std::memory_order_acquire) || kept_.empty())
        return std::nullopt;
    const bool smooth = colouring.load(std::memory_order_relaxed) == kSmooth;
    if (smooth != kept_.smooth() || kept_.width() != width || kept_.height() != height)
        return std::nullopt;
    ColorControls controls = colorControls_;
    // Distances are kept only where they are computed: a picture coloured by its
    // counts is computed again to be coloured by distance, and the other way round
    // (its counts came from the double kernel, not the fixed-point one).
    controls.distance = controls.distance && keptDistanceCapable_;
    if (controls.distance != kept_.hasDistances())
        return std::nullopt;
    if (controls.automaticDensity) {
        const std::optional<double> density =
            controls.distance ? 1.0 : keptAutomaticDensity(controls.transfer);
        if (!density)
            return std::nullopt;
        controls.density = *density;
    }
    return EscapeColouring(colorTable(), keptLimit_, smooth ? kSmooth : kBands, controls);
}

std::optional<double> ComplexFractal::keptAutomaticDensity(Transfer transfer) const {
    if (keptAutomatic_ && transfer == keptDensityTransfer_)
        return lastDensity();
    if (keptMethod_ == kTesseral)
        return std::nullopt;
    std::vector<EscapeValue> values;
    for (const SampleSpot spot : densitySampleSpots(kept_.width(), kept_.height()))
        values.push_back(kept_.at(spot.column, spot.row));
    return densityOfSample(values, keptLimit_, kept_.smooth(), transfer);
}

std::vector<platform::Color> ComplexFractal::liveFramePixels() const {
    const std::optional<EscapeColouring> colouring = keptColouring();
    if (keptMethod_ != kRelief || !colouring)
        return picture.snapshot();
    std::vector<platform::Color> pixels(static_cast<std::size_t>(width) *
                                        static_cast<std::size_t>(height));
    colorKeptRows(kept_, *colouring, false, 0, 0, height, pixels.data());
    return pixels;
}

bool ComplexFractal::recolor() {
    const std::optional<EscapeColouring> colouring = keptColouring();
    if (!colouring)
        return false;
    if (colorControls_.automaticDensity) {
        lastDensity_.store(colouring->controls().density, std::memory_order_relaxed);
        keptAutomatic_ = true;
        keptDensityTransfer_ = colorControls_.transfer;
    }
    const bool relief = keptMethod_ == kRelief;
    const int depth = reliefDepth.load(std::memory_order_relaxed);
    std::vector<platform::Color> row(static_cast<std::size_t>(width));
    for (int y = 0; y < height; ++y) {
        colorKeptRows(kept_, *colouring, relief, depth, y, y + 1, row.data());
        for (int x = 0; x < width; ++x) {
            windowDC.setPixel(x, y, row[static_cast<std::size_t>(x)]);
            picture.setPixel(x, y, row[static_cast<std::size_t>(x)]);
        }
    }
    window.markDirty();
    return true;
}

}  // namespace complex
