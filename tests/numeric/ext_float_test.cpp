#include "numeric/ext_float.h"
#include "numeric/mpfr_access.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace numeric {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kDenormMin = std::numeric_limits<double>::denorm_min();
constexpr double kNormalMin = std::numeric_limits<double>::min();
constexpr double kMax = std::numeric_limits<double>::max();

ExtFloat parts(double m, std::int64_t e) {
    return ExtFloat::fromParts(m, e);
}

TEST(ExtFloatTest, NormalisesAndConvertsDoubles) {
    struct Case {
        double value;
        double mantissa;
        std::int64_t exponent;
    };
    const Case cases[] = {
        {0.0, 0.0, 0},
        {-0.0, 0.0, 0},  // one zero, without sign
        {1.0, 0.5, 1},
        {-0.75, -0.75, 0},
        {3.0, 0.75, 2},
        {kNormalMin, 0.5, -1021},
        {kNormalMin / 2, 0.5, -1022},  // below the normal range: still exact
        {kDenormMin, 0.5, -1073},
        {kMax, std::ldexp(kMax, -1024), 1024},
    };
    for (const Case& c : cases) {
        const ExtFloat v(c.value);
        EXPECT_EQ(v.mantissa(), c.mantissa) << c.value;
        EXPECT_EQ(v.exponent(), c.exponent) << c.value;
        EXPECT_EQ(v.toDouble(), c.value) << c.value;
    }
    EXPECT_TRUE(std::isnan(ExtFloat(std::nan("")).toDouble()));
    EXPECT_EQ(ExtFloat(-kInf).toDouble(), -kInf);
    EXPECT_FALSE(ExtFloat(kInf).isFinite());
}

TEST(ExtFloatTest, ConvertsToDoubleAtTheEdgesOfItsRange) {
    struct Case {
        ExtFloat value;
        double expected;
    };
    const Case cases[] = {
        {parts(0.5, -1073), kDenormMin},
        {parts(0.75, -1073), 2 * kDenormMin},  // 1.5 of the last place rounds to even
        {parts(0.5, -1074), 0.0},              // half the last place rounds to even: 0
        {parts(0.5, -5000), 0.0},
        {parts(-0.5, -5000), -0.0},
        {parts(0.5, 1025), kInf},
        {parts(-0.5, 1LL << 40), -kInf},
        {parts(0.5, 1024), std::ldexp(1.0, 1023)},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.value.toDouble(), c.expected)
            << c.value.mantissa() << "p" << c.value.exponent();
        EXPECT_EQ(std::signbit(c.value.toDouble()), std::signbit(c.expected));
    }
    // Beyond the exponent limit: infinite above, zero below.
    EXPECT_FALSE(parts(1.0, ExtFloat::kExponentLimit).isFinite());
    EXPECT_TRUE(parts(1.0, -ExtFloat::kExponentLimit - 5).isZero());
    EXPECT_FALSE((parts(0.5, ExtFloat::kExponentLimit - 1) * parts(0.5, 1000)).isFinite());
    EXPECT_TRUE((parts(0.5, -ExtFloat::kExponentLimit + 1) * parts(0.5, -1000)).isZero());
}

// Inside double's range every operation rounds once to 53 bits, exactly as double does.
TEST(ExtFloatTest, ArithmeticMatchesDoubleWhereDoubleHoldsTheResult) {
    const double values[] = {1.0,     -1.0,     0.1,     -0.3,      1.0 + 0x1p-52, 0x1p-53,
                             0x1p-60, -0x1p-62, 3.0e100, -7.5e-200, 12345.678,     0.0};
    for (double a : values) {
        for (double b : values) {
            EXPECT_EQ((ExtFloat(a) + ExtFloat(b)).toDouble(), a + b) << a << " + " << b;
            EXPECT_EQ((ExtFloat(a) - ExtFloat(b)).toDouble(), a - b) << a << " - " << b;
            EXPECT_EQ((ExtFloat(a) * ExtFloat(b)).toDouble(), a * b) << a << " * " << b;
        }
    }
}

TEST(ExtFloatTest, ArithmeticFarBelowDouble) {
    struct Case {
        ExtFloat result;
        ExtFloat expected;
    };
    const ExtFloat tiny = parts(0.75, -5000);
    const Case cases[] = {
        {tiny + tiny, parts(0.75, -4999)},
        {tiny - tiny, ExtFloat()},  // cancels to the one zero
        {tiny * tiny, parts(0.5625, -10000)},
        {tiny * parts(-0.5, 6000), parts(-0.375, 1000)},
        {tiny + parts(0.5, -5061), tiny},  // too small to change the sum
        {tiny + parts(0.5, -5050), parts(0.75 + 0x1p-51, -5000)},
        {-tiny + tiny * 2.0, tiny},
        {squaredMagnitude(parts(0.75, -3000), parts(0.5, -2999)), parts(0.78125, -5999)},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.result.mantissa(), c.expected.mantissa());
        EXPECT_EQ(c.result.exponent(), c.expected.exponent());
    }
}

TEST(ExtFloatTest, ComparesAcrossSignsAndExponents) {
    struct Case {
        ExtFloat a, b;
        int expected;
    };
    const Case cases[] = {
        {parts(0.5, -2000), ExtFloat(), 1},           {parts(-0.5, -2000), ExtFloat(), -1},
        {parts(-0.5, -2000), parts(-0.5, -1999), 1},  // nearer zero is larger
        {parts(0.5, -2000), parts(0.5, -1999), -1},   {parts(0.75, 10), parts(0.5, 10), 1},
        {parts(-0.75, 10), parts(-0.5, 10), -1},      {ExtFloat(kInf), parts(0.5, 1L << 50), 1},
        {ExtFloat(-kInf), parts(-0.5, 1L << 50), -1}, {ExtFloat(2.0), ExtFloat(2.0), 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(compare(c.a, c.b), c.expected);
        EXPECT_EQ(compare(c.b, c.a), -c.expected);
        EXPECT_EQ(c.a < c.b, c.expected < 0);
    }
    const ExtFloat nan(std::nan(""));
    EXPECT_FALSE(nan < ExtFloat(1.0));
    EXPECT_FALSE(ExtFloat(1.0) < nan);
}

TEST(ExtFloatTest, RoundTripsThroughBigFloat) {
    const auto deep = BigFloat::parse("-3.25e-100000", 200);
    ASSERT_TRUE(deep);
    const ExtFloat value = ExtFloat::fromBig(*deep);
    EXPECT_LT(value.exponent(), -332000);
    EXPECT_EQ(value.sign(), -1);
    // 53 bits survive the trip exactly.
    BigFloat rounded(53);
    mpfr_set(numeric::raw(rounded), numeric::raw(*deep), MPFR_RNDN);
    EXPECT_EQ(value.toBig(53), rounded);
    EXPECT_EQ(ExtFloat::fromBig(value.toBig(200)), value);
    EXPECT_TRUE(ExtFloat::fromBig(BigFloat(100, 0.0)).isZero());
    EXPECT_EQ(ExtFloat::fromBig(BigFloat(100, 0.1)).toDouble(), 0.1);
}

}  // namespace
}  // namespace numeric
