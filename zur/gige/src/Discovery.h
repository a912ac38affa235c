#pragma once

// GigE Vision cameras as Aravis's discovery finds them.

#include <cstdint>
#include <string>
#include <vector>

#include "Settings.h"

namespace zurgige {

struct DiscoveredCamera {
    std::uint64_t id = 0;  // the MAC address of its interface
    std::string model;
    Ipv4 address = 0;
};

// Asks every network interface for GigE Vision cameras (Aravis's discovery
// broadcast) and keeps those at addresses the filter admits, once each,
// ordered by address.
std::vector<DiscoveredCamera> Discover(const DiscoveryFilter& filter);

}  // namespace zurgige
