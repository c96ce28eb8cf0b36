#pragma once

#include <optional>
#include <string>

#include "engine/fractal.h"
#include "persist/picture_file.h"

namespace app {

// Why a file cannot continue as a fractal of this program (it is no readable bitmap,
// or it lacks the type and view that a saved picture carries after its pixels);
// nullopt when it can be opened.
std::optional<std::string> pictureFileProblem(const persist::PictureFile& file);

// Why a picture of the fractal saved now could not be opened again by the check above;
// nullopt when it could.
std::optional<std::string> pictureSaveProblem(const engine::Fractal& fractal);

}  // namespace app
