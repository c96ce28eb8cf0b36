#include "platform/link_target.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/temp_folder.h"

namespace platform {
namespace {

namespace fs = std::filesystem;
using testing_support::TempFolder;

struct LinkCase {
    const char* name;
    std::string path;      // below the test folder
    std::string resolved;  // below the test folder
};

TEST(LinkTarget, FollowsLinksToTheFileAWriteChanges) {
    const TempFolder folder;
    const fs::path root = folder.path();
    folder.write("real.bmp", "x");
    fs::create_directories(root / "links");
    fs::create_directories(root / "deep/er");
    fs::create_symlink(root / "real.bmp", root / "absolute.bmp");
    fs::create_symlink("../real.bmp", root / "links/relative.bmp");
    fs::create_symlink("links/relative.bmp", root / "chain.bmp");
    fs::create_symlink("missing.bmp", root / "dangling.bmp");
    // ".." in a target leaves the folder the link really lies in, not the one named.
    fs::create_symlink("deep/er", root / "short");
    fs::create_symlink("../beside.bmp", root / "short/up.bmp");
    fs::create_symlink("loop-b", root / "loop-a");
    fs::create_symlink("loop-a", root / "loop-b");

    const std::vector<LinkCase> cases = {
        {"plain file", "real.bmp", "real.bmp"},
        {"missing file", "missing.bmp", "missing.bmp"},
        {"absolute link", "absolute.bmp", "real.bmp"},
        {"relative link", "links/relative.bmp", "real.bmp"},
        {"chain of links", "chain.bmp", "real.bmp"},
        {"dangling link", "dangling.bmp", "missing.bmp"},
        {"link in a linked folder", "short/up.bmp", "deep/beside.bmp"},
        {"loop", "loop-a", "loop-a"},
    };
    for (const LinkCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = folder.file(c.path);
        const std::string resolved = resolvedLinkTarget(path);
        if (c.path == c.resolved) {
            EXPECT_EQ(resolved, path) << "unchanged when there is nothing to follow";
        } else {
            EXPECT_EQ(fs::weakly_canonical(resolved),
                      fs::weakly_canonical(folder.file(c.resolved)));
            EXPECT_FALSE(fs::is_symlink(resolved));
        }
    }
}

}  // namespace
}  // namespace platform
