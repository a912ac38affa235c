#include "ui/gtk/GtkLog.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>

namespace gtk_log {
namespace {

std::atomic<void (*)(int, const char*)> logSink{nullptr};

}  // namespace

void SetSink(void (*sink)(int level, const char* message)) {
    logSink.store(sink, std::memory_order_release);
}

void Log(int level, const char* format, ...) {
    void (*sink)(int, const char*) = logSink.load(std::memory_order_acquire);
    if (sink == nullptr) {
        return;
    }
    char message[DriverLog::kMessageCapacity];
    va_list args;
    va_start(args, format);
    const int formatted = std::vsnprintf(message, sizeof message, format, args);
    va_end(args);
    if (formatted >= 0) {
        sink(level, message);
    }
}

}  // namespace gtk_log
