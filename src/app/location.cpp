#include "app/location.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <map>
#include <vector>

#include "app/key_value_text.h"
#include "catalogue/factory.h"
#include "catalogue/fractal_types.h"
#include "complex/complex_fractal.h"
#include "orbit/orbit_fractal.h"
#include "platform/c_format.h"
#include "view/view_field.h"

namespace app {

namespace {

constexpr std::string_view kDeepFieldStart = ",deep:";
// Pictures are at most 2^24 pixels wide (about 7.2 decimal digits); beyond the digits
// that resolve a pixel, a centre may carry this many more before it is called absurd.
constexpr long kSpareDigits = 40;
// Digits any centre may carry, whatever its width: a double's and then some.
constexpr long kFewestAllowedDigits = 64;

// The keys of a location, as the text gives them.
struct Fields {
    std::map<std::string, std::string_view> values;
    std::string error;
};

std::string canonicalKey(std::string_view key) {
    std::string name = asciiLowered(key);
    return name == "center" ? "centre" : name;
}

bool isKnownKey(const std::string& key) {
    return key == "type" || key == "centre" || key == "width" || key == "iterations" ||
           key == "parameters";
}

Fields readFields(std::string_view text) {
    Fields fields;
    for (const KeyValueLine& line : keyValueLines(text)) {
        const std::string key = canonicalKey(line.key);
        const std::string where = "line " + std::to_string(line.number);
        if (!isKnownKey(key)) {
            fields.error = "The location's " + where + " does not begin with a known key " +
                           "(type, centre, width, iterations, parameters).";
            return fields;
        }
        if (fields.values.contains(key)) {
            fields.error = "The location gives its " + key + " twice.";
            return fields;
        }
        fields.values[key] = line.value;
    }
    return fields;
}

std::optional<engine::FractalType> readType(std::string_view text) {
    if (const std::optional<long long> id = parseWholeNumber(text)) {
        if (*id < 1 || *id > 1000 || catalogue::fractalTypeName(static_cast<int>(*id)).empty())
            return std::nullopt;
        return static_cast<engine::FractalType>(*id);
    }
    return catalogue::fractalTypeFromName(text);
}

// "RE IM" or "RE,IM", with any whitespace around the comma.
bool splitCentre(std::string_view text, std::string_view& real, std::string_view& imaginary) {
    std::size_t cut = text.find(',');
    std::size_t next = cut + 1;
    if (cut == std::string_view::npos) {
        cut = 0;
        while (cut < text.size() && !isLineSpace(text[cut]))
            ++cut;
        next = cut;
    }
    real = trimmedSpaces(text.substr(0, cut));
    imaginary = trimmedSpaces(text.substr(std::min(next, text.size())));
    const auto oneNumber = [](std::string_view part) {
        return !part.empty() && std::none_of(part.begin(), part.end(),
                                             [](char c) { return isLineSpace(c) || c == ','; });
    };
    return oneNumber(real) && oneNumber(imaginary);
}

// The significant digits of a decimal number's text (its mantissa, leading zeros left
// out): what a person typed, not what the number is worth.
long significantDigits(std::string_view text) {
    long digits = 0;
    bool leading = true;
    for (const char c : text) {
        if (c == 'e' || c == 'E')
            break;
        if (c < '0' || c > '9')
            continue;
        if (c == '0' && leading)
            continue;
        leading = false;
        ++digits;
    }
    return digits;
}

// floor(log10 |value|) of a nonzero finite value; 0 for zero.
long decimalExponentOf(const numeric::BigFloat& value) {
    if (value.isZero())
        return 0;
    long e = 0;
    const double m = std::fabs(value.mantissa(&e));
    return static_cast<long>(std::floor(std::log10(m) + static_cast<double>(e) * std::log10(2.0)));
}

// The digits a coordinate of this size may carry for a view this wide.
long digitsAllowed(const numeric::BigFloat& coordinate, const numeric::BigFloat& width) {
    const long needed = decimalExponentOf(coordinate) - decimalExponentOf(width) + kSpareDigits;
    return std::max(needed, kFewestAllowedDigits);
}

std::string digitsProblem(std::string_view text, const numeric::BigFloat& coordinate,
                          const numeric::BigFloat& width, const char* part) {
    const long digits = significantDigits(text);
    const long allowed = digitsAllowed(coordinate, width);
    if (digits <= allowed)
        return {};
    return std::string("The centre's ") + part + " has " + std::to_string(digits) +
           " digits, more than a view this wide could use (" + std::to_string(allowed) + ").";
}

std::string iterationsProblem(std::string_view text, engine::FractalType type,
                              std::optional<int>& iterations) {
    if (catalogue::isOrbitType(type))
        return "The orbit types have no iteration limit.";
    const std::optional<long long> n = parseWholeNumber(text);
    if (!n || *n < 1 || *n > platform::kHighestInt) {
        return "The iteration limit is not a whole number from 1 to " +
               std::to_string(platform::kHighestInt) + ".";
    }
    iterations = static_cast<int>(*n);
    return {};
}

}  // namespace

LocationResult parseLocation(std::string_view text) {
    LocationResult result;
    const auto fail = [&result](std::string message) {
        result.error = std::move(message);
        return result;
    };
    if (text.size() > kLongestLocationText)
        return fail("The location is longer than any location can be.");
    const Fields fields = readFields(text);
    if (!fields.error.empty())
        return fail(fields.error);
    const auto given = [&fields](const char* key) -> std::optional<std::string_view> {
        const auto found = fields.values.find(key);
        if (found == fields.values.end())
            return std::nullopt;
        return found->second;
    };
    const std::optional<std::string_view> typeText = given("type");
    if (!typeText)
        return fail("The location names no type.");
    Location location;
    const std::optional<engine::FractalType> type = readType(*typeText);
    if (!type)
        return fail("The location's type \"" + std::string(*typeText) + "\" is no known type.");
    location.type = *type;

    const std::optional<std::string_view> centreText = given("centre");
    const std::optional<std::string_view> widthText = given("width");
    if (!centreText || !widthText)
        return fail("The location needs both its centre and its width.");
    std::string_view real;
    std::string_view imaginary;
    if (!splitCentre(*centreText, real, imaginary))
        return fail("The location's centre is not two numbers (real and imaginary part).");
    view::ViewTextResult viewText = view::parseCentreAndWidth(real, imaginary, *widthText);
    if (!viewText.value)
        return fail(viewText.error);
    for (const std::string& problem :
         {digitsProblem(real, viewText.value->x, viewText.value->width, "real part"),
          digitsProblem(imaginary, viewText.value->y, viewText.value->width, "imaginary part")}) {
        if (!problem.empty())
            return fail(problem);
    }
    location.view = std::move(*viewText.value);

    if (const std::optional<std::string_view> limit = given("iterations")) {
        if (std::string problem = iterationsProblem(*limit, location.type, location.iterations);
            !problem.empty())
            return fail(std::move(problem));
    }
    if (const std::optional<std::string_view> parameters = given("parameters")) {
        std::string classic = classicFields(*parameters);
        if (static_cast<int>(classic.size()) >= engine::kMaxParameterUnits)
            return fail("The location's parameter string is longer than a type's can be.");
        if (const std::string damage = parameterStringDamage(location.type, classic);
            !damage.empty())
            return fail("The location's parameter string cannot be used: " + damage + ".");
        location.parameters = std::move(classic);
    }
    result.value = std::move(location);
    return result;
}

view::DeepView viewOfLocation(const Location& location, const view::DeepView& fitted) {
    const std::optional<view::ViewWindow> shallow = fitted.shallowView();
    if (!location.parameters || !shallow)
        return fitted;
    const std::vector<std::string_view> fields = view::splitFields(*location.parameters, ',');
    double edges[4] = {};
    for (std::size_t i = 0; i < 4; ++i) {
        if (i >= fields.size())
            return fitted;
        const char* end = fields[i].data() + fields[i].size();
        const auto [ptr, ec] = std::from_chars(fields[i].data(), end, edges[i]);
        if (ec != std::errc() || ptr != end)
            return fitted;
    }
    const view::ViewWindow exact = shallow->withRect(edges[0], edges[1], edges[2], edges[3]);
    const double tolerance =
        (shallow->xmax - shallow->xmin) / static_cast<double>(std::max(shallow->width, 1)) * 1e-3;
    const auto near = [tolerance](double a, double b) { return std::fabs(a - b) <= tolerance; };
    const bool same = near(exact.xmin + exact.xmax, shallow->xmin + shallow->xmax) &&
                      near(exact.ymin + exact.ymax, shallow->ymin + shallow->ymax) &&
                      near(exact.xmax - exact.xmin, shallow->xmax - shallow->xmin) &&
                      near(exact.ymax - exact.ymin, shallow->ymax - shallow->ymin);
    const view::DeepView candidate = view::DeepView::fromViewWindow(exact);
    return same && !candidate.isDeep() ? candidate : fitted;
}

std::string formatLocation(engine::FractalType type, const view::DeepView& view,
                           std::optional<int> iterations, const std::string& parameters) {
    std::string text = "type " + catalogue::fractalTypeName(type) + "\n";
    text += "centre " + view::centreXText(view) + " " + view::centreYText(view) + "\n";
    text += "width " + view::widthText(view) + "\n";
    if (iterations)
        text += "iterations " + std::to_string(*iterations) + "\n";
    if (!parameters.empty())
        text += "parameters " + classicFields(parameters) + "\n";
    return text;
}

std::string locationOf(const engine::Fractal& fractal) {
    const std::string parameters = classicFields(fractal.parameterString());
    const std::optional<int> iterations =
        catalogue::isComplexType(fractal.type) ? iterationsOf(parameters) : std::nullopt;
    return formatLocation(fractal.type, fractal.preciseView(), iterations, parameters);
}

std::string classicFields(std::string_view parameters) {
    const std::size_t deep = parameters.find(kDeepFieldStart);
    return std::string(trimmedSpaces(parameters.substr(0, deep)));
}

std::optional<int> iterationsOf(std::string_view parameters) {
    const std::string classic = classicFields(parameters);
    const std::vector<std::string_view> fields = view::splitFields(classic, ',');
    if (fields.size() < 5)
        return std::nullopt;
    const std::optional<long long> n = parseWholeNumber(fields[4]);
    if (!n || *n < 1 || *n > platform::kHighestInt)
        return std::nullopt;
    return static_cast<int>(*n);
}

std::string parametersShowing(std::string_view parameters, const view::DeepView& view,
                              std::optional<int> iterations) {
    const std::string classic = classicFields(parameters);
    std::vector<std::string> fields;
    for (const std::string_view field : view::splitFields(classic, ','))
        fields.emplace_back(field);
    const view::ViewWindow rect = view.nearestShallowView();
    using platform::formatRoundTrip;
    const std::string edges[] = {formatRoundTrip(rect.xmin), formatRoundTrip(rect.ymin),
                                 formatRoundTrip(rect.xmax), formatRoundTrip(rect.ymax)};
    for (std::size_t i = 0; i < 4 && i < fields.size(); ++i)
        fields[i] = edges[i];
    if (iterations && fields.size() > 4)
        fields[4] = std::to_string(*iterations);
    std::string text;
    for (std::size_t i = 0; i < fields.size(); ++i)
        text += (i == 0 ? "" : ",") + fields[i];
    if (view.isDeep())
        text += view::deepViewField(view);
    return text;
}

std::string parameterStringDamage(engine::FractalType type, const std::string& parameters) {
    if (catalogue::isOrbitType(type))
        return orbit::readParameterString(parameters).damage;
    return complex::readParameterString(parameters).damage;
}

}  // namespace app
