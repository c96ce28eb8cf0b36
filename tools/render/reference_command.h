#pragma once

#include <memory>
#include <string>

#include "complex/perturbation.h"
#include "engine/fractal.h"

namespace render {

// --save-reference: computes the reference orbits of the view of fractal (set up with
// its type, parameters, view and limit, no run started) as its own deep picture would,
// writes them to path and prints their figures. Returns the problem, empty when
// written; refused is set where the command line asked for what cannot be (an orbit
// type, a view double precision resolves, a limit the view cannot be computed with).
std::string saveReference(engine::Fractal& fractal, const std::string& path, bool& refused);

// Computes the reference orbits request asks for (without tables), writes them to path
// and prints their figures. Returns the problem, empty when written.
std::string writeReference(const complex::ReferenceRequest& request, const std::string& path);

// --reference: the orbits of the file at path, or the problem with it (empty when read).
std::string readReference(const std::string& path,
                          std::shared_ptr<const complex::SharedReference>& reference);

}  // namespace render
