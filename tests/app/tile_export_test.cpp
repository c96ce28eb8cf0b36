// Tiles of a picture: each computed alone holds exactly the whole picture's pixels, and
// the tiles stitched together are byte for byte the whole picture's file.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/numbered_name.h"
#include "app/picture_export.h"
#include "app/tile_split.h"
#include "app/tile_stitcher.h"
#include "catalogue/factory.h"
#include "complex/complex_fractal.h"
#include "platform/headless_window.h"
#include "platform/settings_store.h"
#include "platform/temp_folder.h"
#include "view/deep_view.h"
#include "view/view_text.h"

namespace {

using testing_support::TempFolder;

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<platform::Color> pixels;
};

class MemorySink : public app::ExportSink {
  public:
    bool begin(int width, int height, engine::FractalType, const std::string&) override {
        picture = Picture{width, height, {}};
        return true;
    }
    bool takeRow(int row, const platform::Color* pixels, int width) override {
        EXPECT_EQ(row, nextRow++);
        EXPECT_EQ(width, picture.width);
        picture.pixels.insert(picture.pixels.end(), pixels, pixels + width);
        return true;
    }
    std::string error() const override { return {}; }
    Picture picture;
    int nextRow = 0;
};

std::string parametersFor(int method, bool integer, int colouring) {
    platform::HeadlessWindow window(8, 8);
    platform::MemorySettingsStore store;
    platform::RecordingSound sound;
    engine::FractalPtr probe =
        catalogue::createFractal(engine::kMandelbrot, platform::Services{window, store, sound});
    probe->startFromSettings();
    probe->stopCalculation();
    auto& escape = dynamic_cast<complex::ComplexFractal&>(*probe);
    escape.setMethod(method);
    escape.setIntegerArithmetic(integer);
    escape.setMaxIterations(300);
    escape.reliefDepth = 60;
    escape.setColouring(colouring);
    return escape.parameterString();
}

enum class Arithmetic { Fixed, Double, Deep };

// A 67 x 41 picture: sides no tile count divides, so tiles differ in size.
app::ExportRequest requestFor(int method, Arithmetic arithmetic, int colouring, int supersample) {
    app::ExportRequest request;
    request.type = engine::kMandelbrot;
    request.parameters = parametersFor(method, arithmetic == Arithmetic::Fixed, colouring);
    request.width = 67;
    request.height = 41;
    request.supersample = supersample;
    // Bands of a few rows put band edges inside every tile.
    request.bandHeight = 4;
    request.threads = 2;
    const char* width = arithmetic == Arithmetic::Deep ? "1e-30" : "0.02";
    const view::CentreAndWidth text = *view::parseCentreAndWidth("-0.75", "0.1", width).value;
    request.view = view::DeepView::fromCentreAndWidth(text.x, text.y, text.width, request.width,
                                                      request.height);
    return request;
}

Picture rendered(const app::ExportRequest& request) {
    app::ExportControl control;
    MemorySink sink;
    const app::ExportResult result = app::renderExport(request, control, sink);
    EXPECT_TRUE(result.written()) << result.reason;
    EXPECT_EQ(control.permille.load(), 1000);
    return sink.picture;
}

// Where the tile's pixels differ from the whole picture's; empty when nowhere.
std::string tileDifferences(const Picture& whole, const Picture& tile,
                            const complex::PixelWindow& at) {
    if (tile.width != at.width || tile.height != at.height)
        return "the tile is " + std::to_string(tile.width) + "x" + std::to_string(tile.height);
    int count = 0;
    std::string first;
    for (int y = 0; y < at.height; ++y) {
        for (int x = 0; x < at.width; ++x) {
            const auto own = static_cast<std::size_t>(y * at.width + x);
            const auto there = static_cast<std::size_t>((y + at.top) * whole.width + x + at.left);
            if (tile.pixels[own] != whole.pixels[there] && count++ == 0)
                first = " the first at (" + std::to_string(x + at.left) + ", " +
                        std::to_string(y + at.top) + ")";
        }
    }
    return count == 0 ? std::string() : std::to_string(count) + " pixels differ," + first;
}

TEST(TileExport, EveryTileHoldsTheWholePicturesPixelsForEveryMethodAndArithmetic) {
    struct Case {
        int method;
        Arithmetic arithmetic;
        int colouring;
        int supersample;
    };
    std::vector<Case> cases;
    for (const int method : {complex::kSimple, complex::kRelief, complex::kTesseral})
        for (const Arithmetic arithmetic :
             {Arithmetic::Fixed, Arithmetic::Double, Arithmetic::Deep})
            cases.push_back({method, arithmetic, complex::kBands, 1});
    cases.push_back({complex::kTesseral, Arithmetic::Double, complex::kSmooth, 2});
    cases.push_back({complex::kRelief, Arithmetic::Deep, complex::kSmooth, 2});
    for (const Case& c : cases) {
        const app::ExportRequest request =
            requestFor(c.method, c.arithmetic, c.colouring, c.supersample);
        const Picture whole = rendered(request);
        for (const int count : {4, 9}) {
            std::string why;
            const app::TileSplit split = *app::TileSplit::make(count, 67, 41, why);
            for (int i = 0; i < count; ++i) {
                SCOPED_TRACE("method " + std::to_string(c.method) + " arithmetic " +
                             std::to_string(static_cast<int>(c.arithmetic)) + " supersample " +
                             std::to_string(c.supersample) + " tile " + std::to_string(i) + "/" +
                             std::to_string(count));
                app::ExportRequest tile = request;
                tile.window = split.tile(i);
                EXPECT_EQ(tileDifferences(whole, rendered(tile), split.tile(i)), "");
            }
        }
    }
}

// Writes tiles 0..count-1 of request as tile-N.png in folder.
void writeTiles(const app::ExportRequest& request, int count, const TempFolder& folder) {
    std::string why;
    const app::TileSplit split = *app::TileSplit::make(count, request.width, request.height, why);
    for (int i = 0; i < count; ++i) {
        app::ExportRequest tile = request;
        tile.window = split.tile(i);
        tile.extraTexts.push_back(
            {app::kPngTileKeyword,
             app::tileLabelText({{i, count}, request.width, request.height})});
        app::ExportControl control;
        const app::ExportResult result =
            app::exportPicture(tile, folder.file("tile-" + std::to_string(i) + ".png"),
                               platform::StreamTargets::Refuse, control);
        ASSERT_TRUE(result.written()) << result.reason;
    }
}

std::string stitch(const TempFolder& folder, int count, const std::string& output) {
    std::string why;
    const app::TileStitcher stitcher(count,
                                     *app::NumberedName::parse(folder.file("tile-%d.png"), why));
    return stitcher.stitch(output, platform::StreamTargets::Refuse);
}

TEST(TileExport, StitchedTilesAreTheWholePicturesFileByteForByte) {
    for (const auto& [request, count] :
         {std::pair{requestFor(complex::kTesseral, Arithmetic::Deep, complex::kSmooth, 2), 9},
          std::pair{requestFor(complex::kRelief, Arithmetic::Fixed, complex::kBands, 1), 4}}) {
        TempFolder folder;
        const std::string whole = folder.file("whole.png");
        app::ExportControl control;
        ASSERT_TRUE(
            app::exportPicture(request, whole, platform::StreamTargets::Refuse, control).written());
        writeTiles(request, count, folder);
        const std::string stitched = folder.file("stitched.png");
        EXPECT_EQ(stitch(folder, count, stitched), "");
        EXPECT_EQ(TempFolder::read(stitched), TempFolder::read(whole));
    }
}

// A set of tiles that does not make one picture is refused, naming the tile at fault,
// and leaves the output as it was.
TEST(TileExport, StitchingRefusesMissingDamagedAndForeignTilesAndWritesNothing) {
    const app::ExportRequest request =
        requestFor(complex::kSimple, Arithmetic::Double, complex::kBands, 1);
    app::ExportRequest other = request;
    other.parameters = parametersFor(complex::kSimple, false, complex::kSmooth);
    TempFolder originals;
    writeTiles(request, 4, originals);
    TempFolder foreign;
    writeTiles(other, 4, foreign);
    const auto copy = [](const std::string& from, const std::string& to) {
        std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing);
    };
    struct Case {
        const char* name;
        int tile;          // the tile spoilt
        const char* with;  // what it is spoilt with
        const char* reason;
    };
    const Case cases[] = {
        {"missing", 3, "", "tile-3.png: cannot read the tile"},
        {"another picture", 2, "foreign", "tile-2.png: it is a tile of another picture"},
        {"another index", 1, "tile 0", "tile-1.png: it is tile 0/4, not 1/4"},
        {"truncated", 1, "half", "tile-1.png: "},
        {"not a tile", 0, "whole", "tile-0.png: not a tile"},
        {"not a png", 2, "text", "tile-2.png: "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder folder;
        for (int i = 0; i < 4; ++i) {
            const std::string name = "tile-" + std::to_string(i) + ".png";
            copy(originals.file(name), folder.file(name));
        }
        const std::string spoilt = folder.file("tile-" + std::to_string(c.tile) + ".png");
        const std::string with = c.with;
        if (with.empty()) {
            std::filesystem::remove(spoilt);
        } else if (with == "foreign") {
            copy(foreign.file("tile-" + std::to_string(c.tile) + ".png"), spoilt);
        } else if (with == "tile 0") {
            copy(folder.file("tile-0.png"), spoilt);
        } else if (with == "half") {
            std::filesystem::resize_file(spoilt, std::filesystem::file_size(spoilt) / 2);
        } else if (with == "whole") {
            app::ExportControl control;
            ASSERT_TRUE(
                app::exportPicture(request, spoilt, platform::StreamTargets::Refuse, control)
                    .written());
        } else {
            folder.write("tile-" + std::to_string(c.tile) + ".png", "not a picture");
        }
        const std::string output = folder.write("out.png", "earlier");
        const std::vector<std::string> before = testing_support::folderEntries(folder.path());
        const std::string reason = stitch(folder, 4, output);
        EXPECT_NE(reason.find(c.reason), std::string::npos) << reason;
        EXPECT_EQ(TempFolder::read(output), "earlier");
        EXPECT_EQ(testing_support::folderEntries(folder.path()), before);
    }
}

}  // namespace
