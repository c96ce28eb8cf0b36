// The frame jobs of corvane-render on a zoom path, run as the separate program it is.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "platform/temp_folder.h"
#include "support/render_tool_run.h"

namespace {

using testing_support::TempFolder;

const std::string& kProgram = testing_support::kRenderProgram;

// 48x27 frames down to 1e-20: the last frames are deep.
constexpr const char* kDeepPath =
    "# to a point near the spiral\n"
    "start-centre -0.75 0\nstart-width 3\n"
    "centre -0.743643887037158704752191506114774 0.131825904205311970493132056385139\n"
    "width 1e-20\nper-doubling 1\nsize 48x27\niterations 600\n";
constexpr long kDeepPathFrames = 69;  // round(log2(3e20)) + 1

// A few shallow frames, quick to make.
constexpr const char* kShortPath =
    "start-centre -0.5 0\nstart-width 3\ncentre -0.6 0.2\n"
    "width 0.375\nper-doubling 2\nsize 40x30\n";

using testing_support::ToolRun;

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> result;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        result.push_back(line);
    return result;
}

// The statuses the summary lines give, in order ("done", "skipped").
std::vector<std::string> statuses(const ToolRun& run) {
    std::vector<std::string> result;
    for (const std::string& line : lines(run.out)) {
        const std::size_t at = line.find("status=");
        if (line.rfind("frame=", 0) == 0 && at != std::string::npos)
            result.push_back(line.substr(at + 7, line.find(' ', at) - at - 7));
    }
    return result;
}

// A regular file's bytes; empty for anything else.
std::string contentOf(const std::string& name) {
    return std::filesystem::is_regular_file(name) ? TempFolder::read(name) : std::string();
}

class FrameJobs : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!std::filesystem::exists(kProgram))
            GTEST_SKIP() << "corvane-render is not built";
    }
    TempFolder folder;
};

// A frame rendered alone is the frame a range renders, whatever the threads.
TEST_F(FrameJobs, AFrameAloneEqualsTheSameFrameOfARange) {
    const std::string path = folder.write("deep.path", kDeepPath);
    const ToolRun count = testing_support::runRender(folder, {"--path", path, "--frame-count"});
    ASSERT_EQ(count.exitCode, 0) << count.err;
    EXPECT_EQ(count.out, std::to_string(kDeepPathFrames) + "\n");

    std::filesystem::create_directories(folder.file("range"));
    const ToolRun range = testing_support::runRender(
        folder,
        {"--path", path, "--frames", "0-2", "--threads", "1", folder.file("range/f-%02d.png")});
    ASSERT_EQ(range.exitCode, 0) << range.err;
    const ToolRun deep = testing_support::runRender(
        folder,
        {"--path", path, "--frames", "65-68", "--threads", "3", folder.file("range/f-%02d.png")});
    ASSERT_EQ(deep.exitCode, 0) << deep.err;
    EXPECT_EQ(statuses(deep), (std::vector<std::string>{"done", "done", "done", "done"}));
    for (const long k : {1L, 66L, 68L}) {
        const std::string alone = folder.file("alone-" + std::to_string(k) + ".png");
        const ToolRun run = testing_support::runRender(
            folder, {"--path", path, "--frame", std::to_string(k), "--threads", "2", alone});
        ASSERT_EQ(run.exitCode, 0) << run.err;
        const std::string inRange =
            folder.file("range/f-" + std::string(k < 10 ? "0" : "") + std::to_string(k) + ".png");
        EXPECT_EQ(TempFolder::read(alone), TempFolder::read(inRange)) << "frame " << k;
    }
    // The same path given on the command line makes the same frames.
    const std::string fromOptions = folder.file("options.png");
    const ToolRun options = testing_support::runRender(
        folder, {"--center", "-0.75,0", "--width", "3", "--zoom-to",
                 "-0.743643887037158704752191506114774,0.131825904205311970493132056385139",
                 "--zoom-width", "1e-20", "--per-doubling", "1", "--size", "48x27", "--iterations",
                 "600", "--frame", "66", fromOptions});
    ASSERT_EQ(options.exitCode, 0) << options.err;
    EXPECT_EQ(TempFolder::read(fromOptions), TempFolder::read(folder.file("range/f-66.png")));
}

// The path's reference saved once serves every deep frame: the frames are those a job
// that computes the reference itself makes; another path's reference is refused.
TEST_F(FrameJobs, ASavedPathReferenceGivesTheSameFramesAndServesNoOtherPath) {
    const std::string path = folder.write("deep.path", kDeepPath);
    const std::string reference = folder.file("deep.ref");
    const ToolRun saved =
        testing_support::runRender(folder, {"--path", path, "--save-reference", reference});
    ASSERT_EQ(saved.exitCode, 0) << saved.err;
    for (const long k : {0L, 60L, 68L}) {
        const std::string own = folder.file("own-" + std::to_string(k) + ".png");
        const std::string read = folder.file("read-" + std::to_string(k) + ".png");
        const std::string frame = std::to_string(k);
        ASSERT_EQ(
            testing_support::runRender(folder, {"--path", path, "--frame", frame, own}).exitCode,
            0);
        const ToolRun run = testing_support::runRender(
            folder, {"--path", path, "--reference", reference, "--frame", frame, read});
        ASSERT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(TempFolder::read(own), TempFolder::read(read)) << "frame " << k;
    }
    struct Refused {
        const char* change;  // replaces "iterations 600"
        int exitCode;
        const char* message;
    };
    for (const Refused& c : {Refused{"iterations 700", 1, "another limit or precision"},
                             Refused{"iterations auto", 1, "compute their own reference"}}) {
        std::string text = kDeepPath;
        text.replace(text.find("iterations 600"), 14, c.change);
        const std::string other = folder.write("other.path", text);
        const ToolRun run = testing_support::runRender(
            folder,
            {"--path", other, "--reference", reference, "--frame", "68", folder.file("other.png")});
        EXPECT_EQ(run.exitCode, c.exitCode) << c.change;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        EXPECT_FALSE(std::filesystem::exists(folder.file("other.png"))) << c.change;
    }
}

// Frames made from keyframes: a frame alone is the frame of a range (deep frames with the
// path's reference included), finished frames are skipped, and the frames are not the
// frames rendered one by one (they are means of the keyframe's samples).
TEST_F(FrameJobs, FramesFromKeyframesAreTheSameAloneOrInARange) {
    std::string text = kDeepPath;
    text.replace(text.find("per-doubling 1"), 14, "per-doubling 4\nkeyframe-every 4");
    const std::string path = folder.write("keyed.path", text);
    const std::string plain = folder.write("plain.path", kDeepPath);
    std::filesystem::create_directories(folder.file("range"));
    const std::string pattern = folder.file("range/f-%03d.png");
    for (const char* frames : {"8-11", "268-271"}) {
        const ToolRun range =
            testing_support::runRender(folder, {"--path", path, "--frames", frames, pattern});
        ASSERT_EQ(range.exitCode, 0) << range.err;
        const ToolRun again =
            testing_support::runRender(folder, {"--path", path, "--frames", frames, pattern});
        EXPECT_EQ(again.exitCode, 3) << frames;
    }
    for (const int k : {10, 270}) {
        const std::string alone = folder.file("alone.png");
        const ToolRun run = testing_support::runRender(
            folder, {"--path", path, "--frame", std::to_string(k), "--threads", "1", alone});
        ASSERT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(TempFolder::read(alone),
                  TempFolder::read(folder.file("range/f-" + std::to_string(k / 100) +
                                               std::to_string(k / 10 % 10) +
                                               std::to_string(k % 10) + ".png")))
            << "frame " << k;
    }
    const ToolRun plan = testing_support::runRender(folder, {"--path", path, "--plan", pattern});
    ASSERT_EQ(plan.exitCode, 0) << plan.err;
    EXPECT_NE(plan.out.find("'--frames' '8-11'"), std::string::npos) << "one job a keyframe";
}

struct FileState {
    const char* what;
    // Makes the state of frame 1's file; frames/f-1.png from a first run is there.
    void (*prepare)(const TempFolder& folder);
    std::vector<std::string> extraArguments;
    int exitCode;
    const char* status;  // of frame 1; nullptr: no summary line
    bool frameAfter;     // a finished frame is there afterwards
};

void keep(const TempFolder&) {}

void removeFrame(const TempFolder& folder) {
    std::filesystem::remove(folder.file("frames/f-1.png"));
}

void truncateFrame(const TempFolder& folder) {
    const std::string name = folder.file("frames/f-1.png");
    std::filesystem::resize_file(name, std::filesystem::file_size(name) - 20);
}

void otherPathsFrame(const TempFolder& folder) {
    const std::string other = folder.write("other.path", std::string(kShortPath) + "offset 3\n");
    std::filesystem::remove(folder.file("frames/f-1.png"));
    ASSERT_EQ(testing_support::runRender(
                  folder, {"--path", other, "--frame", "1", folder.file("frames/f-1.png")})
                  .exitCode,
              0);
}

void folderInPlace(const TempFolder& folder) {
    removeFrame(folder);
    std::filesystem::create_directories(folder.file("frames/f-1.png/inside"));
}

TEST_F(FrameJobs, FinishedFramesAreSkippedAndEveryOtherIsMadeAgain) {
    const std::vector<FileState> cases = {
        {"missing", removeFrame, {}, 0, "done", true},
        {"finished", keep, {}, 3, "skipped", true},
        {"finished, skipped exit 0", keep, {"--skipped-exit", "0"}, 0, "skipped", true},
        {"cut off", truncateFrame, {}, 0, "done", true},
        {"another path's", otherPathsFrame, {}, 0, "done", true},
        {"a folder in its place", folderInPlace, {}, 1, nullptr, false},
    };
    const std::string path = folder.write("short.path", kShortPath);
    const std::string frames = folder.file("frames");
    for (const FileState& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove_all(frames);
        std::filesystem::create_directories(frames);
        ASSERT_EQ(testing_support::runRender(
                      folder, {"--path", path, "--frames", "0-1", frames + "/f-%d.png"})
                      .exitCode,
                  0);
        const std::string before = contentOf(folder.file("frames/f-1.png"));
        ASSERT_FALSE(before.empty());
        c.prepare(folder);
        std::vector<std::string> arguments = {"--path", path, "--frame", "1"};
        arguments.insert(arguments.end(), c.extraArguments.begin(), c.extraArguments.end());
        arguments.push_back(frames + "/f-%d.png");
        const ToolRun run = testing_support::runRender(folder, arguments);
        EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
        if (c.status != nullptr)
            EXPECT_EQ(statuses(run), std::vector<std::string>{c.status});
        else
            EXPECT_NE(run.err.find("cannot write frame 1"), std::string::npos) << run.err;
        EXPECT_EQ(contentOf(folder.file("frames/f-1.png")) == before, c.frameAfter);
        // Nothing but the frames (and the folder put in one's place).
        EXPECT_EQ(testing_support::folderEntries(frames),
                  (std::vector<std::string>{"f-0.png", "f-1.png"}));
    }
}

TEST_F(FrameJobs, AFailedWriteLeavesNothingHalfWritten) {
    const std::string path = folder.write("short.path", kShortPath);
    const std::string frames = folder.file("frames");
    std::filesystem::create_directories(frames);
    // An earlier frame 0 of another path stays as it was when its replacement fails.
    const std::string earlier = folder.write("frames/f-0.png", "an earlier picture");
    struct Failure {
        const char* what;
        std::string prefix;  // shell commands before the program
        std::string pattern;
        bool needsOrdinaryUser;
    };
    const std::vector<Failure> cases = {
        {"no such folder", "", folder.file("nowhere/f-%d.png"), false},
        {"a file size limit", "ulimit -f 1; ", frames + "/f-%d.png", false},
        {"a folder that cannot be written",
         "chmod 555 " + testing_support::shellQuoted(frames) + "; ", frames + "/f-%d.png", true},
    };
    for (const Failure& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.needsOrdinaryUser && ::geteuid() == 0)
            continue;  // the superuser writes into any folder
        std::string command = "(" + c.prefix + testing_support::shellQuoted(kProgram);
        for (const std::string& a :
             {std::string("--path"), path, std::string("--frames"), std::string("0-2"), c.pattern})
            command.append(" ").append(testing_support::shellQuoted(a));
        const ToolRun run = testing_support::runCommand(folder, command + ")");
        ::chmod(frames.c_str(), 0755);
        EXPECT_EQ(run.exitCode, 1) << run.err;
        EXPECT_NE(run.err.find("cannot write frame 0"), std::string::npos) << run.err;
        EXPECT_TRUE(statuses(run).empty());
        EXPECT_EQ(testing_support::folderEntries(frames), std::vector<std::string>{"f-0.png"});
        EXPECT_EQ(TempFolder::read(earlier), "an earlier picture");
    }
}

struct RefusedJob {
    std::vector<std::string> arguments;  // "PATH" is the short path's file
    const char* message;
};

TEST_F(FrameJobs, BadFrameJobsAreRefusedWithExitCode2) {
    const std::string path = folder.write("short.path", kShortPath);
    const std::string bad = folder.write("bad.path", "centre 0 0\nwidth 1\nper-doubling 0\n");
    const std::string out = folder.file("f-%d.png");
    const std::vector<RefusedJob> cases = {
        {{"--path", "PATH", "--frame", "7", out}, "beyond the path's 7 frames"},
        {{"--path", "PATH", "--frames", "0-3", folder.file("one.png")}, "holds no frame number"},
        {{"--path", "PATH", "--frame", "1", folder.file("f-%s.png")}, "no %d, %5d or %05d"},
        {{"--path", "PATH", "--frame", "1", folder.file("f-%d.bmp")}, "does not end in .png"},
        {{"--path", "PATH", "--frames", "3-1", out}, "bad --frames 3-1"},
        {{"--path", "PATH", "--frame", "1", "--type", "Julia", out}, "does not go with --path"},
        {{"--path", "PATH", "--frame", "1", "--per-doubling", "3", out}, "the path file gives"},
        {{"--path", "PATH", "--frame", "1", "--palette", "p.map", out}, "--palette does not go"},
        {{"--path", "PATH", out}, "one of --frame K, --frames A-B"},
        {{"--path", "PATH", "--frame", "1", "--frame-count"}, "one of --frame K"},
        {{"--path", "PATH", "--frame-count", out}, "--frame-count takes no OUTPUT"},
        {{"--path", "PATH", "--frame", "1", "--chunk", "2", out}, "--chunk goes with --plan"},
        {{"--path", "PATH", "--plan", out, "--skipped-exit", "0"}, "--skipped-exit goes with"},
        {{"--path", "PATH", "--frame", "1", "--skipped-exit", "256", out}, "bad --skipped-exit"},
        {{"--frame", "1", out}, "need a path"},
        {{"--zoom-to", "0,0", "--frame", "1", out}, "--zoom-to and --zoom-width go together"},
        {{"--zoom-to", "0,0", "--zoom-width", "1e-3", "--frame", "1", out},
         "--zoom-to needs --per-doubling"},
        {{"--path", "PATH", "--reference", "r.ref", "--frame-count"}, "--reference goes with"},
        {{"--path", "PATH", "--save-reference", "r.ref", out}, "--save-reference takes no OUTPUT"},
        {{"--path", bad, "--frame", "1", out}, "per-doubling is not a whole number"},
        {{"--path", folder.file("none.path"), "--frame", "1", out}, "none.path"},
        {{"--path", folder.path().string(), "--frame", "1", out}, "regular file"},
    };
    for (const RefusedJob& c : cases) {
        std::vector<std::string> arguments = c.arguments;
        for (std::string& a : arguments)
            a = a == "PATH" ? path : a;
        const ToolRun run = testing_support::runRender(folder, arguments);
        EXPECT_EQ(run.exitCode, 2) << c.message << ": " << run.err;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        EXPECT_TRUE(statuses(run).empty());
    }
    EXPECT_FALSE(std::filesystem::exists(folder.file("f-1.png")));
}

TEST_F(FrameJobs, APlanHasOneRunnableCommandPerFrameOrChunk) {
    const std::string path = folder.write("short.path", kShortPath);
    std::filesystem::create_directories(folder.file("frames"));
    struct PlanCase {
        std::vector<std::string> chunk;
        std::size_t commands;
        const char* frames;  // what the last command asks for
    };
    const std::vector<PlanCase> cases = {
        {{}, 7, "'--frame' '6'"},
        {{"--chunk", "3"}, 3, "'--frames' '6-6'"},
        {{"--chunk", "7"}, 1, "'--frames' '0-6'"},
        {{"--chunk", "100"}, 1, "'--frames' '0-6'"},
    };
    // Relative to the folder, as a person in it types them.
    const std::string inFolder =
        "cd " + testing_support::shellQuoted(folder.path().string()) + " && ";
    for (const PlanCase& c : cases) {
        std::string command = inFolder + testing_support::shellQuoted(kProgram) +
                              " --path short.path --plan " +
                              testing_support::shellQuoted("frames/f %03d.png");
        for (const std::string& a : c.chunk)
            command.append(" ").append(testing_support::shellQuoted(a));  // gcc 12 bug 105651
        const ToolRun plan = testing_support::runCommand(folder, command);
        ASSERT_EQ(plan.exitCode, 0) << plan.err;
        const std::vector<std::string> commands = lines(plan.out);
        ASSERT_EQ(commands.size(), c.commands);
        EXPECT_NE(commands.back().find(c.frames), std::string::npos) << commands.back();
        EXPECT_NE(commands.back().find(testing_support::shellQuoted(path)), std::string::npos)
            << commands.back();
        EXPECT_NE(commands.back().find("'--skipped-exit' '0'"), std::string::npos);
    }
    // A command of the plan runs as it stands, from any folder; run again it skips.
    const ToolRun plan = testing_support::runCommand(
        folder, inFolder + testing_support::shellQuoted(kProgram) + " --path short.path --plan " +
                    testing_support::shellQuoted("frames/f %03d.png"));
    ASSERT_EQ(plan.exitCode, 0) << plan.err;
    const std::string last = lines(plan.out).back();
    const ToolRun first = testing_support::runCommand(folder, "cd / && " + last);
    EXPECT_EQ(first.exitCode, 0) << first.err;
    EXPECT_EQ(statuses(first), std::vector<std::string>{"done"});
    EXPECT_TRUE(std::filesystem::exists(folder.file("frames/f 006.png")));
    const ToolRun again = testing_support::runCommand(folder, last);
    EXPECT_EQ(again.exitCode, 0) << again.err;
    EXPECT_EQ(statuses(again), std::vector<std::string>{"skipped"});
}

}  // namespace
