#pragma once

#include <optional>
#include <string>

#include "engine/fractal.h"

namespace app {

struct ViewForm {
    std::string xmin;
    std::string xmax;
    std::string ymin;
    std::string ymax;
};

// A view deeper than double resolves, as decimal text of any length.
struct DeepViewForm {
    std::string real;
    std::string imaginary;
    std::string width;
};

// The view rectangle of the plane, edited as four numbers; a view deeper than double
// resolves is edited as its centre and width instead, since its edges differ in
// digits that no double holds. Types that compute deep views offer the centre and
// width beside the edges as well.
class ViewDialog {
  public:
    static constexpr const char* kCaption = "View";
    static constexpr const char* kXminLabel = "X min.:";
    static constexpr const char* kXmaxLabel = "X max.:";
    static constexpr const char* kYminLabel = "Y min.:";
    static constexpr const char* kYmaxLabel = "Y max.:";
    static constexpr const char* kRealLabel = "Centre real:";
    static constexpr const char* kImaginaryLabel = "Centre imag.:";
    static constexpr const char* kWidthLabel = "Width:";

    // Ok's result when the rectangle lies beyond the depth double precision resolves:
    // nothing changes, and the main window tells the user.
    static constexpr int kTooDeep = 4;
    // Ok's result when the centre or width text is refused: nothing changes, the
    // dialog shows the reason and stays open.
    static constexpr int kRefused = 5;

    // The edges with every digit they need, so that Ok on untouched fields gives back
    // the same rectangle bit for bit.
    static ViewForm open(const engine::Fractal& fractal);
    // Always a new run on the rectangle of the fields, the old view kept in the zoom
    // history, even when nothing was changed. A field that does not parse keeps its
    // edge; a rectangle without a usable extent leaves the view as it was.
    static int ok(const ViewForm& form, engine::Fractal& fractal);
    static int useDefaults(engine::Fractal& fractal);

    // The centre and width with the digits the view's depth needs when the view is
    // deeper than double resolves; nullopt when the four edges hold it.
    static std::optional<DeepViewForm> openDeep(const engine::Fractal& fractal);
    // A new run on the view of the texts, fitted to the picture's proportions, the old
    // view kept in the zoom history. Text that is refused changes nothing: kRefused,
    // with the reason in refusal.
    static int okDeep(const DeepViewForm& form, engine::Fractal& fractal, std::string& refusal);

    // For a type that computes deep views, at a view double holds: its centre and
    // width, offered beside the edges so that a location of any depth can be typed
    // without zooming there first. nullopt for other types and at a deep view.
    static std::optional<DeepViewForm> openCentre(const engine::Fractal& fractal);
    // Ok on the edges and the centre together: the centre and width when any of them
    // differs from what was shown (okDeep), the edges otherwise (ok).
    static int okEdgesOrCentre(const ViewForm& edges, const DeepViewForm& centre,
                               const DeepViewForm& shownCentre, engine::Fractal& fractal,
                               std::string& refusal);
};

}  // namespace app
