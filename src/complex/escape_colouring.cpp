#include "complex/escape_colouring.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

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

platform::Color mixedColor(platform::Color from, platform::Color to, double fraction) noexcept {
    return platform::rgb(mixedChannel(platform::redOf(from), platform::redOf(to), fraction),
                         mixedChannel(platform::greenOf(from), platform::greenOf(to), fraction),
                         mixedChannel(platform::blueOf(from), platform::blueOf(to), fraction));
}

// The same mix for positions spread over the palette, without a call to lround: the
// channels and the fraction lie in range, so the mixed value is 0..255 and adding a
// half before truncating rounds it. Computing and recolouring both use it.
platform::Color quickMixedColor(platform::Color from, platform::Color to,
                                double fraction) noexcept {
    const auto mix = [fraction](unsigned a, unsigned b) {
        const double mixed =
            static_cast<double>(a) + (static_cast<double>(b) - static_cast<double>(a)) * fraction;
        return static_cast<unsigned>(mixed + 0.5) & 0xFFu;
    };
    return platform::rgb(mix(platform::redOf(from), platform::redOf(to)),
                         mix(platform::greenOf(from), platform::greenOf(to)),
                         mix(platform::blueOf(from), platform::blueOf(to)));
}

// std::floor without the call it compiles to on plain x86-64: exact for the values
// below 2^52 that positions are; anything else (not a number, beyond) is taken as 0.
double floorOf(double x) noexcept {
    if (!(std::fabs(x) < 0x1p52))
        return 0.0;
    const double truncated = static_cast<double>(static_cast<std::int64_t>(x));
    return truncated > x ? truncated - 1.0 : truncated;
}

}  // namespace

platform::Color brightenColor(platform::Color color, int depth) noexcept {
    return shiftedColor(color, depth);
}

platform::Color darkenColor(platform::Color color, int depth) noexcept {
    return shiftedColor(color, -depth);
}

double transferred(double value, Transfer transfer) noexcept {
    switch (transfer) {
        case Transfer::kSquareRoot:
            return std::sqrt(value);
        case Transfer::kLogarithm:
            return std::log1p(value);
        default:
            return value;
    }
}

double EscapeColouring::continuousOf(const EscapeValue& value) const noexcept {
    // A kernel's continuous count lies near its whole count; anything else (not a
    // number, out of range) is taken at the whole count, and both stay in int range.
    const double continuous = value.continuous;
    if (!std::isfinite(continuous) || continuous < 0.0 || continuous > maxIterations_)
        return std::max(value.count, 0);
    return continuous;
}

platform::Color EscapeColouring::atPosition(double position, bool mixed) const noexcept {
    const int entries = entries_;
    if (entries <= 0 || !std::isfinite(position))
        return palette_->colorAt(0);
    // Turned into [0, entries) (the last steps guard against rounding), so that the
    // whole part fits an int.
    double turned = position - floorOf(position * perEntries_) * entries;
    if (turned < 0.0)
        turned += entries;
    if (!(turned >= 0.0 && turned < entries))
        turned = 0.0;
    const double whole = floorOf(turned);
    const int index = static_cast<int>(whole);
    const platform::Color from = palette_->colorAt(index);
    const double fraction = turned - whole;
    if (!mixed || fraction <= 0.0)
        return from;
    return quickMixedColor(from, palette_->colorAt(index + 1), fraction);
}

platform::Color EscapeColouring::blend(const EscapeValue& value) const noexcept {
    if (inside(value.count))
        return platform::kBlack;
    const double continuous = continuousOf(value);
    if (spread_)
        return atPosition(position(continuous), true);
    const double whole = std::floor(continuous);
    const double fraction = continuous - whole;
    const int index = static_cast<int>(whole);
    const platform::Color from = palette_->colorAt(index);
    if (fraction <= 0.0)
        return from;
    return mixedColor(from, palette_->colorAt(index + 1), fraction);
}

platform::Color EscapeColouring::distanceColor(const EscapeValue& value) const noexcept {
    if (inside(value.count))
        return platform::kBlack;
    const double pixels = value.distance;
    // No distance (the derivative overflowed): the point lies on the boundary as far as
    // double can tell.
    if (!(pixels > 0.0) || !std::isfinite(pixels))
        return platform::kBlack;
    const double octaves = std::log2(pixels);
    const platform::Color color =
        atPosition(octaves * kEntriesPerOctave * perDensity_ + controls_.offset, true);
    return pixels < kBoundaryPixels
               ? quickMixedColor(platform::kBlack, color, pixels * (1.0 / kBoundaryPixels))
               : color;
}

platform::Color EscapeColouring::relief(const EscapeValue& value, const EscapeValue& previous,
                                        int depth) const noexcept {
    if (inside(value.count))
        return platform::kBlack;
    if (distance_)
        return distanceColor(value);
    if (spread_)
        return spreadRelief(value, previous, depth);
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

void EscapeColouring::reliefBands(const int* counts, const int* above, int count, int depth,
                                  platform::Color* out) const noexcept {
    if (distance_ || spread_ || smooth_) {
        for (int k = 0; k < count; ++k) {
            const EscapeValue value{counts[k], static_cast<double>(counts[k])};
            const EscapeValue previous{above[k], above[k] < 0 ? -1.0 : above[k]};
            out[k] = relief(value, previous, depth);
        }
        return;
    }
    // Neighbours higher, lower and level mix at random along a run: choices of values
    // instead of branches the processor would mispredict.
    palette_->colorsAt(counts, count, maxIterations_, out);
    for (int k = 0; k < count; ++k) {
        const int n = counts[k];
        const int a = above[k];
        const int shift = a < 0 || a == n ? 0 : a < n ? depth : -depth;
        const platform::Color shifted = shiftedColor(out[k], shift);
        out[k] = inside(n) ? platform::kBlack : shift == 0 ? out[k] : shifted;
    }
}

// Spread over the palette, the relief shades where the colour changes rather than the
// count: Bands where the palette entry changes, Smooth by the share of a palette step the
// position rises or falls. (With one entry per count this is the count's own rule.)
platform::Color EscapeColouring::spreadRelief(const EscapeValue& value, const EscapeValue& previous,
                                              int depth) const noexcept {
    const double here = position(smooth_ ? continuousOf(value) : value.count);
    const platform::Color color = atPosition(here, smooth_);
    if (previous.count < 0)
        return color;
    if (!smooth_) {
        const double entry = floorOf(here);
        const double before = floorOf(position(previous.count));
        if (entry == before)
            return color;
        return before < entry ? brightenColor(color, depth) : darkenColor(color, depth);
    }
    double rise = here - position(continuousOf(previous));
    if (!std::isfinite(rise))
        rise = 0.0;
    const double share = std::clamp(rise, -1.0, 1.0);
    return shiftedColor(color, static_cast<int>(std::lround(share * depth)));
}

}  // namespace complex
