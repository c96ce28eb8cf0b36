#include "app/type_dialog.h"

#include <algorithm>
#include <vector>

#include "catalogue/fractal_types.h"
#include "platform/text.h"

namespace app {

namespace {

constexpr std::size_t kNameUnits = 79;          // an 80-character buffer
constexpr std::size_t kDescriptionUnits = 254;  // a 255-character buffer

// The types in the order the list receives their names and a name is searched for:
// by the names' place in the string table, which is not the order of the ids.
std::vector<const engine::TypeDescription*> inNameOrder() {
    const auto types = catalogue::fractalTypes();
    std::vector<const engine::TypeDescription*> ordered(types.begin(), types.end());
    std::sort(ordered.begin(), ordered.end(),
              [](const auto* a, const auto* b) { return a->nameStringId < b->nameStringId; });
    return ordered;
}

std::string nameText(const engine::TypeDescription& type) {
    return platform::truncateUtf16(type.name, kNameUnits);
}

// The first type whose name is name exactly; null when none is.
const engine::TypeDescription* typeNamed(const std::string& name) {
    for (const engine::TypeDescription* type : inNameOrder()) {
        if (nameText(*type) == name)
            return type;
    }
    return nullptr;
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
    for (const engine::TypeDescription* type : inNameOrder())
        names_.push_back(nameText(*type));
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
    const engine::TypeDescription* type = typeNamed(name);
    return type == nullptr ? 0 : type->nameStringId;
}

engine::FractalType TypeDialog::typeForName(const std::string& name) {
    const engine::TypeDescription* type = typeNamed(name);
    return type == nullptr ? engine::kHopalong : type->id;
}

std::string TypeDialog::descriptionOf(const std::string& name) {
    const engine::TypeDescription* type = typeNamed(name);
    if (type == nullptr)
        return std::string();
    return withNewlines(platform::truncateUtf16(type->description, kDescriptionUnits));
}

}  // namespace app
