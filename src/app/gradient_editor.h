#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "engine/fractal.h"
#include "engine/gradient.h"
#include "platform/bitmap.h"

namespace app {

// What the gradient editor hands to the window when the user applies it: the colours,
// and the palette file they were saved to (empty when they were not saved).
struct GradientChoice {
    std::vector<platform::Color> colors;
    std::string savedPath;
};

// The gradient editor: colour stops on a bar, sampled to a palette of any length up to
// what Load Palette reads. It opens on the colours shown, as evenly spaced stops, so a
// palette that comes with the program is a start for a new one.
class GradientEditor {
  public:
    static constexpr const char* kCaption = "Gradient Editor";
    static constexpr const char* kEntriesLabel = "Entries:";
    static constexpr const char* kColorText = "Colour...";
    static constexpr const char* kRemoveText = "Remove Stop";
    static constexpr const char* kSaveText = "Save as Palette...";
    static constexpr const char* kApplyText = "Apply";
    static constexpr const char* kSaveTitle = "Save palette:";
    static constexpr const char* kHint =
        "Click the bar to add a stop, drag a stop to move it, Delete removes it.";
    // The stops a palette opens as.
    static constexpr std::size_t kOpeningStops = 8;
    // How near (a share of the bar) a click must come to a stop to take it.
    static constexpr double kGrip = 0.02;

    explicit GradientEditor(const engine::Fractal& fractal);

    const engine::Gradient& gradient() const { return gradient_; }
    std::optional<std::size_t> selected() const { return selected_; }
    std::string entries() const { return entries_; }
    void setEntries(std::string text) { entries_ = std::move(text); }

    // The stop within kGrip of position (the nearest one) becomes the selected one;
    // false (nothing selected) when there is none.
    bool selectNear(double position);
    // A stop at position, of the colour the gradient has there, selected.
    void addStop(double position);
    void moveSelected(double position);
    void removeSelected();
    void setSelectedColor(platform::Color color);
    // The colour of the selected stop; black when none is selected.
    platform::Color selectedColor() const;

    // The palette the editor stands for, or (colors empty) why there is none.
    struct Reading {
        std::vector<platform::Color> colors;
        std::string problem;
    };
    Reading palette() const;

  private:
    engine::Gradient gradient_;
    std::optional<std::size_t> selected_;
    std::string entries_;
};

// Writes colors as a palette file at path the way the program writes its files (a
// temporary file renamed over it: never half a file, and never in place of a thing
// that is not a regular file); empty on success, else the reason.
std::string writePaletteFile(const std::string& path, const std::vector<platform::Color>& colors);

}  // namespace app
