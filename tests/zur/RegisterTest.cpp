// Devices, the register space and the image geometry.

#include <bit>

#include "ZurTestSupport.h"

namespace zurtest {
namespace {

class Registers : public ZurTest {
  protected:
    void SetUp() override {
        ZurTest::SetUp();
        Add("XCG-U100E", 1);
        Add("XCG-5005CR", 2);
        Add("XCG-H280E", 3);
        Add("Tiny", 4, {"width", "48", "height", "40"});
    }
};

struct Expected {
    std::uint32_t address;
    std::uint32_t standard;
    std::uint32_t color;
    std::uint32_t h280;
};

TEST_F(Registers, InitialValuesPerFamily) {
    const std::uint32_t handles[] = {Open(1), Open(2), Open(3)};
    const std::uint32_t one = std::bit_cast<std::uint32_t>(1.0f);
    const Expected table[] = {
        {0xA0002040, 100, 100, 100},      // exposure
        {0xA0008038, 1023, 1023, 0},      // black level
        {0xA0002038, 0, 0, 1023},         // black level, H280
        {0xA0000220, one, one, 1000000},  // frame rate
        {0xA0000310, std::bit_cast<std::uint32_t>(0.7f), std::bit_cast<std::uint32_t>(0.7f),
         0},                                // gamma
        {0xA0000100, 1600, 2448, 1920},     // width
        {0xA0000104, 1200, 2048, 1080},     // height
        {0xA0002048, 4, 4, 4},              // trigger activation
        {0xA0002098, 1, 1, 1},              // trigger source Software
        {0xA0002078, 1, 1, 1},              // strobe duration 1
        {0xA000208C, 1, 1, 1},              // strobe duration 2
        {0xA0003000, 0, 1024, 0},           // red gain
        {0xA0003018, 0, 1024, 0},           // blue gain
        {0xA0001104, 0x50000, 0x50000, 0},  // ActiveGPO
        {0xA0000354, 0, 0, 0x50000},        // ActiveGPO, H280
        {0xA0001100, 0x10005, 0x10005, 0},  // black-level selector
        {0xA0000124, 0, 0, 2},              // sensor taps
        {0xA0007000, 1600, 2448, 1920},     // width max
        {0xA0007004, 64, 64, 64},           // width min
        {0xA000700C, 120, 120, 120},        // height min
        {0xA0007010, std::bit_cast<std::uint32_t>(15.0f), std::bit_cast<std::uint32_t>(15.0f),
         60000000},                               // frame rate max
        {0xA0007014, one, one, 1000000},          // frame rate min
        {0xA0007058, 2000000, 2000000, 2000000},  // exposure max
        {0xA000705C, 10, 10, 10},                 // exposure min
        {0xA0007068, one, one, 0},                // gamma max
        {0xA00070C0, 0, 16383, 0},                // colour gain max
        {0xA00070C4, 0, 1024, 0},                 // colour gain min
        {0xA0007084, 1, 1, 1},                    // strobe duration min
    };
    for (const Expected& row : table) {
        EXPECT_EQ(ReadRegister(handles[0], row.address), row.standard) << std::hex << row.address;
        EXPECT_EQ(ReadRegister(handles[1], row.address), row.color) << std::hex << row.address;
        EXPECT_EQ(ReadRegister(handles[2], row.address), row.h280) << std::hex << row.address;
    }
    // A sensor smaller than the usual minimum lowers the minimum.
    const std::uint32_t tiny = Open(4);
    EXPECT_EQ(ReadRegister(tiny, 0xA0007004), 48u);
    EXPECT_EQ(ReadRegister(tiny, 0xA000700C), 40u);
}

TEST_F(Registers, LimitsAreReadOnlyAndTheSpaceIsBounded) {
    const std::uint32_t handle = Open(1);
    EXPECT_EQ(WriteRegister(handle, 0xA0007058, 5), ZUR_ERROR_READ_ONLY);
    EXPECT_EQ(WriteRegister(handle, 0xA00070FC, 5), ZUR_ERROR_READ_ONLY);
    EXPECT_EQ(ReadRegister(handle, 0xA0007058), 2000000u);
    EXPECT_EQ(WriteRegister(handle, 0xA0007100, 5), 0u);  // just past the block

    EXPECT_EQ(WriteRegister(handle, 0x9FFFFFFC, 1), ZUR_ERROR_BAD_REGISTER);
    EXPECT_EQ(WriteRegister(handle, 0xA0010000, 1), ZUR_ERROR_BAD_REGISTER);
    EXPECT_EQ(WriteRegister(handle, 0xA0000002, 1), ZUR_ERROR_BAD_REGISTER);
    EXPECT_FALSE(ReadRegister(handle, 0xA0010000));
    EXPECT_EQ(ZURGetLastError(), ZUR_ERROR_BAD_REGISTER);
    EXPECT_EQ(WriteRegister(handle, 0xA000FFFC, 1), 0u);

    // The scratch register takes what parameters without a register write.
    EXPECT_EQ(WriteRegister(handle, 0xA0000000, 1234), 0u);
    EXPECT_EQ(ReadRegister(handle, 0xA0000000), 1234u);
}

TEST_F(Registers, RecordCountsAndMultiRegisterAccess) {
    const std::uint32_t handle = Open(1);
    ZURRegisterRecord record{};
    for (const std::uint32_t count : {0u, 136u, 0xFFFFFFFFu}) {
        record.count = count;
        EXPECT_ZUR_ERROR(ZURGigESetRegister(handle, &record), ZUR_ERROR_INVALID_ARGUMENT);
        EXPECT_ZUR_ERROR(ZURGigEGetRegister(handle, &record), ZUR_ERROR_INVALID_ARGUMENT);
    }
    EXPECT_ZUR_ERROR(ZURGigESetRegister(handle, nullptr), ZUR_ERROR_INVALID_ARGUMENT);

    record.count = 135;
    for (std::uint32_t i = 0; i < 135; ++i) {
        record.address[i] = 0xA000F000 + 4 * i;
        record.data[i] = i * 3;
    }
    ASSERT_EQ(ZURGigESetRegister(handle, &record), 1);
    ZURRegisterRecord back{};
    back.count = 135;
    std::copy(std::begin(record.address), std::end(record.address), std::begin(back.address));
    ASSERT_EQ(ZURGigEGetRegister(handle, &back), 1);
    EXPECT_EQ(back.data[134], 134u * 3);

    // A refused register ends the write; the ones before it are written.
    record.count = 3;
    record.address[0] = 0xA000F000;
    record.address[1] = 0xA0007000;
    record.address[2] = 0xA000F008;
    record.data[0] = 11;
    record.data[2] = 13;
    EXPECT_ZUR_ERROR(ZURGigESetRegister(handle, &record), ZUR_ERROR_READ_ONLY);
    EXPECT_EQ(ReadRegister(handle, 0xA000F000), 11u);
    EXPECT_EQ(ReadRegister(handle, 0xA000F008), 6u);
}

TEST_F(Registers, ValuesOutsideTheCameraLimitsAreRefused) {
    const std::uint32_t mono = Open(1);
    const std::uint32_t h280 = Open(3);
    EXPECT_EQ(WriteRegister(mono, 0xA0002040, 9), ZUR_ERROR_OUT_OF_RANGE);
    EXPECT_EQ(ReadRegister(mono, 0xA0002040), 100u);
    EXPECT_EQ(WriteRegister(mono, 0xA0002040, 2000000), 0u);
    EXPECT_EQ(WriteRegister(mono, 0xA0002040, 0xFFFFFFFF), ZUR_ERROR_OUT_OF_RANGE);
    EXPECT_EQ(WriteRegister(mono, 0xA0000220, std::bit_cast<std::uint32_t>(7.5f)), 0u);
    EXPECT_EQ(WriteRegister(mono, 0xA0000220, std::bit_cast<std::uint32_t>(15.5f)),
              ZUR_ERROR_OUT_OF_RANGE);
    EXPECT_EQ(WriteRegister(mono, 0xA0000220, 0x7FC00000), ZUR_ERROR_OUT_OF_RANGE);  // NaN
    EXPECT_EQ(WriteRegister(h280, 0xA0000220, 7500000), 0u);
    EXPECT_EQ(WriteRegister(h280, 0xA0000220, 999999), ZUR_ERROR_OUT_OF_RANGE);
    EXPECT_EQ(WriteRegister(mono, 0xA0002048, 3), ZUR_ERROR_OUT_OF_RANGE);
    EXPECT_EQ(WriteRegister(mono, 0xA0002048, 8), ZUR_ERROR_OUT_OF_RANGE);
    EXPECT_EQ(WriteRegister(mono, 0xA0002048, 6), 0u);
    EXPECT_EQ(WriteRegister(mono, 0xA0001104, 0x00050002), 0u);
    EXPECT_EQ(WriteRegister(mono, 0xA0001104, 0x00050003), ZUR_ERROR_OUT_OF_RANGE);
    EXPECT_EQ(WriteRegister(h280, 0xA000206C, 7), 0u);  // eight line sources on H280
    EXPECT_EQ(WriteRegister(mono, 0xA000206C, 3), ZUR_ERROR_OUT_OF_RANGE);
    EXPECT_EQ(WriteRegister(h280, 0xA0000124, 3), ZUR_ERROR_OUT_OF_RANGE);

    // A limit changed under the camera moves the check with it.
    ASSERT_EQ(ZURSimPokeRegister(1, 0xA0007058, 500), 1);
    EXPECT_EQ(WriteRegister(mono, 0xA0002040, 501), ZUR_ERROR_OUT_OF_RANGE);
}

TEST_F(Registers, HandlesOpenCloseAndPersistence) {
    std::uint32_t handle = 0;
    EXPECT_ZUR_ERROR(ZUROpen(77, &handle), ZUR_ERROR_NO_DEVICE);
    EXPECT_ZUR_ERROR(ZUROpen(1, nullptr), ZUR_ERROR_INVALID_ARGUMENT);
    const std::uint32_t first = Open(1);
    EXPECT_NE(first, 0u);
    EXPECT_ZUR_ERROR(ZUROpen(1, &handle), ZUR_ERROR_BUSY);
    ASSERT_EQ(WriteRegister(first, 0xA0002040, 5000), 0u);
    EXPECT_EQ(ZURSimOpenDeviceCount(), 1);
    ASSERT_EQ(ZURClose(first), 1);
    EXPECT_EQ(ZURSimOpenDeviceCount(), 0);

    // The old handle stays dead; the camera keeps its registers.
    EXPECT_ZUR_ERROR(ZURClose(first), ZUR_ERROR_INVALID_HANDLE);
    EXPECT_FALSE(ReadRegister(first, 0xA0002040));
    EXPECT_EQ(ZURGetLastError(), ZUR_ERROR_INVALID_HANDLE);
    const std::uint32_t second = Open(1);
    EXPECT_NE(second, first);
    EXPECT_EQ(ReadRegister(second, 0xA0002040), 5000u);

    // Not even a reset brings a handle back.
    ZURSimReset();
    Add("XCG-U100E", 1);
    const std::uint32_t third = Open(1);
    EXPECT_NE(third, first);
    EXPECT_NE(third, second);
    EXPECT_EQ(ReadRegister(third, 0xA0002040), 100u);
}

TEST_F(Registers, EveryCameraCallChecksItsHandle) {
    const std::uint32_t closed = Open(1);
    ASSERT_EQ(ZURClose(closed), 1);
    ZURRegisterRecord record{};
    record.count = 1;
    record.address[0] = 0xA0002040;
    ZURImagePosition position{0, 0, 640, 480, 0};
    ZURImageInfo info{};
    ZURCameraMode mode{};
    std::uint32_t depth = 0;
    std::uint8_t buffer[16] = {};
    for (const std::uint32_t handle : {0u, closed, 12345u}) {
        EXPECT_ZUR_ERROR(ZURGigESetRegister(handle, &record), ZUR_ERROR_INVALID_HANDLE);
        EXPECT_ZUR_ERROR(ZURGigEGetRegister(handle, &record), ZUR_ERROR_INVALID_HANDLE);
        EXPECT_ZUR_ERROR(ZURSetImageInfo(handle, &position), ZUR_ERROR_INVALID_HANDLE);
        EXPECT_ZUR_ERROR(ZURGetImageInfo(handle, &info), ZUR_ERROR_INVALID_HANDLE);
        EXPECT_ZUR_ERROR(ZURNowCameraMode(handle, &mode), ZUR_ERROR_INVALID_HANDLE);
        EXPECT_ZUR_ERROR(ZURSetCameraMode(handle, &mode), ZUR_ERROR_INVALID_HANDLE);
        EXPECT_ZUR_ERROR(ZURBandAdjust(handle, 0, 0), ZUR_ERROR_INVALID_HANDLE);
        EXPECT_ZUR_ERROR(ZURGetDataDepth(handle, &depth), ZUR_ERROR_INVALID_HANDLE);
        EXPECT_ZUR_ERROR(ZURIsoAlloc(handle), ZUR_ERROR_INVALID_HANDLE);
        EXPECT_ZUR_ERROR(ZURIsoStart(handle, 0), ZUR_ERROR_INVALID_HANDLE);
        EXPECT_ZUR_ERROR(ZURIsoStop(handle), ZUR_ERROR_INVALID_HANDLE);
        EXPECT_ZUR_ERROR(ZURIsoRelease(handle), ZUR_ERROR_INVALID_HANDLE);
        EXPECT_ZUR_ERROR(ZURImageReq(handle, buffer, 16), ZUR_ERROR_INVALID_HANDLE);
        EXPECT_ZUR_ERROR(ZURImageCompleteWait(handle, buffer, 0, 0, 0), ZUR_ERROR_INVALID_HANDLE);
        EXPECT_ZUR_ERROR(ZURAbortImageReqAll(handle), ZUR_ERROR_INVALID_HANDLE);
        EXPECT_ZUR_ERROR(ZURClose(handle), ZUR_ERROR_INVALID_HANDLE);
    }
    // And with a good handle, every record pointer.
    const std::uint32_t open = Open(1);
    EXPECT_ZUR_ERROR(ZURGetImageInfo(open, nullptr), ZUR_ERROR_INVALID_ARGUMENT);
    EXPECT_ZUR_ERROR(ZURNowCameraMode(open, nullptr), ZUR_ERROR_INVALID_ARGUMENT);
    EXPECT_ZUR_ERROR(ZURSetCameraMode(open, nullptr), ZUR_ERROR_INVALID_ARGUMENT);
    EXPECT_ZUR_ERROR(ZURSetImageInfo(open, nullptr), ZUR_ERROR_INVALID_ARGUMENT);
    EXPECT_ZUR_ERROR(ZURGetDataDepth(open, nullptr), ZUR_ERROR_INVALID_ARGUMENT);
    EXPECT_ZUR_ERROR(ZURGigEGetRegister(open, nullptr), ZUR_ERROR_INVALID_ARGUMENT);
}

TEST_F(Registers, GeometryIsCheckedAndReadBack) {
    const std::uint32_t handle = Open(1);
    ZURImagePosition position{0, 0, 20000, 20000, 0};  // the driver's family default
    EXPECT_ZUR_ERROR(ZURSetImageInfo(handle, &position), ZUR_ERROR_OUT_OF_RANGE);
    EXPECT_EQ(ReadRegister(handle, 0xA0000100), 1600u);
    EXPECT_EQ(ReadRegister(handle, 0xA0000104), 1200u);

    position = {100, 50, 640, 480, 0};
    ASSERT_EQ(ZURSetImageInfo(handle, &position), 1);
    EXPECT_EQ(ReadRegister(handle, 0xA0000108), 100u);
    EXPECT_EQ(ReadRegister(handle, 0xA000010C), 50u);
    ZURImageInfo info = ImageInfo(handle);
    EXPECT_EQ(info.offsetX, 100);
    EXPECT_EQ(info.width, 640);
    EXPECT_EQ(info.height, 480);
    EXPECT_EQ(info.sensorWidth, 1600);
    EXPECT_EQ(info.bufferSize, 640u * 480u);

    const ZURImagePosition refused[] = {
        {0, 0, 63, 480, 0},     // below the width minimum
        {0, 0, 640, 119, 0},    // below the height minimum
        {961, 0, 640, 480, 0},  // past the right edge
        {0, 721, 640, 480, 0},  // past the bottom
    };
    for (ZURImagePosition bad : refused) {
        EXPECT_ZUR_ERROR(ZURSetImageInfo(handle, &bad), ZUR_ERROR_OUT_OF_RANGE);
    }
    position = {960, 720, 640, 480, 0};  // exactly at the corner
    EXPECT_EQ(ZURSetImageInfo(handle, &position), 1);

    // Geometry registers follow the same checks.
    EXPECT_EQ(WriteRegister(handle, 0xA0000100, 1600), ZUR_ERROR_OUT_OF_RANGE);
    EXPECT_EQ(WriteRegister(handle, 0xA0000108, 0), 0u);
    EXPECT_EQ(WriteRegister(handle, 0xA0000100, 1600), 0u);
    EXPECT_EQ(ImageInfo(handle).width, 1600);
}

TEST_F(Registers, BinningAndSampleWidthShapeTheImage) {
    const std::uint32_t mono = Open(1);
    ASSERT_EQ(WriteRegister(mono, 0xA0000114, 1), 0u);
    EXPECT_EQ(ImageInfo(mono).height, 600);
    EXPECT_EQ(ImageInfo(mono).bufferSize, 1600u * 600u);
    EXPECT_EQ(ReadRegister(mono, 0xA0000104), 1200u);  // the window on the sensor

    const std::uint32_t h280 = Open(3);
    ASSERT_EQ(WriteRegister(h280, 0xA0000118, 2), 0u);
    EXPECT_EQ(ImageInfo(h280).width, 960);
    ASSERT_EQ(WriteRegister(h280, 0xA0000114, 1), 0u);  // factor 1 on H280
    EXPECT_EQ(ImageInfo(h280).height, 1080);

    const std::uint32_t color = Open(2);
    ASSERT_EQ(WriteRegister(color, 0xA0000114, 1), 0u);  // no binning on colour
    EXPECT_EQ(ImageInfo(color).height, 2048);

    // Deeper samples take two bytes; a configured size is reported as given.
    ASSERT_EQ(ZURSimSetCameraOption(1, "dataDepth", "10"), 1);
    EXPECT_EQ(ImageInfo(mono).bufferSize, 1600u * 600u * 2u);
    ASSERT_EQ(ZURSimSetCameraOption(1, "bufferSize", "100"), 1);
    EXPECT_EQ(ImageInfo(mono).bufferSize, 100u);

    // Nothing reshapes the image under an allocated stream.
    ASSERT_EQ(ZURIsoAlloc(mono), 1);
    EXPECT_EQ(WriteRegister(mono, 0xA0000114, 0), ZUR_ERROR_BUSY);
    ZURImagePosition position{0, 0, 640, 480, 0};
    EXPECT_ZUR_ERROR(ZURSetImageInfo(mono, &position), ZUR_ERROR_BUSY);
    ASSERT_EQ(ZURIsoRelease(mono), 1);
    EXPECT_EQ(ZURSetImageInfo(mono, &position), 1);
}

TEST_F(Registers, CameraModeAndDepth) {
    const std::uint32_t color = Open(2);
    ZURCameraMode mode{};
    ASSERT_EQ(ZURNowCameraMode(color, &mode), 1);
    EXPECT_EQ(mode.standardMode, 0u);
    EXPECT_EQ(mode.colorFilter, 2u);
    mode.colorFilter = 1;
    ASSERT_EQ(ZURSetCameraMode(color, &mode), 1);
    mode.colorFilter = 4;
    EXPECT_ZUR_ERROR(ZURSetCameraMode(color, &mode), ZUR_ERROR_INVALID_ARGUMENT);
    ASSERT_EQ(ZURNowCameraMode(color, &mode), 1);
    EXPECT_EQ(mode.colorFilter, 1u);

    // In a standard mode the filter is fixed.
    ASSERT_EQ(ZURSimSetCameraOption(2, "standardMode", "1"), 1);
    mode.colorFilter = 3;
    EXPECT_ZUR_ERROR(ZURSetCameraMode(color, &mode), ZUR_ERROR_INVALID_ARGUMENT);

    std::uint32_t depth = 99;
    ASSERT_EQ(ZURGetDataDepth(color, &depth), 1);
    EXPECT_EQ(depth, 8u);
    EXPECT_EQ(ZURBandAdjust(color, 1, 40), 1);
}

}  // namespace
}  // namespace zurtest
