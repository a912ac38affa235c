// One camera's slow ZUR calls (a GigE Vision open, the close of a camera
// that has gone) hold up no export on another camera.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "CallbackRecorder.h"
#include "SimulatedDriver.h"
#include "ZURSim.h"
#include "ZavaDED.h"

using namespace std::chrono_literals;
using testing_support::CallbackRecorder;
using testing_support::DriverSession;

namespace {

constexpr const char* kA = "XCG-V60E-1";
constexpr const char* kB = "XCG-U100E-2";
// Far longer than any of A's calls takes, so that the order is certain.
constexpr std::uint32_t kSlowMs = 2000;

// B's slow export: set up, the call the simulator holds up, and the export.
struct SlowCall {
    const char* zurCall;
    bool bOpenFirst;
    std::function<void()> export_;
};
void PrintTo(const SlowCall& call, std::ostream* out) {
    *out << call.zurCall;
}

class SlowCamera : public testing::TestWithParam<SlowCall> {};

// A host inspects camera A, one call after another, while its other thread
// waits for B: every one of A's calls returns while B's is still held up.
TEST_P(SlowCamera, HoldsUpNoExportOnAnotherCamera) {
    const SlowCall& slow = GetParam();
    DriverSession session({{"XCG-V60E", 1}, {"XCG-U100E", 2}});
    session.Open(kA, 0);
    if (slow.bOpenFirst) {
        session.Open(kB, 1);
    }
    CallbackRecorder recorder;
    ASSERT_EQ(setCompleteCallback(0, 0, &CallbackRecorder::Callback), 1);
    ZURSimJournalClear();
    ZURSimSetDelay(slow.zurCall, kSlowMs);

    std::atomic<bool> bReturned{false};
    std::thread other([&] {
        slow.export_();
        bReturned = true;
    });
    const auto deadline = std::chrono::steady_clock::now() + 2s;
    while (testing_support::JournalOf(slow.zurCall).empty() &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(1ms);
    }
    ASSERT_FALSE(testing_support::JournalOf(slow.zurCall).empty()) << "B's call never began";

    std::vector<std::uint8_t> row(640);
    int value = 0;
    const std::pair<const char*, std::function<bool()>> calls[] = {
        {"getCVLGrabRow", [&] { return getCVLGrabRow(0, 0, row.data(), 5, 0, 639) == 1; }},
        {"doCVLGrab to callback", [&] { return testing_support::GrabOne(recorder, 0); }},
        {"getProperty", [&] { return getProperty(0, 0, "Exposure", &value) == 1; }},
        {"setProperty", [&] { return setProperty(0, 0, "Exposure", 2000) == 1; }},
        {"getCVLNoOfSupportedCameras", [] { return getCVLNoOfSupportedCameras() == 2; }},
        {"getCVLCameraConfigNames", [] { return getCVLCameraConfigNames()[0] != nullptr; }},
        {"closeCVLPort",
         [] {
             closeCVLPort(0, 0);
             return true;
         }},
    };
    for (const auto& [what, call] : calls) {
        // The simulator holds up the call whichever camera makes it.
        if (std::string(what) == "closeCVLPort" && std::string(slow.zurCall) == "ZURClose") {
            continue;
        }
        EXPECT_TRUE(call()) << what;
        EXPECT_FALSE(bReturned) << what << " waited for camera B's " << slow.zurCall;
    }
    other.join();
    ZURSimSetDelay(slow.zurCall, 0);
}

INSTANTIATE_TEST_SUITE_P(Calls, SlowCamera,
                         testing::Values(SlowCall{"ZUROpen", false,
                                                  [] {
                                                      int size[2];
                                                      openCVLPort(0, 1, kB, size);
                                                  }},
                                         SlowCall{"ZURClose", true, [] { closeCVLPort(0, 1); }}),
                         [](const testing::TestParamInfo<SlowCall>& param) {
                             return std::string(param.param.zurCall);
                         });

}  // namespace

namespace {

// finalize takes each camera's lock in turn: an open held up on another
// thread finishes first, and finalize then closes what it opened.
TEST(SlowCamera, FinalizeDuringAnOpenClosesTheCameraOnceTheOpenIsDone) {
    DriverSession session({{"XCG-V60E", 1}, {"XCG-U100E", 2}});
    session.Open(kA, 0);
    ZURSimJournalClear();
    ZURSimSetDelay("ZUROpen", 500);
    std::atomic<int> opened{-1};
    std::thread other([&] {
        int size[2];
        opened = openCVLPort(0, 1, kB, size);
    });
    const auto deadline = std::chrono::steady_clock::now() + 2s;
    while (testing_support::JournalOf("ZUROpen").empty() &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(1ms);
    }
    EXPECT_EQ(finalize(), 1);
    other.join();
    ZURSimSetDelay("ZUROpen", 0);
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(ZURSimOpenDeviceCount(), 0);
    std::vector<std::uint8_t> row(640);
    for (const int port : {0, 1}) {
        EXPECT_EQ(getCVLGrabRow(0, port, row.data(), 0, 0, 639), 0) << port;
        EXPECT_EQ(doCVLGrab(0, port), 0) << port;
    }
}

}  // namespace
