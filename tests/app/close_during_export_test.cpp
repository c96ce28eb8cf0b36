// Closing the window while an export runs: the user decides what becomes of the export.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/picture_export.h"
#include "main_window_rig.h"

namespace {

using Answer = app::Shell::Answer;
using testing_support::Rig;
using testing_support::waitUntil;

void startExport(Rig& rig, const std::string& path, int width, int height) {
    rig.shell.exportSize = app::ExportSize{width, height};
    rig.shell.fileAnswers.push_back(app::FileChoice{path, ""});
    rig.command(app::IDM_EXPORT);
}

void pumpUntilExportEnds(Rig& rig) {
    waitUntil([&rig] {
        if (rig.mainWindow->exportJob() == nullptr)
            return true;
        rig.pump();
        return false;
    });
}

TEST(CloseDuringExport, AsksAndEachAnswerDoesWhatItSays) {
    struct Case {
        const char* name;
        Answer answer;
        bool viaExit;      // File > Exit rather than the window manager's close
        bool closesNow;    // the window is gone at once
        bool fileWritten;  // the export goes on to its end
    };
    const Case cases[] = {
        {"finish, then close", Answer::Yes, false, false, true},
        {"cancel the export and close", Answer::No, false, true, false},
        {"keep the window", Answer::Cancel, false, false, true},
        {"Exit: finish, then close", Answer::Yes, true, false, true},
        {"Exit: keep the window", Answer::Cancel, true, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig(engine::kMandelbrot);
        rig.startAndPump();
        const std::string path = rig.folder.file("export.png");
        startExport(rig, path, 1200, 900);
        ASSERT_NE(rig.mainWindow->exportJob(), nullptr);

        rig.shell.threeWayAnswer = c.answer;
        if (c.viaExit) {
            rig.command(app::IDM_EXIT);
        } else {
            rig.send(app::WM_CLOSE);
        }
        ASSERT_EQ(rig.shell.questions.size(), 1u);
        EXPECT_NE(rig.shell.questions[0].find("export.png"), std::string::npos);
        EXPECT_EQ(rig.shell.quitCodes.size(), c.closesNow ? 1u : 0u);
        EXPECT_EQ(rig.mainWindow->currentFractal() == nullptr, c.closesNow);
        if (c.closesNow) {
            EXPECT_EQ(rig.mainWindow->exportJob(), nullptr);
            EXPECT_EQ(rig.shell.exportProgress, nullptr);
        } else {
            EXPECT_EQ(rig.shell.exportProgress, rig.mainWindow->exportJob());
            pumpUntilExportEnds(rig);
            // Yes: the window closes once the picture is written; Cancel: it stays.
            EXPECT_EQ(rig.shell.quitCodes.size(), c.answer == Answer::Yes ? 1u : 0u);
        }
        EXPECT_EQ(std::filesystem::exists(path), c.fileWritten);
        EXPECT_EQ(rig.shell.questions.size(), 1u);
    }
}

TEST(CloseDuringExport, NoQuestionWithoutAnExportOrWhenTheSessionEnds) {
    for (const bool exporting : {false, true}) {
        SCOPED_TRACE(exporting);
        Rig rig(engine::kMandelbrot);
        rig.startAndPump();
        const std::string path = rig.folder.file("big.png");
        if (exporting)
            startExport(rig, path, 20000, 20000);
        rig.send(app::WM_CLOSE, exporting ? app::kCloseNow : 0);
        EXPECT_TRUE(rig.shell.questions.empty());
        EXPECT_EQ(rig.shell.quitCodes, std::vector<int>{0});
        EXPECT_EQ(rig.mainWindow->exportJob(), nullptr);
        EXPECT_FALSE(std::filesystem::exists(path));
    }
}

}  // namespace
