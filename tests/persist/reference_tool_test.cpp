// corvane-render's reference files (--save-reference, --reference), run as the program.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/temp_folder.h"
#include "support/render_tool_run.h"

namespace {

using testing_support::TempFolder;

using testing_support::ToolRun;

std::vector<std::string> joined(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

const std::vector<std::string> kDeep = {
    "--center", "-1.7490441941182446,0", "--width", "1e-30", "--size",
    "48x32",    "--iterations",          "3000"};

TEST(ReferenceToolTest, PicturesWithTheSavedReferenceAreTheSameBytes) {
    struct Case {
        const char* name;
        std::vector<std::string> view;
        const char* output;
    };
    const std::vector<std::string> julia = {
        "--type",
        "Julia",
        "--center",
        "0.1588065269623468842175701332518998771,0.3176130539246937684351402665037997542",
        "--width",
        "1e-40",
        "--size",
        "40x30",
        "--iterations",
        "2000"};
    const Case cases[] = {
        {"Mandelbrot at 1e-30", kDeep, "picture.png"},
        {"a bitmap", kDeep, "picture.bmp"},
        {"anti-aliased", joined(kDeep, {"--supersample", "2"}), "picture.png"},
        {"the automatic limit",
         {"--center", "-1.7490441941182446,0", "--width", "1e-300", "--size", "32x24",
          "--iterations", "auto"},
         "picture.png"},
        {"Julia (a critical orbit)", julia, "picture.png"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const TempFolder folder;
        const std::string reference = folder.file("view.ref");
        const std::string alone = folder.file(std::string("alone-") + c.output);
        const std::string withFile = folder.file(std::string("with-") + c.output);
        const ToolRun saved =
            testing_support::runRender(folder, joined(c.view, {"--save-reference", reference}));
        ASSERT_EQ(saved.exitCode, 0) << saved.err;
        EXPECT_NE(saved.out.find("states="), std::string::npos);
        ASSERT_EQ(testing_support::runRender(folder, joined(c.view, {alone})).exitCode, 0);
        const ToolRun used = testing_support::runRender(
            folder, joined(c.view, {"--reference", reference, withFile}));
        ASSERT_EQ(used.exitCode, 0) << used.err;
        EXPECT_NE(used.out.find("reference_read=1"), std::string::npos) << used.out;
        const std::string picture = TempFolder::read(alone);
        EXPECT_FALSE(picture.empty());
        EXPECT_TRUE(picture == TempFolder::read(withFile));
    }
}

TEST(ReferenceToolTest, RefusesWhatTheReferenceCannotDo) {
    const TempFolder folder;
    const std::string reference = folder.file("view.ref");
    ASSERT_EQ(
        testing_support::runRender(folder, joined(kDeep, {"--save-reference", reference})).exitCode,
        0);
    // Its orbit reaches a limit of 100 without escaping (it escapes after 334 steps).
    const std::string lowLimit = folder.file("low.ref");
    ASSERT_EQ(testing_support::runRender(
                  folder, {"--center", "-1.7490441941182446,0", "--width", "1e-30", "--size",
                           "48x32", "--iterations", "100", "--save-reference", lowLimit})
                  .exitCode,
              0);
    const std::string damaged = folder.write("damaged.ref", TempFolder::read(reference) + "x");
    const std::string out = folder.file("out.png");
    struct Case {
        const char* name;
        std::vector<std::string> arguments;
        int exitCode;
        const char* message;
    };
    const Case cases[] = {
        {"a deeper view inside",
         {"--center", "-1.7490441941182446,0", "--width", "1e-33", "--size", "48x32",
          "--iterations", "3000", "--reference", reference, out},
         0,
         ""},
        {"a damaged file", joined(kDeep, {"--reference", damaged, out}), 1, "after its end"},
        {"a missing file", joined(kDeep, {"--reference", folder.file("none.ref"), out}), 1,
         "No such file"},
        {"a view beside its point",
         {"--center", "-1.7,0", "--width", "1e-30", "--size", "48x32", "--iterations", "3000",
          "--reference", reference, out},
         1,
         "outside the picture"},
        {"a higher limit",
         {"--center", "-1.7490441941182446,0", "--width", "1e-30", "--size", "48x32",
          "--iterations", "101", "--reference", lowLimit, out},
         1,
         "limit"},
        {"another type",
         {"--type", "Julia", "--center", "-1.7490441941182446,0", "--width", "1e-30", "--size",
          "48x32", "--iterations", "3000", "--reference", reference, out},
         1,
         "another fractal type"},
        {"a view double precision resolves",
         {"--center", "-0.5,0", "--width", "3", "--save-reference", folder.file("shallow.ref")},
         2,
         "double precision"},
        {"an orbit type", {"--type", "8", "--save-reference", folder.file("orbit.ref")}, 2, ""},
        {"a picture as well", joined(kDeep, {"--save-reference", reference, out}), 2, "no OUTPUT"},
        {"a folder", joined(kDeep, {"--save-reference", folder.path().string()}), 1,
         "cannot write the reference"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ToolRun run = testing_support::runRender(folder, c.arguments);
        EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    }
    // The file refused to be replaced is still the file it was.
    EXPECT_EQ(
        testing_support::runRender(folder, joined(kDeep, {"--reference", reference, out})).exitCode,
        0);
}

}  // namespace
