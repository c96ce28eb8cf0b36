#pragma once

#include <span>

#include "engine/type_description.h"

namespace catalogue {

// The thirteen types, in the order of their ids 1..13.
std::span<const engine::TypeDescription* const> fractalTypes();
// The type of an id; null for an id that names no type.
const engine::TypeDescription* findFractalType(engine::FractalType id);

// By the family in the type's description; false for an id that names no type.
bool isOrbitType(engine::FractalType type);
bool isComplexType(engine::FractalType type);

}  // namespace catalogue
