// The drawing surfaces: the window's own pixels, the persistent picture and the
// animation.scratch bitmap of the animated zoom.
#include <algorithm>

#include "engine/fractal.h"

namespace engine {

namespace {

constexpr int kAnimationFrames = 15;
constexpr unsigned kMarkPauseMs = 200;
// Pixel coordinates beyond this are far outside any picture; drawing there is pointless
// and the frame arithmetic could overflow.
constexpr int kFarOutside = 1 << 24;

int clampFar(int v) {
    return std::clamp(v, -kFarOutside, kFarOutside);
}

bool withinReach(const platform::Rect& r) {
    return r.left == clampFar(r.left) && r.top == clampFar(r.top) && r.right == clampFar(r.right) &&
           r.bottom == clampFar(r.bottom);
}

// start + (target - start) * i / frames, rounded by adding 0.5 and truncating.
int frameCoordinate(int start, int target, int frame) {
    const double exact =
        start + static_cast<double>(target - static_cast<double>(start)) * frame / kAnimationFrames;
    int result = target;
    view::truncToInt(exact + 0.5, result);
    return result;
}

}  // namespace

void Fractal::fillRect(const platform::Rect& rect, platform::Color color) noexcept {
    windowDC.fillRect(rect, color);
    picture.fillRect(rect, color);
    window.markDirty();
}

void Fractal::paint(const platform::Rect& rect) {
    // The block (right - left + 1) x (bottom - top + 1), cut to the picture.
    const int left = std::max(rect.left, 0);
    const int top = std::max(rect.top, 0);
    const long long w = std::min<long long>(rect.right, width - 1) - left + 1;
    const long long h = std::min<long long>(rect.bottom, height - 1) - top + 1;
    if (w <= 0 || h <= 0)
        return;
    windowDC.copyFrom(picture, left, top, static_cast<int>(w), static_cast<int>(h), left, top);
    window.markDirty();
}

void Fractal::clearPicture() {
    clearPictureBase();
}

void Fractal::clearPictureBase() {
    picture.whiteness(0, 0, width, height);
    paint(clientRect);
}

void Fractal::drawRubberBand(platform::Point p, platform::Point q, bool draw) {
    const int left = clampFar(std::min(p.x, q.x)) - 1;
    const int top = clampFar(std::min(p.y, q.y)) - 1;
    const int right = clampFar(std::max(p.x, q.x)) + 1;
    const int bottom = clampFar(std::max(p.y, q.y)) + 1;
    if (draw) {
        windowDC.outline(left, top, right, bottom, platform::kBlack);
        windowDC.outline(left + 2, top + 2, right - 2, bottom - 2, platform::kBlack);
        windowDC.outline(left + 1, top + 1, right - 1, bottom - 1, platform::kWhite);
        window.markDirty();
    } else {
        paint(platform::Rect{left, top, right, bottom});
    }
}

void Fractal::markAnimationStart(const platform::Rect& start) {
    const platform::Point p1{start.left, start.top};
    const platform::Point p2{start.right, start.bottom};
    for (int blink = 0; blink < 2 && !window.inputWaiting(); ++blink) {
        drawRubberBand(p1, p2, true);
        window.flush();
        window.pause(kMarkPauseMs);
        drawRubberBand(p1, p2, false);  // even when the user cut the pause short
        window.flush();
        if (blink == 0)
            window.pause(kMarkPauseMs);
    }
}

void Fractal::animateZoom(const platform::Rect& rect, bool zoomIn, bool preparedPicture) {
    if (animation.scratch.empty() || !withinReach(rect))
        return;
    if (!preparedPicture)
        animation.scratch.copyFrom(picture, 0, 0, width, height, 0, 0);

    const platform::Rect whole{0, 0, width - 1, height - 1};
    const platform::Rect start = zoomIn ? rect : whole;
    const platform::Rect target = zoomIn ? whole : rect;

    platform::Rect source{0, 0, width, height};  // origin and size
    if (!preparedPicture) {
        source = platform::Rect{start.left, start.top, start.right - start.left + 1,
                                start.bottom - start.top + 1};
    } else {
        markAnimationStart(start);
    }

    const auto showFrame = [&](const platform::Rect& frame, bool withBand) {
        if (!zoomIn)
            picture.whiteness(0, 0, width, height);
        picture.stretchFrom(animation.scratch, frame.left, frame.top, frame.right - frame.left + 1,
                            frame.bottom - frame.top + 1, source.left, source.top, source.right,
                            source.bottom);
        windowDC.copyFrom(picture, 0, 0, width, height, 0, 0);
        if (withBand) {
            drawRubberBand({frame.left, frame.top}, {frame.right, frame.bottom}, true);
        }
        window.markDirty();
        window.flush();
    };

    // Input that waits for the program cuts the animation short: the final frame comes
    // at once, so the picture ends as it would have.
    for (int i = 1; i <= kAnimationFrames && !window.inputWaiting(); ++i) {
        const platform::Rect frame{frameCoordinate(start.left, target.left, i),
                                   frameCoordinate(start.top, target.top, i),
                                   frameCoordinate(start.right, target.right, i),
                                   frameCoordinate(start.bottom, target.bottom, i)};
        showFrame(frame, true);
        window.pause(static_cast<unsigned>(std::max(options_.animZoomSleep.load(), 0)));
    }
    showFrame(target, false);
}

}  // namespace engine
