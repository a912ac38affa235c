#include "camera/GrabThread.h"

#include <chrono>
#include <condition_variable>

#include "camera/Camera.h"
#include "log/DriverLog.h"
#include "platform/Clock.h"

namespace {

// After a failed acquisition in continuous mode: a pause before the next
// attempt, so that an unplugged camera does not flood the log.
constexpr std::chrono::milliseconds kRetryPause{100};

}  // namespace

struct GrabThread::Shared {
    // Held by the thread whenever it works on the camera; released only while
    // it blocks (grab event, ZUR wait, host callback). Destroy takes it before
    // it gives a late thread up, so the thread is never caught mid-work.
    std::mutex access;
    bool abandoned = false;  // guarded by access
    std::atomic<bool> stop{false};
    std::unique_ptr<platform::AutoResetEvent> event;
    // Set once the thread holds its own reference to this state.
    bool running = false;  // guarded by access
    std::condition_variable runningSignal;
    std::unique_ptr<ImageBuffer> bequest;  // the Zaze buffer, once the thread is given up
};

GrabThread::GrabThread(Camera& owner) : camera(owner), shared(std::make_shared<Shared>()) {}

GrabThread::~GrabThread() {
    LogMessage(camera.Log(), 2, "GrabThread::~GrabThread: entering on port=%d\n", camera.Port());
    Destroy();
    LogMessage(camera.Log(), 2, "GrabThread::~GrabThread: leaving on port=%d\n", camera.Port());
}

bool GrabThread::Init() {
    DriverLog& log = camera.Log();
    LogMessage(log, 2, "GrabThread::Init: entering on port=%d\n", camera.Port());
    if (thread.IsStarted()) {
        LogMessage(log, 1, "GrabThread::Init: already initialized on port=%d\n", camera.Port());
        return false;
    }
    if (!shared->event) {
        auto event = std::make_unique<platform::AutoResetEvent>();
        if (!event->IsValid()) {
            LogMessage(log, 1, "GrabThread::Init: could not create wait event on port=%d\n",
                       camera.Port());
            return false;
        }
        event->Reset();
        shared->event = std::move(event);
    }
    const bool started = thread.Start(&GrabThread::static_ThreadMain, this);
    LogMessage(log, 2, "GrabThread::Init: thread created:%d on port=%d\n",
               static_cast<int>(thread.HandleValue()), camera.Port());
    if (!started) {
        LogMessage(log, 2,
                   "GrabThread::Init: ERROR: failed to initialize camera thread on port=%d\n",
                   camera.Port());
        return false;
    }
    {
        std::unique_lock<std::mutex> lock(shared->access);
        shared->runningSignal.wait(lock, [this] { return shared->running; });
    }
    LogMessage(log, 2, "GrabThread::Init: leaving on port=%d\n", camera.Port());
    return true;
}

bool GrabThread::SetGrabEvent() {
    LogMessage(camera.Log(), 3, "GrabThread::SetGrabEvent: setting event port=%d\n", camera.Port());
    if (shared->event) {
        shared->event->Set();
    }
    return true;
}

void GrabThread::Destroy() {
    DriverLog& log = camera.Log();
    LogMessage(log, 2, "GrabThread::Destroy: entering on port=%d\n", camera.Port());
    if (shared->stop.load()) {
        LogMessage(log, 1, "GrabThread::Destroy: WARNING: multiple reentrance, port=%d\n",
                   camera.Port());
    }
    if (thread.IsStarted()) {
        shared->stop.store(true);
        if (shared->event) {
            shared->event->Set();
        }
        // Called from the thread itself (the host closed the camera inside its
        // completion callback), waiting would only run into the timeout.
        const bool ended =
            !thread.IsCurrent() && thread.Join(std::chrono::milliseconds(kStopTimeoutMs));
        if (!ended) {
            std::lock_guard<std::mutex> lock(shared->access);
            shared->abandoned = true;
            // The thread may have lent the Zaze buffer to ZUR: it lives as
            // long as the thread.
            shared->bequest = std::move(camera.zazeBuffer);
            LogMessage(log, 1,
                       "GrabThread::Destroy: WARNING: thread still busy after %u ms on port=%d; it "
                       "ends on its own\n",
                       kStopTimeoutMs, camera.Port());
        }
        thread.Close();
        LogMessage(log, 2, "GrabThread::Destroy: thread closed on port=%d\n", camera.Port());
    }
    if (!WasAbandoned()) {
        shared->event.reset();
    }
    LogMessage(log, 2, "GrabThread::Destroy: leaving on port=%d\n", camera.Port());
}

bool GrabThread::WasAbandoned() const {
    std::lock_guard<std::mutex> lock(shared->access);
    return shared->abandoned;
}

std::uint32_t GrabThread::static_ThreadMain(void* parameter) {
    if (parameter == nullptr) {
        return 0xFFFFFFFFu;
    }
    LogMessage(DriverLog::Instance(), 2, "GrabThread::static_ThreadMain\n");
    return static_cast<GrabThread*>(parameter)->ThreadMain();
}

std::uint32_t GrabThread::ThreadMain() {
    // Own references first: once Init returns, this GrabThread may be
    // destroyed while the thread still runs.
    const std::shared_ptr<Shared> keep = shared;
    std::unique_lock<std::mutex> access(keep->access);
    keep->running = true;
    keep->runningSignal.notify_all();
    Loop(access);
    return 0;
}

void GrabThread::Loop(std::unique_lock<std::mutex>& access) {
    Shared& state = *shared;
    Camera& cam = camera;
    DriverLog& log = cam.Log();
    int port = cam.Port();
    LogMessage(log, 2, "GrabThread::ThreadMain: entering, clock=%ld on port=%d",
               static_cast<long>(platform::MillisecondsSinceStart()), port);

    // Leaves the lock for one blocking call; false when the camera was given
    // up meanwhile, after which nothing of it may be touched.
    const auto blocking = [&](auto&& call) {
        access.unlock();
        call();
        access.lock();
        if (state.abandoned) {
            LogMessage(
                log, 1,
                "GrabThread::ThreadMain: WARNING: leaving on port=%d after its camera was closed\n",
                port);
            return false;
        }
        port = cam.Port();
        return true;
    };
    const auto afterFailure = [&] {
        if (cam.IsContinuous()) {
            return blocking([&] { state.event->Wait(kRetryPause); });
        }
        cam.TakeGrabRequest();  // a failed acquisition consumes its request
        return true;
    };

    // IssueCB: the host learns of the new image on this thread.
    const auto issueCB = [&] {
        const CompleteCallback callback = cam.GetCompleteCB();
        const int callbackPort = port;
        const bool owned = callback == nullptr || blocking([&] { callback(0, callbackPort); });
        LogMessage(log, 2, "GrabThread::IssueCB: CB called, %d\n", callbackPort);
        return owned;
    };

    while (!state.stop.load()) {
        if (!cam.IsContinuous()) {
            // A signal without a request is left over from a request that an
            // earlier image served: wait again.
            while (!state.stop.load() && !cam.IsContinuous() && !cam.IsGrabRequested()) {
                if (!blocking([&] { state.event->Wait(); })) {
                    return;
                }
            }
        }
        if (state.stop.load()) {
            break;
        }
        const std::uint32_t handle = cam.ZurHandle();
        ImageBuffer* zaze = cam.ZazeBuffer();
        void* memory = zaze != nullptr ? zaze->Data() : nullptr;
        const auto bytes = static_cast<std::uint32_t>(zaze != nullptr ? zaze->Size() : 0);
        if (ZURImageReq(handle, memory, bytes) == 0) {
            LogMessage(log, 1, "GrabThread::ThreadMain: ZURImageReq error: %d\n",
                       static_cast<int>(ZURGetLastError()));
            if (!afterFailure()) {
                return;
            }
            continue;
        }
        std::int32_t completed = 0;
        std::uint32_t error = 0;
        if (!blocking([&] {
                completed = ZURImageCompleteWait(handle, memory, 0, 0, 0);
                error = completed == 0 ? ZURGetLastError() : 0;
            })) {
            return;
        }
        if (completed == 0) {
            LogMessage(log, 1, "GrabThread::ThreadMain: ZURImageCompleteWait error: %d\n",
                       static_cast<int>(error));
            if (!afterFailure()) {
                return;
            }
            continue;
        }
        if (cam.TakeGrabRequest() && cam.CopyImageToVantixBuffer() && !issueCB()) {
            return;
        }
        LogMessage(log, 3, "GrabThread::ThreadMain: grabbing completed on port=%d\n", port);
    }
    cam.ClearGrabRequests();
    LogMessage(log, 2, "GrabThread::ThreadMain: leaving on port=%d\n", cam.Port());
}
