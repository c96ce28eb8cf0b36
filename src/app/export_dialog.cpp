#include "app/export_dialog.h"

#include <charconv>

#include "app/picture_export.h"
#include "app/supersampling.h"

namespace app {

namespace {

std::string sizeText(const ExportSize& size) {
    return std::to_string(size.width) + " x " + std::to_string(size.height);
}

// A positive decimal number without sign or anything else around it; spaces at the
// ends are forgiven.
std::optional<int> readSide(const std::string& field) {
    const std::size_t first = field.find_first_not_of(' ');
    if (first == std::string::npos)
        return std::nullopt;
    const std::size_t last = field.find_last_not_of(' ');
    const char* begin = field.data() + first;
    const char* end = field.data() + last + 1;
    if (*begin < '0' || *begin > '9')
        return std::nullopt;
    int value = 0;
    const auto [ptr, ec] = std::from_chars(begin, end, value);
    if (ec != std::errc() || ptr != end)
        return std::nullopt;
    return value;
}

}  // namespace

std::vector<int> ExportDialog::supersampleChoices() {
    return {1, 2, 3, 4, 8};
}

std::string ExportDialog::supersampleLabel(int factor) {
    if (factor <= 1)
        return "None";
    const std::string side = std::to_string(factor);
    return side + " x " + side + " samples a pixel";
}

std::vector<ExportPreset> ExportDialog::presets(const engine::Fractal& fractal) {
    const ExportSize window{fractal.width, fractal.height};
    return {
        {"Window (" + sizeText(window) + ")", window},
        {"Full HD (1920 x 1080)", {1920, 1080}},
        {"4K UHD (3840 x 2160)", {3840, 2160}},
        {"8K UHD (7680 x 4320)", {7680, 4320}},
    };
}

ExportForm ExportDialog::open(const engine::Fractal& fractal) {
    return formOf(ExportSize{fractal.width, fractal.height});
}

ExportForm ExportDialog::formOf(const ExportSize& size) {
    return ExportForm{std::to_string(size.width), std::to_string(size.height)};
}

std::optional<std::size_t> ExportDialog::presetOf(const ExportForm& form,
                                                  const std::vector<ExportPreset>& presets) {
    const std::optional<int> width = readSide(form.width);
    const std::optional<int> height = readSide(form.height);
    if (!width || !height)
        return std::nullopt;
    for (std::size_t i = 0; i < presets.size(); ++i) {
        if (presets[i].size == ExportSize{*width, *height})
            return i;
    }
    return std::nullopt;
}

ExportDialog::Reading ExportDialog::read(const ExportForm& form, const engine::Fractal& fractal) {
    Reading reading;
    const std::optional<int> width = readSide(form.width);
    const std::optional<int> height = readSide(form.height);
    if (!width || !height) {
        reading.problem = "The width and the height are whole numbers of pixels.";
        return reading;
    }
    std::optional<std::string> problem = exportSizeProblem(fractal.type, *width, *height);
    if (!problem)
        problem = supersampleProblem(fractal.type, *width, *height, form.supersample);
    if (problem) {
        std::string text = *problem + ".";
        if (text[0] >= 'a' && text[0] <= 'z')
            text[0] = static_cast<char>(text[0] - 'a' + 'A');
        reading.problem = text;
        return reading;
    }
    reading.size = ExportSize{*width, *height, form.supersample};
    return reading;
}

std::string exportFileName(const engine::Fractal& fractal, const ExportSize& size) {
    return fractal.typeName + "_" + std::to_string(size.width) + "x" + std::to_string(size.height);
}

}  // namespace app
