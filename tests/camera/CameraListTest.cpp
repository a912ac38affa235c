#include "camera/CameraList.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "SimulatedDriver.h"
#include "ZURSim.h"
#include "ZavaDED.h"
#include "camera/DriverError.h"

using testing_support::DriverSession;
using testing_support::JournalOf;

namespace {

// The camera open on a port, as the exports find it.
Camera* OnPort(int port) {
    return CameraList::Current()->WithCameraOnPort(port, [](Camera& camera) { return &camera; });
}

std::vector<std::string> ConfigNames() {
    std::vector<std::string> names;
    char** array = getCVLCameraConfigNames();
    for (int i = 0; array[i] != nullptr; ++i) {
        names.emplace_back(array[i]);
    }
    return names;
}

struct ModelCase {
    const char* model;
    std::uint32_t flags;
    int pixelSize;
    const char* kind;
};

TEST(CameraList, RegistersEverySupportedModelWithItsFamily) {
    const ModelCase cases[] = {
        {"XCG-V60E", ModelMono, 8, "b/w"},       {"XCG-SX97E", ModelMono, 8, "b/w"},
        {"XCG-SX99E", ModelMono, 8, "b/w"},      {"XCG-U100E", ModelMono, 8, "b/w"},
        {"XCG-5005E", ModelMono, 8, "b/w"},      {"XCG-H280E", ModelMono | ModelH280, 8, "b/w"},
        {"XCG-U100CR", ModelColor, 24, "color"}, {"XCG-5005CR", ModelColor, 24, "color"},
    };
    DriverSession session({{"XCG-V60E", 4660},
                           {"XCG-SX97E", 4661},
                           {"XCG-SX99E", 4662},
                           {"XCG-U100E", 4663},
                           {"XCG-5005E", 4664},
                           {"XCG-H280E", 4665},
                           {"XCG-U100CR", 4666},
                           {"XCG-5005CR", 4667}});
    ASSERT_EQ(getCVLNoOfSupportedCameras(), 8);
    const std::vector<std::string> names = ConfigNames();
    for (int i = 0; i < 8; ++i) {
        const ModelCase& expected = cases[i];
        const std::string name = std::string(expected.model) + "-" + std::to_string(4660 + i);
        EXPECT_EQ(names[static_cast<std::size_t>(i)], name);
        const Camera& camera = session.CameraNamed(name);
        EXPECT_EQ(camera.ModelFlags(), expected.flags) << name;
        EXPECT_EQ(camera.PixelSize(), expected.pixelSize) << name;
        EXPECT_EQ(camera.Port(), -1);
        EXPECT_FALSE(camera.IsOpen());
        EXPECT_TRUE(session.Log().Contains(std::string("* ") + expected.kind +
                                           " camera found: " + name + " \n"))
            << name;
    }
    // Registering a camera routes "LogLevel" 3 through its properties.
    EXPECT_EQ(DriverLog::Instance().LogLevel(), 3);
}

TEST(CameraList, SupportedModelsAreFoundInTheListOfModels) {
    EXPECT_TRUE(CameraList::IsSupportedModel("XCG-H280E"));
    EXPECT_TRUE(CameraList::IsSupportedModel("XCG-U100"));
    EXPECT_FALSE(CameraList::IsSupportedModel("XCG-U100EX"));
    EXPECT_FALSE(CameraList::IsSupportedModel("xcg-u100e"));
    EXPECT_FALSE(CameraList::IsSupportedModel(""));
}

TEST(CameraList, SkipsUnsupportedModelsButKeepsLooking) {
    DriverSession session({{"XCG-FOO", 1}, {"XCG-U100", 3}, {"XCG-5005E", 4660}});
    EXPECT_TRUE(session.Log().Contains("CameraList::camera XCG-FOO is not supported.\n"));
    // Any part of the list of supported models passes, as hosts have always seen.
    EXPECT_EQ(ConfigNames(), (std::vector<std::string>{"XCG-U100-3", "XCG-5005E-4660"}));
}

TEST(CameraList, OnlyUnsupportedModelsLeaveTheRegistryEmpty) {
    DriverSession session({{"ABC-1", 7}});
    EXPECT_EQ(getCVLNoOfSupportedCameras(), 0);
    EXPECT_TRUE(session.Log().Contains("CameraList::Init: WARNING: no supported cameras found\n"));
    EXPECT_EQ(ConfigNames(), std::vector<std::string>{});
}

TEST(CameraList, NoCamerasIsReportedAndInitializeStillSucceeds) {
    DriverSession session({});
    EXPECT_EQ(getCVLNoOfSupportedCameras(), 0);
    EXPECT_TRUE(session.Log().Contains("CameraList::Init: no cameras found\n"));
}

TEST(CameraList, AsksForAtMostTwentyRecords) {
    ZURSimReset();
    for (int i = 0; i < 25; ++i) {
        ZURSimAddCamera("XCG-U100E", static_cast<std::uint64_t>(100 + i));
    }
    testing_support::ClearJournal();
    testing_support::LogCapture capture(1, 0);
    EXPECT_EQ(initialize("", nullptr), 1);
    EXPECT_EQ(JournalOf("ZURGetList"), (std::vector<std::string>{"count=0", "count=20"}));
    EXPECT_EQ(getCVLNoOfSupportedCameras(), 20);
    EXPECT_EQ(ConfigNames().back(), "XCG-U100E-119");
    finalize();
    ZURSimReset();
}

TEST(CameraList, AFailingListCallMeansNoCameras) {
    DriverSession session({{"XCG-U100E", 1}});
    finalize();
    session.Log().Clear();
    ZURSimFailNext("ZURGetList", 1);
    EXPECT_EQ(initialize(nullptr, &testing_support::LogCapture::MessageProcForTest), 1);
    EXPECT_EQ(getCVLNoOfSupportedCameras(), 0);
    EXPECT_TRUE(session.Log().Contains("CameraList::Init: no cameras found\n"));
}

TEST(CameraList, DeviceIdBecomesPartOfTheName) {
    DriverSession session({{"XCG-5005E", 4660}, {"XCG-U100E", 0x8000000000000001ull}});
    // The device ID is printed as a signed 64-bit number.
    EXPECT_EQ(ConfigNames(),
              (std::vector<std::string>{"XCG-5005E-4660", "XCG-U100E--9223372036854775807"}));
    EXPECT_EQ(session.CameraNamed("XCG-U100E--9223372036854775807").DeviceId(),
              0x8000000000000001ull);
}

TEST(CameraList, LookupsAreExactAndRaiseTheDriversError) {
    DriverSession session({{"XCG-U100E", 4660}});
    const std::shared_ptr<CameraList> cameras = CameraList::Current();
    EXPECT_TRUE(cameras->IsCameraAvailable("XCG-U100E-4660"));
    EXPECT_FALSE(cameras->IsCameraAvailable("xcg-u100e-4660"));
    EXPECT_FALSE(cameras->IsCameraAvailable(nullptr));
    EXPECT_THROW(cameras->GetByName("xcg-u100e-4660"), DriverError);
    EXPECT_TRUE(session.Log().Contains(
        "CameraList::GetByName: ERROR: could not find camera xcg-u100e-4660\n"));

    EXPECT_THROW(OnPort(5), DriverError);
    EXPECT_TRUE(
        session.Log().Contains("CameraList::GetByPort: ERROR: could not find camera on port 5\n"));

    // A camera whose open failed is on no port.
    ZURSimFailNext("ZURIsoStart", 1);
    int size[2] = {0, 0};
    EXPECT_EQ(openCVLPort(0, 5, "XCG-U100E-4660", size), 0);
    EXPECT_EQ(cameras->GetByName("XCG-U100E-4660")->Port(), -1);
    EXPECT_THROW(OnPort(5), DriverError);
    EXPECT_THROW(OnPort(-1), DriverError);
}

TEST(CameraList, FirstCameraInRegistryOrderWinsAPort) {
    DriverSession session({{"XCG-U100E", 1}, {"XCG-U100E", 2}});
    session.Open("XCG-U100E-2", 3);
    Camera& first = session.Open("XCG-U100E-1", 3);
    EXPECT_EQ(OnPort(3), &first);
}

}  // namespace
