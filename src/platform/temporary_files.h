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

// The temporary files of writes under way, recorded so that a process ended by a
// termination signal can remove them before it goes.
//
// Creates a temporary file from name (a path ending in the pattern, which mkostemp
// fills in) and records it; the descriptor, or -1 with errno set.
int createTemporaryFile(std::string& name, int flags);
// Renames a recorded temporary file over target and forgets it; 0, or the errno.
int renameTemporaryFile(const std::string& name, const std::string& target);
// Removes a recorded temporary file and forgets it.
void removeTemporaryFile(const std::string& name);
// Removes every recorded temporary file, for a process about to end: from now on no
// temporary file is created or renamed (ECANCELED).
void removeAllTemporaryFiles();

}  // namespace platform
