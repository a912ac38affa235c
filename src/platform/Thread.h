#pragma once

#include <chrono>
#include <cstdint>
#include <memory>

#ifdef _WIN32
#include <windows.h>
#endif

namespace platform {

// A thread that starts at once and can be waited for with a time limit. A
// thread that is still running when the Thread is destroyed runs on, detached.
class Thread {
  public:
    using Entry = std::uint32_t (*)(void* parameter);

    Thread() = default;
    ~Thread();
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;

    // Starts entry(parameter) with default security and stack size. False
    // when the system could not create the thread.
    bool Start(Entry entry, void* parameter);
    bool IsStarted() const;
    // A number that identifies the thread in log lines.
    std::intptr_t HandleValue() const;
    // Whether the caller runs on this thread.
    bool IsCurrent() const;
    // True when the thread has ended within the timeout.
    bool Join(std::chrono::milliseconds timeout);
    // Gives up the handle; a thread still running runs on, detached.
    void Close();

  private:
#ifdef _WIN32
    HANDLE handle = nullptr;
#else
    struct State;
    std::shared_ptr<State> state;
#endif
};

}  // namespace platform
