#pragma once

namespace platform {

// Sends a text to the debugger output: OutputDebugStringA on Windows; on POSIX
// standard error when ZAVADED_DEBUG_OUTPUT is "1", otherwise nowhere.
void DebugOutput(const char* text);

using DebugOutputSink = void (*)(const char* text);

// Redirects the debugger output (null restores it). For tests only.
void SetDebugOutputSinkForTesting(DebugOutputSink sink);

}  // namespace platform
