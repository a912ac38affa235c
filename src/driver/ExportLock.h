#pragma once

#include <functional>
#include <optional>
#include <vector>

#include "log/DriverLog.h"

// One export at a time works on the registry and the cameras, from whatever
// threads the host calls. The host's code never runs while the lock is held,
// since the host may call an export from it or wait for another thread that
// does: messages for the host's callback are held back until the export lets
// go of the lock, and so is the wait for a grab thread, which may be inside
// one of the host's callbacks. The lock is taken again freely by the thread
// that holds it.
class ExportLock {
  public:
    ExportLock() noexcept;
    ~ExportLock();
    ExportLock(const ExportLock&) = delete;
    ExportLock& operator=(const ExportLock&) = delete;

    // Whether the calling thread holds the lock.
    static bool IsHeld() noexcept;
    // Runs work once the calling thread has let go of the lock, in the order
    // given, or at once when it holds none.
    static void AfterRelease(std::function<void()> work);

    // Lets go of the lock for its lifetime, so that host code can run (a
    // modal dialog's message loop), and takes it again at its end.
    class Released {
      public:
        Released() noexcept;
        ~Released();
        Released(const Released&) = delete;
        Released& operator=(const Released&) = delete;

      private:
        ExportLock* outermost;
    };

  private:
    void Acquire() noexcept;
    // Lets go of the mutex and delivers what waited for that.
    void Release() noexcept;

    bool outermost = false;
    std::optional<HostMessageHold> messages;
    std::vector<std::function<void()>> afterRelease;
};
