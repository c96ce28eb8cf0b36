#include "numeric/power_of_two.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>

namespace numeric {
namespace {

// The powers built from their bits, and the products by them, against std::ldexp, bit for
// bit: at the edges of double's normal range, below it (subnormal results, rounded once)
// and beyond it (infinity, 0).
TEST(PowerOfTwoTest, AgreesWithLdexpAtEveryRange) {
    const double values[] = {1.0,
                             -1.0,
                             0.75,
                             1.0 - 0x1p-53,
                             -3.141592653589793,
                             0x1.fffffffffffffp1023,
                             std::numeric_limits<double>::min(),
                             std::numeric_limits<double>::denorm_min(),
                             0.0};
    const std::int64_t exponents[] = {0,     1,     -1,    1023,  1024,  -1022, -1023,
                                      -1074, -1075, -1100, 2000,  -2000, 2200,  -2200,
                                      600,   -600,  1100,  -1030, 52,    -52};
    for (const std::int64_t e : exponents) {
        SCOPED_TRACE(e);
        const int clamped = static_cast<int>(e);
        EXPECT_EQ(std::bit_cast<std::uint64_t>(powerOfTwo(e)),
                  std::bit_cast<std::uint64_t>(std::ldexp(1.0, clamped)));
        for (const double v : values) {
            SCOPED_TRACE(v);
            EXPECT_EQ(std::bit_cast<std::uint64_t>(timesPowerOfTwo(v, e)),
                      std::bit_cast<std::uint64_t>(std::ldexp(v, clamped)));
        }
    }
}

}  // namespace
}  // namespace numeric
