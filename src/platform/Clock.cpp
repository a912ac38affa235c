#include "platform/Clock.h"

#include <atomic>
#include <chrono>
#include <ctime>

#ifdef _WIN32
#include <windows.h>
#endif

namespace platform {
namespace {

std::atomic<ClockFunction> testClock{nullptr};
const auto moduleStart = std::chrono::steady_clock::now();

LocalTime SystemNow() {
    LocalTime t;
#ifdef _WIN32
    SYSTEMTIME st;
    GetLocalTime(&st);
    t.year = st.wYear;
    t.month = st.wMonth;
    t.day = st.wDay;
    t.hour = st.wHour;
    t.minute = st.wMinute;
    t.second = st.wSecond;
#else
    std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    t.year = tm.tm_year + 1900;
    t.month = tm.tm_mon + 1;
    t.day = tm.tm_mday;
    t.hour = tm.tm_hour;
    t.minute = tm.tm_min;
    t.second = tm.tm_sec;
#endif
    return t;
}

}  // namespace

LocalTime Now() {
    ClockFunction clock = testClock.load(std::memory_order_acquire);
    return clock != nullptr ? clock() : SystemNow();
}

void SetClockForTesting(ClockFunction clock) {
    testClock.store(clock, std::memory_order_release);
}

std::int64_t MillisecondsSinceStart() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 moduleStart)
        .count();
}

}  // namespace platform
