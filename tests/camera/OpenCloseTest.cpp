// Opening and closing a camera, and what a failed open gives back.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "SimulatedDriver.h"
#include "ZURSim.h"
#include "ZavaDED.h"
#include "camera/Camera.h"

using testing_support::ClearJournal;
using testing_support::DriverSession;
using testing_support::Journal;
using testing_support::WriteWholeFile;

namespace {

TEST(Open, BuffersHaveTheImagesGeometry) {
    DriverSession session(
        {{"XCG-U100CR", 1, {{"width", "640"}, {"height", "480"}}}, {"XCG-V60E", 2}});
    int size[2] = {-1, -1};
    ASSERT_EQ(openCVLPort(0, 3, "XCG-U100CR-1", size), 1);
    EXPECT_EQ(size[0], 640);
    EXPECT_EQ(size[1], 480);
    const Camera& colour = session.CameraNamed("XCG-U100CR-1");
    EXPECT_TRUE(colour.IsOpen());
    EXPECT_EQ(colour.Port(), 3);
    EXPECT_EQ(colour.DestBuffer()->Size(), 3 * 640 * 480);
    EXPECT_EQ(colour.TempBuffer()->Size(), 4 * 640 * 480);
    EXPECT_EQ(colour.GetLine(1) - colour.GetLine(0), 3 * 640);
    // Nothing has reached the buffer yet.
    for (int i = 0; i < 3 * 640; ++i) {
        ASSERT_EQ(colour.GetLine(479)[i], 200) << i;
    }

    const Camera& mono = session.Open("XCG-V60E-2", 4);
    EXPECT_EQ(mono.DestBuffer()->Size(), mono.ZazeBuffer()->Size());
    EXPECT_EQ(mono.GetLine(1) - mono.GetLine(0), 640);
}

TEST(Open, LinesOutsideTheImageAreRefused) {
    DriverSession session({{"XCG-V60E", 1}});
    const Camera& camera = session.CameraNamed("XCG-V60E-1");
    session.Log().Clear();
    EXPECT_EQ(camera.GetLine(0), nullptr);  // closed: no buffer, no message
    EXPECT_TRUE(session.Log().Messages().empty());
    session.Open("XCG-V60E-1", 0);
    session.Log().Clear();
    EXPECT_EQ(camera.GetLine(480), nullptr);
    EXPECT_EQ(camera.GetLine(-1), nullptr);
    EXPECT_TRUE(
        session.Log().Contains("ImageBuffer::GetLine: ERROR: line index out of range: 480 \n"));
    EXPECT_TRUE(
        session.Log().Contains("ImageBuffer::GetLine: ERROR: line index out of range: -1 \n"));
    EXPECT_NE(camera.GetLine(479), nullptr);
}

TEST(Open, ASecondOpenLeavesTheOpenCameraAlone) {
    DriverSession session({{"XCG-V60E", 1}});
    Camera& camera = session.Open("XCG-V60E-1", 2);
    const ImageBuffer* buffer = camera.DestBuffer();
    ClearJournal();
    int size[2] = {-1, -1};
    EXPECT_EQ(openCVLPort(0, 5, "XCG-V60E-1", size), 0);
    EXPECT_TRUE(
        session.Log().Contains("Camera::Open: ERROR:  XCG-V60E-1 is already open on port 5\n"));
    EXPECT_TRUE(camera.IsOpen());
    EXPECT_EQ(camera.Port(), 2);  // still reachable on its port
    EXPECT_EQ(camera.DestBuffer(), buffer);
    EXPECT_TRUE(Journal().empty());
    EXPECT_EQ(size[0], 0);
    EXPECT_EQ(doCVLGrab(0, 2), 1);
}

TEST(Open, WithoutAnIniSectionEveryParameterKeepsItsFamilyDefault) {
    DriverSession session({{"XCG-V60E", 1}});
    WriteWholeFile(session.Folder().File("ZavaDED.ini"), "[other]\nExposure=5\n");
    Camera& camera = session.Open("XCG-V60E-1", 0);
    EXPECT_EQ(camera.Params().Exposure.value, 100);
    EXPECT_EQ(camera.Params().TriggerMode.value, "Off");
}

TEST(Open, TheLastOpenedCameraSetsTheLogLevels) {
    DriverSession session({{"XCG-V60E", 1}, {"XCG-V60E", 2}});
    WriteWholeFile(session.Folder().File("ZavaDED.ini"),
                   "[XCG-V60E-1]\nLogLevel=2\n[XCG-V60E-2]\nLogLevel=3\nLogIntoFile=1\n");
    DriverLog& log = DriverLog::Instance();
    log.SetLogIntoFile(true);
    session.Open("XCG-V60E-1", 0);
    EXPECT_EQ(log.LogLevel(), 2);
    EXPECT_EQ(log.DebugView(), 2);
    EXPECT_FALSE(log.LogIntoFile());  // never stored, so always off after an open
    session.Open("XCG-V60E-2", 1);
    EXPECT_EQ(log.LogLevel(), 3);
    EXPECT_EQ(log.DebugView(), 3);
    EXPECT_FALSE(log.LogIntoFile());
    EXPECT_EQ(session.CameraNamed("XCG-V60E-2").Params().Exposure.value, 100);
}

TEST(Open, ABufferSmallerThanTheImageFailsTheOpen) {
    DriverSession session({{"XCG-V60E", 1, {{"bufferSize", "1000"}}}});
    int size[2];
    EXPECT_EQ(openCVLPort(0, 0, "XCG-V60E-1", size), 0);
    EXPECT_TRUE(session.Log().Contains(
        "ImageBuffer::Create: ERROR: mono buffer < wh, w=640, h=480, size=1000\n"));
    EXPECT_TRUE(session.Log().Contains(
        "Camera::Open: ERROR: could not allocate Vantix Dest ImageBuffer, port: 0\n"));
    EXPECT_EQ(size[0], 0);
    EXPECT_EQ(ZURSimOpenDeviceCount(), 0);
}

// Every ZUR call of the open sequence, failing, must leave nothing behind.
class FailedOpen : public ::testing::TestWithParam<const char*> {};

TEST_P(FailedOpen, GivesBackEverythingAndTheNextOpenSucceeds) {
    for (const char* model : {"XCG-V60E", "XCG-U100CR"}) {
        DriverSession session({{model, 1}});
        const std::string name = std::string(model) + "-1";
        ZURSimFailNext(GetParam(), 1);
        int size[2];
        const int opened = openCVLPort(0, 0, name.c_str(), size);
        ZURSimFailNext(GetParam(), 0);
        const Camera& camera = session.CameraNamed(name);
        if (opened == 0) {
            EXPECT_FALSE(camera.IsOpen());
            EXPECT_EQ(camera.Port(), -1);
            EXPECT_EQ(camera.DestBuffer(), nullptr);
            EXPECT_EQ(ZURSimOpenDeviceCount(), 0) << GetParam();
            EXPECT_EQ(ZURSimOpenConversionCount(), 0) << GetParam();
            EXPECT_TRUE(session.Log().Contains(
                "openCVLPort: ERROR: camera not opened, grabberNo=0, portNo=0, cameraName=" + name +
                "\n"));
            // The host learns why a camera could not be opened.
            EXPECT_EQ(session.Log().Contains("Camera::Open: " + name +
                                             " cannot be opened: failure injected by the "
                                             "simulator (ZUR error 100)\n"),
                      std::string(GetParam()) == "ZUROpen");
        }
        EXPECT_EQ(openCVLPort(0, 0, name.c_str(), size), opened == 0 ? 1 : 0) << GetParam();
        closeCVLPort(0, 0);
        EXPECT_EQ(ZURSimOpenDeviceCount(), 0);
        EXPECT_EQ(ZURSimOpenConversionCount(), 0);
    }
}

INSTANTIATE_TEST_SUITE_P(EachCall, FailedOpen,
                         ::testing::Values("ZUROpen", "ZURGetImageInfo", "ZURCreateConvHandle",
                                           "ZURColorConvSetBMPINFO", "ZURIsoAlloc", "ZURIsoStart"));

TEST(Close, ReleasesTheDeviceInOrder) {
    DriverSession session({{"XCG-U100CR", 1}});
    session.Open("XCG-U100CR-1", 6);
    ClearJournal();
    closeCVLPort(0, 6);
    std::vector<std::string> calls;
    for (const std::string& entry : Journal()) {
        calls.push_back(entry.substr(0, entry.find(' ')));
    }
    EXPECT_EQ(calls,
              (std::vector<std::string>{"ZURCloseConvHandle", "ZURIsoStop", "ZURAbortImageReqAll",
                                        "ZURIsoRelease", "ZURClose"}));
    const Camera& camera = session.CameraNamed("XCG-U100CR-1");
    EXPECT_FALSE(camera.IsOpen());
    EXPECT_EQ(camera.Port(), -1);
    EXPECT_EQ(camera.ZazeBuffer(), nullptr);
    EXPECT_EQ(camera.Width(), 1600);  // kept from the last open
}

TEST(Close, OnACameraNeverOpenedOnlyWarns) {
    DriverSession session({{"XCG-V60E", 1}});
    ClearJournal();
    session.CameraNamed("XCG-V60E-1").Close();
    EXPECT_TRUE(
        session.Log().Contains("Camera::Close: WARNING: called on already closed camera\n"));
    EXPECT_TRUE(Journal().empty());
    EXPECT_EQ(session.CameraNamed("XCG-V60E-1").Port(), -1);
}

TEST(Close, FinalizeClosesOpenCameras) {
    {
        DriverSession session({{"XCG-V60E", 1}, {"XCG-U100CR", 2}});
        session.Open("XCG-V60E-1", 0);
        session.Open("XCG-U100CR-2", 1);
        EXPECT_EQ(ZURSimOpenDeviceCount(), 2);
        EXPECT_EQ(finalize(), 1);
        EXPECT_EQ(ZURSimOpenDeviceCount(), 0);
        EXPECT_EQ(ZURSimOpenConversionCount(), 0);
    }
}

}  // namespace
