#pragma once

#include <sys/types.h>

#include <string>

namespace platform {

// What a write may do with a path that names a pipe or a character device. A
// command-line tool writes into it as any Unix tool does (so that /dev/null discards
// a picture and stays a device); the window refuses it.
enum class StreamTargets { Refuse, WriteInto };

// What a path names, symbolic links followed.
enum class TargetKind {
    Missing,  // nothing yet: a new file is created (at the end of a dangling link)
    RegularFile,
    Pipe,
    CharacterDevice,
    Directory,
    Socket,
    BlockDevice,
    Other,
};

// The one rule for every file the program writes (pictures and the settings store):
// a regular file, or nothing, is replaced atomically; a pipe or a character device is
// written into directly when the caller allows it; everything else is refused.
struct WriteTarget {
    enum class Action { Replace, WriteInto, Refuse };
    Action action = Action::Refuse;
    TargetKind kind = TargetKind::Other;
    // Replace: the file the write replaces, at the end of any chain of links, so that
    // the links survive. WriteInto: the path as given.
    std::string path;
    // Refuse: why, as the system says it ("Too many levels of symbolic links") or as
    // the kind of file ("a named pipe, not a regular file").
    std::string reason;
};

// The system's own text for an errno value ("No space left on device").
std::string systemReason(int errorNumber);

TargetKind kindOfMode(mode_t mode);
WriteTarget::Action actionFor(TargetKind kind, StreamTargets streams);
// Why a write refuses a file of this kind; empty for the kinds that are written.
std::string refusalReason(TargetKind kind);

// Looks at what path names now (following links) and applies the rule. A path that
// cannot be followed (a loop of links, a name too long, a file where a folder should
// be) is refused with the system's reason.
WriteTarget examineWriteTarget(const std::string& path, StreamTargets streams);

}  // namespace platform
