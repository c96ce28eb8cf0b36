// Anti-aliased exports: each pixel the mean of a regular grid of samples in linear light.
#include "app/supersampling.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/picture_export.h"
#include "catalogue/factory.h"
#include "catalogue/fractal_types.h"
#include "complex/complex_fractal.h"
#include "engine/settings_key.h"
#include "persist/picture_file.h"
#include "platform/headless_window.h"
#include "platform/settings_store.h"
#include "platform/temp_folder.h"
#include "support/wait.h"
#include "view/view_text.h"

namespace {

using platform::Color;
using platform::rgb;

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<Color> pixels;
    std::string parameters;
};

class MemorySink : public app::ExportSink {
  public:
    bool begin(int width, int height, engine::FractalType, const std::string& parameters) override {
        picture = Picture{width, height, {}, parameters};
        return true;
    }
    bool takeRow(int row, const Color* pixels, int width) override {
        EXPECT_EQ(row, nextRow++);
        picture.pixels.insert(picture.pixels.end(), pixels, pixels + width);
        return true;
    }
    std::string error() const override { return {}; }

    Picture picture;
    int nextRow = 0;
};

// The rows of samples averaged down, without a band renderer between.
Picture averaged(const std::vector<Color>& samples, int width, int height, int factor) {
    MemorySink sink;
    sink.begin(width, height, engine::kMandelbrot, "");
    app::SampleAverager averager(sink, width, factor);
    const int sampleWidth = width * factor;
    for (int row = 0; row < height * factor; ++row) {
        EXPECT_TRUE(averager.takeRow(
            row, samples.data() + static_cast<std::size_t>(row) * sampleWidth, sampleWidth));
    }
    return sink.picture;
}

TEST(Supersampling, AveragesInLinearLightAndKeepsEveryFlatColour) {
    for (const int factor : {1, 2, 3, 16}) {
        // Each byte in each channel, as one flat pixel of factor x factor samples.
        std::vector<Color> samples;
        for (int row = 0; row < factor; ++row)
            for (unsigned v = 0; v < 256; ++v)
                for (int s = 0; s < factor; ++s)
                    samples.push_back(rgb(v, 255 - v, (v * 7) & 0xFF));
        const Picture picture = averaged(samples, 256, 1, factor);
        for (unsigned v = 0; v < 256; ++v)
            EXPECT_EQ(picture.pixels[v], rgb(v, 255 - v, (v * 7) & 0xFF)) << factor << " " << v;
    }
    struct Case {
        std::vector<Color> samples;  // one pixel of 2 x 2, row by row
        Color mean;
    };
    const Color black = platform::kBlack;
    const Color white = platform::kWhite;
    const Case cases[] = {
        // Half the light of white is sRGB 188, not the 128 of a mean of the bytes.
        {{black, white, white, black}, rgb(188, 188, 188)},
        {{black, black, black, white}, rgb(137, 137, 137)},
        {{rgb(255, 0, 0), rgb(0, 0, 255), rgb(255, 0, 0), rgb(0, 0, 255)}, rgb(188, 0, 188)},
        // One step up in a quarter of the samples: the mean stays nearer the lower byte.
        {{rgb(10, 10, 10), rgb(10, 10, 10), rgb(10, 10, 10), rgb(11, 11, 11)}, rgb(10, 10, 10)},
    };
    for (const Case& c : cases)
        EXPECT_EQ(averaged(c.samples, 1, 1, 2).pixels, std::vector<Color>{c.mean});

    // A row of the wrong width is refused, never read beyond its end.
    MemorySink sink;
    app::SampleAverager averager(sink, 4, 2);
    const std::vector<Color> shortRow(7, white);
    EXPECT_FALSE(averager.takeRow(0, shortRow.data(), 7));
}

TEST(Supersampling, RefusesFactorsOutOfRangeAndSamplesBeyondTheExportLimits) {
    struct Case {
        engine::FractalType type;
        int width;
        int height;
        int factor;
        const char* reason;  // empty: allowed
    };
    const Case cases[] = {
        {engine::kMandelbrot, 100, 100, 1, ""},
        {engine::kMandelbrot, 100, 100, 16, ""},
        {engine::kMandelbrot, 4096, 4096, 16, ""},
        {engine::kMandelbrot, 32768, 100, 2, ""},
        {engine::kMandelbrot, 100, 100, 0, "1 to 16 samples a side"},
        {engine::kMandelbrot, 100, 100, -3, "1 to 16 samples a side"},
        {engine::kMandelbrot, 100, 100, 17, "1 to 16 samples a side"},
        {engine::kMandelbrot, 4097, 10, 16, "up to 65536 a side"},
        {engine::kJulia, 10, 32769, 2, "up to 65536 a side"},
        {engine::kHopalong, 100, 100, 1, ""},
        {engine::kHopalong, 100, 100, 2, "orbit pictures are not anti-aliased"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height) + " factor " +
                     std::to_string(c.factor));
        const auto problem = app::supersampleProblem(c.type, c.width, c.height, c.factor);
        if (std::string(c.reason).empty()) {
            EXPECT_FALSE(problem) << *problem;
            continue;
        }
        ASSERT_TRUE(problem);
        EXPECT_NE(problem->find(c.reason), std::string::npos) << *problem;
        app::ExportRequest request;
        request.type = c.type;
        request.width = c.width;
        request.height = c.height;
        request.supersample = c.factor;
        app::ExportControl control;
        MemorySink sink;
        const app::ExportResult result = app::renderExport(request, control, sink);
        EXPECT_FALSE(result.written());
        EXPECT_EQ(sink.nextRow, 0);
    }
}

// A window of the samples' size showing the samples of the picture's view, computed to
// the end.
std::vector<Color> windowSamples(engine::FractalType type, const std::string& params,
                                 const view::DeepView& pictureView, int factor) {
    platform::HeadlessWindow window(pictureView.width() * factor, pictureView.height() * factor);
    platform::MemorySettingsStore store;
    platform::RecordingSound sound;
    engine::SettingsKey(store).writeString(catalogue::fractalTypeName(type), params);
    engine::FractalPtr fractal =
        catalogue::createFractal(type, platform::Services{window, store, sound});
    fractal->startFromSettings();
    fractal->stopCalculation();
    {
        engine::TakingOverScope hold(*fractal);
        fractal->setPreciseView(pictureView);
    }
    EXPECT_TRUE(app::showSamples(*fractal, factor));
    fractal->startCalculation();
    EXPECT_TRUE(corvane_test::waitFinished(*fractal));
    std::vector<Color> pixels;
    for (int y = 0; y < fractal->height; ++y)
        for (int x = 0; x < fractal->width; ++x)
            pixels.push_back(fractal->picture.pixel(x, y));
    return pixels;
}

// The type's default parameters with the method, colouring and limit chosen, and the
// view they give on a picture of width x height.
struct Setting {
    std::string params;
    view::DeepView view;
};

Setting settingFor(engine::FractalType type, int method, int colouring, int width, int height,
                   const std::optional<view::DeepView>& deep) {
    platform::HeadlessWindow window(width, height);
    platform::MemorySettingsStore store;
    platform::RecordingSound sound;
    engine::FractalPtr probe =
        catalogue::createFractal(type, platform::Services{window, store, sound});
    probe->startFromSettings();
    probe->stopCalculation();
    auto& escape = dynamic_cast<complex::ComplexFractal&>(*probe);
    escape.setMethod(method);
    escape.setIntegerArithmetic(false);
    escape.setMaxIterations(deep ? 20000 : 60);
    escape.reliefDepth = 60;
    escape.setColouring(colouring);
    if (deep)
        probe->setPreciseView(*deep);
    return {escape.parameterString(), probe->preciseView()};
}

// The middle sample of an odd grid lies on the pixel's own point, at any depth and
// any proportions of the picture and of its rectangle.
TEST(Supersampling, SamplesCentreOnThePixelsPoint) {
    const view::CentreAndWidth text =
        *view::parseCentreAndWidth("-0.743643887037158704752191506114774",
                                   "0.131825904205311970493132056385139", "1e-20")
             .value;
    struct Case {
        int width;
        int height;
        bool deep;
    };
    const Case cases[] = {{320, 240, false}, {7, 50, false}, {23, 17, true}};
    for (const Case& c : cases) {
        platform::HeadlessWindow window(c.width, c.height);
        platform::MemorySettingsStore store;
        platform::RecordingSound sound;
        engine::FractalPtr fractal =
            catalogue::createFractal(engine::kMandelbrot, platform::Services{window, store, sound});
        fractal->startFromSettings();
        fractal->stopCalculation();
        if (c.deep) {
            engine::TakingOverScope hold(*fractal);
            fractal->setPreciseView(
                *view::DeepView::fromCentreAndWidth(text.x, text.y, text.width, c.width, c.height));
        }
        const view::DeepView before = fractal->preciseView();
        for (const int factor : {1, 3, 5}) {
            SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height) + " factor " +
                         std::to_string(factor));
            engine::FractalPtr copy = catalogue::createFractal(
                engine::kMandelbrot, platform::Services{window, store, sound});
            copy->startFromSettings();
            copy->stopCalculation();
            {
                engine::TakingOverScope hold(*copy);
                copy->setPreciseView(before);
            }
            ASSERT_TRUE(app::showSamples(*copy, factor));
            const view::DeepView after = copy->preciseView();
            ASSERT_EQ(after.width(), c.width * factor);
            ASSERT_EQ(after.height(), c.height * factor);
            const double spacingX = before.spacingX().toDouble();
            const double spacingY = before.spacingY().toDouble();
            for (const auto& [column, row] : {std::pair{0, 0}, std::pair{c.width - 1, c.height - 1},
                                              std::pair{c.width / 2, c.height / 3}}) {
                const long middle = factor / 2;
                EXPECT_NEAR(
                    (after.planeX(column * factor + middle) - before.planeX(column)).toDouble() /
                        spacingX,
                    0.0, 1e-6);
                EXPECT_NEAR((after.planeY(row * factor + middle) - before.planeY(row)).toDouble() /
                                spacingY,
                            0.0, 1e-6);
            }
        }
    }
}

TEST(Supersampling, BandedExportsEqualTheWholeSamplesAveraged) {
    const int width = 23;
    const int height = 17;
    const view::CentreAndWidth text =
        *view::parseCentreAndWidth("-0.743643887037158704752191506114774",
                                   "0.131825904205311970493132056385139", "1e-20")
             .value;
    const view::DeepView deep =
        *view::DeepView::fromCentreAndWidth(text.x, text.y, text.width, width, height);
    struct Case {
        engine::FractalType type;
        int method;
        int colouring;
        bool deep;
    };
    const Case cases[] = {
        {engine::kMandelbrot, complex::kSimple, complex::kBands, false},
        {engine::kMandelbrot, complex::kRelief, complex::kBands, false},
        {engine::kJulia, complex::kTesseral, complex::kSmooth, false},
        {engine::kPhoenix, complex::kSimple, complex::kSmooth, false},
        {engine::kMandelbrot, complex::kTesseral, complex::kBands, true},
    };
    for (const Case& c : cases) {
        const Setting setting = settingFor(c.type, c.method, c.colouring, width, height,
                                           c.deep ? std::optional(deep) : std::nullopt);
        std::vector<Color> plain;
        for (const int factor : {1, 2, 3}) {
            const Picture expected = averaged(
                windowSamples(c.type, setting.params, setting.view, factor), width, height, factor);
            // The samples do smooth the picture: it is not the plain one.
            if (factor == 1)
                plain = expected.pixels;
            else
                EXPECT_NE(expected.pixels, plain) << factor;
            for (const int band : {1, 4, 0}) {
                SCOPED_TRACE(catalogue::fractalTypeName(c.type) + " method " +
                             std::to_string(c.method) + (c.deep ? " deep" : "") + " factor " +
                             std::to_string(factor) + " band " + std::to_string(band));
                app::ExportRequest request;
                request.type = c.type;
                request.parameters = setting.params;
                request.width = width;
                request.height = height;
                if (c.deep)
                    request.view = deep;
                request.bandHeight = band;
                request.threads = 2;
                request.supersample = factor;
                app::ExportControl control;
                MemorySink sink;
                const app::ExportResult result = app::renderExport(request, control, sink);
                ASSERT_TRUE(result.written()) << result.reason;
                EXPECT_EQ(sink.picture.pixels, expected.pixels);
                // The picture tells the view it shows, not the view of its samples.
                EXPECT_EQ(sink.picture.parameters, setting.params);
                EXPECT_EQ(control.permille.load(), 1000);
            }
        }
    }
}

TEST(Supersampling, PngPictureTellsItsFactorOnlyWhenItHasOne) {
    testing_support::TempFolder folder;
    for (const int factor : {1, 2, 16}) {
        app::ExportRequest request;
        request.type = engine::kMandelbrot;
        request.width = 12;
        request.height = 9;
        request.supersample = factor;
        const std::string path = folder.file("picture" + std::to_string(factor) + ".png");
        app::ExportControl control;
        ASSERT_TRUE(
            app::exportPicture(request, path, platform::StreamTargets::Refuse, control).written());
        const persist::PictureFile file =
            persist::readPictureFile(path, engine::kMaxParameterUnits, 0, 0);
        EXPECT_EQ(file.supersample, factor);
        EXPECT_EQ(file.type, engine::kMandelbrot);
        EXPECT_EQ(testing_support::TempFolder::read(path).find("Corvane-Supersample") !=
                      std::string::npos,
                  factor > 1);
    }
}

}  // namespace
