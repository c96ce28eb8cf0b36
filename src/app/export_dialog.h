#pragma once

#include <optional>
#include <string>
#include <vector>

#include "engine/fractal.h"

namespace app {

// The size of an export.
struct ExportSize {
    int width = 0;
    int height = 0;
    // Samples a side each pixel averages (1: none).
    int supersample = 1;
    friend bool operator==(const ExportSize&, const ExportSize&) = default;
};

struct ExportForm {
    std::string width;
    std::string height;
    int supersample = 1;
};

// A size offered in the list: its label and its size.
struct ExportPreset {
    std::string label;
    ExportSize size;
};

// The size of an exported picture, asked before its file: the window's own size or a
// common screen size, or any size typed in.
class ExportDialog {
  public:
    static constexpr const char* kCaption = "Export";
    static constexpr const char* kSizeLabel = "Size:";
    static constexpr const char* kWidthLabel = "Width:";
    static constexpr const char* kHeightLabel = "Height:";
    static constexpr const char* kPixelsUnit = "pixels";
    static constexpr const char* kCustomPreset = "Other size";
    static constexpr const char* kSamplesLabel = "Anti-aliasing:";
    // The file dialog that follows.
    static constexpr const char* kFileTitle = "Export fractal:";
    static constexpr const char* kPngFilter = "PNG picture (*.png)";

    // The anti-aliasing offered: samples a side, 1 (none) first.
    static std::vector<int> supersampleChoices();
    static std::string supersampleLabel(int factor);
    // The window's size first, then the screen sizes.
    static std::vector<ExportPreset> presets(const engine::Fractal& fractal);
    // The fields on opening: the window's picture size.
    static ExportForm open(const engine::Fractal& fractal);
    static ExportForm formOf(const ExportSize& size);
    // The preset that the fields show, if any.
    static std::optional<std::size_t> presetOf(const ExportForm& form,
                                               const std::vector<ExportPreset>& presets);
    // What the fields ask for, or why it cannot be exported (problem set).
    struct Reading {
        std::optional<ExportSize> size;
        std::string problem;
    };
    static Reading read(const ExportForm& form, const engine::Fractal& fractal);
};

// The file name proposed for an export of the picture: "Mandelbrot_3840x2160".
std::string exportFileName(const engine::Fractal& fractal, const ExportSize& size);

}  // namespace app
