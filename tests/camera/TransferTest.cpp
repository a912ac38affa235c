// Image transfer: monochrome copy, colour conversion through ZUR and the pack
// from four to three bytes per pixel.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "CallbackRecorder.h"
#include "LogCapture.h"
#include "SimulatedDriver.h"
#include "ZURSim.h"
#include "ZavaDED.h"
#include "camera/Camera.h"
#include "camera/ImageTransfer.h"
#include "camera/PixelPack.h"

using testing_support::CallbackRecorder;
using testing_support::ClearJournal;
using testing_support::DriverSession;
using testing_support::JournalOf;

namespace {

TEST(PixelPack, KeepsTheFirstThreeBytesOfEachPixel) {
    const std::uint8_t source[] = {10, 20, 30, 40, 50, 60, 70, 80};
    std::uint8_t target[6] = {};
    PackFourToThree(source, target, 2);
    EXPECT_EQ(std::vector<std::uint8_t>(target, target + 6),
              (std::vector<std::uint8_t>{10, 20, 30, 50, 60, 70}));
}

TEST(PixelPack, FastPathsAgreeWithTheSimpleLoopAndStayInBounds) {
    std::mt19937 random(42);
    for (std::size_t pixels : {0u, 1u, 3u, 4u, 15u, 16u, 17u, 33u, 1000u, 4099u}) {
        std::vector<std::uint8_t> source(pixels * 4);
        for (auto& byte : source) {
            byte = static_cast<std::uint8_t>(random());
        }
        std::vector<std::uint8_t> expected(pixels * 3);
        for (std::size_t i = 0; i < pixels; ++i) {
            for (std::size_t c = 0; c < 3; ++c) {
                expected[i * 3 + c] = source[i * 4 + c];
            }
        }
        // One guard byte after the target catches a write beyond it.
        std::vector<std::uint8_t> fast(pixels * 3 + 1, 0xEE);
        std::vector<std::uint8_t> portable(pixels * 3 + 1, 0xEE);
        PackFourToThree(source.data(), fast.data(), pixels);
        PackFourToThreePortable(source.data(), portable.data(), pixels);
        EXPECT_EQ(fast.back(), 0xEE) << pixels;
        EXPECT_EQ(portable.back(), 0xEE) << pixels;
        fast.pop_back();
        portable.pop_back();
        EXPECT_EQ(fast, expected) << pixels;
        EXPECT_EQ(portable, expected) << pixels;
    }
}

// Frames of a few megabytes are packed with streaming stores into a target
// brought to 16-byte alignment first: every alignment, no byte outside.
TEST(PixelPack, LargeImagesPackAtEveryTargetAlignment) {
    constexpr std::size_t kPixels = 700'001;  // over 2 MiB packed, and an odd count
    std::mt19937 random(7);
    std::vector<std::uint8_t> source(kPixels * 4);
    for (auto& byte : source) {
        byte = static_cast<std::uint8_t>(random());
    }
    std::vector<std::uint8_t> expected(kPixels * 3);
    PackFourToThreePortable(source.data(), expected.data(), kPixels);
    constexpr std::uint8_t kGuard = 0xEE;
    std::vector<std::uint8_t> target(kPixels * 3 + 32);
    for (std::size_t offset = 0; offset < 16; ++offset) {
        std::fill(target.begin(), target.end(), kGuard);
        const auto shift =
            (16 - reinterpret_cast<std::uintptr_t>(target.data()) % 16 + offset) % 16;
        std::uint8_t* packed = target.data() + shift;
        PackFourToThree(source.data(), packed, kPixels);
        EXPECT_TRUE(std::equal(expected.begin(), expected.end(), packed)) << offset;
        EXPECT_TRUE(std::all_of(target.data(), packed, [](auto b) { return b == kGuard; }));
        EXPECT_TRUE(std::all_of(packed + expected.size(), target.data() + target.size(),
                                [](auto b) { return b == kGuard; }))
            << offset;
    }
}

struct ConversionCase {
    const char* colorId;
    const char* depth;
    const char* expected;  // the ZURCreateConvHandle entry
    bool readsDepth;
};

TEST(Conversion, ConvertModeAndShiftFollowTheColorId) {
    const ConversionCase cases[] = {
        {"0", "8", "convertMode=5 shiftId=0", false},
        {"5", "12", "convertMode=7 shiftId=4", true},
        {"5", "0", "convertMode=7 shiftId=0", true},
        {"6", "10", "convertMode=4 shiftId=2", true},
        {"7", "10", "convertMode=4 shiftId=2", true},
        {"8", "16", "convertMode=4 shiftId=8", true},
        {"16", "12", "convertMode=4 shiftId=4", true},
        {"9", "8", "convertMode=5 shiftId=0", false},
        {"10", "8", "convertMode=7 shiftId=0", false},
        {"12", "8", "convertMode=9 shiftId=0", false},
        {"14", "8", "convertMode=11 shiftId=0", false},
        {"3", "12", "convertMode=4 shiftId=0", false},
    };
    for (const ConversionCase& c : cases) {
        // Two bytes per pixel whatever the depth, so that every mode fits.
        DriverSession session({{"XCG-U100CR",
                                1,
                                {{"fast", "1"},
                                 {"dataDepth", c.depth},
                                 {"colorId", c.colorId},
                                 {"bufferSize", std::to_string(1600 * 1200 * 2)}}}});
        ClearJournal();
        session.Open("XCG-U100CR-1", 0);
        EXPECT_EQ(JournalOf("ZURCreateConvHandle"), std::vector<std::string>{c.expected})
            << "ColorID " << c.colorId;
        EXPECT_EQ(JournalOf("ZURGetDataDepth").size(), c.readsDepth ? 1u : 0u)
            << "ColorID " << c.colorId;
    }
}

bool LogHas(testing_support::LogCapture& log, const std::string& part) {
    for (const std::string& message : log.Messages()) {
        if (message.find(part) != std::string::npos) {
            return true;
        }
    }
    return false;
}

struct RawBufferCase {
    const char* colorId;
    bool sixteenBitMode;  // the ColorID's convert mode reads two bytes per pixel
};

// ZUR sizes the raw buffer by the data depth: one byte per pixel up to 8
// bits, two above. A convert mode that reads more than that is refused at
// open; every camera that opens converts inside its buffer (which the
// sanitizer build checks).
TEST(Conversion, ModesThatReadMoreThanTheRawBufferAreRefusedAtOpen) {
    const RawBufferCase cases[] = {{"0", false},  {"5", true},   {"6", true},  {"7", true},
                                   {"8", true},   {"16", true},  {"9", false}, {"10", true},
                                   {"12", false}, {"14", false}, {"3", true},  {"255", true}};
    for (const RawBufferCase& c : cases) {
        for (const char* depth : {"8", "12"}) {
            const bool fits = !c.sixteenBitMode || std::string(depth) == "12";
            DriverSession session({{"XCG-U100CR",
                                    1,
                                    {{"fast", "1"},
                                     {"width", "64"},
                                     {"height", "120"},
                                     {"dataDepth", depth},
                                     {"colorId", c.colorId}}}});
            const std::string where = std::string("ColorID ") + c.colorId + ", depth " + depth;
            int size[2] = {0, 0};
            ASSERT_EQ(openCVLPort(0, 0, "XCG-U100CR-1", size), fits ? 1 : 0) << where;
            EXPECT_EQ(LogHas(session.Log(),
                             "reads 2 bytes per pixel: 15360 bytes for 64 x 120 "
                             "pixels, but the image buffer holds 7680"),
                      !fits)
                << where;
            if (fits) {
                CallbackRecorder recorder;
                ASSERT_EQ(setCompleteCallback(0, 0, &CallbackRecorder::Callback), 1);
                EXPECT_TRUE(testing_support::GrabOne(recorder, 0)) << where;
            } else {
                EXPECT_EQ(ZURSimOpenConversionCount(), 0) << where;
                EXPECT_EQ(ZURSimOpenDeviceCount(), 0) << where;
            }
        }
    }
}

// The buffer a conversion reads is checked again before every image, against
// the image size ZUR gave the conversion.
TEST(Conversion, AConversionIsRefusedWhenTheRawBufferIsTooSmall) {
    testing_support::LogCapture capture(1, 0);
    DriverLog& log = DriverLog::Instance();
    platform::Mutex imageLock;
    ImageTransfer transfer(log, true, imageLock);
    const auto buffer = [&log](int bytes) {
        auto made = std::make_unique<ImageBuffer>(64, 120, true, log);
        EXPECT_TRUE(made->Allocate(bytes));
        return made;
    };
    transfer.zazeBuffer = buffer(64 * 120);
    transfer.tempBuffer = buffer(4 * 64 * 120);
    transfer.destBuffer = buffer(3 * 64 * 120);
    ImageTransfer::Conversion conversion;
    conversion.handle = 50001;
    conversion.convertMode = 7;
    conversion.sourceBytesPerPixel = 2;
    conversion.bitmapInfo.bmiHeader.biWidth = 64;
    conversion.bitmapInfo.bmiHeader.biHeight = 120;
    transfer.SetConversion(conversion);
    ClearJournal();
    EXPECT_FALSE(transfer.CopyImageToVantixBuffer());
    EXPECT_TRUE(JournalOf("ZURColorConvExec").empty());
    EXPECT_TRUE(capture.Contains(
        "Camera::CopyImageToVantixBuffer (color) ERROR: convert mode 7 reads 15360 bytes of the "
        "raw image, but the Zaze buffer holds 7680\n"));
    transfer.SetConversion({});  // no ZUR handle of ours to close
}

TEST(Conversion, FilterOrderIsReadFromTheCameraMode) {
    DriverSession session({{"XCG-5005CR", 1}, {"XCG-U100CR", 2, {{"standardMode", "1"}}}});
    Camera& camera = session.Open("XCG-5005CR-1", 0);
    ASSERT_EQ(ZURSimSetCameraOption(1, "colorFilter", "2"), 1);
    EXPECT_TRUE(camera.ReadFilterValue());
    EXPECT_EQ(camera.Params().ColorFilter.value, "GRBG");
    EXPECT_EQ(camera.ConversionMode().cFilter, 2u);
    EXPECT_EQ(camera.ConversionMode().storeMode, 1u);
    EXPECT_EQ(camera.ConversionMode().endianMode, 1u);

    // In a standard mode the filter cannot be read, but the camera still opens.
    session.Log().Clear();
    Camera& standardMode = session.Open("XCG-U100CR-2", 1);
    EXPECT_TRUE(standardMode.IsOpen());
    EXPECT_TRUE(session.Log().Contains("Camera::ReadFilterValue: camera in standard mode. \n"));
}

TEST(Transfer, MonochromeImagesAreCopiedByteForByte) {
    DriverSession session({{"XCG-V60E", 1}});
    Camera& camera = session.Open("XCG-V60E-1", 0);
    CallbackRecorder recorder;
    ASSERT_EQ(setCompleteCallback(0, 0, &CallbackRecorder::Callback), 1);
    ASSERT_TRUE(testing_support::GrabOne(recorder, 0));
    const std::uint32_t size = ZURSimLastImage(1, nullptr, 0);
    ASSERT_EQ(size, 640u * 480u);
    std::vector<std::uint8_t> raw(size);
    ASSERT_EQ(ZURSimLastImage(1, raw.data(), size), size);
    ASSERT_EQ(camera.DestBuffer()->Size(), static_cast<int>(size));
    EXPECT_EQ(
        std::vector<std::uint8_t>(camera.DestBuffer()->Data(), camera.DestBuffer()->Data() + size),
        raw);
}

TEST(Transfer, ColourImagesShowTheRightColoursInTheRightPlaces) {
    DriverSession session({{"XCG-5005CR", 1}});
    Camera& camera = session.Open("XCG-5005CR-1", 0);
    CallbackRecorder recorder;
    ASSERT_EQ(setCompleteCallback(0, 0, &CallbackRecorder::Callback), 1);
    ASSERT_TRUE(testing_support::GrabOne(recorder, 0));
    const int width = camera.Width();
    const int height = camera.Height();
    std::vector<std::uint8_t> scene(static_cast<std::size_t>(width * height * 3));
    ASSERT_GT(ZURSimRenderRgb(1, ZURSimFrameCounter(1), scene.data(),
                              static_cast<std::uint32_t>(scene.size())),
              0u);
    // The centres of the red, green, blue and white blocks, and a point of the
    // grey ramp: the host reads blue, green, red.
    const int blockWidth = width / 4;
    const std::pair<int, int> points[] = {{blockWidth / 2, height * 3 / 4},
                                          {blockWidth * 3 / 2, height * 3 / 4},
                                          {blockWidth * 5 / 2, height * 3 / 4},
                                          {blockWidth * 7 / 2, height * 3 / 4},
                                          {width / 3, height / 3}};
    for (const auto& [x, y] : points) {
        const std::uint8_t* line = camera.GetLine(y);
        ASSERT_NE(line, nullptr);
        const std::uint8_t* rgb = &scene[static_cast<std::size_t>((y * width + x) * 3)];
        const std::uint8_t* bgr = line + x * 3;
        for (int c = 0; c < 3; ++c) {
            EXPECT_NEAR(bgr[2 - c], rgb[c], 3) << "x=" << x << " y=" << y << " channel " << c;
        }
    }
}

}  // namespace
