#pragma once

#include <sys/types.h>

#include <string>

namespace platform {

// A folder that only this user can enter, for files that others must neither read
// nor replace (a lock, a socket).
struct PrivateFolder {
    std::string path;
    // Why the folder cannot be used; empty when it can.
    std::string problem;

    bool usable() const { return problem.empty(); }
};

// Creates path with mode 0700 when it is missing. An existing path is used only when
// it is a real folder (not a link to one) owned by this user with mode 0700: anything
// else may be someone else's, and is refused rather than repaired.
PrivateFolder preparePrivateFolder(const std::string& path);

// Where the program keeps its per-user run-time files: "corvane" in the session's
// run-time folder, or without one (or with a relative one) "corvane-<uid>" in /tmp.
std::string runtimeFolderPath(const char* xdgRuntimeDir, uid_t uid);
// The same for this process's environment and user.
std::string runtimeFolderPath();

}  // namespace platform
