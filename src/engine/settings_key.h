#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/settings_store.h"

namespace engine {

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
