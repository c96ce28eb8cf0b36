#include "complex/escape_colouring.h"

#include <algorithm>
#include <cmath>

namespace complex {

namespace {

unsigned shiftedChannel(unsigned channel, int delta) noexcept {
    return static_cast<unsigned>(std::clamp(static_cast<int>(channel) + delta, 0, 255));
}

platform::Color shiftedColor(platform::Color color, int delta) noexcept {
    return platform::rgb(shiftedChannel(platform::redOf(color), delta),
                         shiftedChannel(platform::greenOf(color), delta),
                         shiftedChannel(platform::blueOf(color), delta));
}

unsigned mixedChannel(unsigned from, unsigned to, double fraction) noexcept {
    const double mixed = static_cast<double>(from) + (static_cast<double>(to) - from) * fraction;
    return static_cast<unsigned>(std::clamp(std::lround(mixed), 0L, 255L));
}

}  // namespace

platform::Color brightenColor(platform::Color color, int depth) noexcept {
    return shiftedColor(color, depth);
}

platform::Color darkenColor(platform::Color color, int depth) noexcept {
    return shiftedColor(color, -depth);
}

platform::Color EscapeColouring::blend(const EscapeValue& value) const noexcept {
    if (inside(value.count))
        return platform::kBlack;
    // A kernel's continuous count lies near its whole count; anything else (not a
    // number, out of range) is taken at the whole count, and both stay in int range.
    double continuous = value.continuous;
    if (!std::isfinite(continuous) || continuous < 0.0 || continuous > maxIterations_)
        continuous = std::max(value.count, 0);
    const double whole = std::floor(continuous);
    const double fraction = continuous - whole;
    const int index = static_cast<int>(whole);
    const platform::Color from = palette_->colorAt(index);
    if (fraction <= 0.0)
        return from;
    const platform::Color to = palette_->colorAt(index + 1);
    return platform::rgb(mixedChannel(platform::redOf(from), platform::redOf(to), fraction),
                         mixedChannel(platform::greenOf(from), platform::greenOf(to), fraction),
                         mixedChannel(platform::blueOf(from), platform::blueOf(to), fraction));
}

platform::Color EscapeColouring::relief(const EscapeValue& value, const EscapeValue& previous,
                                        int depth) const noexcept {
    if (inside(value.count))
        return platform::kBlack;
    const platform::Color color = plain(value);
    if (previous.count < 0)
        return color;
    if (!smooth_) {
        if (previous.count == value.count)
            return color;
        return previous.count < value.count ? brightenColor(color, depth)
                                            : darkenColor(color, depth);
    }
    double rise = value.continuous - previous.continuous;
    if (!std::isfinite(rise))
        rise = value.count - previous.count;
    const double share = std::clamp(rise, -1.0, 1.0);
    return shiftedColor(color, static_cast<int>(std::lround(share * depth)));
}

}  // namespace complex
