// corvane-render, run as the separate program it is.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spng.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "bmp_builder.h"
#include "catalogue/factory.h"
#include "engine/color_table.h"
#include "persist/bitmap_file.h"
#include "persist/picture_file.h"
#include "platform/c_format.h"
#include "platform/headless_window.h"
#include "platform/settings_store.h"
#include "platform/temp_folder.h"
#include "support/render_tool_run.h"

namespace {

using testing_support::TempFolder;

const std::string& kProgram = testing_support::kRenderProgram;

using testing_support::ToolRun;

// The type id and parameter string a picture file carries.
std::pair<engine::FractalType, std::string> trailerOf(const std::string& path) {
    const persist::BitmapLoad loaded = persist::loadBitmapFile(path);
    engine::FractalType type = 0;
    std::string params;
    if (loaded.ok()) {
        persist::readPictureTrailer(path, loaded.bitmap.width(), loaded.bitmap.height(), type,
                                    params, 255);
    }
    return {type, params};
}

class RenderTool : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!std::filesystem::exists(kProgram))
            GTEST_SKIP() << "corvane-render is not built";
    }
    TempFolder folder;
};

TEST_F(RenderTool, RendersTheDefaultMandelbrot) {
    const std::string output = folder.file("m.bmp");
    const ToolRun run = testing_support::runRender(folder, {output});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(std::regex_match(
        run.lastLine(),
        std::regex(R"(type=Mandelbrot size=240x268 points=64320 iterations=\d+ milliseconds=\d+)"
                   R"( reference_bytes=0)")))
        << run.lastLine();
    const persist::BitmapLoad loaded = persist::loadBitmapFile(output);
    ASSERT_TRUE(loaded.ok()) << loaded.error;
    EXPECT_EQ(loaded.bitmap.width(), 240);
    EXPECT_EQ(loaded.bitmap.height(), 268);
    EXPECT_EQ(trailerOf(output).first, engine::kMandelbrot);
}

TEST_F(RenderTool, ParametersAreAppliedAsAStoredString) {
    const std::string defaults = folder.file("defaults.bmp");
    ASSERT_EQ(testing_support::runRender(folder, {"--size", "60x40", defaults}).exitCode, 0);
    const std::string defaultParams = trailerOf(defaults).second;

    // A value beginning with '-' is the option's value, not another option.
    const std::string given = folder.file("given.bmp");
    const ToolRun run = testing_support::runRender(
        folder, {"--size", "60x40", "--params", "-1.5,-1,0.5,1,37,0,0,1,0,100", given});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    int iterations = 0;
    ASSERT_EQ(platform::cscan(trailerOf(given).second, "%*f,%*f,%*f,%*f,%d", &iterations), 1);
    EXPECT_EQ(iterations, 37);

    // A string its type's reader would take for damaged is refused, not rendered as
    // the object was constructed.
    const std::string damaged = folder.file("damaged.bmp");
    const ToolRun refused =
        testing_support::runRender(folder, {"--size", "60x40", "--params", "1,2", damaged});
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_NE(refused.err.find("--params: only 2 of its 10 fields can be read"), std::string::npos)
        << refused.err;
    EXPECT_FALSE(std::filesystem::exists(damaged));
}

// A view finer than the integer algorithm resolves is computed in double precision,
// the stored choice stays on, and the tool says so before its last line.
TEST_F(RenderTool, AFineViewIsComputedInDoublePrecision) {
    struct Case {
        const char* params;
        bool noted;
    };
    const Case cases[] = {
        {"-0.75,0.1,-0.7499999,0.1000001,100,0,0,1,0,100", true},
        {"-0.75,0.1,-0.7499,0.1001,100,0,0,1,0,100", false},
        {"-0.75,0.1,-0.7499999,0.1000001,100,0,0,0,0,100", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.params);
        const std::string output = folder.file("fine.bmp");
        const ToolRun run =
            testing_support::runRender(folder, {"--size", "60x40", "--params", c.params, output});
        ASSERT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(run.out.find("note: computed in double precision\n") != std::string::npos,
                  c.noted)
            << run.out;
    }
}

TEST_F(RenderTool, OrbitRunsUntilEnoughPoints) {
    const std::string output = folder.file("h.bmp");
    const ToolRun run =
        testing_support::runRender(folder, {"--type", "8", "--points", "20000", output});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    std::smatch match;
    const std::string line = run.lastLine();
    ASSERT_TRUE(
        std::regex_match(line, match, std::regex(R"(type=Henon size=240x268 points=(\d+) .*)")))
        << line;
    EXPECT_GE(std::stoul(match[1]), 20000u);
    EXPECT_EQ(trailerOf(output).first, engine::kHenon);
}

TEST_F(RenderTool, RendersASavedPictureAgainAtAnotherSize) {
    const std::string first = folder.file("first.bmp");
    ASSERT_EQ(
        testing_support::runRender(folder, {"--type", "julia", "--size", "60x40", first}).exitCode,
        0);
    const std::string again = folder.file("again.bmp");
    const ToolRun run =
        testing_support::runRender(folder, {"--from", first, "--size", "120x80", again});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.lastLine().rfind("type=Julia size=120x80 ", 0), 0u) << run.lastLine();
    EXPECT_EQ(trailerOf(again), trailerOf(first));
}

// Only the size and the trailer of a picture are read: the largest render again as
// quickly as any other. One too long to compute at its own size needs --size.
TEST_F(RenderTool, RendersTheLargestPicturesAgainAtAGivenSize) {
    std::string trailer = bmp_test::bytes({6, 0, 0, 0});
    for (const char c : std::string("-2,-1,1,1,50,0,0,1,1,100"))
        trailer += std::string{c, '\0'};
    trailer += std::string(2, '\0');
    const std::string output = folder.file("again.bmp");
    for (const auto& [width, height] : {std::pair{1, 268435456}, std::pair{16384, 16384}}) {
        const std::string size = std::to_string(width) + "x" + std::to_string(height);
        SCOPED_TRACE(size);
        const std::string path = folder.file(size + ".bmp");
        bmp_test::writeSparsePicture(path, width, height, trailer);
        const ToolRun run =
            testing_support::runRender(folder, {"--from", path, "--size", "30x20", output});
        ASSERT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(run.lastLine().rfind("type=Julia size=30x20 ", 0), 0u) << run.lastLine();
        EXPECT_EQ(trailerOf(output).second, "-2,-1,1,1,50,0,0,1,1,100");
    }
    const ToolRun tall =
        testing_support::runRender(folder, {"--from", folder.file("1x268435456.bmp"), output});
    EXPECT_EQ(tall.exitCode, 1);
    EXPECT_NE(tall.err.find("--size"), std::string::npos) << tall.err;
}

// One thread or many, the same picture file, byte for byte.
TEST_F(RenderTool, ThreadCountsGiveTheSamePicture) {
    std::vector<std::string> files;
    for (const char* threads : {"1", "3"}) {
        const std::string output = folder.file(std::string("t") + threads + ".bmp");
        const ToolRun run = testing_support::runRender(
            folder, {"--type", "Julia", "--size", "97x61", "--threads", threads, output});
        ASSERT_EQ(run.exitCode, 0) << run.err;
        files.push_back(TempFolder::read(output));
    }
    EXPECT_FALSE(files[0].empty());
    EXPECT_EQ(files[0], files[1]);
}

TEST_F(RenderTool, RefusesBadArgumentsWithExitCode2) {
    const std::string out = folder.file("x.bmp");
    const std::vector<std::vector<std::string>> cases = {
        {},
        {out, out},
        {"--bogus", out},
        {"--size", "0x5", out},
        {"--size", "10x", out},
        {"--size", "-5x5", out},
        {"--size", "+5x5", out},
        {"--size", "100000x100000", out},
        {"--type", "Nope", out},
        {"--type", "14", out},
        {"--points", "0", out},
        {"--colouring", "rainbow", out},
        {"--colouring", "bands", "--colouring", "smooth", out},
        {"--colouring", "distance", "--colouring", "bands", out},
        {"--colouring", "Distance", out},
        {"--type", "Spider", "--colouring", "distance", out},
        {"--density", "0", out},
        {"--density", "-2", out},
        {"--density", "nan", out},
        {"--density", "1e400", out},
        {"--density", "0x10", out},
        {"--density", "2", "--density", "auto", out},
        {"--offset", "1e10", out},
        {"--offset", "inf", out},
        {"--transfer", "cubic", out},
        {"--type", "Hopalong", "--density", "2", out},
        {"--points", "12abc", out},
        {"--threads", "0", out},
        {"--threads", "-2", out},
        {"--threads", "100000", out},
        {"--threads", "3x", out},
        {"--threads", "2", "--threads", "2", out},
        {"--params", std::string(engine::kMaxParameterUnits + 1, '1'), out},
        {"--from", out, "--type", "5", out},
        {"--params"},
    };
    for (const auto& arguments : cases) {
        const ToolRun run = testing_support::runRender(folder, arguments);
        EXPECT_EQ(run.exitCode, 2) << ::testing::PrintToString(arguments);
        EXPECT_FALSE(std::filesystem::exists(out));
    }
}

// What the command line asks for but cannot be written as asked: each refusal names
// its reason, and nothing is written.
TEST_F(RenderTool, RefusesOtherExtensionsAndDamagedParametersWithTheReason) {
    const struct {
        std::vector<std::string> arguments;
        std::string output;
        const char* reason;
    } cases[] = {
        {{}, "x.jpg", "cannot write a .jpg picture: OUTPUT must end in .bmp or .png"},
        {{}, "x.bmp.gif", "cannot write a .gif picture"},
        {{}, "x.", "cannot write a . picture"},
        {{"--params", "1,2,3"}, "x.bmp", "--params: only 3 of its 10 fields can be read"},
        {{"--type", "Hopalong", "--params", "-2,-2,2,2,1,2,3,7"},
         "x.png",
         "--params: only 8 of its 9 fields can be read"},
        {{"--params", "1,2,3,4,4294967297,0,0,1,0,100"},
         "x.bmp",
         "--params: its field 5 (the iteration limit) is out of range"},
        {{"--params", "1,2,3,4,2147483648,0,0,1,0,100"}, "x.bmp", "(the iteration limit)"},
        {{"--params", "1,2,3,4,50,0,0,1,0,4294967396"}, "x.bmp", "(the relief depth)"},
        {{"--type", "Chip", "--params", "-2,-2,2,2,1,2,3,4294967296,1"},
         "x.bmp",
         "--params: its field 8 (the points per colour) is out of range"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> arguments = c.arguments;
        arguments.push_back(folder.file(c.output));
        SCOPED_TRACE(::testing::PrintToString(arguments));
        const ToolRun run = testing_support::runRender(folder, arguments);
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_NE(run.err.find(c.reason), std::string::npos) << run.err;
        EXPECT_FALSE(std::filesystem::exists(folder.file(c.output)));
    }
    // Upper-case extensions and names without one (pipes, devices) are written.
    for (const char* name : {"upper.BMP", "upper.PNG", "plain"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(testing_support::runRender(folder, {"--size", "8x8", folder.file(name)}).exitCode,
                  0);
    }
}

// --center RE,IM --width W replace the view of the parameters or the defaults; a deep
// view whose iteration limit the reference orbits' memory cannot hold is refused.
TEST_F(RenderTool, CenterAndWidthGiveTheView) {
    struct Case {
        std::vector<std::string> arguments;
        int exitCode;
        const char* message;  // in stderr
    };
    const std::string bmp = folder.file("v.bmp");
    const std::string png = folder.file("v.png");
    const std::string from = folder.file("from.bmp");
    ASSERT_EQ(
        testing_support::runRender(folder, {"--type", "Julia", "--size", "60x40", from}).exitCode,
        0);
    const std::string julia = "-0.1000000000000000000000000000000000000001,0.65";
    const Case cases[] = {
        {{"--type", "Julia", "--size", "60x40", "--center", julia, "--width", "0.002", bmp}, 0, ""},
        {{"--type", "Julia", "--size", "60x40", "--center", julia, "--width", "0.002", png}, 0, ""},
        {{"--from", from, "--center", julia, "--width", "0.002", bmp}, 0, ""},
        // A limit whose reference orbit would not fit the memory allowed at that depth.
        {{"--size", "60x40", "--params", "-2,-2,2,2,2147483647,0,0,0,0,100", "--center",
          "-0.75,0.1", "--width", "1e-30", bmp},
         2,
         "cannot be computed: the reference orbits of 2147483647 iterations"},
        {{"--center", "0,0", bmp}, 2, "--center and --width go together"},
        {{"--width", "1", bmp}, 2, "--center and --width go together"},
        {{"--center", "0,0", "--width", "0", bmp}, 2, "bad view: The width must be greater"},
        {{"--center", "0,0", "--width", "-1", bmp}, 2, "greater than zero"},
        {{"--center", "0,0", "--width", "nan", bmp}, 2, "not a decimal number"},
        {{"--center", "0,0", "--width", "1e-100001", bmp}, 2, "below 1e-100000"},
        {{"--center", "0;0", "--width", "1", bmp}, 2, "RE,IM"},
        {{"--center", "x,0", "--width", "1", bmp}, 2, "real part is not a decimal number"},
        {{"--center", "0,0", "--center", "0,0", "--width", "1", bmp}, 2, "--center given twice"},
        {{"--type", "Hopalong", "--center", "0,0", "--width", "1", bmp}, 2, "escape-time types"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.arguments));
        std::filesystem::remove(bmp);
        std::filesystem::remove(png);
        const ToolRun run = testing_support::runRender(folder, c.arguments);
        EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        const std::string output = c.arguments.back();
        EXPECT_EQ(std::filesystem::exists(output), c.exitCode == 0);
        if (c.exitCode != 0)
            continue;
        const persist::PictureFile file =
            persist::readPictureFile(output, engine::kMaxParameterUnits, 0, 0);
        ASSERT_TRUE(file.image.ok()) << file.image.error;
        double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
        ASSERT_EQ(platform::cscan(file.params, "%lf,%lf,%lf,%lf", &x1, &y1, &x2, &y2), 4);
        EXPECT_NEAR((x1 + x2) / 2, -0.1, 1e-15);
        EXPECT_NEAR((y1 + y2) / 2, 0.65, 1e-15);
        EXPECT_NEAR(x2 - x1, 0.002, 1e-15);
        EXPECT_NEAR((y2 - y1) / (x2 - x1), 40.0 / 60.0, 1e-12);
    }
}

// --location takes the text the window's Copy Location writes, or a file holding it.
TEST_F(RenderTool, ALocationGivesTypeViewLimitAndParameters) {
    struct Case {
        const char* what;
        std::vector<std::string> arguments;  // before OUTPUT
        int exitCode;
        const char* message;  // in stderr
        engine::FractalType type = 0;
        double centreX = 0.0;
        double width = 0.0;
    };
    const std::string julia =
        "type Julia\n  centre -0.1 0.65\nwidth 0.002\niterations 77\n"
        "parameters -2,-2,2,2,500,-0.8,0.156,1,0,0\n";
    const std::string file = folder.write("julia location.txt", julia);
    const std::string hopalong = "type Hopalong\ncentre 1 2\nwidth 100\n";
    const Case cases[] = {
        {"the text", {"--location", julia}, 0, "", engine::kJulia, -0.1, 0.002},
        {"a file", {"--location", file}, 0, "", engine::kJulia, -0.1, 0.002},
        {"an orbit type", {"--location", hopalong}, 0, "", engine::kHopalong, 1, 100},
        {"deep",
         {"--location", "type Mandelbrot\ncentre -0.75 0.1\nwidth 1e-20"},
         0,
         "",
         engine::kMandelbrot,
         -0.75,
         1e-20},
        {"a file that is gone",
         {"--location", folder.file("gone.txt")},
         2,
         "known key",
         0,
         0.0,
         0.0},
        {"a folder", {"--location", folder.path().string()}, 2, "known key", 0, 0.0, 0.0},
        {"no width", {"--location", "type Julia\ncentre 0 0"}, 2, "bad location: ", 0, 0.0, 0.0},
        {"an orbit type too deep",
         {"--location", "type Hopalong\ncentre 1 0\nwidth 1e-20"},
         1,
         "deeper than an orbit type shows",
         0,
         0.0,
         0.0},
        {"with --type", {"--type", "Julia", "--location", julia}, 2, "goes with none", 0, 0.0, 0.0},
        {"with --iterations",
         {"--location", julia, "--iterations", "5"},
         2,
         "goes with none",
         0,
         0.0,
         0.0},
        {"twice",
         {"--location", julia, "--location", julia},
         2,
         "--location given twice",
         0,
         0.0,
         0.0},
    };
    const std::string bmp = folder.file("l.bmp");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove(bmp);
        std::vector<std::string> arguments = {"--size", "60x40", "--points", "1000"};
        arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
        arguments.push_back(bmp);
        const ToolRun run = testing_support::runRender(folder, arguments);
        EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        EXPECT_EQ(std::filesystem::exists(bmp), c.exitCode == 0);
        if (c.exitCode != 0)
            continue;
        const persist::PictureFile picture =
            persist::readPictureFile(bmp, engine::kMaxParameterUnits, 0, 0);
        ASSERT_TRUE(picture.image.ok()) << picture.image.error;
        EXPECT_EQ(picture.type, c.type);
        double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
        int iterations = 0;
        // A deep view's rectangle is rounded; its precise field carries the view.
        if (c.width < 1e-15) {
            EXPECT_NE(picture.params.find(",deep:"), std::string::npos) << picture.params;
            continue;
        }
        ASSERT_GE(
            platform::cscan(picture.params, "%lf,%lf,%lf,%lf,%d", &x1, &y1, &x2, &y2, &iterations),
            4);
        EXPECT_NEAR((x1 + x2) / 2, c.centreX, c.width * 1e-3);
        EXPECT_NEAR(x2 - x1, c.width, c.width * 1e-3);
        if (c.type == engine::kJulia) {
            EXPECT_EQ(iterations, 77);
            EXPECT_NE(picture.params.find(",-0.8,0.156,"), std::string::npos) << picture.params;
        }
    }
}

// --find-minibrot prints the view of the nearest minibrot in the text --center and
// --width read, or the reason there is none.
TEST_F(RenderTool, FindsTheNearestMinibrot) {
    struct Case {
        std::vector<std::string> arguments;
        int exitCode;
        const char* pattern;  // the whole of stdout, or a part of stderr
    };
    const std::string deep = "-2,-2,2,2,100000,0,0,0,0,100";
    const std::string number = "-?[0-9.]+(e-?[0-9]+)?";
    const Case cases[] = {
        {{"--find-minibrot"}, 0, "period=1 center=0,0 width=5\n"},
        {{"--find-minibrot", "--size", "300x200", "--center", "-1.754,0.001", "--width", "0.02"},
         0,
         "period=3 center=-1.754877[0-9]*,0 width=0.14[0-9]*\n"},
        {{"--find-minibrot", "--params", deep, "--center", "0,1", "--width", "1e-30"},
         0,
         "period=81 center=3.54477[0-9]*e-31,0.9999[0-9]* width=9.4[0-9]*e-60\n"},
        // Newton's method stops short of a nucleus there at first: no wrong answer.
        {{"--find-minibrot", "--params", deep, "--center", "0,1", "--width", "1e-50"},
         0,
         "period=135 center=-4.794357[0-9]*e-51,1.0000[0-9]* width=2.1[0-9]*e-100\n"},
        {{"--find-minibrot", "--params", deep, "--center", "0,1", "--width", "1e-300"},
         0,
         "period=799 center=6.696[0-9]*e-301,0.9999[0-9]* width=[0-9.]+e-600\n"},
        {{"--find-minibrot", "--center", "2,2", "--width", "0.1"}, 1, "no minibrot lies in it"},
        {{"--find-minibrot", "--params", "-2,-2,2,2,2,0,0,0,0,100", "--center", "-1.754,0",
          "--width", "0.02"},
         1,
         "period up to 2"},
        // The limit asked for replaces the parameters' and bounds the periods searched.
        {{"--find-minibrot", "--params", "-2,-2,2,2,2,0,0,0,0,100", "--iterations", "100", "--size",
          "300x200", "--center", "-1.754,0.001", "--width", "0.02"},
         0,
         "period=3 center=-1.754877[0-9]*,0 width=0.14[0-9]*\n"},
        {{"--find-minibrot", "--iterations", "auto"}, 2, "not auto"},
        {{"--find-minibrot", "--type", "Julia"}, 1, "only for the Mandelbrot type"},
        {{"--find-minibrot", "--type", "Hopalong"}, 2, "Mandelbrot type only"},
        {{"--find-minibrot", folder.file("out.bmp")}, 2, "writes no OUTPUT"},
        {{"--find-minibrot", "--find-minibrot"}, 2, "given twice"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.arguments));
        const ToolRun run = testing_support::runRender(folder, c.arguments);
        EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
        if (c.exitCode == 0) {
            EXPECT_TRUE(std::regex_match(run.out, std::regex(c.pattern))) << run.out;
        } else {
            EXPECT_NE(run.err.find(c.pattern), std::string::npos) << run.err;
        }
    }
    EXPECT_FALSE(std::filesystem::exists(folder.file("out.bmp")));

    // The view printed, read back, shows the same minibrot: it is found again there.
    const ToolRun first = testing_support::runRender(
        folder, {"--find-minibrot", "--params", deep, "--center", "0,1", "--width", "1e-100"});
    const std::regex line("period=([0-9]+) center=(" + number + "," + number + ") width=(" +
                          number + ")\n");
    std::smatch found;
    ASSERT_TRUE(std::regex_match(first.out, found, line)) << first.out;
    const ToolRun again =
        testing_support::runRender(folder, {"--find-minibrot", "--params", deep, "--center",
                                            found[2].str(), "--width", found[5].str()});
    EXPECT_EQ(again.exitCode, 0) << again.err;
    EXPECT_EQ(again.out, first.out);
}

// --iterations replaces the limit of the parameters, or lets the picture choose it; a
// limit the view cannot be computed with is refused with the reason and exit code 2,
// in either format, and nothing is written. A deep run reports its orbits' bytes.
TEST_F(RenderTool, IterationLimitsAreAppliedOrRefusedWithTheReason) {
    const std::vector<std::string> deep = {
        "--size",   "40x30", "--params", "-2,-2,2,2,300,0,0,0,0,100",
        "--center", "0.3,0", "--width",  "1e-30"};
    const struct {
        std::vector<std::string> arguments;
        int exitCode;
        std::string said;  // in the last line (exit code 0) or the error
    } table[] = {
        {{"--iterations", "500"}, 0, "reference_bytes="},
        {{"--iterations", "2147483647"},
         2,
         "the reference orbits of 2147483647 iterations need 51539607552 bytes (1 orbit of "
         "2147483648 states of 24 bytes), more than the 2048 MiB allowed"},
        {{"--iterations", "100000000"}, 2, "need 2400000024 bytes"},
        {{"--iterations", "2147483648"}, 2, "bad iteration limit 2147483648"},
        {{"--iterations", "0"}, 2, "bad iteration limit 0"},
        {{"--iterations", "many"}, 2, "bad iteration limit many"},
        {{"--iterations", "auto"}, 0, "reference_bytes="},
        {{"--iterations", "5", "--iterations", "auto"}, 2, "--iterations given twice"},
    };
    int row = 0;
    for (const auto& c : table) {
        for (const char* extension : {".bmp", ".png"}) {
            SCOPED_TRACE(c.arguments[1] + extension);
            const std::string output = folder.file("limit" + std::to_string(row++) + extension);
            std::vector<std::string> arguments = deep;
            arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
            arguments.push_back(output);
            const ToolRun run = testing_support::runRender(folder, arguments);
            EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
            EXPECT_NE((c.exitCode == 0 ? run.lastLine() : run.err).find(c.said), std::string::npos)
                << run.out << run.err;
            EXPECT_EQ(std::filesystem::exists(output), c.exitCode == 0);
            if (c.exitCode == 0) {
                EXPECT_EQ(run.lastLine().find("reference_bytes=0"), std::string::npos);
            }
        }
    }
    // An orbit type has no iteration limit to replace.
    const ToolRun orbit = testing_support::runRender(
        folder, {"--type", "hopalong", "--iterations", "9", folder.file("o.bmp")});
    EXPECT_EQ(orbit.exitCode, 2);
    EXPECT_NE(orbit.err.find("--iterations applies to escape-time types only"), std::string::npos);
}

// --exact-counts: a deep escape-time picture in either format, whose line tells the pixels
// counted again; refused (exit code 2) where it would change nothing, and with a zoom path,
// whose frames must be what the path alone gives.
TEST_F(RenderTool, ExactCountsGoWithEscapeTimePicturesOnly) {
    const std::vector<std::string> deep = {
        "--size",  "40x30", "--params",      "-2,-2,2,2,300,0,0,0,0,100", "--center", "0.3,0",
        "--width", "1e-30", "--exact-counts"};
    for (const char* extension : {".bmp", ".png"}) {
        SCOPED_TRACE(extension);
        std::vector<std::string> arguments = deep;
        arguments.push_back(folder.file(std::string("exact") + extension));
        const ToolRun run = testing_support::runRender(folder, arguments);
        ASSERT_EQ(run.exitCode, 0) << run.err;
        EXPECT_TRUE(std::regex_search(
            run.lastLine(), std::regex(R"( direct_pixels=\d+ exact_pixels=\d+ table_bytes=)")))
            << run.lastLine();
    }

    const std::string orbit = folder.file("orbit.bmp");
    ASSERT_EQ(testing_support::runRender(folder, {"--type", "hopalong", "--points", "1000", orbit})
                  .exitCode,
              0);
    const std::string path = folder.write("short.path",
                                          "start-centre -0.5 0\nstart-width 3\ncentre -0.6 0.2\n"
                                          "width 0.375\nper-doubling 2\nsize 40x30\n");
    const std::string out = folder.file("refused.png");
    const struct {
        std::vector<std::string> arguments;
        const char* said;
    } refused[] = {
        {{"--exact-counts", "--exact-counts", out}, "--exact-counts given twice"},
        {{"--type", "hopalong", "--exact-counts", out}, "escape-time types only"},
        {{"--from", orbit, "--exact-counts", out}, "escape-time types only"},
        {{"--from", orbit, "--exact-counts", folder.file("refused.bmp")}, "escape-time types only"},
        {{"--path", path, "--exact-counts", "--frame", "1", folder.file("f-%d.png")},
         "--exact-counts does not go with a zoom path"},
        {{"--zoom-to", "0,0", "--zoom-width", "1e-3", "--per-doubling", "2", "--exact-counts",
          "--frame-count"},
         "--exact-counts does not go with a zoom path"},
        {{"--exact-counts", "--save-reference", folder.file("r.ref")}, "goes with a picture"},
        {{"--exact-counts", "--find-minibrot"}, "goes with a picture"},
    };
    for (const auto& c : refused) {
        SCOPED_TRACE(::testing::PrintToString(c.arguments));
        const ToolRun run = testing_support::runRender(folder, c.arguments);
        EXPECT_EQ(run.exitCode, 2) << run.err;
        EXPECT_NE(run.err.find(c.said), std::string::npos) << run.err;
    }
    EXPECT_FALSE(std::filesystem::exists(out));
    EXPECT_FALSE(std::filesystem::exists(folder.file("refused.bmp")));
    EXPECT_FALSE(std::filesystem::exists(folder.file("f-1.png")));
    EXPECT_FALSE(std::filesystem::exists(folder.file("r.ref")));
}

// A view below double's depth is computed by perturbation; its picture carries the view
// whole, so that --from renders the same picture again, in either format.
TEST_F(RenderTool, DeepViewsRenderAndRenderAgainFromTheirPictures) {
    const std::string first = folder.file("deep.bmp");
    const std::string again = folder.file("again.bmp");
    const std::string png = folder.file("deep.png");
    const std::string fromPng = folder.file("from-png.bmp");
    const ToolRun run = testing_support::runRender(
        folder, {"--size", "40x30", "--params", "-2,-2,2,2,300,0,0,0,0,100", "--center", "0,1",
                 "--width", "1e-200", first});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("computed by perturbation"), std::string::npos) << run.out;
    ASSERT_EQ(testing_support::runRender(folder, {"--from", first, again}).exitCode, 0);
    ASSERT_EQ(testing_support::runRender(folder, {"--from", first, png}).exitCode, 0);
    ASSERT_EQ(testing_support::runRender(folder, {"--from", png, fromPng}).exitCode, 0);
    const auto read = [](const std::string& path) {
        return persist::readPictureFile(path, engine::kMaxParameterUnits, 0, 0);
    };
    const persist::PictureFile original = read(first);
    ASSERT_TRUE(original.image.ok());
    EXPECT_NE(original.params.find(",deep:"), std::string::npos) << original.params;
    for (const std::string& path : {again, fromPng}) {
        SCOPED_TRACE(path);
        const persist::PictureFile copy = read(path);
        ASSERT_TRUE(copy.image.ok());
        EXPECT_EQ(copy.params, original.params);
        EXPECT_EQ(copy.image.bitmap.snapshot(), original.image.bitmap.snapshot());
    }
}

TEST_F(RenderTool, RefusesUnusableFilesWithOneLineAndExitCode1) {
    const std::string fifo = folder.file("pipe.bmp");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    bmp_test::Description foreign;
    foreign.width = 2;
    foreign.height = 2;
    foreign.rows.assign(2, std::string(8, '\0'));
    const std::string foreignFile = folder.write("foreign.bmp", bmp_test::build(foreign));
    std::string unknownType = bmp_test::build(foreign);
    unknownType.resize(58 + 16, '\0');
    bmp_test::put32(unknownType, 10, 58);
    unknownType += bmp_test::bytes({99, 0, 0, 0, '1', 0, 0, 0});
    const std::string unknownTypeFile = folder.write("unknown.bmp", unknownType);
    const std::string valid = folder.file("valid.bmp");
    ASSERT_EQ(testing_support::runRender(folder, {"--size", "8x8", valid}).exitCode, 0);
    std::string cut = TempFolder::read(valid);
    cut.resize(100);
    const std::string cutFile = folder.write("cut.bmp", cut);
    std::string noParams = TempFolder::read(valid);
    noParams.resize(static_cast<std::size_t>(persist::pictureTrailerOffset(8, 8)) + 4);
    const std::string noParamsFile = folder.write("noparams.bmp", noParams);

    const std::string out = folder.file("out.bmp");
    const std::vector<std::vector<std::string>> cases = {
        {"--palette", folder.file("missing.pal"), out},
        {"--palette", folder.write("empty.pal", "no numbers here"), out},
        {"--from", folder.file("missing.bmp"), out},
        {"--from", folder.path().string(), out},
        {"--from", fifo, out},
        {"--from", cutFile, out},
        {"--from", foreignFile, out},
        {"--from", unknownTypeFile, out},
        {"--from", noParamsFile, out},
        {"--size", "8x8", folder.file("missing/out.bmp")},
    };
    for (const auto& arguments : cases) {
        SCOPED_TRACE(::testing::PrintToString(arguments));
        const ToolRun run = testing_support::runRender(folder, arguments);
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
        EXPECT_FALSE(std::filesystem::exists(out));
    }
    // A palette is refused with the reason the Load Palette command gives.
    const struct {
        std::string palette;
        const char* reason;
    } palettes[] = {
        {folder.file("missing.pal"), "No such file or directory"},
        {folder.write("words.pal", "no numbers here"), ""},
    };
    for (const auto& p : palettes) {
        std::string why;
        engine::ColorTable probe;
        ASSERT_EQ(probe.loadFile(p.palette, 4096, &why), 0);
        EXPECT_NE(why.find(p.reason), std::string::npos) << why;
        const ToolRun run = testing_support::runRender(folder, {"--palette", p.palette, out});
        EXPECT_EQ(run.err,
                  "corvane-render: cannot load the palette " + p.palette + ": " + why + "\n");
    }
    // So is a picture whose parameter string its type cannot read.
    std::string damagedParams = TempFolder::read(valid);
    damagedParams.resize(static_cast<std::size_t>(persist::pictureTrailerOffset(8, 8)) + 4);
    for (const char c : std::string("1,2,3"))
        damagedParams += std::string{c, '\0'};
    damagedParams += std::string(2, '\0');
    const ToolRun run = testing_support::runRender(
        folder, {"--from", folder.write("damaged.bmp", damagedParams), out});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("only 3 of its 10 fields can be read"), std::string::npos) << run.err;
}

// Where the picture goes: a pipe or a device is written into as by any tool, and
// stays what it is; what cannot be written fails with the system's reason.
TEST_F(RenderTool, WritesIntoPipesAndDevicesAndNamesTheReasonOfEveryFailure) {
    const std::string pipe = folder.file("pipe.bmp");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    const std::string device = folder.file("null.bmp");
    const bool haveDevice = ::mknod(device.c_str(), S_IFCHR | 0600, ::makedev(1, 3)) == 0 &&
                            ::access(device.c_str(), W_OK) == 0;
    std::filesystem::create_directory(folder.path() / "folder.bmp");
    std::filesystem::create_symlink("loop.bmp", folder.path() / "loop.bmp");
    const std::string earlier = folder.write("earlier.bmp", "earlier picture");
    const struct {
        std::string output;
        bool reader;
        std::string prefix;
        const char* reason;  // nullptr: written
    } cases[] = {
        {pipe, true, "", nullptr},
        {pipe, false, "", "no program is reading from this pipe"},
        {device, false, "", nullptr},
        {folder.file("folder.bmp"), false, "", "Is a directory"},
        {folder.file("loop.bmp"), false, "", "Too many levels of symbolic links"},
        {folder.file(std::string(300, 'n') + ".bmp"), false, "", "File name too long"},
        {folder.file("missing/x.bmp"), false, "", "No such file or directory"},
        // A file size limit stands in for a full disk.
        {earlier, false, "ulimit -f 2; ", "File too large"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.output.substr(folder.path().string().size()) + (c.reader ? " read" : ""));
        if (c.output == device && !haveDevice)
            continue;  // no private device node can be made here
        const int reader = c.reader ? ::open(pipe.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC) : -1;
        const ToolRun run =
            testing_support::runRender(folder, {"--size", "60x40", c.output}, c.prefix);
        if (c.reason == nullptr) {
            EXPECT_EQ(run.exitCode, 0) << run.err;
        } else {
            EXPECT_EQ(run.exitCode, 1);
            EXPECT_EQ(run.err, "corvane-render: " + c.output +
                                   ": cannot write the picture: " + c.reason + "\n");
        }
        if (reader >= 0) {
            std::string bytes(65536, '\0');
            const ssize_t got = ::read(reader, bytes.data(), bytes.size());
            ::close(reader);
            bytes.resize(static_cast<std::size_t>(std::max<ssize_t>(got, 0)));
            const persist::BitmapLoad picture = persist::decodeBitmap(
                reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
            ASSERT_TRUE(picture.ok()) << picture.error;
            EXPECT_EQ(picture.bitmap.width(), 60);
        }
    }
    EXPECT_TRUE(std::filesystem::is_fifo(pipe));
    if (haveDevice) {
        EXPECT_TRUE(std::filesystem::is_character_file(device));
    }
    EXPECT_EQ(TempFolder::read(earlier), "earlier picture");
    for (const auto& entry : std::filesystem::directory_iterator(folder.path()))
        EXPECT_NE(entry.path().filename().string().rfind(".corvane-", 0), 0u) << entry.path();
}

// The temporary files of the folder (named as every writer names them).
std::vector<std::string> temporaryFilesIn(const TempFolder& folder) {
    std::vector<std::string> found;
    for (const auto& entry : std::filesystem::directory_iterator(folder.path())) {
        const std::string name = entry.path().filename().string();
        if (name.rfind(".corvane-", 0) == 0)
            found.push_back(name);
    }
    return found;
}

// A termination signal during a long PNG export ends the tool by that signal, and
// the export's temporary file goes with it; the output never appears.
TEST_F(RenderTool, ATerminationSignalLeavesNoTemporaryFile) {
    for (const int signalNumber : {SIGTERM, SIGHUP, SIGINT}) {
        SCOPED_TRACE(signalNumber);
        const std::string output = folder.file("long.png");
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            // As from a terminal: the signals act, whatever the test runner ignores.
            for (const int s : {SIGTERM, SIGHUP, SIGINT})
                ::signal(s, SIG_DFL);
            sigset_t none;
            sigemptyset(&none);
            ::sigprocmask(SIG_SETMASK, &none, nullptr);
            const int quiet = ::open("/dev/null", O_WRONLY);
            ::dup2(quiet, 1);
            ::dup2(quiet, 2);
            ::execl(kProgram.c_str(), kProgram.c_str(), "--size", "3000x3000", "--params",
                    "-2.1,-1.69,1,1.72,200000,0,0,0,0,100", output.c_str(),
                    static_cast<char*>(nullptr));
            ::_exit(127);
        }
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (temporaryFilesIn(folder).empty() && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        EXPECT_EQ(temporaryFilesIn(folder).size(), 1u);
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        ASSERT_EQ(::kill(child, signalNumber), 0);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signalNumber) << status;
        EXPECT_TRUE(temporaryFilesIn(folder).empty());
        EXPECT_FALSE(std::filesystem::exists(output));
    }
}

// A picture rendered again from its file keeps its view bit for bit, and so its pixels.
TEST_F(RenderTool, RenderingFromAPictureKeepsItsViewExactly) {
    const std::string first = folder.file("deep.bmp");
    ASSERT_EQ(testing_support::runRender(
                  folder, {"--type", "Julia", "--size", "60x67", "--params",
                           "-0.1011128638456,0.9562623608091,-0.1010798638456,0.9562996608091,"
                           "150,-0.8,0.156,0,0,100",
                           first})
                  .exitCode,
              0);
    const std::string again = folder.file("again.bmp");
    ASSERT_EQ(testing_support::runRender(folder, {"--from", first, again}).exitCode, 0);
    const std::string params = trailerOf(first).second;
    EXPECT_NE(params.find(",0.9562623608091,"), std::string::npos) << params;
    EXPECT_EQ(trailerOf(again).second, params);
    EXPECT_EQ(persist::loadBitmapFile(again).bitmap.snapshot(),
              persist::loadBitmapFile(first).bitmap.snapshot());
}

// The output's extension decides its format; a PNG picture renders again as its bitmap
// twin does, pixel for pixel.
TEST_F(RenderTool, WritesAndRendersAgainPngPictures) {
    const std::vector<std::string> julia = {
        "--type", "julia", "--size", "61x37", "--params", "-1.5,-1,1.5,1,80,-0.8,0.156,0,0,100"};
    std::vector<std::string> arguments = julia;
    arguments.push_back(folder.file("first.bmp"));
    ASSERT_EQ(testing_support::runRender(folder, arguments).exitCode, 0);
    arguments.back() = folder.file("first.PNG");
    ASSERT_EQ(testing_support::runRender(folder, arguments).exitCode, 0);
    EXPECT_EQ(TempFolder::read(folder.file("first.PNG")).substr(1, 3), "PNG");

    const auto picture = [](const std::string& path) {
        return persist::readPictureFile(path, engine::kMaxParameterUnits, 61, 37);
    };
    const persist::PictureFile bmp = picture(folder.file("first.bmp"));
    const persist::PictureFile png = picture(folder.file("first.PNG"));
    ASSERT_TRUE(png.image.ok()) << png.image.error;
    EXPECT_EQ(png.format, persist::PictureFormat::Png);
    EXPECT_EQ(png.type, bmp.type);
    EXPECT_EQ(png.params, bmp.params);
    EXPECT_EQ(png.image.bitmap.snapshot(), bmp.image.bitmap.snapshot());

    for (const std::string from : {"first.bmp", "first.PNG"}) {
        SCOPED_TRACE(from);
        const std::string again = folder.file("again-" + from + ".png");
        const ToolRun run =
            testing_support::runRender(folder, {"--from", folder.file(from), again});
        ASSERT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(run.lastLine().rfind("type=Julia size=61x37 ", 0), 0u) << run.lastLine();
        const persist::PictureFile rendered = picture(again);
        EXPECT_EQ(rendered.params, bmp.params);
        EXPECT_EQ(rendered.image.bitmap.snapshot(), bmp.image.bitmap.snapshot());
    }
}

TEST_F(RenderTool, UsesAGivenPalette) {
    const std::string palette = folder.write("red.pal", "255 0 0\n");
    const std::string output = folder.file("p.bmp");
    // The simple scan colours every pixel from the table (black inside).
    const ToolRun run =
        testing_support::runRender(folder, {"--size", "30x20", "--palette", palette, "--params",
                                            "-2.1,-1.69,1,1.72,50,0,0,1,0,100", output});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const persist::BitmapLoad loaded = persist::loadBitmapFile(output);
    ASSERT_TRUE(loaded.ok());
    for (const platform::Color c : loaded.bitmap.snapshot()) {
        EXPECT_TRUE(c == platform::rgb(255, 0, 0) || c == platform::kBlack) << std::hex << c;
    }
}

// The colouring travels with the picture: rendering it again colours it the same way,
// unless --colouring says otherwise; bands are the pictures as they always were.
TEST_F(RenderTool, ColouringTravelsWithThePicture) {
    const std::string params = "-2.1,-1.69,1,1.72,60,0,0,1,0,100";
    const auto renderTo = [&](const std::string& name, std::vector<std::string> arguments) {
        const std::string output = folder.file(name);
        arguments.push_back(output);
        const ToolRun run = testing_support::runRender(folder, arguments);
        EXPECT_EQ(run.exitCode, 0) << name << ": " << run.err;
        return output;
    };
    const auto pixels = [](const std::string& path) {
        return persist::loadBitmapFile(path).bitmap.snapshot();
    };
    const std::string plain = renderTo("plain.bmp", {"--size", "50x40", "--params", params});
    const std::string bands =
        renderTo("bands.bmp", {"--size", "50x40", "--params", params, "--colouring", "bands"});
    const std::string smooth =
        renderTo("smooth.bmp", {"--size", "50x40", "--params", params, "--colouring", "smooth"});
    const std::string again = renderTo("again.bmp", {"--from", smooth});
    const std::string banded = renderTo("banded.bmp", {"--from", smooth, "--colouring", "bands"});

    // The view as fitted to the picture's shape, then the other nine fields.
    const std::string stored = trailerOf(plain).second;
    EXPECT_TRUE(stored.ends_with(",60,0,0,1,0,100")) << stored;
    EXPECT_EQ(trailerOf(bands).second, stored);
    EXPECT_EQ(pixels(bands), pixels(plain));
    EXPECT_EQ(trailerOf(smooth).second, stored + ",1");
    EXPECT_NE(pixels(smooth), pixels(plain));
    EXPECT_EQ(trailerOf(again).second, stored + ",1");
    EXPECT_EQ(pixels(again), pixels(smooth));
    EXPECT_EQ(trailerOf(banded).second, stored);
    EXPECT_EQ(pixels(banded), pixels(plain));
}

platform::Bitmap decodePng(const std::string& path);

// The colouring controls travel with the picture as well: --from gives the same
// pixels, a PNG computed in bands the same as the bitmap, and the defaults given
// on the command line the picture as it always was.
TEST_F(RenderTool, ColouringControlsTravelWithThePicture) {
    const std::string params = "-0.7453,0.1127,-0.7449,0.113,900,0,0,0,0,100";
    const std::vector<std::string> plain = {"--size", "60x45", "--params", params};
    const auto renderTo = [&](const std::string& name, std::vector<std::string> arguments) {
        const std::string output = folder.file(name);
        arguments.push_back(output);
        const ToolRun run = testing_support::runRender(folder, arguments);
        EXPECT_EQ(run.exitCode, 0) << name << ": " << run.err;
        return output;
    };
    const auto with = [&plain](std::vector<std::string> more) {
        more.insert(more.begin(), plain.begin(), plain.end());
        return more;
    };
    const auto pixels = [](const std::string& path) {
        return persist::loadBitmapFile(path).bitmap.snapshot();
    };
    const std::string before = renderTo("before.bmp", plain);
    const std::string stored = trailerOf(before).second;
    const struct {
        std::vector<std::string> controls;
        const char* field;  // what the picture's parameters carry after the ten fields
        bool differs;       // whether the pixels differ from the default colouring's
    } cases[] = {
        {{"--density", "1", "--offset", "0", "--transfer", "linear"}, "", false},
        // A shallow view: neighbouring counts differ by little, and the automatic
        // density stays at one entry a count.
        {{"--density", "auto"}, ",0,color:auto:0:linear", false},
        {{"--density", "auto", "--transfer", "sqrt"}, ",0,color:auto:0:sqrt", true},
        {{"--density", "12.5", "--offset", "-3", "--transfer", "sqrt"},
         ",0,color:12.5:-3:sqrt",
         true},
        {{"--transfer", "log", "--colouring", "smooth", "--density", "0.05"},
         ",1,color:0.05:0:log",
         true},
        {{"--colouring", "distance"}, ",0,color:1:0:linear:distance", true},
        {{"--colouring", "distance", "--density", "0.5", "--offset", "3"},
         ",0,color:0.5:3:linear:distance",
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.controls));
        const std::string bmp = renderTo("controls.bmp", with(c.controls));
        EXPECT_EQ(trailerOf(bmp).second, stored + c.field);
        EXPECT_EQ(pixels(bmp) != pixels(before), c.differs);
        EXPECT_EQ(pixels(renderTo("again.bmp", {"--from", bmp})), pixels(bmp));
        const platform::Bitmap png = decodePng(renderTo("controls.png", with(c.controls)));
        EXPECT_EQ(png.snapshot(), pixels(bmp));
    }
}

// The pixels of a PNG file as colours, and its size; empty when it does not decode.
platform::Bitmap decodePng(const std::string& path) {
    const std::string data = TempFolder::read(path);
    platform::Bitmap picture;
    spng_ctx* ctx = spng_ctx_new(0);
    spng_set_png_buffer(ctx, data.data(), data.size());
    spng_ihdr ihdr{};
    std::size_t size = 0;
    if (spng_get_ihdr(ctx, &ihdr) == 0 && spng_decoded_image_size(ctx, SPNG_FMT_RGB8, &size) == 0) {
        std::vector<unsigned char> rgb(size);
        if (spng_decode_image(ctx, rgb.data(), size, SPNG_FMT_RGB8, 0) == 0) {
            picture.resize(static_cast<int>(ihdr.width), static_cast<int>(ihdr.height));
            for (int y = 0; y < picture.height(); ++y) {
                for (int x = 0; x < picture.width(); ++x) {
                    const std::size_t i =
                        (static_cast<std::size_t>(y) * ihdr.width + static_cast<std::size_t>(x)) *
                        3;
                    picture.setPixel(x, y, platform::rgb(rgb[i], rgb[i + 1], rgb[i + 2]));
                }
            }
        }
    }
    spng_ctx_free(ctx);
    return picture;
}

// A .png is computed in bands and streamed, a .bmp whole: the same pixels either way,
// with any number of threads.
TEST_F(RenderTool, WritesAPngInBandsWithTheSamePixelsAsTheBitmap) {
    const std::vector<std::vector<std::string>> cases = {
        {"--type", "Julia", "--size", "71x53"},
        {"--type", "Spider", "--size", "64x40", "--params", "-2,-1.5,1,1.5,90,0,0,0,2,100"},
        {"--type", "Phoenix", "--size", "33x77", "--params",
         "-2,-2.6,2.2,2.6,120,0.56667,-0.5,1,1,70"},
        // The bands shared out among one thread or more, for each method.
        {"--type", "Mandelbrot", "--size", "90x70", "--params", "-2,-1.5,1,1.5,150,0,0,0,0,100",
         "--threads", "3"},
        {"--type", "Manowar", "--size", "80x61", "--params", "-2,-1.5,1,1.5,90,0,0,1,1,80",
         "--threads", "2"},
        {"--type", "Spider", "--size", "64x40", "--params", "-2,-1.5,1,1.5,90,0,0,0,2,100",
         "--threads", "1"},
        {"--type", "Unity", "--size", "77x64", "--params", "-2,-1.5,1,1.5,90,0,0,0,2,100",
         "--threads", "3", "--colouring", "smooth"},
        // A deep view coloured by distance: the derivative walks through the bands too.
        {"--type", "Mandelbrot", "--size", "48x36", "--center", "0,1", "--width", "1e-30",
         "--iterations", "3000", "--colouring", "distance", "--threads", "2"},
    };
    for (const auto& arguments : cases) {
        SCOPED_TRACE(::testing::PrintToString(arguments));
        std::vector<std::string> bmp = arguments;
        bmp.push_back(folder.file("same.bmp"));
        std::vector<std::string> png = arguments;
        png.push_back(folder.file("same.png"));
        ASSERT_EQ(testing_support::runRender(folder, bmp).exitCode, 0);
        const ToolRun run = testing_support::runRender(folder, png);
        ASSERT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(run.lastLine().rfind("type=" + arguments[1] + " size=" + arguments[3] + " ", 0),
                  0u)
            << run.lastLine();
        const persist::BitmapLoad expected = persist::loadBitmapFile(folder.file("same.bmp"));
        const platform::Bitmap actual = decodePng(folder.file("same.png"));
        ASSERT_EQ(actual.width(), expected.bitmap.width());
        ASSERT_EQ(actual.height(), expected.bitmap.height());
        int differing = 0;
        for (int y = 0; y < actual.height(); ++y)
            for (int x = 0; x < actual.width(); ++x)
                differing += actual.pixel(x, y) != expected.bitmap.pixel(x, y);
        EXPECT_EQ(differing, 0);
    }
}

TEST_F(RenderTool, PngSizesBeyondTheBitmapsLimitsAndTheirRefusals) {
    struct Case {
        std::vector<std::string> arguments;
        int exitCode;
        const char* message;
    };
    const std::string png = folder.file("big.png");
    const std::string bmp = folder.file("big.bmp");
    const Case cases[] = {
        {{"--size", "20000x20000", bmp}, 2, "too large for a bitmap file: write a .png"},
        {{"--size", "65537x8", png}, 2, "up to 65536 pixels a side"},
        {{"--type", "Henon", "--size", "20000x20000", png},
         2,
         "orbit pictures are computed whole in memory"},
        {{"--size", "8x8", folder.file("missing/x.png")}, 1, "No such file or directory"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.arguments));
        const ToolRun run = testing_support::runRender(folder, c.arguments);
        EXPECT_EQ(run.exitCode, c.exitCode);
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        EXPECT_FALSE(std::filesystem::exists(c.arguments.back()));
    }
    // Wider than any bitmap is allowed, and takes no more than a few bands of memory.
    const ToolRun wide =
        testing_support::runRender(folder, {"--type", "Julia", "--size", "65536x3", png});
    ASSERT_EQ(wide.exitCode, 0) << wide.err;
    EXPECT_EQ(decodePng(png).width(), 65536);
}

}  // namespace

namespace {

// --supersample: the factor travels with the picture; a factor of 1 is the plain picture.
TEST_F(RenderTool, SupersampledPicturesRenderAgainFromTheirFactorOrAreRefused) {
    const std::vector<std::string> mandelbrot = {"--size", "48x36", "--params",
                                                 "-2.1,-1.2,0.9,1.2,80,0,0,0,0,100"};
    const auto rendered = [&](std::vector<std::string> extra, const std::string& name) {
        std::vector<std::string> arguments = mandelbrot;
        arguments.insert(arguments.end(), extra.begin(), extra.end());
        arguments.push_back(folder.file(name));
        return testing_support::runRender(folder, arguments);
    };
    ASSERT_EQ(rendered({}, "plain.png").exitCode, 0);
    ASSERT_EQ(rendered({"--supersample", "1"}, "one.png").exitCode, 0);
    ASSERT_EQ(rendered({"--supersample", "3"}, "three.png").exitCode, 0);
    EXPECT_EQ(TempFolder::read(folder.file("one.png")), TempFolder::read(folder.file("plain.png")));
    EXPECT_NE(TempFolder::read(folder.file("three.png")),
              TempFolder::read(folder.file("plain.png")));
    const auto factorOf = [&](const std::string& name) {
        return persist::readPictureFile(folder.file(name), engine::kMaxParameterUnits, 0, 0)
            .supersample;
    };
    EXPECT_EQ(factorOf("plain.png"), 1);
    EXPECT_EQ(factorOf("three.png"), 3);

    // --from takes the factor again, unless told otherwise.
    ASSERT_EQ(testing_support::runRender(
                  folder, {"--from", folder.file("three.png"), folder.file("again.png")})
                  .exitCode,
              0);
    EXPECT_EQ(TempFolder::read(folder.file("again.png")),
              TempFolder::read(folder.file("three.png")));
    ASSERT_EQ(
        testing_support::runRender(folder, {"--from", folder.file("three.png"), "--supersample",
                                            "1", folder.file("unsampled.png")})
            .exitCode,
        0);
    EXPECT_EQ(TempFolder::read(folder.file("unsampled.png")),
              TempFolder::read(folder.file("plain.png")));

    struct Refusal {
        std::vector<std::string> arguments;
        int exitCode;
        const char* reason;
    };
    const std::string out = folder.file("refused.png");
    const Refusal refusals[] = {
        {{"--supersample", "17", out}, 2, "bad supersample factor 17"},
        {{"--supersample", "0", out}, 2, "bad supersample factor 0"},
        {{"--supersample", "2x", out}, 2, "bad supersample factor 2x"},
        {{"--supersample", "2", "--supersample", "2", out}, 2, "given twice"},
        {{"--supersample", "2", folder.file("refused.bmp")}, 2, "writes a .png OUTPUT"},
        {{"--type", "hopalong", "--supersample", "2", out}, 2, "escape-time types only"},
        {{"--size", "40000x10", "--supersample", "2", out}, 2, "exported up to 65536 a side"},
        {{"--from", folder.file("three.png"), folder.file("refused.bmp")},
         1,
         "anti-aliased with 3x3 samples"},
        {{"--from", folder.file("three.png"), "--size", "30000x10", out},
         1,
         "exported up to 65536 a side"},
    };
    for (const Refusal& r : refusals) {
        const ToolRun run = testing_support::runRender(folder, r.arguments);
        EXPECT_EQ(run.exitCode, r.exitCode) << ::testing::PrintToString(r.arguments);
        EXPECT_NE(run.err.find(r.reason), std::string::npos) << run.err;
        EXPECT_FALSE(std::filesystem::exists(out));
        EXPECT_FALSE(std::filesystem::exists(folder.file("refused.bmp")));
    }
}

// Tiles written by separate runs and stitched give the file of the whole picture, here
// of a deep view; what cannot make a tile or a picture is refused and writes nothing.
TEST_F(RenderTool, TilesStitchIntoTheWholePictureAndBadRequestsAreRefused) {
    const std::vector<std::string> picture = {"--size",      "61x37", "--center",     "-0.75,0.1",
                                              "--width",     "1e-30", "--iterations", "300",
                                              "--colouring", "smooth"};
    const auto withOutput = [&picture](std::vector<std::string> more, const std::string& out) {
        std::vector<std::string> arguments = picture;
        arguments.insert(arguments.end(), more.begin(), more.end());
        arguments.push_back(out);
        return arguments;
    };
    const std::string whole = folder.file("whole.png");
    ASSERT_EQ(testing_support::runRender(folder, withOutput({}, whole)).exitCode, 0);
    for (int i = 0; i < 4; ++i) {
        const ToolRun run = testing_support::runRender(
            folder, withOutput({"--tile", std::to_string(i) + "/4"},
                               folder.file("t-0" + std::to_string(i) + ".png")));
        ASSERT_EQ(run.exitCode, 0) << run.err;
    }
    const std::string stitched = folder.file("stitched.png");
    const ToolRun run =
        testing_support::runRender(folder, {"--stitch", "4", folder.file("t-%02d.png"), stitched});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(TempFolder::read(stitched), TempFolder::read(whole));

    struct Refusal {
        std::vector<std::string> arguments;
        int exitCode;
        const char* reason;
    };
    const std::string out = folder.file("refused.png");
    const Refusal refusals[] = {
        {{"--tile", "4/4", out}, 2, "bad tile 4/4"},
        {{"--tile", "1/3", out}, 2, "bad tile 1/3"},
        {{"--tile", "0/4", "--tile", "1/4", out}, 2, "given twice"},
        {{"--tile", "0/4", folder.file("refused.bmp")}, 2, "--tile writes a .png OUTPUT"},
        {{"--type", "hopalong", "--tile", "0/4", out}, 2, "escape-time types only"},
        {{"--size", "3x30", "--tile", "0/16", out}, 2, "too small for 16 tiles"},
        {{"--stitch", "5", folder.file("t-%02d.png"), out}, 2, "bad tile count 5"},
        {{"--stitch", "4", folder.file("t-%s.png"), out}, 2, "one integer conversion"},
        {{"--stitch", "4", folder.file("t-%02d.png")}, 2, "needs a TILE-PATTERN and an OUTPUT"},
        {{"--stitch", "4", "--size", "9x9", folder.file("t-%02d.png"), out}, 2, "no other option"},
        {{"--stitch", "4", folder.file("t-%02d.png"), folder.file("refused.bmp")},
         2,
         "writes a .png OUTPUT"},
        {{"--stitch", "9", folder.file("t-%02d.png"), out}, 1, "t-00.png: it is tile 0/4, not 0/9"},
        {{"--stitch", "4", folder.file("x-%d.png"), out}, 1, "x-0.png: cannot read the tile"},
    };
    for (const Refusal& r : refusals) {
        const ToolRun refused = testing_support::runRender(folder, r.arguments);
        EXPECT_EQ(refused.exitCode, r.exitCode) << ::testing::PrintToString(r.arguments);
        EXPECT_NE(refused.err.find(r.reason), std::string::npos) << refused.err;
        EXPECT_FALSE(std::filesystem::exists(out));
        EXPECT_FALSE(std::filesystem::exists(folder.file("refused.bmp")));
    }
}

}  // namespace
