#include "platform/temporary_files.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/file_writer.h"
#include "platform/temp_folder.h"

namespace platform {
namespace {

namespace fs = std::filesystem;
using testing_support::folderEntries;
using testing_support::TempFolder;

// Sets the time of the last change, links themselves included, minutes back.
void makeOld(const std::string& path, int minutes) {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    now.tv_sec -= minutes * 60;
    const timespec times[2] = {now, now};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0) << path;
}

// Only old regular files of our own pattern and owner go; decoys of every other sort stay.
TEST(TemporaryFiles, OnlyStaleFilesOfTheProgramsOwnPatternAreRemoved) {
    const TempFolder folder;
    const TempFolder elsewhere;
    const std::string outside = elsewhere.write("precious.bmp", "keep");
    makeOld(outside, 60);
    const fs::path root = folder.path();
    const struct {
        const char* name;
        const char* what;  // file, folder, link, pipe
        int minutesOld;
        bool removed;
    } cases[] = {
        {".corvane-old001", "file", 11, true},      {".corvane-old002", "file", 60 * 24 * 30, true},
        {".corvane-young1", "file", 9, false},      {".corvane-now001", "file", 0, false},
        {".corvane-old03", "file", 60, false},      {".corvane-old0004", "file", 60, false},
        {".Corvane.reg.abcdef", "file", 60, false}, {"corvane-old005", "file", 60, false},
        {"Mandelbrot001.bmp", "file", 60, false},   {".corvane-folder", "folder", 60, false},
        {".corvane-linkxx", "link", 60, false},     {".corvane-pipexx", "pipe", 60, false},
    };
    for (const auto& c : cases) {
        const std::string path = folder.file(c.name);
        const std::string what = c.what;
        if (what == "file") {
            folder.write(c.name, "leftover");
        } else if (what == "folder") {
            fs::create_directory(path);
        } else if (what == "link") {
            fs::create_symlink(outside, path);
        } else {
            ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
        }
        makeOld(path, c.minutesOld);
    }
    bool otherOwner = false;
    if (::geteuid() == 0) {  // only the superuser can give a file away
        const std::string foreign = folder.write(".corvane-other1", "someone else's");
        otherOwner = ::chown(foreign.c_str(), 65534, 65534) == 0;
        makeOld(foreign, 60);
    }

    EXPECT_EQ(removeStaleTemporaryFiles(root.string()), 2);
    for (const auto& c : cases)
        EXPECT_EQ(fs::exists(fs::symlink_status(root / c.name)), !c.removed) << c.name;
    if (otherOwner) {
        EXPECT_TRUE(fs::exists(root / ".corvane-other1"));
    }
    EXPECT_EQ(TempFolder::read(outside), "keep");
    EXPECT_EQ(removeStaleTemporaryFiles(root.string()), 0);
    EXPECT_EQ(removeStaleTemporaryFiles(folder.file("missing")), 0);
}

// A write clears what killed writers left in its own folder, and only there.
TEST(TemporaryFiles, AWriteClearsLeftoversOfItsFolder) {
    const TempFolder folder;
    fs::create_directory(folder.path() / "other");
    const std::string leftover = folder.write(".corvane-killed", std::string(4096, 'x'));
    const std::string young = folder.write(".corvane-busy01", "being written");
    const std::string otherFolder = folder.write("other/.corvane-killed", "x");
    makeOld(leftover, 30);
    makeOld(otherFolder, 30);
    ASSERT_TRUE(writeFile(folder.file("p.bmp"), {}, [](std::FILE* file) {
                    return std::fputs("picture", file) >= 0;
                }).ok);
    EXPECT_EQ(folderEntries(folder.path()),
              (std::vector<std::string>{".corvane-busy01", "other", "p.bmp"}));
    EXPECT_TRUE(fs::exists(otherFolder));
}

}  // namespace
}  // namespace platform
