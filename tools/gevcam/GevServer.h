#pragma once

// The network side of gevcam: one control socket per camera on its loopback
// address and port 3956, one stream socket per camera, a listener for
// discovery broadcasts, and one thread that serves them all until SIGTERM,
// SIGINT or the idle timeout.

#include <chrono>
#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "GevCamera.h"
#include "zursim/CameraModel.h"

namespace gevcam {

struct ServerOptions {
    std::vector<std::uint32_t> addresses;  // host byte order, all in 127.0.0.0/8
    DeviceOptions device;
    std::optional<std::chrono::milliseconds> idleTimeout;  // no datagram for this long: stop
    // Datagrams larger than this (IP and UDP headers included) are dropped,
    // as a network card with this MTU would; 0: none is.
    std::uint32_t mtu = 0;
};

// Serves cameras[i] on addresses[i]; prints "NAME on ADDRESS" per camera to
// `out` once every socket is bound. Returns the exit status.
int Serve(std::vector<zursim::CameraOptions> cameras, const ServerOptions& options,
          std::ostream& out, std::ostream& err);

// "127.0.0.2" and the like; nullopt for anything else, or an address outside
// 127.0.0.0/8, or that block's network or broadcast address.
std::optional<std::uint32_t> ParseLoopbackAddress(const char* text);
std::string AddressText(std::uint32_t address);

}  // namespace gevcam
