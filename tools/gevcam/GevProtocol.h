#pragma once

// The GigE Vision wire formats gevcam speaks: GVCP commands and
// acknowledgements on UDP port 3956, GVSP stream packets, the bootstrap
// register map and the status codes. Everything on the wire is big-endian;
// the records below hold their fields as byte arrays in wire order, so they
// have no padding, no alignment and one layout on every compiler.

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

namespace gevcam {

// A big-endian unsigned integer of N bytes, stored as it travels.
template <std::size_t N>
struct BigEndian {
    std::array<std::uint8_t, N> bytes{};

    std::uint64_t Get() const {
        std::uint64_t value = 0;
        for (const std::uint8_t byte : bytes) {
            value = (value << 8) | byte;
        }
        return value;
    }
    void Set(std::uint64_t value) {
        for (std::size_t i = N; i-- > 0;) {
            bytes[i] = static_cast<std::uint8_t>(value & 0xFFu);
            value >>= 8;
        }
    }
};
using Be16 = BigEndian<2>;
using Be24 = BigEndian<3>;
using Be32 = BigEndian<4>;

inline std::uint32_t ReadBe32(std::span<const std::uint8_t> bytes, std::size_t offset) {
    return (std::uint32_t{bytes[offset]} << 24) | (std::uint32_t{bytes[offset + 1]} << 16) |
           (std::uint32_t{bytes[offset + 2]} << 8) | std::uint32_t{bytes[offset + 3]};
}
inline void WriteBe32(std::span<std::uint8_t> bytes, std::size_t offset, std::uint32_t value) {
    bytes[offset] = static_cast<std::uint8_t>(value >> 24);
    bytes[offset + 1] = static_cast<std::uint8_t>(value >> 16);
    bytes[offset + 2] = static_cast<std::uint8_t>(value >> 8);
    bytes[offset + 3] = static_cast<std::uint8_t>(value);
}

// A record read from the front of a datagram, or written to the back of one.
template <typename Record>
Record ReadRecord(std::span<const std::uint8_t> bytes) {
    Record record;
    std::memcpy(&record, bytes.data(), sizeof record);
    return record;
}

inline constexpr std::uint16_t kGvcpPort = 3956;

// Datagrams of the control channel are at most 576 bytes with the IP and UDP
// headers; what is left for a command's payload after its own header:
inline constexpr std::size_t kGvcpMaxPayload = 540;
inline constexpr std::size_t kIpUdpHeaderBytes = 28;

namespace gvcp {

inline constexpr std::uint8_t kKey = 0x42;
inline constexpr std::uint8_t kFlagAckRequired = 0x01;

// Commands; each acknowledgement is its command + 1.
inline constexpr std::uint16_t kDiscovery = 0x0002;
inline constexpr std::uint16_t kForceIp = 0x0004;
inline constexpr std::uint16_t kPacketResend = 0x0040;
inline constexpr std::uint16_t kReadReg = 0x0080;
inline constexpr std::uint16_t kWriteReg = 0x0082;
inline constexpr std::uint16_t kReadMem = 0x0084;
inline constexpr std::uint16_t kWriteMem = 0x0086;

inline constexpr std::size_t kMaxRegisters = kGvcpMaxPayload / 4;    // per READREG / WRITEREG
inline constexpr std::size_t kMaxMemoryBytes = kGvcpMaxPayload - 4;  // per READMEM / WRITEMEM

struct CommandHeader {
    std::uint8_t key;
    std::uint8_t flags;
    Be16 command;
    Be16 length;  // payload bytes after the header
    Be16 requestId;
};
static_assert(sizeof(CommandHeader) == 8);
static_assert(offsetof(CommandHeader, command) == 2);
static_assert(offsetof(CommandHeader, length) == 4);
static_assert(offsetof(CommandHeader, requestId) == 6);

struct AckHeader {
    Be16 status;
    Be16 acknowledge;
    Be16 length;
    Be16 ackId;  // the request's ID
};
static_assert(sizeof(AckHeader) == 8);
static_assert(offsetof(AckHeader, length) == 4);

// DISCOVERY_ACK payload: the first bootstrap registers, as they are.
struct DiscoveryAck {
    Be16 versionMajor;
    Be16 versionMinor;
    Be32 deviceMode;
    Be16 reserved0;
    Be16 macHigh;
    Be32 macLow;
    Be32 ipConfigOptions;
    Be32 ipConfigCurrent;
    std::uint8_t reserved1[12];
    Be32 currentIp;
    std::uint8_t reserved2[12];
    Be32 subnetMask;
    std::uint8_t reserved3[12];
    Be32 defaultGateway;
    char manufacturerName[32];
    char modelName[32];
    char deviceVersion[32];
    char manufacturerInfo[48];
    char serialNumber[16];
    char userDefinedName[16];
};
static_assert(sizeof(DiscoveryAck) == 248);
static_assert(offsetof(DiscoveryAck, macHigh) == 10);
static_assert(offsetof(DiscoveryAck, currentIp) == 36);
static_assert(offsetof(DiscoveryAck, subnetMask) == 52);
static_assert(offsetof(DiscoveryAck, manufacturerName) == 72);
static_assert(offsetof(DiscoveryAck, modelName) == 104);
static_assert(offsetof(DiscoveryAck, serialNumber) == 216);
static_assert(offsetof(DiscoveryAck, userDefinedName) == 232);

// PACKETRESEND_CMD payload (16-bit block IDs).
struct PacketResend {
    Be16 streamChannel;
    Be16 blockId;
    std::uint8_t reserved0;
    Be24 firstPacketId;
    std::uint8_t reserved1;
    Be24 lastPacketId;
};
static_assert(sizeof(PacketResend) == 12);
static_assert(offsetof(PacketResend, blockId) == 2);
static_assert(offsetof(PacketResend, firstPacketId) == 5);
static_assert(offsetof(PacketResend, lastPacketId) == 9);

// WRITEREG_ACK and WRITEMEM_ACK payload.
struct WriteAck {
    Be16 reserved;
    Be16 index;  // registers (WRITEREG) or bytes (WRITEMEM) written
};
static_assert(sizeof(WriteAck) == 4);

}  // namespace gvcp

// Status codes of acknowledgements and stream packets.
namespace status {
inline constexpr std::uint16_t kSuccess = 0x0000;
inline constexpr std::uint16_t kNotImplemented = 0x8001;
inline constexpr std::uint16_t kInvalidParameter = 0x8002;
inline constexpr std::uint16_t kInvalidAddress = 0x8003;
inline constexpr std::uint16_t kWriteProtect = 0x8004;
inline constexpr std::uint16_t kBadAlignment = 0x8005;
inline constexpr std::uint16_t kAccessDenied = 0x8006;
inline constexpr std::uint16_t kBusy = 0x8007;
inline constexpr std::uint16_t kPacketUnavailable = 0x800C;
inline constexpr std::uint16_t kInvalidHeader = 0x800E;
inline constexpr std::uint16_t kWrongConfig = 0x800F;
}  // namespace status

namespace gvsp {

inline constexpr std::uint8_t kFormatLeader = 1;
inline constexpr std::uint8_t kFormatTrailer = 2;
inline constexpr std::uint8_t kFormatPayload = 3;
inline constexpr std::uint16_t kPayloadTypeImage = 0x0001;

struct Header {
    Be16 status;
    Be16 blockId;  // 1 to 65535, then 1 again
    std::uint8_t format;
    Be24 packetId;  // leader 0, payload 1..n, trailer n + 1
};
static_assert(sizeof(Header) == 8);
static_assert(offsetof(Header, format) == 4);
static_assert(offsetof(Header, packetId) == 5);

struct ImageLeader {
    Be16 reserved;
    Be16 payloadType;
    Be32 timestampHigh;
    Be32 timestampLow;
    Be32 pixelFormat;
    Be32 sizeX;
    Be32 sizeY;
    Be32 offsetX;
    Be32 offsetY;
    Be16 paddingX;
    Be16 paddingY;
};
static_assert(sizeof(ImageLeader) == 36);
static_assert(offsetof(ImageLeader, pixelFormat) == 12);
static_assert(offsetof(ImageLeader, sizeX) == 16);
static_assert(offsetof(ImageLeader, paddingX) == 32);

struct ImageTrailer {
    Be16 reserved;
    Be16 payloadType;
    Be32 sizeY;
};
static_assert(sizeof(ImageTrailer) == 8);

// Bytes of a stream packet in front of its payload: IP, UDP and GVSP headers.
inline constexpr std::size_t kOverhead = kIpUdpHeaderBytes + sizeof(Header);

}  // namespace gvsp

// Bootstrap registers (the standard part of the device's address space).
namespace bootstrap {
inline constexpr std::uint32_t kVersion = 0x0000;
inline constexpr std::uint32_t kDeviceMode = 0x0004;
inline constexpr std::uint32_t kMacHigh = 0x0008;
inline constexpr std::uint32_t kMacLow = 0x000C;
inline constexpr std::uint32_t kIpConfigOptions = 0x0010;
inline constexpr std::uint32_t kIpConfigCurrent = 0x0014;
inline constexpr std::uint32_t kCurrentIp = 0x0024;
inline constexpr std::uint32_t kSubnetMask = 0x0034;
inline constexpr std::uint32_t kDefaultGateway = 0x0044;
inline constexpr std::uint32_t kManufacturerName = 0x0048;  // 32 bytes
inline constexpr std::uint32_t kModelName = 0x0068;         // 32 bytes
inline constexpr std::uint32_t kDeviceVersion = 0x0088;     // 32 bytes
inline constexpr std::uint32_t kManufacturerInfo = 0x00A8;  // 48 bytes
inline constexpr std::uint32_t kSerialNumber = 0x00D8;      // 16 bytes
inline constexpr std::uint32_t kUserDefinedName = 0x00E8;   // 16 bytes, writable
inline constexpr std::uint32_t kFirstUrl = 0x0200;          // 512 bytes
inline constexpr std::uint32_t kSecondUrl = 0x0400;         // 512 bytes
inline constexpr std::uint32_t kNetworkInterfaces = 0x0600;
inline constexpr std::uint32_t kMessageChannels = 0x0900;
inline constexpr std::uint32_t kStreamChannels = 0x0904;
inline constexpr std::uint32_t kGvcpCapability = 0x0934;
inline constexpr std::uint32_t kHeartbeatTimeout = 0x0938;
inline constexpr std::uint32_t kTickFrequencyHigh = 0x093C;
inline constexpr std::uint32_t kTickFrequencyLow = 0x0940;
inline constexpr std::uint32_t kGvcpConfiguration = 0x0954;
inline constexpr std::uint32_t kControlPrivilege = 0x0A00;
inline constexpr std::uint32_t kStreamPort = 0x0D00;        // SCP0
inline constexpr std::uint32_t kStreamPacketSize = 0x0D04;  // SCPS0
inline constexpr std::uint32_t kStreamPacketDelay = 0x0D08;
inline constexpr std::uint32_t kStreamDestination = 0x0D18;
inline constexpr std::uint32_t kStreamSourcePort = 0x0D1C;
inline constexpr std::uint32_t kEnd = 0x1000;  // first address past the bootstrap block

// Bits, numbered as the protocol does from the most significant.
inline constexpr std::uint32_t kDeviceModeBigEndian = 0x80000000u;
inline constexpr std::uint32_t kDeviceModeUtf8 = 0x00000001u;
inline constexpr std::uint32_t kIpConfigPersistent = 0x00000001u;
inline constexpr std::uint32_t kPrivilegeExclusive = 0x00000001u;
inline constexpr std::uint32_t kPrivilegeControl = 0x00000002u;
inline constexpr std::uint32_t kHeartbeatDisable = 0x00000001u;  // GVCP configuration
inline constexpr std::uint32_t kFireTestPacket = 0x80000000u;    // SCPS
inline constexpr std::uint32_t kDoNotFragment = 0x40000000u;     // SCPS
inline constexpr std::uint32_t kPacketSizeMask = 0x0000FFFFu;    // SCPS
}  // namespace bootstrap

// PFNC pixel formats.
namespace pixel {
inline constexpr std::uint32_t kMono8 = 0x01080001u;
inline constexpr std::uint32_t kMono10 = 0x01100003u;
inline constexpr std::uint32_t kMono12 = 0x01100005u;
inline constexpr std::uint32_t kMono16 = 0x01100007u;
inline constexpr std::uint32_t kBayerGR8 = 0x01080008u;
inline constexpr std::uint32_t kBayerRG8 = 0x01080009u;
inline constexpr std::uint32_t kBayerGB8 = 0x0108000Au;
inline constexpr std::uint32_t kBayerBG8 = 0x0108000Bu;
inline constexpr std::uint32_t kBayerGR10 = 0x0110000Cu;
inline constexpr std::uint32_t kBayerRG10 = 0x0110000Du;
inline constexpr std::uint32_t kBayerGB10 = 0x0110000Eu;
inline constexpr std::uint32_t kBayerBG10 = 0x0110000Fu;
inline constexpr std::uint32_t kBayerGR12 = 0x01100010u;
inline constexpr std::uint32_t kBayerRG12 = 0x01100011u;
inline constexpr std::uint32_t kBayerGB12 = 0x01100012u;
inline constexpr std::uint32_t kBayerBG12 = 0x01100013u;
inline constexpr std::uint32_t kBayerGR16 = 0x0110002Eu;
inline constexpr std::uint32_t kBayerRG16 = 0x0110002Fu;
inline constexpr std::uint32_t kBayerGB16 = 0x01100030u;
inline constexpr std::uint32_t kBayerBG16 = 0x01100031u;
}  // namespace pixel

}  // namespace gevcam
