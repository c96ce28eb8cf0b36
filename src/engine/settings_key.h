#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/settings_store.h"

namespace engine {

// The longest texts the program stores and reads back, in UTF-16 code units. They are
// limits of our own, generous enough for whatever the program writes: parameter strings
// (with room for views written to many digits) and any path the system accepts (a
// PATH_MAX of 4096 bytes of UTF-8 never takes more code units than bytes).
inline constexpr int kMaxParameterUnits = 65536;
inline constexpr int kMaxPathUnits = 4096;

// The capacity a read offers for a text of at most units code units: bytes of UTF-16
// with the terminator.
constexpr std::uint32_t textCapacityBytes(int units) {
    return (static_cast<std::uint32_t>(units) + 1) * 2;
}

// Access to the application's settings key, one self-contained transfer per call.
// Capacities are in bytes of UTF-16 text with its terminator, so a 260-byte read
// accepts at most 129 characters.
class SettingsKey {
  public:
    explicit SettingsKey(platform::SettingsStore& store);

    bool createKey();
    bool openKey();
    void closeKey();

    bool writeDword(const std::string& name, std::uint32_t value);
    bool writeString(const std::string& name, const std::string& text);
    // value is unchanged when the read fails.
    bool readDword(const std::string& name, std::uint32_t& value);
    // length: in, the capacity in bytes; out, the characters delivered, terminator
    // included. buffer is unchanged when the read fails (missing, or too long).
    bool readString(const std::string& name, std::string& buffer, std::uint32_t& length);

    // Writes made between these two calls reach the store together, in one transfer;
    // commitBatch tells whether they were stored.
    void beginBatch();
    bool commitBatch();

    const std::string& path() const { return path_; }
    platform::SettingsStore& store() { return store_; }

  private:
    bool writeValue(const std::string& name, const platform::SettingsValue& value);

    platform::SettingsStore& store_;
    std::string path_;  // "Software\Velk\Corvane", at most 128 characters
    bool open_ = false;
    std::optional<platform::SettingsKeyValues> batch_;
};

}  // namespace engine
