#include "complex/color_controls.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "platform/c_format.h"

namespace complex {

namespace {

constexpr std::string_view kFieldTag = "color:";
constexpr std::string_view kAutomatic = "auto";
constexpr std::string_view kDistance = "distance";

std::vector<std::string_view> split(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    while (true) {
        const std::size_t end = text.find(separator, start);
        parts.push_back(text.substr(start, end == std::string_view::npos ? end : end - start));
        if (end == std::string_view::npos)
            return parts;
        start = end + 1;
    }
}

}  // namespace

std::string densityRefusal(double density) {
    if (!std::isfinite(density) || density < kFinestDensity || density > kCoarsestDensity)
        return "the density must be a number from " + platform::formatRoundTrip(kFinestDensity) +
               " to " + platform::formatRoundTrip(kCoarsestDensity);
    return {};
}

std::string offsetRefusal(double offset) {
    if (!std::isfinite(offset) || std::fabs(offset) > kLargestOffset)
        return "the offset must be a number from -" + platform::formatRoundTrip(kLargestOffset) +
               " to " + platform::formatRoundTrip(kLargestOffset);
    return {};
}

std::string_view transferWord(Transfer transfer) noexcept {
    switch (transfer) {
        case Transfer::kSquareRoot:
            return "sqrt";
        case Transfer::kLogarithm:
            return "log";
        default:
            return "linear";
    }
}

std::optional<Transfer> transferFromWord(std::string_view word) noexcept {
    for (const Transfer t : {Transfer::kLinear, Transfer::kSquareRoot, Transfer::kLogarithm}) {
        if (word == transferWord(t))
            return t;
    }
    return std::nullopt;
}

std::optional<double> readNumber(std::string_view text) {
    // strtod skips leading blanks and reads hex and words such as "inf": only a plain
    // decimal number is taken.
    if (text.empty() || text.size() > 64 ||
        text.find_first_not_of("0123456789+-.eE") != std::string_view::npos)
        return std::nullopt;
    const std::string copy(text);
    char* end = nullptr;
    errno = 0;
    const double value = std::strtod(copy.c_str(), &end);
    if (end != copy.c_str() + copy.size() || errno == ERANGE)
        return std::nullopt;
    return value;
}

std::string colorControlsField(const ColorControls& controls) {
    if (controls.isDefault())
        return {};
    std::string field = ",";
    field.append(kFieldTag);
    field.append(controls.automaticDensity ? std::string(kAutomatic)
                                           : platform::formatRoundTrip(controls.density));
    field.push_back(':');
    field.append(platform::formatRoundTrip(controls.offset));
    field.push_back(':');
    field.append(transferWord(controls.transfer));
    if (controls.distance) {
        field.push_back(':');
        field.append(kDistance);
    }
    return field;
}

ColorControls readColorControlsField(std::string_view parameters) {
    for (const std::string_view field : split(parameters, ',')) {
        if (field.substr(0, kFieldTag.size()) != kFieldTag)
            continue;
        const std::vector<std::string_view> parts = split(field.substr(kFieldTag.size()), ':');
        if (parts.size() != 3 && !(parts.size() == 4 && parts[3] == kDistance))
            return {};
        ColorControls controls;
        if (parts[0] == kAutomatic) {
            controls.automaticDensity = true;
        } else {
            const std::optional<double> density = readNumber(parts[0]);
            if (!density || !densityRefusal(*density).empty())
                return {};
            controls.density = *density;
        }
        const std::optional<double> offset = readNumber(parts[1]);
        const std::optional<Transfer> transfer = transferFromWord(parts[2]);
        if (!offset || !offsetRefusal(*offset).empty() || !transfer)
            return {};
        controls.offset = *offset;
        controls.transfer = *transfer;
        controls.distance = parts.size() == 4;
        return controls;
    }
    return {};
}

}  // namespace complex
