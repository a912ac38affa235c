#pragma once

// What the environment says about discovery, streaming and tracing (the
// variables are documented in ZURGigE.h).

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zurgige {

// An IPv4 address in host byte order.
using Ipv4 = std::uint32_t;

std::optional<Ipv4> ParseIpv4(std::string_view text);
std::string FormatIpv4(Ipv4 address);
// "00:11:1c:f0:12:34" (either case) as a 48-bit number.
std::optional<std::uint64_t> ParseMac(std::string_view text);

// Which camera addresses discovery lists: IPv4 addresses, networks
// (address/prefix length) and network interfaces, whose IPv4 networks stand
// for them. An empty filter admits every address.
class DiscoveryFilter {
  public:
    struct Network {
        Ipv4 address = 0;
        Ipv4 mask = 0;
    };

    // From the text of ZUR_GIGE_DISCOVERY: items separated by commas or
    // blanks. Interface names are looked up in `interfaces` (name and the
    // networks of its IPv4 addresses); an unknown name admits nothing.
    // Returns nothing, and says why in `error`, for an item that is neither.
    static std::optional<DiscoveryFilter> Parse(
        std::string_view text, const std::vector<std::pair<std::string, Network>>& interfaces,
        std::string& error);

    bool Admits(Ipv4 address) const;
    bool Empty() const { return !restricted; }

  private:
    bool restricted = false;
    std::vector<Network> networks;
};

// The IPv4 networks of this machine's interfaces, by interface name.
std::vector<std::pair<std::string, DiscoveryFilter::Network>> LocalInterfaces();

struct Settings {
    DiscoveryFilter discovery;
    std::uint32_t packetSize = 0;  // 0: the camera's own
    bool trace = false;
};

// Reads the environment; nothing, with the reason in `error`, when a
// variable holds something unusable.
std::optional<Settings> ReadSettings(std::string& error);

}  // namespace zurgige
