#include "app/status_line.h"
#include "catalogue/fractal_types.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <string_view>

#include "complex/complex_fractal.h"
#include "platform/c_format.h"

namespace app {

namespace {

constexpr const char* kSeparator = " | ";
constexpr int kMostDigits = 17;

// Enough decimals that neighbouring pixels read differently, and one more.
int decimalsFor(double pixelSize) {
    if (!(pixelSize > 0.0) || !std::isfinite(pixelSize))
        return 4;
    const double digits = std::ceil(-std::log10(pixelSize)) + 1.0;
    return static_cast<int>(std::clamp(digits, 1.0, static_cast<double>(kMostDigits)));
}

std::string coordinate(double value, double pixelSize) {
    return platform::cformat("%.*f", decimalsFor(pixelSize), value);
}

// 1234567 as "1,234,567".
std::string grouped(std::uint64_t n) {
    const std::string digits = std::to_string(n);
    std::string text;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            text.push_back(',');
        text.push_back(digits[i]);
    }
    return text;
}

// 12300000 as "12.3 M".
std::string rate(double perSecond) {
    if (perSecond >= 1e9)
        return platform::cformat("%.1f G ", perSecond / 1e9);
    if (perSecond >= 1e6)
        return platform::cformat("%.1f M ", perSecond / 1e6);
    if (perSecond >= 1e3)
        return platform::cformat("%.1f k ", perSecond / 1e3);
    return platform::cformat("%.0f ", perSecond);
}

// log10 of |value|; value not zero and finite.
double log10Of(const numeric::BigFloat& value) {
    long exponent = 0;
    const double mantissa = value.mantissa(&exponent);
    return std::log10(std::fabs(mantissa)) + static_cast<double>(exponent) * std::log10(2.0);
}

std::string magnification(double m) {
    if (!(m > 0.0) || !std::isfinite(m))
        return "x ?";
    if (m >= 1e6 || m < 1e-3)
        return platform::cformat("x %.3g", m);
    return platform::cformat("x %.4g", m);
}

// Pieces appended one by one: gcc 12 at -O3 warns falsely (-Wrestrict, GCC bug
// 105651) about a literal added to a temporary string.
std::string joined(std::initializer_list<std::string_view> pieces) {
    std::string text;
    for (const std::string_view piece : pieces)
        text.append(piece);
    return text;
}

std::string progress(const StatusFacts& facts) {
    const double perSecond =
        facts.seconds > 0.0
            ? static_cast<double>(facts.orbit ? facts.points : facts.iterations) / facts.seconds
            : 0.0;
    const char* unit = facts.orbit ? "points/s" : "iterations/s";
    const std::string points = joined({grouped(facts.points), " points"});
    const int percent = static_cast<int>(std::clamp(facts.shareDone, 0.0, 1.0) * 100.0);
    switch (facts.run) {
        case StatusFacts::Run::Done:
            return joined({platform::cformat("Done in %.2f s", facts.seconds), kSeparator,
                           rate(perSecond), unit});
        case StatusFacts::Run::Stopped:
            return facts.orbit ? joined({"Stopped", kSeparator, points})
                               : platform::cformat("Stopped at %d %%", percent);
        case StatusFacts::Run::Running:
            break;
    }
    const std::string done = facts.orbit ? points : platform::cformat("%d %%", percent);
    return joined({done, kSeparator, rate(perSecond), unit});
}

}  // namespace

std::string statusText(const StatusFacts& facts) {
    std::string text = joined({facts.typeName, kSeparator});
    if (facts.method.empty()) {
        text.append(facts.arithmetic);
    } else {
        text.append(joined({facts.method, ", ", facts.arithmetic}));
    }
    text.append(kSeparator);
    text.append(facts.deepMagnification.empty() ? magnification(facts.magnification)
                                                : facts.deepMagnification);
    if (!facts.deepPointerX.empty() && !facts.deepPointerY.empty()) {
        text.append(joined({kSeparator, facts.deepPointerX, ", ", facts.deepPointerY}));
    } else if (facts.pointerX && facts.pointerY) {
        text.append(joined({kSeparator, coordinate(*facts.pointerX, facts.pixelWidth), ", ",
                            coordinate(*facts.pointerY, facts.pixelHeight)}));
    }
    return joined({text, kSeparator, progress(facts)});
}

std::string deepMagnificationText(const view::DeepView& view, double defaultWidth) {
    if (!(defaultWidth > 0.0) || !std::isfinite(defaultWidth) || view.spanX().sign() <= 0 ||
        !view.spanX().isFinite())
        return "x ?";
    const double logM = std::log10(defaultWidth) - log10Of(view.spanX());
    // Within double's range the shallow views' format applies as it is.
    if (logM < 300.0)
        return magnification(std::pow(10.0, logM));
    // Three significant digits, as "%.3g" writes them, of a number beyond double.
    double exponent = std::floor(logM);
    double lead = std::pow(10.0, logM - exponent);
    if (std::round(lead * 100.0) >= 1000.0) {
        lead /= 10.0;
        exponent += 1.0;
    }
    return platform::cformat("x %.3ge+%.0f", lead, exponent);
}

std::string deepCoordinateText(const numeric::BigFloat& value, const numeric::BigFloat& spacing) {
    if (!value.isFinite() || !spacing.isFinite() || spacing.sign() <= 0)
        return "?";
    // Enough decimals that neighbouring pixels read differently, and one more.
    // (A hair below the logarithm, so that a spacing of exactly 1e-20, which binary
    // holds only nearly, counts as 20 digits and not 21.)
    const double wanted = std::ceil(-log10Of(spacing) - 1e-9) + 1.0;
    const long decimals = static_cast<long>(std::clamp(wanted, 1.0, 1e7));
    return value.toFixed(decimals);
}

StatusFacts statusFacts(engine::Fractal& fractal, std::optional<platform::Point> pointer,
                        std::uint32_t nowTick, bool stoppedByUser) {
    StatusFacts facts;
    const view::ViewWindow& view = fractal.view();
    facts.typeName = fractal.typeName;
    facts.orbit = catalogue::isOrbitType(fractal.type);
    facts.arithmetic = "double";
    if (const auto* complexFractal = dynamic_cast<const complex::ComplexFractal*>(&fractal)) {
        static const char* const kMethods[] = {"Simple", "Relief", "Tesseral"};
        const int method = complexFractal->method.load(std::memory_order_relaxed);
        facts.method = kMethods[method >= 0 && method <= 2 ? method : 0];
        // Smooth colouring always computes in double precision.
        if (complexFractal->colouring.load(std::memory_order_relaxed) == complex::kSmooth) {
            facts.method += ", smooth";
        } else if (complexFractal->integerArithmetic()) {
            facts.arithmetic = "fixed point";
        }
        const double pixels = static_cast<double>(fractal.width) * fractal.height;
        const double done =
            static_cast<double>(fractal.statistics().pointCount) +
            static_cast<double>(complexFractal->filledPixels.load(std::memory_order_relaxed));
        facts.shareDone = pixels > 0.0 ? done / pixels : 0.0;
    }
    const double defaultWidth = fractal.defaultView().xrange;
    facts.magnification = defaultWidth / view.xrange;
    if (const view::DeepView* deepView = fractal.deepView()) {
        // Computed by perturbation: neither the integer algorithm nor plain doubles.
        facts.arithmetic = "perturbation";
        facts.deepMagnification = deepMagnificationText(*deepView, defaultWidth);
        if (pointer) {
            facts.deepPointerX =
                deepCoordinateText(deepView->planeX(pointer->x), deepView->spacingX());
            facts.deepPointerY =
                deepCoordinateText(deepView->planeY(pointer->y), deepView->spacingY());
        }
    }
    if (pointer) {
        facts.pointerX = view.planeX(pointer->x);
        facts.pointerY = view.planeY(pointer->y);
        facts.pixelWidth = view.xscale;
        facts.pixelHeight = view.yscale;
    }
    const engine::RunStatistics statistics = fractal.statistics();
    facts.points = statistics.pointCount;
    facts.iterations = statistics.iterationCount;
    // Unsigned arithmetic: the tick count may wrap during a run.
    const std::uint32_t end = statistics.endTick != 0 ? statistics.endTick : nowTick;
    facts.seconds = static_cast<double>(end - statistics.startTick) / 1000.0;
    if (stoppedByUser) {
        facts.run = StatusFacts::Run::Stopped;
    } else if (!statistics.running && fractal.runState.completed.load()) {
        facts.run = StatusFacts::Run::Done;
        facts.shareDone = 1.0;
    }
    return facts;
}

}  // namespace app
