#include "engine/settings_key.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/temp_folder.h"
#include "platform/text.h"

namespace engine {
namespace {

using platform::SettingsValue;

const std::string kKey = "Software\\Velk\\Corvane";
const std::string kGrin = "\xF0\x9F\x98\x80";  // two UTF-16 units

std::string repeat(const std::string& s, int n) {
    std::string out;
    for (int i = 0; i < n; ++i)
        out += s;
    return out;
}

TEST(SettingsKey, ReadsFailWithoutTheKeyAndLeaveTheCallersValues) {
    platform::MemorySettingsStore store;
    SettingsKey key(store);
    EXPECT_EQ(key.path(), kKey);
    std::uint32_t number = 2000;
    std::string text = "default";
    std::uint32_t length = 260;
    EXPECT_FALSE(key.readDword("SlideshowDelay", number));
    EXPECT_FALSE(key.readString("ImagePath", text, length));
    EXPECT_EQ(number, 2000u);
    EXPECT_EQ(text, "default");
    EXPECT_FALSE(store.keyExists(kKey)) << "reads never create the key";
    EXPECT_FALSE(key.openKey());
}

TEST(SettingsKey, FirstWriteCreatesTheKeyInAFileStore) {
    testing_support::TempFolder folder;
    platform::FileSettingsStore store(folder.file("Velk/Corvane.reg"));
    ASSERT_TRUE(SettingsKey(store).writeDword("AnimZoom", 1));

    platform::FileSettingsStore again(folder.file("Velk/Corvane.reg"));
    std::uint32_t value = 7;
    EXPECT_TRUE(SettingsKey(again).readDword("AnimZoom", value));
    EXPECT_EQ(value, 1u);
}

TEST(SettingsKey, StringFitsOnlyWithItsTerminatorInUtf16Bytes) {
    struct Case {
        std::string text;
        std::uint32_t capacity;
        bool fits;
    };
    const Case cases[] = {
        {std::string(129, 'p'), 260, true},  // 260 bytes: 129 characters
        {std::string(130, 'p'), 260, false},
        {std::string(126, 'm'), 255, true},  // an odd capacity rounds down
        {std::string(127, 'm'), 255, false},
        {repeat("\xC3\xA9", 129), 260, true},  // two UTF-8 bytes, one unit
        {repeat(kGrin, 64), 260, true},        // 128 units
        {repeat(kGrin, 65), 260, false},       // 130 units
        // The program's own limits.
        {std::string(kMaxPathUnits, 'p'), textCapacityBytes(kMaxPathUnits), true},
        {std::string(kMaxPathUnits + 1, 'p'), textCapacityBytes(kMaxPathUnits), false},
        {repeat("\xE2\x82\xAC", kMaxPathUnits), textCapacityBytes(kMaxPathUnits), true},
        {std::string(kMaxParameterUnits, 'm'), textCapacityBytes(kMaxParameterUnits), true},
        {std::string(kMaxParameterUnits + 1, 'm'), textCapacityBytes(kMaxParameterUnits), false},
        {"", 2, true},
        {"", 1, false},
        {"", 0, false},
    };
    for (const Case& c : cases) {
        platform::MemorySettingsStore store;
        SettingsKey key(store);
        ASSERT_TRUE(key.writeString("Value", c.text));
        std::string buffer = "before";
        std::uint32_t length = c.capacity;
        EXPECT_EQ(key.readString("Value", buffer, length), c.fits)
            << c.text.size() << " bytes in " << c.capacity;
        if (c.fits) {
            EXPECT_EQ(buffer, c.text);
            EXPECT_EQ(length, platform::utf16Length(c.text) + 1);
        } else {
            EXPECT_EQ(buffer, "before");
        }
    }
}

TEST(SettingsKey, EmptyTextIsStoredAsATextValue) {
    platform::MemorySettingsStore store;
    SettingsKey key(store);
    ASSERT_TRUE(key.writeString("Palette", ""));
    EXPECT_EQ(store.read(kKey, "Palette"), SettingsValue::ofText(""));
    std::string buffer = "x";
    std::uint32_t length = 260;
    EXPECT_TRUE(key.readString("Palette", buffer, length));
    EXPECT_EQ(buffer, "");
    EXPECT_EQ(length, 1u);
}

// A number read as text, or text read as a number, has no meaningful value.
TEST(SettingsKey, ValuesOfTheOtherTypeDoNotRead) {
    platform::MemorySettingsStore store;
    SettingsKey key(store);
    ASSERT_TRUE(key.writeString("Fractal", "5"));
    ASSERT_TRUE(key.writeDword("ImagePath", 42));
    std::uint32_t number = 9;
    EXPECT_FALSE(key.readDword("Fractal", number));
    EXPECT_EQ(number, 9u);
    std::string text = "kept";
    std::uint32_t length = 260;
    EXPECT_FALSE(key.readString("ImagePath", text, length));
    EXPECT_EQ(text, "kept");
}

TEST(SettingsKey, WriteFailsWhenTheStoreCannotBeWritten) {
    testing_support::TempFolder folder;
    platform::FileSettingsStore store(folder.write("file", "x") + "/Corvane.reg");
    SettingsKey key(store);
    EXPECT_FALSE(key.writeDword("Alarm", 1));
    EXPECT_FALSE(key.writeString("Palette", "/p.pal"));
}

}  // namespace
}  // namespace engine
