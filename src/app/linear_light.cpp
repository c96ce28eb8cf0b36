#include "app/linear_light.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "engine/oklab.h"

namespace app {

namespace {

struct LinearLight {
    // The linear light of each byte.
    std::array<std::uint32_t, 256> ofByte{};
    // The linear light halfway (in sRGB) between byte k and k + 1: a mean below it
    // rounds to k or below.
    std::array<double, 255> between{};
};

std::uint32_t scaledLinear(double linear) {
    return static_cast<std::uint32_t>(std::lround(std::clamp(linear, 0.0, 1.0) * kLinearWhite));
}

double linearAtSrgb(double encoded) {
    if (encoded <= 0.04045)
        return encoded / 12.92;
    return std::pow((encoded + 0.055) / 1.055, 2.4);
}

const LinearLight& linearLight() {
    static const LinearLight table = [] {
        LinearLight made;
        for (unsigned byte = 0; byte < 256; ++byte)
            made.ofByte[byte] = scaledLinear(engine::linearFromSrgb(byte));
        for (unsigned k = 0; k < 255; ++k)
            made.between[k] = linearAtSrgb((k + 0.5) / 255.0) * kLinearWhite;
        return made;
    }();
    return table;
}

}  // namespace

std::uint32_t linearOfByte(unsigned byte) {
    return linearLight().ofByte[byte & 0xFFu];
}

unsigned byteOfLinear(double linear) {
    const LinearLight& light = linearLight();
    return static_cast<unsigned>(
        std::upper_bound(light.between.begin(), light.between.end(), linear) -
        light.between.begin());
}

}  // namespace app
