#include "platform/DebugOutput.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#ifdef _WIN32
#include <windows.h>
#endif

namespace platform {
namespace {

std::atomic<DebugOutputSink> testSink{nullptr};

#ifndef _WIN32
bool StandardErrorEnabled() {
    static const bool enabled = [] {
        const char* flag = std::getenv("ZAVADED_DEBUG_OUTPUT");
        return flag != nullptr && std::strcmp(flag, "1") == 0;
    }();
    return enabled;
}
#endif

}  // namespace

void DebugOutput(const char* text) {
    if (text == nullptr) {
        return;
    }
    if (DebugOutputSink sink = testSink.load(std::memory_order_acquire); sink != nullptr) {
        sink(text);
        return;
    }
#ifdef _WIN32
    OutputDebugStringA(text);
#else
    if (StandardErrorEnabled()) {
        std::fputs(text, stderr);
    }
#endif
}

void SetDebugOutputSinkForTesting(DebugOutputSink sink) {
    testSink.store(sink, std::memory_order_release);
}

}  // namespace platform
