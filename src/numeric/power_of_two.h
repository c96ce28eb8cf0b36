#pragma once

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>

namespace numeric {

// 2^e, built from its bits where it is a normal double: code that changes scales once per
// few operations would spend more in std::ldexp than in its arithmetic. Below double's
// normal range it is std::ldexp's (a subnormal or 0), above it infinity.
inline double powerOfTwo(std::int64_t e) {
    if (e >= -1022 && e <= 1023)
        return std::bit_cast<double>(static_cast<std::uint64_t>(e + 1023) << 52);
    return std::ldexp(1.0, static_cast<int>(std::clamp<std::int64_t>(e, -1100, 1100)));
}

// v 2^e, exact unless the result leaves double's normal range: one product where 2^e is a
// normal double, std::ldexp elsewhere.
inline double timesPowerOfTwo(double v, std::int64_t e) {
    if (e >= -1022 && e <= 1023)
        return v * powerOfTwo(e);
    return std::ldexp(v, static_cast<int>(std::clamp<std::int64_t>(e, -2200, 2200)));
}

}  // namespace numeric
