#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/location.h"
#include "app/messages.h"
#include "complex/complex_fractal.h"
#include "main_window_rig.h"

namespace {

using namespace testing_support;

constexpr int kWidth = 160;
constexpr int kHeight = 120;

complex::ComplexFractal& escapeTime(Rig& rig) {
    return dynamic_cast<complex::ComplexFractal&>(rig.fractal());
}

void paste(Rig& rig, const std::string& text) {
    rig.shell.clipboard = text;
    rig.command(app::IDM_PASTE_LOCATION);
    rig.pump();
}

TEST(LocationCommandTest, PastedLocationsGoThroughTheHistoryAndCopyGivesThemBack) {
    struct Case {
        const char* what;
        std::string text;
        engine::FractalType type;
        int iterations;
        double paramReal;
        bool deep;
    };
    const std::vector<Case> cases = {
        {"the same type, shallow", "type Mandelbrot\ncentre -0.75 0.1\nwidth 0.05\niterations 321",
         engine::kMandelbrot, 321, 0.0, false},
        {"the same type, deep", "type Mandelbrot\ncentre -0.75 0.1\nwidth 1e-40\niterations 2000",
         engine::kMandelbrot, 2000, 0.0, true},
        {"another type with its parameters",
         "type Julia\ncentre 0.1 0\nwidth 2\nparameters -2,-2,2,2,77,-0.8,0.156,1,0,0",
         engine::kJulia, 77, -0.8, false},
        {"another type, the limit without parameters",
         "type Phoenix\ncentre 0 0\nwidth 3\niterations 99", engine::kPhoenix, 99, 0.5667, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Rig rig(engine::kMandelbrot, kWidth, kHeight);
        rig.startAndPump();
        const view::ViewWindow before = rig.fractal().view();
        const int historyBefore = rig.fractal().history.count();

        paste(rig, c.text);
        ASSERT_TRUE(rig.shell.messages.empty()) << rig.shell.messages.front();
        ASSERT_EQ(rig.fractal().type, c.type);
        EXPECT_EQ(escapeTime(rig).maxIterations(), c.iterations);
        EXPECT_NEAR(escapeTime(rig).paramReal(), c.paramReal, 1e-3);
        EXPECT_EQ(rig.fractal().deepView() != nullptr, c.deep);
        EXPECT_EQ(rig.fractal().history.count(), historyBefore + 1);

        // Copy gives the location pasted (the centre and width to their digits).
        rig.command(app::IDM_COPY_LOCATION);
        const app::LocationResult copied = app::parseLocation(rig.shell.clipboard);
        ASSERT_TRUE(copied.value) << copied.error;
        const app::LocationResult pasted = app::parseLocation(c.text);
        EXPECT_EQ(copied.value->type, c.type);
        EXPECT_EQ(copied.value->iterations, c.iterations);
        EXPECT_EQ(copied.value->view.x.toDouble(), pasted.value->view.x.toDouble());
        EXPECT_EQ(copied.value->view.width.toDouble(), pasted.value->view.width.toDouble());

        // Back returns to the view the paste left.
        rig.command(app::IDM_ZOOM_PREVIOUS);
        EXPECT_TRUE(sameView(rig.fractal().view(), before));
        waitFinished(rig.fractal());
    }
}

// Copy then Paste shows the very view copied, not one a rounding away; a location
// copied on a picture of another size shows the same centre and width.
TEST(LocationCommandTest, ACopyPastedBackIsTheViewCopied) {
    Rig rig(engine::kMandelbrot, kWidth, kHeight);
    rig.startAndPump();
    paste(rig, "type Mandelbrot\ncentre -0.7436438870371587 0.1318259042053119\nwidth 3.3e-9");
    const view::ViewWindow copiedView = rig.fractal().view();
    const std::string copiedParameters = rig.fractal().parameterString();
    rig.command(app::IDM_COPY_LOCATION);
    rig.command(app::IDM_ZOOM_OUT);
    paste(rig, rig.shell.clipboard);
    EXPECT_TRUE(sameView(rig.fractal().view(), copiedView));
    EXPECT_EQ(rig.fractal().parameterString(), copiedParameters);
    waitFinished(rig.fractal());

    Rig other(engine::kJulia, kWidth + 50, kHeight);
    other.startAndPump();
    paste(other, rig.shell.clipboard);
    const view::ViewWindow& there = other.fractal().view();
    const double pixel = (copiedView.xmax - copiedView.xmin) / kWidth;
    EXPECT_NEAR((there.xmin + there.xmax) / 2, (copiedView.xmin + copiedView.xmax) / 2, pixel);
    EXPECT_NEAR((there.ymin + there.ymax) / 2, (copiedView.ymin + copiedView.ymax) / 2, pixel);
    EXPECT_NEAR(there.xmax - there.xmin, copiedView.xmax - copiedView.xmin, pixel);
    waitFinished(other.fractal());
}

TEST(LocationCommandTest, ARefusedLocationChangesNothing) {
    const std::vector<std::pair<std::string, const char*>> cases = {
        {"", "no type"},
        {"type Mandelbrot\ncentre 0 0\nwidth 1e-30001", "narrowest"},
        {"type Hopalong\ncentre 1 0\nwidth 1e-20", "orbit types"},
        {"type Julia\ncentre 0 0\nwidth 1\nparameters 1,2", "cannot be used"},
    };
    Rig rig(engine::kMandelbrot, kWidth, kHeight);
    rig.startAndPump();
    const std::string parameters = rig.fractal().parameterString();
    const int history = rig.fractal().history.count();
    for (const auto& [text, reason] : cases) {
        SCOPED_TRACE(text);
        rig.shell.messages.clear();
        paste(rig, text);
        ASSERT_EQ(rig.shell.messages.size(), 1u);
        EXPECT_NE(rig.shell.messages[0].find(reason), std::string::npos) << rig.shell.messages[0];
        EXPECT_EQ(rig.fractal().type, engine::kMandelbrot);
        EXPECT_EQ(rig.fractal().parameterString(), parameters);
        EXPECT_EQ(rig.fractal().history.count(), history);
    }
    waitFinished(rig.fractal());
}

TEST(LocationCommandTest, BookmarksAreAddedVisitedRenamedAndDeleted) {
    Rig rig(engine::kMandelbrot, kWidth, kHeight);
    rig.mainWindow->useBookmarkFile(rig.folder.file("Corvane Bookmarks.txt"));
    rig.startAndPump();
    paste(rig, "type Mandelbrot\ncentre -0.75 0.1\nwidth 0.05\niterations 400");
    rig.shell.textAnswers = {std::string("Valley")};
    rig.command(app::IDM_ADD_BOOKMARK);
    ASSERT_EQ(rig.mainWindow->bookmarks().size(), 1u);
    EXPECT_EQ(rig.shell.offeredTexts.back(), "Mandelbrot");
    const view::ViewWindow valley = rig.fractal().view();

    rig.command(app::IDM_ZOOM_PREVIOUS);
    rig.command(app::IDM_BOOKMARK_FIRST);
    rig.pump();
    EXPECT_TRUE(sameView(rig.fractal().view(), valley));
    EXPECT_EQ(escapeTime(rig).maxIterations(), 400);

    rig.shell.itemAnswer = 0;
    rig.shell.textAnswers = {std::string("Seahorse valley")};
    rig.command(app::IDM_RENAME_BOOKMARK);
    EXPECT_EQ(rig.shell.offeredItems, std::vector<std::string>{"Valley"});
    EXPECT_EQ(rig.mainWindow->bookmarks()[0].name, "Seahorse valley");

    rig.shell.yesAnswer = false;
    rig.command(app::IDM_DELETE_BOOKMARK);
    EXPECT_EQ(rig.mainWindow->bookmarks().size(), 1u);
    rig.shell.yesAnswer = true;
    rig.command(app::IDM_DELETE_BOOKMARK);
    EXPECT_TRUE(rig.mainWindow->bookmarks().empty());
    EXPECT_EQ(rig.command(app::IDM_BOOKMARK_FIRST), 0);
    EXPECT_TRUE(rig.shell.messages.empty());
    waitFinished(rig.fractal());
}

}  // namespace
