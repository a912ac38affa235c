// The port and grab exports, with their arguments checked at the boundary.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "CallbackRecorder.h"
#include "SimulatedDriver.h"
#include "ZURSim.h"
#include "ZavaDED.h"
#include "camera/Camera.h"

using testing_support::CallbackRecorder;
using testing_support::DriverSession;

namespace {

constexpr const char* kColour = "XCG-U100CR-1";
constexpr const char* kMono = "XCG-V60E-2";

DriverSession Session() {
    return DriverSession(
        {{"XCG-U100CR", 1, {{"fast", "1"}, {"width", "640"}, {"height", "480"}}}, {"XCG-V60E", 2}});
}

TEST(OpenPort, UndefinedNamesAreRefusedWithoutALookup) {
    DriverSession session({{"XCG-V60E", 2}});
    DriverLog::Instance().SetLogLevel(3);
    for (const char* name : {"Undefined", "UNDEFINED", "Udefinert", "UDEFINERT", ""}) {
        session.Log().Clear();
        int size[2] = {7, 7};
        EXPECT_EQ(openCVLPort(0, 1, name, size), 0) << name;
        EXPECT_EQ(size[0], 0);
        EXPECT_EQ(size[1], 0);
        EXPECT_TRUE(session.Log().Contains(std::string("openCVLPort: ERROR: undefined camera, "
                                                       "grabberNo=0, portNo=1, cameraName=") +
                                           name + "\n"))
            << name;
        EXPECT_FALSE(session.Log().Contains(std::string("CameraList::IsCameraAvailable:  name=") +
                                            name + "\n"));
    }
    int size[2];
    EXPECT_EQ(openCVLPort(0, 1, nullptr, size), 0);
    EXPECT_TRUE(session.Log().Contains(
        "openCVLPort: ERROR: undefined camera, grabberNo=0, portNo=1, cameraName=(null)\n"));
}

// A negative port cannot be told from "no port" (-1), which is what a
// completion callback never names: a camera opened on one would never call
// back. Each is refused before anything is opened.
TEST(OpenPort, NegativePortsAreRefused) {
    DriverSession session({{"XCG-V60E", 2}});
    const std::vector<std::pair<int, std::string>> cases = {
        {-1,
         "openCVLPort: ERROR: port -1 stands for no port, grabberNo=0, cameraName=XCG-V60E-2\n"},
        {-7,
         "openCVLPort: ERROR: port -7 is negative, and a negative port cannot be told from no "
         "port (-1), grabberNo=0, cameraName=XCG-V60E-2\n"},
        {-2147483647 - 1,
         "openCVLPort: ERROR: port -2147483648 is negative, and a negative port "
         "cannot be told from no port (-1), grabberNo=0, cameraName=XCG-V60E-2\n"},
    };
    for (const auto& [port, message] : cases) {
        int size[2] = {7, 7};
        EXPECT_EQ(openCVLPort(0, port, kMono, size), 0) << port;
        EXPECT_EQ(size[0], 0);
        EXPECT_EQ(size[1], 0);
        EXPECT_TRUE(session.Log().Contains(message)) << port;
        EXPECT_FALSE(session.CameraNamed(kMono).IsOpen()) << port;
        EXPECT_EQ(ZURSimOpenDeviceCount(), 0) << port;
    }
}

TEST(OpenPort, UnknownNamesAndMissingSizeAreRefused) {
    DriverSession session({{"XCG-V60E", 2}});
    int size[2] = {7, 7};
    EXPECT_EQ(openCVLPort(0, 1, "XCG-V60E-3", size), 0);
    EXPECT_TRUE(
        session.Log().Contains("openCVLPort: ERROR: cannot find camera by name:XCG-V60E-3\n"));
    EXPECT_EQ(size[0], 0);
    EXPECT_EQ(openCVLPort(0, 1, kMono, nullptr), 0);
    EXPECT_TRUE(session.Log().Contains(
        "openCVLPort: ERROR: no place for the image size, grabberNo=0, portNo=1\n"));
    EXPECT_FALSE(session.CameraNamed(kMono).IsOpen());
}

TEST(OpenPort, CallsReachTheCameraOnlyOnItsPort) {
    DriverSession session = Session();
    int size[2];
    ASSERT_EQ(openCVLPort(0, 4, kMono, size), 1);
    EXPECT_EQ(size[0], 640);
    EXPECT_EQ(size[1], 480);
    EXPECT_TRUE(
        session.Log().Contains("openCVLPort: leaving -- Camera XCG-V60E-2 OPENED on port 4\n") ||
        DriverLog::Instance().LogLevel() < 2);
    EXPECT_EQ(doCVLGrab(0, 4), 1);
    session.Log().Clear();
    EXPECT_EQ(doCVLGrab(0, 5), 0);
    EXPECT_TRUE(
        session.Log().Contains("CameraList::GetByPort: ERROR: could not find camera on port 5\n"));
    EXPECT_TRUE(session.Log().Contains("doCVLGrab: --EXCEPTION caught  grabberNo=0 portNo=5\n"));
    EXPECT_EQ(setCompleteCallback(0, 5, nullptr), 0);
    EXPECT_TRUE(session.Log().Contains("setCompleteCallback: --EXCEPTION caught \n"));
}

TEST(ClosePort, ASecondCloseReportsTheMissingCamera) {
    DriverSession session = Session();
    session.Open(kMono, 2);
    DriverLog::Instance().SetLogLevel(2);
    closeCVLPort(0, 2);
    session.Log().Clear();
    closeCVLPort(0, 2);
    const int caught =
        session.Log().IndexOf("closeCVLPort: --EXCEPTION caught  grabberNo=0, portNo=2\n");
    const int leaving = session.Log().IndexOf("closeCVLPort: leaving grabberNo=0, portNo=2\n");
    EXPECT_GE(caught, 0);
    EXPECT_GT(leaving, caught);
}

class GrabRow : public ::testing::Test {
  protected:
    GrabRow() : session(Session()) {
        session.Open(kColour, 0);
        session.Open(kMono, 1);
        EXPECT_EQ(setCompleteCallback(0, 0, &CallbackRecorder::Callback), 1);
        EXPECT_EQ(setCompleteCallback(0, 1, &CallbackRecorder::Callback), 1);
    }
    // Reads a row into a buffer with guard bytes; returns the bytes written.
    int Read(int port, int row, int first, int last, int* result) {
        std::vector<std::uint8_t> buffer(4000, 0xEE);
        *result = getCVLGrabRow(0, port, buffer.data(), row, first, last);
        int written = 0;
        while (written < static_cast<int>(buffer.size()) &&
               buffer[static_cast<std::size_t>(written)] != 0xEE) {
            ++written;
        }
        return written;
    }
    DriverSession session;
    CallbackRecorder recorder;
};

TEST_F(GrabRow, CopiesWholePixelsFromTheStartOfTheRow) {
    int result = 0;
    // Before the first image every byte is 200.
    EXPECT_EQ(Read(0, 0, 0, 639, &result), 1920);
    EXPECT_EQ(result, 1);
    EXPECT_EQ(Read(1, 0, 0, 639, &result), 640);
    EXPECT_EQ(result, 1);

    ASSERT_TRUE(testing_support::GrabOne(recorder, 0));
    const Camera& camera = session.CameraNamed(kColour);
    std::vector<std::uint8_t> row(30);
    ASSERT_EQ(getCVLGrabRow(0, 0, row.data(), 100, 10, 19), 1);
    // Columns 10 to 19 copy the first ten pixels, not pixels 10 to 19.
    EXPECT_EQ(row, std::vector<std::uint8_t>(camera.GetLine(100), camera.GetLine(100) + 30));
}

TEST_F(GrabRow, NeverCopiesMoreThanOneRowOrOutsideTheImage) {
    int result = 0;
    EXPECT_EQ(Read(0, 5, 0, 5000, &result), 1920);
    EXPECT_EQ(result, 1);
    EXPECT_EQ(Read(1, 5, -100, 100000, &result), 640);
    EXPECT_EQ(Read(0, 5, 10, 9, &result), 0);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(Read(0, 480, 0, 639, &result), 0);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(Read(0, -1, 0, 639, &result), 0);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(getCVLGrabRow(0, 0, nullptr, 0, 0, 639), 0);
    EXPECT_EQ(Read(7, 0, 0, 639, &result), 0);
    EXPECT_EQ(result, 0);
    EXPECT_TRUE(session.Log().Contains("getCVLGrabRow: --EXCEPTION caught \n"));
}

TEST_F(GrabRow, RowTraceFollowsTheLogLevel) {
    ASSERT_EQ(setProperty(0, 0, "LogLevel", 4), 1);
    std::vector<std::uint8_t> row(1920);
    ASSERT_EQ(getCVLGrabRow(0, 0, row.data(), 3, 0, 639), 1);
    EXPECT_TRUE(session.Log().Contains("getCVLGrabRow: entering row=3  grabberNo=0  portNo=0\n"));
    EXPECT_TRUE(session.Log().Contains("getCVLGrabRow: leaving row=3  grabberNo=0  portNo=0\n"));
}

}  // namespace
