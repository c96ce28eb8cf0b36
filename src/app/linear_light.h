#pragma once

#include <cstdint>

namespace app {

// Light is averaged as whole numbers of linear light, white being kLinearWhite: sums of
// them are exact, so a mean comes out the same whatever the order it is added in.
inline constexpr double kLinearWhite = 16777216.0;  // 2^24: 256 samples of 1 fit 32 bits

// The linear light of an sRGB byte, in units where white is kLinearWhite.
std::uint32_t linearOfByte(unsigned byte);

// The sRGB byte whose rounding interval holds a linear light (same units): the nearest
// byte in sRGB, not in linear light.
unsigned byteOfLinear(double linear);

}  // namespace app
