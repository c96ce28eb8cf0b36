// Saving under adverse conditions: a full disk and a folder the user may not write.
// Each case runs in a child process, so limits and lost privileges stay there.
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <functional>

#include "engine/test_fractal.h"
#include "platform/temp_folder.h"

using corvane_test::Rig;
using corvane_test::TestFractal;
using testing_support::TempFolder;

namespace {

// Runs body in a child; the child's exit code is what body returns.
int inChild(const std::function<int()>& body) {
    const pid_t pid = ::fork();
    if (pid == 0)
        ::_exit(body());
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 100 + WTERMSIG(status);
}

constexpr int kReportedAndKept = 0;
constexpr int kNotReported = 1;
constexpr int kDamaged = 2;
constexpr int kSetupFailed = 3;

// Saves over the earlier picture at path, which must fail for the given reason.
int saveOver(const std::string& path, const std::string& reason) {
    Rig rig(240, 268);
    TestFractal f(rig.services());
    f.picture.fillRect({0, 0, 240, 268}, 0x123456);
    const engine::SaveResult saved = f.saveImageTo(path, platform::StreamTargets::Refuse);
    if (saved.status != engine::kStatusCannotCreate || saved.reason != reason)
        return kNotReported;
    return TempFolder::read(path) == "earlier picture" ? kReportedAndKept : kDamaged;
}

TEST(PictureFaultTest, AFullDiskReportsTheFailureAndKeepsTheEarlierFile) {
    const TempFolder folder;
    const std::string path = folder.write("Mandelbrot001.bmp", "earlier picture");
    const int result = inChild([&] {
        // A file size limit stands in for a full file system: writes past it fail.
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{20000, 20000};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0)
            return kSetupFailed;
        return saveOver(path, "File too large");
    });
    EXPECT_EQ(result, kReportedAndKept);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()),
                            std::filesystem::directory_iterator()),
              1);  // no temporary file left behind
}

// A real full file system: a small one of its own, mounted only where the child sees it.
TEST(PictureFaultTest, AFullFileSystemNamesTheReasonAndKeepsTheEarlierFile) {
    const TempFolder folder;
    const std::string mountPoint = folder.file("small");
    std::filesystem::create_directory(mountPoint);
    const std::string path = mountPoint + "/Mandelbrot001.bmp";
    const int result = inChild([&] {
        if (::unshare(CLONE_NEWNS) != 0 ||
            ::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            ::mount("corvane-test", mountPoint.c_str(), "tmpfs", 0, "size=64k") != 0) {
            return kSetupFailed;
        }
        folder.write("small/Mandelbrot001.bmp", "earlier picture");
        if (TempFolder::read(path) != "earlier picture")
            return kSetupFailed;
        const int saved = saveOver(path, "No space left on device");
        // Nothing but the earlier picture is left on the full file system.
        const auto entries = std::distance(std::filesystem::directory_iterator(mountPoint),
                                           std::filesystem::directory_iterator());
        return saved == kReportedAndKept && entries != 1 ? kDamaged : saved;
    });
    if (result == kSetupFailed)
        GTEST_SKIP() << "no private file system can be mounted here";
    EXPECT_EQ(result, kReportedAndKept);
}

TEST(PictureFaultTest, AReadOnlyFolderReportsTheFailureAndKeepsTheEarlierFile) {
    const TempFolder folder;
    const std::string path = folder.write("Julia001.bmp", "earlier picture");
    std::filesystem::permissions(folder.path(), std::filesystem::perms::owner_all |
                                                    std::filesystem::perms::others_read |
                                                    std::filesystem::perms::others_exec);
    ::chmod(path.c_str(), 0644);
    const int result = inChild([&] {
        // As an ordinary user even when the tests run as the superuser.
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) {
            return kSetupFailed;
        }
        return saveOver(path, "Permission denied");
    });
    EXPECT_EQ(result, kReportedAndKept);
}

}  // namespace
