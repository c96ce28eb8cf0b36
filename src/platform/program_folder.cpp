#include "platform/program_folder.h"

#include <filesystem>
#include <system_error>

namespace platform {

std::string programFolder() {
    std::error_code error;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error)
        return {};
    return program.parent_path().string();
}

}  // namespace platform
