#pragma once

#include <optional>
#include <string>

#include "persist/picture_file.h"

namespace app {

// The longest parameter string a picture's trailer is read with.
constexpr int kPictureParamsCapacity = 255;

// Why a file cannot continue as a fractal of this program (it is no readable bitmap,
// or it lacks the type and view that a saved picture carries after its pixels);
// nullopt when it can be opened.
std::optional<std::string> pictureFileProblem(const persist::PictureFile& file);

}  // namespace app
