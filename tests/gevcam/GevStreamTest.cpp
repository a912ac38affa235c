// The GVSP side of a served camera: its frames are the simulated ZUR
// library's frames, packet for packet resendable, paced by trigger or rate.

#include <bit>

#include "DeviceHarness.h"
#include "DeviceRegisters.h"

namespace gevtest {
namespace {

namespace bs = gevcam::bootstrap;
namespace gvcp = gevcam::gvcp;
namespace status = gevcam::status;
namespace reg = zursim::reg;
using namespace std::chrono_literals;
using Registers = std::vector<std::pair<std::uint32_t, std::uint32_t>>;

struct FrameCase {
    const char* what;
    zursim::CameraOptions options;
    Registers registers;  // written before acquisition starts
    std::uint32_t pixelFormat;
    std::uint32_t width, height, offsetX, offsetY;
};

TEST(GevStream, FramesAreTheSimulatedLibrarysFrames) {
    const FrameCase cases[] = {
        {"monochrome, whole sensor",
         Camera("XCG-V60E", 7),
         {},
         gevcam::pixel::kMono8,
         640,
         480,
         0,
         0},
        {"colour window with gains",
         Camera("XCG-5005CR", 8),
         {{reg::kWidth, 1000},
          {reg::kHeight, 600},
          {reg::kOffsetX, 101},
          {reg::kOffsetY, 1333},
          {reg::kGainRed, 2048}},
         gevcam::pixel::kBayerGR8,
         1000,
         600,
         101,
         1333},
        {"H280 binned",
         Camera("XCG-H280E", 9),
         {{reg::kVerticalBinning, 2}, {reg::kHorizontalBinning, 2}},
         gevcam::pixel::kMono8,
         960,
         540,
         0,
         0},
        {"12-bit samples through the counter's wrap",
         Camera("XCG-U100CR", 10,
                {{"dataDepth", "12"}, {"colorFilter", "3"}, {"frameCounter", "0xFFFFFFFE"}}),
         {{reg::kWidth, 320}, {reg::kHeight, 240}},
         gevcam::pixel::kBayerBG12,
         320,
         240,
         0,
         0},
    };
    for (const FrameCase& test : cases) {
        SCOPED_TRACE(test.what);
        Device device(test.options);
        device.TakeControl();
        for (const auto& [address, value] : test.registers) {
            ASSERT_EQ(device.Write(address, value), status::kSuccess) << std::hex << address;
        }
        ASSERT_NO_FATAL_FAILURE(device.StartStreaming());
        for (std::uint16_t block = 1; block <= 3; ++block) {
            const Frame frame = device.NextFrame();
            ASSERT_EQ(frame.blockId, block);
            EXPECT_TRUE(frame.missing.empty());
            EXPECT_EQ(frame.leader.payloadType.Get(), gevcam::gvsp::kPayloadTypeImage);
            EXPECT_EQ(frame.leader.pixelFormat.Get(), test.pixelFormat);
            EXPECT_EQ(frame.leader.sizeX.Get(), test.width);
            EXPECT_EQ(frame.leader.sizeY.Get(), test.height);
            EXPECT_EQ(frame.leader.offsetX.Get(), test.offsetX);
            EXPECT_EQ(frame.leader.offsetY.Get(), test.offsetY);
            // Block n is the frame whose counter is the configured first + n - 1.
            const std::uint32_t counter = test.options.frameCounter + block - 1u;
            EXPECT_EQ(device.Read(gevcam::device::kFrameCounter), counter);
            EXPECT_TRUE(frame.image == SimulatorFrame(test.options, counter, test.registers))
                << "block " << block;
        }
    }
}

TEST(GevStream, LeftOutPacketsComeWholeOnResend) {
    const zursim::CameraOptions options = Camera("XCG-5005CR", 3);
    gevcam::DeviceOptions lossy;
    lossy.dropShare = 0.05;
    lossy.seed = 3;
    Device device(options, lossy);
    ASSERT_NO_FATAL_FAILURE(device.StartStreaming());
    Frame frame = device.NextFrame();
    const std::size_t payloadPackets = (options.sensorWidth * options.sensorHeight + 8155) / 8156;
    ASSERT_GT(frame.missing.size(), payloadPackets / 100);
    ASSERT_LT(frame.missing.size(), payloadPackets / 10);
    EXPECT_EQ(device.camera.PacketsLeftOut(), frame.missing.size());

    // Ask for each packet left out, the way a client does, one at a time.
    device.stream.clear();
    for (const std::uint32_t id : frame.missing) {
        device.Command(gvcp::kPacketResend, Words({frame.blockId, id, id}), kClient, 0);
    }
    ASSERT_EQ(device.stream.size(), frame.missing.size());
    std::vector<std::uint8_t> whole = frame.image;
    std::size_t at = 0;
    std::size_t resent = 0;
    for (std::uint32_t id = 1; id <= payloadPackets; ++id) {
        const bool wasMissing = resent < frame.missing.size() && frame.missing[resent] == id;
        if (wasMissing) {
            const Packet& packet = device.stream[resent++];
            EXPECT_EQ(packet.status, status::kSuccess);
            EXPECT_EQ(packet.packetId, id);
            whole.insert(whole.begin() + static_cast<std::ptrdiff_t>(at), packet.bytes.begin(),
                         packet.bytes.end());
            at += packet.bytes.size();
        } else {
            at += 8156;
        }
    }
    EXPECT_TRUE(whole == SimulatorFrame(options, options.frameCounter));
    // A whole range comes back, leader to trailer, none left out.
    device.stream.clear();
    device.Command(gvcp::kPacketResend, Words({frame.blockId, 0, 0xFFFFFF}), kClient, 0);
    EXPECT_EQ(device.stream.size(), payloadPackets + 2);
}

TEST(GevStream, OnlyTheLastFramesAreKeptForResends) {
    Device device(Camera("XCG-V60E", 1, {{"frameRateMax", "1000"}}));
    device.TakeControl();
    ASSERT_EQ(device.Write(reg::kFrameRate, std::bit_cast<std::uint32_t>(100.0f)),
              status::kSuccess);
    ASSERT_NO_FATAL_FAILURE(device.StartStreaming());
    for (int i = 0; i < 10; ++i) {
        device.NextFrame();
    }
    device.stream.clear();
    device.Command(gvcp::kPacketResend, Words({1, 1, 1}), kClient, 0);
    device.Command(gvcp::kPacketResend, Words({10, 1, 1}), kClient, 0);
    ASSERT_EQ(device.stream.size(), 2u);
    EXPECT_EQ(device.stream[0].status, status::kPacketUnavailable);
    EXPECT_EQ(device.stream[1].status, status::kSuccess);
    EXPECT_EQ(device.stream[1].blockId, 10);
    // A request for another channel, or once the channel is closed, gets nothing.
    device.stream.clear();
    device.Command(gvcp::kPacketResend, Words({0x00010000u | 10, 1, 1}), kClient, 0);
    ASSERT_EQ(device.Write(bs::kStreamPort, 0), status::kSuccess);
    device.Command(gvcp::kPacketResend, Words({10, 1, 1}), kClient, 0);
    EXPECT_TRUE(device.stream.empty());
    EXPECT_FALSE(device.camera.Acquiring());
    // Closing the channel keeps its destination address.
    EXPECT_EQ(device.Read(bs::kStreamDestination), kClient.address);
}

TEST(GevStream, TriggersAndSingleFramesMakeOneFrameEach) {
    Device device(Camera("XCG-V60E", 1));
    device.TakeControl();
    ASSERT_EQ(device.Write(reg::kTriggerMode, 1), status::kSuccess);
    ASSERT_NO_FATAL_FAILURE(device.StartStreaming());
    device.Advance(3s);
    EXPECT_TRUE(device.stream.empty());
    ASSERT_EQ(device.Write(reg::kSoftwareTrigger, 1), status::kSuccess);
    EXPECT_EQ(device.NextFrame().blockId, 1);
    device.Advance(3s);
    EXPECT_EQ(device.stream.back().format, gevcam::gvsp::kFormatTrailer);
    EXPECT_EQ(device.stream.back().blockId, 1);

    ASSERT_EQ(device.Write(reg::kTriggerMode, 0), status::kSuccess);
    ASSERT_EQ(device.Write(gevcam::device::kAcquisitionStop, 1), status::kSuccess);
    ASSERT_EQ(device.Write(gevcam::device::kAcquisitionMode, 1), status::kSuccess);
    ASSERT_EQ(device.Write(gevcam::device::kAcquisitionStart, 1), status::kSuccess);
    EXPECT_EQ(device.NextFrame().blockId, 2);
    EXPECT_FALSE(device.camera.Acquiring());
    device.Advance(3s);
    EXPECT_EQ(device.stream.back().blockId, 2);
}

TEST(GevStream, PacketsHaveTheNegotiatedSize) {
    Device device(Camera("XCG-V60E", 1));
    device.TakeControl();
    ASSERT_EQ(device.Write(bs::kStreamDestination, kClient.address), status::kSuccess);
    ASSERT_EQ(device.Write(bs::kStreamPort, kStreamPort), status::kSuccess);
    // The client's test of a packet size: one datagram of that size on the wire.
    ASSERT_EQ(device.Write(bs::kStreamPacketSize, bs::kFireTestPacket | 1500), status::kSuccess);
    ASSERT_EQ(device.stream.size(), 1u);
    EXPECT_EQ(device.stream[0].bytes.size() + 8 + 28, 1500u);
    EXPECT_EQ(device.Read(bs::kStreamPacketSize), 1500u);
    device.stream.clear();

    ASSERT_EQ(device.Write(gevcam::device::kAcquisitionStart, 1), status::kSuccess);
    const Frame frame = device.NextFrame();
    const std::size_t payload = 1500 - 36;
    const std::size_t packets = (640 * 480 + payload - 1) / payload;
    ASSERT_EQ(device.stream.size(), packets + 2);
    for (std::size_t i = 1; i <= packets; ++i) {
        EXPECT_EQ(device.stream[i].bytes.size(), i < packets ? payload : 640 * 480 % payload);
    }
    EXPECT_EQ(frame.image.size(), 640u * 480u);
}

}  // namespace
}  // namespace gevtest
