#include "GevCamera.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>

#include "DeviceRegisters.h"
#include "GenicamXml.h"
#include "GevProtocol.h"
#include "ZUR.h"

#ifndef GEVCAM_VERSION
#define GEVCAM_VERSION "0"
#endif

namespace gevcam {
namespace {

namespace bs = bootstrap;

constexpr std::uint32_t kGevVersion = 0x00010002;  // 1.2
// Capabilities: user-defined name, serial number, heartbeat disable;
// PACKETRESEND, WRITEMEM, several registers per READREG and WRITEREG.
constexpr std::uint32_t kCapabilities = 0xE0000007u;
constexpr std::uint32_t kSubnetMask = 0xFF000000u;
constexpr std::uint16_t kGenericError = 0x8FFF;

struct FormatName {
    std::uint32_t code;
    const char* name;
};
constexpr FormatName kFormatNames[] = {
    {pixel::kMono8, "Mono8"},         {pixel::kMono10, "Mono10"},
    {pixel::kMono12, "Mono12"},       {pixel::kMono16, "Mono16"},
    {pixel::kBayerRG8, "BayerRG8"},   {pixel::kBayerGB8, "BayerGB8"},
    {pixel::kBayerGR8, "BayerGR8"},   {pixel::kBayerBG8, "BayerBG8"},
    {pixel::kBayerRG10, "BayerRG10"}, {pixel::kBayerGB10, "BayerGB10"},
    {pixel::kBayerGR10, "BayerGR10"}, {pixel::kBayerBG10, "BayerBG10"},
    {pixel::kBayerRG12, "BayerRG12"}, {pixel::kBayerGB12, "BayerGB12"},
    {pixel::kBayerGR12, "BayerGR12"}, {pixel::kBayerBG12, "BayerBG12"},
    {pixel::kBayerRG16, "BayerRG16"}, {pixel::kBayerGB16, "BayerGB16"},
    {pixel::kBayerGR16, "BayerGR16"}, {pixel::kBayerBG16, "BayerBG16"},
};

// Formats by sample width (8, 10, 12, 16 bits) and, for colour, by the
// simulator's filter code (RGGB, GBRG, GRBG, BGGR).
constexpr std::uint32_t kMonoFormats[4] = {pixel::kMono8, pixel::kMono10, pixel::kMono12,
                                           pixel::kMono16};
constexpr std::uint32_t kBayerFormats[4][4] = {
    {pixel::kBayerRG8, pixel::kBayerGB8, pixel::kBayerGR8, pixel::kBayerBG8},
    {pixel::kBayerRG10, pixel::kBayerGB10, pixel::kBayerGR10, pixel::kBayerBG10},
    {pixel::kBayerRG12, pixel::kBayerGB12, pixel::kBayerGR12, pixel::kBayerBG12},
    {pixel::kBayerRG16, pixel::kBayerGB16, pixel::kBayerGR16, pixel::kBayerBG16},
};

// The smallest standard sample width that holds the camera's samples.
std::size_t WidthClass(std::uint32_t dataDepth) {
    return dataDepth <= 8 ? 0 : dataDepth <= 10 ? 1 : dataDepth <= 12 ? 2 : 3;
}

std::uint16_t StatusOf(std::uint32_t zurError) {
    switch (zurError) {
        case ZUR_ERROR_NONE:
            return status::kSuccess;
        case ZUR_ERROR_BAD_REGISTER:
            return status::kInvalidAddress;
        case ZUR_ERROR_READ_ONLY:
            return status::kWriteProtect;
        case ZUR_ERROR_OUT_OF_RANGE:
        case ZUR_ERROR_INVALID_ARGUMENT:
            return status::kInvalidParameter;
        case ZUR_ERROR_BUSY:
            return status::kBusy;
        default:
            return kGenericError;
    }
}

void PutString(std::vector<std::uint8_t>& block, std::uint32_t address, std::size_t size,
               const std::string& text) {
    // Zero-terminated within its field, cut to fit.
    const std::size_t length = std::min(text.size(), size - 1);
    std::memcpy(block.data() + address, text.data(), length);
}

// The file name in the URL: the model, cut so that the URL fits its register.
std::string FileName(const std::string& model) {
    std::string name = "gevcam-";
    for (const char c : model.substr(0, 64)) {
        const bool safe =
            (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-';
        name += safe ? c : '_';
    }
    return name + ".xml";
}

}  // namespace

const char* PixelFormatName(std::uint32_t code) {
    for (const FormatName& format : kFormatNames) {
        if (format.code == code) {
            return format.name;
        }
    }
    return "Unknown";
}

GevCamera::GevCamera(zursim::CameraOptions options, std::uint32_t ip, const DeviceOptions& device,
                     Clock::time_point started)
    : camera(std::move(options)),
      address(ip),
      start(started),
      lastHeard(started),
      heartbeatMs(device::kDefaultHeartbeatMs),
      packetSize(device::kDefaultPacketSize),
      stream(device.dropShare, device.seed) {
    XmlCamera description;
    description.model = camera.Options().model;
    description.serial = std::to_string(camera.Options().id);
    description.color = camera.IsColor();
    description.h280 = camera.IsH280();
    for (const std::uint32_t code : PixelFormats()) {
        description.pixelFormats.push_back({PixelFormatName(code), code});
    }
    xml = BuildGenicamXml(description);

    fixedBootstrap.assign(bs::kEnd, 0);
    PutString(fixedBootstrap, bs::kManufacturerName, 32, "Zaze");
    PutString(fixedBootstrap, bs::kModelName, 32, camera.Options().model);
    PutString(fixedBootstrap, bs::kDeviceVersion, 32, "gevcam " GEVCAM_VERSION);
    PutString(fixedBootstrap, bs::kManufacturerInfo, 48, "Simulated camera");
    PutString(fixedBootstrap, bs::kSerialNumber, 16, description.serial);
    char location[32];
    std::snprintf(location, sizeof location, ";%X;%zX", static_cast<unsigned>(device::kXmlAddress),
                  xml.size());
    PutString(fixedBootstrap, bs::kFirstUrl, 512,
              "Local:" + FileName(description.model) + location);
}

std::string GevCamera::Name() const {
    return camera.Options().model + "-" +
           std::to_string(static_cast<std::int64_t>(camera.Options().id));
}

// ---------------------------------------------------------------- reading

std::uint32_t GevCamera::ReadBootstrap(std::uint32_t at) const {
    const std::uint64_t mac = 0x020000000000ull | (camera.Options().id & 0xFFFFFFFFFFull);
    switch (at) {
        case bs::kVersion:
            return kGevVersion;
        case bs::kDeviceMode:
            return bs::kDeviceModeBigEndian | bs::kDeviceModeUtf8;
        case bs::kMacHigh:
            return static_cast<std::uint32_t>(mac >> 32);
        case bs::kMacLow:
            return static_cast<std::uint32_t>(mac & 0xFFFFFFFFu);
        case bs::kIpConfigOptions:
        case bs::kIpConfigCurrent:
            return bs::kIpConfigPersistent;
        case bs::kCurrentIp:
            return address;
        case bs::kSubnetMask:
            return kSubnetMask;
        case bs::kNetworkInterfaces:
            return 1;
        case bs::kStreamChannels:
            return 1;
        case bs::kGvcpCapability:
            return kCapabilities;
        case bs::kHeartbeatTimeout:
            return heartbeatMs;
        case bs::kTickFrequencyHigh:
            return static_cast<std::uint32_t>(device::kTickFrequency >> 32);
        case bs::kTickFrequencyLow:
            return static_cast<std::uint32_t>(device::kTickFrequency);
        case bs::kGvcpConfiguration:
            return gvcpConfiguration;
        case bs::kControlPrivilege:
            return privilege;
        case bs::kStreamPort:
            return destination.port;
        case bs::kStreamPacketSize:
            return packetSize | (doNotFragment ? bs::kDoNotFragment : 0);
        case bs::kStreamPacketDelay:
            return packetDelay;
        case bs::kStreamDestination:
            return destination.address;
        case bs::kStreamSourcePort:
            return sourcePort;
        default:
            break;
    }
    if (at >= bs::kUserDefinedName && at < bs::kUserDefinedName + userName.size()) {
        return ReadBe32(userName, at - bs::kUserDefinedName);
    }
    return ReadBe32(fixedBootstrap, at);
}

std::uint16_t GevCamera::ReadWord(std::uint32_t at, std::uint32_t& value) const {
    value = 0;
    if ((at & 3u) != 0) {
        return status::kBadAlignment;
    }
    if (at < bs::kEnd) {
        value = ReadBootstrap(at);
        return status::kSuccess;
    }
    if (at >= device::kOwnBegin && at < device::kOwnEnd) {
        switch (at) {
            case device::kAcquisitionMode:
                value = acquisitionMode;
                break;
            case device::kPayloadSize:
                value = camera.ImageBytes();
                break;
            case device::kPixelFormat:
                value = PixelFormat();
                break;
            case device::kTlParamsLocked:
                value = locked ? 1 : 0;
                break;
            case device::kSensorWidth:
                value = camera.Options().sensorWidth;
                break;
            case device::kSensorHeight:
                value = camera.Options().sensorHeight;
                break;
            case device::kFrameCounter:
                value = camera.lastFrameCounter;
                break;
            case device::kBandAdjust:
                value = static_cast<std::uint32_t>(camera.bandAdjust);
                break;
            case device::kBandLevel:
                value = static_cast<std::uint32_t>(camera.bandLevel);
                break;
            default:
                break;  // the commands read 0
        }
        return status::kSuccess;
    }
    if (at >= device::kXmlAddress && at - device::kXmlAddress < xml.size()) {
        const std::size_t offset = at - device::kXmlAddress;
        for (std::size_t i = 0; i < 4; ++i) {
            const std::uint8_t byte =
                offset + i < xml.size() ? static_cast<std::uint8_t>(xml[offset + i]) : 0;
            value = (value << 8) | byte;
        }
        return status::kSuccess;
    }
    return StatusOf(camera.Read(at, value));
}

std::uint16_t GevCamera::ReadMemory(std::uint64_t at, std::size_t count,
                                    std::vector<std::uint8_t>& bytes) const {
    bytes.clear();
    const std::uint64_t end = at + count;
    for (std::uint64_t word = at & ~std::uint64_t{3}; word < end; word += 4) {
        std::uint32_t value = 0;
        if (word > 0xFFFFFFFCu) {
            return status::kInvalidAddress;
        }
        if (const std::uint16_t result = ReadWord(static_cast<std::uint32_t>(word), value);
            result != status::kSuccess) {
            return result;
        }
        for (std::uint64_t i = 0; i < 4; ++i) {
            if (word + i >= at && word + i < end) {
                bytes.push_back(static_cast<std::uint8_t>(value >> (24 - 8 * i)));
            }
        }
    }
    return status::kSuccess;
}

// ---------------------------------------------------------------- writing

std::uint16_t GevCamera::WritePrivilege(std::uint32_t value, Endpoint from, Clock::time_point now) {
    const std::uint32_t wanted = value & (bs::kPrivilegeControl | bs::kPrivilegeExclusive);
    if (controller && !IsController(from)) {
        return status::kAccessDenied;
    }
    if (wanted == 0) {
        if (controller) {
            ReleaseControl();
        }
        return status::kSuccess;
    }
    controller = from;
    privilege = wanted;
    lastHeard = now;
    return status::kSuccess;
}

std::uint16_t GevCamera::WriteBootstrap(std::uint32_t at, std::uint32_t value, Endpoint from,
                                        Clock::time_point now, Output& out) {
    if (at >= bs::kUserDefinedName && at < bs::kUserDefinedName + userName.size()) {
        WriteBe32(userName, at - bs::kUserDefinedName, value);
        return status::kSuccess;
    }
    switch (at) {
        case bs::kHeartbeatTimeout:
            if (value < device::kMinHeartbeatMs) {
                return status::kInvalidParameter;
            }
            heartbeatMs = value;
            return status::kSuccess;
        case bs::kGvcpConfiguration:
            gvcpConfiguration = value & bs::kHeartbeatDisable;
            return status::kSuccess;
        case bs::kControlPrivilege:
            return WritePrivilege(value, from, now);
        case bs::kStreamPort:
            destination.port = static_cast<std::uint16_t>(value & 0xFFFFu);
            if (destination.port == 0) {
                CloseStreamChannel();
            }
            return status::kSuccess;
        case bs::kStreamPacketSize: {
            const std::uint32_t size = value & bs::kPacketSizeMask;
            if (size < device::kMinPacketSize || size > device::kMaxPacketSize) {
                return status::kInvalidParameter;
            }
            packetSize = size;
            doNotFragment = (value & bs::kDoNotFragment) != 0;
            if ((value & bs::kFireTestPacket) != 0 && destination.port != 0 &&
                destination.address != 0) {
                out.stream.push_back(TestPacket(packetSize));
            }
            return status::kSuccess;
        }
        case bs::kStreamPacketDelay:
            packetDelay = value;
            return status::kSuccess;
        case bs::kStreamDestination:
            // Stream packets never leave the machine.
            if (value != 0 && !IsLoopback(value)) {
                return status::kInvalidParameter;
            }
            destination.address = value;
            if (value == 0) {
                CloseStreamChannel();
            }
            return status::kSuccess;
        default:
            return status::kWriteProtect;
    }
}

std::uint16_t GevCamera::WriteOwn(std::uint32_t at, std::uint32_t value) {
    switch (at) {
        case device::kAcquisitionStart:
            if (value != 1) {
                return status::kInvalidParameter;
            }
            if (destination.port == 0 || destination.address == 0) {
                return status::kWrongConfig;  // nowhere to send the frames
            }
            StartAcquisition();
            return status::kSuccess;
        case device::kAcquisitionStop:
            if (value != 1) {
                return status::kInvalidParameter;
            }
            StopAcquisition();
            return status::kSuccess;
        case device::kAcquisitionMode:
            if (value != device::kAcquisitionContinuous &&
                value != device::kAcquisitionSingleFrame) {
                return status::kInvalidParameter;
            }
            acquisitionMode = value;
            return status::kSuccess;
        case device::kTlParamsLocked:
            if (value > 1) {
                return status::kInvalidParameter;
            }
            locked = value == 1;
            UpdateLock();
            return status::kSuccess;
        case device::kBandAdjust:
            if (value > 1) {
                return status::kInvalidParameter;
            }
            camera.bandAdjust = static_cast<std::int32_t>(value);
            return status::kSuccess;
        case device::kBandLevel:
            if (value > device::kMaxBandLevel) {
                return status::kInvalidParameter;
            }
            camera.bandLevel = static_cast<std::int32_t>(value);
            return status::kSuccess;
        case device::kPixelFormat: {
            const std::vector<std::uint32_t> formats = PixelFormats();
            if (std::find(formats.begin(), formats.end(), value) == formats.end()) {
                return status::kInvalidParameter;
            }
            if (value == PixelFormat()) {
                return status::kSuccess;
            }
            if (camera.allocated) {
                return status::kBusy;
            }
            // Another Bayer order of the same width: the camera's filter.
            const auto& orders = kBayerFormats[WidthClass(camera.Options().dataDepth)];
            const auto order = std::find(std::begin(orders), std::end(orders), value);
            return StatusOf(
                camera.SetColorFilter(static_cast<std::uint32_t>(order - std::begin(orders))));
        }
        default:
            return status::kWriteProtect;
    }
}

std::uint16_t GevCamera::WriteWord(std::uint32_t at, std::uint32_t value, Endpoint from,
                                   Clock::time_point now, Output& out) {
    if ((at & 3u) != 0) {
        return status::kBadAlignment;
    }
    // Only the controlling application writes; anyone may ask for control
    // while nobody holds it.
    if (!IsController(from) && !(at == bs::kControlPrivilege && !controller)) {
        return status::kAccessDenied;
    }
    if (at < bs::kEnd) {
        return WriteBootstrap(at, value, from, now, out);
    }
    if (at >= device::kOwnBegin && at < device::kOwnEnd) {
        return WriteOwn(at, value);
    }
    if (at >= device::kXmlAddress && at - device::kXmlAddress < xml.size()) {
        return status::kWriteProtect;
    }
    return StatusOf(camera.Write(at, value));
}

// ---------------------------------------------------------------- control

bool GevCamera::MayRead(Endpoint from) const {
    return !controller || (privilege & bs::kPrivilegeExclusive) == 0 || IsController(from);
}

void GevCamera::ExpireHeartbeat(Clock::time_point now) {
    if (controller && (gvcpConfiguration & bs::kHeartbeatDisable) == 0 &&
        now - lastHeard > std::chrono::milliseconds(heartbeatMs)) {
        ReleaseControl();
    }
}

void GevCamera::ReleaseControl() {
    controller.reset();
    privilege = 0;
    // The next controller starts from a closed channel.
    CloseStreamChannel();
    destination = Endpoint{};
    locked = false;
    UpdateLock();
}

void GevCamera::CloseStreamChannel() {
    StopAcquisition();
    stream.Clear();
}

void GevCamera::StartAcquisition() {
    if (acquiring) {
        return;
    }
    acquiring = true;
    camera.started = true;
    camera.pendingTriggers = 0;
    camera.lastFrameTime.reset();
    UpdateLock();
}

void GevCamera::StopAcquisition() {
    acquiring = false;
    camera.started = false;
    camera.pendingTriggers = 0;
    UpdateLock();
}

void GevCamera::UpdateLock() {
    // The image size cannot change while frames of it are being made.
    camera.allocated = acquiring || locked;
}

// ---------------------------------------------------------------- commands

void GevCamera::Handle(std::span<const std::uint8_t> datagram, Endpoint from, bool broadcast,
                       Clock::time_point now, Output& out) {
    out.ack.clear();
    if (datagram.size() < sizeof(gvcp::CommandHeader)) {
        return;
    }
    const auto header = ReadRecord<gvcp::CommandHeader>(datagram);
    if (header.key != gvcp::kKey) {
        return;
    }
    const auto command = static_cast<std::uint16_t>(header.command.Get());
    if (broadcast && command != gvcp::kDiscovery) {
        return;
    }
    ExpireHeartbeat(now);
    if (IsController(from)) {
        lastHeard = now;
    }
    const auto length = static_cast<std::size_t>(header.length.Get());
    const std::span<const std::uint8_t> payload = datagram.subspan(sizeof header);
    std::optional<Reply> reply;
    if (length > payload.size() || (length & 3u) != 0) {
        reply = Reply{status::kInvalidHeader, {}};
    } else if (length > kGvcpMaxPayload) {
        reply = Reply{status::kInvalidParameter, {}};
    } else {
        const std::span<const std::uint8_t> body = payload.first(length);
        switch (command) {
            case gvcp::kDiscovery:
                reply = Reply{status::kSuccess, {}};
                ReadMemory(0, sizeof(gvcp::DiscoveryAck), reply->payload);
                break;
            case gvcp::kReadReg:
                reply = ReadRegisters(body, from);
                break;
            case gvcp::kWriteReg:
                reply = WriteRegisters(body, from, now, out);
                break;
            case gvcp::kReadMem:
                reply = ReadMem(body, from);
                break;
            case gvcp::kWriteMem:
                reply = WriteMem(body, from, now, out);
                break;
            case gvcp::kPacketResend:
                PacketResend(body, out);
                break;  // answered by packets
            default:
                reply = Reply{status::kNotImplemented, {}};
                break;
        }
    }
    if (reply && (header.flags & gvcp::kFlagAckRequired) != 0) {
        gvcp::AckHeader ack{};
        ack.status.Set(reply->status);
        ack.acknowledge.Set(command + 1u);
        ack.length.Set(reply->payload.size());
        ack.ackId.Set(header.requestId.Get());
        out.ack.resize(sizeof ack);
        std::memcpy(out.ack.data(), &ack, sizeof ack);
        out.ack.insert(out.ack.end(), reply->payload.begin(), reply->payload.end());
    }
}

GevCamera::Reply GevCamera::ReadRegisters(std::span<const std::uint8_t> payload,
                                          Endpoint from) const {
    Reply reply{payload.empty() ? status::kInvalidParameter : status::kSuccess, {}};
    if (!MayRead(from)) {
        reply.status = status::kAccessDenied;
    }
    // Values of the registers read before one that fails.
    for (std::size_t i = 0; i + 4 <= payload.size() && reply.status == status::kSuccess; i += 4) {
        std::uint32_t value = 0;
        reply.status = ReadWord(ReadBe32(payload, i), value);
        if (reply.status == status::kSuccess) {
            reply.payload.resize(reply.payload.size() + 4);
            WriteBe32(reply.payload, reply.payload.size() - 4, value);
        }
    }
    return reply;
}

GevCamera::Reply GevCamera::WriteAckReply(std::uint16_t result, std::size_t written) {
    gvcp::WriteAck ack{};
    ack.index.Set(written);
    Reply reply{result, std::vector<std::uint8_t>(sizeof ack)};
    std::memcpy(reply.payload.data(), &ack, sizeof ack);
    return reply;
}

GevCamera::Reply GevCamera::WriteRegisters(std::span<const std::uint8_t> payload, Endpoint from,
                                           Clock::time_point now, Output& out) {
    // Pairs of address and value, written in order; a refused one ends the
    // command, and the acknowledgement tells how many were written.
    std::uint16_t result =
        payload.empty() || payload.size() % 8 != 0 ? status::kInvalidParameter : status::kSuccess;
    std::size_t written = 0;
    for (std::size_t i = 0; i + 8 <= payload.size() && result == status::kSuccess; i += 8) {
        result = WriteWord(ReadBe32(payload, i), ReadBe32(payload, i + 4), from, now, out);
        if (result == status::kSuccess) {
            ++written;
        }
    }
    return WriteAckReply(result, written);
}

GevCamera::Reply GevCamera::ReadMem(std::span<const std::uint8_t> payload, Endpoint from) const {
    if (payload.size() != 8) {
        return Reply{status::kInvalidParameter, {}};
    }
    const std::uint32_t at = ReadBe32(payload, 0);
    const std::uint32_t count = ReadBe32(payload, 4) & 0xFFFFu;
    Reply reply{status::kSuccess, std::vector<std::uint8_t>(4)};
    WriteBe32(reply.payload, 0, at);
    if (count == 0 || count > gvcp::kMaxMemoryBytes) {
        reply.status = status::kInvalidParameter;
    } else if (!MayRead(from)) {
        reply.status = status::kAccessDenied;
    } else {
        std::vector<std::uint8_t> data;
        reply.status = ReadMemory(at, count, data);
        if (reply.status == status::kSuccess) {
            reply.payload.insert(reply.payload.end(), data.begin(), data.end());
        }
    }
    return reply;
}

GevCamera::Reply GevCamera::WriteMem(std::span<const std::uint8_t> payload, Endpoint from,
                                     Clock::time_point now, Output& out) {
    if (payload.size() < 8 || payload.size() - 4 > gvcp::kMaxMemoryBytes) {
        return WriteAckReply(status::kInvalidParameter, 0);
    }
    const std::uint32_t at = ReadBe32(payload, 0);
    if ((at & 3u) != 0) {
        return WriteAckReply(status::kBadAlignment, 0);
    }
    const std::span<const std::uint8_t> data = payload.subspan(4);
    std::uint16_t result = status::kSuccess;
    std::size_t written = 0;
    for (; written + 4 <= data.size() && result == status::kSuccess; written += 4) {
        if (std::uint64_t{at} + written > 0xFFFFFFFCu) {
            result = status::kInvalidAddress;
            break;
        }
        result = WriteWord(static_cast<std::uint32_t>(at + written), ReadBe32(data, written), from,
                           now, out);
        if (result != status::kSuccess) {
            break;
        }
    }
    return WriteAckReply(result, written);
}

void GevCamera::PacketResend(std::span<const std::uint8_t> payload, Output& out) const {
    if (payload.size() < sizeof(gvcp::PacketResend) || destination.port == 0 ||
        destination.address == 0) {
        return;
    }
    const auto request = ReadRecord<gvcp::PacketResend>(payload);
    if (request.streamChannel.Get() != 0) {
        return;
    }
    stream.Resend(static_cast<std::uint16_t>(request.blockId.Get()),
                  static_cast<std::uint32_t>(request.firstPacketId.Get()),
                  static_cast<std::uint32_t>(request.lastPacketId.Get()), out.stream);
}

// ---------------------------------------------------------------- frames

std::vector<std::uint32_t> GevCamera::PixelFormats() const {
    const std::size_t width = WidthClass(camera.Options().dataDepth);
    if (!camera.IsColor()) {
        return {kMonoFormats[width]};
    }
    if (camera.Options().standardMode != 0) {
        return {PixelFormat()};  // the filter order is fixed
    }
    return {std::begin(kBayerFormats[width]), std::end(kBayerFormats[width])};
}

std::uint32_t GevCamera::PixelFormat() const {
    const std::size_t width = WidthClass(camera.Options().dataDepth);
    return camera.IsColor() ? kBayerFormats[width][camera.ColorFilter() & 3u] : kMonoFormats[width];
}

void GevCamera::SendFrame(Clock::time_point now, Output& out) {
    const zursim::Geometry geometry = camera.CurrentGeometry();
    camera.ProduceFrame();
    camera.lastFrameTime = now;
    FrameInfo info;
    info.blockId = nextBlockId;
    nextBlockId = nextBlockId == 0xFFFF ? 1 : static_cast<std::uint16_t>(nextBlockId + 1);
    info.timestamp = static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::nanoseconds>(now - start).count());
    info.pixelFormat = PixelFormat();
    info.width = geometry.ImageWidth();
    info.height = geometry.ImageHeight();
    info.offsetX = geometry.offsetX;
    info.offsetY = geometry.offsetY;
    stream.Begin(info, std::move(camera.lastImage), packetSize);
    stream.Continue(kBurstBytes, out.stream);
    if (acquisitionMode == device::kAcquisitionSingleFrame) {
        StopAcquisition();
    }
}

Clock::time_point GevCamera::Tick(Clock::time_point now, Output& out) {
    ExpireHeartbeat(now);
    Clock::time_point next = Clock::time_point::max();
    if (controller && (gvcpConfiguration & bs::kHeartbeatDisable) == 0) {
        next = lastHeard + std::chrono::milliseconds(heartbeatMs) + std::chrono::milliseconds(1);
    }
    if (stream.Sending()) {
        stream.Continue(kBurstBytes, out.stream);
    } else if (acquiring) {
        if (camera.TriggerModeOn()) {
            if (camera.pendingTriggers > 0) {
                --camera.pendingTriggers;
                SendFrame(now, out);
            }
        } else {
            const Clock::time_point due =
                camera.lastFrameTime ? *camera.lastFrameTime + camera.FramePeriod() : now;
            if (now >= due) {
                SendFrame(now, out);
            }
        }
    }
    if (stream.Sending()) {
        return std::min(next, now + kBurstPause);
    }
    if (acquiring && !camera.TriggerModeOn() && camera.lastFrameTime) {
        next = std::min(next, *camera.lastFrameTime + camera.FramePeriod());
    }
    if (acquiring && camera.TriggerModeOn() && camera.pendingTriggers > 0) {
        next = now;
    }
    return next;
}

}  // namespace gevcam
