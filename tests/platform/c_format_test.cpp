#include "platform/c_format.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

namespace platform {
namespace {

bool sameBits(double a, double b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// Every reader of views reads "%lf": what the writer makes, and what was written
// before with six decimals or typed by hand, must come back exactly.
TEST(CFormat, ViewEdgesReadBackBitForBit) {
    const double written[] = {
        0.0,
        -0.0,
        120.0,
        1.0 / 3.0,
        1e-7,
        -0.7436438870371587,
        -0.7436438870371587 + 9e-6 / 240,  // a pixel of a deep view
        -1.7497219 + 1e-12,
        std::nextafter(1.0, 2.0),
        std::numeric_limits<double>::max(),
        std::numeric_limits<double>::denorm_min(),
        -2.2250738585072014e-308,
    };
    for (const double value : written) {
        const std::string text = formatRoundTrip(value);
        SCOPED_TRACE(text);
        EXPECT_EQ(text.find(','), std::string::npos);
        double read = std::nan("");
        ASSERT_EQ(cscan(text, "%lf", &read), 1);
        EXPECT_TRUE(sameBits(read, value));
    }
    const struct {
        const char* text;
        double value;
    } old[] = {
        {"-2.100000", -2.1},
        {"134.000000", 134.0},
        {"1.5E+300", 1.5e300},
        {"0.131825904205311970000000000001", 0.13182590420531197},
    };
    for (const auto& c : old) {
        SCOPED_TRACE(c.text);
        double read = std::nan("");
        ASSERT_EQ(cscan(c.text, "%lf", &read), 1);
        EXPECT_TRUE(sameBits(read, c.value));
    }
}

}  // namespace
}  // namespace platform
