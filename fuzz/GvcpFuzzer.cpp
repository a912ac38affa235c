// libFuzzer target over gevcam's device model: any run of datagrams from two
// clients, with the clock moving in between, must get well-formed
// acknowledgements or none, and stream packets that fit the negotiated size,
// without a crash, a hang or undefined behaviour.
//
// Input: one byte choosing the camera (family and drop share), then records
// of [step][length, 2 bytes big-endian][datagram]; step bit 0 picks the
// second client, bit 1 marks a broadcast, bits 2 to 7 are milliseconds to
// let pass before the datagram.

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "DeviceRegisters.h"
#include "GevCamera.h"
#include "GevProtocol.h"
#include "zursim/CameraModel.h"

namespace {

void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

void CheckStream(const gevcam::Output& out) {
    for (const gevcam::StreamPacket& packet : out.stream) {
        Check(packet.headSize >= sizeof(gevcam::gvsp::Header));
        Check(packet.Size() + gevcam::kIpUdpHeaderBytes <= gevcam::device::kMaxPacketSize);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    static const char* const kModels[] = {"XCG-V60E", "XCG-5005CR", "XCG-H280E"};
    zursim::CameraOptions options = zursim::ModelDefaults(kModels[data[0] % 3], 4660);
    // A small sensor keeps frames cheap; the geometry rules stay the same.
    options.sensorWidth = 96;
    options.sensorHeight = 64;
    options.dataDepth = (data[0] & 0x10) != 0 ? 12 : 8;
    gevcam::DeviceOptions device;
    device.dropShare = (data[0] & 0x20) != 0 ? 0.25 : 0.0;
    const gevcam::Clock::time_point start{};
    gevcam::GevCamera camera(options, 0x7F000002, device, start);
    const gevcam::Endpoint clients[] = {{0x7F000001, 50000}, {0x7F000001, 50001}};

    gevcam::Clock::time_point now = start;
    const std::span<const std::uint8_t> input(data + 1, size - 1);
    std::size_t at = 0;
    for (int record = 0; record < 256 && at + 3 <= input.size(); ++record) {
        const std::uint8_t step = input[at];
        const std::size_t length = std::size_t{input[at + 1]} << 8 | input[at + 2];
        at += 3;
        const std::span<const std::uint8_t> datagram =
            input.subspan(at, std::min(length, input.size() - at));
        at += datagram.size();
        now += std::chrono::milliseconds(step >> 2);

        gevcam::Output out;
        camera.Handle(datagram, clients[step & 1], (step & 2) != 0, now, out);
        if (!out.ack.empty()) {
            Check(out.ack.size() >= sizeof(gevcam::gvcp::AckHeader));
            Check(out.ack.size() <= sizeof(gevcam::gvcp::AckHeader) + gevcam::kGvcpMaxPayload);
            const auto ack = gevcam::ReadRecord<gevcam::gvcp::AckHeader>(out.ack);
            Check(ack.length.Get() == out.ack.size() - sizeof ack);
            const auto command = gevcam::ReadRecord<gevcam::gvcp::CommandHeader>(datagram);
            Check(ack.acknowledge.Get() == ((command.command.Get() + 1) & 0xFFFF));
        }
        CheckStream(out);
        out.stream.clear();
        const gevcam::Clock::time_point next = camera.Tick(now, out);
        Check(next >= now);
        CheckStream(out);
    }
    return 0;
}
