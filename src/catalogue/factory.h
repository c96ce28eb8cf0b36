#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "engine/fractal.h"
#include "platform/services.h"

namespace catalogue {

// Creates the fractal object of a type id; any id outside 1..13 makes a Mandelbrot.
// The orbit types start from their usual initial parameters. Null when the object
// cannot be created (not enough memory for its surfaces).
engine::FractalPtr createFractal(engine::FractalType id, const platform::Services& services);

// The type id of a type name ("Mandelbrot", any case); nullopt for an unknown name.
std::optional<engine::FractalType> fractalTypeFromName(std::string_view name);
// The name of a type id 1..13; empty for any other id.
std::string fractalTypeName(engine::FractalType id);

}  // namespace catalogue
