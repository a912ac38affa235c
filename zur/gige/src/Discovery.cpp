#include "Discovery.h"

#include <arv.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <string_view>

#include "Trace.h"

namespace zurgige {
namespace {

constexpr std::string_view kGigEVision = "GigEVision";

std::string_view Text(const char* text) {
    return text != nullptr ? std::string_view(text) : std::string_view();
}

// Only GigE Vision: no USB scan, no fake cameras.
void OnlyGigEVision() {
    for (unsigned int i = 0; i < arv_get_n_interfaces(); ++i) {
        const std::string_view interfaceId = Text(arv_get_interface_id(i));
        if (interfaceId != kGigEVision) {
            arv_disable_interface(std::string(interfaceId).c_str());
        }
    }
}

}  // namespace

std::vector<DiscoveredCamera> Discover(const DiscoveryFilter& filter) {
    // Aravis's interface list is process-wide and not safe across threads.
    static std::mutex discovery;
    static std::once_flag setUp;
    const std::lock_guard<std::mutex> lock(discovery);
    std::call_once(setUp, OnlyGigEVision);

    arv_update_device_list();
    std::vector<DiscoveredCamera> found;
    for (unsigned int i = 0; i < arv_get_n_devices(); ++i) {
        if (Text(arv_get_device_protocol(i)) != kGigEVision) {
            continue;
        }
        const std::string_view addressText = Text(arv_get_device_address(i));
        const std::optional<Ipv4> address = ParseIpv4(addressText);
        const std::optional<std::uint64_t> mac = ParseMac(Text(arv_get_device_physical_id(i)));
        if (!address || !mac) {
            Trace("camera %s at %s: no usable IPv4 or MAC address", arv_get_device_id(i),
                  std::string(addressText).c_str());
            continue;
        }
        if (!filter.Admits(*address)) {
            continue;
        }
        const bool seen =
            std::any_of(found.begin(), found.end(),
                        [&](const DiscoveredCamera& camera) { return camera.id == *mac; });
        if (!seen) {
            found.push_back({*mac, std::string(Text(arv_get_device_model(i))), *address});
        }
    }
    std::sort(found.begin(), found.end(), [](const DiscoveredCamera& a, const DiscoveredCamera& b) {
        return a.address < b.address;
    });
    for (const DiscoveredCamera& camera : found) {
        Trace("found %s, device ID %llu, at %s", camera.model.c_str(),
              static_cast<unsigned long long>(camera.id), FormatIpv4(camera.address).c_str());
    }
    return found;
}

}  // namespace zurgige
