// The picture commands of a fractal: save, open and the proposed file name.
#include "engine/fractal.h"

#include <sys/stat.h>

#include <cstdio>
#include <functional>
#include <optional>
#include <string>

#include "persist/bitmap_file.h"
#include "persist/picture_file.h"
#include "platform/c_format.h"
#include "platform/file_writer.h"
#include "platform/text.h"
#include "view/view_window.h"

namespace engine {

namespace {

bool fileExists(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

// The part of the previous view that the new one shows (or the reverse), in the
// pixels of the outer view. false when a corner lies beyond the range of pixel
// coordinates; a rectangle far outside the picture is left to animateZoom, which
// skips what it cannot show.
bool innerRectangle(const view::ViewWindow& outer, const view::ViewWindow& inner,
                    platform::Rect& rect) {
    return view::planeToPixel(outer, inner.xmin, inner.ymax, rect.left, rect.top) &&
           view::planeToPixel(outer, inner.xmax, inner.ymin, rect.right, rect.bottom);
}

// Shows the opened picture growing out of the previous one (its view lies inside
// the previous view) or the previous picture shrinking into the new view.
void showTransition(Fractal& fractal, const view::ViewWindow& previous,
                    const platform::Bitmap& image) {
    const view::ViewWindow& next = fractal.opened.view;
    const bool zoomIn = next.xmin >= previous.xmin && next.ymin >= previous.ymin &&
                        next.xmax <= previous.xmax && next.ymax <= previous.ymax;
    platform::Rect rect;
    if (zoomIn) {
        if (innerRectangle(previous, next, rect)) {
            persist::drawFitted(fractal.animation.scratch, image);
            fractal.animateZoom(rect, true, true);
            return;
        }
    } else if (innerRectangle(next, previous, rect)) {
        fractal.animateZoom(rect, false, false);
    }
    // Views too far apart for pixel coordinates simply skip the animation.
    persist::drawFitted(fractal.picture, image);
}

}  // namespace

std::optional<std::string> Fractal::pictureParameters() const {
    std::string params = parameterString();
    if (platform::utf16Length(params) > static_cast<std::size_t>(kFileParamsCapacity))
        return std::nullopt;
    return params;
}

int Fractal::saveImage(const std::string& path) {
    return saveImageTo(path, platform::StreamTargets::Refuse).status;
}

SaveResult Fractal::saveImageTo(const std::string& path, platform::StreamTargets streams) {
    // A picture without its whole parameter string could not be opened again: nothing
    // is written then, not even the file.
    const std::optional<std::string> params = pictureParameters();
    if (!params) {
        return {kStatusCannotStoreParameters,
                "its parameter string is too long to be stored with it (more than " +
                    std::to_string(kFileParamsCapacity) + " characters)"};
    }
    // The settings keep the type's parameters as before; what the picture carries
    // does not depend on whether they could be stored.
    saveParameters();
    return writePictureFile(path, streams, [this, &params](std::FILE* file, bool png) {
        return persist::writePicture(
            file, png ? persist::PictureFormat::Png : persist::PictureFormat::Bitmap, picture,
            width, height, type, *params);
    });
}

SaveResult Fractal::savePlainImageTo(const std::string& path, platform::StreamTargets streams) {
    return writePictureFile(path, streams, [this](std::FILE* file, bool png) {
        return persist::writePlainPicture(
            file, png ? persist::PictureFormat::Png : persist::PictureFormat::Bitmap, picture,
            width, height);
    });
}

SaveResult Fractal::writePictureFile(const std::string& path, platform::StreamTargets streams,
                                     const std::function<bool(std::FILE*, bool png)>& write) {
    const bool png = persist::pictureFormatFor(path) == persist::PictureFormat::Png;
    unsigned char header[persist::kPictureDataOffset];
    if (png ? !persist::pngPictureSizeAllowed(width, height)
            : !persist::pictureFileHeader(width, height, header)) {
        return {kStatusCannotCreate, png ? "the picture is too large for a PNG file"
                                         : "the picture is too large for a bitmap file"};
    }
    const platform::FileWriteResult written =
        platform::writeFile(path, platform::FileWriteOptions{streams, false},
                            [&write, png](std::FILE* file) { return write(file, png); });
    if (!written)
        return {kStatusCannotCreate, written.reason};
    rememberPictureFolder(path);
    return {kStatusOk, {}};
}

void Fractal::rememberPictureFolder(const std::string& path) {
    folders.images = persist::folderOf(path);
    settings.writeString("ImagePath", folders.images);
}

int Fractal::openImage(const std::string& path, bool animate) {
    const persist::PictureFile file =
        persist::readPictureFileToFit(path, kFileParamsCapacity, width, height);
    if (!file.image.ok())
        return kStatusNotABitmap;
    showOpenedPicture(file.image.bitmap, file.type, file.params, animate);
    return kStatusOk;
}

void Fractal::showOpenedPicture(const platform::Bitmap& image, std::optional<FractalType> type,
                                const std::string& params, bool animate) {
    if (type)
        opened.type = *type;
    // As the trailer reader does: a string too long to take whole is not taken at all.
    const bool fits =
        platform::utf16Length(params) <= static_cast<std::size_t>(kFileParamsCapacity);
    opened.params = fits ? params : std::string();
    const view::ViewWindow previous = opened.view;
    double xmin = 0;
    double ymin = 0;
    double xmax = 0;
    double ymax = 0;
    if (platform::cscan(opened.params, "%lf,%lf,%lf,%lf", &xmin, &ymin, &xmax, &ymax) == 4) {
        opened.view.setRect(xmin, ymin, xmax, ymax);
    }
    if (animate) {
        showTransition(*this, previous, image);
    } else {
        persist::drawFitted(picture, image);
    }
}

std::string Fractal::proposeFileName(int capacity) const {
    const std::string name =
        capacity > 4 ? platform::truncateUtf16(typeName, static_cast<std::size_t>(capacity - 4))
                     : std::string();
    // A number is taken when a picture of it exists in either format.
    const auto taken = [&](int n) {
        const std::string stem = folders.images + "/" + name + platform::cformat("%03d", n);
        return fileExists(stem + ".bmp") || fileExists(stem + ".png");
    };
    int n = 1;
    while (taken(n)) {
        ++n;
        if (n >= kMaxSequence)
            break;
    }
    return name + platform::cformat("%03d", n);
}

}  // namespace engine
