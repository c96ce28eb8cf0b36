// A view comes back bit for bit from every place it is written to: the settings (as
// after a restart), a saved picture opened again and the View dialog's untouched
// fields. What was written before in the six-decimal form, and damaged strings, still
// read as they always did.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>

#include "app/picture_check.h"
#include "app/view_dialog.h"
#include "catalogue/factory.h"
#include "catalogue/fractal_types.h"
#include "persist/bitmap_file.h"
#include "persist/picture_file.h"
#include "platform/headless_window.h"
#include "platform/settings_store.h"
#include "platform/temp_folder.h"
#include "platform/text.h"
#include "support/wait.h"

namespace {

using testing_support::TempFolder;

const char kKey[] = "Software\\Velk\\Corvane";
constexpr int kWidth = 60;  // the handheld's 240 x 268 shape, smaller
constexpr int kHeight = 67;

bool sameBits(double a, double b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

::testing::AssertionResult sameRectangle(const view::ViewWindow& a, const view::ViewWindow& b) {
    if (sameBits(a.xmin, b.xmin) && sameBits(a.xmax, b.xmax) && sameBits(a.ymin, b.ymin) &&
        sameBits(a.ymax, b.ymax)) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure()
           << std::hexfloat << "(" << a.xmin << ", " << a.ymin << ")-(" << a.xmax << ", " << a.ymax
           << ") is not (" << b.xmin << ", " << b.ymin << ")-(" << b.xmax << ", " << b.ymax << ")";
}

// One settings file and one window, as one run of the program has; a restart is a
// new fractal object on the same file.
struct Program {
    engine::FractalPtr create(engine::FractalType type) {
        return catalogue::createFractal(type, platform::Services{window, store, sound});
    }
    std::optional<std::string> stored(const std::string& name) {
        const auto value = store.read(kKey, name);
        return value ? std::optional<std::string>(value->text) : std::nullopt;
    }
    void storeText(const std::string& name, const std::string& text) {
        store.write(kKey, name, platform::SettingsValue::ofText(text));
    }
    TempFolder settingsFolder;
    platform::HeadlessWindow window{kWidth, kHeight};
    platform::FileSettingsStore store{settingsFolder.file("Corvane.reg")};
    platform::RecordingSound sound;
};

// An escape-time picture runs to its end; an orbit never ends and is stopped.
void finish(engine::Fractal& fractal) {
    if (catalogue::isComplexType(fractal.type))
        corvane_test::waitFinished(fractal);
    fractal.stopCalculation();
}

// The view a fractal of this window gets from setRect on these corners.
view::ViewWindow fittedView(double x1, double y1, double x2, double y2) {
    view::ViewWindow view;
    view.setScreenSize(kWidth, kHeight);
    view.setRect(x1, y1, x2, y2);
    return view;
}

view::ViewWindow constructedView() {
    view::ViewWindow view;
    view.setScreenSize(kWidth, kHeight);
    view.centreOnOrigin();
    return view;
}

// Open as the main window does it: read once, check, show, continue as the file's type.
// shownView: the view the opening fractal recorded for the picture.
engine::FractalPtr openAndContinue(Program& program, const std::string& path,
                                   view::ViewWindow& shownView) {
    const persist::PictureFile file =
        persist::readPictureFile(path, engine::kMaxParameterUnits, kWidth, kHeight);
    if (const auto problem = app::pictureFileProblem(file)) {
        ADD_FAILURE() << "refused: " << *problem;
        return nullptr;
    }
    // The fractal on screen before is of a type no case uses.
    engine::FractalPtr opener = program.create(engine::kUnity);
    opener->stopCalculation();
    opener->showOpenedPicture(file.image.bitmap, file.type, file.params, false);
    shownView = opener->opened.view;
    engine::FractalPtr continued = program.create(opener->opened.type);
    continued->takeOverPicture(*opener);
    return continued;
}

// The views that drifted: a Julia 3.3e-5 wide after a restart, a view 9e-6 wide after
// Ok in the View dialog; deeper and ordinary ones, orbits far from the origin.
struct ViewCase {
    const char* name;
    engine::FractalType type;
    double cx, cy, width, aspect;  // aspect: height / width before fitting
};
const ViewCase kViews[] = {
    {"Julia 3.3e-5 wide", engine::kJulia, -0.10109636384562, 0.95628651080914, 3.3e-5, 1.2},
    {"Mandelbrot 9e-6 wide", engine::kMandelbrot, -0.7436438870371587, 0.13182590420531198, 9e-6,
     0.9},
    {"Mandelbrot 1e-12 wide", engine::kMandelbrot, -1.7497219321, 0.0000029182, 1e-12, 1.0},
    {"Phoenix, ordinary", engine::kPhoenix, 0.1, -0.3, 3.2, 1.1},
    {"Spider, off the aspect", engine::kSpider, -0.5, 0.25, 1.0 / 3.0, 3.0},
    {"Hopalong far out", engine::kHopalong, 1234.5678, -9876.54321, 0.01, 1.1},
    {"Martin, ordinary", engine::kMartin, 0.7, -2.3, 240.0, 0.5},
};

engine::FractalPtr showing(Program& program, const ViewCase& c) {
    engine::FractalPtr fractal = program.create(c.type);
    fractal->startFromSettings();
    fractal->stopCalculation();
    const double h = c.width * c.aspect;
    fractal->setViewRect(c.cx - c.width / 2, c.cy - h / 2, c.cx + c.width / 2, c.cy + h / 2);
    fractal->startCalculation();
    finish(*fractal);
    return fractal;
}

TEST(ViewRoundTrip, EveryWayBackGivesTheSameRectangleAndPicture) {
    for (const ViewCase& c : kViews) {
        SCOPED_TRACE(c.name);
        const TempFolder folder;
        Program program;
        const engine::FractalPtr shown = showing(program, c);
        const view::ViewWindow view = shown->view();
        const auto picture = shown->picture.snapshot();
        const bool comparePictures = catalogue::isComplexType(c.type);  // orbits use random colours

        // The settings after a restart.
        const engine::FractalPtr restarted = program.create(c.type);
        restarted->startFromSettings();
        finish(*restarted);
        EXPECT_TRUE(sameRectangle(restarted->view(), view)) << "restart";
        if (comparePictures) {
            EXPECT_EQ(restarted->picture.snapshot(), picture) << "restart";
        }

        // A saved picture opened again.
        const std::string path = folder.file("saved.bmp");
        ASSERT_EQ(shown->saveImage(path), engine::kStatusOk);
        view::ViewWindow shownView;
        const engine::FractalPtr opened = openAndContinue(program, path, shownView);
        ASSERT_NE(opened, nullptr);
        EXPECT_TRUE(sameRectangle(shownView, view)) << "open";
        EXPECT_TRUE(sameRectangle(opened->view(), view)) << "open";
        EXPECT_EQ(opened->picture.snapshot(), picture) << "open";
        opened->startCalculation();
        finish(*opened);
        if (comparePictures) {
            EXPECT_EQ(opened->picture.snapshot(), picture) << "computed again after open";
        }

        // Ok in the View dialog with every field as shown.
        app::ViewDialog::ok(app::ViewDialog::open(*shown), *shown);
        finish(*shown);
        EXPECT_TRUE(sameRectangle(shown->view(), view)) << "View dialog";
        if (comparePictures) {
            EXPECT_EQ(shown->picture.snapshot(), picture) << "View dialog";
        }
    }
}

// Parameter strings as earlier versions stored them, and damaged ones. What can be used
// is applied; what cannot is ignored as it always was, but a damaged view (non-finite or
// without extent) gives the type's default view; the other types' views stay.
TEST(ViewRoundTrip, OldAndDamagedStoredStringsReadAsBefore) {
    const view::ViewWindow constructed = constructedView();
    struct Case {
        const char* name;
        engine::FractalType type;
        std::string text;
        std::optional<view::ViewWindow> view;  // nullopt: the defaults are applied
    };
    const Case cases[] = {
        {"six decimals, escape-time", engine::kJulia,
         "-1.600000,-1.200000,1.600000,1.200000,500,0.3,0.5,1,1,50",
         fittedView(-1.6, -1.2, 1.6, 1.2)},
        {"six decimals, orbit", engine::kHopalong,
         "-400.000000,-300.000000,400.000000,300.000000,1.5,2.5,3.5,700,0",
         fittedView(-400, -300, 400, 300)},
        {"six decimals of a deep view", engine::kMandelbrot,
         "-0.743648,0.131822,-0.743639,0.131832,200,0,0,1,1,100",
         fittedView(-0.743648, 0.131822, -0.743639, 0.131832)},
        {"more fields", engine::kJulia, "-1,-1,1,1,50,0.3,0.5,1,1,50,7,8,extra",
         fittedView(-1, -1, 1, 1)},
        {"fewer fields", engine::kJulia, "-1,-1,1,1,50,0.3,0.5,1,1", constructed},
        {"fewer fields, orbit", engine::kMartin, "-1,-1,1,1,2,0,0,5000", constructed},
        {"exponents", engine::kSpider, "-1e-07,-2E-7,1.5e-07,3e-7,50,0,0,1,1,50",
         fittedView(-1e-7, -2e-7, 1.5e-7, 3e-7)},
        {"huge", engine::kJulia, "-1e300,-1e300,1e300,1e300,50,0,0,1,1,50",
         fittedView(-1e300, -1e300, 1e300, 1e300)},
        {"overflowing", engine::kJulia, "-1e999,-1,1e999,1,50,0,0,1,1,50", std::nullopt},
        {"tiny", engine::kJulia, "0,0,1e-320,1e-320,50,0,0,1,1,50", std::nullopt},
        {"NaN", engine::kHopalong, "nan,0,1,1,1,2,3,5000,1", constructed},
        {"inf", engine::kMandelbrot, "-inf,-1,inf,1,50,0,0,1,1,50", std::nullopt},
        {"no extent", engine::kMandelbrot, "0.5,0.5,0.5,0.5,50,0,0,1,1,50", std::nullopt},
        {"longer than any the program writes", engine::kJulia,
         "-1,-1,1,1,50,0,0,1,1,50" + std::string(engine::kMaxParameterUnits, '0'), std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Program program;
        const std::string otherName = "Unity";  // no case is of this type
        const std::string other = "-0.1234567890123,-1,0.5,1,50,0,0,1,1,50";
        program.storeText(otherName, other);
        const std::string name(catalogue::fractalTypeName(c.type));
        program.storeText(name, c.text);

        const engine::FractalPtr fractal = program.create(c.type);
        fractal->startFromSettings();
        fractal->stopCalculation();
        if (c.view) {
            EXPECT_TRUE(sameRectangle(fractal->view(), *c.view));
        } else {
            engine::FractalPtr defaults = program.create(c.type);
            defaults->setDefaultView();
            defaults->stopCalculation();
            EXPECT_TRUE(sameRectangle(fractal->view(), defaults->view()));
        }
        EXPECT_EQ(program.stored(otherName), other);
    }
}

// A saved picture's trailer as earlier versions wrote it, and damaged ones.
TEST(ViewRoundTrip, OldAndDamagedTrailersOpenAsBefore) {
    struct Case {
        const char* name;
        engine::FractalType type;
        std::string text;
        bool opens;
        std::optional<view::ViewWindow> view;  // of the continued fractal; nullopt: the default
    };
    const Case cases[] = {
        {"six decimals", engine::kJulia, "-1.600000,-1.200000,1.600000,1.200000,500,0.3,0.5,1,1,50",
         true, fittedView(-1.6, -1.2, 1.6, 1.2)},
        {"six decimals, orbit", engine::kGingerbreadman,
         "-12.000000,-13.400000,12.000000,13.400000,-0.1,0,0,5000,1", true,
         fittedView(-12, -13.4, 12, 13.4)},
        {"the view only", engine::kJulia, "-1,-1,1,1", true, constructedView()},
        {"no extent", engine::kJulia, "1,1,1,1,50,0,0,1,1,50", true, std::nullopt},
        {"three numbers", engine::kJulia, "-1,-1,1", false, constructedView()},
        {"NaN", engine::kJulia, "nan,-1,1,1,50,0,0,1,1,50", false, constructedView()},
        {"infinite", engine::kHopalong, "-1,-1e999,1,1,1,2,3,5000,1", false, constructedView()},
        {"unknown type", 99, "-1,-1,1,1,50,0,0,1,1,50", false, constructedView()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const TempFolder folder;
        Program program;
        const std::string path = folder.file("old.bmp");
        {
            const engine::FractalPtr saver = program.create(engine::kMandelbrot);
            saver->stopCalculation();
            ASSERT_EQ(saver->saveImage(path), engine::kStatusOk);
        }
        // The saved pixels, followed by the case's type and text.
        std::filesystem::resize_file(path, persist::pictureTrailerOffset(kWidth, kHeight));
        std::ofstream trailer(path, std::ios::binary | std::ios::app);
        const auto type = static_cast<std::uint32_t>(c.type);
        for (int shift = 0; shift < 32; shift += 8)
            trailer.put(static_cast<char>((type >> shift) & 0xFF));
        for (const char16_t unit : platform::toUtf16(c.text) + u'\0') {
            trailer.put(static_cast<char>(unit & 0xFF));
            trailer.put(static_cast<char>(unit >> 8));
        }
        trailer.close();
        const std::string stored = "-0.25,-0.5,0.25,0.5,50,0,0,1,1,50";
        program.storeText("Mandelbrot", stored);

        const persist::PictureFile file =
            persist::readPictureFile(path, engine::kMaxParameterUnits, kWidth, kHeight);
        EXPECT_EQ(!app::pictureFileProblem(file).has_value(), c.opens);
        if (c.opens) {
            view::ViewWindow shownView;
            const engine::FractalPtr continued = openAndContinue(program, path, shownView);
            ASSERT_NE(continued, nullptr);
            EXPECT_EQ(continued->type, c.type);
            if (c.view) {
                EXPECT_TRUE(sameRectangle(continued->view(), *c.view));
            } else {
                engine::FractalPtr defaults = program.create(c.type);
                defaults->setDefaultView();
                defaults->stopCalculation();
                EXPECT_TRUE(sameRectangle(continued->view(), defaults->view()));
            }
        }
        EXPECT_EQ(program.stored("Mandelbrot"), stored);
    }
}

}  // namespace
