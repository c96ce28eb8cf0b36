#include "app/keyframe_scaler.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>

#include "app/linear_light.h"

namespace app {

namespace {

// One keyframe pixel (a column or a row) and the length of it a frame pixel covers.
struct Tap {
    int index;
    double weight;
};

// The taps of each frame pixel along one axis: those of pixel i are
// taps[first[i]] .. taps[first[i + 1] - 1].
struct AxisTaps {
    std::vector<Tap> taps;
    std::vector<std::size_t> first;
};

// The keyframe pixel holding coordinate at, the nearest edge pixel beyond the keyframe.
int pixelAt(double at, int size) {
    return static_cast<int>(std::clamp(std::floor(at), 0.0, static_cast<double>(size - 1)));
}

// The keyframe pixels [from, to) covers along an axis of size pixels. What lies beyond
// either end is weighed on the edge pixel there, so that a span of any length takes
// at most size + 2 taps and never reads outside.
void appendTaps(double from, double to, int size, std::vector<Tap>& taps) {
    if (!(to > from)) {
        // Magnified beyond what double tells apart: the pixel under the point.
        taps.push_back({pixelAt(from, size), 1.0});
        return;
    }
    const double end = size;
    const double before = std::min(to, 0.0) - from;
    if (before > 0.0)
        taps.push_back({0, before});
    const double low = std::clamp(from, 0.0, end);
    const double high = std::clamp(to, 0.0, end);
    for (int n = static_cast<int>(std::floor(low)); n < size && n < high; ++n) {
        const double weight = std::min(high, n + 1.0) - std::max(low, static_cast<double>(n));
        if (weight > 0.0)
            taps.push_back({n, weight});
    }
    const double after = to - std::max(from, end);
    if (after > 0.0)
        taps.push_back({size - 1, after});
}

AxisTaps axisTaps(double centre, double span, int count, int size) {
    AxisTaps axis;
    axis.first.reserve(static_cast<std::size_t>(count) + 1);
    const double start = centre - span / 2.0;
    const double step = span / count;
    for (int i = 0; i < count; ++i) {
        axis.first.push_back(axis.taps.size());
        // Both ends from the same expression, so neighbours share their boundary exactly.
        appendTaps(start + i * step, start + (i + 1) * step, size, axis.taps);
    }
    axis.first.push_back(axis.taps.size());
    return axis;
}

bool usableKeyframe(const RgbImage& keyframe) {
    return keyframe.width > 0 && keyframe.height > 0 &&
           keyframe.pixels.size() ==
               static_cast<std::size_t>(keyframe.width) * static_cast<std::size_t>(keyframe.height);
}

// A centre and span along an axis of size keyframe pixels, for count frame pixels, that
// the arithmetic handles: a frame pixel at least a millionth of a keyframe pixel wide (so
// that its area never vanishes), and nothing beyond kMostFrameSide keyframe widths.
bool usablePlacement(double centre, double span, int size, int count) {
    const double most = static_cast<double>(kMostFrameSide) * size;
    return std::isfinite(centre) && std::isfinite(span) && span >= 1e-6 * count && span <= most &&
           std::abs(centre) <= most;
}

bool usableFrameSide(int side) {
    return side >= 1 && side <= kMostFrameSide;
}

}  // namespace

std::optional<RgbImage> scaleFromKeyframe(const RgbImage& keyframe, double centreX, double centreY,
                                          double spanX, double spanY, int width, int height) {
    if (!usableKeyframe(keyframe) || !usableFrameSide(width) || !usableFrameSide(height) ||
        !usablePlacement(centreX, spanX, keyframe.width, width) ||
        !usablePlacement(centreY, spanY, keyframe.height, height)) {
        return std::nullopt;
    }
    std::array<std::uint32_t, 256> linear{};
    for (unsigned byte = 0; byte < 256; ++byte)
        linear[byte] = linearOfByte(byte);

    const AxisTaps columns = axisTaps(centreX, spanX, width, keyframe.width);
    const AxisTaps rows = axisTaps(centreY, spanY, height, keyframe.height);
    RgbImage frame{width, height, {}};
    frame.pixels.reserve(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    const auto keyWidth = static_cast<std::size_t>(keyframe.width);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            // Summed in one fixed order in plain double arithmetic: the same bytes on
            // every machine. Whole-pixel weights keep the sums exact.
            double red = 0.0, green = 0.0, blue = 0.0, area = 0.0;
            for (std::size_t r = rows.first[y]; r < rows.first[y + 1]; ++r) {
                const Tap row = rows.taps[r];
                const platform::Color* line =
                    keyframe.pixels.data() + static_cast<std::size_t>(row.index) * keyWidth;
                for (std::size_t c = columns.first[x]; c < columns.first[x + 1]; ++c) {
                    const Tap column = columns.taps[c];
                    const double weight = row.weight * column.weight;
                    const platform::Color color = line[column.index];
                    red += weight * linear[platform::redOf(color)];
                    green += weight * linear[platform::greenOf(color)];
                    blue += weight * linear[platform::blueOf(color)];
                    area += weight;
                }
            }
            frame.pixels.push_back(platform::rgb(
                byteOfLinear(red / area), byteOfLinear(green / area), byteOfLinear(blue / area)));
        }
    }
    return frame;
}

KeyframeWindow keyframeWindow(double offsetX, double offsetY, double widthRatio, int keyframeWidth,
                              int keyframeHeight) {
    KeyframeWindow window;
    if (!std::isfinite(offsetX) || !std::isfinite(offsetY) || !std::isfinite(widthRatio) ||
        widthRatio <= 0.0 || keyframeWidth <= 0 || keyframeHeight <= 0) {
        return window;
    }
    const double keyWidth = keyframeWidth;
    const double keyHeight = keyframeHeight;
    // A pixel's point lies (-1/2, +3/2) pixels (right, down) from its middle. In keyframe
    // pixels that is twice as far at the keyframe's own scale and 2 * widthRatio at the
    // frame's; the window moves by the difference.
    constexpr double kSamplesASide = 2.0;
    const double shrink = kSamplesASide * (1.0 - widthRatio);
    window.centreX = keyWidth / 2.0 + offsetX * keyWidth + 0.5 * shrink;
    // Rows run down, the imaginary axis up.
    window.centreY = keyHeight / 2.0 - offsetY * keyWidth - 1.5 * shrink;
    window.spanX = keyWidth * widthRatio;
    window.spanY = keyHeight * widthRatio;
    const double slack = 1e-9 * std::max(keyWidth, keyHeight);
    window.inside = window.centreX - window.spanX / 2.0 >= -slack &&
                    window.centreX + window.spanX / 2.0 <= keyWidth + slack &&
                    window.centreY - window.spanY / 2.0 >= -slack &&
                    window.centreY + window.spanY / 2.0 <= keyHeight + slack;
    return window;
}

}  // namespace app
