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
    slideshow.pattern = searchPatternFor(path, sameTypeOnly);
    const std::string limited = platform::truncateUtf16(path, kPathCapacity);
    const std::size_t slash = limited.rfind('/');
    slideshow.folder = slash == std::string::npos ? limited : limited.substr(0, slash + 1);
    slideshow.sameType = sameTypeOnly;

    // Bitmaps and PNG pictures alike, in one name order.
    std::vector<std::string> names = platform::findFiles(slideshow.pattern);
    std::vector<std::string> pngNames = platform::findFiles(pngPatternFor(slideshow.pattern));
    names.insert(names.end(), pngNames.begin(), pngNames.end());
    if (names.empty())
        return kStatusCannotOpen;
    sortByCodeUnits(names);
    // More pictures than the list holds: the first ones in name order are shown.
    if (names.size() > static_cast<std::size_t>(kMaxSequence)) {
        names.resize(static_cast<std::size_t>(kMaxSequence));
    }
    slideshow.files = std::move(names);

    animation.saved = std::make_unique<platform::Bitmap>(width, height);
    animation.saved->copyFrom(picture, 0, 0, width, height, 0, 0);

    const std::string& first = slideshow.files.front();
    const int result =
        openImage(platform::truncateUtf16(slideshow.folder + first, kPathCapacity), false);
    slideshow.position = 1;
    if (options_.slideshowDelay >= kTitleDelayThreshold)
        window.setTitleText(withoutExtension(first));
    paint(clientRect);
    window.setTimer(timerId, static_cast<unsigned>(options_.slideshowDelay.load()));
    slideshow.timer = timerId;
    return result;
}

int Fractal::slideshowTick() {
    if (slideshow.files.empty())
        return kStatusCannotOpen;
    if (slideshow.position >= static_cast<int>(slideshow.files.size()))
        slideshow.position = 0;
    const std::string& name = slideshow.files[static_cast<std::size_t>(slideshow.position)];
    if (options_.slideshowDelay >= kTitleDelayThreshold)
        window.setTitleText(withoutExtension(name));
    const bool animate = options_.animZoom && slideshow.sameType;
    const int result =
        openImage(platform::truncateUtf16(slideshow.folder + name, kPathCapacity), animate);
    ++slideshow.position;
    paint(clientRect);
    return result;
}

void Fractal::stopSlideshow() {
    if (slideshow.timer == 0)
        return;
    window.restoreTitle();
    window.killTimer(slideshow.timer);
    slideshow.files.clear();
    slideshow.files.shrink_to_fit();
    slideshow.position = 0;
    slideshow.timer = 0;
    opened.type = type;
    if (animation.saved) {
        picture.copyFrom(*animation.saved, 0, 0, width, height, 0, 0);
        animation.saved.reset();
        paint(clientRect);
    }
}

}  // namespace engine
