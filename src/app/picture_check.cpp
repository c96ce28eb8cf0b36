#include "app/picture_check.h"

#include <cmath>

#include "catalogue/fractal_types.h"
#include "engine/fractal.h"
#include "platform/c_format.h"

namespace app {

namespace {

bool isKnownType(engine::FractalType type) {
    return catalogue::findFractalType(type) != nullptr;
}

// The first four fields of a parameter string are the view; without them the new
// object would have nothing to go on from.
bool hasView(const std::string& params) {
    double xmin = 0;
    double ymin = 0;
    double xmax = 0;
    double ymax = 0;
    return platform::cscan(params, "%lf,%lf,%lf,%lf", &xmin, &ymin, &xmax, &ymax) == 4 &&
           std::isfinite(xmin) && std::isfinite(ymin) && std::isfinite(xmax) && std::isfinite(ymax);
}

bool carriesTypeAndView(std::optional<engine::FractalType> type, const std::string& params) {
    return type && isKnownType(*type) && hasView(params);
}

}  // namespace

std::optional<std::string> pictureFileProblem(const persist::PictureFile& file) {
    if (!file.image.ok())
        return file.image.error;
    if (!carriesTypeAndView(file.type, file.params))
        return std::string(file.format == persist::PictureFormat::Png ? "the PNG picture"
                                                                      : "the bitmap") +
               " holds no fractal type and parameters";
    return std::nullopt;
}

std::optional<std::string> pictureSaveProblem(const engine::Fractal& fractal) {
    const std::optional<std::string> params = fractal.pictureParameters();
    if (!params) {
        return "its parameter string is too long to be stored with it (more than " +
               std::to_string(engine::Fractal::kFileParamsCapacity) + " characters)";
    }
    if (!carriesTypeAndView(fractal.type, *params))
        return std::string("its type and view could not be read back from it");
    return std::nullopt;
}

}  // namespace app
