#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace platform {

// The user's documents folder. In order of precedence: XDG_DOCUMENTS_DIR from the
// environment, taken as it is; the folder named in the user's user-dirs.dirs file;
// $HOME/Documents; and "Documents" when there is no home.
std::string documentsFolder();

// The documents folder named by the text of a user-dirs.dirs file, a leading $HOME
// replaced by home. The file is a list of shell assignments; the last well-formed
// XDG_DOCUMENTS_DIR line counts. nullopt when there is none, when its folder is not
// an absolute path or is home itself (the user has turned the folder off). The
// folder comes without trailing slashes.
std::optional<std::string> documentsFolderFromUserDirs(std::string_view text,
                                                       std::string_view home);

}  // namespace platform
