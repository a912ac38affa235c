#pragma once

#ifdef _WIN32
#include <windows.h>
#else
#include <mutex>
#endif

#include "platform/ThreadAnnotations.h"

namespace platform {

// A recursive lock: a Win32 critical section, or its POSIX equivalent.
class CAPABILITY("critical section") CriticalSection {
  public:
    CriticalSection();
    ~CriticalSection();
    CriticalSection(const CriticalSection&) = delete;
    CriticalSection& operator=(const CriticalSection&) = delete;

    void lock() ACQUIRE();
    void unlock() RELEASE();

    // Holds the critical section for its scope.
    class SCOPED_CAPABILITY Lock {
      public:
        explicit Lock(CriticalSection& section) ACQUIRE(section) : held(section) { held.lock(); }
        ~Lock() RELEASE() { held.unlock(); }
        Lock(const Lock&) = delete;
        Lock& operator=(const Lock&) = delete;

      private:
        CriticalSection& held;
    };

  private:
#ifdef _WIN32
    CRITICAL_SECTION section;
#else
    std::recursive_mutex mutex;
#endif
};

}  // namespace platform
