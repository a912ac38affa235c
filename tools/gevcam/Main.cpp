// gevcam: the simulated cameras served as GigE Vision devices on loopback
// addresses, for GigE Vision clients to discover, control and stream from.

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "GevServer.h"
#include "zursim/Config.h"

namespace {

constexpr const char* kUsage =
    "usage: gevcam [OPTION]... ADDRESS...\n"
    "Serves the simulated cameras (ZUR_SIM_CONFIG, or the built-in set) as GigE Vision\n"
    "devices: the first camera on the first address, and so on. Every ADDRESS is a\n"
    "loopback address (127.0.0.0/8). Prints \"NAME on ADDRESS\" per camera when ready,\n"
    "then serves until SIGTERM or SIGINT.\n"
    "\n"
    "  --drop PERCENT          leave out this share of payload packets on their first\n"
    "                          sending (0 to 100; default 0); resends are never left out\n"
    "  --seed N                seed of the choice of packets left out (default 1)\n"
    "  --mtu BYTES             drop every datagram larger than this, IP and UDP headers\n"
    "                          included (576 to 65535), as a network card with that MTU\n"
    "                          would (default: none is dropped)\n"
    "  --idle-timeout SECONDS  stop after this long without a command (default: never)\n"
    "  --help                  show this text\n";

bool ParseNumber(const char* text, double low, double high, double& value) {
    char* end = nullptr;
    errno = 0;
    value = std::strtod(text, &end);
    return errno == 0 && end != text && *end == '\0' && std::isfinite(value) && value >= low &&
           value <= high;
}

}  // namespace

int main(int argc, char** argv) {
    gevcam::ServerOptions options;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        const bool hasValue = i + 1 < argc;
        double number = 0;
        if (argument == "--help") {
            std::cout << kUsage;
            return 0;
        }
        if (argument == "--drop" && hasValue && ParseNumber(argv[i + 1], 0, 100, number)) {
            options.device.dropShare = number / 100;
            ++i;
        } else if (argument == "--seed" && hasValue && ParseNumber(argv[i + 1], 0, 1e15, number)) {
            options.device.seed = static_cast<std::uint64_t>(number);
            ++i;
        } else if (argument == "--mtu" && hasValue &&
                   ParseNumber(argv[i + 1], 576, 65535, number) && number == std::floor(number)) {
            options.mtu = static_cast<std::uint32_t>(number);
            ++i;
        } else if (argument == "--idle-timeout" && hasValue &&
                   ParseNumber(argv[i + 1], 0.001, 1e6, number)) {
            options.idleTimeout = std::chrono::milliseconds(std::llround(number * 1000));
            ++i;
        } else if (argument.rfind("--", 0) == 0) {
            std::cerr << "gevcam: bad option or value: " << argument << "\n" << kUsage;
            return 2;
        } else if (const auto address = gevcam::ParseLoopbackAddress(argv[i])) {
            for (const std::uint32_t taken : options.addresses) {
                if (taken == *address) {
                    std::cerr << "gevcam: " << argument << " given twice\n";
                    return 2;
                }
            }
            options.addresses.push_back(*address);
        } else {
            std::cerr << "gevcam: " << argument
                      << " is not a loopback address (127.0.0.1 to 127.255.255.254); gevcam "
                         "serves nothing else\n";
            return 2;
        }
    }
    if (options.addresses.empty()) {
        std::cerr << kUsage;
        return 2;
    }
    std::vector<zursim::CameraOptions> cameras = zursim::ConfiguredCameras();
    if (cameras.size() < options.addresses.size()) {
        std::cerr << "gevcam: " << options.addresses.size() << " addresses for " << cameras.size()
                  << " cameras\n";
        return 2;
    }
    for (std::size_t i = options.addresses.size(); i < cameras.size(); ++i) {
        std::cerr << "gevcam: " << cameras[i].model << "-"
                  << static_cast<std::int64_t>(cameras[i].id) << " not served: no address left\n";
    }
    return gevcam::Serve(std::move(cameras), options, std::cout, std::cerr);
}
