#include "engine/settings_key.h"

#include "platform/string_table.h"
#include "platform/text.h"

namespace engine {

namespace {

// The key path buffer holds 128 characters.
constexpr std::size_t kPathCapacity = 128;

}  // namespace

SettingsKey::SettingsKey(platform::SettingsStore& store)
    : store_(store),
      path_(
          platform::truncateUtf16(platform::loadString(platform::kStringKeyPath), kPathCapacity)) {}

bool SettingsKey::createKey() {
    if (path_.empty())
        return false;
    open_ = store_.createKey(path_);
    return open_;
}

bool SettingsKey::openKey() {
    if (path_.empty())
        return false;
    open_ = store_.keyExists(path_);
    return open_;
}

void SettingsKey::closeKey() {
    open_ = false;
}

bool SettingsKey::writeDword(const std::string& name, std::uint32_t value) {
    return writeValue(name, platform::SettingsValue::ofNumber(value));
}

bool SettingsKey::writeString(const std::string& name, const std::string& text) {
    return writeValue(name, platform::SettingsValue::ofText(text));
}

bool SettingsKey::writeValue(const std::string& name, const platform::SettingsValue& value) {
    if (batch_) {
        if (path_.empty())
            return false;
        (*batch_)[name] = value;
        return true;
    }
    const bool created = createKey();
    // Even a store that cannot create the key takes the value, at least for as long as
    // the program runs.
    const bool stored = !path_.empty() && store_.write(path_, name, value);
    closeKey();
    return created && stored;
}

void SettingsKey::beginBatch() {
    batch_.emplace();
}

bool SettingsKey::commitBatch() {
    if (!batch_)
        return true;
    platform::SettingsKeyValues values = std::move(*batch_);
    batch_.reset();
    if (values.empty())
        return true;
    return !path_.empty() && store_.writeValues(path_, values);
}

// A text never reads as a number: its bytes are no meaningful value.
bool SettingsKey::readDword(const std::string& name, std::uint32_t& value) {
    std::optional<platform::SettingsValue> stored;
    if (openKey())
        stored = store_.read(path_, name);
    closeKey();
    if (!stored || stored->kind != platform::SettingsValue::Kind::Number)
        return false;
    value = stored->number;
    return true;
}

// A number never reads as a text, and a text that does not fit the capacity together
// with its terminator is not delivered at all.
bool SettingsKey::readString(const std::string& name, std::string& buffer, std::uint32_t& length) {
    std::optional<platform::SettingsValue> stored;
    if (openKey())
        stored = store_.read(path_, name);
    closeKey();
    if (!stored || stored->kind != platform::SettingsValue::Kind::Text)
        return false;
    const std::uint64_t characters = platform::utf16Length(stored->text) + 1;
    if (characters * 2 > length)
        return false;
    buffer = std::move(stored->text);
    length = static_cast<std::uint32_t>(characters);
    return true;
}

}  // namespace engine
