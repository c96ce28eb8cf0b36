// The slideshow of saved pictures: one folder's pictures in name order, one every
// slideshowDelay milliseconds on a window timer, until the user does anything.
#include <algorithm>

#include "engine/fractal.h"
#include "platform/file_search.h"
#include "platform/text.h"

namespace engine {

namespace {

constexpr std::size_t kPathCapacity = kMaxPathUnits;
constexpr int kTitleDelayThreshold = 100;

std::string withoutExtension(const std::string& name) {
    const std::size_t dot = name.rfind('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

// The search pattern: the chosen file's folder and, for one type only, the part of
// its name before the first '.' or digit; then "*.bmp" (PNG pictures are found with the
// same pattern ending in "png").
std::string searchPatternFor(const std::string& path, bool sameTypeOnly) {
    const std::string limited = platform::truncateUtf16(path, kPathCapacity);
    const std::size_t slash = limited.rfind('/');
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    std::string pattern = limited.substr(0, nameStart);
    if (sameTypeOnly) {
        const std::string name = limited.substr(nameStart);
        pattern += name.substr(0, name.find_first_of(".0123456789"));
    }
    return pattern + "*.bmp";
}

// The same pattern for PNG pictures: "Julia*.png" for "Julia*.bmp".
std::string pngPatternFor(const std::string& bitmapPattern) {
    return bitmapPattern.substr(0, bitmapPattern.size() - 3) + "png";
}

// Names in ascending order of their UTF-16 code units (upper case before lower case).
void sortByCodeUnits(std::vector<std::string>& names) {
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        return platform::toUtf16(a) < platform::toUtf16(b);
    });
}

}  // namespace

int Fractal::startSlideshow(const std::string& path, unsigned timerId, bool sameTypeOnly) {
    stopCalculation();
    slideshowPattern = searchPatternFor(path, sameTypeOnly);
    const std::string limited = platform::truncateUtf16(path, kPathCapacity);
    const std::size_t slash = limited.rfind('/');
    slideshowFolder = slash == std::string::npos ? limited : limited.substr(0, slash + 1);
    slideshowSameType = sameTypeOnly;

    // Bitmaps and PNG pictures alike, in one name order.
    std::vector<std::string> names = platform::findFiles(slideshowPattern);
    std::vector<std::string> pngNames = platform::findFiles(pngPatternFor(slideshowPattern));
    names.insert(names.end(), pngNames.begin(), pngNames.end());
    if (names.empty())
        return kStatusCannotOpen;
    sortByCodeUnits(names);
    // More pictures than the list holds: the first ones in name order are shown.
    if (names.size() > static_cast<std::size_t>(maxSequence)) {
        names.resize(static_cast<std::size_t>(maxSequence));
    }
    slideshowFiles = std::move(names);

    savedPicture = std::make_unique<platform::Bitmap>(width, height);
    savedPicture->copyFrom(picture, 0, 0, width, height, 0, 0);

    const std::string& first = slideshowFiles.front();
    const int result =
        openImage(platform::truncateUtf16(slideshowFolder + first, kPathCapacity), false);
    slideshowPosition = 1;
    if (slideshowDelay >= kTitleDelayThreshold)
        window.setTitleText(withoutExtension(first));
    paint(clientRect);
    window.setTimer(timerId, static_cast<unsigned>(slideshowDelay.load()));
    slideshowTimer = timerId;
    return result;
}

int Fractal::slideshowTick() {
    if (slideshowFiles.empty())
        return kStatusCannotOpen;
    if (slideshowPosition >= static_cast<int>(slideshowFiles.size()))
        slideshowPosition = 0;
    const std::string& name = slideshowFiles[static_cast<std::size_t>(slideshowPosition)];
    if (slideshowDelay >= kTitleDelayThreshold)
        window.setTitleText(withoutExtension(name));
    const bool animate = animZoom && slideshowSameType;
    const int result =
        openImage(platform::truncateUtf16(slideshowFolder + name, kPathCapacity), animate);
    ++slideshowPosition;
    paint(clientRect);
    return result;
}

void Fractal::stopSlideshow() {
    if (slideshowTimer == 0)
        return;
    window.restoreTitle();
    window.killTimer(slideshowTimer);
    slideshowFiles.clear();
    slideshowFiles.shrink_to_fit();
    slideshowPosition = 0;
    slideshowTimer = 0;
    fileType = type;
    if (savedPicture) {
        picture.copyFrom(*savedPicture, 0, 0, width, height, 0, 0);
        savedPicture.reset();
        paint(clientRect);
    }
}

}  // namespace engine
