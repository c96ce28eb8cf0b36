#include "app/gradient_editor.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "engine/color_table.h"
#include "platform/file_writer.h"

namespace app {

namespace {

std::vector<platform::Color> colorsShown(const engine::Fractal& fractal) {
    const engine::ColorTable& table = fractal.colorTable();
    std::vector<platform::Color> colors;
    for (int i = 0; i < table.colorCount(); ++i)
        colors.push_back(table.colorAt(i));
    if (colors.empty())
        colors.assign(engine::builtInPalette().begin(), engine::builtInPalette().end());
    return colors;
}

// A whole number of entries, spaces at the ends forgiven.
std::optional<int> readEntries(const std::string& text) {
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return std::nullopt;
    const std::size_t last = text.find_last_not_of(' ');
    int value = 0;
    const char* end = text.data() + last + 1;
    const auto [next, error] = std::from_chars(text.data() + first, end, value);
    if (error != std::errc() || next != end)
        return std::nullopt;
    return value;
}

}  // namespace

GradientEditor::GradientEditor(const engine::Fractal& fractal) {
    const std::vector<platform::Color> colors = colorsShown(fractal);
    gradient_ = engine::Gradient::fromPalette(colors, kOpeningStops);
    const int count = std::clamp(static_cast<int>(colors.size()), engine::Gradient::kFewestEntries,
                                 engine::Gradient::kMostEntries);
    entries_ = std::to_string(count);
}

bool GradientEditor::selectNear(double position) {
    selected_.reset();
    double nearest = kGrip;
    const std::vector<engine::GradientStop>& stops = gradient_.stops();
    for (std::size_t i = 0; i < stops.size(); ++i) {
        const double distance = std::fabs(stops[i].position - position);
        if (distance <= nearest) {
            nearest = distance;
            selected_ = i;
        }
    }
    return selected_.has_value();
}

void GradientEditor::addStop(double position) {
    if (const auto index = gradient_.addStop(position, gradient_.colorAt(position)))
        selected_ = index;
}

void GradientEditor::moveSelected(double position) {
    if (selected_)
        selected_ = gradient_.moveStop(*selected_, position).value_or(*selected_);
}

void GradientEditor::removeSelected() {
    if (selected_ && gradient_.removeStop(*selected_))
        selected_.reset();
}

void GradientEditor::setSelectedColor(platform::Color color) {
    if (selected_)
        gradient_.setStopColor(*selected_, color);
}

platform::Color GradientEditor::selectedColor() const {
    if (!selected_ || *selected_ >= gradient_.stops().size())
        return platform::kBlack;
    return gradient_.stops()[*selected_].color;
}

GradientEditor::Reading GradientEditor::palette() const {
    Reading reading;
    if (gradient_.empty()) {
        reading.problem = "The gradient has no colour stops: click the bar to add one.";
        return reading;
    }
    const std::optional<int> count = readEntries(entries_);
    if (!count || *count < engine::Gradient::kFewestEntries ||
        *count > engine::Gradient::kMostEntries) {
        reading.problem = "The number of entries is a whole number from " +
                          std::to_string(engine::Gradient::kFewestEntries) + " to " +
                          std::to_string(engine::Gradient::kMostEntries) + ".";
        return reading;
    }
    reading.colors = gradient_.sample(*count);
    return reading;
}

std::string writePaletteFile(const std::string& path, const std::vector<platform::Color>& colors) {
    if (colors.empty())
        return "there are no colours to write";
    const std::string text = engine::paletteText(colors);
    const platform::FileWriteResult written = platform::writeFile(
        path, platform::FileWriteOptions{platform::StreamTargets::Refuse, false},
        [&text](std::FILE* file) {
            return std::fwrite(text.data(), 1, text.size(), file) == text.size();
        });
    return written ? std::string() : written.reason;
}

}  // namespace app
