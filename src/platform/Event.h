#pragma once

#include <chrono>
#include <optional>

#ifdef _WIN32
#include <windows.h>
#else
#include <condition_variable>

#include "platform/Mutex.h"
#endif

namespace platform {

// An unnamed auto-reset event, created non-signalled: one Wait is released by
// one Set, and a Set with nobody waiting is kept for the next Wait.
class AutoResetEvent {
  public:
    AutoResetEvent();
    ~AutoResetEvent();
    AutoResetEvent(const AutoResetEvent&) = delete;
    AutoResetEvent& operator=(const AutoResetEvent&) = delete;

    // False when the system could not create the event.
    bool IsValid() const;
    void Set();
    void Reset();
    // Waits until signalled (consuming the signal) or the timeout passes;
    // without a timeout it waits for ever. True when signalled.
    bool Wait(std::optional<std::chrono::milliseconds> timeout = std::nullopt);

  private:
#ifdef _WIN32
    HANDLE handle;
#else
    Mutex mutex;
    std::condition_variable signal;
    bool signalled GUARDED_BY(mutex) = false;
#endif
};

}  // namespace platform
