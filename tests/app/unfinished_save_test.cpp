// Save of an escape-time picture whose run did not complete: its pixels are completed
// before the file records the parameters, or the file records none.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "app/picture_export.h"
#include "complex/complex_fractal.h"
#include "main_window_rig.h"
#include "persist/picture_file.h"

namespace {

using Answer = app::Shell::Answer;
using testing_support::Rig;
using testing_support::waitFinished;
using testing_support::waitUntil;

void waitForJob(Rig& rig) {
    waitUntil([&rig] {
        if (rig.mainWindow->exportJob() == nullptr)
            return true;
        rig.pump();
        return false;
    });
}

// A Mandelbrot stopped (Esc) long before its picture is complete.
void stopEarly(Rig& rig) {
    auto& fractal = dynamic_cast<complex::ComplexFractal&>(rig.fractal());
    fractal.stopCalculation();
    fractal.setMaxIterations(20000);
    fractal.startCalculation();
    rig.send(app::WM_KEYDOWN, app::VK_ESCAPE, 0);
    waitFinished(fractal);
}

int differingPixels(const platform::Bitmap& a, const platform::Bitmap& b) {
    int differing = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x)
            differing += a.pixel(x, y) != b.pixel(x, y) ? 1 : 0;
    }
    return differing;
}

persist::PictureFile readBack(Rig& rig, const std::string& path) {
    return persist::readPictureFile(path, engine::kMaxParameterUnits, rig.fractal().width,
                                    rig.fractal().height);
}

TEST(UnfinishedSave, CompletesTheMissingPixelsOrSavesThePixelsWithoutTheParameters) {
    struct Case {
        const char* name;
        Answer answer;
        bool complete;  // the file carries the type and parameters and the whole picture
    };
    const Case cases[] = {
        {"complete.bmp", Answer::Yes, true},
        {"complete.png", Answer::Yes, true},
        {"plain.bmp", Answer::No, false},
        {"plain.png", Answer::No, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig(engine::kMandelbrot, 120, 90);
        rig.startAndPump();
        waitFinished(rig.fractal());
        stopEarly(rig);
        ASSERT_TRUE(rig.mainWindow->stoppedByUser()) << "the run completed before it stopped";
        const platform::Bitmap shown = rig.fractal().picture;
        const std::string params = rig.fractal().parameterString();

        const std::string path = rig.folder.file(c.name);
        rig.shell.threeWayAnswer = c.answer;
        rig.shell.fileAnswers.push_back(app::FileChoice{path, ""});
        rig.command(app::IDM_SAVE);
        ASSERT_EQ(rig.shell.questions.size(), 1u);
        EXPECT_NE(rig.shell.questions[0].find("Complete it before saving?"), std::string::npos);
        waitForJob(rig);
        EXPECT_TRUE(rig.shell.messages.empty()) << rig.shell.messages.front();
        EXPECT_EQ(rig.shell.exportProgress, nullptr);
        EXPECT_TRUE(rig.mainWindow->stoppedByUser());  // the window's picture stays as it was

        const persist::PictureFile file = readBack(rig, path);
        ASSERT_TRUE(file.image.ok()) << file.image.error;
        EXPECT_EQ(file.type.has_value(), c.complete);
        if (!c.complete) {
            EXPECT_EQ(differingPixels(file.image.bitmap, shown), 0);
            EXPECT_TRUE(file.params.empty());
            continue;
        }
        EXPECT_EQ(file.type.value_or(0), engine::kMandelbrot);
        EXPECT_EQ(file.params, params);
        EXPECT_EQ(rig.fractal().folders.images, rig.folder.path());
        // Every pixel is the one the window's own run computes once it is let finish.
        rig.command(app::IDM_CONTINUE);
        ASSERT_TRUE(waitFinished(rig.fractal()));
        ASSERT_TRUE(rig.fractal().runState.completed.load());
        EXPECT_GT(differingPixels(shown, rig.fractal().picture), 0);
        EXPECT_EQ(differingPixels(file.image.bitmap, rig.fractal().picture), 0);
    }
}

TEST(UnfinishedSave, CancelAsksNoFileAndFinishedOrOrbitPicturesAreSavedAsBefore) {
    {
        SCOPED_TRACE("cancelled");
        Rig rig(engine::kJulia, 120, 90);
        rig.startAndPump();
        waitFinished(rig.fractal());
        stopEarly(rig);
        rig.shell.threeWayAnswer = Answer::Cancel;
        rig.shell.fileAnswers.push_back(app::FileChoice{rig.folder.file("x.bmp"), ""});
        rig.command(app::IDM_SAVE);
        EXPECT_EQ(rig.shell.questions.size(), 1u);
        EXPECT_TRUE(rig.shell.fileRequests.empty());
        EXPECT_EQ(rig.mainWindow->exportJob(), nullptr);
        EXPECT_FALSE(std::filesystem::exists(rig.folder.file("x.bmp")));
    }
    for (const engine::FractalType type : {engine::kMandelbrot, engine::kHopalong}) {
        SCOPED_TRACE(type);
        Rig rig(type, 64, 48);
        rig.startAndPump();
        if (type == engine::kMandelbrot) {
            waitFinished(rig.fractal());
        } else {
            rig.command(app::IDM_STOP);  // an orbit never finishes: saved as it stands
            // A paused orbit finishes the point it is computing before it waits.
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        const std::string path = rig.folder.file("as-before.bmp");
        rig.shell.fileAnswers.push_back(app::FileChoice{path, ""});
        rig.command(app::IDM_SAVE);
        EXPECT_TRUE(rig.shell.questions.empty());
        EXPECT_EQ(rig.mainWindow->exportJob(), nullptr);
        const persist::PictureFile file = readBack(rig, path);
        EXPECT_EQ(file.type.value_or(0), type);
        EXPECT_EQ(file.params, rig.fractal().parameterString());
        EXPECT_EQ(differingPixels(file.image.bitmap, rig.fractal().picture), 0);
    }
}

}  // namespace
