#pragma once

#include <atomic>
#include <cstddef>
#include <deque>
#include <string>

#include "ZavaDED.h"
#include "log/ExportFrame.h"
#include "platform/CriticalSection.h"
#include "platform/Mutex.h"

#if defined(__clang__)
#define ZAVADED_PRINTF(fmt, first) __attribute__((format(printf, fmt, first)))
#else
#define ZAVADED_PRINTF(fmt, first) __attribute__((format(gnu_printf, fmt, first)))
#endif

// The process-wide log, and the driver-wide state that must live from module
// load to unload: the host's system path and the count of initialize calls.
// Messages go to the debugger output, the host's message callback and the log
// file "zavaDED.log" in the system path, each by its own level switch. Any
// thread.
class DriverLog {
  public:
    static constexpr std::size_t kMessageCapacity = 1024;  // with the terminating zero
    static constexpr std::size_t kFlushThreshold = 100;    // pending lines kept before a write
    static constexpr std::size_t kMaxPendingLines = 10000;

    static DriverLog& Instance();

    DriverLog() = default;
    ~DriverLog();
    DriverLog(const DriverLog&) = delete;
    DriverLog& operator=(const DriverLog&) = delete;

    MessageProc GetMessageProc() const { return messageProc.load(std::memory_order_acquire); }
    void SetMessageProc(MessageProc proc) { messageProc.store(proc, std::memory_order_release); }

    std::string SystemPath() const;
    void SetSystemPath(const std::string& path);
    // The INI parameter file in the system path.
    std::string IniFilePath() const;
    // The log file in the system path.
    std::string LogFilePath() const;

    // Changed only by initialize and finalize, one at a time; read by any.
    int RefCount() const { return refCount.load(std::memory_order_acquire); }
    void SetRefCount(int count) { refCount.store(count, std::memory_order_release); }

    int LogLevel() const { return logLevel.load(std::memory_order_relaxed); }
    // Whether a message of this level goes anywhere: LogMessage's own first
    // check, for callers that would otherwise work to make the message.
    bool Logs(int level) const { return level <= LogLevel() || level <= DebugView(); }
    void SetLogLevel(int level) { logLevel.store(level, std::memory_order_relaxed); }
    int DebugView() const { return debugView.load(std::memory_order_relaxed); }
    void SetDebugView(int level) { debugView.store(level, std::memory_order_relaxed); }
    bool LogIntoFile() const { return logIntoFile.load(std::memory_order_relaxed); }
    void SetLogIntoFile(bool on) { logIntoFile.store(on, std::memory_order_relaxed); }

    // Stamps a message and queues it for the log file; the file is written
    // once more than kFlushThreshold lines are pending. A null message forces
    // the write.
    void AddFileLine(const char* message, const char* source, bool noFlush);
    // Appends every pending line to the log file.
    void FlushFile();
    // The module unloads: pending lines are written, and so is every line
    // that a thread still running logs after that, at once.
    void FlushAtUnload();

    std::size_t PendingLineCount() const;

  private:
    std::atomic<MessageProc> messageProc{nullptr};
    mutable platform::Mutex pathLock;  // systemPath is read by grab threads as they log
    std::string systemPath GUARDED_BY(pathLock);
    std::atomic<int> refCount{0};
    std::atomic<int> logLevel{1};
    std::atomic<bool> logIntoFile{false};
    std::atomic<int> debugView{1};
    // The file itself too: one thread at a time appends to it.
    mutable platform::CriticalSection fileLock;
    std::deque<std::string> pendingLines GUARDED_BY(fileLock);
    std::size_t droppedLines GUARDED_BY(fileLock) = 0;
    std::atomic<bool> unloaded{false};
};

// Reports one printf-style message at a level: 1 errors and key events, 2
// entering and leaving, 3 detail, 4 per-row trace.
void LogMessage(DriverLog& log, int level, const char* format, ...) ZAVADED_PRINTF(3, 4);

// For "%s" arguments that may be null.
inline const char* TextOrNull(const char* text) {
    return text != nullptr ? text : "(null)";
}
