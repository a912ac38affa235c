#pragma once

// The driver's threading rules, which the annotations below and in the other
// layers state and clang's thread-safety analysis checks (see
// platform/ThreadAnnotations.h; CI compiles the driver with
// -Wthread-safety -Werror):
//
// 1. Locks follow what they guard. The registry (which cameras exist, by
//    name) is under the registry lock, held only for lookups and never while
//    ZUR is called; initialize and finalize are serialised by the lifecycle
//    lock. Each camera is under its own lock, so exports on different
//    cameras never wait for each other. A lookup lets go of the registry
//    lock before it takes a camera's, so the two are never held together;
//    the lifecycle lock comes before either, a camera's before its row
//    slot's, and the locks of the log, the INI file and refused handles
//    come last.
// 2. The host's code never runs under a driver lock, since the host may call
//    an export from it or wait for another thread that does. Every export
//    runs in an export frame; locks are taken only inside one, and what runs
//    host code (a sheet, a callback) or waits for a grab thread (which may be
//    inside the host's code) EXCLUDES(exportFrame). Messages for the host's
//    message callback are held back until the frame ends, after its locks
//    are let go; so is the wait for a grab thread (AfterExit).
// 3. A grab thread works only on what it shares with its camera: atomics, a
//    stop gate and buffers that it keeps alive itself (camera/GrabThread.h,
//    camera/ImageTransfer.h). It takes its camera's lock only to open a lost
//    device again, and then only with a try-lock, under the stop gate while
//    no stop was requested, and inside a frame of its own: a close never
//    waits for it, and the host's message callback runs after it let go.
// 4. The sheet leaves the frame, and lets go of its camera, while the host's
//    windows run (ExportFrame::Suspended), and finds its camera retired if
//    finalize ran meanwhile.
// 5. getCVLGrabRow reaches an open camera's image through the camera's row
//    slot (camera/RowSlot.h), whose one lock only that camera's image work
//    takes. The log serialises its own output and may be used from any
//    thread, with or without locks.
//
// The words used for classes: "under the camera's lock", "any thread"
// (thread-safe), "grab thread" (runs there).

#include <memory>
#include <vector>

#include "ZavaDED.h"
#include "platform/ThreadAnnotations.h"

// The export frame as the analysis names it. Only ExportFrame and
// ExportFrame::Suspended enter it and leave it.
class CAPABILITY("export frame") ExportFrameCapability {
  public:
    constexpr ExportFrameCapability() = default;
    ExportFrameCapability(const ExportFrameCapability&) = delete;
    ExportFrameCapability& operator=(const ExportFrameCapability&) = delete;
};
extern ExportFrameCapability exportFrame;

// An export's frame, for its scope: what it logs for the host and what it
// puts off wait until the frame ends. A frame entered inside another does
// nothing, so that a broken rule shows as a checker error, not as a host
// that hangs. Costs no lock and, while nothing is held back, no memory.
class SCOPED_CAPABILITY ExportFrame {
  public:
    ExportFrame() noexcept ACQUIRE(exportFrame);
    ~ExportFrame() RELEASE();
    ExportFrame(const ExportFrame&) = delete;
    ExportFrame& operator=(const ExportFrame&) = delete;

    // Work put off until the frame ends. Made ahead of time, so that putting
    // it off needs no memory.
    class Deferred {
      public:
        virtual ~Deferred() = default;
        virtual void Run() noexcept EXCLUDES(exportFrame) = 0;

      private:
        friend class ExportFrame;
        std::unique_ptr<Deferred> next;
    };
    // Runs work once the calling thread's frame has ended, in the order
    // given, or at once when it is in none (a test that calls the camera
    // layer directly).
    static void AfterExit(std::unique_ptr<Deferred> work) noexcept REQUIRES(exportFrame);

    // Leaves the frame for its scope, so that host code can run (a modal
    // dialog's message loop), and enters it again at its end. The caller
    // lets go of its locks first.
    class SCOPED_CAPABILITY Suspended {
      public:
        Suspended() noexcept RELEASE(exportFrame);
        ~Suspended() RELEASE();
        Suspended(const Suspended&) = delete;
        Suspended& operator=(const Suspended&) = delete;

      private:
        ExportFrame* outermost;
    };

    // A message for the host's callback, held back (see HoldForHost).
    struct HeldMessage;

  private:
    void Enter() noexcept;
    // Hands the held messages to the host and runs what was put off.
    void Exit() noexcept;

    bool outermost = false;
    std::vector<HeldMessage> held;
    std::unique_ptr<Deferred> afterExit;
    Deferred* lastDeferred = nullptr;
};

// Keeps a message for the host's callback until the calling thread's frame
// ends; false when it is in none, and the caller delivers it at once. Used by
// LogMessage.
bool HoldForHost(MessageProc proc, const char* prefix, const char* message) noexcept;
