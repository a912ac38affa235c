#pragma once

#include <cstdint>

namespace platform {

// A calendar time as the log stamps need it: month 1..12, hour 0..23.
struct LocalTime {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// The local time now, from the clock installed for tests if there is one.
LocalTime Now();

using ClockFunction = LocalTime (*)();

// Replaces the system clock (null restores it). For tests only.
void SetClockForTesting(ClockFunction clock);

// Milliseconds since the module was loaded.
std::int64_t MillisecondsSinceStart();

}  // namespace platform
