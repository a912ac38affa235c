#pragma once

#ifdef _WIN32
#include <windows.h>
#else
#include <mutex>
#endif

namespace platform {

// A recursive lock: a Win32 critical section, or its POSIX equivalent.
// Meets BasicLockable, so std::lock_guard works with it.
class CriticalSection {
  public:
    CriticalSection();
    ~CriticalSection();
    CriticalSection(const CriticalSection&) = delete;
    CriticalSection& operator=(const CriticalSection&) = delete;

    void lock();
    void unlock();

  private:
#ifdef _WIN32
    CRITICAL_SECTION section;
#else
    std::recursive_mutex mutex;
#endif
};

}  // namespace platform
