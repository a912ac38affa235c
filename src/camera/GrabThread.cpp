#include "camera/GrabThread.h"

#include <atomic>
#include <chrono>

#include "camera/ImageTransfer.h"
#include "camera/ZurErrorText.h"
#include "log/DriverLog.h"
#include "platform/Clock.h"
#include "platform/Event.h"
#include "platform/Mutex.h"
#include "platform/Thread.h"
#include "platform/ZurLibrary.h"

namespace {

// After a failed acquisition in continuous mode: a pause before the next
// attempt, so that an unplugged camera does not flood the log.
constexpr std::chrono::milliseconds kRetryPause{100};

}  // namespace

struct GrabThread::Session {
    Session(DriverLog& driverLog, std::shared_ptr<AcquisitionControl> acquisition,
            std::shared_ptr<ImageTransfer> images, std::uint32_t handle)
        : log(driverLog),
          control(std::move(acquisition)),
          transfer(std::move(images)),
          zurHandle(handle) {}

    int Port() const { return control->port.load(std::memory_order_relaxed); }
    bool Stopped() const { return stop.load(std::memory_order_acquire); }

    // Runs step unless a stop was requested, so that nothing the step starts
    // can follow the stop; false when stopped. Never used around host code.
    template <typename Step>
    bool UnlessStopped(Step step) EXCLUDES(exportFrame) {
        const platform::MutexLock lock(gate);
        if (Stopped()) {
            return false;
        }
        step();
        return true;
    }

    DriverLog& log;
    const std::shared_ptr<AcquisitionControl> control;
    const std::shared_ptr<ImageTransfer> transfer;
    const std::uint32_t zurHandle;
    platform::AutoResetEvent event;
    // The stop gate: a stop is set under it, and the thread's ZUR requests,
    // request taking and reading of the callback and port run under it, so
    // none of them follows a stop. stop itself is read without the gate
    // wherever a late answer only means one more turn of the loop.
    platform::Mutex gate;
    std::atomic<bool> stop{false};
};

// Waits for a stopped thread, once the export's frame has ended.
class GrabThread::StopWait : public ExportFrame::Deferred {
  public:
    explicit StopWait(DriverLog& driverLog) : log(driverLog) {}

    void Arm(std::unique_ptr<platform::Thread> stopping, int stoppedPort,
             std::uint64_t deadlineMs) {
        thread = std::move(stopping);
        port = stoppedPort;
        deadline = deadlineMs;
    }

    // Waits for the thread until the deadline and reports how it ended.
    void Run() noexcept override EXCLUDES(exportFrame) {
        const auto now = static_cast<std::uint64_t>(platform::MillisecondsSinceStart());
        const auto wait = std::chrono::milliseconds(deadline > now ? deadline - now : 0);
        if (!thread->Join(wait)) {
            LogMessage(log, 1,
                       "GrabThread::Destroy: WARNING: thread still busy after %u ms on port=%d; "
                       "it ends on its own\n",
                       kStopTimeoutMs, port);
        }
        thread->Close();
        LogMessage(log, 2, "GrabThread::Destroy: thread closed on port=%d\n", port);
    }

  private:
    DriverLog& log;
    std::unique_ptr<platform::Thread> thread;
    int port = -1;
    std::uint64_t deadline = 0;
};

GrabThread::GrabThread(DriverLog& driverLog, std::shared_ptr<AcquisitionControl> control,
                       std::shared_ptr<ImageTransfer> transfer, std::uint32_t zurHandle)
    : log(driverLog),
      session(std::make_shared<Session>(driverLog, std::move(control), std::move(transfer),
                                        zurHandle)) {}

GrabThread::~GrabThread() {
    LogMessage(log, 2, "GrabThread::~GrabThread: entering on port=%d\n", session->Port());
    Destroy();
    LogMessage(log, 2, "GrabThread::~GrabThread: leaving on port=%d\n", session->Port());
}

bool GrabThread::Init() {
    const int port = session->Port();
    LogMessage(log, 2, "GrabThread::Init: entering on port=%d\n", port);
    if (thread) {
        LogMessage(log, 1, "GrabThread::Init: already initialized on port=%d\n", port);
        return false;
    }
    if (!session->event.IsValid()) {
        LogMessage(log, 1, "GrabThread::Init: could not create wait event on port=%d\n", port);
        return false;
    }
    session->event.Reset();
    stopWait = std::make_unique<StopWait>(log);
    thread = std::make_unique<platform::Thread>();
    // The thread gets a reference of its own to the session: it may outlive
    // this object.
    auto reference = std::make_unique<std::shared_ptr<Session>>(session);
    const bool started = thread->Start(&GrabThread::static_ThreadMain, reference.get());
    if (started) {
        reference.release();  // the thread owns it now
    }
    LogMessage(log, 2, "GrabThread::Init: thread created:%d on port=%d\n",
               static_cast<int>(thread->HandleValue()), port);
    if (!started) {
        LogMessage(log, 2,
                   "GrabThread::Init: ERROR: failed to initialize camera thread on port=%d\n",
                   port);
        thread.reset();
        return false;
    }
    LogMessage(log, 2, "GrabThread::Init: leaving on port=%d\n", port);
    return true;
}

bool GrabThread::SetGrabEvent() {
    LogMessage(log, 3, "GrabThread::SetGrabEvent: setting event port=%d\n", session->Port());
    session->event.Set();
    return true;
}

void GrabThread::RequestStop() {
    if (const auto hook = testHookBeforeStop.load()) {
        hook();
    }
    {
        const platform::MutexLock lock(session->gate);
        session->stop.store(true, std::memory_order_release);
    }
    session->event.Set();  // wakes a thread that waits for a request
}

void GrabThread::Destroy() {
    const int port = session->Port();
    LogMessage(log, 2, "GrabThread::Destroy: entering on port=%d\n", port);
    if (destroyed) {
        LogMessage(log, 1, "GrabThread::Destroy: WARNING: multiple reentrance, port=%d\n", port);
    }
    destroyed = true;
    if (thread) {
        RequestStop();
        if (thread->IsCurrent()) {
            // Closed from inside one of the host's callbacks on this very
            // thread: it ends when the callback returns.
            thread->Close();
            LogMessage(log, 2,
                       "GrabThread::Destroy: thread closed on port=%d; it ends when the host's "
                       "callback returns\n",
                       port);
        } else {
            const std::uint64_t deadline =
                static_cast<std::uint64_t>(platform::MillisecondsSinceStart()) + kStopTimeoutMs;
            stopWait->Arm(std::move(thread), port, deadline);
            ExportFrame::AfterExit(std::move(stopWait));
        }
        thread.reset();
    }
    LogMessage(log, 2, "GrabThread::Destroy: leaving on port=%d\n", port);
}

std::uint32_t GrabThread::static_ThreadMain(void* parameter) {
    if (parameter == nullptr) {
        return 0xFFFFFFFFu;
    }
    std::shared_ptr<Session> session;
    {
        const std::unique_ptr<std::shared_ptr<Session>> reference(
            static_cast<std::shared_ptr<Session>*>(parameter));
        session = std::move(*reference);
    }
    LogMessage(session->log, 2, "GrabThread::static_ThreadMain\n");
    ThreadMain(*session);
    return 0;
}

void GrabThread::ThreadMain(Session& session) {
    DriverLog& log = session.log;
    AcquisitionControl& control = *session.control;
    LogMessage(log, 2, "GrabThread::ThreadMain: entering, clock=%ld on port=%d",
               static_cast<long>(platform::MillisecondsSinceStart()), session.Port());
    ImageBuffer* zaze = session.transfer ? session.transfer->zazeBuffer.get() : nullptr;
    void* memory = zaze != nullptr ? zaze->Data() : nullptr;
    const auto bytes = static_cast<std::uint32_t>(zaze != nullptr ? zaze->Size() : 0);
    const std::uint32_t handle = session.zurHandle;

    // Why an acquisition failed, said once for a run of the same error; an
    // abort is a close's own doing.
    std::uint32_t explained = 0;
    const auto afterFailure = [&](const char* call, std::uint32_t error) {
        LogMessage(log, 1, "GrabThread::ThreadMain: %s error: %d\n", call, static_cast<int>(error));
        if (error != explained && error != ZUR_ERROR_ABORTED) {
            LogMessage(log, 1, "GrabThread::ThreadMain: %s on port=%d\n", ZurErrorText(error),
                       session.Port());
        }
        explained = error;
        if (control.IsContinuous()) {
            session.event.Wait(kRetryPause);
        } else {
            // A failed acquisition consumes its request.
            session.UnlessStopped([&] { control.TakeGrabRequest(); });
        }
    };

    while (!session.Stopped()) {
        // A signal without a request is left over from a request that an
        // earlier image served: wait again.
        while (!session.Stopped() && !control.IsContinuous() && !control.IsGrabRequested()) {
            session.event.Wait();
        }
        bool requested = false;
        std::uint32_t error = 0;
        if (!session.UnlessStopped([&] {
                requested = platform::Zur().ZURImageReq(handle, memory, bytes) != 0;
                error = requested ? 0 : platform::Zur().ZURGetLastError();
            })) {
            break;
        }
        if (!requested) {
            afterFailure("ZURImageReq", error);
            continue;
        }
        const bool completed = platform::Zur().ZURImageCompleteWait(handle, memory, 0, 0, 0) != 0;
        if (!completed) {
            afterFailure("ZURImageCompleteWait", platform::Zur().ZURGetLastError());
            continue;
        }
        bool deliver = false;
        if (!session.UnlessStopped([&] { deliver = control.TakeGrabRequest(); })) {
            break;
        }
        if (deliver && session.transfer && session.transfer->CopyImageToVantixBuffer() &&
            !IssueCB(session)) {
            break;
        }
        LogMessage(log, 3, "GrabThread::ThreadMain: grabbing completed on port=%d\n",
                   session.Port());
    }
    LogMessage(log, 2, "GrabThread::ThreadMain: leaving on port=%d\n", session.Port());
}

bool GrabThread::IssueCB(Session& session) {
    // What the callback names is read where a stop is excluded: a close takes
    // the camera off its port before it stops the thread, and the host may
    // index its own tables with the port. Once the camera has left its port
    // or a close has asked the thread to stop, the host hears of no image.
    CompleteCallback callback = nullptr;
    int port = -1;
    if (!session.UnlessStopped([&] {
            callback = session.control->callback.load(std::memory_order_acquire);
            port = session.Port();
        }) ||
        port < 0) {
        return false;
    }
    if (callback != nullptr) {
        callback(0, port);
    }
    LogMessage(session.log, 2, "GrabThread::IssueCB: CB called, %d\n", port);
    return true;
}
