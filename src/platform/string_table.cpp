#include "platform/string_table.h"

#include <utility>

namespace platform {

namespace {

struct Entry {
    int id;
    std::string_view text;
};

// clang-format off
constexpr Entry kStrings[] = {
    {1, "Corvane"},
    {40008, "Corvane"},
    {40016, "Software\\Velk\\Corvane"},

    // The names of the fractal types (500..512) and their descriptions (601..613) are
    // kept with each type (engine/fractal_types.h).

    {5000, "Simple"},
    {5001, "Relief"},
    {5002, "Tesseral"},

    {40007, "File"},
    {40015, "Fractal"},
    {40017, "Select zoom area"},
    {40018, "Zoom out"},
    {40019, "Turn off the display"},
    {40020, "Select area:"},
    {40021, "X[0]:"},
    {40022, "Y[0]:"},
    {40023, "All files"},
    {40024, "Color palettes"},
    {40025, "Open palette:"},
    {40026, "Bitmaps"},
    {40027, "Open fractal:"},
    {40028, "Save fractal:"},
    {40030, "Zoom previous"},
    {40031, "Slideshow:"},
    {40032, "Only fractals of type %s...?"},
    {40035, "P1:"},
    {40036, "P2:"},
    {40041, "PNG picture"},
    {40042, "Pictures"},
    {40043, "The view cannot be zoomed in further: it is as narrow as a view can be stored (1e-30000)."},
    {40040, "The view cannot be zoomed in further: double precision cannot tell its pixels apart."},
};
// clang-format on

}  // namespace

std::string windowTitleWithNote(const std::string& note) {
    std::string title(loadString(kStringWindowTitle));
    if (!note.empty())
        title += " (" + note + ")";
    return title;
}

std::string windowTitleFor(const std::string& subject, const std::string& note) {
    if (subject.empty())
        return windowTitleWithNote(note);
    return subject + " - " + windowTitleWithNote(note);
}

std::string_view loadString(int id) {
    for (const Entry& e : kStrings) {
        if (e.id == id)
            return e.text;
    }
    return {};
}

}  // namespace platform
