// Reduced reproducers of what careless hosts and flaky cameras did to the
// driver: callbacks that block or re-enter, requests on closed cameras, the
// "no port" mark, a host that exits without finalize, a sheet opened while
// the camera grabs. Every step that could hang is bounded.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <future>
#include <string>
#include <thread>

#include "CallbackRecorder.h"
#include "FakeSheet.h"
#include "HostSupport.h"
#include "SimulatedDriver.h"
#include "ZURSim.h"
#include "ZavaDED.h"
#include "camera/Camera.h"
#include "platform/Path.h"

using namespace std::chrono_literals;
using testing_support::Bounded;
using testing_support::CallbackRecorder;
using testing_support::DriverSession;
using testing_support::GrabOne;
using testing_support::HostLogSink;

namespace {

constexpr const char* kMono = "XCG-V60E-1";
constexpr const char* kColour = "XCG-U100CR-2";
constexpr auto kCloseBound = std::chrono::milliseconds(3000 + 1000);

// A host whose own teardown takes a while after the driver's statics are gone
// (this object is built before them, so it is destroyed after them).
std::atomic<bool> slowTeardown{false};
struct SlowTeardown {
    ~SlowTeardown() {
        if (slowTeardown) {
            std::this_thread::sleep_for(300ms);
        }
    }
} slowTeardownAtExit;

struct OneCamera {
    explicit OneCamera(const char* model = "XCG-V60E", std::uint64_t id = 1)
        : session({{model, id}}) {}
    DriverSession session;
    CallbackRecorder recorder;
    HostLogSink sink;
};

TEST(HostFaults, CloseIsBoundedWhileTheGrabThreadSitsInTheMessageCallback) {
    OneCamera host;
    host.session.Open(kMono, 0);
    ASSERT_EQ(setCompleteCallback(0, 0, &CallbackRecorder::Callback), 1);
    ASSERT_EQ(setProperty(0, 0, "LogLevel", 3), 1);
    // The sink hands grab-thread text to this (UI) thread and waits for 10 s.
    host.sink.BlockOtherThreads(10s);
    ASSERT_EQ(doCVLGrab(0, 0), 1);
    ASSERT_TRUE(host.sink.WaitUntilBlocked(5s));
    const auto took = Bounded(9s, "closeCVLPort", [] {
        HostLogSink::CountAsHostThread();
        closeCVLPort(0, 0);
    });
    EXPECT_LE(took, kCloseBound);
    RecordProperty("close_ms", static_cast<int>(took.count()));
    EXPECT_EQ(ZURSimOpenDeviceCount(), 0);
    // finalize with the thread still inside the host's code: nothing it uses is gone.
    EXPECT_LE(Bounded(9s, "finalize",
                      [] {
                          HostLogSink::CountAsHostThread();
                          finalize();
                      }),
              kCloseBound);
    host.sink.Release();
    std::this_thread::sleep_for(200ms);
}

TEST(HostFaults, CloseFromInsideTheMessageCallbackOnTheGrabThreadReturns) {
    OneCamera host;
    host.session.Open(kMono, 0);
    ASSERT_EQ(setProperty(0, 0, "LogLevel", 3), 1);
    host.sink.CloseFromOtherThreads(0, "GrabThread::IssueCB");
    ASSERT_EQ(doCVLGrab(0, 0), 1);
    ASSERT_TRUE(host.sink.WaitUntilClosed(8s)) << "closeCVLPort inside the message callback hung";
    EXPECT_EQ(ZURSimOpenDeviceCount(), 0);
    std::this_thread::sleep_for(100ms);
    EXPECT_FALSE(host.session.Log().Contains(
        "GrabThread::Destroy: WARNING: thread still busy after 3000 ms on port=-1; it ends on "
        "its own\n"));
}

TEST(HostFaults, OpenDoesNotWaitForTheMessageCallbackOfTheNewThread) {
    OneCamera host;
    testing_support::WriteWholeFile(host.session.Folder().File("ZavaDED.ini"),
                                    "[XCG-V60E-1]\nLogLevel=2\n");
    host.sink.BlockOtherThreads(10s);
    int size[2] = {0, 0};
    const auto took = Bounded(9s, "openCVLPort", [&] {
        HostLogSink::CountAsHostThread();
        EXPECT_EQ(openCVLPort(0, 0, kMono, size), 1);
    });
    EXPECT_LT(took, 2s);
    host.sink.Release();
}

TEST(HostFaults, AGrabRequestedWhileClosedIsNotServedAtTheNextOpen) {
    OneCamera host;
    Camera& camera = host.session.Open(kMono, 0);
    ASSERT_EQ(setCompleteCallback(0, 0, &CallbackRecorder::Callback), 1);
    closeCVLPort(0, 0);
    EXPECT_EQ(doCVLGrab(0, -1), 0);  // "no port" finds no camera
    camera.Grab();                   // a request that reached the closed camera all the same
    host.session.Open(kMono, 0);
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(host.recorder.Count(), 0);
    ASSERT_TRUE(GrabOne(host.recorder, 0));
}

TEST(HostFaults, TheNoPortMarkNeverFindsACamera) {
    OneCamera host;
    host.session.Open(kMono, 0);
    closeCVLPort(0, 0);
    int value = 7;
    std::uint8_t row[640];
    struct Case {
        const char* what;
        int result;
    };
    for (int port : {-1, 0}) {
        const Case cases[] = {
            {"doCVLGrab", doCVLGrab(0, port)},
            {"getProperty", getProperty(0, port, "ExposureTime", &value)},
            {"setProperty", setProperty(0, port, "ExposureTime", 100)},
            {"setCompleteCallback", setCompleteCallback(0, port, &CallbackRecorder::Callback)},
            {"getCVLGrabRow", getCVLGrabRow(0, port, row, 0, 0, 639)},
        };
        for (const Case& c : cases) {
            EXPECT_EQ(c.result, 0) << c.what << " on port " << port << " of a closed camera";
        }
    }
    EXPECT_EQ(value, 7);
    int size[2] = {1, 1};
    EXPECT_EQ(openCVLPort(0, -1, kMono, size), 0);
    EXPECT_EQ(size[0], 0);
    EXPECT_TRUE(host.session.Log().Contains(
        "openCVLPort: ERROR: port -1 stands for no port, grabberNo=0, cameraName=XCG-V60E-1\n"));
    EXPECT_EQ(ZURSimOpenDeviceCount(), 0);
}

// The grab event is signalled by a host thread while the callback closes the
// camera on the grab thread: nothing either of them uses may go away.
TEST(HostFaults, ClosingFromInsideTheCompletionCallbackWhileAnotherThreadGrabs) {
    OneCamera host;
    host.recorder.SetHook([](int, int port) { closeCVLPort(0, port); });
    std::atomic<bool> done{false};
    std::thread grabber([&done] {
        while (!done) {
            doCVLGrab(0, 0);
        }
    });
    host.session.Open(kMono, 0);
    ASSERT_EQ(setCompleteCallback(0, 0, &CallbackRecorder::Callback), 1);
    for (int i = 1; i <= 20; ++i) {
        ASSERT_TRUE(host.recorder.WaitFor(i)) << i;
        if (i < 20) {
            host.session.Open(kMono, 0);  // the callback stays with the camera
        }
    }
    done = true;
    grabber.join();
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(ZURSimOpenDeviceCount(), 0);
}

// One refused ZURClose (a network glitch) must not lock the camera out.
TEST(HostFaults, ACameraWhoseCloseFailedOpensAgain) {
    OneCamera host;
    host.session.Open(kMono, 0);
    ZURSimFailNext("ZURClose", 1);
    closeCVLPort(0, 0);
    int size[2] = {0, 0};
    EXPECT_EQ(openCVLPort(0, 0, kMono, size), 1);
    closeCVLPort(0, 0);
    EXPECT_EQ(ZURSimOpenDeviceCount(), 0);
}

// An unplugged camera's close fails, yet ZUR may have released the handle and
// give its number to the next open: the retry must not close that one.
TEST(HostFaults, TheRetryOfAFailedCloseLeavesAReissuedHandleAlone) {
    DriverSession session({{"XCG-V60E", 1}, {"XCG-V60E", 2}});
    ZURSimReuseHandles(1);
    session.Open("XCG-V60E-1", 0);
    ZURSimUnplug(1);
    closeCVLPort(0, 0);
    session.Open("XCG-V60E-2", 1);  // the number the unplugged camera had
    int size[2] = {0, 0};
    EXPECT_EQ(openCVLPort(0, 0, "XCG-V60E-1", size), 0);  // still unplugged
    EXPECT_EQ(ZURSimOpenDeviceCount(), 1);
    CallbackRecorder recorder;
    ASSERT_EQ(setCompleteCallback(0, 1, &CallbackRecorder::Callback), 1);
    ASSERT_EQ(doCVLGrab(0, 1), 1);
    EXPECT_TRUE(recorder.WaitFor(1));
}

// A camera that comes back while another host thread keeps its lock busy and
// while ZUR reuses handles: the recovery gets through, the other camera's
// stream is left alone, and nothing is left open.
TEST(HostFaults, ACameraComesBackThoughTheHostKeepsItBusyAndHandlesAreReused) {
    DriverSession session({{"XCG-V60E", 1}, {"XCG-V60E", 2}});
    ZURSimReuseHandles(1);
    session.Open("XCG-V60E-1", 0);
    session.Open("XCG-V60E-2", 1);
    CallbackRecorder recorder;
    for (const int port : {0, 1}) {
        ASSERT_EQ(setCompleteCallback(0, port, &CallbackRecorder::Callback), 1);
        ASSERT_EQ(setProperty(0, port, "continuous", 1), 1);
    }
    const auto imagesOn = [&](int port) {
        const auto calls = recorder.Calls();
        return static_cast<long>(std::count_if(
            calls.begin(), calls.end(), [port](const auto& call) { return call.second == port; }));
    };
    const auto awaitImages = [&](int port, long count) {
        const auto until = std::chrono::steady_clock::now() + 5s;
        while (imagesOn(port) < count && std::chrono::steady_clock::now() < until) {
            std::this_thread::sleep_for(5ms);
        }
        return imagesOn(port) >= count;
    };
    ASSERT_TRUE(awaitImages(0, 2) && awaitImages(1, 2));
    std::atomic<bool> busy{true};
    std::thread host([&] {
        int value = 0;
        while (busy.load()) {
            getProperty(0, 0, "Exposure", &value);
        }
    });
    ASSERT_EQ(ZURSimUnplug(1), 1);
    std::this_thread::sleep_for(1500ms);
    const auto otherBefore = imagesOn(1);
    ASSERT_EQ(ZURSimPlug(1, 1), 1);
    const auto before = imagesOn(0);
    // Within the 5 s a returning camera may cost, busy host or not.
    EXPECT_TRUE(awaitImages(0, before + 3));
    busy = false;
    host.join();
    EXPECT_TRUE(awaitImages(1, otherBefore + 3));
    for (const int port : {0, 1}) {
        EXPECT_LT(Bounded(kCloseBound, "closeCVLPort", [port] { closeCVLPort(0, port); }), 1s);
    }
    EXPECT_EQ(ZURSimOpenDeviceCount(), 0);
}

TEST(HostFaultsDeathTest, AHostThatExitsWhileGrabbingLosesNoLogEntry) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // The child runs this test afresh: the folder of the parent reaches it
    // through the environment.
    testing_support::TempDir parentFolder;
    if (std::getenv("ZAVADED_EXIT_TEST_DIR") == nullptr) {
        testing_support::SetEnvironment("ZAVADED_EXIT_TEST_DIR", parentFolder.Path());
    }
    const std::string folder = std::getenv("ZAVADED_EXIT_TEST_DIR");
    EXPECT_EXIT(
        {
            OneCamera host;
            setSystemPath(folder.c_str());
            host.session.Open(kMono, 0);
            setProperty(0, 0, "LogLevel", 3);
            setProperty(0, 0, "LogIntoFile", 1);
            setProperty(0, 0, "continuous", 1);
            std::this_thread::sleep_for(100ms);
            setProperty(0, 0, "ExposureTime", 123);  // the last line the host saw logged
            setDebugMsgProc(nullptr);                // the host's sink goes first
            slowTeardown = true;
            std::exit(0);  // no closeCVLPort, no finalize
        },
        ::testing::ExitedWithCode(0), "");
    const std::string text =
        testing_support::ReadWholeFile(platform::JoinPath(folder, "zavaDED.log"));
    EXPECT_NE(text.find("Camera::SetProperty: prop=ExposureTime value=123"), std::string::npos);
    EXPECT_NE(text.find("GrabThread::ThreadMain: grabbing completed"), std::string::npos);
}

TEST(HostFaults, ConfigureWhileGrabbingDoesNotTouchWhatTheGrabThreadReads) {
    OneCamera host("XCG-U100CR", 2);
    testing_support::SheetScript script;
    script.user = [](testing_support::FakeSheetWindows&) { return true; };
    testing_support::ScriptedFrontEndScope frontEnd(script);
    host.session.Open(kColour, 0);
    ASSERT_EQ(setCompleteCallback(0, 0, &CallbackRecorder::Callback), 1);
    ASSERT_EQ(setProperty(0, 0, "continuous", 1), 1);
    ASSERT_TRUE(host.recorder.WaitFor(1));
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(configureCamera(nullptr, kColour), 1);
    }
    const int before = host.recorder.Count();
    EXPECT_TRUE(host.recorder.WaitFor(before + 2));
}

TEST(HostFaults, WithoutADialogConfigureReadsAndWritesNothing) {
    OneCamera host;
    testing_support::SheetScript script;
    script.canShow = false;
    testing_support::ScriptedFrontEndScope frontEnd(script);
    host.session.Open(kMono, 0);
    testing_support::ClearJournal();
    EXPECT_EQ(configureCamera(nullptr, kMono), 0);
    EXPECT_EQ(testing_support::Journal(), std::vector<std::string>{});
    EXPECT_EQ(script.runs, 0);
    EXPECT_FALSE(testing_support::FileExists(host.session.Folder().File("ZavaDED.ini")));
}

// The host's code runs while the sheet is shown: it asks for the same sheet
// again, and then finalizes the driver under the sheet's feet.
TEST(HostFaults, TheHostReentersAndFinalizesWhileTheSheetIsShown) {
    OneCamera host;
    testing_support::SheetScript script;
    script.user = [](testing_support::FakeSheetWindows&) {
        EXPECT_EQ(configureCamera(nullptr, kMono), 0);
        finalize();
        return true;
    };
    testing_support::ScriptedFrontEndScope frontEnd(script);
    host.session.Open(kMono, 0);
    EXPECT_EQ(configureCamera(nullptr, kMono), 1);
    EXPECT_TRUE(host.session.Log().Contains(
        "Camera::Configure: ERROR: the sheet of XCG-V60E-1 is already shown\n"));
    EXPECT_EQ(getCVLNoOfSupportedCameras(), 0);
    EXPECT_EQ(ZURSimOpenDeviceCount(), 0);
    EXPECT_NE(testing_support::ReadWholeFile(host.session.Folder().File("ZavaDED.ini"))
                  .find("[XCG-V60E-1]"),
              std::string::npos);
}

// The red block of the scene sits in the lower half, left quarter: whatever
// Bayer order the camera is switched to, it must come out red.
TEST(HostFaults, AColourFilterChangeReachesTheNextImage) {
    OneCamera host("XCG-U100CR", 2);
    int size[2] = {0, 0};
    ASSERT_EQ(openCVLPort(0, 0, kColour, size), 1);
    ASSERT_EQ(setCompleteCallback(0, 0, &CallbackRecorder::Callback), 1);
    std::vector<std::uint8_t> row(static_cast<std::size_t>(size[0]) * 3);
    for (int filter : {0, 1, 2, 3, 1}) {
        ASSERT_EQ(setProperty(0, 0, "ColorFilter", filter), 1) << filter;
        ASSERT_TRUE(GrabOne(host.recorder, 0));
        ASSERT_EQ(getCVLGrabRow(0, 0, row.data(), size[1] * 3 / 4, 0, size[0] - 1), 1);
        const std::uint8_t* pixel = row.data() + 3 * (size[0] / 8);  // blue, green, red
        EXPECT_GT(pixel[2], 150) << "filter " << filter;
        EXPECT_LT(pixel[0], 80) << "filter " << filter;
    }
}

}  // namespace
