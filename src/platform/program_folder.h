#pragma once

#include <string>

namespace platform {

// The folder that holds the running program's executable; empty when the system does
// not tell.
std::string programFolder();

}  // namespace platform
