// File > Export: the picture shown at another size, on a thread of its own.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/picture_export.h"
#include "complex/complex_fractal.h"
#include "main_window_rig.h"

namespace {

using testing_support::Rig;
using testing_support::waitFinished;
using testing_support::waitUntil;

// Pumps the window's messages until the export has ended and been taken up.
void waitForExport(Rig& rig) {
    waitUntil([&rig] {
        if (rig.mainWindow->exportJob() == nullptr)
            return true;
        rig.pump();
        return false;
    });
}

TEST(ExportCommand, WritesThePictureShownAtTheAskedSizeWhileTheWindowGoesOn) {
    Rig rig(engine::kMandelbrot);
    rig.startAndPump();
    waitFinished(rig.fractal());
    const std::string params = rig.fractal().parameterString();
    const std::uint64_t windowPoints = rig.fractal().statistics().pointCount;

    const std::string path = rig.folder.file("wide.png");
    rig.shell.exportSize = app::ExportSize{90, 30};
    rig.shell.fileAnswers.push_back(app::FileChoice{path, ""});
    rig.command(app::IDM_EXPORT);
    ASSERT_NE(rig.mainWindow->exportJob(), nullptr);
    EXPECT_EQ(rig.shell.exportProgress, rig.mainWindow->exportJob());
    const app::FileDialogRequest& request = rig.shell.fileRequests.back();
    EXPECT_EQ(request.title, "Export fractal:");
    EXPECT_EQ(request.fileName, "Mandelbrot_90x30");
    EXPECT_EQ(request.defaultExtension, "png");
    EXPECT_EQ(request.filters.front().pattern, "*.png");
    waitForExport(rig);
    EXPECT_EQ(rig.shell.exportProgress, nullptr);
    EXPECT_TRUE(rig.shell.messages.empty());
    EXPECT_TRUE(std::filesystem::exists(path));
    // The window's own picture, view and run are untouched.
    EXPECT_EQ(rig.fractal().parameterString(), params);
    EXPECT_EQ(rig.fractal().statistics().pointCount, windowPoints);
}

// The export computes the picture on a fractal of its own: the window's exact counts, as
// the settings gave them, go with the request.
TEST(ExportCommand, TheWindowsExactCountsGoWithTheExport) {
    for (const bool exact : {false, true}) {
        SCOPED_TRACE(exact);
        Rig rig(engine::kMandelbrot);
        rig.store.write(testing_support::kKey, "ExactCounts",
                        platform::SettingsValue::ofNumber(exact ? 1 : 0));
        rig.startAndPump();
        EXPECT_EQ(rig.fractal().options().exactCounts, exact);
        waitFinished(rig.fractal());
        rig.shell.exportSize = app::ExportSize{30, 20};
        rig.shell.fileAnswers.push_back(app::FileChoice{rig.folder.file("exact.png"), ""});
        rig.command(app::IDM_EXPORT);
        ASSERT_NE(rig.mainWindow->exportJob(), nullptr);
        EXPECT_EQ(rig.mainWindow->exportJob()->request().exactCounts, exact);
        waitForExport(rig);
        EXPECT_TRUE(rig.shell.messages.empty());
    }
}

TEST(ExportCommand, RefusesWhatItCannotWriteAndNamesTheFile) {
    Rig rig(engine::kJulia);
    rig.startAndPump();
    struct Case {
        const char* name;
        std::string path;
        const char* message;  // empty: none
    };
    const Case cases[] = {
        {"bitmap name", rig.folder.file("a.bmp"), "an export is a PNG picture"},
        {"missing folder", rig.folder.file("none/a.png"), "No such file or directory"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        rig.shell.messages.clear();
        rig.shell.exportSize = app::ExportSize{20, 10};
        rig.shell.fileAnswers.push_back(app::FileChoice{c.path, ""});
        rig.command(app::IDM_EXPORT);
        waitForExport(rig);
        ASSERT_EQ(rig.shell.messages.size(), 1u);
        EXPECT_EQ(rig.shell.messages[0].rfind("Cannot export the picture to " + c.path + ": ", 0),
                  0u)
            << rig.shell.messages[0];
        EXPECT_NE(rig.shell.messages[0].find(c.message), std::string::npos);
        EXPECT_FALSE(std::filesystem::exists(c.path));
    }

    // Cancelled in the size dialog: no file dialog follows.
    rig.shell.exportSize.reset();
    const std::size_t fileDialogs = rig.shell.fileRequests.size();
    rig.command(app::IDM_EXPORT);
    EXPECT_EQ(rig.shell.fileRequests.size(), fileDialogs);
}

TEST(ExportCommand, OneExportAtATimeAndClosingCancelsItWithoutAFile) {
    Rig rig(engine::kMandelbrot);
    rig.startAndPump();
    const std::string path = rig.folder.file("big.png");
    rig.shell.exportSize = app::ExportSize{20000, 20000};
    rig.shell.fileAnswers.push_back(app::FileChoice{path, ""});
    rig.command(app::IDM_EXPORT);
    ASSERT_NE(rig.mainWindow->exportJob(), nullptr);

    rig.shell.fileAnswers.push_back(app::FileChoice{rig.folder.file("other.png"), ""});
    rig.command(app::IDM_EXPORT);
    ASSERT_EQ(rig.shell.messages.size(), 1u);
    EXPECT_NE(rig.shell.messages[0].find("is running"), std::string::npos);

    rig.mainWindow.reset();
    EXPECT_EQ(rig.shell.exportProgress, nullptr);
    EXPECT_FALSE(std::filesystem::exists(path));
    std::vector<std::string> left;
    for (const auto& entry : std::filesystem::directory_iterator(rig.folder.path()))
        left.push_back(entry.path().filename().string());
    EXPECT_EQ(left, std::vector<std::string>{"pictures"});
}

}  // namespace
