#include "platform/link_target.h"

#include <filesystem>
#include <system_error>

namespace platform {

namespace {

// The number of links the system itself follows before it gives up on a path.
constexpr int kMaxLinksFollowed = 40;

// The target in its plainest spelling, with the folders above it resolved; as it is
// when that fails.
std::string tidied(const std::filesystem::path& target) {
    std::error_code ec;
    const auto canonical = std::filesystem::weakly_canonical(target, ec);
    return ec ? target.string() : canonical.string();
}

}  // namespace

std::string resolvedLinkTarget(const std::string& path) {
    namespace fs = std::filesystem;
    fs::path current(path);
    for (int followed = 0; followed <= kMaxLinksFollowed; ++followed) {
        std::error_code ec;
        if (!fs::is_symlink(current, ec))
            return followed == 0 ? path : tidied(current);
        const fs::path target = fs::read_symlink(current, ec);
        if (ec || target.empty())
            return path;
        // No lexical clean-up here: ".." in a target must step out of the folder the
        // link really lies in, which only the system knows.
        current = target.is_absolute() ? target : current.parent_path() / target;
    }
    return path;
}

}  // namespace platform
