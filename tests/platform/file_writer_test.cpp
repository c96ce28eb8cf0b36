#include "platform/file_writer.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/temp_folder.h"

namespace platform {
namespace {

namespace fs = std::filesystem;
using testing_support::folderEntries;
using testing_support::TempFolder;

std::function<bool(std::FILE*)> writing(const std::string& text) {
    return [text](std::FILE* file) {
        return std::fwrite(text.data(), 1, text.size(), file) == text.size();
    };
}

FileWriteResult writeNew(const std::string& path, StreamTargets streams = StreamTargets::Refuse) {
    return writeFile(path, FileWriteOptions{streams, false}, writing("new picture"));
}

// The kind of what path names now, links not followed.
std::optional<TargetKind> nodeKind(const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0)
        return std::nullopt;
    if (S_ISLNK(info.st_mode))
        return TargetKind::Other;  // a link is never replaced by a file
    return kindOfMode(info.st_mode);
}

bool makeSocket(const std::string& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    const bool bound =
        fd >= 0 && ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    if (fd >= 0)
        ::close(fd);
    return bound;
}

// A private node of the null device, when this process may make one and the file
// system lets it be opened; never the system's own /dev/null.
bool makeNullDevice(const std::string& path) {
    if (::mknod(path.c_str(), S_IFCHR | 0600, ::makedev(1, 3)) != 0)
        return false;
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

TEST(FileWriter, EveryKindOfTargetFollowsTheOneRule) {
    const TempFolder folder;
    const fs::path root = folder.path();
    folder.write("plain.bmp", "earlier picture");
    fs::create_directory(root / "folder");
    ASSERT_EQ(::mkfifo(folder.file("pipe").c_str(), 0600), 0);
    ASSERT_TRUE(makeSocket(folder.file("socket")));
    const bool device = makeNullDevice(folder.file("device"));
    for (const char* name : {"plain.bmp", "folder", "pipe", "socket", "device", "fresh.bmp"})
        fs::create_symlink(name, root / (std::string("to-") + name));
    fs::create_symlink("loop-b", root / "loop-a");
    fs::create_symlink("loop-a", root / "loop-b");

    // Longer than any path the system takes, though each name in it is short enough.
    std::string longPath = "x.bmp";
    while (longPath.size() < 4200)
        longPath = std::string(200, 'd') + "/" + longPath;

    const auto W = StreamTargets::WriteInto;
    const auto R = StreamTargets::Refuse;
    const struct {
        std::string path;
        StreamTargets streams;
        const char* reason;  // nullptr: written
        std::optional<TargetKind> after;
    } cases[] = {
        {"plain.bmp", R, nullptr, TargetKind::RegularFile},
        {"to-plain.bmp", R, nullptr, TargetKind::Other},
        {"new.bmp", R, nullptr, TargetKind::RegularFile},
        {"to-fresh.bmp", R, nullptr, TargetKind::Other},
        {"folder", W, "Is a directory", TargetKind::Directory},
        {"to-folder", W, "Is a directory", TargetKind::Other},
        {"socket", W, "a socket, not a regular file", TargetKind::Socket},
        {"to-socket", W, "a socket, not a regular file", TargetKind::Other},
        {"pipe", R, "a named pipe, not a regular file", TargetKind::Pipe},
        {"to-pipe", R, "a named pipe, not a regular file", TargetKind::Other},
        {"pipe", W, "no program is reading from this pipe", TargetKind::Pipe},
        {"to-pipe", W, "no program is reading from this pipe", TargetKind::Other},
        {"device", R, "a device, not a regular file", TargetKind::CharacterDevice},
        {"to-device", R, "a device, not a regular file", TargetKind::Other},
        {"device", W, nullptr, TargetKind::CharacterDevice},
        {"to-device", W, nullptr, TargetKind::Other},
        {"loop-a", W, "Too many levels of symbolic links", TargetKind::Other},
        {"plain.bmp/x.bmp", W, "Not a directory", std::nullopt},
        {"missing/x.bmp", W, "No such file or directory", std::nullopt},
        {std::string(300, 'n') + ".bmp", W, "File name too long", std::nullopt},
        {longPath, W, "File name too long", std::nullopt},
    };
    for (const auto& c : cases) {
        const std::string path = folder.file(c.path);
        SCOPED_TRACE(c.path.substr(0, 40) + (c.streams == W ? " (streams written)" : ""));
        if (c.path.find("device") != std::string::npos && !device)
            continue;  // no private device node can be made here
        const FileWriteResult result = writeNew(path, c.streams);
        EXPECT_EQ(result.ok, c.reason == nullptr) << result.reason;
        if (c.reason != nullptr) {
            EXPECT_EQ(result.reason, c.reason);
        }
        EXPECT_EQ(nodeKind(path), c.after);
    }
    EXPECT_EQ(TempFolder::read(folder.file("plain.bmp")), "new picture");
    EXPECT_EQ(TempFolder::read(folder.file("fresh.bmp")), "new picture");
    EXPECT_TRUE(fs::is_empty(root / "folder"));
    std::vector<std::string> expected = {"device",  "folder",       "fresh.bmp", "loop-a",
                                         "loop-b",  "new.bmp",      "pipe",      "plain.bmp",
                                         "socket",  "to-device",    "to-folder", "to-fresh.bmp",
                                         "to-pipe", "to-plain.bmp", "to-socket"};
    if (!device)
        expected.erase(expected.begin());
    EXPECT_EQ(folderEntries(root), expected) << "nothing else made, nothing left behind";
    // Block devices are refused by kind; no test makes one.
    EXPECT_EQ(actionFor(kindOfMode(S_IFBLK | 0600), StreamTargets::WriteInto),
              WriteTarget::Action::Refuse);
}

TEST(FileWriter, ReplacingIsAllOrNothing) {
    const TempFolder folder;
    const std::string path = folder.write("p.bmp", "earlier picture");
    ::chmod(path.c_str(), 0640);
    const auto writeHalfThenFail = [](std::FILE* file) {
        std::fputs("half", file);
        return false;
    };
    EXPECT_FALSE(writeFile(path, {}, writeHalfThenFail).ok);
    EXPECT_EQ(TempFolder::read(path), "earlier picture");
    EXPECT_EQ(folderEntries(folder.path()), std::vector<std::string>{"p.bmp"});

    EXPECT_TRUE(writeNew(path).ok);
    EXPECT_EQ(TempFolder::read(path), "new picture");
    EXPECT_EQ(folderEntries(folder.path()), std::vector<std::string>{"p.bmp"});
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);

    // A new file of the settings is its owner's only.
    const std::string privateFile = folder.file("private.reg");
    ASSERT_TRUE(
        writeFile(privateFile, FileWriteOptions{StreamTargets::Refuse, true}, writing("x")).ok);
    ASSERT_EQ(::stat(privateFile.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
}

TEST(FileWriter, SavingThroughALinkReplacesWhatItPointsTo) {
    const TempFolder folder;
    fs::create_directory(folder.path() / "pictures");
    const std::string real = folder.write("pictures/real.bmp", "earlier picture");
    ::chmod(real.c_str(), 0640);
    const std::string link = folder.file("link.bmp");
    const std::string dangling = folder.file("new.bmp");
    const std::string nowhere = folder.file("nowhere.bmp");
    fs::create_symlink("pictures/real.bmp", link);
    fs::create_symlink("pictures/fresh.bmp", dangling);
    fs::create_symlink("missing/x.bmp", nowhere);

    EXPECT_TRUE(writeNew(link).ok);
    EXPECT_TRUE(writeNew(dangling).ok);
    EXPECT_EQ(writeNew(nowhere).reason, "No such file or directory");

    for (const auto& [path, target] :
         std::vector<std::pair<std::string, std::string>>{{link, "pictures/real.bmp"},
                                                          {dangling, "pictures/fresh.bmp"},
                                                          {nowhere, "missing/x.bmp"}}) {
        EXPECT_TRUE(fs::is_symlink(path)) << path;
        EXPECT_EQ(fs::read_symlink(path), target);
    }
    EXPECT_EQ(TempFolder::read(real), "new picture");
    EXPECT_EQ(TempFolder::read(folder.file("pictures/fresh.bmp")), "new picture");
    EXPECT_EQ(folderEntries(folder.path() / "pictures"),
              (std::vector<std::string>{"fresh.bmp", "real.bmp"}));
    EXPECT_EQ(folderEntries(folder.path()),
              (std::vector<std::string>{"link.bmp", "new.bmp", "nowhere.bmp", "pictures"}));
    struct stat info {};
    ASSERT_EQ(::stat(real.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u) << "permissions come from the target";

    if (::geteuid() != 0) {  // permissions do not stop the superuser
        ::chmod(real.c_str(), 0444);
        EXPECT_EQ(writeFile(link, {}, [](std::FILE*) { return true; }).reason, "Permission denied");
        EXPECT_EQ(TempFolder::read(real), "new picture");
        EXPECT_TRUE(fs::is_symlink(link));
    }
}

}  // namespace
}  // namespace platform
