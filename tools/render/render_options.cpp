#include "render_options.h"
#include "catalogue/fractal_types.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <filesystem>
#include <limits>

#include "app/location.h"
#include "app/numbered_name.h"
#include "app/picture_export.h"
#include "app/supersampling.h"
#include "app/zoom_path.h"
#include "catalogue/factory.h"
#include "complex/complex_fractal.h"
#include "complex/escape_colouring.h"
#include "engine/fractal.h"
#include "engine/settings_key.h"
#include "orbit/orbit_fractal.h"
#include "persist/bitmap_file.h"
#include "platform/regular_file.h"
#include "platform/text.h"

namespace render {

namespace {

constexpr std::uint64_t kMaxPoints = 4000000000u;
constexpr std::uint64_t kMaxThreads = engine::Fractal::kMostThreads;
// The longest side of a bitmap picture; a .png has the export's own limits.
constexpr int kMaxSide = 1 << 20;

// An unsigned decimal number without sign, spaces or other characters.
template <typename T>
bool parseDecimal(const std::string& text, T& value) {
    if (text.empty() || text.front() < '0' || text.front() > '9')
        return false;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && ptr == end;
}

std::optional<std::int32_t> parseType(const std::string& text) {
    std::int32_t id = 0;
    if (parseDecimal(text, id)) {
        if (catalogue::fractalTypeName(id).empty())
            return std::nullopt;
        return id;
    }
    return catalogue::fractalTypeFromName(text);
}

// What the options so far have given, beyond the options themselves.
struct OptionsSeen {
    bool size = false;
    bool points = false;
    std::optional<std::string> centre;
    std::optional<std::string> planeWidth;
    std::optional<std::string> location;
    std::optional<std::string> zoomTo;
    std::optional<std::string> zoomWidth;
    // Options other than those of a path and its frames.
    std::vector<std::string> pictureOnly;
    bool skippedExit = false;
};

// The options that give a zoom path, beyond those of a picture.
bool isPathOption(const std::string& argument) {
    return argument == "--path" || argument == "--zoom-to" || argument == "--zoom-width" ||
           argument == "--per-doubling" || argument == "--ease" || argument == "--keyframe-every";
}

// The options that say what is done with a path; a plan's commands give their own.
bool isFrameJobOption(const std::string& argument) {
    return argument == "--frame" || argument == "--frames" || argument == "--plan" ||
           argument == "--chunk" || argument == "--skipped-exit";
}

// The options of a picture whose settings a path file gives itself.
bool isPathFileSetting(const std::string& argument) {
    return argument == "--type" || argument == "--params" || argument == "--center" ||
           argument == "--width" || argument == "--location" || argument == "--size" ||
           argument == "--iterations" || argument == "--colouring" || argument == "--density" ||
           argument == "--offset" || argument == "--transfer" || argument == "--supersample";
}

bool isKnownOption(const std::string& argument) {
    return argument == "--type" || argument == "--size" || argument == "--params" ||
           argument == "--palette" || argument == "--points" || argument == "--from" ||
           argument == "--colouring" || argument == "--threads" || argument == "--center" ||
           argument == "--width" || argument == "--iterations" || argument == "--location" ||
           argument == "--supersample" || argument == "--density" || argument == "--offset" ||
           argument == "--transfer" || argument == "--tile" || argument == "--stitch" ||
           argument == "--save-reference" || argument == "--reference" || isPathOption(argument) ||
           isFrameJobOption(argument);
}

// The options that take text as it is and may be given once; empty when accepted.
std::string setOnce(std::optional<std::string>& slot, const std::string& argument,
                    const std::string& value) {
    if (slot)
        return argument + " given twice";
    slot = value;
    return {};
}

std::string setType(const std::string& value, RenderOptions& options) {
    if (options.type)
        return "--type given twice";
    options.type = parseType(value);
    if (!options.type)
        return "unknown fractal type " + value;
    return {};
}

std::string setSize(const std::string& value, RenderOptions& options, OptionsSeen& seen) {
    if (seen.size)
        return "--size given twice";
    int w = 0;
    int h = 0;
    if (!parseSize(value, w, h))
        return "bad size " + value + " (expected WxH)";
    options.width = w;
    options.height = h;
    seen.size = true;
    return {};
}

std::string setParams(const std::string& value, RenderOptions& options) {
    if (options.params)
        return "--params given twice";
    if (platform::utf16Length(value) > engine::kMaxParameterUnits) {
        return "--params: a parameter string has at most " +
               std::to_string(engine::kMaxParameterUnits) + " characters";
    }
    options.params = value;
    return {};
}

std::string setPoints(const std::string& value, RenderOptions& options, OptionsSeen& seen) {
    if (seen.points)
        return "--points given twice";
    std::uint64_t n = 0;
    if (!parseDecimal(value, n) || n == 0 || n > kMaxPoints) {
        return "bad number of points " + value;
    }
    options.points = static_cast<std::uint32_t>(n);
    seen.points = true;
    return {};
}

// Bands and smooth colour by counts; distance by the distance to the boundary, with
// the count colouring the parameters carry kept for the types without it.
std::string setColouring(const std::string& value, RenderOptions& options) {
    if (options.colouring || options.colorChanges.distance)
        return "--colouring given twice";
    if (value == "bands") {
        options.colouring = complex::kBands;
    } else if (value == "smooth") {
        options.colouring = complex::kSmooth;
    } else if (value != "distance") {
        return "bad colouring " + value + " (expected bands, smooth or distance)";
    }
    options.colorChanges.distance = value == "distance";
    return {};
}

std::string setDensity(const std::string& value, RenderOptions& options) {
    complex::ColorControlChanges& changes = options.colorChanges;
    if (changes.density || changes.automaticDensity)
        return "--density given twice";
    if (value == "auto") {
        changes.automaticDensity = true;
        return {};
    }
    const std::optional<double> density = complex::readNumber(value);
    const std::string refusal = density ? complex::densityRefusal(*density) : "not a number";
    if (!refusal.empty())
        return "bad density " + value + ": " + refusal + ", or auto";
    changes.density = density;
    return {};
}

std::string setOffset(const std::string& value, RenderOptions& options) {
    complex::ColorControlChanges& changes = options.colorChanges;
    if (changes.offset)
        return "--offset given twice";
    const std::optional<double> offset = complex::readNumber(value);
    const std::string refusal = offset ? complex::offsetRefusal(*offset) : "not a number";
    if (!refusal.empty())
        return "bad offset " + value + ": " + refusal;
    changes.offset = offset;
    return {};
}

std::string setTransfer(const std::string& value, RenderOptions& options) {
    complex::ColorControlChanges& changes = options.colorChanges;
    if (changes.transfer)
        return "--transfer given twice";
    changes.transfer = complex::transferFromWord(value);
    if (!changes.transfer)
        return "bad transfer " + value + " (expected linear, sqrt or log)";
    return {};
}

std::string setThreads(const std::string& value, RenderOptions& options) {
    if (options.threads)
        return "--threads given twice";
    std::uint64_t n = 0;
    if (!parseDecimal(value, n) || n == 0 || n > kMaxThreads)
        return "bad number of threads " + value + " (1 to " + std::to_string(kMaxThreads) + ")";
    options.threads = static_cast<int>(n);
    return {};
}

std::string setIterations(const std::string& value, RenderOptions& options) {
    if (options.iterations || options.autoIterations)
        return "--iterations given twice";
    if (value == "auto") {
        options.autoIterations = true;
        return {};
    }
    int n = 0;
    if (!parseDecimal(value, n) || n < 1) {
        return "bad iteration limit " + value + " (1 to " +
               std::to_string(std::numeric_limits<int>::max()) + ", or auto)";
    }
    options.iterations = n;
    return {};
}

std::string setSupersample(const std::string& value, RenderOptions& options) {
    if (options.supersample)
        return "--supersample given twice";
    int n = 0;
    if (!parseDecimal(value, n) || n < 1 || n > app::kMostSupersample) {
        return "bad supersample factor " + value + " (1 to " +
               std::to_string(app::kMostSupersample) + " samples a side)";
    }
    options.supersample = n;
    return {};
}

// A whole number from least to most, for the options of a path and its frames.
template <typename T>
std::string setWhole(std::optional<T>& slot, const std::string& argument, const std::string& value,
                     long long least, long long most) {
    if (slot)
        return argument + " given twice";
    long long n = 0;
    if (!parseDecimal(value, n) || n < least || n > most) {
        return "bad " + argument + " " + value + " (" + std::to_string(least) + " to " +
               std::to_string(most) + ")";
    }
    slot = static_cast<T>(n);
    return {};
}

// "A-B" with A <= B, two frame numbers.
std::string setFrames(const std::string& value, RenderOptions& options) {
    if (options.frames)
        return "--frames given twice";
    const std::size_t dash = value.find('-');
    long first = 0;
    long last = 0;
    if (dash == std::string::npos || !parseDecimal(value.substr(0, dash), first) ||
        !parseDecimal(value.substr(dash + 1), last) || first > last || last >= app::kMostPathFrames)
        return "bad --frames " + value + " (expected A-B, first and last frame, A <= B)";
    options.frames = std::make_pair(first, last);
    return {};
}

std::string setSkippedExit(const std::string& value, RenderOptions& options, OptionsSeen& seen) {
    std::optional<int> code;
    if (seen.skippedExit)
        return "--skipped-exit given twice";
    if (std::string error = setWhole(code, "--skipped-exit", value, 0, 255); !error.empty())
        return error;
    options.skippedExit = *code;
    seen.skippedExit = true;
    return {};
}

// The options of a zoom path and of its frame jobs; the reason one is refused, or empty.
std::string applyPathOption(const std::string& argument, const std::string& value,
                            RenderOptions& options, OptionsSeen& seen) {
    if (argument == "--path")
        return setOnce(options.pathFile, argument, value);
    if (argument == "--zoom-to")
        return setOnce(seen.zoomTo, argument, value);
    if (argument == "--zoom-width")
        return setOnce(seen.zoomWidth, argument, value);
    if (argument == "--per-doubling")
        return setWhole(options.perDoubling, argument, value, 1, app::kMostFramesPerDoubling);
    if (argument == "--ease")
        return setWhole(options.ease, argument, value, 0, app::kMostPathFrames);
    if (argument == "--keyframe-every")
        return setWhole(options.keyframeEvery, argument, value, 0, app::kMostFramesPerDoubling);
    if (argument == "--frame")
        return setWhole(options.frame, argument, value, 0, app::kMostPathFrames - 1);
    if (argument == "--frames")
        return setFrames(value, options);
    if (argument == "--plan")
        return setOnce(options.plan, argument, value);
    if (argument == "--chunk")
        return setWhole(options.chunk, argument, value, 1, app::kMostPathFrames);
    return setSkippedExit(value, options, seen);
}

std::string setTile(const std::string& value, RenderOptions& options) {
    if (options.tile)
        return "--tile given twice";
    std::string why;
    options.tile = app::parseTileId(value, why);
    return why;
}

std::string setStitch(const std::string& value, RenderOptions& options) {
    if (options.stitchCount)
        return "--stitch given twice";
    int count = 0;
    std::string why;
    if (!parseDecimal(value, count) ||
        !app::TileSplit::make(count, app::kMostTiles, app::kMostTiles, why))
        return "bad tile count " + value + " (a square number, 1 to " +
               std::to_string(app::kMostTiles) + ")";
    options.stitchCount = count;
    return {};
}

// --stitch reads tiles and writes their picture: it takes no other option.
std::string checkStitch(std::size_t optionCount, const std::vector<std::string>& positional) {
    if (optionCount != 1)
        return "--stitch N TILE-PATTERN OUTPUT takes no other option";
    if (positional.size() != 2)
        return "--stitch N needs a TILE-PATTERN and an OUTPUT";
    std::string why;
    if (!app::NumberedName::parse(positional[0], why))
        return why;
    if (!app::hasPngExtension(positional[1]))
        return "--stitch writes a .png OUTPUT";
    return {};
}

// One known option and its value; the reason it is refused, or empty.
std::string applyOption(const std::string& argument, const std::string& value,
                        RenderOptions& options, OptionsSeen& seen) {
    if (isPathOption(argument) || isFrameJobOption(argument))
        return applyPathOption(argument, value, options, seen);
    if (argument == "--type")
        return setType(value, options);
    if (argument == "--size")
        return setSize(value, options, seen);
    if (argument == "--params")
        return setParams(value, options);
    if (argument == "--palette")
        return setOnce(options.palette, argument, value);
    if (argument == "--points")
        return setPoints(value, options, seen);
    if (argument == "--colouring")
        return setColouring(value, options);
    if (argument == "--threads")
        return setThreads(value, options);
    if (argument == "--density")
        return setDensity(value, options);
    if (argument == "--offset")
        return setOffset(value, options);
    if (argument == "--transfer")
        return setTransfer(value, options);
    if (argument == "--iterations")
        return setIterations(value, options);
    if (argument == "--supersample")
        return setSupersample(value, options);
    if (argument == "--tile")
        return setTile(value, options);
    if (argument == "--stitch")
        return setStitch(value, options);
    if (argument == "--center")
        return setOnce(seen.centre, argument, value);
    if (argument == "--width")
        return setOnce(seen.planeWidth, argument, value);
    if (argument == "--location")
        return setOnce(seen.location, argument, value);
    if (argument == "--save-reference")
        return setOnce(options.saveReference, argument, value);
    if (argument == "--reference")
        return setOnce(options.reference, argument, value);
    return setOnce(options.from, argument, value);
}

// The text of --location: the file it names when it names a regular file that can be
// read, else the value itself.
std::string locationText(const std::string& value) {
    const std::optional<platform::RegularFile> file = platform::RegularFile::open(value);
    if (!file)
        return value;
    bool truncated = false;
    const std::optional<std::string> text = file->readAll(app::kLongestLocationText + 1, truncated);
    return text ? *text : value;
}

// --location: the type, view, limit and parameters at once, instead of their options.
std::string applyLocation(const OptionsSeen& seen, RenderOptions& options) {
    if (!seen.location)
        return {};
    if (options.type || options.params || seen.centre || seen.planeWidth || options.iterations ||
        options.autoIterations || options.from) {
        return "--location gives the type, view, iterations and parameters: it goes with none "
               "of --type, --params, --center, --width, --iterations and --from";
    }
    app::LocationResult location = app::parseLocation(locationText(*seen.location));
    if (!location.value)
        return "bad location: " + location.error;
    options.type = location.value->type;
    options.params = std::move(location.value->parameters);
    options.view = std::move(location.value->view);
    options.iterations = location.value->iterations;
    options.viewOfLocation = true;
    return {};
}

// --center and --width together, as a view an escape-time type can take.
std::string applyView(const OptionsSeen& seen, RenderOptions& options) {
    if (seen.centre.has_value() != seen.planeWidth.has_value())
        return "--center and --width go together";
    if (seen.centre) {
        view::ViewTextResult view = view::parseCentreAndWidth(*seen.centre, *seen.planeWidth);
        if (!view.value)
            return "bad view: " + view.error;
        options.view = std::move(view.value);
        if (options.type && catalogue::isOrbitType(*options.type))
            return "--center and --width apply to escape-time types only";
    }
    if ((options.iterations || options.autoIterations) && options.type &&
        catalogue::isOrbitType(*options.type))
        return "--iterations applies to escape-time types only";
    if (options.supersample.value_or(1) > 1 && options.type &&
        catalogue::isOrbitType(*options.type))
        return "--supersample applies to escape-time types only";
    const complex::ColorControlChanges& colors = options.colorChanges;
    if ((colors.density || colors.automaticDensity || colors.offset || colors.transfer) &&
        options.type && catalogue::isOrbitType(*options.type))
        return "--density, --offset and --transfer apply to escape-time types only";
    if (colors.distance.value_or(false) && options.type && *options.type != engine::kMandelbrot &&
        *options.type != engine::kJulia)
        return "--colouring distance applies to Mandelbrot and Julia only";
    return {};
}

// The output's extension says what is written: a bitmap or a PNG picture. A name
// without one (a pipe, a device) gets a bitmap.
std::string checkOutputExtension(const std::string& output) {
    const std::size_t slash = output.rfind('/');
    const std::string name = slash == std::string::npos ? output : output.substr(slash + 1);
    const std::size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0)
        return {};
    std::string extension = name.substr(dot);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (extension == ".bmp" || extension == ".png")
        return {};
    return "cannot write a " + name.substr(dot) + " picture: OUTPUT must end in .bmp or .png";
}

// Refuses a parameter string that the type's reader would take for damaged.
std::string checkParams(const RenderOptions& options) {
    if (!options.params)
        return {};
    const std::string damage =
        parameterStringDamage(options.type.value_or(engine::kMandelbrot), *options.params);
    return damage.empty() ? std::string() : "--params: " + damage;
}

// A picture of the size asked for must fit the output's format.
std::string checkOutputSize(const RenderOptions& options) {
    const bool png = app::hasPngExtension(options.output);
    const int w = *options.width;
    const int h = *options.height;
    if (!png && !sizeAllowed(w, h)) {
        return "a " + std::to_string(w) + "x" + std::to_string(h) +
               " picture is too large for a bitmap file: write a .png";
    }
    // Without --from the type is known here; a picture's type is checked once read.
    if (const auto problem =
            app::exportSizeProblem(options.type.value_or(engine::kMandelbrot), w, h);
        png && !options.from && problem) {
        return *problem;
    }
    if (const auto problem = app::supersampleProblem(options.type.value_or(engine::kMandelbrot), w,
                                                     h, options.supersample.value_or(1));
        png && !options.from && problem) {
        return *problem;
    }
    return {};
}

// A file named on the command line, as the commands of a plan name it from any folder.
std::string absoluteFile(const std::string& name) {
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(name, error);
    return error ? name : absolute.string();
}

// Keeps what a plan's commands repeat, and notes the options of a picture.
void recordArgument(const std::string& argument, const std::string& value, RenderOptions& options,
                    OptionsSeen& seen) {
    if (isFrameJobOption(argument))
        return;
    if (!isPathOption(argument))
        seen.pictureOnly.push_back(argument);
    const bool file = argument == "--path" || argument == "--palette" || argument == "--from" ||
                      argument == "--reference" ||
                      (argument == "--location" && platform::RegularFile::open(value));
    options.pathArguments.push_back(argument);
    options.pathArguments.push_back(file ? absoluteFile(value) : value);
}

// The options of a path's frame jobs, checked together once all are read.
std::string checkFrameJob(const OptionsSeen& seen, RenderOptions& options,
                          const std::vector<std::string>& positional) {
    if (seen.zoomTo.has_value() != seen.zoomWidth.has_value())
        return "--zoom-to and --zoom-width go together";
    if (seen.zoomTo) {
        view::ViewTextResult end = view::parseCentreAndWidth(*seen.zoomTo, *seen.zoomWidth);
        if (!end.value)
            return "bad --zoom-to or --zoom-width: " + end.error;
        options.zoomTo = std::move(end.value);
    }
    if (options.pathFile && options.zoomTo)
        return "--path and --zoom-to both give a path: give one of them";
    if (!options.pathGiven())
        return "--frame, --frames, --plan, --frame-count, --per-doubling, --ease and "
               "--keyframe-every need a path: --path FILE or --zoom-to RE,IM";
    if (options.zoomTo && !options.perDoubling)
        return "--zoom-to needs --per-doubling";
    if (options.pathFile && (options.perDoubling || options.ease || options.keyframeEvery))
        return "the path file gives the frames a doubling, the ease and the keyframes";
    for (const std::string& argument : seen.pictureOnly) {
        if (options.pathFile && isPathFileSetting(argument))
            return "the path file gives the type, views, size, iterations and colouring: " +
                   argument + " does not go with --path";
        if (argument == "--from" || argument == "--points" || argument == "--palette")
            return argument + " does not go with a zoom path";
    }
    if (options.findMinibrot)
        return "--find-minibrot does not go with a zoom path";
    // A path's frames are what its file (or its options, repeated by a plan) gives: a
    // flag outside them would make two runs of the same path differ.
    if (options.exactCounts)
        return "--exact-counts does not go with a zoom path";
    const int actions = (options.frame ? 1 : 0) + (options.frames ? 1 : 0) +
                        (options.plan ? 1 : 0) + (options.frameCount ? 1 : 0) +
                        (options.saveReference ? 1 : 0);
    if (actions != 1)
        return "a path takes one of --frame K, --frames A-B, --plan PATTERN, --frame-count and "
               "--save-reference FILE";
    if (options.reference && !options.frame && !options.frames && !options.plan)
        return "--reference goes with --frame, --frames and --plan";
    if (options.chunk && !options.plan)
        return "--chunk goes with --plan";
    if (seen.skippedExit && !options.frame && !options.frames)
        return "--skipped-exit goes with --frame and --frames";
    const bool writes = options.frame || options.frames;
    if (writes && positional.size() != 1)
        return "expected exactly one OUTPUT file or pattern";
    if (!writes && !positional.empty())
        return (options.plan            ? std::string("--plan")
                : options.saveReference ? std::string("--save-reference")
                                        : std::string("--frame-count")) +
               " takes no OUTPUT";
    if (writes)
        options.output = positional.front();
    return checkParams(options);
}

}  // namespace

std::string parameterStringDamage(engine::FractalType type, const std::string& params) {
    if (catalogue::isOrbitType(type))
        return orbit::readParameterString(params).damage;
    return complex::readParameterString(params).damage;
}

bool parseSize(const std::string& text, int& width, int& height) {
    const std::size_t x = text.find_first_of("xX");
    if (x == std::string::npos)
        return false;
    int w = 0;
    int h = 0;
    if (!parseDecimal(text.substr(0, x), w) || !parseDecimal(text.substr(x + 1), h))
        return false;
    if (w <= 0 || h <= 0 || w > kMaxSide || h > kMaxSide)
        return false;
    width = w;
    height = h;
    return true;
}

bool sizeAllowed(int width, int height) {
    if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide)
        return false;
    return static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) <=
           persist::kMaxPixels;
}

const char* usageText() {
    return "usage: corvane-render [--type NAME_OR_ID] [--size WxH] [--params TEXT] "
           "[--palette FILE] [--points N] [--colouring bands|smooth|distance] [--threads N]\n"
           "                      [--center RE,IM --width W] [--iterations N|auto] "
           "[--supersample N]\n"
           "                      [--density D|auto] [--offset O] [--transfer linear|sqrt|log] "
           "[--exact-counts] OUTPUT\n"
           "       corvane-render --location TEXT|FILE [--size WxH] [--palette FILE] "
           "[--points N] [--colouring bands|smooth|distance] [--threads N]\n"
           "                      [--supersample N] [--density D|auto] [--offset O] "
           "[--transfer linear|sqrt|log] [--exact-counts] OUTPUT\n"
           "       corvane-render --from PICTURE [--size WxH] [--palette FILE] "
           "[--points N] [--colouring bands|smooth|distance] [--threads N]\n"
           "                      [--center RE,IM --width W] [--iterations N|auto] "
           "[--supersample N]\n"
           "                      [--density D|auto] [--offset O] [--transfer linear|sqrt|log] "
           "[--exact-counts] OUTPUT\n"
           "       corvane-render ... [--tile I/N] TILE.png\n"
           "       corvane-render --stitch N TILE-PATTERN OUTPUT.png\n"
           "       corvane-render [--type NAME_OR_ID] [--size WxH] [--params TEXT] "
           "[--center RE,IM --width W]\n"
           "                      [--iterations N|auto] [--location TEXT|FILE] "
           "--save-reference FILE\n"
           "       corvane-render --find-minibrot [--type NAME_OR_ID] [--size WxH] [--params "
           "TEXT]\n"
           "                      [--from PICTURE] [--center RE,IM --width W] [--iterations N]\n"
           "       corvane-render --path FILE (--frame K OUT.png | --frames A-B OUT-PATTERN.png |\n"
           "                      --plan OUT-PATTERN.png [--chunk N] | --frame-count)\n"
           "                      [--threads N] [--skipped-exit N]\n"
           "       corvane-render [picture options] --zoom-to RE,IM --zoom-width W "
           "--per-doubling N\n"
           "                      [--ease E] [--keyframe-every K] (--frame K ... as for --path)\n"
           "--center and --width give an escape-time view by its centre and plane width, in\n"
           "decimal text of any length.\n"
           "--location gives the type, centre, width, iterations and parameters as the\n"
           "window's Copy Location puts them on the clipboard: the text itself, or a file\n"
           "holding it.\n"
           "--iterations replaces the iteration limit of the parameters; auto lets the limit\n"
           "grow with the depth of the view. A limit whose reference orbits would need more\n"
           "memory than allowed at a deep view is refused (exit code 2).\n"
           "--exact-counts counts again, in twice double's precision, the pixels of a deep\n"
           "Mandelbrot or Julia view whose count double differences cannot decide (beside\n"
           "small copies of the set with limits of 10000 and more): their counts are then\n"
           "those of a direct iteration. Slower; views double precision resolves are the\n"
           "same either way. It does not go with a zoom path, whose file gives its frames.\n"
           "--density spreads the palette: D counts (after the transfer) a palette step, or\n"
           "auto to find it from the picture's own counts; --offset turns the palette by O\n"
           "entries; --transfer takes the count, its square root or its logarithm.\n"
           "--colouring distance colours Mandelbrot and Julia by each point's distance to\n"
           "the set's boundary (the palette steps as the distance doubles; the boundary one\n"
           "pixel wide at any depth and iteration limit); bands or smooth turn it off.\n"
           "--find-minibrot prints the view of the minibrot of the lowest period in the view\n"
           "(Mandelbrot with the parameters 0, 0; periods up to the iteration limit, which\n"
           "--iterations replaces) as one\n"
           "line \"period=P center=RE,IM width=W\", or exits with 1 and the reason.\n"
           "--supersample N anti-aliases an escape-time .png: each pixel the mean of N x N\n"
           "samples (1 to 16) in linear light; a picture written so tells its N, which --from\n"
           "takes unless --supersample is given.\n"
           "A zoom path goes from the start view (the file's start-centre and start-width, or\n"
           "--center and --width, else the type's view) to the end view by a constant factor a\n"
           "frame, per-doubling frames for each halving of the width; the last E frames ease to\n"
           "a stop. An OUT-PATTERN holds one %d, %5d or %05d for the frame number. A frame whose\n"
           "file is already finished is skipped; exit codes: 0 rendered, 3 (or --skipped-exit)\n"
           "every frame skipped, 1 a file failed, 2 refused. --plan prints one command a frame\n"
           "(a chunk of N frames) for a scheduler such as parallel.\n"
           "--tile I/N writes only tile I (0 to N-1, left to right, top row first) of the\n"
           "escape-time picture split into N (a square number up to 4096) equal tiles, with\n"
           "exactly the whole picture's pixels there; --stitch N joins tiles 0 to N-1, named\n"
           "by TILE-PATTERN with one %d, %5d or %05d for the number, into the whole picture.\n"
           "--save-reference writes the reference orbits of the view's centre pixel, at the\n"
           "precision the view is computed with, to FILE and renders nothing (a view double\n"
           "precision resolves has none: exit code 2). --reference FILE (any picture command)\n"
           "uses those orbits instead of computing them: the picture is the same, byte for\n"
           "byte, for that view, and they serve deeper views inside it too. A file damaged,\n"
           "or one that cannot serve the picture, is refused (exit code 1).\n"
           "PICTURE may be a bitmap or a PNG picture. An OUTPUT name ending in .png writes a PNG\n"
           "picture computed in bands and written as it goes: escape-time pictures up to\n"
           "65536x65536, orbit pictures up to 268435456 pixels.\n";
}

ParsedCommandLine parseCommandLine(const std::vector<std::string>& arguments) {
    ParsedCommandLine parsed;
    RenderOptions& options = parsed.options;
    const auto fail = [&](std::string message) {
        parsed.error = std::move(message);
        return parsed;
    };
    std::vector<std::string> positional;
    std::size_t optionCount = 0;
    bool optionsEnded = false;
    OptionsSeen seen;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (optionsEnded || argument.empty() || argument.front() != '-' || argument == "-") {
            positional.push_back(argument);
            continue;
        }
        if (argument == "--") {
            optionsEnded = true;
            continue;
        }
        ++optionCount;
        if (argument == "--find-minibrot") {
            if (options.findMinibrot)
                return fail("--find-minibrot given twice");
            options.findMinibrot = true;
            continue;
        }
        if (argument == "--exact-counts") {
            if (options.exactCounts)
                return fail("--exact-counts given twice");
            options.exactCounts = true;
            continue;
        }
        if (argument == "--frame-count") {
            if (options.frameCount)
                return fail("--frame-count given twice");
            options.frameCount = true;
            continue;
        }
        if (argument == "--help" || argument == "-h") {
            parsed.help = true;
            return parsed;
        }
        if (!isKnownOption(argument))
            return fail("unknown option " + argument);
        if (i + 1 >= arguments.size())
            return fail(argument + " needs a value");
        const std::string& value = arguments[++i];
        if (std::string error = applyOption(argument, value, options, seen); !error.empty())
            return fail(std::move(error));
        recordArgument(argument, value, options, seen);
    }
    const bool frameJob = options.pathFile || seen.zoomTo || seen.zoomWidth ||
                          options.perDoubling || options.ease || options.keyframeEvery ||
                          options.frame || options.frames || options.plan || options.chunk ||
                          options.frameCount || seen.skippedExit;
    if (options.stitchCount) {
        if (std::string error = checkStitch(optionCount, positional); !error.empty())
            return fail(std::move(error));
        options.stitchPattern = positional[0];
        options.output = positional[1];
        return parsed;
    }
    if (std::string error = applyView(seen, options); !error.empty())
        return fail(std::move(error));
    if (std::string error = applyLocation(seen, options); !error.empty())
        return fail(std::move(error));
    if (options.from && (options.type || options.params)) {
        return fail("--from takes the type and the parameters from the picture");
    }
    if (frameJob) {
        if (options.tile)
            return fail("--tile renders a tile of one picture, not frames of a path");
        if (std::string error = checkFrameJob(seen, options, positional); !error.empty())
            return fail(std::move(error));
        return parsed;
    }
    if (options.exactCounts && (options.saveReference || options.findMinibrot))
        return fail("--exact-counts goes with a picture, not --save-reference or --find-minibrot");
    if (options.saveReference) {
        if (options.findMinibrot || options.reference)
            return fail("--save-reference goes with neither --find-minibrot nor --reference");
        if (!positional.empty())
            return fail("--save-reference writes no OUTPUT picture");
        if (options.type && catalogue::isOrbitType(*options.type))
            return fail("--save-reference applies to escape-time types only");
        if (std::string error = checkParams(options); !error.empty())
            return fail(std::move(error));
        return parsed;
    }
    if (options.reference && options.findMinibrot)
        return fail("--reference goes with a picture, not --find-minibrot");
    if (options.findMinibrot) {
        if (!positional.empty())
            return fail("--find-minibrot writes no OUTPUT file");
        if (options.type && catalogue::isOrbitType(*options.type))
            return fail("--find-minibrot applies to the Mandelbrot type only");
        if (options.autoIterations)
            return fail("--find-minibrot takes an iteration limit, not auto");
        if (std::string error = checkParams(options); !error.empty())
            return fail(std::move(error));
        return parsed;
    }
    if (positional.size() != 1)
        return fail("expected exactly one OUTPUT file");
    options.output = positional.front();
    if (std::string error = checkOutputExtension(options.output); !error.empty())
        return fail(std::move(error));
    if (options.supersample.value_or(1) > 1 && !app::hasPngExtension(options.output))
        return fail("--supersample writes a .png OUTPUT");
    if (options.tile && !app::hasPngExtension(options.output))
        return fail("--tile writes a .png OUTPUT");
    if (options.tile && options.type && catalogue::isOrbitType(*options.type))
        return fail("--tile applies to escape-time types only");
    if (options.exactCounts && options.type && catalogue::isOrbitType(*options.type))
        return fail("--exact-counts applies to escape-time types only");
    if (std::string error = checkParams(options); !error.empty())
        return fail(std::move(error));
    if (seen.size) {
        if (std::string error = checkOutputSize(options); !error.empty())
            return fail(std::move(error));
    }
    return parsed;
}

}  // namespace render
