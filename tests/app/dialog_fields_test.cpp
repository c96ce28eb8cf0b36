#include "app/dialog_fields.h"

#include <gtest/gtest.h>

#include <climits>
#include <numbers>

namespace {

TEST(DialogFields, ParseDoubleReadsOneNumberAndRefusesNonFinite) {
    struct Case {
        const char* text;
        std::optional<double> expected;
    };
    const Case cases[] = {
        {"1.5", 1.5},
        {"  -2e3", -2000.0},
        {"3abc", 3.0},   // the rest of the field is ignored
        {"1,5", 1.0},    // only '.' is a decimal point
        {"0x10", 16.0},  // as the C library reads it
        {"", std::nullopt},
        {"   ", std::nullopt},
        {"abc", std::nullopt},
        {"-", std::nullopt},
        {"nan", std::nullopt},
        {"-inf", std::nullopt},
        {"infinity", std::nullopt},
        {"1e999", std::nullopt},  // overflows to infinity
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(app::parseDouble(c.text), c.expected);
    }
}

TEST(DialogFields, ParseIntegerClampsInsteadOfOverflowing) {
    struct Case {
        const char* text;
        std::optional<int> expected;
    };
    const Case cases[] = {
        {"42", 42},
        {" \t-7", -7},
        {"+8", 8},
        {"12abc", 12},
        {"007", 7},
        {"2147483647", INT_MAX},
        {"-2147483648", INT_MIN},
        {"2147483648", INT_MAX},
        {"99999999999999999999999", INT_MAX},
        {"-99999999999999999999999", INT_MIN},
        {"", std::nullopt},
        {"-", std::nullopt},
        {"+ 5", std::nullopt},
        {"abc", std::nullopt},
        {"1.9", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(app::parseInteger(c.text), c.expected);
    }
}

TEST(DialogFields, ReadKeepsThePreviousValueOfAFieldThatDoesNotParse) {
    EXPECT_EQ(app::readDouble("2.5", 7.0), 2.5);
    EXPECT_EQ(app::readDouble("x", 7.0), 7.0);
    EXPECT_EQ(app::readDouble("nan", 7.0), 7.0);
    EXPECT_EQ(app::readInteger("25", 3), 25);
    EXPECT_EQ(app::readInteger("", 3), 3);
}

TEST(DialogFields, FormatsUseTheCLibraryConventions) {
    EXPECT_EQ(app::formatShortest(std::numbers::pi), "3.14159");
    EXPECT_EQ(app::formatShortest(2.0), "2");
    EXPECT_EQ(app::formatShortest(1e-7), "1e-07");
    EXPECT_EQ(app::formatShortest(-0.1), "-0.1");
    EXPECT_EQ(app::formatFixed(-2.1), "-2.100000");
    EXPECT_EQ(app::formatFixed(0.0000004), "0.000000");
    EXPECT_EQ(app::formatInteger(-5), "-5");
}

TEST(DialogFields, SpinStepsGrowWithTheTimeTheButtonIsHeld) {
    constexpr app::SpinStep kIterations[] = {{0, 10}, {5, 50}, {10, 100}, {20, 500}};
    constexpr app::SpinStep kRelief[] = {{0, 1}, {3, 5}};
    struct Case {
        std::span<const app::SpinStep> steps;
        std::int64_t heldMs;
        int expected;
    };
    const Case cases[] = {
        {kIterations, 0, 10},      {kIterations, 4999, 10},
        {kIterations, 5000, 50},   {kIterations, 9999, 50},
        {kIterations, 10000, 100}, {kIterations, 19999, 100},
        {kIterations, 20000, 500}, {kIterations, INT64_MAX, 500},
        {kRelief, 0, 1},           {kRelief, 2999, 1},
        {kRelief, 3000, 5},        {{}, 100000, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.heldMs);
        EXPECT_EQ(app::spinStepAfter(c.steps, c.heldMs), c.expected);
    }
}

TEST(DialogFields, SpinStepsStayWithinTheRange) {
    constexpr app::SpinStep kSteps[] = {{0, 10}};
    const app::SpinRange range{10, 10000, kSteps};
    struct Case {
        const char* text;
        int count;
        int step;
        int expected;
    };
    const Case cases[] = {
        {"100", 1, 10, 110},           {"100", -1, 10, 90},
        {"9995", 1, 10, 10000},        {"15", -1, 10, 10},
        {"50000", 1, 10, 10000},  // a stored value above the range is pulled into it
        {"50000", -1, 10, 10000},      {"", 1, 10, 20},  // an empty field counts from the minimum
        {"abc", -1, 10, 10},           {"2147483647", 10, 500, 10000},
        {"-2147483648", -10, 500, 10},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(app::stepSpinValue(c.text, range, c.count, c.step), c.expected);
    }
}

}  // namespace
