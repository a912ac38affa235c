// The grab thread: single and continuous grabbing, the completion callback,
// and stopping the thread, also when the host's callback does not return.
#include "camera/GrabThread.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "CallbackRecorder.h"
#include "SimulatedDriver.h"
#include "ZURSim.h"
#include "ZavaDED.h"
#include "camera/Camera.h"

using testing_support::CallbackRecorder;
using testing_support::DriverSession;
using testing_support::GrabOne;
using testing_support::PeekRegister;
using namespace std::chrono_literals;

namespace {

constexpr const char* kName = "XCG-V60E-1";

// Waits until the simulated library was called as named; false after 5 s.
bool AwaitCall(const std::string& call) {
    const auto until = std::chrono::steady_clock::now() + 5s;
    while (testing_support::JournalOf(call).empty() && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(5ms);
    }
    return !testing_support::JournalOf(call).empty();
}

// A session with one fast camera open on port 0 and the recorder installed.
struct OpenCamera {
    OpenCamera() : session({{"XCG-V60E", 1}}), camera(session.Open(kName, 0)) {
        EXPECT_EQ(setCompleteCallback(0, 0, &CallbackRecorder::Callback), 1);
        DriverLog::Instance().SetLogLevel(3);
    }
    DriverSession session;
    Camera& camera;
    CallbackRecorder recorder;
};

TEST(GrabThread, OneRequestGivesOneCallback) {
    OpenCamera open;
    ASSERT_TRUE(GrabOne(open.recorder, 0));
    std::this_thread::sleep_for(100ms);  // a second callback would arrive meanwhile
    EXPECT_EQ(open.recorder.Calls(), (std::vector<std::pair<int, int>>{{0, 0}}));
    EXPECT_TRUE(open.session.Log().Contains("GrabThread::IssueCB: CB called, 0\n"));
    EXPECT_EQ(ZURSimFramesProduced(1), 1u);
    EXPECT_FALSE(open.camera.IsGrabRequested());
}

TEST(GrabThread, WithoutACallbackTheImageStillArrives) {
    OpenCamera open;
    ASSERT_EQ(setCompleteCallback(0, 0, nullptr), 1);
    ASSERT_EQ(doCVLGrab(0, 0), 1);
    for (int i = 0; i < 500 && !open.session.Log().Contains("GrabThread::IssueCB: CB called, 0\n");
         ++i) {
        std::this_thread::sleep_for(10ms);
    }
    EXPECT_TRUE(open.session.Log().Contains("GrabThread::IssueCB: CB called, 0\n"));
    EXPECT_NE(open.camera.GetLine(0)[0], 200);
}

TEST(GrabThread, EveryRequestIsServedByItsOwnImage) {
    OpenCamera open;
    for (int i = 0; i < 5; ++i) {
        ASSERT_EQ(doCVLGrab(0, 0), 1);
    }
    ASSERT_TRUE(open.recorder.WaitFor(5));
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(open.recorder.Count(), 5);
}

TEST(GrabThread, ARequestFromInsideTheCallbackIsServed) {
    OpenCamera open;
    open.recorder.SetHook([](int call, int port) {
        if (call < 3) {
            doCVLGrab(0, port);
        }
    });
    ASSERT_TRUE(GrabOne(open.recorder, 0));
    ASSERT_TRUE(open.recorder.WaitFor(3));
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(open.recorder.Count(), 3);
}

TEST(GrabThread, ContinuousModeDeliversUntilSwitchedOff) {
    OpenCamera open;
    ASSERT_EQ(setProperty(0, 0, "continuous", 1), 1);
    open.session.Log().Clear();
    ASSERT_EQ(setProperty(0, 0, "continous", 1), 1);
    EXPECT_TRUE(open.session.Log().Contains(
        "Camera::SetContinuousGrab has no effect -- the same mode is already active\n"));
    ASSERT_TRUE(open.recorder.WaitFor(10));
    ASSERT_EQ(setProperty(0, 0, "continuous", 0), 1);
    std::this_thread::sleep_for(50ms);  // an image in flight is dropped
    const int afterOff = open.recorder.Count();
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(open.recorder.Count(), afterOff);
    ASSERT_TRUE(GrabOne(open.recorder, 0));
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(open.recorder.Count(), afterOff + 1);
}

TEST(GrabThread, ClosingDuringContinuousGrabbingStopsCleanly) {
    OpenCamera open;
    ASSERT_EQ(setProperty(0, 0, "continuous", 1), 1);
    ASSERT_TRUE(open.recorder.WaitFor(3));
    closeCVLPort(0, 0);
    EXPECT_FALSE(open.camera.IsOpen());
    EXPECT_EQ(ZURSimOpenDeviceCount(), 0);
    const int afterClose = open.recorder.Count();
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(open.recorder.Count(), afterClose);
    // The mode survives the close: after a reopen images flow on request.
    EXPECT_TRUE(open.camera.IsContinuous());
}

TEST(GrabThread, CompleteCallbackChangesAreLogged) {
    OpenCamera open;
    // The setter's own message: the grab thread logs on its own meanwhile.
    const auto messageAfter = [&](CompleteCallback callback) {
        open.session.Log().Clear();
        open.camera.SetCompleteCB(callback);
        const std::vector<std::string> messages = open.session.Log().MessagesOfThisThread();
        return messages.empty() ? std::string() : messages.back();
    };
    const auto other = [](int, int) {};
    EXPECT_EQ(messageAfter(nullptr),
              "Camera::SetCompleteCB: CB was already assigned. Resetting CB to null. \n");
    EXPECT_EQ(messageAfter(nullptr), "Camera::SetCompleteCB: Resetting CB to null. \n");
    EXPECT_EQ(messageAfter(&CallbackRecorder::Callback), "Camera::SetCompleteCB: \n");
    EXPECT_EQ(
        messageAfter(&CallbackRecorder::Callback),
        "Camera::SetCompleteCB: CB was already assigned. The new CB is the same function. \n");
    EXPECT_EQ(messageAfter(other), "Camera::SetCompleteCB: CB was already assigned. \n");
}

TEST(GrabThread, StopsAtOnceWhileWaitingForARequest) {
    OpenCamera open;
    DriverLog::Instance().SetLogLevel(2);
    const auto started = std::chrono::steady_clock::now();
    closeCVLPort(0, 0);
    EXPECT_LT(std::chrono::steady_clock::now() - started, 2s);
    const int leaving = open.session.Log().IndexOf("GrabThread::ThreadMain: leaving on port=-1\n");
    EXPECT_GE(leaving, 0);
    EXPECT_LT(leaving,
              open.session.Log().IndexOf("GrabThread::Destroy: thread closed on port=-1\n"));
}

TEST(GrabThread, RefusesASecondInitAndANullParameter) {
    OpenCamera open;
    auto control = std::make_shared<AcquisitionControl>();
    control->port = 0;
    GrabThread thread(DriverLog::Instance(), control, nullptr, 0);
    ASSERT_TRUE(thread.Init());
    EXPECT_FALSE(thread.Init());
    EXPECT_TRUE(open.session.Log().Contains("GrabThread::Init: already initialized on port=0\n"));
    EXPECT_EQ(GrabThread::static_ThreadMain(nullptr), 0xFFFFFFFFu);
}

std::atomic<bool> releaseCallback{false};
std::atomic<bool> callbackEntered{false};
std::atomic<bool> callbackLeft{false};

TEST(GrabThread, ACallbackThatBlocksIsGivenUpWithoutTouchingReleasedMemory) {
    releaseCallback = false;
    callbackEntered = false;
    callbackLeft = false;
    {
        OpenCamera open;
        ASSERT_EQ(setCompleteCallback(0, 0,
                                      [](int, int) {
                                          callbackEntered = true;
                                          // Longer than the 3000 ms a close waits for the thread.
                                          for (int i = 0; i < 400 && !releaseCallback; ++i) {
                                              std::this_thread::sleep_for(10ms);
                                          }
                                          callbackLeft = true;
                                      }),
                  1);
        ASSERT_EQ(doCVLGrab(0, 0), 1);
        for (int i = 0; i < 500 && !callbackEntered; ++i) {
            std::this_thread::sleep_for(10ms);
        }
        ASSERT_TRUE(callbackEntered);
        const auto started = std::chrono::steady_clock::now();
        closeCVLPort(0, 0);
        EXPECT_GE(std::chrono::steady_clock::now() - started, 2900ms);
        EXPECT_TRUE(open.session.Log().Contains(
            "GrabThread::Destroy: WARNING: thread still busy after 3000 ms on port=-1; it ends on "
            "its own\n"));
        EXPECT_EQ(ZURSimOpenDeviceCount(), 0);
        EXPECT_EQ(open.camera.ZazeBuffer(), nullptr);
        // finalize destroys the camera while the callback still runs.
    }
    releaseCallback = true;
    for (int i = 0; i < 500 && !callbackLeft; ++i) {
        std::this_thread::sleep_for(10ms);
    }
    EXPECT_TRUE(callbackLeft);
    std::this_thread::sleep_for(100ms);  // the thread ends without touching the camera
}

TEST(GrabThread, ClosingFromInsideTheCallbackDoesNotWait) {
    OpenCamera open;
    open.recorder.SetHook([](int, int port) { closeCVLPort(0, port); });
    const auto started = std::chrono::steady_clock::now();
    ASSERT_TRUE(GrabOne(open.recorder, 0));
    EXPECT_LT(std::chrono::steady_clock::now() - started, 2500ms);
    EXPECT_FALSE(open.camera.IsOpen());
    EXPECT_EQ(ZURSimOpenDeviceCount(), 0);
    std::this_thread::sleep_for(50ms);
}

TEST(GrabThread, AnUnpluggedCameraIsReportedAndClosesCleanly) {
    OpenCamera open;
    ASSERT_EQ(setProperty(0, 0, "continuous", 1), 1);
    ASSERT_TRUE(open.recorder.WaitFor(2));
    ASSERT_EQ(ZURSimUnplug(1), 1);
    std::this_thread::sleep_for(300ms);
    EXPECT_TRUE(
        open.session.Log().Contains("GrabThread::ThreadMain: ZURImageCompleteWait error: 7\n") ||
        open.session.Log().Contains("GrabThread::ThreadMain: ZURImageReq error: 7\n"));
    EXPECT_TRUE(
        open.session.Log().Contains("GrabThread::ThreadMain: the camera is lost: "
                                    "unplugged, switched off or not answering on port=0\n"));
    // Paced retries, not a flood of errors.
    int errors = 0;
    for (const std::string& message : open.session.Log().Messages()) {
        errors += message.find("error: 7") != std::string::npos ? 1 : 0;
    }
    EXPECT_LT(errors, 20);
    EXPECT_EQ(doCVLGrab(0, 0), 1);
    const auto started = std::chrono::steady_clock::now();
    closeCVLPort(0, 0);
    EXPECT_LT(std::chrono::steady_clock::now() - started, 2s);
    EXPECT_FALSE(open.camera.IsOpen());
    EXPECT_EQ(ZURSimOpenDeviceCount(), 0);
}

TEST(GrabThread, ManyOpenGrabCloseCycles) {
    DriverSession session({{"XCG-V60E", 1}});
    CallbackRecorder recorder;
    for (int cycle = 0; cycle < 200; ++cycle) {
        int size[2];
        ASSERT_EQ(openCVLPort(0, 0, kName, size), 1) << cycle;
        ASSERT_EQ(setCompleteCallback(0, 0, &CallbackRecorder::Callback), 1);
        ASSERT_TRUE(GrabOne(recorder, 0)) << cycle;
        closeCVLPort(0, 0);
    }
    EXPECT_EQ(recorder.Count(), 200);
    EXPECT_EQ(ZURSimOpenDeviceCount(), 0);
}

// A close takes the camera off its port before it stops the thread. A thread
// that delivers an image just then must not name the port the camera left:
// a host indexing its ports with it would write outside its table.
TEST(GrabThread, NoCallbackNamesThePortOfACloseInProgress) {
    DriverSession session({{"XCG-U100CR", 5}});
    session.Open("XCG-U100CR-5", 0);
    CallbackRecorder recorder;
    ASSERT_EQ(setCompleteCallback(0, 0, &CallbackRecorder::Callback), 1);
    DriverLog::Instance().SetLogLevel(2);
    // The thread is to convert the image while the close begins, and the
    // close is held until the thread delivered it or gave up.
    ZURSimSetDelay("ZURColorConvExec", 300);
    static testing_support::LogCapture* log = nullptr;
    static CallbackRecorder* calls = nullptr;
    log = &session.Log();
    calls = &recorder;
    GrabThread::testHookBeforeStop = [] {
        const auto until = std::chrono::steady_clock::now() + 3s;
        while (calls->Count() == 0 &&
               !log->Contains("GrabThread::ThreadMain: leaving on port=-1\n") &&
               std::chrono::steady_clock::now() < until) {
            std::this_thread::sleep_for(5ms);
        }
    };
    ASSERT_EQ(doCVLGrab(0, 0), 1);
    ASSERT_TRUE(AwaitCall("ZURColorConvExec"));
    closeCVLPort(0, 0);
    GrabThread::testHookBeforeStop = nullptr;
    for (const auto& [grabber, port] : recorder.Calls()) {
        EXPECT_EQ(port, 0) << "callback (" << grabber << ", " << port << ")";
    }
    EXPECT_FALSE(session.Log().Contains("GrabThread::IssueCB: CB called, -1"));
}

}  // namespace

namespace {

// Waits until the log holds text; false after the timeout.
bool AwaitLog(const testing_support::LogCapture& log, const std::string& text,
              std::chrono::milliseconds timeout = 5s) {
    const auto until = std::chrono::steady_clock::now() + timeout;
    while (!log.Contains(text) && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(5ms);
    }
    return log.Contains(text);
}

int LevelOneLines(const testing_support::LogCapture& log) {
    int lines = 0;
    for (const std::string& prefix : log.Prefixes()) {
        lines += prefix.find(": (1) ") != std::string::npos ? 1 : 0;
    }
    return lines;
}

struct Outage {
    bool continuous;
    bool restarted;
};

class CameraComesBack : public ::testing::TestWithParam<Outage> {};

// Unplugged and plugged in again, switched off meanwhile or not: images come
// back by themselves, on the same port and callback, with the host's
// settings, and the outage is told in a few lines.
TEST_P(CameraComesBack, ImagesReturnWithTheHostsSettings) {
    const Outage outage = GetParam();
    OpenCamera open;
    ASSERT_EQ(setProperty(0, 0, "ExposureTime", 250), 1);
    if (outage.continuous) {
        ASSERT_EQ(setProperty(0, 0, "continuous", 1), 1);
        ASSERT_TRUE(open.recorder.WaitFor(2));
    } else {
        ASSERT_TRUE(GrabOne(open.recorder, 0));
    }
    open.session.Log().Clear();
    ASSERT_EQ(ZURSimUnplug(1), 1);
    if (!outage.continuous) {
        ASSERT_EQ(doCVLGrab(0, 0), 1);  // a grab is what finds the camera gone
    }
    ASSERT_TRUE(AwaitLog(open.session.Log(),
                         "Camera XCG-V60E-1 lost on port 0: trying to reach "
                         "it again\n"));
    std::this_thread::sleep_for(1500ms);  // tries meanwhile stay few
    const int before = open.recorder.Count();
    ASSERT_EQ(ZURSimPlug(1, outage.restarted ? 1 : 0), 1);
    const auto plugged = std::chrono::steady_clock::now();
    if (outage.continuous) {
        ASSERT_TRUE(open.recorder.WaitFor(before + 3, 5s));
    } else {
        ASSERT_TRUE(AwaitLog(open.session.Log(), "Camera XCG-V60E-1 is back on port 0\n"));
        ASSERT_TRUE(GrabOne(open.recorder, 0));
        // The image is the camera's newest, not one from before the outage.
        std::vector<std::uint8_t> last(ZURSimLastImage(1, nullptr, 0));
        ASSERT_EQ(ZURSimLastImage(1, last.data(), static_cast<std::uint32_t>(last.size())),
                  last.size());
        EXPECT_EQ(std::memcmp(open.camera.GetLine(0), last.data(), 640), 0);
    }
    EXPECT_LT(std::chrono::steady_clock::now() - plugged, 5s);
    EXPECT_EQ(PeekRegister(1, 0xA0002040), 250u);
    for (const auto& call : open.recorder.Calls()) {
        EXPECT_EQ(call, (std::pair<int, int>{0, 0}));
    }
    EXPECT_TRUE(open.session.Log().Contains("Camera XCG-V60E-1 is back on port 0\n"));
    const auto messages = open.session.Log().Messages();
    EXPECT_EQ(std::count_if(messages.begin(), messages.end(),
                            [](const std::string& message) {
                                return message.find(" requests failed over ") != std::string::npos;
                            }),
              1);
    EXPECT_LE(LevelOneLines(open.session.Log()), 15);
    const auto closing = std::chrono::steady_clock::now();
    closeCVLPort(0, 0);
    EXPECT_LT(std::chrono::steady_clock::now() - closing, 1s);
    EXPECT_EQ(ZURSimOpenDeviceCount(), 0);
}

INSTANTIATE_TEST_SUITE_P(GrabThread, CameraComesBack,
                         ::testing::Values(Outage{true, false}, Outage{true, true},
                                           Outage{false, false}, Outage{false, true}),
                         [](const ::testing::TestParamInfo<Outage>& named) {
                             return std::string(named.param.continuous ? "Continuous" : "Single") +
                                    (named.param.restarted ? "Restarted" : "Replugged");
                         });

// A close or finalize while the thread replays the host's settings to a
// camera that came back, over a slow network: it waits for the write under
// way, not for the whole replay.
class CloseDuringReconnection : public ::testing::TestWithParam<bool> {};

TEST_P(CloseDuringReconnection, WaitsForNoReplay) {
    const bool finalizing = GetParam();
    OpenCamera open;
    ASSERT_EQ(setProperty(0, 0, "continuous", 1), 1);
    ASSERT_TRUE(open.recorder.WaitFor(2));
    ASSERT_EQ(ZURSimUnplug(1), 1);
    ASSERT_TRUE(AwaitLog(open.session.Log(),
                         "Camera XCG-V60E-1 lost on port 0: trying to reach "
                         "it again\n"));
    ZURSimSetDelay("ZURGigESetRegister", 200);
    testing_support::ClearJournal();
    ASSERT_EQ(ZURSimPlug(1, 0), 1);
    ASSERT_TRUE(AwaitCall("ZURGigESetRegister"));
    const auto closing = std::chrono::steady_clock::now();
    if (finalizing) {
        finalize();
    } else {
        closeCVLPort(0, 0);
    }
    EXPECT_LT(std::chrono::steady_clock::now() - closing, 1s);
    EXPECT_LE(testing_support::JournalOf("ZURGigESetRegister").size(), 2u);
    EXPECT_EQ(ZURSimOpenDeviceCount(), 0);
}

INSTANTIATE_TEST_SUITE_P(GrabThread, CloseDuringReconnection, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& named) {
                             return named.param ? "Finalize" : "Close";
                         });

}  // namespace
