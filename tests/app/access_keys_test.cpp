#include "app/access_keys.h"

#include <gtest/gtest.h>

#include <ostream>

namespace {

struct AccessKeyCase {
    const char* name;
    std::vector<std::string> texts;
    std::vector<std::string> expected;
};

void PrintTo(const AccessKeyCase& c, std::ostream* out) {
    *out << c.name;
}

class AccessKeys : public testing::TestWithParam<AccessKeyCase> {};

TEST_P(AccessKeys, MarksOneFreeKeyPerText) {
    EXPECT_EQ(app::withAccessKeys(GetParam().texts), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Dialogs, AccessKeys,
    testing::Values(
        AccessKeyCase{"WordStarts", {"OK", "Default", "Cancel"}, {"&OK", "&Default", "&Cancel"}},
        AccessKeyCase{
            "TakenStartUsesALaterWordStart", {"Cancel", "Rnd. color"}, {"&Cancel", "&Rnd. color"}},
        AccessKeyCase{
            "TakenWordStartsUseAnyFreeLetter", {"Delay:", "Default"}, {"&Delay:", "D&efault"}},
        AccessKeyCase{"CaseDoesNotMakeANewKey", {"xmin:", "Xmax:"}, {"&xmin:", "X&max:"}},
        AccessKeyCase{"LiteralAmpersandDoubled", {"Fire & ice"}, {"&Fire && ice"}},
        AccessKeyCase{"NothingFreeGetsNoKey", {"ab", "ba", "a&b"}, {"&ab", "&ba", "a&&b"}},
        AccessKeyCase{"NonAsciiNeverAKey", {"\xC3\xA9t\xC3\xA9"}, {"\xC3\xA9&t\xC3\xA9"}}),
    [](const testing::TestParamInfo<AccessKeyCase>& info) { return info.param.name; });

}  // namespace
