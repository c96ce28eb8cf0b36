#include "app/status_line.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <string_view>
#include <vector>

#include "app/dialog_fields.h"
#include "catalogue/fractal_types.h"
#include "complex/complex_fractal.h"
#include "platform/c_format.h"

namespace app {

namespace {

constexpr const char* kSeparator = " | ";
// Double holds no more significant digits than this.
constexpr long kMostDoubleDigits = 17;
// A deep view's coordinates: far beyond the deepest view the zooms go to.
constexpr long kMostDeepDigits = 10'000'000;
// A coordinate shortened to fit the bar keeps at least these digits.
constexpr std::size_t kFewestCoordinateDigits = 4;
constexpr const char* kEllipsis = "\u2026";

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

// The fields that tell about the run; none for a picture nothing computes.
std::vector<std::string> runFields(const StatusFacts& facts) {
    if (!facts.refusal.empty())
        return {joined({"Not computed: ", facts.refusal})};
    if (facts.run == StatusFacts::Run::Idle) {
        if (facts.slideshow)
            return {"Slideshow"};
        return {};
    }
    const double perSecond =
        facts.seconds > 0.0
            ? static_cast<double>(facts.orbit ? facts.points : facts.iterations) / facts.seconds
            : 0.0;
    const std::string rateText =
        joined({rate(perSecond), facts.orbit ? "points/s" : "iterations/s"});
    const std::string points = joined({formatGrouped(facts.points), " points"});
    const int percent = static_cast<int>(std::clamp(facts.shareDone, 0.0, 1.0) * 100.0);
    switch (facts.run) {
        case StatusFacts::Run::Done:
            return {platform::cformat("Done in %.2f s", facts.seconds), rateText};
        case StatusFacts::Run::Stopped:
            if (facts.orbit)
                return {"Stopped", points};
            return {platform::cformat("Stopped at %d %%", percent)};
        default:
            break;
    }
    return {facts.orbit ? points : platform::cformat("%d %%", percent), rateText};
}

// The fields that give way when the bar is narrow, in the order they do.
enum GivingWay { kMethodField, kCoordinateFields, kMagnificationField, kTypeField, kFieldsGiving };

// The line with coordinates of at most digits significant digits, without the first
// `dropped` fields of GivingWay.
std::string lineText(const StatusFacts& facts, std::size_t digits, int dropped) {
    const auto shown = [dropped](GivingWay field) { return field >= dropped; };
    std::vector<std::string> fields;
    if (shown(kTypeField))
        fields.push_back(facts.typeName);
    if (shown(kMethodField) && !facts.arithmetic.empty())
        fields.push_back(facts.method.empty() ? facts.arithmetic
                                              : joined({facts.method, ", ", facts.arithmetic}));
    if (shown(kMethodField) && facts.iterationLimit > 0)
        fields.push_back(
            joined({"limit ", formatGrouped(static_cast<std::uint64_t>(facts.iterationLimit))}));
    if (shown(kMagnificationField) && !facts.slideshow)
        fields.push_back(facts.deepMagnification.empty() ? magnification(facts.magnification)
                                                         : facts.deepMagnification);
    if (shown(kCoordinateFields) && facts.pointerX && facts.pointerY)
        fields.push_back(joined({scientificText(*facts.pointerX, digits), ", ",
                                 scientificText(*facts.pointerY, digits)}));
    for (std::string& field : runFields(facts))
        fields.push_back(std::move(field));
    std::string text;
    for (const std::string& field : fields) {
        if (!text.empty())
            text.append(kSeparator);
        text.append(field);
    }
    return text;
}

std::size_t coordinateLength(const StatusFacts& facts) {
    if (!facts.pointerX || !facts.pointerY)
        return 0;
    return std::max(facts.pointerX->digits.size(), facts.pointerY->digits.size());
}

ScientificNumber significantDigits(const numeric::BigFloat& value, const numeric::BigFloat& spacing,
                                   long mostDigits) {
    if (!value.isFinite() || !spacing.isFinite() || spacing.sign() <= 0)
        return ScientificNumber{false, "?", 0};
    if (value.isZero())
        return {};
    // The last digit one place below the first that tells neighbouring pixels apart.
    // (A hair below the logarithm, so that a spacing of exactly 1e-20, which binary
    // holds only nearly, counts as 20 decimals and not 21.)
    const double decimals = std::ceil(-log10Of(spacing) - 1e-9) + 1.0;
    const double wanted = std::floor(log10Of(value)) + decimals + 1.0;
    if (wanted < 1.0)
        return {};  // zero within a pixel
    const auto count = static_cast<long>(std::min(wanted, static_cast<double>(mostDigits)));
    // mpfr gives two digits at least.
    numeric::BigFloat::Decimal decimal = value.toDecimal(std::max(count, 2L));
    ScientificNumber number;
    number.negative = !decimal.digits.empty() && decimal.digits.front() == '-';
    number.digits = decimal.digits.substr(number.negative ? 1 : 0);
    number.digits.resize(std::min(number.digits.size(), static_cast<std::size_t>(count)));
    number.exponent = decimal.exponent - 1;
    return number;
}

const engine::TypeDescription* descriptionOf(engine::FractalType type) {
    return catalogue::findFractalType(type);
}

}  // namespace

std::string statusText(const StatusFacts& facts) {
    return lineText(facts, std::string::npos, 0);
}

std::string statusText(const StatusFacts& facts, int width, const TextWidth& measure) {
    const auto fits = [&](const std::string& text) { return measure(text) <= width; };
    std::string text = statusText(facts);
    if (fits(text))
        return text;
    for (int dropped = 0; dropped <= kFieldsGiving; ++dropped) {
        text = lineText(facts, kFewestCoordinateDigits, dropped);
        if (!fits(text))
            continue;
        if (dropped > kCoordinateFields)
            return text;
        // The most digits that fit, found by halving: a deep coordinate has thousands.
        std::size_t low = kFewestCoordinateDigits;
        std::size_t high = std::max(coordinateLength(facts), low) + 1;
        while (high - low > 1) {
            const std::size_t middle = low + (high - low) / 2;
            (fits(lineText(facts, middle, dropped)) ? low : high) = middle;
        }
        return lineText(facts, low, dropped);
    }
    return text;
}

std::string scientificText(const ScientificNumber& number, std::size_t mostDigits) {
    if (number.digits.empty())
        return "0";
    if (number.digits == "?")
        return "?";
    std::string text = number.negative ? "-" : "";
    text.push_back(number.digits.front());
    const std::size_t kept = std::min(number.digits.size(), std::max<std::size_t>(mostDigits, 1));
    if (kept > 1)
        text.append(".").append(number.digits, 1, kept - 1);
    if (kept < number.digits.size())
        text.append(kEllipsis);
    return text + platform::cformat("e%+ld", number.exponent);
}

ScientificNumber coordinateDigits(const numeric::BigFloat& value,
                                  const numeric::BigFloat& spacing) {
    return significantDigits(value, spacing, kMostDeepDigits);
}

ScientificNumber coordinateDigits(double value, double spacing) {
    if (!std::isfinite(value) || !std::isfinite(spacing))
        return ScientificNumber{false, "?", 0};
    return significantDigits(numeric::BigFloat(numeric::BigFloat::kLeastPrecision, value),
                             numeric::BigFloat(numeric::BigFloat::kLeastPrecision, spacing),
                             kMostDoubleDigits);
}

std::string deepMagnificationText(const view::DeepView& view, double referenceSpacing) {
    const numeric::BigFloat spacing = view.spacingX();
    if (!(referenceSpacing > 0.0) || !std::isfinite(referenceSpacing) || spacing.sign() <= 0 ||
        !spacing.isFinite())
        return "x ?";
    const double logM = std::log10(referenceSpacing) - log10Of(spacing);
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

double referenceSpacing(engine::FractalType type) {
    const engine::TypeDescription* description = descriptionOf(type);
    if (description == nullptr)
        return std::nan("");
    const engine::DefaultView& d = description->defaultView;
    if (d.centredOnOrigin)
        return 1.0;  // one plane unit per pixel on any picture
    view::ViewWindow reference(true);
    reference.setScreenSize(kReferencePictureWidth, kReferencePictureHeight);
    reference.setRect(d.x1, d.y1, d.x2, d.y2);
    return reference.xscale;
}

namespace {

void addMethod(StatusFacts& facts, engine::Fractal& fractal) {
    const auto* complexFractal = dynamic_cast<const complex::ComplexFractal*>(&fractal);
    if (complexFractal == nullptr)
        return;
    static const char* const kMethods[] = {"Simple", "Relief", "Tesseral"};
    const int method = complexFractal->method.load(std::memory_order_relaxed);
    facts.method = kMethods[method >= 0 && method <= 2 ? method : 0];
    // Smooth colouring always computes in double precision.
    if (complexFractal->colouring.load(std::memory_order_relaxed) == complex::kSmooth) {
        facts.method += ", smooth";
    } else if (complexFractal->integerArithmetic()) {
        facts.arithmetic = "fixed point";
    }
    if (fractal.options().autoIterations || complexFractal->runsDeepView())
        facts.iterationLimit = complexFractal->runLimit();
    facts.refusal = complexFractal->deepRefusal();
    const double pixels = static_cast<double>(fractal.width) * fractal.height;
    const double done =
        static_cast<double>(fractal.statistics().pointCount) +
        static_cast<double>(complexFractal->filledPixels.load(std::memory_order_relaxed));
    facts.shareDone = pixels > 0.0 ? done / pixels : 0.0;
}

void addView(StatusFacts& facts, const engine::Fractal& fractal,
             std::optional<platform::Point> pointer) {
    const view::ViewWindow& view = fractal.view();
    const double reference = referenceSpacing(fractal.type);
    facts.magnification = reference / view.xscale;
    if (const view::DeepView* deepView = fractal.deepView()) {
        // Computed by perturbation: neither the integer algorithm nor plain doubles.
        facts.arithmetic = "perturbation";
        facts.deepMagnification = deepMagnificationText(*deepView, reference);
        if (pointer) {
            facts.pointerX = coordinateDigits(deepView->planeX(pointer->x), deepView->spacingX());
            facts.pointerY = coordinateDigits(deepView->planeY(pointer->y), deepView->spacingY());
        }
    } else if (pointer) {
        facts.pointerX = coordinateDigits(view.planeX(pointer->x), view.xscale);
        facts.pointerY = coordinateDigits(view.planeY(pointer->y), view.yscale);
    }
}

}  // namespace

StatusFacts statusFacts(engine::Fractal& fractal, std::optional<platform::Point> pointer,
                        std::uint32_t nowTick, bool stoppedByUser) {
    StatusFacts facts;
    if (fractal.slideshow.timer != 0) {
        // The pictures shown are the files', of any type; nothing is computed.
        const engine::TypeDescription* shown = descriptionOf(fractal.opened.type);
        facts.typeName = shown != nullptr ? std::string(shown->name) : fractal.typeName;
        facts.slideshow = true;
        facts.run = StatusFacts::Run::Idle;
        return facts;
    }
    facts.typeName = fractal.typeName;
    facts.orbit = catalogue::isOrbitType(fractal.type);
    facts.arithmetic = "double";
    addMethod(facts, fractal);
    addView(facts, fractal, pointer);
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
    } else if (!statistics.running && !fractal.isFinished()) {
        facts.run = StatusFacts::Run::Idle;  // an opened picture: no run has started
    }
    return facts;
}

}  // namespace app
