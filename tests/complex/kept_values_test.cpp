#include "complex/kept_values.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace {

using complex::KeptValues;

// The counts of a 4 x 2 picture's rows as text, one digit a pixel.
std::string countsOf(const KeptValues& kept) {
    std::string text;
    for (int row = 0; row < kept.height(); ++row) {
        for (int column = 0; column < kept.width(); ++column)
            text += static_cast<char>('0' + kept.at(column, row).count);
        text += '|';
    }
    return text;
}

// A run of counts lands where it begins, cut to the picture, and a smooth picture keeps
// each count as its continuous count.
TEST(KeptValuesTest, PutCountsStoresARunCutToThePicture) {
    struct Case {
        const char* what;
        int column, row, count;
        const char* expected;
    };
    const Case cases[] = {
        {"inside", 1, 1, 2, "0000|0120|"},
        {"cut at the left", -2, 0, 3, "3000|0000|"},
        {"cut at the right", 2, 0, 5, "0012|0000|"},
        {"row above", 0, -1, 4, "0000|0000|"},
        {"row below", 0, 2, 4, "0000|0000|"},
        {"nothing", 0, 0, 0, "0000|0000|"},
        {"far to the left", INT32_MIN, 0, INT32_MAX, "0000|0000|"},
    };
    const std::int32_t counts[] = {1, 2, 3, 4, 5};
    for (const bool smooth : {false, true}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.what) + (smooth ? " smooth" : " bands"));
            KeptValues kept;
            kept.reset(4, 2, smooth);
            kept.putCounts(c.column, c.row, c.count, counts);
            EXPECT_EQ(countsOf(kept), c.expected);
            for (int row = 0; row < 2; ++row) {
                for (int column = 0; column < 4; ++column) {
                    const complex::EscapeValue value = kept.at(column, row);
                    EXPECT_EQ(value.continuous, static_cast<double>(value.count));
                }
            }
        }
    }
}

}  // namespace
