#pragma once

#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "app/numbered_name.h"
#include "app/picture_export.h"
#include "app/zoom_path.h"
#include "complex/perturbation.h"
#include "view/deep_view.h"

namespace app {

// The keyword of the text chunk a frame file records "<checksum> <frame>" in.
inline constexpr const char* kPngFrameKeyword = "Corvane frame";

// The name of a frame's file: the text with at most one printf integer conversion
// ("%d", "%5d", "%05d") where the frame number goes, and "%%" for a '%'.
struct OutputPatternResult;

class OutputPattern {
  public:
    // Refuses any other '%', a second conversion, a field wider than 32 and a name
    // that does not end in ".png".
    static OutputPatternResult parse(const std::string& text);

    bool numbersFrames() const { return name_.numbered(); }
    std::string nameOf(long frame) const { return name_.at(frame); }

  private:
    explicit OutputPattern(NumberedName name) : name_(std::move(name)) {}
    NumberedName name_;
};

struct OutputPatternResult {
    std::optional<OutputPattern> value;
    std::string error;
};

// A path with its start view found and its frames laid out: what every frame job of
// one path shares.
struct PathPlan {
    ZoomPath path;
    ZoomFrames frames;
    std::string canonicalText;
    std::string checksum;
};

struct PathPlanResult {
    std::optional<PathPlan> value;
    std::string error;
};

// The view the type (with the path's parameters) shows at the path's size: the start
// of a path that gives none. nullopt when the type cannot be set up.
std::optional<view::DeepView> typeStartView(const ZoomPath& path);

PathPlanResult planPath(const ZoomPath& path);

// What frame k's file records.
std::string frameText(const PathPlan& plan, long frame);

// Whether the file at name is frame k of the plan, finished: a regular file holding a
// PNG picture of the path's size that decodes to its last row and records the frame's
// text. Anything else (nothing, another path's frame, a cut-off file) is made again.
bool frameFinished(const PathPlan& plan, long frame, const std::string& name);

// What a frame is rendered with beyond the path: the threads that compute it, and the
// path's reference orbits (pathReferenceRequest), which its deep frames are computed with.
struct FrameSettings {
    std::optional<int> threads;
    std::shared_ptr<const complex::SharedReference> reference;
};

// The reference orbits every deep frame of the plan is computed with, whether they are
// read from a file or computed by the job: those of its deepest frame (the start or the
// end view), whose centre lies in every frame, so that a frame's pixels never depend on
// which job rendered it or what it rendered before. Each frame builds its own tables.
// nullopt, with why, for a path with the automatic limit (each frame's limit is its
// own, and each frame computes its own reference) or one whose frames are all computed
// in double precision.
std::optional<complex::ReferenceRequest> pathReferenceRequest(const PathPlan& plan,
                                                              std::string& why);

// Whether reference (read from a file) holds the orbits pathReferenceRequest asks for;
// why not otherwise.
bool referenceBelongsTo(const complex::SharedReference& reference,
                        const complex::ReferenceRequest& request, std::string& why);

// Whether the picture of request is computed by perturbation (and takes the path's
// reference); false for none.
bool runsDeep(const std::optional<ExportRequest>& request);

// Frame k as an export request (the path's type, parameters, colouring and frame k's
// view, with the frame's text added to the picture's texts); nullopt when the frame's
// view cannot be made.
std::optional<ExportRequest> frameRequest(const PathPlan& plan, long frame,
                                          const FrameSettings& settings);

// Renders frame k into name (a temporary file renamed into place).
ExportResult renderFrame(const PathPlan& plan, long frame, const FrameSettings& settings,
                         const std::string& name);

}  // namespace app
