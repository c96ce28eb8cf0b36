#include "platform/write_target.h"

#include <sys/stat.h>

#include <cerrno>
#include <system_error>

#include "platform/link_target.h"

namespace platform {

std::string systemReason(int errorNumber) {
    return std::generic_category().message(errorNumber);
}

TargetKind kindOfMode(mode_t mode) {
    if (S_ISREG(mode))
        return TargetKind::RegularFile;
    if (S_ISFIFO(mode))
        return TargetKind::Pipe;
    if (S_ISCHR(mode))
        return TargetKind::CharacterDevice;
    if (S_ISDIR(mode))
        return TargetKind::Directory;
    if (S_ISSOCK(mode))
        return TargetKind::Socket;
    if (S_ISBLK(mode))
        return TargetKind::BlockDevice;
    return TargetKind::Other;
}

WriteTarget::Action actionFor(TargetKind kind, StreamTargets streams) {
    switch (kind) {
        case TargetKind::Missing:
        case TargetKind::RegularFile:
            return WriteTarget::Action::Replace;
        case TargetKind::Pipe:
        case TargetKind::CharacterDevice:
            return streams == StreamTargets::WriteInto ? WriteTarget::Action::WriteInto
                                                       : WriteTarget::Action::Refuse;
        default:
            return WriteTarget::Action::Refuse;
    }
}

std::string refusalReason(TargetKind kind) {
    switch (kind) {
        case TargetKind::Missing:
        case TargetKind::RegularFile:
            return {};
        case TargetKind::Pipe:
            return "a named pipe, not a regular file";
        case TargetKind::CharacterDevice:
            return "a device, not a regular file";
        case TargetKind::Directory:
            return systemReason(EISDIR);
        case TargetKind::Socket:
            return "a socket, not a regular file";
        case TargetKind::BlockDevice:
            return "a block device, not a regular file";
        case TargetKind::Other:
            break;
    }
    return "not a regular file";
}

WriteTarget examineWriteTarget(const std::string& path, StreamTargets streams) {
    WriteTarget target;
    if (path.empty()) {
        target.reason = systemReason(ENOENT);
        return target;
    }
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0) {
        target.kind = kindOfMode(info.st_mode);
    } else if (errno == ENOENT) {
        target.kind = TargetKind::Missing;
    } else {
        // A loop of links, a name too long, a file where a folder should be, a folder
        // that may not be searched.
        target.reason = systemReason(errno);
        return target;
    }
    target.action = actionFor(target.kind, streams);
    switch (target.action) {
        case WriteTarget::Action::Replace:
            target.path = resolvedLinkTarget(path);
            break;
        case WriteTarget::Action::WriteInto:
            target.path = path;
            break;
        case WriteTarget::Action::Refuse:
            target.reason = refusalReason(target.kind);
            break;
    }
    return target;
}

}  // namespace platform
