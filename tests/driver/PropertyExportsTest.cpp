// Camera properties by name, through the exports.
#include <gtest/gtest.h>

#include <bit>
#include <chrono>
#include <string>
#include <thread>

#include "CallbackRecorder.h"
#include "SimulatedDriver.h"
#include "ZURSim.h"
#include "ZavaDED.h"
#include "camera/Camera.h"

using testing_support::CallbackRecorder;
using testing_support::ClearJournal;
using testing_support::DriverSession;
using testing_support::PeekRegister;
using testing_support::RegisterWrites;
using testing_support::Write;
using namespace std::chrono_literals;

namespace {

class Properties : public ::testing::Test {
  protected:
    Properties()
        : session({{"XCG-U100E", 1}, {"XCG-H280E", 2}, {"XCG-5005CR", 3}}),
          mono(session.Open("XCG-U100E-1", 0)),
          h280(session.Open("XCG-H280E-2", 1)),
          colour(session.Open("XCG-5005CR-3", 2)) {}

    int Get(int port, const char* name, int initial = -12345) {
        int value = initial;
        EXPECT_EQ(getProperty(0, port, name, &value), 1) << name;
        return value;
    }

    DriverSession session;
    Camera& mono;
    Camera& h280;
    Camera& colour;
};

TEST_F(Properties, NamesIgnoreLetterCase) {
    EXPECT_EQ(setProperty(0, 0, "exposure", 300), 1);
    EXPECT_EQ(Get(0, "EXPOSURE"), 300);
    EXPECT_EQ(setProperty(0, 0, "ExposureTime", 400), 1);
    EXPECT_EQ(Get(0, "exposuretime"), 400);
    EXPECT_EQ(PeekRegister(1, 0xA0002040), 400u);
}

TEST_F(Properties, RawRegisterNamesReachTheRegister) {
    ASSERT_EQ(ZURSimPokeRegister(1, 0xA0002040, 777), 1);
    EXPECT_EQ(Get(0, "0xa0002040"), 777);  // live, not the stored value
    EXPECT_EQ(Get(0, "0xA0002040"), 777);
    EXPECT_EQ(Get(0, "0Xa0002040"), -12345);  // an upper-case X is no raw name
    EXPECT_EQ(Get(0, "0xa000204"), -12345);   // nine characters are none either
    EXPECT_TRUE(session.Log().Contains(
        "Camera::GetProperty: unrecognized property name prop=0xa000204 \n"));
    ClearJournal();
    int unread = -12345;
    // Nothing hexadecimal: register 0, which the camera does not have.
    EXPECT_EQ(getProperty(0, 0, "0xzzzzzzzz", &unread), 0);
    EXPECT_EQ(unread, -12345);
    EXPECT_EQ(testing_support::JournalOf("ZURGigEGetRegister").size(), 1u);
    EXPECT_NE(testing_support::JournalOf("ZURGigEGetRegister")[0].find("address=0x00000000"),
              std::string::npos);
    EXPECT_EQ(setProperty(0, 0, "0xa0002040", 555), 1);
    EXPECT_EQ(PeekRegister(1, 0xA0002040), 555u);
    EXPECT_EQ(setProperty(0, 0, "0xa0007000", 1), 0);  // a read-only limit
    EXPECT_TRUE(session.Log().Contains(
        "Camera::SetProperty: Write registry error.  Property =0xa0007000 value=1\n"));
}

TEST_F(Properties, ACameraThatDoesNotAnswerLeavesTheHostsValueAndTheSetAlone) {
    for (const char* fault : {"inject", "unplug"}) {
        if (std::string(fault) == "inject") {
            ZURSimFailNext("ZURGigEGetRegister", 1);
        } else {
            ASSERT_EQ(ZURSimUnplug(1), 1);
        }
        int value = -12345;
        EXPECT_EQ(getProperty(0, 0, "0xa0002040", &value), 0) << fault;
        EXPECT_EQ(value, -12345) << fault;
    }
    // A setting the camera does not take keeps what the set held, not the 0
    // of a read that failed: the next open or reconnection writes it.
    EXPECT_EQ(setProperty(0, 0, "ExposureTime", 300), 0);
    EXPECT_EQ(setProperty(0, 0, "TriggerMode", 1), 0);
    EXPECT_EQ(setProperty(0, 0, "AcquisitionFrameRate", 5), 0);
    EXPECT_EQ(Get(0, "Exposure"), 100);
    EXPECT_EQ(Get(0, "TriggerMode"), 0);
    EXPECT_EQ(Get(0, "FrameRate"), 1);
}

TEST_F(Properties, ValuesComeFromTheParameterSet) {
    ASSERT_TRUE(mono.SetFrameRate(7.5f));
    EXPECT_EQ(Get(0, "FrameRate"), 7);
    EXPECT_EQ(Get(0, "Gamma"), 0);  // 0.7 truncated
    EXPECT_EQ(Get(1, "Gamma"), -12345);
    EXPECT_TRUE(
        session.Log().Contains("Camera::GetProperty: unrecognized property name prop=Gamma \n"));
    EXPECT_EQ(Get(0, "PixelSize"), 8);
    EXPECT_EQ(Get(2, "PixelSize"), 24);
    EXPECT_EQ(Get(2, "VerticalBinning"), -12345);
    EXPECT_EQ(Get(1, "HorizontalBinning"), h280.Params().HorizontalBinning.value);
    EXPECT_EQ(Get(0, "HorizontalBinning"), -12345);
    EXPECT_EQ(Get(0, "TriggerActivation"), 4);
    EXPECT_EQ(Get(1, "SensorTaps"), 2);
    EXPECT_EQ(Get(0, "SensorTaps"), 0);
    EXPECT_EQ(Get(2, "ColorFilter"), colour.Params().ColorFilter.CurrentCode());
}

TEST_F(Properties, PixelSizeHasNoLeavingMessage) {
    DriverLog::Instance().SetLogLevel(3);
    session.Log().Clear();
    Get(2, "PixelSize");
    EXPECT_FALSE(session.Log().Contains("Camera::GetProperty: leaving prop=PixelSize \n"));
    Get(2, "Gain");
    EXPECT_TRUE(session.Log().Contains("Camera::GetProperty: leaving prop=Gain \n"));
}

TEST_F(Properties, BandLevelIsRangeCheckedAndOnlyStored) {
    ClearJournal();
    EXPECT_EQ(setProperty(0, 0, "BandLevel", 101), 0);
    EXPECT_TRUE(session.Log().Contains("Camera::SetProperty: band level not in range: 101\n"));
    EXPECT_EQ(setProperty(0, 0, "BandLevel", 100), 1);
    EXPECT_EQ(setProperty(0, 0, "BandLevel", 0), 1);
    EXPECT_EQ(setProperty(0, 0, "BandLevel", -1), 0);
    EXPECT_TRUE(testing_support::Journal().empty());
    EXPECT_EQ(Get(0, "BandLevel"), 0);
}

TEST_F(Properties, FrameRateIsSetAsAcquisitionFrameRate) {
    ASSERT_EQ(setProperty(0, 0, "AcquisitionFrameRate", 9), 1);
    ClearJournal();
    EXPECT_EQ(setProperty(0, 0, "AcquisitionFrameRate", -1), 1);
    EXPECT_EQ(RegisterWrites(),
              (std::vector<std::string>{Write(0xA0000224, 0), Write(0xA0000220, 0x41100000)}));
    EXPECT_EQ(setProperty(0, 0, "FrameRate", 10), 0);
    EXPECT_TRUE(session.Log().Contains(
        "Camera::SetProperty: unrecognized property name:FrameRate value=10\n"));
    for (const char* readOnly : {"ImageWidth", "TriggerActivation", "PixelSize", "Gamma"}) {
        EXPECT_EQ(setProperty(0, 0, readOnly, 1), 0) << readOnly;
    }
}

// 4300 fps are 4.3e9 micro-frames per second, beyond the H280 register's
// 32 bits: cut to them it would be about 5 fps.
TEST_F(Properties, AnH280RateBeyondTheRegisterIsRefused) {
    ASSERT_EQ(setProperty(0, 1, "AcquisitionFrameRate", 30), 1);
    for (const int rate : {4300, 4295, 1000000}) {
        session.Log().Clear();
        ClearJournal();
        EXPECT_EQ(setProperty(0, 1, "AcquisitionFrameRate", rate), 0) << rate;
        EXPECT_TRUE(RegisterWrites().empty()) << rate;
        EXPECT_EQ(Get(1, "FrameRate"), 30) << rate;
        EXPECT_TRUE(session.Log().Contains("Camera::SetFrameRate: ERROR: framerate " +
                                           std::to_string(rate) +
                                           ".000000 does not fit the register: port= 1\n"))
            << rate;
    }
    EXPECT_EQ(PeekRegister(2, 0xA0000220), 30000000u);
}

// Values from the INI file that the camera's registers cannot hold are not
// written cut to a plausible size either; the open goes on, and the set then
// holds what the camera has.
TEST(StoredValues, ThatDoNotFitTheirRegistersAreRefusedAtOpen) {
    testing_support::DriverSession session({{"XCG-H280E", 1}, {"XCG-V60E", 2}});
    testing_support::WriteWholeFile(session.Folder().File("ZavaDED.ini"),
                                    "[XCG-H280E-1]\r\nFrameRate=4300\r\n"
                                    "[XCG-V60E-2]\r\nFrameRate=1e39\r\nGamma=-1e300\r\n"
                                    "ImageWidth=65856\r\n");
    const std::uint32_t h280Rate = PeekRegister(1, 0xA0000220);
    const std::uint32_t rate = PeekRegister(2, 0xA0000220);
    const std::uint32_t gamma = PeekRegister(2, 0xA0000310);
    Camera& h280 = session.Open("XCG-H280E-1", 0);
    Camera& standard = session.Open("XCG-V60E-2", 1);
    EXPECT_EQ(PeekRegister(1, 0xA0000220), h280Rate);
    EXPECT_EQ(PeekRegister(2, 0xA0000220), rate);
    EXPECT_EQ(PeekRegister(2, 0xA0000310), gamma);
    EXPECT_EQ(PeekRegister(2, 0xA0000100), 640u);
    EXPECT_TRUE(session.Log().Contains(
        "Camera::SetFrameRate: ERROR: framerate 4300.000000 does not fit the register: port= 0\n"));
    EXPECT_TRUE(session.Log().Contains(
        "Camera::SetParamFloat: ERROR: value -1e+300 does not fit the register: port= 1, "
        "name= Gamma\n"));
    EXPECT_TRUE(session.Log().Contains(
        "Camera::SetSizeAndPosition: ERROR: widht= 65856, height= 20000, offsetX= 0, offsetY= 0 "
        "do not fit the camera's 16-bit fields\n"));
    EXPECT_DOUBLE_EQ(h280.Params().FrameRate.value, h280Rate / 1000000);
    EXPECT_EQ(standard.Params().ImageWidth.value, 640);
    EXPECT_EQ(standard.Width(), 640);
}

TEST_F(Properties, LogSwitchesActOnTheWholeDriver) {
    EXPECT_EQ(setProperty(0, 1, "LogLevel", 99), 1);
    EXPECT_EQ(Get(0, "LogLevel"), 99);
    EXPECT_EQ(mono.Params().LogLevel.value, 1);  // the camera's parameter stays
    EXPECT_EQ(setProperty(0, 0, "DebugView", 4), 1);
    EXPECT_EQ(DriverLog::Instance().DebugView(), 4);
    EXPECT_EQ(setProperty(0, 0, "LogIntoFile", 5), 1);
    EXPECT_EQ(Get(2, "LogIntoFile"), 1);
    EXPECT_EQ(setProperty(0, 0, "LogIntoFile", 0), 1);
}

TEST_F(Properties, ContinuousAcceptsBothSpellings) {
    EXPECT_EQ(setProperty(0, 0, "continuous", 5), 1);
    EXPECT_EQ(Get(0, "continous"), 1);
    EXPECT_EQ(setProperty(0, 0, "CONTINOUS", 0), 1);
    EXPECT_EQ(Get(0, "continuous"), 0);
}

TEST_F(Properties, AFailingGainSelectorLeavesTheGainAlone) {
    ClearJournal();
    ZURSimFailNext("ZURGigESetRegister", 1);
    EXPECT_EQ(setProperty(0, 0, "Gain", 100), 0);
    EXPECT_EQ(RegisterWrites(), std::vector<std::string>{Write(0xA000201C, 0)});
    EXPECT_EQ(setProperty(0, 2, "GainRed", 2048), 1);
    EXPECT_EQ(PeekRegister(3, 0xA0003000), 2048u);
}

TEST_F(Properties, RangesAreNeverReported) {
    int minimum = 11;
    int maximum = 22;
    EXPECT_EQ(getPropertyRange(0, 0, "Exposure", &minimum, &maximum), 0);
    EXPECT_EQ(getPropertyRange(0, 0, "Nonsense", &minimum, &maximum), 0);
    EXPECT_EQ(minimum, 11);
    EXPECT_EQ(maximum, 22);
    EXPECT_EQ(getPropertyRange(0, 9, "Exposure", nullptr, nullptr), 0);
}

TEST_F(Properties, AnEmptyPortAndBadArgumentsAreRefused) {
    session.Log().Clear();
    int value = 42;
    EXPECT_EQ(getProperty(0, 9, "Exposure", &value), 0);
    EXPECT_EQ(value, 42);
    EXPECT_EQ(
        session.Log().MessagesOfThisThread(),
        (std::vector<std::string>{"CameraList::GetByPort: ERROR: could not find camera on port 9\n",
                                  "--EXCEPTION caught at getProperty\n"}));
    EXPECT_EQ(getProperty(0, 0, nullptr, &value), 0);
    EXPECT_EQ(getProperty(0, 0, "Exposure", nullptr), 0);
    EXPECT_EQ(setProperty(0, 0, nullptr, 1), 0);
    const std::string longName(100000, 'x');
    EXPECT_EQ(setProperty(0, 0, longName.c_str(), 1), 0);
    EXPECT_EQ(Get(0, longName.c_str(), 5), 5);
}

TEST_F(Properties, SetPropertyLogsBeforeTheLookup) {
    DriverLog::Instance().SetLogLevel(3);
    session.Log().Clear();
    EXPECT_EQ(setProperty(0, 9, "Exposure", 1), 0);
    const int first = session.Log().IndexOf("setProperty: portNo=9\n");
    ASSERT_GE(first, 0);
    EXPECT_GT(session.Log().IndexOf("setProperty: --EXCEPTION caught \n"), first);
}

TEST_F(Properties, SoftwareTriggerReleasesExactlyOneImage) {
    CallbackRecorder recorder;
    ASSERT_EQ(setCompleteCallback(0, 0, &CallbackRecorder::Callback), 1);
    ASSERT_EQ(setProperty(0, 0, "TriggerMode", 1), 1);
    ASSERT_EQ(setProperty(0, 0, "TriggerSource", 1), 1);
    ASSERT_EQ(doCVLGrab(0, 0), 1);
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(recorder.Count(), 0);
    ASSERT_EQ(setProperty(0, 0, "SoftwareTrigger", 1), 1);
    ASSERT_TRUE(recorder.WaitFor(1));
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(recorder.Count(), 1);
}

}  // namespace
