#include "app/picture_export.h"
#include "app/supersampling.h"
#include "catalogue/fractal_types.h"
#include "persist/picture_file.h"

#include <algorithm>
#include <chrono>
#include <memory>
#include <new>
#include <utility>

#include "catalogue/factory.h"
#include "complex/band_renderer.h"
#include "complex/complex_fractal.h"
#include "engine/color_table.h"
#include "engine/settings_key.h"
#include "platform/headless_window.h"
#include "platform/settings_store.h"

namespace app {

namespace {

// A band of rows holds about this many bytes of colours.
constexpr std::uint64_t kBandBytes = std::uint64_t{4} << 20;
constexpr int kMaxBandHeight = 256;
constexpr auto kOrbitPoll = std::chrono::milliseconds(5);
constexpr int kDone = 1000;

class SilentSound : public platform::Sound {
  public:
    void exclamation() override {}
};

int bandHeightFor(int width) {
    const std::uint64_t rowBytes = static_cast<std::uint64_t>(std::max(width, 1)) * 4;
    return static_cast<int>(std::clamp<std::uint64_t>(kBandBytes / rowBytes, 1, kMaxBandHeight));
}

std::string sizeText(int width, int height) {
    return std::to_string(width) + "x" + std::to_string(height);
}

// The export's own fractal object: the same type, parameters and colours as the
// window's, on a window of its own, so that the window's run is never disturbed.
struct PrivateFractal {
    PrivateFractal(int surfaceWidth, int surfaceHeight) : window(surfaceWidth, surfaceHeight) {}
    platform::HeadlessWindow window;
    platform::MemorySettingsStore store;
    SilentSound sound;
    engine::FractalPtr fractal;
};

// The fractal set up as the program sets up a new one: the stored parameters (here
// the request's) or the type's defaults, read on the view's picture size.
std::unique_ptr<PrivateFractal> createPrivateFractal(const ExportRequest& request, int surfaceWidth,
                                                     int surfaceHeight) {
    auto own = std::make_unique<PrivateFractal>(surfaceWidth, surfaceHeight);
    engine::SettingsKey key(own->store);
    if (!request.parameters.empty())
        key.writeString(catalogue::fractalTypeName(request.type), request.parameters);
    own->fractal = catalogue::createFractal(
        request.type, platform::Services{own->window, own->store, own->sound});
    if (!own->fractal || own->fractal->picture.empty())
        return nullptr;
    if (!request.colors.empty()) {
        engine::ColorTable colors;
        const auto count = std::min<std::size_t>(request.colors.size(), engine::kMaxPaletteEntries);
        colors.setColors(request.colors.data(), static_cast<int>(count));
        own->fractal->usePalette(own->fractal->folders.palette, std::move(colors));
    }
    return own;
}

// Progress and cancel between the band renderer and the sink.
// A window's rows reach the sink numbered from its top.
class ProgressSink : public engine::RowSink {
  public:
    ProgressSink(ExportSink& out, ExportControl& control, int top, int height)
        : out_(out), control_(control), top_(top), height_(height) {}
    bool takeRow(int row, const platform::Color* pixels, int width) override {
        const int own = row - top_;
        if (control_.cancel.load(std::memory_order_relaxed) || !out_.takeRow(own, pixels, width))
            return false;
        const auto done =
            static_cast<std::uint64_t>(own + 1) * kDone / static_cast<std::uint64_t>(height_);
        control_.permille.store(static_cast<int>(done), std::memory_order_relaxed);
        return true;
    }

  private:
    ExportSink& out_;
    ExportControl& control_;
    int top_;
    int height_;
};

complex::PixelWindow windowOf(const ExportRequest& request) {
    return request.window.value_or(complex::PixelWindow{0, 0, request.width, request.height});
}

ExportResult failed(std::string reason) {
    ExportResult result;
    result.outcome = ExportResult::Outcome::Failed;
    result.reason = std::move(reason);
    return result;
}

ExportResult outcomeOf(bool ok, const ExportControl& control, const ExportSink& sink) {
    ExportResult result;
    if (ok) {
        result.outcome = ExportResult::Outcome::Written;
    } else if (control.cancel.load(std::memory_order_relaxed)) {
        result.outcome = ExportResult::Outcome::Cancelled;
    } else {
        result.reason = sink.error().empty() ? "the picture could not be written" : sink.error();
    }
    return result;
}

void addStatistics(ExportResult& result, const engine::Fractal& fractal) {
    const engine::RunStatistics stats = fractal.statistics();
    result.typeName = fractal.typeName;
    result.points = stats.pointCount;
    result.iterations = stats.iterationCount;
    result.deep = fractal.deepReport();
    result.referenceBytes = stats.referenceBytes;
}

// The fractal of an escape-time picture set up as its run computes it: the request's
// parameters, view, colouring and limit, and its samples' view where it is anti-aliased.
// nullopt when it is ready; otherwise why it cannot be computed. parameters receives those
// of the picture's own view.
std::optional<ExportResult> setUpEscapeTime(const ExportRequest& request, engine::Fractal& fractal,
                                            std::string& parameters) {
    fractal.setOption(&engine::Options::autoIterations, request.autoIterations);
    fractal.setOption(&engine::Options::exactCounts, request.exactCounts);
    if (request.referenceMemoryMiB)
        fractal.setOption(&engine::Options::referenceMemoryMiB, *request.referenceMemoryMiB);
    auto* escape = dynamic_cast<complex::ComplexFractal*>(&fractal);
    if (escape == nullptr)
        return failed("not an escape-time fractal");
    fractal.setThreadLimit(request.threads);
    escape->useReference(request.reference);
    view::ViewWindow view = fractal.view();
    view.setScreenSize(request.width, request.height);
    view.centreOnOrigin();
    fractal.setView(view);
    {
        engine::TakingOverScope hold(fractal);
        if (!fractal.loadParameters()) {
            fractal.setDefaultParameters();
            fractal.setDefaultView();
        }
        if (request.colouring)
            escape->setColouring(*request.colouring);
        escape->setColorControls(request.colorChanges.appliedTo(escape->colorControls()));
        if (request.view && request.view->width() == request.width &&
            request.view->height() == request.height) {
            fractal.setPreciseView(*request.view);
        }
        if (request.iterations)
            escape->setMaxIterations(*request.iterations);
    }
    if (const std::string refusal = escape->nextLimitRefusal(); !refusal.empty()) {
        ExportResult result = failed("the view cannot be computed: " + refusal);
        result.limitRefused = true;
        return result;
    }
    // The automatic limit is chosen as the run is prepared: the picture carries it.
    if (request.autoIterations)
        fractal.prepareRun();
    // The parameters of the picture's own view, whatever its samples are computed at.
    parameters = fractal.parameterString();
    if (request.supersample > 1 && !showSamples(fractal, request.supersample))
        return failed("the picture's samples are finer than any view can be");
    return std::nullopt;
}

ExportResult renderEscapeTime(const ExportRequest& request, ExportControl& control,
                              ExportSink& sink) {
    // The object's own surfaces stay one pixel: the picture lives in the bands.
    const std::unique_ptr<PrivateFractal> own = createPrivateFractal(request, 1, 1);
    if (!own)
        return failed("not enough memory");
    engine::Fractal& fractal = *own->fractal;
    std::string parameters;
    if (std::optional<ExportResult> refused = setUpEscapeTime(request, fractal, parameters))
        return *refused;
    auto* escape = dynamic_cast<complex::ComplexFractal*>(&fractal);
    const int factor = request.supersample;
    const complex::PixelWindow out = windowOf(request);
    if (!sink.begin(out.width, out.height, fractal.type, parameters))
        return outcomeOf(false, control, sink);
    ProgressSink progress(sink, control, out.top, out.height);
    SampleAverager averager(progress, out.width, factor);
    engine::RowSink& rows = factor > 1 ? static_cast<engine::RowSink&>(averager) : progress;
    const complex::PixelWindow samples{out.left * factor, out.top * factor, out.width * factor,
                                       out.height * factor};
    complex::BandRenderer renderer(
        *escape, request.bandHeight > 0 ? request.bandHeight : bandHeightFor(samples.width),
        samples);
    ExportResult result = outcomeOf(renderer.render(rows, &control.cancel), control, sink);
    if (!result.written() && escape->runsDeepView() && !escape->deepRefusal().empty())
        result.reason = "the view cannot be computed: " + escape->deepRefusal();
    addStatistics(result, fractal);
    result.note = escape->titleNote();
    return result;
}

// Orbits plot anywhere: the whole picture is computed in memory first.
ExportResult renderOrbit(const ExportRequest& request, ExportControl& control, ExportSink& sink) {
    std::unique_ptr<PrivateFractal> own;
    try {
        own = createPrivateFractal(request, request.width, request.height);
    } catch (const std::bad_alloc&) {
        own.reset();
    }
    if (!own)
        return failed("not enough memory for a " + sizeText(request.width, request.height) +
                      " picture");
    engine::Fractal& fractal = *own->fractal;
    fractal.startFromSettings();
    const std::uint64_t target = std::max<std::uint64_t>(request.orbitPoints, 1);
    while (!fractal.isFinished() && !control.cancel.load(std::memory_order_relaxed)) {
        const std::uint64_t points = fractal.runState.pointCount.load(std::memory_order_relaxed);
        if (points >= target)
            break;
        control.permille.store(
            static_cast<int>(std::min<std::uint64_t>(points, target) * (kDone - 1) / target),
            std::memory_order_relaxed);
        std::this_thread::sleep_for(kOrbitPoll);
    }
    fractal.haltWorker();
    if (control.cancel.load(std::memory_order_relaxed))
        return outcomeOf(false, control, sink);

    bool ok = sink.begin(request.width, request.height, fractal.type, fractal.parameterString());
    std::vector<platform::Color> row(static_cast<std::size_t>(request.width));
    for (int y = 0; ok && y < request.height; ++y) {
        for (int x = 0; x < request.width; ++x)
            row[static_cast<std::size_t>(x)] = fractal.picture.pixel(x, y);
        ok = !control.cancel.load(std::memory_order_relaxed) &&
             sink.takeRow(y, row.data(), request.width);
    }
    if (ok)
        control.permille.store(kDone, std::memory_order_relaxed);
    ExportResult result = outcomeOf(ok, control, sink);
    addStatistics(result, fractal);
    return result;
}

}  // namespace

std::string pictureParametersOf(const ExportRequest& request) {
    ExportRequest own = request;
    own.reference.reset();
    const std::unique_ptr<PrivateFractal> made = createPrivateFractal(own, 1, 1);
    std::string parameters;
    if (!made || setUpEscapeTime(own, *made->fractal, parameters))
        return {};
    return parameters;
}

std::optional<complex::ReferenceRequest> referenceRequestOf(const ExportRequest& request,
                                                            std::string& why) {
    ExportRequest own = request;
    own.reference.reset();
    const std::unique_ptr<PrivateFractal> made = createPrivateFractal(own, 1, 1);
    if (!made) {
        why = "not enough memory";
        return std::nullopt;
    }
    engine::Fractal& fractal = *made->fractal;
    std::string parameters;
    if (std::optional<ExportResult> refused = setUpEscapeTime(own, fractal, parameters)) {
        why = refused->reason;
        return std::nullopt;
    }
    auto& escape = dynamic_cast<complex::ComplexFractal&>(fractal);
    // What a run does first: among others the automatic limit and the deep scene.
    fractal.prepareRun();
    if (!escape.runsDeepView()) {
        why = "the view is computed in double precision and has no reference orbits";
        return std::nullopt;
    }
    std::optional<complex::ReferenceRequest> reference = escape.deepReferenceRequest();
    if (!reference) {
        why = "the view cannot be computed: " + escape.deepRefusal();
        return std::nullopt;
    }
    // The orbits only: each picture builds the tables for its own reach.
    reference->pictureReach = numeric::ExtFloat();
    return reference;
}

std::optional<std::string> exportSizeProblem(engine::FractalType type, int width, int height) {
    if (width <= 0 || height <= 0)
        return "a picture has at least one pixel in each direction";
    if (width > kMaxExportSide || height > kMaxExportSide) {
        return "a " + sizeText(width, height) +
               " picture is too large: pictures are exported up to " +
               std::to_string(kMaxExportSide) + " pixels a side";
    }
    const std::uint64_t pixels =
        static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height);
    if (catalogue::isOrbitType(type) && pixels > kMaxOrbitExportPixels) {
        return "a " + sizeText(width, height) +
               " orbit picture is too large: orbit pictures are computed whole in memory and "
               "exported up to " +
               std::to_string(kMaxOrbitExportPixels) + " pixels (16384x16384)";
    }
    return std::nullopt;
}

std::optional<std::string> windowProblem(const ExportRequest& request) {
    if (!request.window)
        return std::nullopt;
    if (catalogue::isOrbitType(request.type))
        return "orbit pictures are not split into tiles: their points are plotted anywhere";
    const complex::PixelWindow& w = *request.window;
    if (w.left < 0 || w.top < 0 || w.width < 1 || w.height < 1 ||
        w.width > request.width - w.left || w.height > request.height - w.top) {
        return "the tile does not lie inside the " + sizeText(request.width, request.height) +
               " picture";
    }
    return std::nullopt;
}

ExportResult renderExport(const ExportRequest& request, ExportControl& control, ExportSink& sink) {
    if (const auto problem = exportSizeProblem(request.type, request.width, request.height))
        return failed(*problem);
    if (const auto problem = windowProblem(request))
        return failed(*problem);
    if (const auto problem =
            supersampleProblem(request.type, request.width, request.height, request.supersample))
        return failed(*problem);
    control.permille.store(0, std::memory_order_relaxed);
    if (catalogue::isOrbitType(request.type))
        return renderOrbit(request, control, sink);
    return renderEscapeTime(request, control, sink);
}

bool hasPngExtension(const std::string& path) {
    return persist::pictureFormatFor(path) == persist::PictureFormat::Png;
}

ExportJob::ExportJob(ExportRequest request, std::string path, platform::Window& window,
                     unsigned message, Output output)
    : request_(std::move(request)),
      path_(std::move(path)),
      output_(output),
      thread_(window, message, [this] {
          try {
              constexpr auto refuse = platform::StreamTargets::Refuse;
              result_ = output_ == Output::CompletedPicture
                            ? completePictureFile(request_, path_, refuse, control_)
                            : exportPicture(request_, path_, refuse, control_);
          } catch (const std::bad_alloc&) {
              result_ = failed("not enough memory");
          }
      }) {}

ExportJob::~ExportJob() {
    cancel();
    thread_.join();
}

const ExportResult& ExportJob::result() {
    thread_.join();
    return result_;
}

}  // namespace app
