#include "DeviceHarness.h"

#include <cstring>

#include "ZUR.h"
#include "ZURSim.h"
#include "ZurTestSupport.h"
#include "zursim/Config.h"

namespace gevtest {

namespace bs = gevcam::bootstrap;
namespace gvcp = gevcam::gvcp;

zursim::CameraOptions Camera(const std::string& model, std::uint64_t id,
                             std::initializer_list<std::pair<const char*, const char*>> keys) {
    zursim::CameraOptions options = zursim::ModelDefaults(model, id);
    for (const auto& [key, value] : keys) {
        EXPECT_TRUE(zursim::ApplyOption(options, key, value)) << key;
    }
    return options;
}

std::vector<std::uint8_t> Words(std::initializer_list<std::uint32_t> words) {
    std::vector<std::uint8_t> bytes(words.size() * 4);
    std::size_t offset = 0;
    for (const std::uint32_t word : words) {
        gevcam::WriteBe32(bytes, offset, word);
        offset += 4;
    }
    return bytes;
}

Device::Device(zursim::CameraOptions options, gevcam::DeviceOptions device)
    : camera(std::move(options), kCameraIp, device, gevcam::Clock::time_point{}),
      now(gevcam::Clock::time_point{} + std::chrono::seconds(1)) {}

void Device::Collect(const std::vector<gevcam::StreamPacket>& packets) {
    for (const gevcam::StreamPacket& sent : packets) {
        Packet packet;
        const auto header = gevcam::ReadRecord<gevcam::gvsp::Header>(sent.head);
        packet.status = static_cast<std::uint16_t>(header.status.Get());
        packet.blockId = static_cast<std::uint16_t>(header.blockId.Get());
        packet.format = header.format;
        packet.packetId = static_cast<std::uint32_t>(header.packetId.Get());
        packet.bytes.assign(sent.head.begin() + sizeof header, sent.head.begin() + sent.headSize);
        packet.bytes.insert(packet.bytes.end(), sent.body.begin(), sent.body.end());
        stream.push_back(std::move(packet));
    }
}

Ack Device::Datagram(const std::vector<std::uint8_t>& bytes, Endpoint from, bool broadcast) {
    gevcam::Output out;
    camera.Handle(bytes, from, broadcast, now, out);
    Collect(out.stream);
    Ack ack;
    if (out.ack.empty()) {
        return ack;
    }
    EXPECT_GE(out.ack.size(), sizeof(gvcp::AckHeader));
    EXPECT_LE(out.ack.size(), sizeof(gvcp::AckHeader) + gevcam::kGvcpMaxPayload);
    const auto header = gevcam::ReadRecord<gvcp::AckHeader>(out.ack);
    ack.present = true;
    ack.status = static_cast<std::uint16_t>(header.status.Get());
    ack.acknowledge = static_cast<std::uint16_t>(header.acknowledge.Get());
    ack.ackId = static_cast<std::uint16_t>(header.ackId.Get());
    ack.payload.assign(out.ack.begin() + sizeof header, out.ack.end());
    EXPECT_EQ(header.length.Get(), ack.payload.size());
    return ack;
}

Ack Device::Command(std::uint16_t command, const std::vector<std::uint8_t>& payload, Endpoint from,
                    std::uint8_t flags) {
    gvcp::CommandHeader header{};
    header.key = gvcp::kKey;
    header.flags = flags;
    header.command.Set(command);
    header.length.Set(payload.size());
    header.requestId.Set(nextRequest);
    std::vector<std::uint8_t> bytes(sizeof header);
    std::memcpy(bytes.data(), &header, sizeof header);
    bytes.insert(bytes.end(), payload.begin(), payload.end());
    const Ack ack = Datagram(bytes, from);
    if (ack.present) {
        EXPECT_EQ(ack.acknowledge, command + 1);
        EXPECT_EQ(ack.ackId, nextRequest);
    }
    nextRequest = static_cast<std::uint16_t>(nextRequest == 0xFFFF ? 1 : nextRequest + 1);
    return ack;
}

std::uint16_t Device::Write(std::uint32_t address, std::uint32_t value, Endpoint from) {
    const Ack ack = Command(gvcp::kWriteReg, Words({address, value}), from);
    EXPECT_TRUE(ack.present);
    return ack.status;
}

std::optional<std::uint32_t> Device::Read(std::uint32_t address, Endpoint from) {
    const Ack ack = Command(gvcp::kReadReg, Words({address}), from);
    if (!ack.present || ack.status != gevcam::status::kSuccess || ack.payload.size() != 4) {
        return std::nullopt;
    }
    return gevcam::ReadBe32(ack.payload, 0);
}

std::vector<std::uint8_t> Device::ReadMemory(std::uint32_t address, std::size_t count) {
    std::vector<std::uint8_t> bytes;
    while (bytes.size() < count) {
        const std::size_t chunk = std::min<std::size_t>(count - bytes.size(), 512);
        const auto at = static_cast<std::uint32_t>(address + bytes.size());
        const Ack ack = Command(gvcp::kReadMem, Words({at, static_cast<std::uint32_t>(chunk)}));
        EXPECT_EQ(ack.status, gevcam::status::kSuccess) << std::hex << at;
        if (ack.status != gevcam::status::kSuccess || ack.payload.size() != chunk + 4) {
            return bytes;
        }
        bytes.insert(bytes.end(), ack.payload.begin() + 4, ack.payload.end());
    }
    return bytes;
}

void Device::TakeControl(Endpoint from) {
    ASSERT_EQ(Write(bs::kControlPrivilege, bs::kPrivilegeControl, from), gevcam::status::kSuccess);
}

void Device::StartStreaming() {
    TakeControl();
    ASSERT_EQ(Write(bs::kStreamDestination, kClient.address), gevcam::status::kSuccess);
    ASSERT_EQ(Write(bs::kStreamPort, kStreamPort), gevcam::status::kSuccess);
    ASSERT_EQ(Write(0xA000, 1), gevcam::status::kSuccess);  // AcquisitionStart
}

void Device::Tick() {
    gevcam::Output out;
    camera.Tick(now, out);
    Collect(out.stream);
}

void Device::Advance(std::chrono::microseconds step) {
    now += step;
    Tick();
}

Frame Device::NextFrame(std::chrono::milliseconds limit) {
    const std::size_t first = stream.size();
    const gevcam::Clock::time_point end = now + limit;
    Frame frame;
    for (;;) {
        // The client stays in control while it waits.
        Command(gvcp::kReadReg, Words({bs::kControlPrivilege}));
        for (std::size_t i = first; i < stream.size(); ++i) {
            if (stream[i].format == gevcam::gvsp::kFormatTrailer) {
                frame.blockId = stream[i].blockId;
                std::vector<bool> seen(stream[i].packetId, false);
                for (std::size_t j = first; j < i; ++j) {
                    const Packet& packet = stream[j];
                    if (packet.blockId != frame.blockId) {
                        continue;
                    }
                    if (packet.format == gevcam::gvsp::kFormatLeader) {
                        frame.leader = gevcam::ReadRecord<gevcam::gvsp::ImageLeader>(packet.bytes);
                    } else if (packet.format == gevcam::gvsp::kFormatPayload) {
                        seen[packet.packetId] = true;
                        frame.image.insert(frame.image.end(), packet.bytes.begin(),
                                           packet.bytes.end());
                    }
                }
                for (std::uint32_t id = 1; id < seen.size(); ++id) {
                    if (!seen[id]) {
                        frame.missing.push_back(id);
                    }
                }
                return frame;
            }
        }
        if (now >= end) {
            ADD_FAILURE() << "no whole frame within " << limit.count() << " ms";
            return frame;
        }
        Advance(std::chrono::microseconds(500));
    }
}

std::vector<std::uint8_t> SimulatorFrame(
    const zursim::CameraOptions& options, std::uint32_t counter,
    const std::vector<std::pair<std::uint32_t, std::uint32_t>>& registers) {
    ZURSimReset();
    EXPECT_EQ(ZURSimAddCamera(options.model.c_str(), options.id), 1);
    const auto set = [&](const char* key, std::uint64_t value) {
        EXPECT_EQ(ZURSimSetCameraOption(options.id, key, std::to_string(value).c_str()), 1) << key;
    };
    set("width", options.sensorWidth);
    set("height", options.sensorHeight);
    set("dataDepth", options.dataDepth);
    set("colorFilter", options.colorFilter);
    set("standardMode", options.standardMode);
    set("frameCounter", counter);
    set("fast", 1);
    std::uint32_t handle = 0;
    EXPECT_EQ(ZUROpen(options.id, &handle), 1);
    for (const auto& [address, value] : registers) {
        EXPECT_EQ(zurtest::WriteRegister(handle, address, value), 0u) << std::hex << address;
    }
    std::vector<std::uint8_t> image(zurtest::ImageInfo(handle).bufferSize);
    EXPECT_EQ(ZURIsoAlloc(handle), 1);
    EXPECT_EQ(ZURIsoStart(handle, 0), 1);
    EXPECT_EQ(ZURImageReq(handle, image.data(), static_cast<std::uint32_t>(image.size())), 1);
    EXPECT_EQ(ZURImageCompleteWait(handle, image.data(), 0, 0, 0), 1);
    ZURSimReset();
    return image;
}

}  // namespace gevtest
