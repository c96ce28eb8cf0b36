#pragma once

#include <string>

namespace platform {

// The file that writing to path really changes. For a symbolic link that is the file
// at the end of its chain of links, relative targets taken from the folder of the link
// that names them; the file need not exist yet (a dangling link names the file it
// would create). Anything that is not a link is returned unchanged, and so is a link
// whose chain cannot be followed (a loop, an unreadable link); the writers refuse
// such a path before they come here (write_target.h).
std::string resolvedLinkTarget(const std::string& path);

}  // namespace platform
