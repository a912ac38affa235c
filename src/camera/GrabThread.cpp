#include "camera/GrabThread.h"

#include <atomic>
#include <chrono>
#include <thread>

#include "camera/Camera.h"
#include "camera/ImageTransfer.h"
#include "camera/ZurErrorText.h"
#include "log/DriverLog.h"
#include "platform/Clock.h"
#include "platform/Event.h"
#include "platform/Mutex.h"
#include "platform/Thread.h"
#include "platform/ZurLibrary.h"

namespace {

using OutageClock = std::chrono::steady_clock;

// Between tries while acquisitions fail: from the first pause, doubling, up to
// the last, so that a camera that is gone costs neither the processor nor the
// log.
constexpr std::chrono::milliseconds kFirstPause{100};
constexpr std::chrono::milliseconds kLastPause{1000};
// Failures that last this long are an outage: the device is opened again.
constexpr std::chrono::milliseconds kReconnectAfter{1000};
// How a reconnection gets its camera's lock from a busy host: at most
// kLockTries tries, kLockRetry apart.
constexpr int kLockTries = 200;
constexpr std::chrono::microseconds kLockRetry{250};
// While an outage lasts, one line this often at most.
constexpr std::chrono::seconds kReportEvery{5};

double SecondsSince(OutageClock::time_point start) {
    return std::chrono::duration<double>(OutageClock::now() - start).count();
}

}  // namespace

// A run of failed tries. The first failure is told at once, then at most one
// line every kReportEvery, and a summary when it ends. Grab thread.
class GrabThread::Outage {
  public:
    Outage(DriverLog& driverLog, const std::string& cameraName, int cameraPort)
        : log(driverLog), name(cameraName), port(cameraPort) {}

    bool Active() const { return failures != 0; }
    // Long enough to open the device again.
    bool Lasting() const { return Active() && OutageClock::now() - started >= kReconnectAfter; }

    void Failed(const char* call, std::uint32_t error) {
        const OutageClock::time_point now = OutageClock::now();
        if (failures++ == 0) {
            started = now;
            lastReport = now;
            pause = kFirstPause;
            LogMessage(log, 1, "GrabThread::ThreadMain: %s error: %d\n", call,
                       static_cast<int>(error));
            LogMessage(log, 1, "GrabThread::ThreadMain: %s on port=%d\n", ZurErrorText(error),
                       port);
            if (error == ZUR_ERROR_DEVICE_LOST) {
                TellLost();
            }
        } else if (now - lastReport >= kReportEvery) {
            lastReport = now;
            LogMessage(log, 1,
                       "GrabThread::ThreadMain: %s error: %d; %u requests failed over %.1f s on "
                       "port=%d\n",
                       call, static_cast<int>(error), failures, SecondsSince(started), port);
        }
    }
    void TellLost() {
        if (!lostTold) {
            lostTold = true;
            LogMessage(log, 1, "Camera %s lost on port %d: trying to reach it again\n",
                       name.c_str(), port);
        }
    }
    std::chrono::milliseconds NextPause() {
        const std::chrono::milliseconds now = pause;
        pause = std::min(pause * 2, kLastPause);
        return now;
    }
    // back: the camera answers again; otherwise the port is closing.
    void End(bool back) {
        if (!Active()) {
            return;
        }
        if (back && lostTold) {
            LogMessage(log, 1, "Camera %s is back on port %d\n", name.c_str(), port);
        }
        LogMessage(log, 1, "GrabThread::ThreadMain: %u requests failed over %.1f s on port=%d\n",
                   failures, SecondsSince(started), port);
        failures = 0;
        lostTold = false;
    }

  private:
    DriverLog& log;
    const std::string& name;
    const int port;
    std::uint32_t failures = 0;
    bool lostTold = false;
    OutageClock::time_point started;
    OutageClock::time_point lastReport;
    std::chrono::milliseconds pause = kFirstPause;
};

struct GrabThread::Session {
    Session(DriverLog& driverLog, std::shared_ptr<AcquisitionControl> acquisition,
            std::shared_ptr<ImageTransfer> images, std::uint32_t handle, Camera* owner)
        : log(driverLog),
          control(std::move(acquisition)),
          transfer(std::move(images)),
          camera(owner),
          cameraName(owner != nullptr ? owner->Name() : std::string()),
          openPort(control->port.load(std::memory_order_relaxed)),
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
    // Reached only by TryReconnect, under the gate while no stop was
    // requested: a camera stops its thread before it goes.
    Camera* const camera;
    const std::string cameraName;
    // The port of this open: it names the camera in the log also while a
    // close takes it off the port.
    const int openPort;
    // The open's ZUR handle; a reconnection replaces it. Grab thread only.
    std::uint32_t zurHandle;
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
                       std::shared_ptr<ImageTransfer> transfer, std::uint32_t zurHandle,
                       Camera* camera)
    : log(driverLog),
      session(std::make_shared<Session>(driverLog, std::move(control), std::move(transfer),
                                        zurHandle, camera)) {}

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

    Outage outage(log, session.cameraName, session.openPort);
    // A failed acquisition consumes its request; so does a failed try to
    // reach a lost camera.
    const auto consumeRequests = [&] {
        if (!control.IsContinuous()) {
            session.UnlessStopped([&] {
                while (control.TakeGrabRequest()) {
                }
            });
        }
    };

    while (!session.Stopped()) {
        if (!outage.Active()) {
            // A signal without a request is left over from a request that an
            // earlier image served: wait again.
            while (!session.Stopped() && !control.IsContinuous() && !control.IsGrabRequested()) {
                session.event.Wait();
            }
        } else {
            // While failures go on, the thread tries on its own, request or
            // not, so that it sees the camera come back; a request or a stop
            // cuts the pause short.
            session.event.Wait(outage.NextPause());
            if (session.Stopped()) {
                break;
            }
            if (outage.Lasting() && session.camera != nullptr) {
                outage.TellLost();
                const Reached reached = TryReconnect(session);
                if (reached == Reached::Busy) {
                    continue;
                }
                if (reached == Reached::Gone) {
                    outage.Failed("reconnect", ZUR_ERROR_DEVICE_LOST);
                    consumeRequests();
                    continue;
                }
                outage.End(true);
            }
        }
        const std::uint32_t handle = session.zurHandle;
        bool requested = false;
        std::uint32_t error = 0;
        if (!session.UnlessStopped([&] {
                requested = platform::Zur().ZURImageReq(handle, memory, bytes) != 0;
                error = requested ? 0 : platform::Zur().ZURGetLastError();
            })) {
            break;
        }
        const char* failed = nullptr;
        if (!requested) {
            failed = "ZURImageReq";
        } else if (platform::Zur().ZURImageCompleteWait(handle, memory, 0, 0, 0) == 0) {
            failed = "ZURImageCompleteWait";
            error = platform::Zur().ZURGetLastError();
        }
        if (failed != nullptr) {
            if (session.Stopped()) {
                break;  // the close's own abort
            }
            outage.Failed(failed, error);
            consumeRequests();
            continue;
        }
        if (outage.Active()) {
            outage.End(true);
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
    outage.End(false);
    LogMessage(log, 2, "GrabThread::ThreadMain: leaving on port=%d\n", session.Port());
}

// The analysis cannot follow a lock taken by a try-lock under one scope and
// let go after it: the camera's lock is held from the successful try_lock to
// the unlock below, and nothing in between returns.
GrabThread::Reached GrabThread::TryReconnect(Session& session) NO_THREAD_SAFETY_ANALYSIS {
    // Messages logged under the camera's lock reach the host once it is let go.
    const ExportFrame frame;
    Camera& camera = *session.camera;
    // A host thread that calls one export after the other lets go of the
    // lock only for moments: try often, briefly, and never while a close
    // may want the gate.
    bool locked = false;
    for (int tries = 0; !locked && tries < kLockTries; ++tries) {
        {
            const platform::MutexLock lock(session.gate);
            if (session.Stopped()) {
                return Reached::Busy;
            }
            locked = camera.cameraLock.try_lock();
        }
        if (!locked) {
            std::this_thread::sleep_for(kLockRetry);
        }
    }
    if (!locked) {
        return Reached::Busy;
    }
    std::uint32_t handle = 0;
    const bool back = camera.Reconnect(handle);
    const bool closing = camera.CloseWaiting();
    camera.cameraLock.unlock();
    if (!back) {
        return closing ? Reached::Busy : Reached::Gone;
    }
    session.zurHandle = handle;
    return Reached::Back;
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
