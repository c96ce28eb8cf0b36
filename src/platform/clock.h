#pragma once

#include <cstdint>
#include <string>

namespace platform {

// Milliseconds of a steady clock, wrapping as an unsigned 32-bit number.
std::uint32_t tickCount();

// A local date and time.
struct LocalTime {
    int year = 0;
    int month = 0;      // 1..12
    int dayOfWeek = 0;  // 0 = Sunday
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
    friend bool operator==(const LocalTime&, const LocalTime&) = default;
};

LocalTime localTime();

// A time of day in the user's locale (LC_TIME from the environment).
std::string formatTimeOfDay(const LocalTime& time);

void sleepMs(unsigned milliseconds);

}  // namespace platform
