#pragma once

// One stream channel's frames as GVSP packets: a leader, payload packets of
// the negotiated size and a trailer per frame, sent a burst at a time; the
// last frames are kept for packet resends. An option leaves out a share of
// the payload packets on their first sending, as a lossy network would.

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <random>
#include <span>
#include <vector>

#include "GevProtocol.h"

namespace gevcam {

// One datagram for the stream channel: a header part (the GVSP header and, for
// a leader or trailer, its payload) and image bytes. The image bytes belong to
// a kept frame and stay valid until the streamer is called again.
struct StreamPacket {
    std::array<std::uint8_t, sizeof(gvsp::Header) + sizeof(gvsp::ImageLeader)> head{};
    std::size_t headSize = 0;
    std::span<const std::uint8_t> body;

    std::size_t Size() const { return headSize + body.size(); }
};

struct FrameInfo {
    std::uint16_t blockId = 0;
    std::uint64_t timestamp = 0;  // device ticks (nanoseconds)
    std::uint32_t pixelFormat = 0;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint32_t offsetX = 0;
    std::uint32_t offsetY = 0;
};

class GvspStream {
  public:
    // Frames kept for resends: at most this many, and no more bytes than
    // kKeptBytes beyond the newest.
    static constexpr std::size_t kKeptFrames = 8;
    static constexpr std::size_t kKeptBytes = 64u << 20;

    // dropShare: the share (0 to 1) of payload packets left out on their
    // first sending, chosen by a generator with this seed.
    GvspStream(double dropShare, std::uint64_t seed);

    // Starts sending a frame, in payload packets of packetSize bytes on the
    // wire (IP and UDP headers included).
    void Begin(const FrameInfo& info, std::vector<std::uint8_t> image, std::uint32_t packetSize);
    bool Sending() const { return sending; }
    // Appends the next packets of the frame being sent, about `budget` bytes.
    void Continue(std::size_t budget, std::vector<StreamPacket>& out);
    // Appends packets first..last of a kept block again (never left out), or
    // one PACKET_UNAVAILABLE packet when the block is no longer kept. Packets
    // of the frame being sent that have not gone out yet are not repeated.
    void Resend(std::uint16_t blockId, std::uint32_t first, std::uint32_t last,
                std::vector<StreamPacket>& out) const;
    // Forgets every frame: the channel was closed.
    void Clear();

    std::uint64_t PacketsLeftOut() const { return leftOut; }

  private:
    struct Frame {
        FrameInfo info;
        std::vector<std::uint8_t> image;
        std::size_t payloadBytes = 0;  // image bytes per payload packet
        std::uint32_t payloadPackets = 0;
        std::uint32_t TrailerId() const { return payloadPackets + 1; }
    };

    static StreamPacket Packet(const Frame& frame, std::uint32_t packetId);
    bool LeaveOut();

    std::deque<Frame> kept;  // oldest first; the newest is the one being sent
    std::size_t keptBytes = 0;
    bool sending = false;
    std::uint32_t nextPacket = 0;  // of the newest frame
    std::uint64_t dropThreshold = 0;
    std::mt19937_64 random;
    std::uint64_t leftOut = 0;
};

// The datagram a client's packet-size test asks for: packetSize bytes on the
// wire, all zero.
StreamPacket TestPacket(std::uint32_t packetSize);

}  // namespace gevcam
