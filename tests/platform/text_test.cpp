#include "platform/text.h"

#include <gtest/gtest.h>

#include <string>

namespace platform {
namespace {

const std::string kEAcute = "\xC3\xA9";        // U+00E9, one unit
const std::string kEuro = "\xE2\x82\xAC";      // U+20AC, one unit
const std::string kGrin = "\xF0\x9F\x98\x80";  // U+1F600, a surrogate pair

TEST(Text, CountsUtf16UnitsAndReplacesEachBrokenSequence) {
    struct Case {
        const char* what;
        std::string utf8;
        std::u16string utf16;
    };
    const Case cases[] = {
        {"empty", "", u""},
        {"ascii", "Corvane", u"Corvane"},
        {"two and three bytes", kEAcute + kEuro, u"\u00E9\u20AC"},
        {"outside the BMP", "a" + kGrin, u"a\U0001F600"},
        {"lone continuation byte", "a\x80z", u"a\uFFFDz"},
        {"truncated at the end", "a\xE2\x82", u"a\uFFFD\uFFFD"},
        {"overlong slash", "\xC0\xAF", u"\uFFFD"},
        {"encoded surrogate", "\xED\xA0\x80", u"\uFFFD"},
        {"beyond U+10FFFF", "\xF4\x90\x80\x80", u"\uFFFD"},
        {"invalid lead byte", "\xFF", u"\uFFFD"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(toUtf16(c.utf8), c.utf16) << c.what;
        EXPECT_EQ(utf16Length(c.utf8), c.utf16.size()) << c.what;
    }
}

TEST(Text, FromUtf16JoinsPairsAndReplacesUnpairedSurrogates) {
    EXPECT_EQ(fromUtf16(u"x\U0001F600"
                        u"\u00E9"),
              "x" + kGrin + kEAcute);
    EXPECT_EQ(fromUtf16(std::u16string{u'a', char16_t{0xD83D}, u'b'}),
              "a\xEF\xBF\xBD"
              "b");
    EXPECT_EQ(fromUtf16(std::u16string{char16_t{0xDE00}}), "\xEF\xBF\xBD");
    EXPECT_EQ(fromUtf16(std::u16string{char16_t{0xD83D}}), "\xEF\xBF\xBD");
    const std::string mixed = "Fraktal " + kEuro + kGrin + kEAcute;
    EXPECT_EQ(fromUtf16(toUtf16(mixed)), mixed);
}

TEST(Text, TruncateNeverSplitsACharacter) {
    struct Case {
        std::string utf8;
        std::size_t maxUnits;
        std::string expected;
    };
    const Case cases[] = {
        {"abcdef", 3, "abc"},
        {"abc", 10, "abc"},
        {"abc", 0, ""},
        {"a" + kGrin + "b", 2, "a"},
        {"a" + kGrin + "b", 3, "a" + kGrin},
        {kEAcute + kEuro, 1, kEAcute},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(truncateUtf16(c.utf8, c.maxUnits), c.expected) << c.utf8 << " / " << c.maxUnits;
    }
}

}  // namespace
}  // namespace platform
