#include "app/zoom_path.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <map>
#include <vector>

#include "app/about_dialog.h"
#include "app/key_value_text.h"
#include "app/location.h"
#include "app/picture_export.h"
#include "app/supersampling.h"
#include "catalogue/factory.h"
#include "catalogue/fractal_types.h"
#include "complex/escape_colouring.h"
#include "platform/c_format.h"

namespace app {

namespace {

// Bits beyond the deepest view's own that the frames are computed with, so that the
// rounding of the fixed-point arithmetic stays far below a pixel.
constexpr long kGuardBits = 64;

std::string canonicalKey(std::string_view key) {
    const std::string name = asciiLowered(key);
    if (name == "center")
        return "centre";
    if (name == "start-center")
        return "start-centre";
    if (name == "coloring")
        return "colouring";
    return name;
}

constexpr const char* kKnownKeys[] = {"type",   "parameters", "start-centre", "start-width",
                                      "centre", "width",      "per-doubling", "ease",
                                      "size",   "iterations", "colouring",    "density",
                                      "offset", "transfer",   "supersample",  "keyframe-every"};

bool isKnownKey(const std::string& key) {
    return std::find(std::begin(kKnownKeys), std::end(kKnownKeys), key) != std::end(kKnownKeys);
}

using Fields = std::map<std::string, std::string_view>;

std::string readFields(std::string_view text, Fields& fields) {
    for (const KeyValueLine& line : keyValueLines(text)) {
        const std::string key = canonicalKey(line.key);
        if (!isKnownKey(key)) {
            return "The path's line " + std::to_string(line.number) + " begins with \"" +
                   std::string(line.key) + "\", which is no key of a path.";
        }
        if (fields.contains(key))
            return "The path gives its " + key + " twice.";
        fields[key] = line.value;
    }
    return {};
}

// A whole number from least to most; the message names the key and the range.
std::string readWhole(std::string_view text, const char* key, long long least, long long most,
                      long long& value) {
    const std::optional<long long> n = parseWholeNumber(text);
    if (!n || *n < least || *n > most) {
        return std::string("The path's ") + key + " is not a whole number from " +
               std::to_string(least) + " to " + std::to_string(most) + ".";
    }
    value = *n;
    return {};
}

std::string readInt(std::string_view text, const char* key, long long least, long long most,
                    int& value) {
    long long n = 0;
    std::string problem = readWhole(text, key, least, most, n);
    if (problem.empty())
        value = static_cast<int>(n);
    return problem;
}

// A view given as a centre and a width, checked as a location of the type is.
std::string readView(engine::FractalType type, std::string_view centre, std::string_view width,
                     const char* which, view::CentreAndWidth& value) {
    const std::string text = "type " + std::to_string(type) + "\ncentre " + std::string(centre) +
                             "\nwidth " + std::string(width) + "\n";
    LocationResult location = parseLocation(text);
    if (!location.value)
        return std::string("The path's ") + which + " cannot be used: " + location.error;
    value = std::move(location.value->view);
    return {};
}

std::string readSize(std::string_view text, ZoomPath& path) {
    const std::size_t x = text.find_first_of("xX");
    const std::optional<long long> w = parseWholeNumber(text.substr(0, x));
    const std::optional<long long> h =
        x == std::string_view::npos ? std::nullopt : parseWholeNumber(text.substr(x + 1));
    if (!w || !h || *w < 1 || *h < 1 || *w > kMaxExportSide || *h > kMaxExportSide) {
        return "The path's size is not WxH with each side from 1 to " +
               std::to_string(kMaxExportSide) + ".";
    }
    path.width = static_cast<int>(*w);
    path.height = static_cast<int>(*h);
    return {};
}

std::string readIterations(std::string_view text, ZoomPath& path) {
    if (text == "auto") {
        path.autoIterations = true;
        return {};
    }
    int n = 0;
    if (!readInt(text, "iterations", 1, platform::kHighestInt, n).empty())
        return "The path's iterations are not a whole number from 1 to " +
               std::to_string(platform::kHighestInt) + ", nor auto.";
    path.iterations = n;
    return {};
}

std::string readColouring(std::string_view text, ZoomPath& path) {
    if (text == "bands") {
        path.colouring = complex::kBands;
    } else if (text == "smooth") {
        path.colouring = complex::kSmooth;
    } else if (text != "distance") {
        return "The path's colouring is not bands, smooth or distance.";
    }
    path.colorChanges.distance = text == "distance";
    return {};
}

std::string readDensity(std::string_view text, ZoomPath& path) {
    if (text == "auto") {
        path.colorChanges.automaticDensity = true;
        return {};
    }
    const std::optional<double> density = complex::readNumber(text);
    const std::string refusal = density ? complex::densityRefusal(*density) : "not a number";
    if (!refusal.empty())
        return "The path's density cannot be used: " + refusal + ".";
    path.colorChanges.density = density;
    return {};
}

std::string readOffset(std::string_view text, ZoomPath& path) {
    const std::optional<double> offset = complex::readNumber(text);
    const std::string refusal = offset ? complex::offsetRefusal(*offset) : "not a number";
    if (!refusal.empty())
        return "The path's offset cannot be used: " + refusal + ".";
    path.colorChanges.offset = offset;
    return {};
}

std::string readTransfer(std::string_view text, ZoomPath& path) {
    path.colorChanges.transfer = complex::transferFromWord(text);
    if (!path.colorChanges.transfer)
        return "The path's transfer is not linear, sqrt or log.";
    return {};
}

// The keys that follow the type, view and frames: each one read when given.
std::string readSettings(const Fields& fields, ZoomPath& path) {
    using Reader = std::string (*)(std::string_view, ZoomPath&);
    const std::pair<const char*, Reader> readers[] = {
        {"size", readSize},
        {"iterations", readIterations},
        {"colouring", readColouring},
        {"density", readDensity},
        {"offset", readOffset},
        {"transfer", readTransfer},
        {"ease", [](std::string_view text,
                    ZoomPath& p) { return readInt(text, "ease", 0, kMostPathFrames, p.ease); }},
        {"supersample",
         [](std::string_view text, ZoomPath& p) {
             return readInt(text, "supersample", 1, kMostSupersample, p.supersample);
         }},
        {"keyframe-every",
         [](std::string_view text, ZoomPath& p) {
             return readInt(text, "keyframe-every", 0, kMostFramesPerDoubling, p.keyframeEvery);
         }},
    };
    for (const auto& [key, reader] : readers) {
        const auto found = fields.find(key);
        if (found == fields.end())
            continue;
        if (std::string problem = reader(found->second, path); !problem.empty())
            return problem;
    }
    return {};
}

std::string readTypeAndParameters(const Fields& fields, ZoomPath& path) {
    if (const auto type = fields.find("type"); type != fields.end()) {
        const std::optional<long long> id = parseWholeNumber(type->second);
        std::optional<engine::FractalType> read;
        if (id && *id >= 1 && *id <= 1000 &&
            !catalogue::fractalTypeName(static_cast<int>(*id)).empty())
            read = static_cast<engine::FractalType>(*id);
        else if (!id)
            read = catalogue::fractalTypeFromName(type->second);
        if (!read)
            return "The path's type \"" + std::string(type->second) + "\" is no known type.";
        path.type = *read;
    }
    if (const auto parameters = fields.find("parameters"); parameters != fields.end()) {
        std::string classic = classicFields(parameters->second);
        if (static_cast<int>(classic.size()) >= engine::kMaxParameterUnits)
            return "The path's parameter string is longer than a type's can be.";
        if (const std::string damage = parameterStringDamage(path.type, classic); !damage.empty())
            return "The path's parameter string cannot be used: " + damage + ".";
        path.parameters = std::move(classic);
    }
    return {};
}

std::string readViews(const Fields& fields, ZoomPath& path) {
    const auto centre = fields.find("centre");
    const auto width = fields.find("width");
    if (centre == fields.end() || width == fields.end())
        return "The path needs the centre and the width of its end view.";
    if (std::string problem =
            readView(path.type, centre->second, width->second, "end view", path.end);
        !problem.empty())
        return problem;
    const auto startCentre = fields.find("start-centre");
    const auto startWidth = fields.find("start-width");
    if ((startCentre == fields.end()) != (startWidth == fields.end()))
        return "The path's start-centre and start-width go together.";
    if (startCentre != fields.end()) {
        view::CentreAndWidth start;
        std::string problem =
            readView(path.type, startCentre->second, startWidth->second, "start view", start);
        // A zoom straight into a point gives its centre twice, with the digits the end view
        // needs: the start centre may carry as many.
        view::CentreAndWidth precise;
        view::CentreAndWidth scale;
        if (!problem.empty() &&
            readView(path.type, startCentre->second, width->second, "start view", precise)
                .empty() &&
            readView(path.type, "0 0", startWidth->second, "start view", scale).empty()) {
            start = std::move(precise);
            start.width = std::move(scale.width);
            problem.clear();
        }
        if (!problem.empty())
            return problem;
        path.start = std::move(start);
    }
    return {};
}

std::string colouringWord(const ZoomPath& path) {
    if (path.colorChanges.distance.value_or(false))
        return "distance";
    if (path.colouring)
        return *path.colouring == complex::kSmooth ? "smooth" : "bands";
    return {};
}

// Frame k of a path of this many constant-speed steps and ease frames, as twice (ease+1)
// times the share of the way done: whole numbers, so that the frames of a whole doubling
// get exact powers of two.
long long easedProgress(long k, long steps, int ease) {
    const long long e = ease;
    if (k <= steps)
        return 2 * (e + 1) * k;
    const long long i = k - steps;
    return 2 * (e + 1) * steps + 2 * i * e - i * (i - 1);
}

}  // namespace

ZoomPathResult parseZoomPath(std::string_view text) {
    ZoomPathResult result;
    if (text.size() > kLongestLocationText * 2) {
        result.error = "The path is longer than any path can be.";
        return result;
    }
    Fields fields;
    ZoomPath path;
    std::string problem = readFields(text, fields);
    if (problem.empty())
        problem = readTypeAndParameters(fields, path);
    if (problem.empty())
        problem = readViews(fields, path);
    if (problem.empty()) {
        const auto perDoubling = fields.find("per-doubling");
        problem = perDoubling == fields.end()
                      ? "The path needs per-doubling, the frames a halving of the width takes."
                      : readInt(perDoubling->second, "per-doubling", 1, kMostFramesPerDoubling,
                                path.perDoubling);
    }
    if (problem.empty())
        problem = readSettings(fields, path);
    if (problem.empty())
        problem = zoomPathProblem(path);
    if (!problem.empty()) {
        result.error = std::move(problem);
        return result;
    }
    result.value = std::move(path);
    return result;
}

std::string zoomPathProblem(const ZoomPath& path) {
    if (catalogue::isOrbitType(path.type))
        return "A zoom path applies to escape-time types only.";
    if (path.perDoubling < 1 || path.perDoubling > kMostFramesPerDoubling)
        return "The frames a doubling are from 1 to " + std::to_string(kMostFramesPerDoubling) +
               ".";
    if (path.ease < 0 || path.ease > kMostPathFrames)
        return "The ease frames are from 0 to " + std::to_string(kMostPathFrames) + ".";
    if (path.keyframeEvery < 0 || path.keyframeEvery > path.perDoubling)
        return "A keyframe every K frames needs K from 0 to the frames a doubling (" +
               std::to_string(path.perDoubling) + ").";
    if (const auto problem = exportSizeProblem(path.type, path.width, path.height))
        return "The frames cannot be made: " + *problem + ".";
    if (const auto problem =
            supersampleProblem(path.type, path.width, path.height, path.supersample))
        return "The frames cannot be made: " + *problem + ".";
    if (path.colorChanges.distance.value_or(false) && path.type != engine::kMandelbrot &&
        path.type != engine::kJulia)
        return "The distance colouring applies to Mandelbrot and Julia only.";
    return {};
}

std::string canonicalPathText(const ZoomPath& path, const view::DeepView& start) {
    std::string text = "type " + catalogue::fractalTypeName(path.type) + "\n";
    if (path.parameters)
        text += "parameters " + *path.parameters + "\n";
    text += "start-centre " + view::centreXText(start) + " " + view::centreYText(start) + "\n";
    text += "start-width " + view::widthText(start) + "\n";
    const std::optional<view::DeepView> end = view::DeepView::fromCentreAndWidth(
        path.end.x, path.end.y, path.end.width, path.width, path.height);
    if (end) {
        text += "centre " + view::centreXText(*end) + " " + view::centreYText(*end) + "\n";
        text += "width " + view::widthText(*end) + "\n";
    } else {
        text += "centre " + path.end.x.toString() + " " + path.end.y.toString() + "\n";
        text += "width " + path.end.width.toString() + "\n";
    }
    text += "per-doubling " + std::to_string(path.perDoubling) + "\n";
    text += "ease " + std::to_string(path.ease) + "\n";
    text += "size " + std::to_string(path.width) + "x" + std::to_string(path.height) + "\n";
    if (path.autoIterations)
        text += "iterations auto\n";
    else if (path.iterations)
        text += "iterations " + std::to_string(*path.iterations) + "\n";
    if (const std::string word = colouringWord(path); !word.empty())
        text += "colouring " + word + "\n";
    const complex::ColorControlChanges& colors = path.colorChanges;
    if (colors.automaticDensity)
        text += "density auto\n";
    else if (colors.density)
        text += "density " + platform::formatRoundTrip(*colors.density) + "\n";
    if (colors.offset)
        text += "offset " + platform::formatRoundTrip(*colors.offset) + "\n";
    if (colors.transfer)
        text += "transfer " + std::string(complex::transferWord(*colors.transfer)) + "\n";
    text += "supersample " + std::to_string(path.supersample) + "\n";
    text += "keyframe-every " + std::to_string(path.keyframeEvery) + "\n";
    return text;
}

std::string pathChecksum(const std::string& canonicalText) {
    std::uint64_t hash = 0xcbf29ce484222325ull;
    const auto add = [&hash](std::string_view bytes) {
        for (const char c : bytes) {
            hash ^= static_cast<unsigned char>(c);
            hash *= 0x100000001b3ull;
        }
    };
    add(AboutDialog::kVersion);
    add("\n");
    add(canonicalText);
    return platform::cformat("%016llx", static_cast<unsigned long long>(hash));
}

double log2Ratio(const numeric::BigFloat& a, const numeric::BigFloat& b) {
    long ea = 0;
    long eb = 0;
    const double ma = a.mantissa(&ea);
    const double mb = b.mantissa(&eb);
    return static_cast<double>(ea - eb) + std::log2(ma / mb);
}

ZoomFramesResult ZoomFrames::make(const ZoomPath& path, const view::DeepView& start) {
    ZoomFramesResult result;
    const auto fail = [&result](std::string message) {
        result.error = std::move(message);
        return result;
    };
    const std::optional<view::DeepView> end = view::DeepView::fromCentreAndWidth(
        path.end.x, path.end.y, path.end.width, start.width(), start.height());
    if (!end)
        return fail("The end view does not fit a " + std::to_string(start.width()) + "x" +
                    std::to_string(start.height()) + " picture.");
    const numeric::BigFloat& w0 = start.spanX();
    const numeric::BigFloat& w1 = end->spanX();
    // Widths a rounding apart are one width: a path zooms, it does not pan.
    if (std::fabs(log2Ratio(w1, w0)) < 1e-9)
        return fail("The end view is as wide as the start view: a path zooms in or out.");
    // Outside the start view the end centre would leave the first frames; inside it
    // lies in every frame, the zoom out included.
    numeric::BigFloat dx = end->centreX() - start.centreX();
    numeric::BigFloat dy = end->centreY() - start.centreY();
    if (dx.sign() < 0)
        dx = -dx;
    if (dy.sign() < 0)
        dy = -dy;
    if (compare(dx * 2.0, start.spanX()) > 0 || compare(dy * 2.0, start.spanY()) > 0)
        return fail("The end view's centre lies outside the start view.");
    const double doublings = std::fabs(log2Ratio(w1, w0));
    const double steps = std::round(doublings * path.perDoubling);
    if (!(steps + path.ease < static_cast<double>(kMostPathFrames)))
        return fail("The path would take more than " + std::to_string(kMostPathFrames) +
                    " frames.");

    ZoomFrames frames(start, *end);
    frames.ease_ = path.ease;
    frames.steps_ = static_cast<long>(steps);
    if (frames.steps_ + frames.ease_ < 1)
        frames.steps_ = 1;
    frames.count_ = frames.steps_ + frames.ease_ + 1;
    frames.log2Ratio_ = log2Ratio(w1, w0);
    frames.precision_ = std::max(start.precision(), end->precision()) + kGuardBits;
    const long p = frames.precision_;
    numeric::BigFloat one(p, 1.0);
    numeric::BigFloat w0p(p, 0.0);
    w0p += w0;
    frames.ratio_ = numeric::BigFloat(p, 0.0);
    frames.ratio_ += w1;
    frames.ratio_ /= w0p;
    // c0 - p = (c0 - c1) / (1 - r), the start centre seen from the fixed point.
    const numeric::BigFloat denominator = one - frames.ratio_;
    frames.offsetX_ = (numeric::BigFloat(p, 0.0) + start.centreX() - end->centreX()) / denominator;
    frames.offsetY_ = (numeric::BigFloat(p, 0.0) + start.centreY() - end->centreY()) / denominator;
    result.value = std::move(frames);
    return result;
}

double ZoomFrames::widthExponent(long k) const {
    const long long progress = easedProgress(k, steps_, ease_);
    const long long total = easedProgress(count_ - 1, steps_, ease_);
    // Exact for a path of whole doublings without ease: the product is a whole number
    // a long double holds, and the quotient is exact when it is one.
    const long double exponent = static_cast<long double>(log2Ratio_) *
                                 static_cast<long double>(progress) /
                                 static_cast<long double>(total);
    return static_cast<double>(exponent);
}

std::optional<view::DeepView> ZoomFrames::frame(long k) const {
    if (k <= 0)
        return start_;
    if (k >= count_ - 1)
        return end_;
    const double exponent = widthExponent(k);
    const double whole = std::floor(exponent);
    // |exponent| is at most the doublings between the widths: a few hundred thousand.
    numeric::BigFloat share(precision_, std::exp2(exponent - whole));
    share.scaleByPowerOfTwo(static_cast<long>(whole));
    numeric::BigFloat width(precision_, 0.0);
    width += start_.spanX();
    width *= share;
    // c(k) = p + (c0 - p) * s = c1 + (c0 - p) * (s - r): the deep frames' centres come
    // from the end centre by a small step, at the precision the end view needs.
    const numeric::BigFloat step = share - ratio_;
    numeric::BigFloat x(precision_, 0.0);
    x += end_.centreX();
    x += offsetX_ * step;
    numeric::BigFloat y(precision_, 0.0);
    y += end_.centreY();
    y += offsetY_ * step;
    return view::DeepView::fromCentreAndWidth(x, y, width, start_.width(), start_.height());
}

}  // namespace app
