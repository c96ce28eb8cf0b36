#include "platform/private_folder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "temp_folder.h"

namespace {

mode_t modeOf(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 ? (info.st_mode & 07777) : 0;
}

TEST(PrivateFolderTest, OnlyARealFolderOfOursWithMode0700IsUsed) {
    using Setup = std::function<void(const std::string&)>;
    struct Case {
        const char* name;
        Setup setup;
        bool usable;
        bool needsRoot;
    };
    const Case cases[] = {
        {"missing: created", [](const std::string&) {}, true, false},
        {"missing, under a narrow umask", [](const std::string&) { ::umask(0177); }, true, false},
        {"ours with mode 0700", [](const std::string& p) { ::mkdir(p.c_str(), 0700); }, true,
         false},
        {"a link to a folder of ours",
         [](const std::string& p) {
             ::mkdir((p + "-target").c_str(), 0700);
             ::symlink((p + "-target").c_str(), p.c_str());
         },
         false, false},
        {"a file", [](const std::string& p) { std::ofstream(p) << "x"; }, false, false},
        {"another user's",
         [](const std::string& p) {
             ::mkdir(p.c_str(), 0700);
             if (::chown(p.c_str(), 65534, 65534) != 0)
                 ADD_FAILURE() << "chown";
         },
         false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.needsRoot && ::geteuid() != 0)
            continue;
        testing_support::TempFolder temp;
        const std::string path = temp.file("corvane");
        const mode_t umask = ::umask(022);
        c.setup(path);
        const platform::PrivateFolder folder = platform::preparePrivateFolder(path);
        ::umask(umask);
        EXPECT_EQ(folder.usable(), c.usable) << folder.problem;
        if (c.usable) {
            EXPECT_EQ(modeOf(path), 0700u);
        } else {
            EXPECT_NE(folder.problem.find(path), std::string::npos) << folder.problem;
        }
    }
    EXPECT_FALSE(platform::preparePrivateFolder("relative/corvane").usable());

    // One open to others is refused, not repaired.
    testing_support::TempFolder temp;
    const std::string open = temp.file("open");
    ::mkdir(open.c_str(), 0700);
    ::chmod(open.c_str(), 0755);
    EXPECT_FALSE(platform::preparePrivateFolder(open).usable());
    EXPECT_EQ(modeOf(open), 0755u);
}

TEST(PrivateFolderTest, TheSessionsRuntimeFolderIsUsedWhenThereIsOne) {
    struct Case {
        const char* runtimeDir;
        const char* expected;
    };
    const Case cases[] = {
        {"/run/user/1000", "/run/user/1000/corvane"},
        {nullptr, "/tmp/corvane-1000"},
        {"", "/tmp/corvane-1000"},
        {"run/user/1000", "/tmp/corvane-1000"},  // a relative one would follow the working folder
    };
    for (const Case& c : cases) {
        EXPECT_EQ(platform::runtimeFolderPath(c.runtimeDir, 1000), c.expected);
    }
}

}  // namespace
