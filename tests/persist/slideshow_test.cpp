#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "engine/test_fractal.h"
#include "platform/file_search.h"

using corvane_test::Rig;
using corvane_test::TestFractal;

namespace {

namespace fs = std::filesystem;

// A folder of saved pictures, each filled with its own colour.
class SlideshowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() /
                  ("corvane-slideshow-" +
                   std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder_);
        fs::create_directories(folder_);
    }
    void TearDown() override { fs::remove_all(folder_); }

    void savePicture(const std::string& name, platform::Color color) {
        Rig rig(8, 6);
        TestFractal f(rig.services());
        f.picture.fillRect({0, 0, 8, 6}, color);
        ASSERT_EQ(f.saveImage((folder_ / name).string()), engine::kStatusOk);
    }
    std::string path(const std::string& name) const { return (folder_ / name).string(); }

    fs::path folder_;
};

constexpr platform::Color kMandelbrot1 = 0x0000AA;
constexpr platform::Color kMandelbrot2 = 0x00AA00;
constexpr platform::Color kJulia1 = 0xAA0000;
constexpr platform::Color kBefore = 0x777777;

struct OrderCase {
    const char* name;
    bool sameType;
    std::vector<std::pair<std::string, platform::Color>> shown;
};

TEST_F(SlideshowTest, ShowsTheMatchingPicturesInNameOrderFromTheFirst) {
    savePicture("Mandelbrot001.bmp", kMandelbrot1);
    savePicture("Mandelbrot002.bmp", kMandelbrot2);
    savePicture("Julia001.bmp", kJulia1);
    const OrderCase cases[] = {
        {"yes",
         true,
         {{"Mandelbrot001", kMandelbrot1},
          {"Mandelbrot002", kMandelbrot2},
          {"Mandelbrot001", kMandelbrot1}}},
        {"no",
         false,
         {{"Julia001", kJulia1},
          {"Mandelbrot001", kMandelbrot1},
          {"Mandelbrot002", kMandelbrot2},
          {"Julia001", kJulia1}}},
    };
    for (const OrderCase& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig(8, 6);
        TestFractal f(rig.services());
        f.setOption(&engine::Options::animZoom, false);
        f.picture.fillRect({0, 0, 8, 6}, kBefore);
        EXPECT_EQ(f.startSlideshow(path("Mandelbrot002.bmp"), 2, c.sameType), engine::kStatusOk);
        EXPECT_EQ(rig.window.timers().at(2), 2000u);
        for (std::size_t i = 0; i < c.shown.size(); ++i) {
            if (i > 0) {
                EXPECT_EQ(f.slideshowTick(), engine::kStatusOk);
            }
            EXPECT_EQ(rig.window.title(), c.shown[i].first);
            EXPECT_EQ(f.picture.pixel(3, 3), c.shown[i].second);
            EXPECT_EQ(rig.window.surface().pixel(3, 3), c.shown[i].second);
        }
        f.stopSlideshow();
        EXPECT_EQ(f.picture.pixel(3, 3), kBefore);
        EXPECT_EQ(rig.window.surface().pixel(3, 3), kBefore);
        EXPECT_EQ(rig.window.title(), "Corvane");
        EXPECT_TRUE(rig.window.timers().empty());
        EXPECT_EQ(f.opened.type, f.type);
    }
}

// PNG pictures take their place among the bitmaps, in one name order.
TEST_F(SlideshowTest, ShowsPngPicturesAmongTheBitmaps) {
    savePicture("Mandelbrot001.bmp", kMandelbrot1);
    savePicture("Mandelbrot002.png", kMandelbrot2);
    savePicture("Julia001.PNG", kJulia1);
    savePicture("Mandelbrot003.pngx", kBefore);
    const OrderCase cases[] = {
        {"yes",
         true,
         {{"Mandelbrot001", kMandelbrot1},
          {"Mandelbrot002", kMandelbrot2},
          {"Mandelbrot001", kMandelbrot1}}},
        {"no",
         false,
         {{"Julia001", kJulia1},
          {"Mandelbrot001", kMandelbrot1},
          {"Mandelbrot002", kMandelbrot2},
          {"Julia001", kJulia1}}},
    };
    for (const OrderCase& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig(8, 6);
        TestFractal f(rig.services());
        f.setOption(&engine::Options::animZoom, false);
        EXPECT_EQ(f.startSlideshow(path("Mandelbrot002.png"), 2, c.sameType), engine::kStatusOk);
        for (std::size_t i = 0; i < c.shown.size(); ++i) {
            if (i > 0) {
                EXPECT_EQ(f.slideshowTick(), engine::kStatusOk);
            }
            EXPECT_EQ(rig.window.title(), c.shown[i].first);
            EXPECT_EQ(f.picture.pixel(3, 3), c.shown[i].second);
        }
        f.stopSlideshow();
    }
}

TEST_F(SlideshowTest, ChosenNameWithoutDigitsIsCutAtItsDot) {
    savePicture("Julia.bmp", kJulia1);
    savePicture("Juliet7.bmp", kMandelbrot1);
    Rig rig(8, 6);
    TestFractal f(rig.services());
    f.setOption(&engine::Options::animZoom, false);
    EXPECT_EQ(f.startSlideshow(path("Julia.bmp"), 2, true), engine::kStatusOk);
    EXPECT_EQ(f.slideshow.pattern, path("Julia*.bmp"));
    EXPECT_EQ(f.slideshow.files, std::vector<std::string>{"Julia.bmp"});
    f.stopSlideshow();
}

TEST_F(SlideshowTest, TitleShowsTheNameOnlyForDelaysOf100MsOrMore) {
    savePicture("Julia001.bmp", kJulia1);
    for (const int delay : {2000, 100, 50}) {
        SCOPED_TRACE(delay);
        Rig rig(8, 6);
        TestFractal f(rig.services());
        f.setOption(&engine::Options::slideshowDelay, delay);
        f.startSlideshow(path("Julia001.bmp"), 2, false);
        EXPECT_EQ(rig.window.title(), delay >= 100 ? "Julia001" : "Corvane");
        EXPECT_EQ(rig.window.timers().at(2), static_cast<unsigned>(delay));
        f.stopCalculation();  // a stop ends the show too
        EXPECT_TRUE(rig.window.timers().empty());
    }
}

TEST_F(SlideshowTest, OnePictureIsShownAgainAtEveryTickAndBrokenOnesAreSkipped) {
    savePicture("Julia001.bmp", kJulia1);
    std::ofstream(path("Julia002.bmp"), std::ios::binary) << "BM not really a bitmap";
    Rig rig(8, 6);
    TestFractal f(rig.services());
    f.setOption(&engine::Options::animZoom, false);
    ASSERT_EQ(f.startSlideshow(path("Julia001.bmp"), 2, true), engine::kStatusOk);
    EXPECT_EQ(f.slideshowTick(), engine::kStatusNotABitmap);  // Julia002: skipped
    EXPECT_EQ(f.picture.pixel(1, 1), kJulia1);
    EXPECT_EQ(f.slideshowTick(), engine::kStatusOk);
    EXPECT_EQ(f.picture.pixel(1, 1), kJulia1);
    fs::remove_all(folder_);  // the folder goes away during the show
    EXPECT_EQ(f.slideshowTick(), engine::kStatusNotABitmap);
    f.stopSlideshow();
}

TEST_F(SlideshowTest, NothingMatchingStartsNoTimerAndLeavesTheRunStopped) {
    savePicture("Julia001.bmp", kJulia1);
    Rig rig(8, 6);
    TestFractal f(rig.services(), /*endless=*/true);
    f.startCalculation();
    EXPECT_EQ(f.startSlideshow(path("Mandelbrot001.bmp"), 2, true), engine::kStatusCannotOpen);
    EXPECT_FALSE(f.isRunning());
    EXPECT_TRUE(rig.window.timers().empty());
    EXPECT_EQ(f.slideshowTick(), engine::kStatusCannotOpen);
}

TEST_F(SlideshowTest, UpperCaseExtensionsMatchAndTheListHoldsAtMost999) {
    for (int i = 0; i < 1001; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "Tiny%04d.%s", i, i % 2 ? "BMP" : "bmp");
        std::ofstream(path(name)) << "x";
    }
    std::ofstream(path("tiny0000.bmp")) << "x";  // other case: another type
    Rig rig(2, 2);
    TestFractal f(rig.services());
    f.startSlideshow(path("Tiny0005.BMP"), 2, true);
    ASSERT_EQ(f.slideshow.files.size(), 999u);
    EXPECT_EQ(f.slideshow.files.front(), "Tiny0000.bmp");
    EXPECT_EQ(f.slideshow.files.back(), "Tiny0998.bmp");
    f.stopSlideshow();
}

TEST(FileSearchTest, WildcardsAreCaseSensitiveButTheExtensionIsNot) {
    struct Case {
        const char* name;
        const char* pattern;
        bool matches;
    };
    const Case cases[] = {
        {"Julia001.bmp", "Julia*.bmp", true},
        {"Julia001.BMP", "Julia*.bmp", true},
        {"julia001.bmp", "Julia*.bmp", false},
        {"Julia001.bmpx", "Julia*.bmp", false},
        {"Mandelbrot.bmp", "*.bmp", true},
        {".bmp", "*.bmp", true},
        {"Juli.bmp", "Julia*.bmp", false},
        {"Julia.bmp", "Julia*.bmp", true},
        {"a.b.bmp", "*.bmp", true},
        {"abc", "a?c", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " ~ " + c.pattern);
        EXPECT_EQ(platform::matchesPattern(c.name, c.pattern), c.matches);
    }
}

}  // namespace
