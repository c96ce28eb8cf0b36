#include "view/view_field.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "view/deep_view.h"
#include "view/view_numbers.h"
#include "view/view_text.h"

namespace view {

namespace {

constexpr std::string_view kDeepFieldTag = "deep:";
// Fields before the one a deep view may take: the classic ten.
constexpr std::size_t kClassicFields = 10;
// Text longer than this is no precision a view can have (nine digits are plenty).
constexpr std::size_t kLongestPrecisionText = 9;

std::optional<long> parsePrecision(std::string_view text) {
    if (text.empty() || text.size() > kLongestPrecisionText)
        return std::nullopt;
    long value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    if (value < numeric::BigFloat::kLeastPrecision || value > numeric::BigFloat::kMostPrecision)
        return std::nullopt;
    return value;
}

// The shortest decimal text that reads back to exactly value at its precision.
std::string exactText(const numeric::BigFloat& value) {
    const long precision = value.precision();
    const auto readsBack = [&](const std::string& text) {
        const std::optional<numeric::BigFloat> back = numeric::BigFloat::parse(text, precision);
        return back && *back == value;
    };
    // Enough digits for any number of this precision.
    const long most =
        2 + static_cast<long>(std::ceil(static_cast<double>(precision) * std::log10(2.0)));
    // Galloping up from a double's digits first: a centre typed with few digits is
    // found without formatting the tens of thousands a deep precision allows.
    long low = 1;
    long high = std::min(17L, most);
    while (high < most && !readsBack(formatDigits(value, high))) {
        low = high + 1;
        high = std::min(2 * high, most);
    }
    while (low < high) {
        const long middle = low + (high - low) / 2;
        if (readsBack(formatDigits(value, middle)))
            high = middle;
        else
            low = middle + 1;
    }
    std::string text = formatDigits(value, low);
    return readsBack(text) ? text : formatDigits(value, most);
}

}  // namespace

std::string deepViewField(const DeepView& view) {
    if (!view.isDeep())
        return {};
    // deep:<bits>:<centre x>:<centre y>:<width>:<height>; each number reads back
    // exactly at its precision (the extents at 64 bits).
    std::string field = ",";
    field.append(kDeepFieldTag);
    field.append(std::to_string(view.precision()));
    for (const numeric::BigFloat* number : {&view.centreX(), &view.centreY()}) {
        field.push_back(':');
        field.append(exactText(*number));
    }
    for (const numeric::BigFloat* number : {&view.spanX(), &view.spanY()}) {
        field.push_back(':');
        field.append(exactText(withPrecision(*number, kExtentPrecision)));
    }
    return field;
}

std::optional<DeepView> readDeepViewField(std::string_view parameters, int width, int height) {
    const std::vector<std::string_view> fields = splitFields(parameters, ',');
    for (std::size_t i = kClassicFields; i < fields.size(); ++i) {
        const std::string_view field = fields[i];
        if (field.substr(0, kDeepFieldTag.size()) != kDeepFieldTag)
            continue;
        const std::vector<std::string_view> parts =
            splitFields(field.substr(kDeepFieldTag.size()), ':');
        if (parts.size() != 5)
            return std::nullopt;
        const std::optional<long> precision = parsePrecision(parts[0]);
        if (!precision)
            return std::nullopt;
        const auto x = numeric::BigFloat::parse(parts[1], *precision);
        const auto y = numeric::BigFloat::parse(parts[2], *precision);
        const auto spanX = numeric::BigFloat::parse(parts[3], kExtentPrecision);
        const auto spanY = numeric::BigFloat::parse(parts[4], kExtentPrecision);
        // The limits the View dialog and the command line keep: a field beyond them
        // is damaged.
        if (!x || !y || !spanX || !spanY || widthProblem(*spanX) != nullptr ||
            widthProblem(*spanY) != nullptr || centreProblem(*x, *y) != nullptr)
            return std::nullopt;
        return DeepView::fromCentre(*x, *y, *spanX, *spanY, width, height);
    }
    return std::nullopt;
}

std::vector<std::string_view> splitFields(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    while (true) {
        const std::size_t end = text.find(separator, start);
        if (end == std::string_view::npos) {
            parts.push_back(text.substr(start));
            return parts;
        }
        parts.push_back(text.substr(start, end - start));
        start = end + 1;
    }
}

}  // namespace view
