#pragma once

#include <optional>
#include <string>

namespace app {

// Why a file cannot continue as a fractal of this program (it is no readable bitmap,
// or it lacks the type and view that a saved picture carries after its pixels);
// nullopt when it can be opened.
std::optional<std::string> pictureFileProblem(const std::string& path);

}  // namespace app
