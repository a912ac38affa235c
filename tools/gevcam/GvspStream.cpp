#include "GvspStream.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

#include "DeviceRegisters.h"

namespace gevcam {
namespace {

constexpr int kRandomBits = 53;

template <typename Record>
void Put(StreamPacket& packet, const Record& record) {
    std::memcpy(packet.head.data() + packet.headSize, &record, sizeof record);
    packet.headSize += sizeof record;
}

gvsp::Header Header(std::uint16_t status, std::uint16_t blockId, std::uint8_t format,
                    std::uint32_t packetId) {
    gvsp::Header header{};
    header.status.Set(status);
    header.blockId.Set(blockId);
    header.format = format;
    header.packetId.Set(packetId);
    return header;
}

}  // namespace

GvspStream::GvspStream(double dropShare, std::uint64_t seed) : random(seed) {
    const double share = std::isfinite(dropShare) ? std::clamp(dropShare, 0.0, 1.0) : 0.0;
    dropThreshold = static_cast<std::uint64_t>(std::ldexp(share, kRandomBits));
}

void GvspStream::Begin(const FrameInfo& info, std::vector<std::uint8_t> image,
                       std::uint32_t packetSize) {
    Frame frame;
    frame.info = info;
    frame.image = std::move(image);
    frame.payloadBytes =
        std::max<std::size_t>(packetSize, device::kMinPacketSize) - gvsp::kOverhead;
    frame.payloadPackets = static_cast<std::uint32_t>(
        (frame.image.size() + frame.payloadBytes - 1) / frame.payloadBytes);
    keptBytes += frame.image.size();
    kept.push_back(std::move(frame));
    const std::size_t newest = kept.back().image.size();
    while (kept.size() > kKeptFrames || (kept.size() > 1 && keptBytes - newest > kKeptBytes)) {
        keptBytes -= kept.front().image.size();
        kept.pop_front();
    }
    sending = true;
    nextPacket = 0;
}

bool GvspStream::LeaveOut() {
    return dropThreshold != 0 && (random() >> (64 - kRandomBits)) < dropThreshold;
}

StreamPacket GvspStream::Packet(const Frame& frame, std::uint32_t packetId) {
    StreamPacket packet;
    const FrameInfo& info = frame.info;
    if (packetId == 0) {
        Put(packet, Header(status::kSuccess, info.blockId, gvsp::kFormatLeader, 0));
        gvsp::ImageLeader leader{};
        leader.payloadType.Set(gvsp::kPayloadTypeImage);
        leader.timestampHigh.Set(info.timestamp >> 32);
        leader.timestampLow.Set(info.timestamp & 0xFFFFFFFFu);
        leader.pixelFormat.Set(info.pixelFormat);
        leader.sizeX.Set(info.width);
        leader.sizeY.Set(info.height);
        leader.offsetX.Set(info.offsetX);
        leader.offsetY.Set(info.offsetY);
        Put(packet, leader);
    } else if (packetId == frame.TrailerId()) {
        Put(packet, Header(status::kSuccess, info.blockId, gvsp::kFormatTrailer, packetId));
        gvsp::ImageTrailer trailer{};
        trailer.payloadType.Set(gvsp::kPayloadTypeImage);
        trailer.sizeY.Set(info.height);
        Put(packet, trailer);
    } else {
        Put(packet, Header(status::kSuccess, info.blockId, gvsp::kFormatPayload, packetId));
        const std::size_t offset = std::size_t{packetId - 1} * frame.payloadBytes;
        packet.body =
            std::span<const std::uint8_t>(frame.image)
                .subspan(offset, std::min(frame.payloadBytes, frame.image.size() - offset));
    }
    return packet;
}

void GvspStream::Continue(std::size_t budget, std::vector<StreamPacket>& out) {
    if (!sending) {
        return;
    }
    const Frame& frame = kept.back();
    std::size_t spent = 0;
    while (nextPacket <= frame.TrailerId() && spent < budget) {
        const std::uint32_t id = nextPacket++;
        const bool payload = id != 0 && id != frame.TrailerId();
        if (payload && LeaveOut()) {
            ++leftOut;
            continue;
        }
        out.push_back(Packet(frame, id));
        spent += out.back().Size() + kIpUdpHeaderBytes;
    }
    sending = nextPacket <= frame.TrailerId();
}

void GvspStream::Resend(std::uint16_t blockId, std::uint32_t first, std::uint32_t last,
                        std::vector<StreamPacket>& out) const {
    const auto found = std::find_if(kept.begin(), kept.end(), [blockId](const Frame& frame) {
        return frame.info.blockId == blockId;
    });
    if (found == kept.end()) {
        StreamPacket packet;
        Put(packet, Header(status::kPacketUnavailable, blockId, gvsp::kFormatPayload, first));
        out.push_back(packet);
        return;
    }
    std::uint32_t end = std::min(last, found->TrailerId());
    if (sending && &*found == &kept.back()) {
        if (nextPacket == 0) {
            return;
        }
        end = std::min(end, nextPacket - 1);
    }
    for (std::uint32_t id = first; id <= end; ++id) {
        out.push_back(Packet(*found, id));
    }
}

void GvspStream::Clear() {
    kept.clear();
    keptBytes = 0;
    sending = false;
    nextPacket = 0;
}

StreamPacket TestPacket(std::uint32_t packetSize) {
    static const std::array<std::uint8_t, device::kMaxPacketSize> kZeros{};
    StreamPacket packet;
    Put(packet, gvsp::Header{});
    const std::size_t size =
        std::clamp<std::size_t>(packetSize, device::kMinPacketSize, device::kMaxPacketSize);
    packet.body = std::span<const std::uint8_t>(kZeros).first(size - gvsp::kOverhead);
    return packet;
}

}  // namespace gevcam
