// Which cameras are attached, and how ZURGetList reports them.

#include <cstdlib>
#include <cstring>
#include <string>

#include "TempDir.h"
#include "ZurTestSupport.h"

namespace zurtest {
namespace {

using testing_support::TempDir;
using testing_support::WriteWholeFile;

class Discovery : public ZurTest {
  protected:
    void TearDown() override {
        SetConfigVariable(nullptr);
        ZurTest::TearDown();
    }

    static void SetConfigVariable(const char* value) {
#ifdef _WIN32
        _putenv_s("ZUR_SIM_CONFIG", value != nullptr ? value : "");
#else
        if (value != nullptr) {
            setenv("ZUR_SIM_CONFIG", value, 1);
        } else {
            unsetenv("ZUR_SIM_CONFIG");
        }
#endif
    }

    // The attached cameras as ZURGetList reports them: (ID, model).
    static std::vector<std::pair<std::uint64_t, std::string>> Listed() {
        ZURCameraList list{};
        EXPECT_EQ(ZURGetList(&list), 1);
        list.count = ZUR_MAX_LIST_RECORDS;
        EXPECT_EQ(ZURGetList(&list), 1);
        std::vector<std::pair<std::uint64_t, std::string>> cameras;
        for (std::uint32_t i = 0; i < list.count; ++i) {
            const ZURCameraRecord& record = list.records[i];
            cameras.emplace_back(record.deviceIdLow | std::uint64_t{record.deviceIdHigh} << 32,
                                 record.modelName);
        }
        return cameras;
    }
};

using Cameras = std::vector<std::pair<std::uint64_t, std::string>>;

TEST_F(Discovery, WithoutConfigurationTheBuiltInSetIsAttached) {
    SetConfigVariable(nullptr);
    ZURSimRestart();
    EXPECT_EQ(Listed(), (Cameras{{4660, "XCG-U100E"}, {4661, "XCG-5005CR"}, {4662, "XCG-H280E"}}));

    // Their formats follow the model: mono 8-bit, colour raw Bayer.
    const std::uint32_t mono = Open(4660);
    const std::uint32_t color = Open(4661);
    EXPECT_EQ(ImageInfo(mono).width, 1600);
    EXPECT_EQ(ImageInfo(mono).colorId, 0u);
    EXPECT_EQ(ImageInfo(color).width, 2448);
    EXPECT_EQ(ImageInfo(color).colorId, 9u);
    ZURCameraMode mode{};
    ASSERT_EQ(ZURNowCameraMode(color, &mode), 1);
    EXPECT_EQ(mode.colorFilter, 2u);
}

TEST_F(Discovery, ConfigurationFileReplacesTheBuiltInSetAndResetEmptiesIt) {
    TempDir folder;
    const std::string path = folder.File("cameras.ini");
    WriteWholeFile(path,
                   "[camera 1]\nmodel=XCG-V60E\nid=7\n"
                   "[camera 2]\nmodel=XCG-U100CR\n");
    SetConfigVariable(path.c_str());
    ZURSimRestart();
    EXPECT_EQ(Listed(), (Cameras{{7, "XCG-V60E"}, {4661, "XCG-U100CR"}}));

    // The control interface takes precedence over the file.
    ZURSimReset();
    EXPECT_TRUE(Listed().empty());
    ASSERT_EQ(ZURSimAddCamera("XCG-SX97E", 99), 1);
    EXPECT_EQ(Listed(), (Cameras{{99, "XCG-SX97E"}}));

    // A file without camera sections, or none at all, attaches nothing.
    WriteWholeFile(path, "[other]\nmodel=XCG-V60E\n");
    ZURSimRestart();
    EXPECT_TRUE(Listed().empty());
    SetConfigVariable(folder.File("missing.ini").c_str());
    ZURSimRestart();
    EXPECT_TRUE(Listed().empty());
}

TEST_F(Discovery, ConfigurationFileKeysAndSectionOrder) {
    TempDir folder;
    const std::string path = folder.File("cameras.ini");
    WriteWholeFile(path,
                   "[camera 1]\nmodel=Custom Cam\nwidth=320\nheight=0x100\ndataDepth=12\n"
                   "colorId=77\nbufferSize=1000\nfast=1\nframeCounter=5\n"
                   "[camera 2]\nmodel=XCG-5005CR\nid=0x2345\ncolorFilter=3\nstandardMode=1\n"
                   "width=not a number\n"
                   "[camera 3]\nmodel=XCG-H280E\nid=0x2345\n"
                   "[camera 5]\nmodel=XCG-V60E\n");
    ASSERT_EQ(ZURSimLoadConfig(path.c_str()), 1);
    // Enumeration stops at the missing section 4; camera 3's taken ID is replaced.
    EXPECT_EQ(Listed(),
              (Cameras{{4660, "Custom Cam"}, {0x2345, "XCG-5005CR"}, {4662, "XCG-H280E"}}));

    const std::uint32_t custom = Open(4660);
    const ZURImageInfo info = ImageInfo(custom);
    EXPECT_EQ(info.width, 320);
    EXPECT_EQ(info.height, 256);
    EXPECT_EQ(info.dataDepth, 12u);
    EXPECT_EQ(info.colorId, 77u);
    EXPECT_EQ(info.bufferSize, 1000u);
    EXPECT_EQ(ZURSimFrameCounter(4660), 4u);

    const std::uint32_t color = Open(0x2345);
    EXPECT_EQ(ImageInfo(color).width, 2448);  // the unreadable width is left out
    ZURCameraMode mode{};
    ASSERT_EQ(ZURNowCameraMode(color, &mode), 1);
    EXPECT_EQ(mode.standardMode, 1u);
    EXPECT_EQ(mode.colorFilter, 3u);

    EXPECT_EQ(ZURSimLoadConfig(folder.File("missing.ini").c_str()), 0);
    EXPECT_TRUE(Listed().empty());
}

TEST_F(Discovery, ListCountsAllCamerasButFillsAtMostTheRequestedAndTwenty) {
    for (std::uint64_t id = 1; id <= 25; ++id) {
        Add("XCG-V60E", id);
    }
    ZURCameraList list{};
    ASSERT_EQ(ZURGetList(&list), 1);
    EXPECT_EQ(list.count, 25u);  // more than the list holds: the driver clamps

    std::memset(&list, 0xAB, sizeof list);
    list.count = 3;
    ASSERT_EQ(ZURGetList(&list), 1);
    EXPECT_EQ(list.count, 3u);
    EXPECT_EQ(list.records[2].deviceIdLow, 3u);
    EXPECT_EQ(static_cast<unsigned char>(list.records[3].modelName[0]), 0xABu);  // untouched

    list.count = 1000;
    ASSERT_EQ(ZURGetList(&list), 1);
    EXPECT_EQ(list.count, 20u);
    EXPECT_EQ(list.records[19].deviceIdLow, 20u);
    EXPECT_STREQ(list.records[19].modelName, "XCG-V60E");
}

TEST_F(Discovery, RecordCarriesTheWholeIdAndACutModelName) {
    const std::string longModel(300, 'M');
    Add(longModel.c_str(), 0x0000002A00000011ull);
    ZURCameraList list{};
    list.count = 1;
    ASSERT_EQ(ZURGetList(&list), 1);
    EXPECT_EQ(list.records[0].deviceIdLow, 0x11u);
    EXPECT_EQ(list.records[0].deviceIdHigh, 0x2Au);
    EXPECT_EQ(std::string(list.records[0].modelName), std::string(255, 'M'));

    // The 64-bit ID opens the camera; IDs are unique.
    Open(0x0000002A00000011ull);
    EXPECT_EQ(ZURSimAddCamera("XCG-V60E", 0x0000002A00000011ull), 0);
    EXPECT_ZUR_ERROR(ZURGetList(nullptr), ZUR_ERROR_INVALID_ARGUMENT);
}

TEST_F(Discovery, CameraOptionsAreChecked) {
    Add("XCG-V60E", 1);
    Add("XCG-V60E", 2);
    EXPECT_EQ(ZURSimSetCameraOption(1, "noSuchKey", "1"), 0);
    EXPECT_EQ(ZURSimSetCameraOption(1, "width", "20000"), 0);
    EXPECT_EQ(ZURSimSetCameraOption(1, "colorFilter", "4"), 0);
    EXPECT_EQ(ZURSimSetCameraOption(1, "fast", "2"), 0);
    EXPECT_EQ(ZURSimSetCameraOption(1, "id", "2"), 0);  // taken
    EXPECT_EQ(ZURSimSetCameraOption(3, "fast", "1"), 0);
    EXPECT_EQ(ZURSimSetCameraOption(1, nullptr, "1"), 0);

    // A new sensor size restarts the geometry at the full sensor.
    const std::uint32_t handle = Open(1);
    ZURImagePosition window{0, 0, 320, 240, 0};
    ASSERT_EQ(ZURSetImageInfo(handle, &window), 1);
    ASSERT_EQ(ZURSimSetCameraOption(1, "width", "800"), 1);
    EXPECT_EQ(ImageInfo(handle).width, 800);
    EXPECT_EQ(ImageInfo(handle).height, 480);

    // Neither the ID of an open camera nor the sensor under a stream changes.
    EXPECT_EQ(ZURSimSetCameraOption(1, "id", "5"), 0);
    ASSERT_EQ(ZURIsoAlloc(handle), 1);
    EXPECT_EQ(ZURSimSetCameraOption(1, "height", "400"), 0);
    EXPECT_EQ(ZURSimSetCameraOption(1, "fast", "1"), 1);
}

}  // namespace
}  // namespace zurtest
