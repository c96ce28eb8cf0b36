// Exports: computed in bands, identical to what a window of the same size computes.
#include "app/picture_export.h"

#include <gtest/gtest.h>
#include <spng.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "catalogue/factory.h"
#include "complex/complex_fractal.h"
#include "engine/settings_key.h"
#include "platform/headless_window.h"
#include "platform/settings_store.h"
#include "platform/temp_folder.h"
#include "support/wait.h"
#include "view/deep_view.h"
#include "view/view_text.h"

namespace {

using testing_support::TempFolder;

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<platform::Color> pixels;
};

// Keeps what it is given, checking that rows come once each, top row first.
class MemorySink : public app::ExportSink {
  public:
    bool begin(int width, int height, engine::FractalType type,
               const std::string& parameters) override {
        picture.width = width;
        picture.height = height;
        this->type = type;
        this->parameters = parameters;
        return true;
    }
    bool takeRow(int row, const platform::Color* pixels, int width) override {
        EXPECT_EQ(row, nextRow++);
        EXPECT_EQ(width, picture.width);
        picture.pixels.insert(picture.pixels.end(), pixels, pixels + width);
        return rowsAccepted < 0 || row + 1 < rowsAccepted;
    }
    std::string error() const override { return rowsAccepted < 0 ? "" : "disk full"; }

    Picture picture;
    engine::FractalType type = 0;
    std::string parameters;
    int nextRow = 0;
    int rowsAccepted = -1;  // refuses the row with this number, counted from 1
};

// A window of width x height: the fractal created from the stored parameter string and
// computed to the end, as the program creates it.
struct WindowRender {
    WindowRender(engine::FractalType type, const std::string& params, int width, int height)
        : window(width, height) {
        if (!params.empty())
            engine::SettingsKey(store).writeString(catalogue::fractalTypeName(type), params);
        fractal = catalogue::createFractal(type, platform::Services{window, store, sound});
        fractal->startFromSettings();
        EXPECT_TRUE(corvane_test::waitFinished(*fractal));
    }
    Picture picture() const {
        Picture p{fractal->width, fractal->height, {}};
        for (int y = 0; y < p.height; ++y)
            for (int x = 0; x < p.width; ++x)
                p.pixels.push_back(fractal->picture.pixel(x, y));
        return p;
    }
    platform::HeadlessWindow window;
    platform::MemorySettingsStore store;
    platform::RecordingSound sound;
    engine::FractalPtr fractal;
};

// The type's default parameter string with the method and the arithmetic chosen.
std::string parametersFor(engine::FractalType type, int method, bool integer, int iterations,
                          int colouring = complex::kBands) {
    platform::HeadlessWindow window(8, 8);
    platform::MemorySettingsStore store;
    platform::RecordingSound sound;
    engine::FractalPtr probe =
        catalogue::createFractal(type, platform::Services{window, store, sound});
    probe->startFromSettings();
    probe->stopCalculation();
    auto& escape = dynamic_cast<complex::ComplexFractal&>(*probe);
    escape.setMethod(method);
    escape.setIntegerArithmetic(integer);
    escape.setMaxIterations(iterations);
    escape.reliefDepth = 60;
    escape.setColouring(colouring);
    return escape.parameterString();
}

// How many pixels differ, and where the first one is.
std::string differences(const Picture& expected, const Picture& actual) {
    if (expected.width != actual.width || expected.height != actual.height ||
        expected.pixels.size() != actual.pixels.size()) {
        return "sizes differ";
    }
    std::size_t count = 0;
    std::size_t first = 0;
    for (std::size_t i = 0; i < expected.pixels.size(); ++i) {
        if (expected.pixels[i] != actual.pixels[i] && count++ == 0)
            first = i;
    }
    if (count == 0)
        return "";
    return std::to_string(count) + " pixels differ, the first at (" +
           std::to_string(first % static_cast<std::size_t>(expected.width)) + ", " +
           std::to_string(first / static_cast<std::size_t>(expected.width)) + ")";
}

TEST(PictureExport,
     BandsGiveWhatTheWindowComputesForEveryTypeMethodArithmeticBandHeightAndThreadCount) {
    const engine::FractalType types[] = {engine::kMandelbrot, engine::kJulia,   engine::kUnity,
                                         engine::kSpider,     engine::kManowar, engine::kPhoenix};
    const int methods[] = {complex::kSimple, complex::kRelief, complex::kTesseral};
    struct Size {
        int width;
        int height;
    };
    const Size sizes[] = {{1, 1}, {7, 5}, {241, 137}};
    // 1, 2, 3 and 17 rows put band edges everywhere against the tesseral quadrants and
    // the relief diagonals; 0 is what an export chooses by itself (one band here).
    const int bandHeights[] = {1, 2, 3, 17, 0};
    // Each band is shared out among the threads, with one thread or more than there
    // are rows or rectangles to share.
    std::vector<std::pair<int, int>> bandsAndThreads;
    for (const int band : bandHeights)
        for (const int threads : {1, 2, 3})
            bandsAndThreads.emplace_back(band, threads);
    for (const engine::FractalType type : types) {
        for (const int method : methods) {
            for (const auto& [integer, colouring] :
                 {std::pair{true, complex::kBands}, std::pair{false, complex::kBands},
                  std::pair{true, complex::kSmooth}}) {
                const std::string params = parametersFor(type, method, integer, 60, colouring);
                for (const Size size : sizes) {
                    const Picture expected =
                        WindowRender(type, params, size.width, size.height).picture();
                    for (const auto& [band, threads] : bandsAndThreads) {
                        SCOPED_TRACE(catalogue::fractalTypeName(type) + " method " +
                                     std::to_string(method) + (integer ? " integer " : " double ") +
                                     (colouring == complex::kSmooth ? "smooth " : "") +
                                     std::to_string(size.width) + "x" +
                                     std::to_string(size.height) + " band " + std::to_string(band) +
                                     " threads " + std::to_string(threads));
                        app::ExportRequest request;
                        request.type = type;
                        request.parameters = params;
                        request.width = size.width;
                        request.height = size.height;
                        request.bandHeight = band;
                        request.threads = threads;
                        app::ExportControl control;
                        MemorySink sink;
                        const app::ExportResult result = app::renderExport(request, control, sink);
                        ASSERT_TRUE(result.written()) << result.reason;
                        EXPECT_EQ(differences(expected, sink.picture), "");
                        EXPECT_EQ(sink.type, type);
                        EXPECT_EQ(control.permille.load(), 1000);
                    }
                }
            }
        }
    }
}

// A deep view the integer algorithm cannot resolve at the export's size is computed in
// double precision, as the window of that size computes it, although the same view on
// a small window is not; the colours are the window's own, not the stored palette.
TEST(PictureExport, FollowsTheWindowOfItsOwnSizeInArithmeticAndColours) {
    const std::string params = "-0.7435669,0.1314023,-0.7435663,0.1314029,80,0,0,1,2,100";
    const std::vector<platform::Color> colors = {platform::rgb(255, 0, 0), platform::rgb(0, 255, 0),
                                                 platform::rgb(0, 0, 255)};
    WindowRender window(engine::kMandelbrot, params, 200, 150);
    window.fractal->stopCalculation();
    engine::ColorTable table;
    table.setColors(colors.data(), static_cast<int>(colors.size()));
    window.fractal->usePalette("", std::move(table));
    window.fractal->startCalculation();
    ASSERT_TRUE(corvane_test::waitFinished(*window.fractal));

    app::ExportRequest request;
    request.type = engine::kMandelbrot;
    request.parameters = window.fractal->parameterString();
    request.colors = colors;
    request.width = 200;
    request.height = 150;
    request.bandHeight = 7;
    app::ExportControl control;
    MemorySink sink;
    const app::ExportResult result = app::renderExport(request, control, sink);
    ASSERT_TRUE(result.written()) << result.reason;
    EXPECT_EQ(result.note, window.window.titleNote());
    EXPECT_FALSE(result.note.empty());
    EXPECT_EQ(differences(window.picture(), sink.picture), "");
}

// A deep view is computed by perturbation, shared out among the threads as the
// window's run shares it.
TEST(PictureExport, DeepViewsGiveTheWindowsPictureOnAnyNumberOfThreads) {
    const view::CentreAndWidth text =
        *view::parseCentreAndWidth("-0.743643887037158704752191506114774",
                                   "0.131825904205311970493132056385139", "1e-20")
             .value;
    const int width = 61;
    const int height = 43;
    const view::DeepView deep =
        *view::DeepView::fromCentreAndWidth(text.x, text.y, text.width, width, height);
    for (const int method : {complex::kSimple, complex::kRelief, complex::kTesseral}) {
        WindowRender window(engine::kMandelbrot,
                            parametersFor(engine::kMandelbrot, method, false, 400), width, height);
        window.fractal->stopCalculation();
        window.fractal->setPreciseView(deep);
        window.fractal->startCalculation();
        ASSERT_TRUE(corvane_test::waitFinished(*window.fractal));
        for (const int threads : {1, 3}) {
            SCOPED_TRACE("method " + std::to_string(method) + " threads " +
                         std::to_string(threads));
            app::ExportRequest request;
            request.type = engine::kMandelbrot;
            request.parameters = window.fractal->parameterString();
            request.width = width;
            request.height = height;
            request.view = deep;
            request.bandHeight = 5;
            request.threads = threads;
            app::ExportControl control;
            MemorySink sink;
            const app::ExportResult result = app::renderExport(request, control, sink);
            ASSERT_TRUE(result.written()) << result.reason;
            EXPECT_EQ(result.note, window.window.titleNote());
            EXPECT_EQ(differences(window.picture(), sink.picture), "");
        }
    }
}

// Exact counts are the request's alone: the deep scene of the export counts again exactly
// when asked, whatever the settings hold, and shallow views have no deep scene at all.
TEST(PictureExport, ExactCountsReachTheDeepSceneOnlyWhenAsked) {
    const view::CentreAndWidth text =
        *view::parseCentreAndWidth("-0.743643887037158704752191506114774",
                                   "0.131825904205311970493132056385139", "1e-20")
             .value;
    const int width = 24;
    const int height = 16;
    const view::DeepView deep =
        *view::DeepView::fromCentreAndWidth(text.x, text.y, text.width, width, height);
    for (const bool exact : {false, true}) {
        for (const bool deepView : {false, true}) {
            SCOPED_TRACE(std::string(exact ? "exact" : "plain") + (deepView ? " deep" : ""));
            app::ExportRequest request;
            request.type = engine::kMandelbrot;
            request.parameters = parametersFor(engine::kMandelbrot, complex::kSimple, false, 300);
            request.width = width;
            request.height = height;
            if (deepView)
                request.view = deep;
            request.threads = 1;
            request.exactCounts = exact;
            app::ExportControl control;
            MemorySink sink;
            const app::ExportResult result = app::renderExport(request, control, sink);
            ASSERT_TRUE(result.written()) << result.reason;
            ASSERT_EQ(result.deep.has_value(), deepView);
            if (deepView) {
                EXPECT_EQ(result.deep->exactCounts, exact);
                if (!exact) {
                    EXPECT_EQ(result.deep->exactPixels, 0);
                }
            }
        }
    }
}

TEST(PictureExport, RefusesWhatItCannotComputeAndStopsWhenTheSinkFails) {
    struct Case {
        engine::FractalType type;
        int width;
        int height;
        const char* reason;  // empty: allowed
    };
    const Case cases[] = {
        {engine::kMandelbrot, 0, 10, "at least one pixel"},
        {engine::kMandelbrot, 65537, 10, "up to 65536 pixels a side"},
        {engine::kMandelbrot, 65536, 65536, ""},
        {engine::kHopalong, 16384, 16384, ""},
        {engine::kHopalong, 16385, 16384, "orbit pictures are computed whole in memory"},
        {engine::kHenon, 32000, 32000, "exported up to 268435456 pixels"},
    };
    for (const Case& c : cases) {
        const auto problem = app::exportSizeProblem(c.type, c.width, c.height);
        if (std::string(c.reason).empty()) {
            EXPECT_FALSE(problem) << *problem;
        } else {
            ASSERT_TRUE(problem) << c.width << "x" << c.height;
            EXPECT_NE(problem->find(c.reason), std::string::npos) << *problem;
        }
    }

    app::ExportRequest request;
    request.type = engine::kJulia;
    request.width = 30;
    request.height = 20;
    request.bandHeight = 4;
    app::ExportControl control;
    MemorySink sink;
    sink.rowsAccepted = 6;
    const app::ExportResult result = app::renderExport(request, control, sink);
    EXPECT_EQ(result.outcome, app::ExportResult::Outcome::Failed);
    EXPECT_EQ(result.reason, "disk full");
    EXPECT_EQ(sink.nextRow, 6);
}

// What a PNG file holds: its size, its pixels and its text chunks.
struct PngContents {
    Picture picture;
    std::vector<std::pair<std::string, std::string>> texts;
};

PngContents decodePng(const std::string& path) {
    PngContents contents;
    const std::string data = TempFolder::read(path);
    spng_ctx* ctx = spng_ctx_new(0);
    spng_set_png_buffer(ctx, data.data(), data.size());
    spng_ihdr ihdr{};
    std::size_t size = 0;
    if (spng_get_ihdr(ctx, &ihdr) == 0 && spng_decoded_image_size(ctx, SPNG_FMT_RGB8, &size) == 0) {
        std::vector<unsigned char> rgb(size);
        if (spng_decode_image(ctx, rgb.data(), size, SPNG_FMT_RGB8, 0) == 0) {
            contents.picture.width = static_cast<int>(ihdr.width);
            contents.picture.height = static_cast<int>(ihdr.height);
            for (std::size_t i = 0; i + 2 < rgb.size(); i += 3)
                contents.picture.pixels.push_back(platform::rgb(rgb[i], rgb[i + 1], rgb[i + 2]));
        }
        std::uint32_t count = 0;
        if (spng_get_text(ctx, nullptr, &count) == 0) {
            std::vector<spng_text> texts(count);
            spng_get_text(ctx, texts.data(), &count);
            for (const spng_text& t : texts)
                contents.texts.emplace_back(t.keyword, std::string(t.text, t.length));
        }
    }
    spng_ctx_free(ctx);
    return contents;
}

TEST(PictureExport, PngFileCarriesThePictureAndItsParametersOrNothingAtAll) {
    TempFolder folder;
    app::ExportRequest request;
    request.type = engine::kPhoenix;
    request.parameters = parametersFor(engine::kPhoenix, complex::kTesseral, true, 50);
    request.width = 97;
    request.height = 61;
    request.bandHeight = 5;

    const std::string path = folder.file("phoenix.png");
    app::ExportControl control;
    const app::ExportResult written =
        app::exportPicture(request, path, platform::StreamTargets::Refuse, control);
    ASSERT_TRUE(written.written()) << written.reason;
    const PngContents png = decodePng(path);
    MemorySink memory;
    app::ExportControl again;
    ASSERT_TRUE(app::renderExport(request, again, memory).written());
    EXPECT_EQ(differences(memory.picture, png.picture), "");
    ASSERT_EQ(png.texts.size(), 2u);
    EXPECT_EQ(png.texts[0], std::make_pair(std::string("Corvane-Type"), std::string("13")));
    EXPECT_EQ(png.texts[1], std::make_pair(std::string("Corvane-Parameters"), memory.parameters));

    // Cancelled or failing: no file, no temporary file, an earlier file intact.
    const std::string earlier = folder.write("earlier.png", "earlier");
    struct Failure {
        const char* name;
        std::string path;
        bool cancel;
        int width;
        app::ExportResult::Outcome outcome;
        const char* reason;
    };
    const Failure failures[] = {
        {"cancelled", earlier, true, 97, app::ExportResult::Outcome::Cancelled, ""},
        {"too large", earlier, false, 70000, app::ExportResult::Outcome::Failed, "65536"},
        {"no folder", folder.file("missing/x.png"), false, 97, app::ExportResult::Outcome::Failed,
         "No such file or directory"},
    };
    for (const Failure& f : failures) {
        SCOPED_TRACE(f.name);
        app::ExportRequest r = request;
        r.width = f.width;
        app::ExportControl c;
        c.cancel = f.cancel;
        const app::ExportResult result =
            app::exportPicture(r, f.path, platform::StreamTargets::Refuse, c);
        EXPECT_EQ(result.outcome, f.outcome);
        EXPECT_NE(result.reason.find(f.reason), std::string::npos) << result.reason;
        EXPECT_EQ(TempFolder::read(earlier), "earlier");
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(folder.path()))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        EXPECT_EQ(names, (std::vector<std::string>{"earlier.png", "phoenix.png"}));
    }
}

// Every thread of the team sees the cancel, whichever method shares out the work:
// the export ends as cancelled, part way, and leaves no file.
TEST(PictureExport, CancelDuringAThreadedExportLeavesNoFile) {
    TempFolder folder;
    const std::string path = folder.file("never.png");
    for (const int method : {complex::kSimple, complex::kRelief, complex::kTesseral}) {
        SCOPED_TRACE("method " + std::to_string(method));
        app::ExportRequest request;
        request.type = engine::kMandelbrot;
        // The inside of the default view takes 200000 iterations a pixel: far longer
        // than the cancel takes to come.
        request.parameters = parametersFor(engine::kMandelbrot, method, false, 200000);
        request.width = 320;
        request.height = 240;
        request.threads = 3;
        app::ExportControl control;
        std::thread canceller([&control] {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            control.cancel = true;
        });
        const app::ExportResult result =
            app::exportPicture(request, path, platform::StreamTargets::Refuse, control);
        canceller.join();
        EXPECT_EQ(result.outcome, app::ExportResult::Outcome::Cancelled);
        EXPECT_LT(control.permille.load(), 1000);
        EXPECT_TRUE(std::filesystem::is_empty(folder.path()));
    }
}

TEST(PictureExport, OrbitPictureIsComputedWholeAndCancelledOnRequest) {
    app::ExportRequest request;
    request.type = engine::kHenon;
    request.width = 64;
    request.height = 48;
    request.orbitPoints = 20000;
    app::ExportControl control;
    MemorySink sink;
    const app::ExportResult result = app::renderExport(request, control, sink);
    ASSERT_TRUE(result.written()) << result.reason;
    EXPECT_GE(result.points, 20000u);
    EXPECT_EQ(sink.picture.pixels.size(), 64u * 48u);
    EXPECT_NE(std::count(sink.picture.pixels.begin(), sink.picture.pixels.end(), platform::kWhite),
              64 * 48);

    request.orbitPoints = 4000000000u;
    app::ExportControl cancelled;
    std::thread canceller([&cancelled] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        cancelled.cancel = true;
    });
    MemorySink never;
    EXPECT_EQ(app::renderExport(request, cancelled, never).outcome,
              app::ExportResult::Outcome::Cancelled);
    canceller.join();
    EXPECT_EQ(never.nextRow, 0);
}

}  // namespace
