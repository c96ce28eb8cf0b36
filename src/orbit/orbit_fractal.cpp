#include "orbit/orbit_fractal.h"

#include "engine/type_description.h"
#include "platform/c_format.h"
#include "platform/text.h"
#include "view/view_window.h"

namespace orbit {

OrbitFractal::OrbitFractal(const platform::Services& services, double a, double b, double c)
    : engine::Fractal(services) {
    typeName = "Orbit";
    orbitX = 0.0;
    orbitY = 0.0;
    resetColors();
    storeParameters(a, b, c);
}

void OrbitFractal::identifyAs(const engine::TypeDescription& description) {
    description_ = &description;
    type = description.id;
    opened.type = description.id;
    // The buffer holds the terminator too.
    typeName =
        platform::truncateUtf16(description.name, static_cast<std::size_t>(kTypeNameCapacity - 1));
}

void OrbitFractal::setDefaultParameters() {
    if (description_ == nullptr)
        return;
    const auto& [a, b, c] = description_->defaultParameters;
    setParameters(a, b, c);
}

void OrbitFractal::setDefaultView() {
    if (description_ == nullptr)
        return;
    const engine::DefaultView& d = description_->defaultView;
    if (d.centredOnOrigin)
        showCentredOnOrigin();
    else
        showRect(d.x1, d.y1, d.x2, d.y2);
}

void OrbitFractal::resetColors() noexcept {
    pointsInColor = 0;
    colorIndex = 0;
    currentColor = runInputs().colors.colorAt(0);
}

void OrbitFractal::prepareCalculation() {
    takeRunParameters();
    orbitX = 0.0;
    orbitY = 0.0;
    resetColors();
}

int OrbitFractal::calculate() {
    // A copy on the worker's stack spares the loop reloading it after every call of
    // the map.
    const view::ViewWindow mapping = runInputs().view;
    while (keepRunning()) {
        iterate();
        addIterations(1);
        // A point without a pixel (not finite, or beyond the 32-bit range) still
        // counts as computed; the orbit goes on from it.
        int column = 0;
        int row = 0;
        if (view::planeToPixel(mapping, orbitX, orbitY, column, row)) {
            plotPoint(column, row, currentColor);
        }
        addPoints(1);
        countPointInColor();
    }
    return 0;
}

void OrbitFractal::changeColor() noexcept {
    if (options().randomColors) {
        currentColor = randomColor();
    } else {
        currentColor = runInputs().colors.colorAt(colorIndex);
    }
    const int count = runInputs().colors.colorCount();
    colorIndex = (count > 0 && colorIndex < count - 1) ? colorIndex + 1 : 0;
}

platform::Color OrbitFractal::randomColor() noexcept {
    // The draws happen in this order: red, green, blue.
    const unsigned red = randomComponent();
    const unsigned green = randomComponent();
    const unsigned blue = randomComponent();
    return platform::rgb(red, green, blue);
}

unsigned OrbitFractal::randomComponent() noexcept {
    const double draw = nextRandom();  // 0..32767, so the product is 0..255
    return static_cast<unsigned>((draw * 255.0) * (1.0 / 32767.0)) & 0xFFu;
}

void OrbitFractal::setParameters(double a, double b, double c) {
    restartWith([&] { storeParameters(a, b, c); });
}

std::string OrbitFractal::parameterString() const {
    using platform::formatRoundTrip;
    return platform::cformat(
        kParameterWriteFormat, formatRoundTrip(view().xmin).c_str(),
        formatRoundTrip(view().ymin).c_str(), formatRoundTrip(view().xmax).c_str(),
        formatRoundTrip(view().ymax).c_str(), paramA_, paramB_, paramC_,
        static_cast<unsigned>(getPointsPerColor()), options().randomColors ? 1u : 0u);
}

bool OrbitFractal::saveParameters() {
    return settings.writeString(typeName, parameterString());
}

bool OrbitFractal::loadParameters() {
    std::string text;
    std::uint32_t length = kParameterCapacityBytes;
    if (!settings.readString(typeName, text, length))
        return false;

    double x1 = 0.0;
    double y1 = 0.0;
    double x2 = 0.0;
    double y2 = 0.0;
    double a = 0.0;
    double b = 0.0;
    double c = 0.0;
    unsigned points = 0;
    unsigned random = 0;
    const int fields = platform::cscan(text, kParameterReadFormat, &x1, &y1, &x2, &y2, &a, &b, &c,
                                       &points, &random);
    if (fields < kParameterFieldCount)
        return true;

    // Nothing here reaches a run under way; the setParameters below starts the next.
    setViewRect(x1, y1, x2, y2);
    setPointsPerColor(static_cast<int>(points));
    setOption(&engine::Options::randomColors, random != 0);
    setParameters(a, b, c);
    return true;
}

void OrbitFractal::showCentredOnOrigin() {
    showDefaultCentredOnOrigin();
}

void OrbitFractal::showRect(double x1, double y1, double x2, double y2) {
    showDefaultRect(x1, y1, x2, y2);
}

}  // namespace orbit
