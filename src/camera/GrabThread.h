#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "camera/AcquisitionControl.h"

class Camera;
class DriverLog;

namespace platform {
class Thread;
}

// One open camera's acquisition thread: it waits for a grab request, has ZUR
// fill the Zaze buffer, copies or converts the image into the destination
// buffer and calls the host's completion callback.
//
// The thread works only on what it shares with its owner (the request flags,
// the image buffers, the grab event), which it keeps alive itself, and never
// holds a lock while the host's code runs. So a close waits for it at most
// kStopTimeoutMs, whatever the host's callbacks do, and a thread left to end
// on its own never touches released memory.
class GrabThread {
  public:
    static constexpr std::uint32_t kStopTimeoutMs = 3000;

    // Takes what the camera's thread works on from the camera as it is now.
    explicit GrabThread(Camera& camera);
    ~GrabThread();
    GrabThread(const GrabThread&) = delete;
    GrabThread& operator=(const GrabThread&) = delete;

    // Starts the thread; does not wait for it.
    bool Init();
    // Wakes the thread for a request.
    bool SetGrabEvent();
    // From now on the thread makes no ZUR request and calls back no more; it
    // ends as soon as it gets back from what it is doing.
    void RequestStop();
    // Stops the thread and waits for it at most kStopTimeoutMs. Inside an
    // export the wait happens once the export lock is released.
    void Destroy();

    static std::uint32_t static_ThreadMain(void* parameter);

    // Tests only: runs as a stop request begins, before the thread hears of
    // it, so that a test can hold a close at that point.
    static inline std::atomic<void (*)()> testHookBeforeStop{nullptr};

  private:
    struct Session;

    static void ThreadMain(Session& session);
    // Calls the host's completion callback; false when a stop came first.
    static bool IssueCB(Session& session);
    // Waits for the thread until the deadline and reports how it ended.
    static void Finish(platform::Thread& thread, DriverLog& log, int port,
                       std::uint64_t deadlineMs);

    DriverLog& log;
    std::shared_ptr<Session> session;
    std::shared_ptr<platform::Thread> thread;
    bool destroyed = false;
};
