#pragma once

// One simulated camera as a GigE Vision device: its address space (bootstrap
// registers, gevcam's acquisition registers, the XCG feature registers of
// the simulator's camera model and the GenICam XML), the GVCP commands that
// reach it, control privilege with its heartbeat, and the frames it streams.
//
// No sockets and no clock of its own: every call takes the datagram, its
// sender and the time, and says what to send back and what to stream, so
// that tests and the fuzzer drive it directly. Not thread-safe: one thread
// serves it.

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "GvspStream.h"
#include "zursim/CameraModel.h"

namespace gevcam {

using Clock = std::chrono::steady_clock;

// An IPv4 address and UDP port, host byte order.
struct Endpoint {
    std::uint32_t address = 0;
    std::uint16_t port = 0;
    bool operator==(const Endpoint&) const = default;
};

inline bool IsLoopback(std::uint32_t address) {
    return (address >> 24) == 127;
}

struct DeviceOptions {
    double dropShare = 0;  // payload packets left out on their first sending, 0 to 1
    std::uint64_t seed = 1;
};

// What a call asks its caller to send.
struct Output {
    std::vector<std::uint8_t> ack;     // to the sender of the command; empty: nothing
    std::vector<StreamPacket> stream;  // to the stream destination
};

class GevCamera {
  public:
    // Stream pacing: a burst of about this many bytes, then a pause, so that
    // a receiver's socket buffer keeps up.
    static constexpr std::size_t kBurstBytes = 128u << 10;
    static constexpr std::chrono::microseconds kBurstPause{250};

    GevCamera(zursim::CameraOptions options, std::uint32_t address, const DeviceOptions& device,
              Clock::time_point start);

    // As the driver names the camera: model, "-", device ID.
    std::string Name() const;
    std::uint32_t Address() const { return address; }
    // The UDP port that stream packets leave from.
    void SetStreamSourcePort(std::uint16_t port) { sourcePort = port; }

    // One GVCP datagram from `from`: out.ack becomes the acknowledgement, if
    // one is due, and stream packets are appended to out.stream. One that
    // arrived as a broadcast is answered only if it is a discovery.
    void Handle(std::span<const std::uint8_t> datagram, Endpoint from, bool broadcast,
                Clock::time_point now, Output& out);
    // What falls due by `now`: the heartbeat's end, frames and their packets.
    // Returns when something falls due next.
    Clock::time_point Tick(Clock::time_point now, Output& out);

    Endpoint StreamDestination() const { return destination; }
    bool Acquiring() const { return acquiring; }
    std::optional<Endpoint> Controller() const { return controller; }
    const zursim::Camera& Model() const { return camera; }
    const std::string& Xml() const { return xml; }
    std::uint64_t PacketsLeftOut() const { return stream.PacketsLeftOut(); }

  private:
    std::uint16_t ReadWord(std::uint32_t address, std::uint32_t& value) const;
    std::uint16_t ReadMemory(std::uint64_t address, std::size_t count,
                             std::vector<std::uint8_t>& bytes) const;
    std::uint16_t WriteWord(std::uint32_t address, std::uint32_t value, Endpoint from,
                            Clock::time_point now, Output& out);
    std::uint16_t WriteBootstrap(std::uint32_t address, std::uint32_t value, Endpoint from,
                                 Clock::time_point now, Output& out);
    std::uint16_t WriteOwn(std::uint32_t address, std::uint32_t value);
    std::uint16_t WritePrivilege(std::uint32_t value, Endpoint from, Clock::time_point now);
    std::uint32_t ReadBootstrap(std::uint32_t address) const;

    // A command's acknowledgement: its status and payload.
    struct Reply {
        std::uint16_t status = 0;
        std::vector<std::uint8_t> payload;
    };
    static Reply WriteAckReply(std::uint16_t result, std::size_t written);
    Reply ReadRegisters(std::span<const std::uint8_t> payload, Endpoint from) const;
    Reply WriteRegisters(std::span<const std::uint8_t> payload, Endpoint from,
                         Clock::time_point now, Output& out);
    Reply ReadMem(std::span<const std::uint8_t> payload, Endpoint from) const;
    Reply WriteMem(std::span<const std::uint8_t> payload, Endpoint from, Clock::time_point now,
                   Output& out);
    void PacketResend(std::span<const std::uint8_t> payload, Output& out) const;

    bool MayRead(Endpoint from) const;
    bool IsController(Endpoint from) const { return controller && *controller == from; }
    void ExpireHeartbeat(Clock::time_point now);
    void ReleaseControl();
    void StartAcquisition();
    void StopAcquisition();
    void CloseStreamChannel();
    void UpdateLock();
    void SendFrame(Clock::time_point now, Output& out);
    std::uint32_t PixelFormat() const;
    std::vector<std::uint32_t> PixelFormats() const;

    zursim::Camera camera;
    std::uint32_t address;
    Clock::time_point start;
    std::string xml;
    std::vector<std::uint8_t> fixedBootstrap;  // the read-only strings and the URL
    std::array<std::uint8_t, 16> userName{};

    std::optional<Endpoint> controller;
    std::uint32_t privilege = 0;
    Clock::time_point lastHeard;
    std::uint32_t heartbeatMs;
    std::uint32_t gvcpConfiguration = 0;

    Endpoint destination;
    std::uint16_t sourcePort = 0;
    std::uint32_t packetSize;
    bool doNotFragment = false;
    std::uint32_t packetDelay = 0;

    bool acquiring = false;
    bool locked = false;  // TLParamsLocked
    std::uint32_t acquisitionMode = 0;
    std::uint16_t nextBlockId = 1;
    GvspStream stream;
};

// The PFNC name of a pixel format gevcam serves.
const char* PixelFormatName(std::uint32_t code);

}  // namespace gevcam
