#include "app/location.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// A coordinate of `digits` significant digits after "-0.7436", as a view that deep
// needs them.
std::string longCoordinate(const char* start, std::size_t digits) {
    std::string text = start;
    for (std::size_t i = 0; i < digits; ++i)
        text.push_back(static_cast<char>('0' + (i * 7 + 3) % 10));
    return text;
}

view::DeepView deepView(const std::string& x, const std::string& y, const std::string& width) {
    const view::ViewTextResult parsed = view::parseCentreAndWidth(x, y, width);
    EXPECT_TRUE(parsed.value) << parsed.error;
    return *view::DeepView::fromCentreAndWidth(parsed.value->x, parsed.value->y,
                                               parsed.value->width, 640, 480);
}

struct RoundTrip {
    const char* what;
    engine::FractalType type;
    std::string x;
    std::string y;
    std::string width;
    std::optional<int> iterations;
    std::string parameters;
};

TEST(LocationTest, EveryTypeAndDepthReadsBackToTheSameViewAndText) {
    const std::vector<RoundTrip> cases = {
        {"shallow Mandelbrot", engine::kMandelbrot, "-0.75", "0.1", "0.05", 200,
         "-2.5,-1.5,1,1.5,200,0,0,1,0,0"},
        {"1e-300", engine::kMandelbrot, longCoordinate("-1.7", 310), longCoordinate("0.0", 310),
         "1.5e-300", 5000, "-2.5,-1.5,1,1.5,5000,0,0,0,2,0,1"},
        {"1e-30000", engine::kMandelbrot, longCoordinate("-0.7436", 30010),
         longCoordinate("0.1318", 30010), "2.5e-30000", 50000, "-2.5,-1.5,1,1.5,50000,0,0,0,0,0"},
        {"Julia", engine::kJulia, "0.1", "-0.2", "3", 300, "-2,-2,2,2,300,-0.8,0.156,1,0,0"},
        {"Julia deep", engine::kJulia, longCoordinate("0.1", 40), "0", "1e-25", 800,
         "-2,-2,2,2,800,-0.7269,0.1889,0,0,0"},
        {"Unity", engine::kUnity, "0", "0", "4", 64, "-2,-2,2,2,64,0,0,1,1,3"},
        {"Spider", engine::kSpider, "-0.5", "0.25", "2", 100, "-2,-2,2,2,100,0,0,1,0,0"},
        {"Manowar", engine::kManowar, "-0.3", "0", "1", 150, "-2,-2,2,2,150,0,0,1,0,0,1"},
        {"Phoenix", engine::kPhoenix, "0", "0", "3", 250, "-2,-2,2,2,250,0.5667,-0.5,1,0,0"},
        {"Hopalong", engine::kHopalong, "0", "0", "100", std::nullopt,
         "-50,-50,50,50,-55,-1,-42,100,1"},
    };
    for (const RoundTrip& c : cases) {
        SCOPED_TRACE(c.what);
        const view::DeepView view = deepView(c.x, c.y, c.width);
        const std::string text = app::formatLocation(c.type, view, c.iterations, c.parameters);
        const app::LocationResult parsed = app::parseLocation(text);
        ASSERT_TRUE(parsed.value) << parsed.error;
        EXPECT_EQ(parsed.value->type, c.type);
        EXPECT_EQ(parsed.value->iterations, c.iterations);
        EXPECT_EQ(parsed.value->parameters, c.parameters);
        const std::optional<view::DeepView> back = view::DeepView::fromCentreAndWidth(
            parsed.value->view.x, parsed.value->view.y, parsed.value->view.width, 640, 480);
        ASSERT_TRUE(back);
        EXPECT_EQ(app::formatLocation(c.type, *back, c.iterations, c.parameters), text);
        // Within a thousandth of a pixel: the centre texts agree to their last digit.
        EXPECT_EQ(view::centreXText(*back), view::centreXText(view));
        EXPECT_EQ(view::centreYText(*back), view::centreYText(view));
    }
}

TEST(LocationTest, ThePictureParametersShowTheLocationsView) {
    const view::DeepView deep = deepView("-0.75", "0.1", "1e-40");
    const std::string shown =
        app::parametersShowing("-2.5,-1.5,1,1.5,200,0,0,1,0,0,deep:old", deep, 999);
    EXPECT_EQ(app::iterationsOf(shown), 999);
    EXPECT_NE(shown.find(",deep:"), std::string::npos);
    EXPECT_EQ(shown.find("deep:old"), std::string::npos);
    const std::optional<view::DeepView> read = view::readDeepViewField(shown, 640, 480);
    ASSERT_TRUE(read);
    EXPECT_TRUE(view::DeepView::same(*read, deep));

    const view::DeepView shallow = deepView("0", "0", "4");
    const std::string plain = app::parametersShowing("-1,-1,1,1,7,0,0,1,0,0", shallow, {});
    EXPECT_EQ(plain.find("deep:"), std::string::npos);
    EXPECT_EQ(app::iterationsOf(plain), 7) << plain;
    EXPECT_EQ(plain.substr(0, plain.find(",7,")), "-2,-1.5,2,1.5");
}

TEST(LocationTest, TextAroundTheKeysIsTolerated) {
    const std::vector<std::pair<const char*, std::string>> cases = {
        {"spaces and blank lines", "\n\n   type   Julia  \n\n\t centre  0.25   -0.5 \nwidth 2\n\n"},
        {"CR LF and comments",
         "# kept from a forum\r\ntype Julia\r\ncentre 0.25 -0.5\r\nwidth 2\r\n"},
        {"any order, American spelling, any case", "WIDTH 2\nCenter 0.25,-0.5\nTyPe julia\n"},
        {"the type by its id", "type 6\ncentre 0.25 , -0.5\nwidth 2"},
    };
    for (const auto& [what, text] : cases) {
        SCOPED_TRACE(what);
        const app::LocationResult parsed = app::parseLocation(text);
        ASSERT_TRUE(parsed.value) << parsed.error;
        EXPECT_EQ(parsed.value->type, engine::kJulia);
        EXPECT_EQ(parsed.value->view.x.toDouble(), 0.25);
        EXPECT_EQ(parsed.value->view.y.toDouble(), -0.5);
        EXPECT_EQ(parsed.value->view.width.toDouble(), 2.0);
        EXPECT_FALSE(parsed.value->iterations);
        EXPECT_FALSE(parsed.value->parameters);
    }
}

TEST(LocationTest, BadTextIsRefusedWithItsReason) {
    const std::string view = "centre 0 0\nwidth 1\n";
    const std::vector<std::pair<std::string, const char*>> cases = {
        {"", "names no type"},
        {"Hello, this is no location", "known key"},
        {view, "names no type"},
        {"type Dragon\n" + view, "no known type"},
        {"type 0\n" + view, "no known type"},
        {"type 99999999999999999999\n" + view, "no known type"},
        {"type Mandelbrot\ncentre 0 0\n", "both its centre and its width"},
        {"type Mandelbrot\ncentre 0\nwidth 1", "not two numbers"},
        {"type Mandelbrot\ncentre 0 0 0\nwidth 1", "not two numbers"},
        {"type Mandelbrot\ncentre 0 zero\nwidth 1", "imaginary part is not a decimal"},
        {"type Mandelbrot\ncentre 0 0\nwidth 0", "greater than zero"},
        {"type Mandelbrot\ncentre 0 0\nwidth -1", "greater than zero"},
        {"type Mandelbrot\ncentre 0 0\nwidth 1e200", "too large"},
        {"type Mandelbrot\ncentre 0 0\nwidth 1e-200000", "narrowest"},
        {"type Mandelbrot\ncentre 1e300 0\nwidth 1", "too far"},
        {"type Mandelbrot\ncentre nan 0\nwidth 1", "not a decimal"},
        {"type Mandelbrot\ncentre " + longCoordinate("0.", 500) + " 0\nwidth 1", "digits"},
        {"type Mandelbrot\ncentre 0 0\nwidth 1\nwidth 2", "twice"},
        {"type Mandelbrot\ncentre 0 0\nwidth 1\nzoom 2", "known key"},
        {"type Mandelbrot\n" + view + "iterations 0", "whole number"},
        {"type Mandelbrot\n" + view + "iterations 3000000000", "whole number"},
        {"type Mandelbrot\n" + view + "iterations 1.5", "whole number"},
        {"type Hopalong\n" + view + "iterations 100", "no iteration limit"},
        {"type Mandelbrot\n" + view + "parameters 1,2,3", "cannot be used"},
        {"type Mandelbrot\n" + view + "parameters -2,-2,2,2,99999999999,0,0,1,0,0",
         "cannot be used"},
        {"type Mandelbrot\n" + view + "parameters " + std::string(70000, '1'), "longer"},
        {std::string(app::kLongestLocationText + 1, ' '), "longer"},
    };
    for (const auto& [text, reason] : cases) {
        SCOPED_TRACE(text.substr(0, 120));
        const app::LocationResult parsed = app::parseLocation(text);
        EXPECT_FALSE(parsed.value);
        EXPECT_NE(parsed.error.find(reason), std::string::npos) << parsed.error;
    }
}

}  // namespace
