#include "app/type_dialog.h"

#include <algorithm>
#include <array>

#include "platform/string_table.h"
#include "platform/text.h"

namespace app {

namespace {

constexpr int kTypeCount = 13;
// Name string 500 + i stands for type kTypeOfName[i]: the names are stored in a
// different order from the type ids.
constexpr std::array<engine::FractalType, kTypeCount> kTypeOfName = {1, 4, 2,  3,  7,  5, 6,
                                                                     8, 9, 10, 11, 12, 13};
constexpr std::size_t kNameUnits = 79;          // an 80-character buffer
constexpr std::size_t kDescriptionUnits = 254;  // a 255-character buffer

std::string nameText(int index) {
    return platform::truncateUtf16(platform::loadString(platform::kStringFirstTypeName + index),
                                   kNameUnits);
}

// The stored descriptions break their lines with "\r\n"; the desktop uses '\n'.
std::string withNewlines(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            continue;
        out.push_back(text[i]);
    }
    return out;
}

}  // namespace

TypeDialog::TypeDialog(const engine::Fractal& fractal) {
    for (int i = 0; i < kTypeCount; ++i)
        names_.push_back(nameText(i));
    std::sort(names_.begin(), names_.end());
    const auto own = std::find(names_.begin(), names_.end(), fractal.typeName);
    select(own == names_.end() ? -1 : static_cast<int>(own - names_.begin()));
}

void TypeDialog::select(int index) {
    const bool valid = index >= 0 && index < static_cast<int>(names_.size());
    selected_ = valid ? index : -1;
    description_ = valid ? descriptionOf(names_[static_cast<std::size_t>(index)]) : std::string();
}

engine::FractalType TypeDialog::chosenType() const {
    if (selected_ < 0)
        return typeForName(std::string());
    return typeForName(names_[static_cast<std::size_t>(selected_)]);
}

int TypeDialog::nameStringId(const std::string& name) {
    for (int i = 0; i < kTypeCount; ++i) {
        if (nameText(i) == name)
            return platform::kStringFirstTypeName + i;
    }
    return 0;
}

engine::FractalType TypeDialog::typeForName(const std::string& name) {
    const int id = nameStringId(name);
    if (id == 0)
        return engine::kHopalong;
    return kTypeOfName[static_cast<std::size_t>(id - platform::kStringFirstTypeName)];
}

std::string TypeDialog::descriptionOf(const std::string& name) {
    const int id = nameStringId(name);
    if (id == 0)
        return std::string();
    const std::string_view text = platform::loadString(id + platform::kStringDescriptionOffset);
    return withNewlines(platform::truncateUtf16(text, kDescriptionUnits));
}

}  // namespace app
