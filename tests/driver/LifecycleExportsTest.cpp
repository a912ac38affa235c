// The start-up exports: reference counting, the banner and the frame.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "LogCapture.h"
#include "SimulatedDriver.h"
#include "ZURSim.h"
#include "ZavaDED.h"

using testing_support::FixedClock;
using testing_support::LogCapture;

namespace {

class Lifecycle : public ::testing::Test {
  protected:
    void SetUp() override {
        ZURSimReset();
        ZURSimAddCamera("XCG-U100E", 4660);
    }
    void TearDown() override {
        while (DriverLog::Instance().RefCount() > 0) {
            finalize();
        }
        ZURSimReset();
    }
    LogCapture capture{2, 0};
};

TEST_F(Lifecycle, InitializeLogsItsBannerWithTheLocalTime) {
    FixedClock clock({2013, 6, 25, 8, 3, 4});
    ASSERT_EQ(initialize(nullptr, &LogCapture::MessageProcForTest), 1);
    EXPECT_TRUE(capture.Contains("===============\ninitialize: \n"));
    EXPECT_TRUE(capture.Contains(
        "initialize: ZavaDED camera driver V1,0,0,15, refcount=1, 2013-6-25 8:3:4\n"));
    EXPECT_EQ(DriverLog::Instance().SystemPath(), "");
}

TEST_F(Lifecycle, OnlyTheFirstInitializeEnumerates) {
    ASSERT_EQ(initialize("first", nullptr), 1);
    testing_support::ClearJournal();
    ASSERT_EQ(initialize("", &LogCapture::MessageProcForTest), 1);
    EXPECT_TRUE(testing_support::JournalOf("ZURGetList").empty());
    EXPECT_EQ(DriverLog::Instance().SystemPath(), "first");  // an empty path keeps the old one
    EXPECT_EQ(getCVLNoOfSupportedCameras(), 1);
    EXPECT_EQ(finalize(), 1);
    EXPECT_TRUE(capture.Contains("finalize: entering, refcount=2\n"));
    EXPECT_TRUE(capture.Contains("finalize: leaving, refcount=1\n"));
    EXPECT_EQ(getCVLNoOfSupportedCameras(), 1);
    EXPECT_EQ(finalize(), 1);
    EXPECT_EQ(getCVLNoOfSupportedCameras(), 0);
}

// The registry's teardown reads as its destructor running Destroy, also
// with a camera open that Destroy closes.
TEST_F(Lifecycle, TheLastFinalizeLogsTheRegistrysTeardownInOrder) {
    ASSERT_EQ(initialize(nullptr, &LogCapture::MessageProcForTest), 1);
    int size[2];
    ASSERT_EQ(openCVLPort(0, 0, "XCG-U100E-4660", size), 1);
    DriverLog::Instance().SetLogLevel(2);  // the open took the camera's level
    capture.Clear();
    ASSERT_EQ(finalize(), 1);
    std::vector<int> order;
    for (const char* line :
         {"finalize: entering, refcount=1\n", "CameraList::~CameraList: entering\n",
          "CameraList::Destroy: entering\n", "Camera::Close: entering\n",
          "CameraList::Destroy: leaving\n", "CameraList::~CameraList: leaving\n",
          "finalize: leaving, refcount=0\n"}) {
        EXPECT_EQ(capture.Count(line), 1) << line;
        order.push_back(capture.IndexOf(line));
    }
    EXPECT_TRUE(std::is_sorted(order.begin(), order.end())) << ::testing::PrintToString(order);
    EXPECT_EQ(ZURSimOpenDeviceCount(), 0);
}

TEST_F(Lifecycle, UnmatchedFinalizeKeepsTheCountAtZero) {
    EXPECT_EQ(finalize(), 1);
    EXPECT_EQ(DriverLog::Instance().RefCount(), 0);
    EXPECT_TRUE(capture.Contains("finalize: WARNING: called without a matching initialize\n"));
    ASSERT_EQ(initialize(nullptr, &LogCapture::MessageProcForTest), 1);
    EXPECT_EQ(getCVLNoOfSupportedCameras(), 1);
}

// The name is right: what is missing is the initialize before the open.
TEST_F(Lifecycle, OpenWithoutInitializeSaysSoBeforeTheNameIsMissed) {
    constexpr const char* kNotInitialised =
        "openCVLPort: ERROR: the driver is not initialised: call initialize first\n";
    constexpr const char* kNotFound =
        "openCVLPort: ERROR: cannot find camera by name:XCG-U100E-4660\n";
    int size[2];
    EXPECT_EQ(openCVLPort(0, 0, "XCG-U100E-4660", size), 0);
    ASSERT_GE(capture.IndexOf(kNotInitialised), 0);
    EXPECT_EQ(capture.IndexOf(kNotFound), capture.IndexOf(kNotInitialised) + 1);

    ASSERT_EQ(initialize(nullptr, &LogCapture::MessageProcForTest), 1);
    capture.Clear();
    EXPECT_EQ(openCVLPort(0, 0, "XCG-U100E-1", size), 0);
    EXPECT_EQ(capture.Count(kNotInitialised), 0);
    ASSERT_EQ(finalize(), 1);
    EXPECT_EQ(openCVLPort(0, 0, "XCG-U100E-4660", size), 0);
    EXPECT_EQ(capture.Count(kNotInitialised), 1);
}

TEST_F(Lifecycle, SettingsSurviveFinalize) {
    ASSERT_EQ(initialize("kept", &LogCapture::MessageProcForTest), 1);
    ASSERT_EQ(finalize(), 1);
    EXPECT_EQ(DriverLog::Instance().SystemPath(), "kept");
    EXPECT_EQ(DriverLog::Instance().GetMessageProc(), &LogCapture::MessageProcForTest);
    EXPECT_EQ(setSystemPath(""), 0);
    EXPECT_EQ(DriverLog::Instance().SystemPath(), "kept");
}

TEST_F(Lifecycle, NameArraysAreRebuiltOnEachCall) {
    ASSERT_EQ(initialize(nullptr, nullptr), 1);
    char** names = getCVLCameraConfigNames();
    ASSERT_NE(names, nullptr);
    EXPECT_STREQ(names[0], "XCG-U100E-4660");
    EXPECT_EQ(names[1], nullptr);
    char** again = getCVLCameraConfigNames();
    EXPECT_STREQ(again[0], "XCG-U100E-4660");
    EXPECT_EQ(finalize(), 1);
    char** empty = getCVLCameraConfigNames();
    EXPECT_EQ(empty[0], nullptr);
}

TEST_F(Lifecycle, ConstantExportsAnswerWithoutInitialize) {
    EXPECT_EQ(getCVLMaxNoOfGrabbers(), 1);
    EXPECT_EQ(getCVLMaxNoOfPorts(), 20);
    EXPECT_EQ(getCVLNoOfSupportedCameras(), 0);
}

}  // namespace
