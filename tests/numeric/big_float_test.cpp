#include "numeric/big_float.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace numeric {
namespace {

TEST(BigFloatTest, ParsesPlainDecimalOnly) {
    struct Case {
        const char* text;
        bool accepted;
        double value;
    };
    const Case cases[] = {
        {"0", true, 0.0},         {"-0.75", true, -0.75},
        {"+2", true, 2.0},        {"1.5e-300", true, 1.5e-300},
        {".5", true, 0.5},        {"5.", true, 5.0},
        {"1e-100000", true, 0.0}, {"", false, 0},
        {"-", false, 0},          {"nan", false, 0},
        {"inf", false, 0},        {"0x1p3", false, 0},
        {"1e", false, 0},         {"1e1234567890", false, 0},
        {"1 ", false, 0},         {"1,5", false, 0},
        {"@1", false, 0},
    };
    for (const Case& c : cases) {
        const auto parsed = BigFloat::parse(c.text, 200);
        EXPECT_EQ(parsed.has_value(), c.accepted) << c.text;
        if (parsed && c.value != 0.0) {
            EXPECT_DOUBLE_EQ(parsed->toDouble(), c.value) << c.text;
        }
    }
    // Far below double's range the value is kept, not flushed to zero.
    const auto tiny = BigFloat::parse("1e-100000", 200);
    ASSERT_TRUE(tiny);
    EXPECT_FALSE(tiny->isZero());
}

TEST(BigFloatTest, TextRoundTripsAtFullPrecision) {
    const std::string digits = "-1.7499999999999999999999999999999999999999999999999999123456789";
    const long precision = precisionFor(-200);
    const auto value = BigFloat::parse(digits, precision);
    ASSERT_TRUE(value);
    const auto again = BigFloat::parse(value->toString(), precision);
    ASSERT_TRUE(again);
    EXPECT_EQ(*value, *again);
    EXPECT_EQ(BigFloat(53, 0.25).toString(), "2.5e-1");
    EXPECT_EQ(BigFloat(53, -3.0).toString(), "-3");
    EXPECT_EQ(BigFloat(53, 0.0).toString(), "0");
}

TEST(BigFloatTest, KeepsDigitsDoubleLoses) {
    const long precision = precisionFor(-400);
    BigFloat centre = *BigFloat::parse("-0.75", precision);
    BigFloat step = *BigFloat::parse("1e-100", precision);
    const BigFloat moved = centre + step;
    EXPECT_EQ(moved.toDouble(), -0.75);  // double cannot tell them apart
    EXPECT_FALSE(moved == centre);
    EXPECT_NEAR(((moved - centre) / step).toDouble(), 1.0, 1e-15);
    long exponent = 0;
    const double m = step.mantissa(&exponent);
    EXPECT_GE(std::fabs(m), 0.5);
    EXPECT_LT(std::fabs(m), 1.0);
    EXPECT_EQ(exponent, -332);
}

TEST(BigFloatTest, PrecisionIsBounded) {
    EXPECT_EQ(BigFloat(1).precision(), BigFloat::kLeastPrecision);
    EXPECT_EQ(BigFloat(1L << 40).precision(), BigFloat::kMostPrecision);
    EXPECT_EQ(precisionFor(-100000000), BigFloat::kMostPrecision);
    EXPECT_EQ(precisionFor(0), BigFloat::kLeastPrecision);
}

}  // namespace
}  // namespace numeric
