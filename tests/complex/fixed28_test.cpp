#include "complex/fixed28.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

using namespace complex::fixed28;

constexpr Fixed28 raw(std::int64_t value) {
    return fromSigned(value);
}

TEST(Fixed28Test, ConversionTruncatesTowardsZeroAndSaturates) {
    constexpr double kInf = std::numeric_limits<double>::infinity();
    struct Case {
        double value;
        std::int64_t expected;
    };
    const Case cases[] = {
        {1.0, 268435456},
        {2.0, 536870912},
        {4.0, 1073741824},
        {-0.7, -187904819},
        {0.56667, 152114319},
        {1e-9, 0},
        {-1e-9, 0},
        {-0.0, 0},
        {std::ldexp(1.0, 35), INT64_MAX},   // 2^63 raw no longer fits
        {-std::ldexp(1.0, 35), INT64_MIN},  // exactly the smallest word
        {1e300, INT64_MAX},
        {-1e300, INT64_MIN},
        {kInf, INT64_MAX},
        {-kInf, INT64_MIN},
        {std::numeric_limits<double>::quiet_NaN(), 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        EXPECT_EQ(toSigned(toFixed28(c.value)), c.expected);
    }
}

TEST(Fixed28Test, ProductsKeepTheLow64BitsAndShiftArithmetically) {
    struct Case {
        const char* what;
        Fixed28 result;
        std::int64_t expected;
    };
    const Case cases[] = {
        {"1.5 * 1.5", mul(toFixed28(1.5), toFixed28(1.5)), 603979776},
        {"2 * 0.5 * 0.5", dbl(toFixed28(0.5), toFixed28(0.5)), 134217728},
        {"-1.5 * 1.5", mul(toFixed28(-1.5), toFixed28(1.5)), -603979776},
        // Shifting rounds towards minus infinity.
        {"-step * step", mul(raw(-1), raw(1)), -1},
        {"step * step", mul(raw(1), raw(1)), 0},
        // The doubled product keeps the bit that doubling mul() would lose.
        {"dbl keeps bit 27", dbl(raw(3), raw(1 << 26)), 1},
        {"mul loses bit 27", mul(raw(3), raw(1 << 26)), 0},
        // 12^2 = 144 wraps to 144 - 256 = -112; 16^2 = 256 wraps to 0.
        {"12 * 12 wraps", mul(toFixed28(12.0), toFixed28(12.0)), -112 * 268435456LL},
        {"16 * 16 wraps", mul(toFixed28(16.0), toFixed28(16.0)), 0},
        {"sum wraps", raw(INT64_MAX) + raw(1), INT64_MIN},
        {"difference wraps", raw(INT64_MIN) - raw(1), INT64_MAX},
        {"half rounds down", half(raw(-3)), -2},
        {"half of positive", half(raw(3)), 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(toSigned(c.result), c.expected);
    }
}

}  // namespace
