#pragma once

// The driver's threading rules, which the annotations below and in the other
// layers state and clang's thread-safety analysis checks (see
// platform/ThreadAnnotations.h; CI compiles the driver with
// -Wthread-safety -Werror):
//
// 1. One export at a time works on the registry and the cameras, from
//    whatever threads the host calls: everything it works on is
//    GUARDED_BY(exportLock), and what works on it REQUIRES(exportLock).
// 2. The host's code never runs under the export lock, since the host may
//    call an export from it or wait for another thread that does. What runs
//    host code (a sheet, a callback) or waits for a grab thread (which may be
//    inside the host's code) EXCLUDES(exportLock). Messages for the host's
//    message callback are held back until the export lets go of the lock;
//    the wait for a grab thread is put off until then (AfterRelease).
// 3. A grab thread never takes the export lock. It works only on what it
//    shares with its camera: atomics, a stop gate and buffers that it keeps
//    alive itself (camera/GrabThread.h, camera/ImageTransfer.h).
// 4. The sheet lets go of the lock while the host's windows run
//    (ExportLock::Released), and looks its camera up again afterwards: the
//    camera may be gone by then.
// 5. The log serialises its own output and may be used from any thread,
//    with or without the lock.
//
// The words used for classes: "under the export lock" (reached only while
// the lock is held), "any thread" (thread-safe), "grab thread" (runs there).

#include <memory>
#include <vector>

#include "ZavaDED.h"
#include "platform/ThreadAnnotations.h"

// The export lock as the analysis names it: one per process. Only ExportLock
// and ExportLock::Released take it and let it go.
class CAPABILITY("export lock") ExportLockCapability {
  public:
    constexpr ExportLockCapability() = default;
    ExportLockCapability(const ExportLockCapability&) = delete;
    ExportLockCapability& operator=(const ExportLockCapability&) = delete;
};
extern ExportLockCapability exportLock;

// Holds the export lock for its scope. The lock is taken again freely by the
// thread that holds it (the inner holder then does nothing), so that a broken
// rule shows as a checker error, not as a host that hangs.
class SCOPED_CAPABILITY ExportLock {
  public:
    ExportLock() noexcept ACQUIRE(exportLock);
    ~ExportLock() RELEASE();
    ExportLock(const ExportLock&) = delete;
    ExportLock& operator=(const ExportLock&) = delete;

    // Work put off until the thread that holds the lock lets go of it. Made
    // ahead of time, so that putting it off needs no memory.
    class Deferred {
      public:
        virtual ~Deferred() = default;
        virtual void Run() noexcept EXCLUDES(exportLock) = 0;

      private:
        friend class ExportLock;
        std::unique_ptr<Deferred> next;
    };
    // Runs work once the calling thread has let go of the lock, in the order
    // given, or at once when it holds none (a test that calls the camera
    // layer directly).
    static void AfterRelease(std::unique_ptr<Deferred> work) noexcept REQUIRES(exportLock);

    // Lets go of the lock for its scope, so that host code can run (a modal
    // dialog's message loop), and takes it again at its end.
    class SCOPED_CAPABILITY Released {
      public:
        Released() noexcept RELEASE(exportLock);
        ~Released() RELEASE();
        Released(const Released&) = delete;
        Released& operator=(const Released&) = delete;

      private:
        ExportLock* outermost;
    };

    // A message for the host's callback, held back (see HoldForHost).
    struct HeldMessage;

  private:
    void Acquire() noexcept;
    // Lets go of the mutex, then hands the held messages to the host and
    // runs what was put off.
    void Release() noexcept;

    bool outermost = false;
    std::vector<HeldMessage> held;
    std::unique_ptr<Deferred> afterRelease;
    Deferred* lastDeferred = nullptr;
};

// Keeps a message for the host's callback until the calling thread lets go of
// the export lock; false when it holds none, and the caller delivers it at
// once. Used by LogMessage.
bool HoldForHost(MessageProc proc, const char* prefix, const char* message) noexcept;
