#pragma once

// Drives one gevcam device model as clients on the network would, without
// sockets: commands in, acknowledgements and stream packets out, on a clock
// the test moves.

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "GevCamera.h"
#include "GevProtocol.h"
#include "zursim/CameraModel.h"

namespace gevtest {

using gevcam::Endpoint;

inline constexpr std::uint32_t kCameraIp = 0x7F000002;  // 127.0.0.2
inline const Endpoint kClient{0x7F000001, 50000};
inline const Endpoint kOther{0x7F000001, 50001};
inline constexpr std::uint16_t kStreamPort = 40000;

// A camera of the model with configuration keys as the INI file has them.
zursim::CameraOptions Camera(const std::string& model, std::uint64_t id,
                             std::initializer_list<std::pair<const char*, const char*>> keys = {});

struct Ack {
    bool present = false;
    std::uint16_t status = 0;
    std::uint16_t acknowledge = 0;
    std::uint16_t ackId = 0;
    std::vector<std::uint8_t> payload;
};

// A stream packet with its bytes copied out of the device.
struct Packet {
    std::uint16_t status = 0;
    std::uint16_t blockId = 0;
    std::uint8_t format = 0;
    std::uint32_t packetId = 0;
    std::vector<std::uint8_t> bytes;  // after the GVSP header
};

struct Frame {
    std::uint16_t blockId = 0;
    gevcam::gvsp::ImageLeader leader{};
    std::vector<std::uint8_t> image;
    std::vector<std::uint32_t> missing;  // payload packet IDs that did not come
};

std::vector<std::uint8_t> Words(std::initializer_list<std::uint32_t> words);

class Device {
  public:
    explicit Device(zursim::CameraOptions options, gevcam::DeviceOptions device = {});

    gevcam::GevCamera camera;
    gevcam::Clock::time_point now;
    std::vector<Packet> stream;  // stream packets so far, oldest first

    Ack Datagram(const std::vector<std::uint8_t>& bytes, Endpoint from = kClient,
                 bool broadcast = false);
    Ack Command(std::uint16_t command, const std::vector<std::uint8_t>& payload,
                Endpoint from = kClient, std::uint8_t flags = gevcam::gvcp::kFlagAckRequired);

    // One register, through READREG / WRITEREG; the status.
    std::uint16_t Write(std::uint32_t address, std::uint32_t value, Endpoint from = kClient);
    std::optional<std::uint32_t> Read(std::uint32_t address, Endpoint from = kClient);
    std::vector<std::uint8_t> ReadMemory(std::uint32_t address, std::size_t count);

    void TakeControl(Endpoint from = kClient);
    // Control, a stream destination on the client's host, acquisition started.
    void StartStreaming();
    // Runs the clock in small steps until a whole frame has been sent (at
    // most `limit` of simulated time); the frame as the packets carry it.
    Frame NextFrame(std::chrono::milliseconds limit = std::chrono::milliseconds(5000));
    void Tick();
    void Advance(std::chrono::microseconds step);

  private:
    void Collect(const std::vector<gevcam::StreamPacket>& packets);
    std::uint16_t nextRequest = 1;
};

// A frame as the simulated ZUR library delivers it: a fresh camera with the
// same options, the frame counter set to `counter`, these registers written
// in order, one image grabbed.
std::vector<std::uint8_t> SimulatorFrame(
    const zursim::CameraOptions& options, std::uint32_t counter,
    const std::vector<std::pair<std::uint32_t, std::uint32_t>>& registers = {});

}  // namespace gevtest
