#pragma once

#include <string>

#include "engine/fractal.h"

namespace app {

struct ViewForm {
    std::string xmin;
    std::string xmax;
    std::string ymin;
    std::string ymax;
};

// The view rectangle of the plane, edited as four numbers.
class ViewDialog {
  public:
    static constexpr const char* kCaption = "View";
    static constexpr const char* kXminLabel = "X min.:";
    static constexpr const char* kXmaxLabel = "X max.:";
    static constexpr const char* kYminLabel = "Y min.:";
    static constexpr const char* kYmaxLabel = "Y max.:";

    // Ok's result when the rectangle lies beyond the depth double precision resolves:
    // nothing changes, and the main window tells the user.
    static constexpr int kTooDeep = 4;

    // The edges with every digit they need, so that Ok on untouched fields gives back
    // the same rectangle bit for bit.
    static ViewForm open(const engine::Fractal& fractal);
    // Always a new run on the rectangle of the fields, the old view kept in the zoom
    // history, even when nothing was changed. A field that does not parse keeps its
    // edge; a rectangle without a usable extent leaves the view as it was.
    static int ok(const ViewForm& form, engine::Fractal& fractal);
    static int useDefaults(engine::Fractal& fractal);
};

}  // namespace app
