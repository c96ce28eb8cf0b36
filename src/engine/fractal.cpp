#include "engine/fractal.h"

#include <cstdlib>
#include <new>

#include "platform/clock.h"
#include "platform/documents_folder.h"

namespace engine {

namespace {

// The longest pause between two frames of an animated zoom: its 15 frames and the
// 0.6 s that mark an opened picture's place stay under 2 s, however long a
// hand-made "AnimZoomSleep" is.
constexpr int kMaxAnimZoomSleep = 90;

std::string defaultImagePath() {
    return platform::documentsFolder() + "/Corvane";
}

std::uint32_t randomSeedFromClock() {
    const platform::LocalTime now = platform::localTime();
    return static_cast<std::uint32_t>((now.minute * 10 + now.second) * 1000 + now.millisecond);
}

}  // namespace

Fractal::Fractal(const platform::Services& services)
    : settings(services.settings),
      window(services.window),
      windowDC(services.window.surface()),
      sound(services.sound),
      clientRect(services.window.clientRect()),
      width(clientRect.right),
      height(clientRect.bottom),
      view_(true) {
    opened.view = view::ViewWindow(true);
    view_.setScreenSize(width, height);
    view_.centreOnOrigin();
    opened.view.setScreenSize(width, height);
    opened.view.centreOnOrigin();

    readOptions();

    folders.images = defaultImagePath();
    std::string storedPath;
    std::uint32_t length = textCapacityBytes(kMaxPathUnits);
    if (settings.readString("ImagePath", storedPath, length))
        folders.images = storedPath;

    randomState_ = randomSeedFromClock();

    allocateSurface(picture);
    allocateSurface(animation.scratch);

    loadPalette();
    runInputs_ = std::make_shared<const RunInputs>(RunInputs{view_, colorTable_, nullptr});
}

void Fractal::allocateSurface(platform::Bitmap& surface) {
    // A surface that cannot be had stays incomplete: drawing into it is clipped away
    // and the object still works (without animation when animation.scratch is missing).
    try {
        surface.resize(width, height);
    } catch (const std::bad_alloc&) {
        surface = platform::Bitmap();
    }
}

Fractal::~Fractal() {
    // Virtual calls made here reach this class's own behaviour: the options are
    // stored, the family's parameters are not.
    stopCalculation();
    haltWorker();
}

void Fractal::readOptions() {
    std::uint32_t value = 0;
    if (settings.readDword("Alarm", value))
        options_.alarm = value != 0;
    if (settings.readDword("AnimZoom", value))
        options_.animZoom = value != 0;
    if (settings.readDword("AllCores", value))
        options_.allCores = value != 0;
    if (settings.readDword("AutoIterations", value))
        options_.autoIterations = value != 0;
    if (settings.readDword("ExactCounts", value))
        options_.exactCounts = value != 0;
    // A hand-made or damaged size outside the range keeps the default.
    if (settings.readDword("ReferenceMemoryMiB", value) && Options::referenceMemoryAllowed(value))
        options_.referenceMemoryMiB = static_cast<int>(value);
    if (settings.readDword("ZoomSpeedPercent", value) && Options::zoomSpeedAllowed(value))
        options_.zoomSpeedPercent = static_cast<int>(value);
    if (settings.readDword("AnimZoomSleep", value)) {
        // The frame pause is unsigned milliseconds; a negative hand-made value means none.
        const auto signedValue = static_cast<std::int32_t>(value);
        options_.animZoomSleep = signedValue < 0                   ? 0
                                 : signedValue > kMaxAnimZoomSleep ? kMaxAnimZoomSleep
                                                                   : signedValue;
    }
    if (settings.readDword("SlideshowDelay", value)) {
        const auto signedValue = static_cast<std::int32_t>(value);
        if (signedValue > 0)
            options_.slideshowDelay = signedValue;
    }
}

Options Fractal::options() const noexcept {
    Options o;
    o.alarm = options_.alarm.load();
    o.animZoom = options_.animZoom.load();
    o.animZoomSleep = options_.animZoomSleep.load();
    o.slideshowDelay = options_.slideshowDelay.load();
    o.allCores = options_.allCores.load();
    o.randomColors = options_.randomColors.load();
    o.referenceMemoryMiB = options_.referenceMemoryMiB.load();
    o.autoIterations = options_.autoIterations.load();
    o.exactCounts = options_.exactCounts.load();
    o.zoomSpeedPercent = options_.zoomSpeedPercent.load();
    return o;
}

void Fractal::setOptions(const Options& o) noexcept {
    options_.alarm = o.alarm;
    options_.animZoom = o.animZoom;
    options_.animZoomSleep = std::max(o.animZoomSleep, 0);
    options_.slideshowDelay =
        o.slideshowDelay > 0 ? o.slideshowDelay : options_.slideshowDelay.load();
    options_.allCores = o.allCores;
    options_.randomColors = o.randomColors;
    if (Options::referenceMemoryAllowed(o.referenceMemoryMiB))
        options_.referenceMemoryMiB = o.referenceMemoryMiB;
    options_.autoIterations = o.autoIterations;
    options_.exactCounts = o.exactCounts;
    if (Options::zoomSpeedAllowed(o.zoomSpeedPercent))
        options_.zoomSpeedPercent = o.zoomSpeedPercent;
}

void Fractal::writeOptions() {
    settings.writeDword("Alarm", options_.alarm ? 1u : 0u);
    settings.writeDword("AnimZoom", options_.animZoom ? 1u : 0u);
    settings.writeDword("AllCores", options_.allCores ? 1u : 0u);
    settings.writeDword("AutoIterations", options_.autoIterations ? 1u : 0u);
    settings.writeDword("ExactCounts", options_.exactCounts ? 1u : 0u);
    settings.writeDword("ReferenceMemoryMiB",
                        static_cast<std::uint32_t>(options_.referenceMemoryMiB.load()));
    settings.writeDword("ZoomSpeedPercent",
                        static_cast<std::uint32_t>(options_.zoomSpeedPercent.load()));
    settings.writeDword("SlideshowDelay",
                        static_cast<std::uint32_t>(options_.slideshowDelay.load()));
}

bool Fractal::loadParameters() {
    return true;
}
bool Fractal::saveParameters() {
    return true;
}
void Fractal::setDefaultParameters() {}
void Fractal::prepareCalculation() {}

void Fractal::prepareRun() {
    runInputs_ = std::make_shared<const RunInputs>(RunInputs{view_, colorTable_, deepView_});
    prepareCalculation();
}

void Fractal::restartWith(const std::function<void()>& change) {
    stopCalculation();
    change();
    startCalculation();
}
void Fractal::setDefaultView() {}

void Fractal::startFromSettings(const std::optional<view::ViewState>& carried) {
    {
        // Loading and the defaults each stop and start; none of those starts may run,
        // so the one run begins only after the picture is white.
        TakingOverScope hold(*this);
        if (!loadParameters()) {
            setDefaultParameters();
            setDefaultView();
        }
        if (carried)
            continueView(*carried);
        clearPictureBase();
    }
    saveParameters();
    startCalculation();
}

void Fractal::continueView(const view::ViewState& carried) {
    history = carried.history.resizedTo(width, height);
    const std::optional<view::ViewWindow> mapped = carried.view.resizedTo(width, height);
    if (!mapped)
        return;
    view_ = *mapped;
    deepView_ = view::resizedDeepView(carried.deep, width, height);
    if (deepView_)
        view_ = deepView_->nearestShallowView();
    carriedFrom_ = carried;
    carriedTo_ = view::ViewState{view_, history, deepView_};
}

view::ViewState Fractal::viewToCarry() const {
    view::ViewState now{view_, history, deepView_};
    if (carriedFrom_ && carriedTo_ && view::ViewState::same(now, *carriedTo_))
        return *carriedFrom_;
    return now;
}

void Fractal::takeOverPicture(Fractal& previous) {
    if (&previous == this || previous.opened.type != type)
        return;
    settings.writeString(typeName, previous.opened.params);
    {
        TakingOverScope hold(*this);
        loadParameters();
    }
    saveParameters();
    picture.copyFrom(previous.picture, 0, 0, width, height, 0, 0);
}

int Fractal::nextRandom() noexcept {
    randomState_ = randomState_ * 214013u + 2531011u;
    return static_cast<int>((randomState_ >> 16) & 0x7FFFu);
}

view::ViewWindow Fractal::defaultView() {
    view::ViewWindow probe = view_;
    defaultProbe = &probe;
    setDefaultView();
    defaultProbe = nullptr;
    return probe;
}

void Fractal::pushView() {
    history.push(view_, deepView_);
}

void Fractal::popView() {
    history.pop(view_, &deepView_);
}

view::DeepView Fractal::preciseView() const {
    return deepView_ ? *deepView_ : view::DeepView::fromViewWindow(view_);
}

void Fractal::setPreciseView(const view::DeepView& view) {
    if (const std::optional<view::ViewWindow> shallow = view.shallowView()) {
        setView(*shallow);
        return;
    }
    deepView_ = std::make_shared<const view::DeepView>(view);
    view_ = deepView_->nearestShallowView();
}

void Fractal::showDefaultRect(double x1, double y1, double x2, double y2) {
    if (defaultProbe != nullptr) {
        defaultProbe->setRect(x1, y1, x2, y2);
        return;
    }
    restartWith([&] {
        pushView();
        setViewRect(x1, y1, x2, y2);
    });
}

void Fractal::showDefaultCentredOnOrigin() {
    if (defaultProbe != nullptr) {
        defaultProbe->centreOnOrigin();
        return;
    }
    restartWith([&] {
        pushView();
        view_.centreOnOrigin();
        deepView_.reset();
    });
}

}  // namespace engine
