#pragma once

#include <string>
#include <vector>

#include "log/DriverLog.h"
#include "platform/Clock.h"

namespace testing_support {

// Puts the process-wide log into a known state for one test and records what
// reaches the host callback and the debugger output. Restores the log's
// initial state at destruction. One at a time.
class LogCapture {
  public:
    // logLevel and debugView for the test; the host callback is installed.
    explicit LogCapture(int logLevel = 4, int debugView = 0);
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    // Messages that reached the host callback, without their prefixes.
    std::vector<std::string> Messages() const;
    // The messages that the calling thread logged: an export's own, without
    // what a grab thread logged meanwhile.
    std::vector<std::string> MessagesOfThisThread() const;
    // Prefixes that reached the host callback, one per message.
    std::vector<std::string> Prefixes() const;
    // Texts that reached the debugger output.
    std::vector<std::string> DebugOutput() const;
    // Whether a message equal to text reached the host callback.
    bool Contains(const std::string& text) const;
    // How many messages equal to text reached the host callback.
    int Count(const std::string& text) const;
    // Index of the first message equal to text, or -1.
    int IndexOf(const std::string& text) const;
    void Clear();

    static void MessageProcForTest(const char* text);
};

// Fixes the log's clock at one local time for the lifetime of the object.
class FixedClock {
  public:
    explicit FixedClock(platform::LocalTime time);
    ~FixedClock();
    FixedClock(const FixedClock&) = delete;
    FixedClock& operator=(const FixedClock&) = delete;
};

}  // namespace testing_support
