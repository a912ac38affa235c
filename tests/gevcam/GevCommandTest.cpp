// The GVCP side of a served camera: discovery, registers and memory with
// their status codes, control privilege and its heartbeat, hostile datagrams.

#include <bit>
#include <string>

#include "DeviceHarness.h"
#include "DeviceRegisters.h"

namespace gevtest {
namespace {

namespace bs = gevcam::bootstrap;
namespace gvcp = gevcam::gvcp;
namespace status = gevcam::status;
namespace reg = zursim::reg;
using namespace std::chrono_literals;

std::string Text(const std::vector<std::uint8_t>& bytes, std::size_t offset, std::size_t size) {
    std::string text(reinterpret_cast<const char*>(bytes.data()) + offset, size);
    return text.substr(0, text.find('\0'));
}

TEST(GevCommand, DiscoveryNamesTheCameraAndAnswersBroadcasts) {
    Device device(Camera("XCG-5005CR", 0x1234));
    for (const bool broadcast : {false, true}) {
        const Ack ack =
            device.Datagram({0x42, 0x11, 0x00, 0x02, 0x00, 0x00, 0x12, 0x34}, kOther, broadcast);
        ASSERT_TRUE(ack.present);
        EXPECT_EQ(ack.status, status::kSuccess);
        EXPECT_EQ(ack.acknowledge, 0x0003);
        EXPECT_EQ(ack.ackId, 0x1234);
        ASSERT_EQ(ack.payload.size(), sizeof(gvcp::DiscoveryAck));
        const auto answer = gevcam::ReadRecord<gvcp::DiscoveryAck>(ack.payload);
        EXPECT_EQ(answer.versionMajor.Get(), 1u);
        EXPECT_EQ(answer.macHigh.Get(), 0x0200u);  // locally administered
        EXPECT_EQ(answer.macLow.Get(), 0x00001234u);
        EXPECT_EQ(answer.currentIp.Get(), kCameraIp);
        EXPECT_EQ(Text(ack.payload, 72, 32), "Zaze");
        EXPECT_EQ(Text(ack.payload, 104, 32), "XCG-5005CR");
        EXPECT_EQ(Text(ack.payload, 216, 16), "4660");
    }
    EXPECT_EQ(device.camera.Name(), "XCG-5005CR-4660");
    // Anything but a discovery that comes by broadcast goes unanswered.
    EXPECT_FALSE(
        device.Datagram({0x42, 0x01, 0x00, 0x80, 0x00, 0x04, 0x00, 0x01, 0, 0, 0, 0}, kOther, true)
            .present);
}

struct WriteCase {
    const char* what;
    std::uint32_t address;
    std::uint32_t value;
    std::uint16_t status;
};

TEST(GevCommand, RefusedWritesAnswerTheirStatusAndChangeNothing) {
    Device device(Camera("XCG-U100E", 1));
    device.TakeControl();
    const WriteCase cases[] = {
        {"exposure below its minimum", reg::kExposure, 5, status::kInvalidParameter},
        {"trigger activation not a code", reg::kTriggerActivation, 3, status::kInvalidParameter},
        {"limit register", reg::kExposureMax, 1, status::kWriteProtect},
        {"width wider than the sensor", reg::kWidth, 1601, status::kInvalidParameter},
        {"outside the register space", 0xA0010000, 1, status::kInvalidAddress},
        {"nothing there", 0x00200000, 1, status::kInvalidAddress},
        {"misaligned", reg::kExposure + 2, 1, status::kBadAlignment},
        {"read-only bootstrap register", bs::kVersion, 7, status::kWriteProtect},
        {"the GenICam file", gevcam::device::kXmlAddress, 0, status::kWriteProtect},
        {"payload size", gevcam::device::kPayloadSize, 1, status::kWriteProtect},
        {"pixel format of another camera", gevcam::device::kPixelFormat, gevcam::pixel::kBayerRG8,
         status::kInvalidParameter},
        {"stream off the machine", bs::kStreamDestination, 0xC0A80001, status::kInvalidParameter},
        {"packet size too small", bs::kStreamPacketSize, 100, status::kInvalidParameter},
        {"heartbeat too short", bs::kHeartbeatTimeout, 10, status::kInvalidParameter},
        {"start without a destination", gevcam::device::kAcquisitionStart, 1, status::kWrongConfig},
        {"acquisition mode", gevcam::device::kAcquisitionMode, 2, status::kInvalidParameter},
        {"band adjustment", gevcam::device::kBandAdjust, 2, status::kInvalidParameter},
        {"band level above 100 %", gevcam::device::kBandLevel, 101, status::kInvalidParameter},
    };
    for (const WriteCase& test : cases) {
        const std::optional<std::uint32_t> before = device.Read(test.address);
        EXPECT_EQ(device.Write(test.address, test.value), test.status) << test.what;
        EXPECT_EQ(device.Read(test.address), before) << test.what;
    }
    EXPECT_FALSE(device.camera.Acquiring());

    // While frames are made, the image size cannot change.
    ASSERT_NO_FATAL_FAILURE(device.StartStreaming());
    EXPECT_EQ(device.Write(reg::kWidth, 640), status::kBusy);
    EXPECT_EQ(device.Write(reg::kExposure, 500), status::kSuccess);
    EXPECT_EQ(device.Write(gevcam::device::kAcquisitionStop, 1), status::kSuccess);
    EXPECT_EQ(device.Write(gevcam::device::kTlParamsLocked, 1), status::kSuccess);
    EXPECT_EQ(device.Write(reg::kWidth, 640), status::kBusy);
    EXPECT_EQ(device.Write(gevcam::device::kTlParamsLocked, 0), status::kSuccess);
    EXPECT_EQ(device.Write(reg::kWidth, 640), status::kSuccess);
    EXPECT_EQ(device.Read(gevcam::device::kPayloadSize), 640u * 1200u);
}

TEST(GevCommand, SeveralRegistersPerCommandStopAtTheFirstRefusal) {
    Device device(Camera("XCG-H280E", 1));
    device.TakeControl();
    Ack ack = device.Command(
        gvcp::kWriteReg, Words({reg::kExposure, 300, reg::kGainH280, 9999, reg::kTriggerDelay, 7}));
    EXPECT_EQ(ack.status, status::kInvalidParameter);
    ASSERT_EQ(ack.payload.size(), 4u);
    EXPECT_EQ(gevcam::ReadBe32(ack.payload, 0), 1u);  // one register written
    ack = device.Command(gvcp::kReadReg, Words({reg::kExposure, reg::kGainH280, reg::kTriggerDelay,
                                                gevcam::device::kSensorWidth}));
    EXPECT_EQ(ack.status, status::kSuccess);
    EXPECT_EQ(ack.payload, Words({300, 0, 0, 1920}));
    // The values read before a refused register come back with its status.
    ack = device.Command(gvcp::kReadReg, Words({reg::kExposure, 0xA0010000, reg::kExposure}));
    EXPECT_EQ(ack.status, status::kInvalidAddress);
    EXPECT_EQ(ack.payload, Words({300}));
}

TEST(GevCommand, MemoryHoldsTheUrlAndTheGenicamFile) {
    Device device(Camera("XCG-U100CR", 1));
    const std::vector<std::uint8_t> url = device.ReadMemory(bs::kFirstUrl, 512);
    // Local:NAME.xml;ADDRESS;LENGTH, both numbers in hexadecimal.
    const std::string text = Text(url, 0, url.size());
    const std::size_t first = text.find(';');
    const std::size_t second = text.find(';', first + 1);
    ASSERT_EQ(text.rfind("Local:gevcam-XCG-U100CR.xml;", 0), 0u) << text;
    ASSERT_NE(second, std::string::npos) << text;
    EXPECT_EQ(std::stoul(text.substr(first + 1), nullptr, 16), gevcam::device::kXmlAddress);
    std::size_t end = 0;
    const std::size_t size = std::stoul(text.substr(second + 1), &end, 16);
    EXPECT_EQ(second + 1 + end, text.size()) << text;
    ASSERT_EQ(size, device.camera.Xml().size());
    const std::vector<std::uint8_t> xml = device.ReadMemory(gevcam::device::kXmlAddress, size);
    EXPECT_EQ(std::string(xml.begin(), xml.end()), device.camera.Xml());

    const auto readMem = [&](std::uint32_t address, std::uint32_t count) {
        return device.Command(gvcp::kReadMem, Words({address, count})).status;
    };
    EXPECT_EQ(readMem(gevcam::device::kXmlAddress + static_cast<std::uint32_t>(size), 4),
              status::kInvalidAddress);
    EXPECT_EQ(readMem(gevcam::device::kXmlAddress + static_cast<std::uint32_t>(size) - 8, 64),
              status::kInvalidAddress);
    EXPECT_EQ(readMem(0xFFFFFFFC, 536), status::kInvalidAddress);
    EXPECT_EQ(readMem(0, 0), status::kInvalidParameter);
    EXPECT_EQ(readMem(0, 540), status::kInvalidParameter);
    // Memory reads of registers give their big-endian bytes.
    EXPECT_EQ(device.ReadMemory(reg::kWidth, 8), Words({1600, 1200}));

    // The user-defined name is writable memory.
    device.TakeControl();
    const Ack written = device.Command(gvcp::kWriteMem,
                                       Words({bs::kUserDefinedName, 0x6C696E65, 0x20330000, 0, 0}));
    EXPECT_EQ(written.status, status::kSuccess);
    EXPECT_EQ(gevcam::ReadBe32(written.payload, 0), 16u);
    EXPECT_EQ(Text(device.ReadMemory(bs::kUserDefinedName, 16), 0, 16), "line 3");
}

// Every register the GenICam file names exists, for each family.
TEST(GevCommand, EveryRegisterOfTheGenicamFileCanBeRead) {
    for (const char* model : {"XCG-V60E", "XCG-U100CR", "XCG-H280E"}) {
        Device device(Camera(model, 1));
        const std::string& xml = device.camera.Xml();
        int count = 0;
        for (std::size_t at = xml.find("<Address>"); at != std::string::npos;
             at = xml.find("<Address>", at + 1), ++count) {
            const auto address =
                static_cast<std::uint32_t>(std::stoul(xml.substr(at + 9), nullptr, 16));
            const std::size_t length = xml.find("<Length>", at);
            ASSERT_NE(length, std::string::npos);
            const auto bytes = static_cast<std::uint32_t>(std::stoul(xml.substr(length + 8)));
            const Ack ack = device.Command(gvcp::kReadMem, Words({address, bytes}));
            EXPECT_EQ(ack.status, status::kSuccess) << model << " " << std::hex << address;
        }
        EXPECT_GT(count, 60) << model;
    }
}

TEST(GevCommand, OneControllerAtATimeUntilItsHeartbeatStops) {
    Device device(Camera("XCG-U100E", 1));
    EXPECT_EQ(device.Write(reg::kExposure, 200), status::kAccessDenied);  // no control yet
    ASSERT_NO_FATAL_FAILURE(device.StartStreaming());
    EXPECT_EQ(device.Read(bs::kControlPrivilege, kOther), bs::kPrivilegeControl);
    EXPECT_EQ(device.Write(bs::kControlPrivilege, bs::kPrivilegeControl, kOther),
              status::kAccessDenied);
    EXPECT_EQ(device.Write(reg::kExposure, 200, kOther), status::kAccessDenied);
    EXPECT_EQ(device.Write(bs::kHeartbeatTimeout, 500), status::kSuccess);

    // Commands keep the controller in; frames go on.
    for (int i = 0; i < 5; ++i) {
        device.now += 400ms;
        EXPECT_TRUE(device.Read(bs::kControlPrivilege).has_value());
        device.Tick();
    }
    EXPECT_TRUE(device.camera.Acquiring());
    // Silence past the timeout: control is free, the stream stops and closes.
    device.Advance(501ms);
    EXPECT_FALSE(device.camera.Controller().has_value());
    EXPECT_FALSE(device.camera.Acquiring());
    EXPECT_EQ(device.Read(bs::kStreamPort), 0u);
    const std::size_t sent = device.stream.size();
    device.Advance(2s);
    EXPECT_EQ(device.stream.size(), sent);
    EXPECT_EQ(device.Write(bs::kControlPrivilege, bs::kPrivilegeExclusive, kOther),
              status::kSuccess);

    // Exclusive control: others may not even read; the controller lets go.
    EXPECT_FALSE(device.Read(reg::kExposure, kClient).has_value());
    EXPECT_EQ(device.Command(gvcp::kReadMem, Words({0, 4}), kClient).status, status::kAccessDenied);
    EXPECT_EQ(device.Write(bs::kControlPrivilege, 0, kOther), status::kSuccess);
    EXPECT_TRUE(device.Read(reg::kExposure, kClient).has_value());

    // Without a heartbeat, control stays however long the silence.
    device.TakeControl(kClient);
    EXPECT_EQ(device.Write(bs::kGvcpConfiguration, bs::kHeartbeatDisable), status::kSuccess);
    device.Advance(60s);
    EXPECT_EQ(device.camera.Controller(), kClient);
}

struct Hostile {
    const char* what;
    std::vector<std::uint8_t> bytes;
    std::optional<std::uint16_t> status;  // none: no answer
};

TEST(GevCommand, HostileDatagramsGetAnErrorOrNothing) {
    const auto command = [](std::uint16_t code, std::uint16_t length,
                            const std::vector<std::uint8_t>& payload, std::uint8_t flags = 1) {
        std::vector<std::uint8_t> bytes(8 + payload.size());
        const std::uint8_t header[8] = {0x42,
                                        flags,
                                        static_cast<std::uint8_t>(code >> 8),
                                        static_cast<std::uint8_t>(code),
                                        static_cast<std::uint8_t>(length >> 8),
                                        static_cast<std::uint8_t>(length),
                                        0x00,
                                        0x07};
        std::copy(std::begin(header), std::end(header), bytes.begin());
        std::copy(payload.begin(), payload.end(), bytes.begin() + 8);
        return bytes;
    };
    const Hostile cases[] = {
        {"empty", {}, std::nullopt},
        {"shorter than a header", {0x42, 0x01, 0x00, 0x80, 0x00, 0x04, 0x00}, std::nullopt},
        {"wrong key", {0x43, 0x01, 0x00, 0x02, 0x00, 0x00, 0x00, 0x01}, std::nullopt},
        {"length past the datagram", command(gvcp::kReadReg, 8, Words({0xA0000100})),
         status::kInvalidHeader},
        {"length not in words", command(gvcp::kReadReg, 3, {0xA0, 0x00, 0x01, 0x00}),
         status::kInvalidHeader},
        {"oversized", command(gvcp::kReadReg, 544, std::vector<std::uint8_t>(544, 0)),
         status::kInvalidParameter},
        {"unknown command", command(0x4242, 0, {}), status::kNotImplemented},
        {"FORCEIP", command(gvcp::kForceIp, 0, {}), status::kNotImplemented},
        {"READREG of nothing", command(gvcp::kReadReg, 0, {}), status::kInvalidParameter},
        {"WRITEREG of half a pair", command(gvcp::kWriteReg, 4, Words({bs::kStreamPort})),
         status::kInvalidParameter},
        {"READMEM of one word", command(gvcp::kReadMem, 4, Words({0})), status::kInvalidParameter},
        {"WRITEMEM without data", command(gvcp::kWriteMem, 4, Words({0xE8})),
         status::kInvalidParameter},
        {"WRITEMEM misaligned", command(gvcp::kWriteMem, 8, Words({0xE9, 0})),
         status::kBadAlignment},
        {"PACKETRESEND without a stream", command(gvcp::kPacketResend, 12, Words({1, 0, 5})),
         std::nullopt},
        {"no acknowledgement asked", command(gvcp::kReadReg, 4, Words({0}), 0), std::nullopt},
        {"an acknowledgement sent back", command(gvcp::kReadReg + 1, 4, Words({0})),
         status::kNotImplemented},
    };
    Device device(Camera("XCG-U100E", 1));
    device.TakeControl();
    for (const Hostile& test : cases) {
        const Ack ack = device.Datagram(test.bytes);
        EXPECT_EQ(ack.present, test.status.has_value()) << test.what;
        if (ack.present && test.status) {
            EXPECT_EQ(ack.status, *test.status) << test.what;
            EXPECT_EQ(ack.ackId, 7) << test.what;
        }
    }
    EXPECT_TRUE(device.stream.empty());
    EXPECT_EQ(device.camera.Controller(), kClient);
}

TEST(GevCommand, PixelFormatFollowsTheColourFilterAndDepth) {
    struct Case {
        const char* model;
        const char* depth;
        const char* filter;
        std::uint32_t format;
    };
    const Case cases[] = {
        {"XCG-V60E", "8", "0", gevcam::pixel::kMono8},
        {"XCG-V60E", "12", "0", gevcam::pixel::kMono12},
        {"XCG-5005CR", "8", "2", gevcam::pixel::kBayerGR8},
        {"XCG-5005CR", "8", "3", gevcam::pixel::kBayerBG8},
        {"XCG-5005CR", "10", "0", gevcam::pixel::kBayerRG10},
        {"XCG-5005CR", "16", "1", gevcam::pixel::kBayerGB16},
    };
    for (const Case& test : cases) {
        Device device(
            Camera(test.model, 1, {{"dataDepth", test.depth}, {"colorFilter", test.filter}}));
        EXPECT_EQ(device.Read(gevcam::device::kPixelFormat), test.format) << test.model;
    }
    // Another Bayer order changes the camera's filter, unless a standard
    // mode fixes it.
    Device device(Camera("XCG-5005CR", 1));
    device.TakeControl();
    EXPECT_EQ(device.Write(gevcam::device::kPixelFormat, gevcam::pixel::kBayerBG8),
              status::kSuccess);
    EXPECT_EQ(device.camera.Model().ColorFilter(), 3u);
    Device fixed(Camera("XCG-5005CR", 1, {{"standardMode", "1"}}));
    fixed.TakeControl();
    EXPECT_EQ(fixed.Write(gevcam::device::kPixelFormat, gevcam::pixel::kBayerBG8),
              status::kInvalidParameter);
}

}  // namespace
}  // namespace gevtest
