#include "app/frame_job.h"
#include "app/keyframe_job.h"

#include <algorithm>

#include "catalogue/factory.h"
#include "complex/perturbation.h"
#include "engine/settings_key.h"
#include "platform/headless_window.h"
#include "platform/png_reader.h"
#include "platform/regular_file.h"
#include "platform/settings_store.h"

namespace app {

namespace {

class SilentSound : public platform::Sound {
  public:
    void exclamation() override {}
};

}  // namespace

OutputPatternResult OutputPattern::parse(const std::string& text) {
    OutputPatternResult result;
    std::string why;
    std::optional<NumberedName> name = NumberedName::parseAtMostOne(text, why);
    if (!name) {
        result.error = "the output name " + text +
                       " holds a '%' that is no %d, %5d or %05d conversion, or more than one " +
                       "(write %% for '%')";
        return result;
    }
    if (!hasPngExtension(name->at(0))) {
        result.error = "frames are written as .png pictures: the output name " + text +
                       " does not end in .png";
        return result;
    }
    result.value = OutputPattern(std::move(*name));
    return result;
}

std::optional<view::DeepView> typeStartView(const ZoomPath& path) {
    // The same set-up as an export's: the parameters (or the type's defaults) read on
    // a view of the picture's size.
    platform::HeadlessWindow window(1, 1);
    platform::MemorySettingsStore store;
    SilentSound sound;
    if (path.parameters)
        engine::SettingsKey(store).writeString(catalogue::fractalTypeName(path.type),
                                               *path.parameters);
    const engine::FractalPtr fractal =
        catalogue::createFractal(path.type, platform::Services{window, store, sound});
    if (!fractal)
        return std::nullopt;
    view::ViewWindow start = fractal->view();
    start.setScreenSize(path.width, path.height);
    start.centreOnOrigin();
    fractal->setView(start);
    {
        engine::TakingOverScope hold(*fractal);
        if (!fractal->loadParameters()) {
            fractal->setDefaultParameters();
            fractal->setDefaultView();
        }
    }
    const view::DeepView shown = fractal->preciseView();
    if (shown.width() != path.width || shown.height() != path.height)
        return std::nullopt;
    return shown;
}

PathPlanResult planPath(const ZoomPath& path) {
    PathPlanResult result;
    if (std::string problem = zoomPathProblem(path); !problem.empty()) {
        result.error = std::move(problem);
        return result;
    }
    std::optional<view::DeepView> start;
    if (path.start) {
        start = view::DeepView::fromCentreAndWidth(path.start->x, path.start->y, path.start->width,
                                                   path.width, path.height);
    } else {
        start = typeStartView(path);
    }
    if (!start) {
        result.error = "The path's start view does not fit a " + std::to_string(path.width) + "x" +
                       std::to_string(path.height) + " picture.";
        return result;
    }
    ZoomFramesResult frames = ZoomFrames::make(path, *start);
    if (!frames.value) {
        result.error = std::move(frames.error);
        return result;
    }
    const std::string canonical = canonicalPathText(path, *start);
    result.value = PathPlan{path, std::move(*frames.value), canonical, pathChecksum(canonical)};
    return result;
}

std::string frameText(const PathPlan& plan, long frame) {
    return plan.checksum + " " + std::to_string(frame);
}

bool frameFinished(const PathPlan& plan, long frame, const std::string& name) {
    const std::optional<platform::RegularFile> file = platform::RegularFile::open(name);
    if (!file)
        return false;
    // Every stored row is inflated whatever size the picture is read at: a file cut
    // off before its last row is refused.
    const platform::PngRead read = platform::readPngScaled(*file, 1, 1);
    if (!read.ok() || read.fileWidth != static_cast<std::uint32_t>(plan.path.width) ||
        read.fileHeight != static_cast<std::uint32_t>(plan.path.height))
        return false;
    const std::string expected = frameText(plan, frame);
    return std::any_of(read.texts.begin(), read.texts.end(), [&](const platform::PngText& text) {
        return text.keyword == kPngFrameKeyword && text.text == expected;
    });
}

std::optional<ExportRequest> frameRequest(const PathPlan& plan, long frame,
                                          const FrameSettings& settings) {
    const std::optional<view::DeepView> view = plan.frames.frame(frame);
    if (!view)
        return std::nullopt;
    const ZoomPath& path = plan.path;
    ExportRequest request;
    request.type = path.type;
    request.parameters = path.parameters.value_or(std::string());
    request.width = path.width;
    request.height = path.height;
    request.supersample = path.supersample;
    request.colouring = path.colouring;
    request.colorChanges = path.colorChanges;
    request.view = *view;
    request.threads = settings.threads;
    request.iterations = path.iterations;
    request.autoIterations = path.autoIterations;
    request.reference = settings.reference;
    request.extraTexts.push_back({kPngFrameKeyword, frameText(plan, frame)});
    return request;
}

std::optional<complex::ReferenceRequest> pathReferenceRequest(const PathPlan& plan,
                                                              std::string& why) {
    if (plan.path.autoIterations) {
        why = "the frames of a path with the automatic limit each compute their own reference";
        return std::nullopt;
    }
    const long last = plan.frames.count() - 1;
    const std::optional<view::DeepView> first = plan.frames.frame(0);
    const std::optional<view::DeepView> end = plan.frames.frame(last);
    if (!first || !end) {
        why = "no view of the picture's size can be made there";
        return std::nullopt;
    }
    // Every frame has the path's size: the narrower spacing is the deeper view. With
    // keyframes, the deepest picture computed is that frame's keyframe.
    const long deepest = end->spacingX() < first->spacingX() ? last : 0;
    const std::optional<ExportRequest> request =
        plan.path.keyframeEvery > 1
            ? keyframeRequest(plan, keyframeOf(plan, deepest), FrameSettings{})
            : frameRequest(plan, deepest, FrameSettings{});
    if (!request) {
        why = "no view of the picture's size can be made there";
        return std::nullopt;
    }
    return referenceRequestOf(*request, why);
}

bool referenceBelongsTo(const complex::SharedReference& reference,
                        const complex::ReferenceRequest& request, std::string& why) {
    const complex::ReferenceOrbits& orbits = *reference.orbits;
    const complex::EscapeFormula& a = orbits.formula;
    const complex::EscapeFormula& b = request.formula;
    if (a.type != b.type || a.paramReal != b.paramReal || a.paramImag != b.paramImag) {
        why = "the reference belongs to another type or other parameters";
        return false;
    }
    if (a.maxIterations != b.maxIterations || orbits.precision != request.precision) {
        why = "the reference was computed with another limit or precision than the path's";
        return false;
    }
    if (!(orbits.x == request.x) || !(orbits.y == request.y)) {
        why = "the reference belongs to another location";
        return false;
    }
    return true;
}

bool runsDeep(const std::optional<ExportRequest>& request) {
    std::string why;
    return request && referenceRequestOf(*request, why).has_value();
}

ExportResult renderFrame(const PathPlan& plan, long frame, const FrameSettings& settings,
                         const std::string& name) {
    const std::optional<ExportRequest> request = frameRequest(plan, frame, settings);
    if (!request)
        return ExportResult::failure("no view of the picture's size can be made there");
    ExportControl control;
    return exportPicture(*request, name, platform::StreamTargets::Refuse, control);
}

}  // namespace app
