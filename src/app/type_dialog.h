#pragma once

#include <string>
#include <vector>

#include "engine/fractal.h"

namespace app {

// The choice of the fractal type: the thirteen names in alphabetical order, the
// description of the selected one, and the type id the choice stands for.
class TypeDialog {
  public:
    static constexpr const char* kCaption = "Fractal Type";
    static constexpr const char* kListLabel = "Fractal type:";
    static constexpr int kCancelled = 0;

    // Lists the names and selects the fractal's own type (nothing when its name is
    // not one of them).
    explicit TypeDialog(const engine::Fractal& fractal);

    const std::vector<std::string>& names() const { return names_; }
    // -1 when nothing is selected.
    int selectedIndex() const { return selected_; }
    // A selection change; an index outside the list selects nothing.
    void select(int index);
    // The selected type's description, lines separated by '\n'; empty without a
    // selection.
    const std::string& description() const { return description_; }
    // The type id of the selection; 1 when the selected text names no type.
    engine::FractalType chosenType() const;

    // The name string id (500..512) whose text is name; 0 when none is.
    static int nameStringId(const std::string& name);
    // The type id a name stands for; 1 (Hopalong) for a name that is none.
    static engine::FractalType typeForName(const std::string& name);
    // The description of a type name, '\n' between lines; empty for an unknown name.
    static std::string descriptionOf(const std::string& name);

  private:
    std::vector<std::string> names_;
    int selected_ = -1;
    std::string description_;
};

}  // namespace app
