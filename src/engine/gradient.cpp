#include "engine/gradient.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "engine/oklab.h"

namespace engine {

namespace {

std::optional<double> usablePosition(double position) {
    if (std::isnan(position))
        return std::nullopt;
    return std::clamp(position, 0.0, 1.0);
}

}  // namespace

Gradient::Gradient(std::vector<GradientStop> stops) {
    for (const GradientStop& stop : stops) {
        if (stops_.size() >= kMostStops)
            break;
        if (const auto position = usablePosition(stop.position))
            insert({*position, stop.color});
    }
}

Gradient Gradient::fromPalette(const std::vector<platform::Color>& colors, std::size_t stopCount) {
    Gradient gradient;
    const std::size_t count = colors.size();
    const std::size_t stops = std::min({count, std::max<std::size_t>(stopCount, 2), kMostStops});
    if (stops == 1) {
        gradient.insert({0.0, colors.front()});
        return gradient;
    }
    for (std::size_t k = 0; k < stops; ++k) {
        // The k-th of stops evenly spaced entries, the last one the palette's last.
        const std::size_t entry = k * (count - 1) / (stops - 1);
        const double position = static_cast<double>(k) / static_cast<double>(stops - 1);
        gradient.insert({position, colors[entry]});
    }
    return gradient;
}

std::size_t Gradient::insert(GradientStop stop) {
    const auto after = std::upper_bound(
        stops_.begin(), stops_.end(), stop.position,
        [](double position, const GradientStop& other) { return position < other.position; });
    // The insertion may move the stops: begin() is taken after it.
    const auto inserted = stops_.insert(after, stop);
    return static_cast<std::size_t>(inserted - stops_.begin());
}

std::optional<std::size_t> Gradient::addStop(double position, platform::Color color) {
    const auto usable = usablePosition(position);
    if (!usable || stops_.size() >= kMostStops)
        return std::nullopt;
    return insert({*usable, color});
}

std::optional<std::size_t> Gradient::moveStop(std::size_t index, double position) {
    const auto usable = usablePosition(position);
    if (!usable || index >= stops_.size())
        return std::nullopt;
    GradientStop stop = stops_[index];
    stops_.erase(stops_.begin() + static_cast<std::ptrdiff_t>(index));
    stop.position = *usable;
    return insert(stop);
}

bool Gradient::removeStop(std::size_t index) {
    if (index >= stops_.size())
        return false;
    stops_.erase(stops_.begin() + static_cast<std::ptrdiff_t>(index));
    return true;
}

bool Gradient::setStopColor(std::size_t index, platform::Color color) {
    if (index >= stops_.size())
        return false;
    stops_[index].color = color;
    return true;
}

platform::Color Gradient::colorAt(double position) const {
    if (stops_.empty())
        return platform::kBlack;
    const double t = usablePosition(position).value_or(0.0);
    if (t <= stops_.front().position)
        return stops_.front().color;
    if (t >= stops_.back().position)
        return stops_.back().color;
    // The first stop beyond t, and the one before it: t lies between them.
    const auto right = std::upper_bound(
        stops_.begin(), stops_.end(), t,
        [](double position, const GradientStop& stop) { return position < stop.position; });
    const GradientStop& to = *right;
    const GradientStop& from = *(right - 1);
    const double span = to.position - from.position;
    if (!(span > 0.0))
        return to.color;
    return mixOkLab(from.color, to.color, (t - from.position) / span);
}

std::vector<platform::Color> Gradient::sample(int count) const {
    if (stops_.empty() || count < kFewestEntries || count > kMostEntries)
        return {};
    std::vector<platform::Color> colors;
    colors.reserve(static_cast<std::size_t>(count));
    for (int k = 0; k < count; ++k)
        colors.push_back(colorAt(static_cast<double>(k) / static_cast<double>(count - 1)));
    return colors;
}

std::string paletteText(const std::vector<platform::Color>& colors) {
    std::string text;
    text.reserve(colors.size() * 12);
    for (const platform::Color color : colors) {
        text += std::to_string(platform::redOf(color)) + ' ' +
                std::to_string(platform::greenOf(color)) + ' ' +
                std::to_string(platform::blueOf(color)) + '\n';
    }
    return text;
}

}  // namespace engine
