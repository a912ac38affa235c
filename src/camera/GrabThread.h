#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "camera/AcquisitionControl.h"
#include "log/ExportFrame.h"

class Camera;
class DriverLog;
class ImageTransfer;

namespace platform {
class Thread;
}

// One open camera's acquisition thread: it waits for a grab request, has ZUR
// fill the Zaze buffer, copies or converts the image into the destination
// buffer and calls the host's completion callback.
//
// The thread works only on what it shares with its owner (the request flags,
// the image buffers, the grab event), which it keeps alive itself, and holds
// no lock while the host's code runs. So a close waits for it at most
// kStopTimeoutMs, whatever the host's callbacks do, and a thread left to end
// on its own never touches released memory.
//
// When acquisitions keep failing (a camera unplugged, switched off, frozen)
// it backs off, logs the outage sparingly and, from time to time, has its
// camera open the device again. Only then does it take its camera's lock, and
// only with a try-lock while no stop was requested, so that a close never
// waits for it; see TryReconnect.
// The object itself is its camera's, under the camera's lock.
class GrabThread {
  public:
    static constexpr std::uint32_t kStopTimeoutMs = 3000;

    // What the thread of one open works on: the camera's requests, callback
    // and port, the open's buffers and conversion, and its ZUR handle.
    GrabThread(DriverLog& log, std::shared_ptr<AcquisitionControl> control,
               std::shared_ptr<ImageTransfer> transfer, std::uint32_t zurHandle,
               Camera* camera = nullptr);
    ~GrabThread() REQUIRES(exportFrame);
    GrabThread(const GrabThread&) = delete;
    GrabThread& operator=(const GrabThread&) = delete;

    // Starts the thread; does not wait for it.
    bool Init();
    // Wakes the thread for a request.
    bool SetGrabEvent();
    // From now on the thread makes no ZUR request and calls back no more; it
    // ends as soon as it gets back from what it is doing.
    void RequestStop();
    // Stops the thread and waits for it at most kStopTimeoutMs, once the
    // export's frame has ended.
    void Destroy() REQUIRES(exportFrame);

    static std::uint32_t static_ThreadMain(void* parameter);

    // Tests only: runs as a stop request begins, before the thread hears of
    // it, so that a test can hold a close at that point.
    static inline std::atomic<void (*)()> testHookBeforeStop{nullptr};

  private:
    struct Session;
    class StopWait;
    class Outage;
    enum class Reached { Back, Gone, Busy };

    static void ThreadMain(Session& session) EXCLUDES(exportFrame);
    // Calls the host's completion callback; false when a stop came first.
    static bool IssueCB(Session& session) EXCLUDES(exportFrame);
    // Has the camera give up its lost session and open the device again,
    // under its lock if that is free and no stop came first.
    static Reached TryReconnect(Session& session) EXCLUDES(exportFrame);

    DriverLog& log;
    std::shared_ptr<Session> session;
    std::unique_ptr<platform::Thread> thread;
    // Made with the thread, so that stopping it needs no memory.
    std::unique_ptr<StopWait> stopWait;
    bool destroyed = false;
};
