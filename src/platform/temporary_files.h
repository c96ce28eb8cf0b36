#pragma once

#include <chrono>
#include <string>
#include <string_view>

namespace platform {

// Every file the program replaces is first written to a temporary file of this
// pattern in the same folder ("XXXXXX": six letters or digits chosen by mkstemp).
inline constexpr char kTemporaryFilePattern[] = ".corvane-XXXXXX";

// A temporary file left behind by a writer that was killed is at least this old:
// a writer that is still busy changes its file all the time.
inline constexpr std::chrono::minutes kStaleTemporaryAge{10};

// Whether name (without a folder) is exactly of the program's temporary pattern.
bool isTemporaryFileName(std::string_view name);

// Removes from folder the temporary files of the program's own pattern that are
// regular files of this user, unchanged for longer than maxAge. Nothing else is
// removed, and no link is followed. Returns the number removed.
int removeStaleTemporaryFiles(const std::string& folder,
                              std::chrono::seconds maxAge = kStaleTemporaryAge);

}  // namespace platform
