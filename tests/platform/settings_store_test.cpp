#include "platform/settings_store.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <random>
#include <thread>
#include <vector>

#include "platform/temp_folder.h"

namespace platform {
namespace {

using testing_support::TempFolder;
using namespace std::string_literals;

const std::string kKey = "Software\\Velk\\Corvane";
const std::string kSection = "[HKEY_CURRENT_USER\\Software\\Velk\\Corvane]\n";

SettingsContents oneKey(SettingsKeyValues values) {
    return {{kKey, std::move(values)}};
}

TEST(MemorySettingsStore, ReadsWhatWasWrittenAndFailsOnMissingKeyOrValue) {
    MemorySettingsStore store;
    EXPECT_FALSE(store.keyExists(kKey));
    EXPECT_FALSE(store.read(kKey, "Fractal"));
    EXPECT_TRUE(store.write(kKey, "Fractal", SettingsValue::ofNumber(5)));
    EXPECT_TRUE(store.keyExists(kKey));
    EXPECT_EQ(store.read(kKey, "Fractal"), SettingsValue::ofNumber(5));
    EXPECT_FALSE(store.read(kKey, "fractal")) << "value names are case-sensitive";
    EXPECT_FALSE(store.read("Software\\Other", "Fractal"));
    EXPECT_TRUE(store.createKey("Software\\Other"));
    EXPECT_TRUE(store.keyExists("Software\\Other"));
}

TEST(SettingsFormat, WritesRegistryExportLines) {
    const SettingsContents contents = oneKey({{"Fractal", SettingsValue::ofNumber(42)},
                                              {"Palette", SettingsValue::ofText("C:\\a \"b\"")}});
    EXPECT_EQ(serializeSettings(contents), kSection +
                                               "\"Fractal\"=dword:0000002a\n"
                                               "\"Palette\"=\"C:\\\\a \\\"b\\\"\"\n");
}

TEST(SettingsFormat, RoundTripsAwkwardNamesAndTexts) {
    const SettingsContents contents = {
        {kKey,
         {{"", SettingsValue::ofText("")},
          {"Max", SettingsValue::ofNumber(0xFFFFFFFFu)},
          {"Zero", SettingsValue::ofNumber(0)},
          {"Quote\"And\\Slash", SettingsValue::ofText("\\\\server\\\"x\"\\")},
          {"Controls", SettingsValue::ofText(std::string("a\nb\r\tc\x01\x1f\x7f", 9) +
                                             std::string(1, '\0') + "end")},
          {"Unicode", SettingsValue::ofText("Fraktale/\xC3\xA9t\xC3\xA9/\xF0\x9F\x98\x80")},
          {"NotUtf8", SettingsValue::ofText("bad\xFF\xFE")}}},
        {"Software\\Velk\\Empty", {}},
        {"Software\\Velk\\Corvane2", {{"Fractal", SettingsValue::ofNumber(7)}}},
    };
    const std::string text = serializeSettings(contents);
    EXPECT_EQ(parseSettings(text), contents);
    for (char c : text) {
        if (c != '\n') {
            EXPECT_GE(static_cast<unsigned char>(c), 0x20) << "raw control character";
        }
    }
}

TEST(SettingsFormat, DamagedLinesAreSkippedAndTheRestIsKept) {
    const SettingsKeyValues good = {{"Good", SettingsValue::ofNumber(1)}};
    struct Case {
        const char* what;
        std::string text;
        SettingsContents expected;
    };
    const std::vector<Case> cases = {
        {"value before any section",
         "\"Early\"=dword:00000001\n" + kSection + "\"Good\"=dword:00000001\n", oneKey(good)},
        {"binary garbage",
         kSection + "\x89PNG\r\n\x1a\n\xff\xfe\x01\x02\n\"Good\"=dword:00000001\n", oneKey(good)},
        // Appended: gcc 12 -O3 falsely warns on kSection + std::string&& (-Wrestrict, bug 105651).
        {"NUL bytes",
         std::string(kSection).append("\"A\"=\"x\0y\"\n\0\0\0\n", 14) + "\"Good\"=dword:00000001",
         oneKey(good)},
        {"unterminated text", kSection + "\"Good\"=dword:00000001\n\"A\"=\"abc\n", oneKey(good)},
        {"truncated number", kSection + "\"Good\"=dword:00000001\n\"A\"=dword:0000", oneKey(good)},
        {"bad hex", kSection + "\"A\"=dword:0000zz2a\n\"Good\"=dword:00000001\n", oneKey(good)},
        {"too many digits", kSection + "\"A\"=dword:000000001\n\"Good\"=dword:00000001\n",
         oneKey(good)},
        {"other value type", kSection + "\"A\"=hex:01,02\n\"B\"=qword:0\n\"Good\"=dword:00000001\n",
         oneKey(good)},
        {"bad escape", kSection + "\"A\"=\"a\\qb\"\n\"B\"=\"\\x4\"\n\"Good\"=dword:00000001\n",
         oneKey(good)},
        {"junk after value", kSection + "\"A\"=\"x\" junk\n\"Good\"=dword:00000001\n",
         oneKey(good)},
        {"unquoted name", kSection + "A=dword:00000001\n@=\"x\"\n\"Good\"=dword:00000001\n",
         oneKey(good)},
        {"same name twice, last wins", kSection + "\"Good\"=\"first\"\n\"Good\"=dword:00000001\n",
         oneKey(good)},
        {"foreign root does not take over values",
         kSection +
             "\"Good\"=dword:00000001\n[HKEY_LOCAL_MACHINE\\Software]\n\"B\"=dword:00000002\n",
         oneKey(good)},
        {"unclosed section",
         kSection + "\"Good\"=dword:00000001\n[HKEY_CURRENT_USER\\X\n\"B\"=dword:00000002\n",
         oneKey(good)},
        {"CRLF, BOM, blanks, comments",
         "\xEF\xBB\xBF" +
             std::string("; note\r\n  [HKEY_CURRENT_USER\\Software\\Velk\\Corvane]  \r\n") +
             "\t\"Good\"=dword:00000001 \r\n\r\n",
         oneKey(good)},
        {"empty file", "", {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(parseSettings(c.text), c.expected) << c.what;
    }
}

// Whatever bytes the file holds, parsing does not crash and what it yields survives a
// write and a re-read unchanged.
TEST(SettingsFormat, RandomBytesParseToAStableResult) {
    std::mt19937 random(12345);
    const std::string alphabet = "[]\"\\=:dwordHKEY_CURRENT_USER\\x0af\n\r\t \x01\xff";
    for (int round = 0; round < 2000; ++round) {
        std::string text = kSection;
        const int length = static_cast<int>(random() % 200);
        for (int i = 0; i < length; ++i) {
            text += random() % 4 == 0 ? static_cast<char>(random() % 256)
                                      : alphabet[random() % alphabet.size()];
        }
        const SettingsContents parsed = parseSettings(text);
        EXPECT_EQ(parseSettings(serializeSettings(parsed)), parsed) << "round " << round;
    }
}

class FileSettingsStoreTest : public ::testing::Test {
  protected:
    TempFolder folder;
    std::string storePath = folder.file("config/Velk/Corvane.reg");
};

TEST_F(FileSettingsStoreTest, FirstWriteCreatesFolderAndFile) {
    FileSettingsStore store(storePath);
    EXPECT_FALSE(store.keyExists(kKey));
    EXPECT_FALSE(store.read(kKey, "Alarm"));
    EXPECT_FALSE(std::filesystem::exists(storePath)) << "reads never create the store";

    ASSERT_TRUE(store.write(kKey, "Alarm", SettingsValue::ofNumber(0)));
    EXPECT_TRUE(store.keyExists(kKey));
    EXPECT_EQ(store.read(kKey, "Alarm"), SettingsValue::ofNumber(0));
    EXPECT_EQ(TempFolder::read(storePath), kSection + "\"Alarm\"=dword:00000000\n");
}

// An empty or blank file is a store that holds nothing yet.
TEST_F(FileSettingsStoreTest, AnEmptyOrBlankFileIsWrittenAsAStore) {
    for (const char* text : {"", "\n \t\r\n", "\xEF\xBB\xBF"}) {
        std::filesystem::create_directories(std::filesystem::path(storePath).parent_path());
        folder.write("config/Velk/Corvane.reg", text);
        FileSettingsStore store(storePath);
        ASSERT_TRUE(store.write(kKey, "Alarm", SettingsValue::ofNumber(0)));
        EXPECT_EQ(TempFolder::read(storePath), kSection + "\"Alarm\"=dword:00000000\n");
        EXPECT_EQ(store.takeProblem(), std::nullopt);
    }
}

TEST_F(FileSettingsStoreTest, CreateKeyMakesAnEmptyKeyOnce) {
    FileSettingsStore store(storePath);
    ASSERT_TRUE(store.createKey(kKey));
    EXPECT_TRUE(store.keyExists(kKey));
    ASSERT_TRUE(store.write(kKey, "Fractal", SettingsValue::ofNumber(5)));
    ASSERT_TRUE(store.createKey(kKey));
    EXPECT_EQ(store.read(kKey, "Fractal"), SettingsValue::ofNumber(5));
}

TEST_F(FileSettingsStoreTest, SecondStoreSeesTheFirstStoresWrites) {
    FileSettingsStore first(storePath);
    FileSettingsStore second(storePath);
    ASSERT_TRUE(first.write(kKey, "Palette", SettingsValue::ofText("/home/me/fire.pal")));
    EXPECT_EQ(second.read(kKey, "Palette"), SettingsValue::ofText("/home/me/fire.pal"));
    ASSERT_TRUE(second.write(kKey, "Palette", SettingsValue::ofNumber(3)));
    EXPECT_EQ(first.read(kKey, "Palette"), SettingsValue::ofNumber(3)) << "a value may change type";
}

TEST_F(FileSettingsStoreTest, WriteToDamagedStoreKeepsEveryValueThatParsed) {
    std::filesystem::create_directories(std::filesystem::path(storePath).parent_path());
    folder.write("config/Velk/Corvane.reg",
                 kSection +
                     "\"Fractal\"=dword:00000005\n\x01\x02garbage\x00\n\"Broken\"=dword:12\n"s +
                     "\"Mandelbrot\"=\"-2,2,-2,2\"\n\"Cut\"=\"abc");
    FileSettingsStore store(storePath);
    ASSERT_TRUE(store.write(kKey, "Alarm", SettingsValue::ofNumber(1)));
    EXPECT_EQ(parseSettings(TempFolder::read(storePath)),
              oneKey({{"Alarm", SettingsValue::ofNumber(1)},
                      {"Fractal", SettingsValue::ofNumber(5)},
                      {"Mandelbrot", SettingsValue::ofText("-2,2,-2,2")}}));
}

// A rewrite replaces the file (a new inode); a write that changes nothing must not.
TEST_F(FileSettingsStoreTest, OnlyWritesThatChangeSomethingReplaceTheFile) {
    struct Case {
        const char* what;
        SettingsKeyValues values;
        bool replaces;
    };
    const Case cases[] = {
        {"the same number", {{"Alarm", SettingsValue::ofNumber(1)}}, false},
        {"the same text", {{"Mandelbrot", SettingsValue::ofText("-2,2,-2,2")}}, false},
        {"all the same values at once",
         {{"Alarm", SettingsValue::ofNumber(1)},
          {"Mandelbrot", SettingsValue::ofText("-2,2,-2,2")}},
         false},
        {"nothing", {}, false},
        {"another number", {{"Alarm", SettingsValue::ofNumber(0)}}, true},
        {"a number in place of a text", {{"Mandelbrot", SettingsValue::ofNumber(0)}}, true},
        {"a new value", {{"Fractal", SettingsValue::ofNumber(5)}}, true},
        {"one change among same values",
         {{"Alarm", SettingsValue::ofNumber(1)},
          {"Mandelbrot", SettingsValue::ofText("-1,1,-1,1")}},
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FileSettingsStore store(storePath);
        ASSERT_TRUE(store.writeValues(kKey, {{"Alarm", SettingsValue::ofNumber(1)},
                                             {"Mandelbrot", SettingsValue::ofText("-2,2,-2,2")}}));
        struct stat before {};
        ASSERT_EQ(::stat(storePath.c_str(), &before), 0);
        ASSERT_TRUE(store.writeValues(kKey, c.values));
        struct stat after {};
        ASSERT_EQ(::stat(storePath.c_str(), &after), 0);
        EXPECT_EQ(after.st_ino != before.st_ino, c.replaces);
        for (const auto& [name, value] : c.values)
            EXPECT_EQ(store.read(kKey, name), value) << name;
        std::filesystem::remove(storePath);
    }
}

// The flag that makes a file unchangeable even for the superuser, for as long as the
// object lives.
class ImmutableFlag {
  public:
    explicit ImmutableFlag(const std::string& path) : path_(path) { set_ = change(true); }
    ~ImmutableFlag() {
        if (set_)
            change(false);
    }
    ImmutableFlag(const ImmutableFlag&) = delete;
    ImmutableFlag& operator=(const ImmutableFlag&) = delete;
    bool isSet() const { return set_; }

  private:
    bool change(bool on) {
        const int fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return false;
        int flags = 0;
        bool done = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
        flags = on ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
        done = done && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
        ::close(fd);
        return done;
    }
    std::string path_;
    bool set_ = false;
};

// What stands where the store should be, and what the problem then says.
struct BrokenStoreCase {
    const char* what;
    std::function<std::string(const TempFolder&)> make;  // returns the store's path
    std::string reason;
};

// The bytes of a regular file (never opening anything else, which could block).
std::optional<std::string> fileBytes(const std::string& path) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(std::filesystem::symlink_status(path, ec)))
        return std::nullopt;
    return TempFolder::read(path);
}

std::string storeWithValues(const TempFolder& folder, const std::string& name) {
    return folder.write(name, kSection + "\"Fractal\"=dword:00000007\n");
}

// A store that cannot be read or written keeps what it is given in memory, says why
// (once for each problem) and leaves whatever is there exactly as it was.
TEST(FileSettingsStoreFaults, AStoreThatCannotBeUsedKeepsValuesInMemoryAndSaysWhy) {
    const std::vector<BrokenStoreCase> cases = {
        {"a folder",
         [](const TempFolder& f) {
             std::filesystem::create_directory(f.path() / "Corvane.reg");
             return f.file("Corvane.reg");
         },
         "Cannot read the settings file %s: Is a directory."},
        {"a named pipe",
         [](const TempFolder& f) {
             ::mkfifo(f.file("Corvane.reg").c_str(), 0600);
             return f.file("Corvane.reg");
         },
         "Cannot read the settings file %s: a named pipe, not a regular file."},
        {"a private null device",
         [](const TempFolder& f) {
             const std::string path = f.file("Corvane.reg");
             return ::mknod(path.c_str(), S_IFCHR | 0600, ::makedev(1, 3)) == 0 ? path : "";
         },
         "Cannot read the settings file %s: a device, not a regular file."},
        {"a file where its folder should be",
         [](const TempFolder& f) { return f.write("Velk", "x") + "/Corvane.reg"; },
         "Cannot read the settings file %s: Not a directory."},
        {"a loop of links",
         [](const TempFolder& f) {
             std::filesystem::create_symlink("loop", f.path() / "Corvane.reg");
             std::filesystem::create_symlink("Corvane.reg", f.path() / "loop");
             return f.file("Corvane.reg");
         },
         "Cannot read the settings file %s: Too many levels of symbolic links."},
        {"a name too long",
         [](const TempFolder& f) { return f.file(std::string(300, 'n') + ".reg"); },
         "Cannot read the settings file %s: File name too long."},
        {"a file larger than any store",
         [](const TempFolder& f) {
             std::string text = kSection + "\"Fractal\"=dword:00000007\n";
             text += std::string(kMaxSettingsFileBytes, ';') + "\n\"Late\"=dword:00000001\n";
             return f.write("Corvane.reg", text);
         },
         "Cannot read the settings file %s: too large (more than 16 MiB)."},
        // Another program's file named as the store is never replaced by ours.
        {"a text file of notes",
         [](const TempFolder& f) { return f.write("Corvane.reg", "buy milk\n\"Alarm\"=x\n"); },
         "Cannot read the settings file %s: not a settings file"},
        {"random bytes",
         [](const TempFolder& f) {
             std::string bytes;
             for (int i = 0; i < 4096; ++i)
                 bytes += static_cast<char>((i * 7919 + 13) % 256);
             return f.write("Corvane.reg", bytes);
         },
         "Cannot read the settings file %s: not a settings file"},
        {"values without the section line",
         [](const TempFolder& f) {
             return f.write("Corvane.reg", "\"Fractal\"=dword:00000005\n[Other]\n");
         },
         "Cannot read the settings file %s: not a settings file"},
    };
    for (const BrokenStoreCase& c : cases) {
        SCOPED_TRACE(c.what);
        const TempFolder folder;
        const std::string path = c.make(folder);
        if (path.empty())
            continue;  // this process may not make such a node
        std::error_code ec;
        const auto before = std::filesystem::symlink_status(path, ec).type();
        const std::optional<std::string> bytes = fileBytes(path);
        FileSettingsStore store(path);

        EXPECT_FALSE(store.write(kKey, "Alarm", SettingsValue::ofNumber(1)));
        EXPECT_FALSE(store.writeValues(kKey, {{"Alarm", SettingsValue::ofNumber(1)},
                                              {"Mandelbrot", SettingsValue::ofText("-1,1")}}));
        EXPECT_EQ(store.read(kKey, "Alarm"), SettingsValue::ofNumber(1));
        EXPECT_EQ(store.read(kKey, "Mandelbrot"), SettingsValue::ofText("-1,1"));
        EXPECT_TRUE(store.keyExists(kKey));

        std::string expected = c.reason;
        expected.replace(expected.find("%s"), 2, path);
        const std::optional<std::string> problem = store.takeProblem();
        ASSERT_TRUE(problem.has_value());
        EXPECT_EQ(problem->substr(0, expected.size()), expected) << *problem;
        EXPECT_EQ(store.takeProblem(), std::nullopt) << "each problem once";

        EXPECT_EQ(std::filesystem::symlink_status(path, ec).type(), before);
        EXPECT_TRUE(fileBytes(path) == bytes) << "left byte for byte";
    }
}

TEST(FileSettingsStoreFaults, AnOversizedStoreIsReadInPartAndNeverRewritten) {
    const TempFolder folder;
    std::string text = kSection + "\"First\"=dword:00000001\n";
    const std::string filler = "; " + std::string(1022, 'x') + "\n";
    while (text.size() < kMaxSettingsFileBytes - 10)
        text += filler;
    text += "\"Cut\"=dword:12345678\n\"Late\"=dword:00000002\n";
    const std::string path = folder.write("Corvane.reg", text);

    FileSettingsStore store(path);
    EXPECT_EQ(store.read(kKey, "First"), SettingsValue::ofNumber(1));
    EXPECT_FALSE(store.read(kKey, "Cut")) << "no value is read short";
    EXPECT_FALSE(store.read(kKey, "Late"));
    EXPECT_FALSE(store.write(kKey, "Alarm", SettingsValue::ofNumber(1)));
    EXPECT_EQ(store.read(kKey, "Alarm"), SettingsValue::ofNumber(1));
    EXPECT_EQ(store.read(kKey, "First"), SettingsValue::ofNumber(1));
    EXPECT_TRUE(TempFolder::read(path) == text) << "left byte for byte";
}

// Immutable, or on a disk that is full: the file is read but cannot be replaced.
TEST(FileSettingsStoreFaults, AStoreThatCannotBeReplacedSaysWhyAndKeepsTheFile) {
    const TempFolder folder;
    const std::string path = storeWithValues(folder, "Corvane.reg");
    const std::string bytes = TempFolder::read(path);
    {
        const ImmutableFlag immutable(path);
        if (immutable.isSet()) {
            FileSettingsStore store(path);
            EXPECT_FALSE(store.write(kKey, "Alarm", SettingsValue::ofNumber(1)));
            EXPECT_EQ(store.read(kKey, "Alarm"), SettingsValue::ofNumber(1));
            EXPECT_EQ(store.read(kKey, "Fractal"), SettingsValue::ofNumber(7));
            EXPECT_EQ(store.takeProblem(), "Cannot write the settings file " + path +
                                               ": Operation not permitted. Settings changed "
                                               "now last only until Corvane ends.");
            EXPECT_EQ(TempFolder::read(path), bytes);
        }
    }
    // A file size limit stands in for a full disk, in a child so that it stays there.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{16, 16};
        FileSettingsStore store(path);
        const bool refused = ::setrlimit(RLIMIT_FSIZE, &limit) == 0 &&
                             !store.write(kKey, "Alarm", SettingsValue::ofNumber(1)) &&
                             store.read(kKey, "Alarm") == SettingsValue::ofNumber(1);
        const std::optional<std::string> problem = store.takeProblem();
        ::_exit(refused && problem && problem->find(": File too large.") != std::string::npos ? 0
                                                                                              : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(TempFolder::read(path), bytes);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()),
                            std::filesystem::directory_iterator()),
              2)
        << "the store and its lock, no temporary file";
}

// Values kept in memory reach the file with the first write that succeeds.
TEST(FileSettingsStoreFaults, KeptValuesAreStoredOnceTheFileCanBeWritten) {
    const TempFolder folder;
    const std::string blocker = folder.write("Velk", "x");
    FileSettingsStore store(folder.file("Velk/Corvane.reg"));
    EXPECT_FALSE(store.write(kKey, "Alarm", SettingsValue::ofNumber(1)));
    std::filesystem::remove(blocker);
    EXPECT_TRUE(store.write(kKey, "Fractal", SettingsValue::ofNumber(5)));
    EXPECT_EQ(
        parseSettings(TempFolder::read(folder.file("Velk/Corvane.reg"))),
        oneKey({{"Alarm", SettingsValue::ofNumber(1)}, {"Fractal", SettingsValue::ofNumber(5)}}));
}

TEST_F(FileSettingsStoreTest, WritesLeaveNoTemporaryFilesAndKeepALinkedStore) {
    const std::string real = folder.write("real.reg", "");
    const std::string link = folder.file("link.reg");
    std::filesystem::create_symlink(real, link);
    FileSettingsStore store(link);
    for (std::uint32_t i = 0; i < 5; ++i) {
        // Appended: gcc 12 -O3 falsely warns on "N" + std::string&& (-Wrestrict, bug 105651).
        const std::string name = std::string("N").append(std::to_string(i));
        ASSERT_TRUE(store.write(kKey, name, SettingsValue::ofNumber(i)));
    }
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(parseSettings(TempFolder::read(real))[kKey].size(), 5u);
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder.path())) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"link.reg", "real.reg", "real.reg.lock"}));
}

// Two writers at once, each with its own store object: the lock keeps every update.
TEST_F(FileSettingsStoreTest, ConcurrentWritersLoseNoValue) {
    constexpr int kPerWriter = 40;
    auto writer = [&](char prefix) {
        FileSettingsStore store(storePath);
        for (int i = 0; i < kPerWriter; ++i) {
            store.write(kKey, prefix + std::to_string(i),
                        SettingsValue::ofNumber(static_cast<std::uint32_t>(i)));
        }
    };
    std::thread a(writer, 'a');
    std::thread b(writer, 'b');
    a.join();
    b.join();
    EXPECT_EQ(parseSettings(TempFolder::read(storePath))[kKey].size(),
              static_cast<std::size_t>(2 * kPerWriter));
}

// A writer killed at any moment leaves a store that parses and holds every earlier value.
TEST_F(FileSettingsStoreTest, KilledWriterNeverDamagesTheStore) {
    FileSettingsStore store(storePath);
    const SettingsKeyValues before = {
        {"Fractal", SettingsValue::ofNumber(5)},
        {"Palette", SettingsValue::ofText("/home/me/palettes/fire.pal")},
        {"Mandelbrot", SettingsValue::ofText("-2.5,1.5,-1.5,1.5,256,0,0,1,0,0")},
    };
    for (const auto& [name, value] : before)
        ASSERT_TRUE(store.write(kKey, name, value));

    std::mt19937 random(777);
    for (int round = 0; round < 12; ++round) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            FileSettingsStore writer(storePath);
            for (std::uint32_t i = 0;; ++i) {
                writer.write(kKey, "Counter", SettingsValue::ofNumber(i));
                writer.write(kKey, "Filler" + std::to_string(i % 50),
                             SettingsValue::ofText(std::string(i % 300, 'f')));
            }
        }
        std::this_thread::sleep_for(std::chrono::microseconds(2000 + random() % 20000));
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);

        const SettingsContents contents = parseSettings(TempFolder::read(storePath));
        ASSERT_TRUE(contents.contains(kKey)) << "round " << round;
        for (const auto& [name, value] : before) {
            EXPECT_EQ(contents.at(kKey).at(name), value) << name << " in round " << round;
        }
        // The store stays writable: a lock held by the dead writer is gone with it.
        ASSERT_TRUE(store.write(kKey, "Round", SettingsValue::ofNumber(round)));
    }
}

class DefaultPathTest : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const char* name : {"CORVANE_SETTINGS", "XDG_CONFIG_HOME", "HOME"}) {
            const char* value = std::getenv(name);
            saved_.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
        }
    }
    void TearDown() override {
        for (const auto& [name, value] : saved_)
            set(name, value ? value->c_str() : nullptr);
    }
    static void set(const char* name, const char* value) {
        if (value != nullptr) {
            ::setenv(name, value, 1);
        } else {
            ::unsetenv(name);
        }
    }

  private:
    std::vector<std::pair<const char*, std::optional<std::string>>> saved_;
};

TEST_F(DefaultPathTest, PrefersTheExplicitFileThenXdgThenHome) {
    struct Case {
        const char* settings;
        const char* xdg;
        const char* expected;
    };
    const Case cases[] = {
        {"/tmp/x/test.reg", "/xdg", "/tmp/x/test.reg"},
        {nullptr, "/xdg", "/xdg/Velk/Corvane.reg"},
        {"", "", "/home/tester/.config/Velk/Corvane.reg"},
        {nullptr, nullptr, "/home/tester/.config/Velk/Corvane.reg"},
    };
    set("HOME", "/home/tester");
    for (const Case& c : cases) {
        set("CORVANE_SETTINGS", c.settings);
        set("XDG_CONFIG_HOME", c.xdg);
        EXPECT_EQ(FileSettingsStore::defaultPath(), c.expected);
    }
}

}  // namespace
}  // namespace platform
