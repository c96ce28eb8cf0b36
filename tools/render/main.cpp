// corvane-render: computes one picture on the real engine without a window and
// saves it as a picture file.
#include <chrono>
#include <csignal>
#include <cstdio>
#include <new>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/picture_export.h"
#include "app/supersampling.h"
#include "app/tile_split.h"
#include "catalogue/factory.h"
#include "catalogue/fractal_types.h"
#include "complex/complex_fractal.h"
#include "complex/minibrot_finder.h"
#include "engine/color_table.h"
#include "engine/fractal.h"
#include "engine/settings_key.h"
#include "frame_commands.h"
#include "persist/bitmap_file.h"
#include "persist/picture_file.h"
#include "platform/c_format.h"
#include "platform/headless_window.h"
#include "platform/settings_store.h"
#include "platform/termination_cleanup.h"
#include "platform/write_target.h"
#include "reference_command.h"
#include "render_options.h"
#include "stitch_command.h"
#include "view/deep_view.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitUnusableFile = 1;
constexpr int kExitBadArguments = 2;
constexpr int kDefaultWidth = 240;
constexpr int kDefaultHeight = 268;
constexpr int kMaxPaletteEntries = 4096;

class SilentSound : public platform::Sound {
  public:
    void exclamation() override {}
};

// What a fractal without a window needs, with the job's parameters stored where the new
// fractal takes them up, as the program takes up its stored settings.
struct Headless {
    Headless(int width, int height, engine::FractalType type,
             const std::optional<std::string>& params)
        : window(width, height) {
        if (params)
            engine::SettingsKey(store).writeString(catalogue::fractalTypeName(type), *params);
    }
    platform::Services services() { return platform::Services{window, store, sound}; }

    platform::HeadlessWindow window;
    platform::MemorySettingsStore store;
    SilentSound sound;
};

// What is to be rendered, once the command line and any --from picture are read.
struct Job {
    engine::FractalType type = engine::kMandelbrot;
    int width = kDefaultWidth;
    int height = kDefaultHeight;
    std::optional<std::string> params;
    // The view of --center and --width, at the picture's size.
    std::optional<view::DeepView> view;
    // Samples a side each pixel averages: --supersample, else what the picture tells.
    int supersample = 1;
    // --tile: the part of the picture computed, and the label its file carries.
    std::optional<complex::PixelWindow> tile;
    std::string tileLabel;
};

// Each step below returns an empty text on success, or the one-line reason why a
// file cannot be used (exit code 1).
using Problem = std::string;

// The picture's own pixels are never needed: only its size, type and parameters.
Problem readPictureJob(const std::string& path, Job& job) {
    const persist::PictureFile file =
        persist::readPictureFile(path, engine::kMaxParameterUnits, 0, 0);
    if (!file.image.ok())
        return path + ": " + file.image.error;
    job.width = file.image.fileWidth;
    job.height = file.image.fileHeight;
    const engine::FractalType type = file.type.value_or(0);
    const std::string& params = file.params;
    if (catalogue::fractalTypeName(type).empty())
        return path + ": the picture names no fractal type";
    if (params.empty())
        return path + ": the picture carries no parameter string";
    if (const std::string damage = render::parameterStringDamage(type, params); !damage.empty())
        return path + ": the picture's parameter string cannot be used: " + damage;
    job.type = type;
    job.params = params;
    job.supersample = file.supersample;
    return {};
}

// The view --center and --width give, on the job's picture; one deeper than double
// precision resolves is computed by perturbation.
Problem viewOfJob(const render::RenderOptions& options, Job& job) {
    if (!options.view)
        return {};
    if (catalogue::isOrbitType(job.type) && !options.viewOfLocation)
        return "--center and --width apply to escape-time types only";
    const std::string size = std::to_string(job.width) + "x" + std::to_string(job.height);
    const std::optional<view::DeepView> view = view::DeepView::fromCentreAndWidth(
        options.view->x, options.view->y, options.view->width, job.width, job.height);
    if (!view)
        return "the view of --center and --width does not fit a " + size + " picture";
    if (catalogue::isOrbitType(job.type) && view->isDeep())
        return "the location's view is deeper than an orbit type shows";
    job.view = *view;
    return {};
}

Problem makeJob(const render::RenderOptions& options, Job& job) {
    if (options.from) {
        Problem problem = readPictureJob(*options.from, job);
        if (!problem.empty())
            return problem;
    }
    if (options.type)
        job.type = *options.type;
    if (options.params)
        job.params = options.params;
    if (options.width && options.height) {
        job.width = *options.width;
        job.height = *options.height;
    } else if (app::hasPngExtension(options.output)
                   ? app::exportSizeProblem(job.type, job.width, job.height).has_value()
                   : !render::sizeAllowed(job.width, job.height)) {
        // A file can hold a picture too long or too large to compute at its own size.
        return *options.from + ": a " + std::to_string(job.width) + "x" +
               std::to_string(job.height) + " picture is rendered only at a size given with --size";
    }
    if (options.supersample)
        job.supersample = *options.supersample;
    if (app::hasPngExtension(options.output)) {
        if (const auto problem = app::exportSizeProblem(job.type, job.width, job.height))
            return *problem;
        if (const auto problem =
                app::supersampleProblem(job.type, job.width, job.height, job.supersample))
            return *problem;
    } else if (job.supersample > 1) {
        return options.from.value_or("OUTPUT") + ": the picture is anti-aliased with " +
               std::to_string(job.supersample) + "x" + std::to_string(job.supersample) +
               " samples a pixel: write a .png, or give --supersample 1";
    }
    return viewOfJob(options, job);
}

// --tile: which part of the job's picture is computed. A refusal is a bad argument
// (exit code 2).
Problem tileOfJob(const render::RenderOptions& options, Job& job) {
    if (!options.tile)
        return {};
    if (catalogue::isOrbitType(job.type))
        return "--tile applies to escape-time types only";
    std::string why;
    const std::optional<app::TileSplit> split =
        app::TileSplit::make(options.tile->count, job.width, job.height, why);
    if (!split)
        return why;
    job.tile = split->tile(options.tile->index);
    job.tileLabel = app::tileLabelText(app::TileLabel{*options.tile, job.width, job.height});
    return {};
}

// A palette file that yields no colour, with the reason the Load Palette command gives.
Problem paletteProblem(const std::string& path, engine::ColorTable& colors) {
    std::string why;
    if (colors.loadFile(path, kMaxPaletteEntries, &why) <= 0)
        return "cannot load the palette " + path + ": " + why;
    return {};
}

// Refuses a palette file that yields no colour, rather than falling back quietly.
Problem checkPalette(const std::string& path) {
    engine::ColorTable probe;
    return paletteProblem(path, probe);
}

// The stored palette path is limited in length; a longer one is loaded directly.
Problem ensurePalette(engine::Fractal& fractal, const std::string& path) {
    if (fractal.folders.palette == path && fractal.colorTable().colorCount() > 0)
        return {};
    engine::ColorTable colors;
    if (Problem problem = paletteProblem(path, colors); !problem.empty())
        return problem;
    fractal.usePalette(path, std::move(colors));
    return {};
}

// The stored parameters (or the type's defaults), then the view and colouring asked
// for, which override the ones the parameters carry; then the one run.
// A limit the view cannot be computed with is refused before the run (exit code 2).
Problem startRun(engine::Fractal& fractal, const std::optional<view::DeepView>& view,
                 const render::RenderOptions& options) {
    auto* escapeTime = dynamic_cast<complex::ComplexFractal*>(&fractal);
    if (escapeTime == nullptr && (options.iterations || options.autoIterations))
        return "--iterations applies to escape-time types only";
    fractal.setOption(&engine::Options::autoIterations, options.autoIterations);
    fractal.setOption(&engine::Options::exactCounts, options.exactCounts);
    {
        engine::TakingOverScope noRunYet(fractal);
        fractal.startFromSettings();
        if (view)
            fractal.setPreciseView(*view);
        if (escapeTime != nullptr && options.colouring)
            escapeTime->setColouring(*options.colouring);
        if (escapeTime != nullptr)
            escapeTime->setColorControls(
                options.colorChanges.appliedTo(escapeTime->colorControls()));
        if (escapeTime != nullptr && options.iterations)
            escapeTime->setMaxIterations(*options.iterations);
    }
    if (escapeTime != nullptr) {
        if (const std::string refusal = escapeTime->nextLimitRefusal(); !refusal.empty())
            return "the view cannot be computed: " + refusal;
    }
    fractal.saveParameters();
    fractal.startCalculation();
    return {};
}

// Escape-time pictures run until they are complete, orbits until enough points.
void runToEnd(engine::Fractal& fractal, std::uint32_t points) {
    const bool orbit = catalogue::isOrbitType(fractal.type);
    while (!fractal.isFinished()) {
        if (orbit && fractal.runState.pointCount.load(std::memory_order_relaxed) >= points)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    fractal.stopCalculation();
}

// A deep picture's figures, as more key=value pairs of the summary line.
// referenceRead: the reference came from a --reference file.
std::string deepFigures(const std::optional<engine::DeepReport>& deep, bool referenceRead) {
    if (!deep)
        return {};
    return platform::cformat(
        " reference_ms=%.1f table_ms=%.1f pixels_ms=%.1f reference_reused=%d reference_read=%d "
        "interior_pixels=%ld direct_pixels=%ld exact_pixels=%ld table_bytes=%llu",
        deep->referenceMs, deep->tableMs, deep->pixelsMs, deep->referenceReused ? 1 : 0,
        referenceRead && deep->referenceReused ? 1 : 0, deep->interiorPixels, deep->directPixels,
        deep->exactPixels, static_cast<unsigned long long>(deep->tableBytes));
}

void printSummary(const std::string& note, const std::string& typeName, int width, int height,
                  std::uint64_t points, std::uint64_t iterations, std::uint32_t milliseconds,
                  std::uint64_t referenceBytes, const std::optional<engine::DeepReport>& deep,
                  bool referenceRead) {
    if (!note.empty())
        std::printf("note: %s\n", note.c_str());
    std::printf(
        "type=%s size=%dx%d points=%llu iterations=%llu milliseconds=%u reference_bytes=%llu%s\n",
        typeName.c_str(), width, height, static_cast<unsigned long long>(points),
        static_cast<unsigned long long>(iterations), milliseconds,
        static_cast<unsigned long long>(referenceBytes), deepFigures(deep, referenceRead).c_str());
}

// A .png: computed in bands (escape-time) and encoded as the rows come, so that its
// size is limited by time rather than memory.
Problem exportPng(const Job& job, const render::RenderOptions& options,
                  const std::shared_ptr<const complex::SharedReference>& reference, bool& refused) {
    app::ExportRequest request;
    request.type = job.type;
    request.parameters = job.params.value_or(std::string());
    request.width = job.width;
    request.height = job.height;
    request.orbitPoints = options.points;
    request.colouring = options.colouring;
    request.colorChanges = options.colorChanges;
    request.view = job.view;
    request.threads = options.threads;
    request.iterations = options.iterations;
    request.autoIterations = options.autoIterations;
    request.exactCounts = options.exactCounts;
    request.supersample = job.supersample;
    request.window = job.tile;
    if (!job.tileLabel.empty())
        request.extraTexts.push_back({app::kPngTileKeyword, job.tileLabel});
    request.reference = reference;
    if (options.palette) {
        engine::ColorTable colors;
        const int count = colors.loadFile(*options.palette, kMaxPaletteEntries);
        for (int i = 0; i < count; ++i)
            request.colors.push_back(colors.colorAt(i));
    }
    app::ExportControl control;
    const auto start = std::chrono::steady_clock::now();
    // A pipe or a device (/dev/null, /dev/stdout) is written into as any tool would.
    const app::ExportResult result =
        app::exportPicture(request, options.output, platform::StreamTargets::WriteInto, control);
    if (result.limitRefused) {
        refused = true;
        return result.reason;
    }
    if (!result.written())
        return options.output + ": cannot write the picture: " + result.reason;
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - start);
    const int width = job.tile ? job.tile->width : job.width;
    const int height = job.tile ? job.tile->height : job.height;
    printSummary(result.note, result.typeName, width, height, result.points, result.iterations,
                 static_cast<std::uint32_t>(elapsed.count()), result.referenceBytes, result.deep,
                 reference != nullptr);
    return {};
}

// refused: the problem is an iteration limit the view cannot be computed with.
Problem renderPicture(const render::RenderOptions& options, bool& refused) {
    Job job;
    Problem problem = makeJob(options, job);
    if (problem.empty() && options.palette)
        problem = checkPalette(*options.palette);
    std::shared_ptr<const complex::SharedReference> reference;
    if (problem.empty() && options.reference)
        problem = render::readReference(*options.reference, reference);
    if (!problem.empty())
        return problem;
    if (problem = tileOfJob(options, job); !problem.empty()) {
        refused = true;
        return problem;
    }
    // A picture read with --from tells its type only here.
    if (options.exactCounts && catalogue::isOrbitType(job.type)) {
        refused = true;
        return "--exact-counts applies to escape-time types only";
    }
    if (app::hasPngExtension(options.output))
        return exportPng(job, options, reference, refused);

    Headless headless(job.width, job.height, job.type, job.params);
    if (options.palette)
        engine::SettingsKey(headless.store).writeString("Palette", *options.palette);

    engine::FractalPtr fractal = catalogue::createFractal(job.type, headless.services());
    if (!fractal || fractal->picture.empty()) {
        return "not enough memory for a " + std::to_string(job.width) + "x" +
               std::to_string(job.height) + " picture";
    }
    if (options.palette)
        problem = ensurePalette(*fractal, *options.palette);
    if (!problem.empty())
        return problem;
    // Every core unless told otherwise (orbit types always use one).
    fractal->setThreadLimit(options.threads);
    if (auto* escapeTime = dynamic_cast<complex::ComplexFractal*>(fractal.get()))
        escapeTime->useReference(reference);
    if (problem = startRun(*fractal, job.view, options); !problem.empty()) {
        refused = true;
        return problem;
    }
    runToEnd(*fractal, options.points);
    if (const auto* escapeTime = dynamic_cast<const complex::ComplexFractal*>(fractal.get());
        escapeTime != nullptr && escapeTime->runsDeepView() && !escapeTime->deepRefusal().empty()) {
        return "the view cannot be computed: " + escapeTime->deepRefusal();
    }

    // A pipe or a device (/dev/null, /dev/stdout) is written into as any tool would.
    const engine::SaveResult saved =
        fractal->saveImageTo(options.output, platform::StreamTargets::WriteInto);
    if (saved.status != engine::kStatusOk)
        return options.output + ": cannot write the picture: " + saved.reason;
    const engine::RunStatistics stats = fractal->statistics();
    printSummary(headless.window.titleNote(), fractal->typeName, fractal->width, fractal->height,
                 stats.pointCount, stats.iterationCount, stats.endTick - stats.startTick,
                 stats.referenceBytes, fractal->deepReport(), reference != nullptr);
    return {};
}

// The minibrot of the lowest period in the view asked for, printed as the view that
// shows it, in the text --center and --width read back.
Problem findMinibrot(const render::RenderOptions& options) {
    Job job;
    if (Problem problem = makeJob(options, job); !problem.empty())
        return problem;
    Headless headless(job.width, job.height, job.type, job.params);
    engine::FractalPtr fractal = catalogue::createFractal(job.type, headless.services());
    if (!fractal)
        return "not enough memory";
    {
        engine::TakingOverScope noRun(*fractal);
        fractal->startFromSettings();
        if (job.view)
            fractal->setPreciseView(*job.view);
        // The periods searched go up to the limit: the one asked for, else the parameters'.
        if (auto* escapeTime = dynamic_cast<complex::ComplexFractal*>(fractal.get());
            escapeTime != nullptr && options.iterations)
            escapeTime->setMaxIterations(*options.iterations);
    }
    const std::optional<complex::EscapeFormula> formula = complex::formulaOf(*fractal);
    if (!formula)
        return complex::kOnlyPlainMandelbrot;
    const complex::MinibrotSearch search =
        complex::findNearestMinibrot(*formula, complex::regionOf(fractal->preciseView()));
    if (!search.minibrot)
        return search.reason;
    const std::optional<view::DeepView> shown =
        complex::viewShowing(*search.minibrot, job.width, job.height);
    if (!shown)
        return "the minibrot of period " + std::to_string(search.minibrot->period) +
               " is too small for any view";
    std::printf("period=%d center=%s,%s width=%s\n", search.minibrot->period,
                view::centreXText(*shown).c_str(), view::centreYText(*shown).c_str(),
                view::widthText(*shown).c_str());
    return {};
}

// --save-reference: the fractal set up as for a picture of the job, with no run; an
// anti-aliased picture's scene computes its samples, whose centre the reference is.
Problem saveReferenceFile(const render::RenderOptions& options, bool& refused) {
    render::RenderOptions plain = options;
    plain.supersample.reset();
    Job job;
    if (Problem problem = makeJob(plain, job); !problem.empty())
        return problem;
    const int factor = options.supersample.value_or(job.supersample);
    if (const auto problem = app::supersampleProblem(job.type, job.width, job.height, factor)) {
        refused = true;
        return *problem;
    }
    Headless headless(job.width, job.height, job.type, job.params);
    engine::FractalPtr fractal = catalogue::createFractal(job.type, headless.services());
    if (!fractal)
        return "not enough memory";
    auto* escapeTime = dynamic_cast<complex::ComplexFractal*>(fractal.get());
    if (escapeTime == nullptr) {
        refused = true;
        return "--save-reference applies to escape-time types only";
    }
    fractal->setOption(&engine::Options::autoIterations, options.autoIterations);
    {
        engine::TakingOverScope noRun(*fractal);
        fractal->startFromSettings();
        if (job.view)
            fractal->setPreciseView(*job.view);
        if (options.iterations)
            escapeTime->setMaxIterations(*options.iterations);
    }
    // As an export: the automatic limit is the picture's, chosen before its samples.
    if (options.autoIterations)
        fractal->prepareRun();
    if (factor > 1 && !app::showSamples(*fractal, factor)) {
        refused = true;
        return "the picture's samples are finer than any view can be";
    }
    return render::saveReference(*fractal, *options.saveReference, refused);
}

}  // namespace

int main(int argc, char** argv) {
    // Before any thread starts: a termination signal during a write removes its
    // temporary file, as ending the window does.
    platform::removeTemporaryFilesOnTermination();
    // A reader that goes away, or a file size limit, fails the write with a reason to
    // report instead of ending the program with a signal.
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
    std::vector<std::string> arguments(argv + 1, argv + argc);
    const render::ParsedCommandLine parsed = render::parseCommandLine(arguments);
    if (parsed.help) {
        std::fputs(render::usageText(), stdout);
        return kExitOk;
    }
    if (!parsed.error.empty()) {
        std::fprintf(stderr, "corvane-render: %s\n%s", parsed.error.c_str(), render::usageText());
        return kExitBadArguments;
    }
    std::string problem;
    bool refused = false;
    try {
        if (parsed.options.pathGiven())
            return render::runFrameCommand(parsed.options);
        if (parsed.options.stitchCount)
            problem = render::stitchTiles(parsed.options);
        else if (parsed.options.saveReference)
            problem = saveReferenceFile(parsed.options, refused);
        else if (parsed.options.findMinibrot)
            problem = findMinibrot(parsed.options);
        else
            problem = renderPicture(parsed.options, refused);
    } catch (const std::bad_alloc&) {
        problem = "not enough memory";
    }
    if (problem.empty())
        return kExitOk;
    std::fprintf(stderr, "corvane-render: %s\n", problem.c_str());
    return refused ? kExitBadArguments : kExitUnusableFile;
}
