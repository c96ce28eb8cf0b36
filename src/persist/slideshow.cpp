// The slideshow of saved pictures.
#include "engine/fractal.h"

namespace engine {

void Fractal::stopSlideshow() {
    if (slideshowTimer == 0) return;
    window.restoreTitle();
    window.killTimer(slideshowTimer);
    slideshowFiles.clear();
    slideshowFiles.shrink_to_fit();
    slideshowTimer = 0;
    fileType = type;
    if (savedPicture) {
        picture.copyFrom(*savedPicture, 0, 0, width, height, 0, 0);
        savedPicture.reset();
        paint(clientRect);
    }
}

}  // namespace engine
