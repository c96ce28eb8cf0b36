// The frame jobs of a zoom path: one frame, a range of frames, the plan of commands
// that render them all, and their count.
#include "frame_commands.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "app/frame_job.h"
#include "app/keyframe_job.h"
#include "app/location.h"
#include "app/zoom_path.h"
#include "platform/regular_file.h"
#include "reference_command.h"

namespace render {

namespace {

struct PathRead {
    std::optional<app::ZoomPath> path;
    std::string error;
};

PathRead readPathFile(const std::string& name) {
    PathRead read;
    int errorNumber = 0;
    const std::optional<platform::RegularFile> file =
        platform::RegularFile::open(name, &errorNumber);
    if (!file) {
        read.error = name + ": " + platform::RegularFile::failureReason(errorNumber);
        return read;
    }
    bool truncated = false;
    const std::optional<std::string> text =
        file->readAll(app::kLongestLocationText * 2 + 1, truncated);
    if (!text || truncated) {
        read.error = name + ": " + (text ? "longer than any path can be" : "cannot be read");
        return read;
    }
    app::ZoomPathResult parsed = app::parseZoomPath(*text);
    if (!parsed.value)
        read.error = name + ": " + parsed.error;
    read.path = std::move(parsed.value);
    return read;
}

// The path of --zoom-to: the picture options give its type and start.
PathRead commandLinePath(const RenderOptions& options) {
    app::ZoomPath path;
    path.type = options.type.value_or(engine::kMandelbrot);
    if (options.params)
        path.parameters = app::classicFields(*options.params);
    path.start = options.view;
    path.end = *options.zoomTo;
    path.perDoubling = options.perDoubling.value_or(0);
    path.ease = options.ease.value_or(0);
    path.keyframeEvery = options.keyframeEvery.value_or(0);
    if (options.width && options.height) {
        path.width = *options.width;
        path.height = *options.height;
    }
    path.iterations = options.iterations;
    path.autoIterations = options.autoIterations;
    path.colouring = options.colouring;
    path.colorChanges = options.colorChanges;
    path.supersample = options.supersample.value_or(1);
    PathRead read;
    if (std::string problem = app::zoomPathProblem(path); !problem.empty())
        read.error = problem;
    else
        read.path = std::move(path);
    return read;
}

std::string shellQuoted(const std::string& argument) {
    std::string quoted = "'";
    for (const char c : argument)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

std::string programPath() {
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string("corvane-render") : self.string();
}

// One command line a frame or a chunk of frames, each runnable as it stands.
int printPlan(const RenderOptions& options, const app::PathPlan& plan) {
    const app::OutputPatternResult pattern = app::OutputPattern::parse(*options.plan);
    if (!pattern.value) {
        std::fprintf(stderr, "corvane-render: %s\n", pattern.error.c_str());
        return kFramesRefused;
    }
    // A job of a path with keyframes makes a whole run of frames from one keyframe.
    const long chunk = options.chunk.value_or(std::max(1, plan.path.keyframeEvery));
    if (!pattern.value->numbersFrames() && plan.frames.count() > 1) {
        std::fprintf(stderr, "corvane-render: the plan's pattern %s holds no frame number\n",
                     options.plan->c_str());
        return kFramesRefused;
    }
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(*options.plan, error);
    std::string prefix = shellQuoted(programPath());
    for (const std::string& argument : options.pathArguments)
        prefix.append(" ").append(shellQuoted(argument));
    const std::string suffix =
        " '--skipped-exit' '0' " + shellQuoted(error ? *options.plan : absolute.string());
    for (long first = 0; first < plan.frames.count(); first += chunk) {
        const long last = std::min(first + chunk, plan.frames.count()) - 1;
        const std::string frames =
            chunk == 1 ? " '--frame' '" + std::to_string(first) + "'"
                       : " '--frames' '" + std::to_string(first) + "-" + std::to_string(last) + "'";
        std::printf("%s%s%s\n", prefix.c_str(), frames.c_str(), suffix.c_str());
    }
    return std::fflush(stdout) == 0 ? kFramesDone : kFrameFailed;
}

// The path's reference orbits for its deep frames: read from --reference (refused when
// they are another path's), or computed once for every frame of this job.
class PathReference {
  public:
    PathReference(const RenderOptions& options, const app::PathPlan& plan)
        : options_(options), plan_(plan) {}

    // The reference the picture of request is computed with (nullptr for a picture double
    // precision resolves, or where the path has none); false with problem when it cannot
    // be had.
    bool forPicture(const std::optional<app::ExportRequest>& request,
                    std::shared_ptr<const complex::SharedReference>& reference,
                    std::string& problem) {
        // Looked for once, at the first deep picture; from then on it goes to every
        // picture (one double precision resolves ignores it), so no picture needs setting
        // up to find out.
        if (!looked_) {
            if (!app::runsDeep(request))
                return true;
            looked_ = true;
            if (!obtain(problem))
                return false;
        }
        reference = reference_;
        return true;
    }

  private:
    bool obtain(std::string& problem) {
        std::string why;
        const std::optional<complex::ReferenceRequest> request =
            app::pathReferenceRequest(plan_, why);
        if (!request) {
            // Each frame computes its own, as a single picture does.
            if (options_.reference)
                problem = "--reference cannot serve this path: " + why;
            return !options_.reference;
        }
        if (options_.reference) {
            if (problem = render::readReference(*options_.reference, reference_); !problem.empty())
                return false;
            if (!app::referenceBelongsTo(*reference_, *request, why)) {
                problem = *options_.reference + ": " + why;
                return false;
            }
            return true;
        }
        const complex::ComputedReference computed = complex::computeSharedReference(*request);
        if (computed.outcome != complex::OrbitOutcome::kDone) {
            problem = "the path's reference orbits need more memory than can be had";
            return false;
        }
        reference_ = computed.reference;
        return true;
    }

    const RenderOptions& options_;
    const app::PathPlan& plan_;
    std::shared_ptr<const complex::SharedReference> reference_;
    bool looked_ = false;
};

// --save-reference with a path: the orbits every deep frame is computed with.
int savePathReference(const RenderOptions& options, const app::PathPlan& plan) {
    std::string why;
    const std::optional<complex::ReferenceRequest> request = app::pathReferenceRequest(plan, why);
    if (!request) {
        std::fprintf(stderr, "corvane-render: the path has no shared reference: %s\n", why.c_str());
        return kFramesRefused;
    }
    if (const std::string problem = render::writeReference(*request, *options.saveReference);
        !problem.empty()) {
        std::fprintf(stderr, "corvane-render: %s\n", problem.c_str());
        return kFrameFailed;
    }
    return kFramesDone;
}

// Makes frames one after another: each rendered itself, or, on a path with keyframes,
// scaled from its run's keyframe, which is computed once for the frames of its run.
class FrameMaker {
  public:
    FrameMaker(const RenderOptions& options, const app::PathPlan& plan)
        : plan_(plan), reference_(options, plan) {
        settings_.threads = options.threads;
    }

    app::ExportResult make(long frame, const std::string& name) {
        const bool keyframes = plan_.path.keyframeEvery > 1;
        if (keyframes && keyframe_.frame != app::keyframeOf(plan_, frame)) {
            const long first = app::keyframeOf(plan_, frame);
            if (app::ExportResult problem;
                !prepare(app::keyframeRequest(plan_, first, settings_), problem))
                return problem;
            const app::ExportResult made = app::renderKeyframe(plan_, first, settings_, keyframe_);
            if (!made.written())
                return made;
        }
        if (keyframes) {
            app::ExportResult scaled =
                app::writeFrameFromKeyframe(plan_, frame, keyframe_, settings_, name);
            // A frame reaching beyond its keyframe is rendered itself.
            if (scaled.written() || scaled.reason != app::kFrameBeyondKeyframe)
                return scaled;
        }
        if (app::ExportResult problem;
            !prepare(app::frameRequest(plan_, frame, settings_), problem))
            return problem;
        return app::renderFrame(plan_, frame, settings_, name);
    }

  private:
    // The path's reference for a picture that needs it; false with the problem.
    bool prepare(const std::optional<app::ExportRequest>& request, app::ExportResult& problem) {
        std::string why;
        if (reference_.forPicture(request, settings_.reference, why))
            return true;
        problem.reason = why;
        return false;
    }

    const app::PathPlan& plan_;
    PathReference reference_;
    app::FrameSettings settings_;
    app::KeyframePicture keyframe_;
};

// Renders the frames first..last that are not finished yet.
int renderFrames(const RenderOptions& options, const app::PathPlan& plan, long first, long last) {
    const app::OutputPatternResult pattern = app::OutputPattern::parse(options.output);
    std::string refusal = pattern.error;
    if (refusal.empty() && !pattern.value->numbersFrames() && first != last)
        refusal = "the output name " + options.output + " holds no frame number (%05d) for " +
                  std::to_string(last - first + 1) + " frames";
    if (refusal.empty() && last >= plan.frames.count())
        refusal = "frame " + std::to_string(last) + " is beyond the path's " +
                  std::to_string(plan.frames.count()) + " frames (0 to " +
                  std::to_string(plan.frames.count() - 1) + ")";
    if (!refusal.empty()) {
        std::fprintf(stderr, "corvane-render: %s\n", refusal.c_str());
        return kFramesRefused;
    }
    bool rendered = false;
    FrameMaker maker(options, plan);
    for (long k = first; k <= last; ++k) {
        const std::string name = pattern.value->nameOf(k);
        if (app::frameFinished(plan, k, name)) {
            std::printf("frame=%ld status=skipped milliseconds=0\n", k);
            continue;
        }
        const auto start = std::chrono::steady_clock::now();
        const app::ExportResult result = maker.make(k, name);
        if (!result.written()) {
            std::fprintf(stderr, "corvane-render: %s: cannot write frame %ld: %s\n", name.c_str(),
                         k, result.reason.c_str());
            return result.limitRefused ? kFramesRefused : kFrameFailed;
        }
        const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now() - start);
        std::printf("frame=%ld status=done milliseconds=%lld\n", k,
                    static_cast<long long>(elapsed.count()));
        std::fflush(stdout);
        rendered = true;
    }
    return rendered ? kFramesDone : options.skippedExit;
}

}  // namespace

int runFrameCommand(const RenderOptions& options) {
    const PathRead read =
        options.pathFile ? readPathFile(*options.pathFile) : commandLinePath(options);
    if (!read.path) {
        std::fprintf(stderr, "corvane-render: %s\n", read.error.c_str());
        return kFramesRefused;
    }
    const app::PathPlanResult plan = app::planPath(*read.path);
    if (!plan.value) {
        std::fprintf(stderr, "corvane-render: %s\n", plan.error.c_str());
        return kFramesRefused;
    }
    if (options.frameCount) {
        std::printf("%ld\n", plan.value->frames.count());
        return std::fflush(stdout) == 0 ? kFramesDone : kFrameFailed;
    }
    if (options.plan)
        return printPlan(options, *plan.value);
    if (options.saveReference)
        return savePathReference(options, *plan.value);
    const long first = options.frame ? *options.frame : options.frames->first;
    const long last = options.frame ? *options.frame : options.frames->second;
    return renderFrames(options, *plan.value, first, last);
}

}  // namespace render
