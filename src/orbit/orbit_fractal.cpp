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

StoredParameters readParameterString(const std::string& text) {
    StoredParameters p;
    // The two counts are checked before the scan would wrap them.
    constexpr long long kHigh = platform::kHighestUnsigned;
    if (const auto field = platform::integerFieldOutOfRange(text, {{7, 0, kHigh}, {8, 0, kHigh}})) {
        p.damage = field->index == 7 ? "its field 8 (the points per colour) is out of range"
                                     : "its field 9 (the random colour switch) is out of range";
        return p;
    }
    const int fields = platform::cscan(text, kParameterReadFormat, &p.x1, &p.y1, &p.x2, &p.y2, &p.a,
                                       &p.b, &p.c, &p.points, &p.random);
    if (fields < kParameterFieldCount) {
        p.damage = "only " + std::to_string(fields < 0 ? 0 : fields) + " of its " +
                   std::to_string(kParameterFieldCount) + " fields can be read";
    }
    return p;
}

bool OrbitFractal::loadParameters() {
    std::string text;
    std::uint32_t length = kParameterCapacityBytes;
    if (!settings.readString(typeName, text, length))
        return false;

    const StoredParameters p = readParameterString(text);
    if (!p.damage.empty())
        return true;

    // Nothing here reaches a run under way; the setParameters below starts the next.
    // A rectangle no view can show (an edge not finite, no extent) is damaged: the
    // type's own view takes its place.
    if (!setViewRect(p.x1, p.y1, p.x2, p.y2))
        setView(defaultView());
    setPointsPerColor(static_cast<int>(p.points));
    setOption(&engine::Options::randomColors, p.random != 0);
    setParameters(p.a, p.b, p.c);
    return true;
}

void OrbitFractal::showCentredOnOrigin() {
    showDefaultCentredOnOrigin();
}

void OrbitFractal::showRect(double x1, double y1, double x2, double y2) {
    showDefaultRect(x1, y1, x2, y2);
}

}  // namespace orbit
