#include "LogCapture.h"

#include <algorithm>
#include <map>
#include <mutex>
#include <thread>

#include "TempDir.h"
#include "platform/DebugOutput.h"
#include "platform/NoDestructor.h"

namespace testing_support {
namespace {

// What the captures received. Never destroyed: a grab thread of a test that
// exits without cleanup may still log while the statics go.
struct Captured {
    std::mutex lock;
    std::vector<std::string> callbackTexts;        // prefix, message, prefix, message, ...
    std::vector<std::thread::id> callbackThreads;  // one per message: the thread that logged it
    // Each message reaches the callback as two calls, prefix then text, on
    // the thread that logged it; threads may interleave their pairs. The
    // prefixes wait here rather than in a thread_local string: under mingw, a
    // thread_local's destructor runs at thread exit with the runtime's key
    // lock held and then needs the loader lock, which deadlocks against a
    // thread that ends meanwhile.
    std::map<std::thread::id, std::string> pendingPrefixes;
    std::vector<std::string> debugTexts;
};
Captured& TheCaptured() {
    static platform::NoDestructor<Captured> captured;
    return *captured;
}
std::mutex& captureLock = TheCaptured().lock;
std::vector<std::string>& callbackTexts = TheCaptured().callbackTexts;
std::vector<std::thread::id>& callbackThreads = TheCaptured().callbackThreads;
std::map<std::thread::id, std::string>& pendingPrefixes = TheCaptured().pendingPrefixes;
std::vector<std::string>& debugTexts = TheCaptured().debugTexts;
platform::LocalTime fixedTime;

void DebugSink(const char* text) {
    std::lock_guard<std::mutex> lock(captureLock);
    debugTexts.emplace_back(text);
}

platform::LocalTime FixedNow() {
    return fixedTime;
}

void ResetLog(DriverLog& log) {
    log.SetMessageProc(nullptr);
    log.SetLogLevel(1);
    log.SetDebugView(1);
    log.SetLogIntoFile(false);
    log.SetSystemPath("");
}

}  // namespace

void LogCapture::MessageProcForTest(const char* text) {
    std::string received = text != nullptr ? text : "";
    std::lock_guard<std::mutex> lock(captureLock);
    const auto pending = pendingPrefixes.find(std::this_thread::get_id());
    if (pending == pendingPrefixes.end()) {
        pendingPrefixes.emplace(std::this_thread::get_id(), std::move(received));
        return;
    }
    callbackTexts.push_back(std::move(pending->second));
    callbackTexts.push_back(std::move(received));
    callbackThreads.push_back(std::this_thread::get_id());
    pendingPrefixes.erase(pending);
}

LogCapture::LogCapture(int logLevel, int debugView) {
    Clear();
    DriverLog& log = DriverLog::Instance();
    ResetLog(log);
    log.SetLogLevel(logLevel);
    log.SetDebugView(debugView);
    log.SetMessageProc(&LogCapture::MessageProcForTest);
    platform::SetDebugOutputSinkForTesting(&DebugSink);
}

LogCapture::~LogCapture() {
    // Lines a test left pending would leak into the next test's file.
    DriverLog& log = DriverLog::Instance();
    if (log.PendingLineCount() > 0) {
        TempDir drain;
        log.SetSystemPath(drain.Path());
        log.FlushFile();
    }
    ResetLog(log);
    platform::SetDebugOutputSinkForTesting(nullptr);
}

std::vector<std::string> LogCapture::Messages() const {
    std::lock_guard<std::mutex> lock(captureLock);
    std::vector<std::string> messages;
    for (std::size_t i = 1; i < callbackTexts.size(); i += 2) {
        messages.push_back(callbackTexts[i]);
    }
    return messages;
}

std::vector<std::string> LogCapture::MessagesOfThisThread() const {
    std::lock_guard<std::mutex> lock(captureLock);
    std::vector<std::string> messages;
    for (std::size_t i = 0; i < callbackThreads.size(); ++i) {
        if (callbackThreads[i] == std::this_thread::get_id()) {
            messages.push_back(callbackTexts[2 * i + 1]);
        }
    }
    return messages;
}

std::vector<std::string> LogCapture::Prefixes() const {
    std::lock_guard<std::mutex> lock(captureLock);
    std::vector<std::string> prefixes;
    for (std::size_t i = 0; i < callbackTexts.size(); i += 2) {
        prefixes.push_back(callbackTexts[i]);
    }
    return prefixes;
}

std::vector<std::string> LogCapture::DebugOutput() const {
    std::lock_guard<std::mutex> lock(captureLock);
    return debugTexts;
}

bool LogCapture::Contains(const std::string& text) const {
    return IndexOf(text) >= 0;
}

int LogCapture::Count(const std::string& text) const {
    const auto messages = Messages();
    return static_cast<int>(std::count(messages.begin(), messages.end(), text));
}

int LogCapture::IndexOf(const std::string& text) const {
    const auto messages = Messages();
    const auto found = std::find(messages.begin(), messages.end(), text);
    return found == messages.end() ? -1 : static_cast<int>(found - messages.begin());
}

void LogCapture::Clear() {
    std::lock_guard<std::mutex> lock(captureLock);
    callbackTexts.clear();
    callbackThreads.clear();
    debugTexts.clear();
}

FixedClock::FixedClock(platform::LocalTime time) {
    fixedTime = time;
    platform::SetClockForTesting(&FixedNow);
}

FixedClock::~FixedClock() {
    platform::SetClockForTesting(nullptr);
}

}  // namespace testing_support
