#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

#include "platform/Event.h"
#include "platform/Thread.h"

class Camera;
class ImageBuffer;

// One open camera's acquisition thread: it waits for a grab request, has ZUR
// fill the camera's Zaze buffer, copies or converts the image into the
// destination buffer and calls the host's completion callback.
class GrabThread {
  public:
    static constexpr std::uint32_t kStopTimeoutMs = 3000;

    explicit GrabThread(Camera& camera);
    ~GrabThread();
    GrabThread(const GrabThread&) = delete;
    GrabThread& operator=(const GrabThread&) = delete;

    // Creates the grab event and starts the thread.
    bool Init();
    // Wakes the thread for a request.
    bool SetGrabEvent();
    // Stops the thread, waiting for it at most kStopTimeoutMs.
    void Destroy();

    // True when the thread did not end in time and was left to end on its own.
    bool WasAbandoned() const;

    static std::uint32_t static_ThreadMain(void* parameter);

  private:
    // What the thread shares with its owner; it outlives both, so that a
    // thread that ends late never touches a GrabThread or a Camera that is gone.
    struct Shared;

    std::uint32_t ThreadMain();
    // The acquisition loop, entered with `access` held.
    void Loop(std::unique_lock<std::mutex>& access);

    Camera& camera;
    std::shared_ptr<Shared> shared;
    platform::Thread thread;
};
