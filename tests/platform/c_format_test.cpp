#include "platform/c_format.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>

namespace platform {
namespace {

// Reads text as every reader of views does.
double readBack(const std::string& text) {
    double value = std::nan("");
    EXPECT_EQ(cscan(text, "%lf", &value), 1) << text;
    return value;
}

bool sameBits(double a, double b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// Sets LC_NUMERIC to a locale with a decimal comma for the scope, when one is installed.
class CommaLocale {
  public:
    CommaLocale() : previous_(std::setlocale(LC_NUMERIC, nullptr)) {
        for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "nl_NL.UTF-8"}) {
            if (std::setlocale(LC_NUMERIC, name) != nullptr) {
                active_ = true;
                return;
            }
        }
    }
    ~CommaLocale() { std::setlocale(LC_NUMERIC, previous_.c_str()); }
    CommaLocale(const CommaLocale&) = delete;
    CommaLocale& operator=(const CommaLocale&) = delete;
    bool active() const { return active_; }

  private:
    std::string previous_;
    bool active_ = false;
};

void expectRoundTrips() {
    const double values[] = {
        0.0,
        -0.0,
        120.0,
        -2.5,
        0.1,
        1.0 / 3.0,
        1e-7,
        -0.7436438870371587,
        -0.74364388703715,
        0.13182590420531198,
        -0.7436438870371587 + 3.3e-5,  // the edges of deep views
        0.2821 + 9e-6,
        -1.7497219 + 1e-12,
        1234567.8901234567,
        std::nextafter(1.0, 2.0),
        std::numeric_limits<double>::max(),
        -std::numeric_limits<double>::max(),
        std::numeric_limits<double>::min(),
        std::numeric_limits<double>::denorm_min(),
        -2.2250738585072014e-308,
    };
    for (const double value : values) {
        const std::string text = formatRoundTrip(value);
        SCOPED_TRACE(text);
        EXPECT_TRUE(sameBits(readBack(text), value));
        EXPECT_EQ(text.find(','), std::string::npos);
        EXPECT_LE(text.size(), 24u);
        // The shortest: one digit less no longer gives the value back.
        if (const std::size_t e = text.find('e'); e == std::string::npos && text.size() > 3) {
            const std::string shorter = text.substr(0, text.size() - 1);
            if (shorter.back() != '.' && shorter.back() != '-') {
                EXPECT_NE(readBack(shorter), value) << shorter;
            }
        }
    }
}

TEST(CFormat, ViewEdgesReadBackBitForBitInAnyLocale) {
    expectRoundTrips();
    // Where such a locale is installed, it must change nothing.
    const CommaLocale comma;
    if (comma.active())
        expectRoundTrips();
}

// Views written so far, and numbers typed by hand, still read.
TEST(CFormat, ReadsTheOldSixDecimalFormAndExponents) {
    const struct {
        const char* text;
        double value;
    } cases[] = {
        {"-2.100000", -2.1},
        {"0.000000", 0.0},
        {"134.000000", 134.0},
        {"1e-07", 1e-7},
        {"1.5E+300", 1.5e300},
        {"-0.74364388703715870", -0.7436438870371587},
        {"0.131825904205311970000000000001", 0.13182590420531197},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_TRUE(sameBits(readBack(c.text), c.value));
    }
}

}  // namespace
}  // namespace platform
