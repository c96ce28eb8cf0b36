#pragma once

#include <cstdio>
#include <functional>
#include <string>

#include "platform/write_target.h"

namespace platform {

struct FileWriteOptions {
    StreamTargets streams = StreamTargets::Refuse;
    // A file created new is readable by its owner only (the settings); otherwise it
    // gets what the user's file creation mask allows (pictures). A replaced file
    // keeps its permissions.
    bool ownerOnly = false;
};

struct FileWriteResult {
    bool ok = false;
    // Why not, naming no file: the system's reason ("No space left on device") or
    // the kind of file that is refused ("a named pipe, not a regular file").
    std::string reason;
    explicit operator bool() const { return ok; }
};

// Puts what write puts into a stream at path, by the rule of examineWriteTarget.
// A regular file (or nothing) is replaced: write fills a temporary file of the same
// folder, which is flushed to the disk and renamed over the file, so that a failure
// at any step (write returning false included) leaves an earlier file untouched and
// no temporary file behind. Stale temporary files of earlier, killed writers in that
// folder are removed first. A pipe or a device, where allowed, is written into; a
// pipe that nobody reads is refused at once instead of waiting for a reader.
FileWriteResult writeFile(const std::string& path, const FileWriteOptions& options,
                          const std::function<bool(std::FILE*)>& write);

}  // namespace platform
