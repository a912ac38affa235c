#include "log/DriverLog.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "platform/Clock.h"
#include "platform/DebugOutput.h"
#include "platform/NoDestructor.h"
#include "platform/Path.h"

namespace {

constexpr std::size_t kStampCapacity = 128;
constexpr const char* kFileSource = "ZavaDED";
constexpr const char* kLogFileName = "zavaDED.log";

// Day/month/year-digit hour:minute:second. The year field is the last decimal
// digit of the year, printed with two digits (2013 gives 03): stored log files
// and the hosts reading the callback expect exactly this.
int FormatStamp(char (&stamp)[kStampCapacity], const platform::LocalTime& t) {
    return std::snprintf(stamp, sizeof stamp, "%.2d/%.2d/%.2d %.2d:%.2d:%.2d", t.day, t.month,
                         t.year % 10, t.hour, t.minute, t.second);
}

std::string FileEntry(const char* source, const char* message) {
    char stamp[kStampCapacity];
    FormatStamp(stamp, platform::Now());
    std::string entry = stamp;
    entry += '\t';
    entry += source;
    entry += '\t';
    entry += message;
    return entry;
}

// Constructs the log while the module loads, before any export can run, and
// writes its pending lines when the module unloads.
struct LoadedLog {
    LoadedLog() { DriverLog::Instance(); }
    ~LoadedLog() { DriverLog::Instance().FlushAtUnload(); }
} loadedLog;

}  // namespace

DriverLog& DriverLog::Instance() {
    // Never destroyed: grab threads of a host that exits without finalize
    // still log while the module unloads.
    static platform::NoDestructor<DriverLog> log;
    return *log;
}

void DriverLog::FlushAtUnload() {
    unloaded.store(true);
    try {
        FlushFile();
    } catch (...) {
        // Nothing can be reported at unload.
    }
}

DriverLog::~DriverLog() {
    try {
        FlushFile();
    } catch (...) {
        // Nothing can be reported at unload.
    }
}

std::string DriverLog::SystemPath() const {
    const platform::MutexLock lock(pathLock);
    return systemPath;
}

void DriverLog::SetSystemPath(const std::string& path) {
    const platform::MutexLock lock(pathLock);
    systemPath = path;
}

std::string DriverLog::IniFilePath() const {
    return platform::JoinPath(SystemPath(), "ZavaDED.ini");
}

std::string DriverLog::LogFilePath() const {
    return platform::JoinPath(SystemPath(), kLogFileName);
}

std::size_t DriverLog::PendingLineCount() const {
    const platform::CriticalSection::Lock lock(fileLock);
    return pendingLines.size();
}

void DriverLog::AddFileLine(const char* message, const char* source, bool noFlush) {
    if (source == nullptr) {
        return;
    }
    std::size_t pending = 0;
    {
        const platform::CriticalSection::Lock lock(fileLock);
        if (message != nullptr) {
            pendingLines.push_back(FileEntry(source, message));
            // A file that can never be written must not grow the memory without bound.
            if (pendingLines.size() > kMaxPendingLines) {
                pendingLines.pop_front();
                ++droppedLines;
            }
        }
        pending = pendingLines.size();
    }
    // Without a system path FlushFile leaves the lines pending. After unload
    // nothing would write a later batch.
    const bool batchDue = message == nullptr || pending > kFlushThreshold || unloaded.load();
    if (!batchDue || pending == 0 || noFlush) {
        return;
    }
    FlushFile();
}

void DriverLog::FlushFile() {
    const platform::CriticalSection::Lock lock(fileLock);
    const std::string directory = SystemPath();
    if (pendingLines.empty() || directory.empty()) {
        return;
    }
    std::FILE* file = std::fopen(platform::JoinPath(directory, kLogFileName).c_str(), "a");
    if (file == nullptr) {
        return;  // the lines stay pending; the next added line tries again
    }
    if (droppedLines > 0) {
        char note[160];
        std::snprintf(note, sizeof note,
                      "DriverLog::FlushFile: WARNING: %llu log lines were dropped while the log "
                      "file could not be written\n",
                      static_cast<unsigned long long>(droppedLines));
        std::fprintf(file, "%s\n", FileEntry(kFileSource, note).c_str());
        droppedLines = 0;
    }
    for (const std::string& entry : pendingLines) {
        std::fprintf(file, "%s\n", entry.c_str());
    }
    pendingLines.clear();
    std::fclose(file);
}

void LogMessage(DriverLog& log, int level, const char* format, ...) {
    const int logLevel = log.LogLevel();
    const int debugView = log.DebugView();
    if ((level > logLevel && level > debugView) || format == nullptr) {
        return;
    }

    // Formatting happens in storage of each call's own, so that threads can
    // log at the same time.
    char message[DriverLog::kMessageCapacity];
    va_list args;
    va_start(args, format);
    const int formatted = std::vsnprintf(message, sizeof message, format, args);
    va_end(args);
    if (formatted < 0) {
        message[0] = '\0';
    }
    // A message cut at the buffer's end stays cut: vsnprintf left it terminated.
    const std::size_t length = std::strlen(message);
    if (length >= 1 && length <= DriverLog::kMessageCapacity - 3 && message[length - 1] != '\n') {
        message[length] = '\n';
        message[length + 1] = '\0';
    }

    if (level <= debugView) {
        platform::DebugOutput(message);
    }
    if (MessageProc proc = log.GetMessageProc(); proc != nullptr && level <= logLevel) {
        char prefix[kStampCapacity];
        const int stampLength = FormatStamp(prefix, platform::Now());
        if (stampLength > 0 && static_cast<std::size_t>(stampLength) < sizeof prefix) {
            std::snprintf(prefix + stampLength,
                          sizeof prefix - static_cast<std::size_t>(stampLength), ": (%d) ", level);
        }
        if (!HoldForHost(proc, prefix, message)) {
            proc(prefix);
            proc(message);
        }
    }
    if (level <= logLevel && log.LogIntoFile()) {
        try {
            log.AddFileLine(message, kFileSource, false);
        } catch (...) {
            // The log never reports its own failures.
        }
    }
}
