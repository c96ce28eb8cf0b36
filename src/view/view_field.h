#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace view {

class DeepView;

// The field a parameter string carries after its classic fields for a deep view,
// with its leading comma; empty for a view double holds (whose classic rectangle is
// the view itself). Its numbers read back exactly.
std::string deepViewField(const DeepView& view);
// The deep view a parameter string carries, on a picture of width x height pixels;
// nullopt when it carries none or the field is damaged (the caller keeps the classic
// rectangle).
std::optional<DeepView> readDeepViewField(std::string_view parameters, int width, int height);
// The parts of text between separators, empty ones included (one part for text without
// a separator); they view text, which must outlive them.
std::vector<std::string_view> splitFields(std::string_view text, char separator);

}  // namespace view
