#include "Settings.h"

#include <ifaddrs.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <arpa/inet.h>

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace zurgige {
namespace {

std::optional<std::uint32_t> ParseNumber(std::string_view text, std::uint32_t max, int base = 10) {
    std::uint32_t value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, problem] = std::from_chars(text.data(), end, value, base);
    if (text.empty() || problem != std::errc{} || stop != end || value > max) {
        return std::nullopt;
    }
    return value;
}

Ipv4 PrefixMask(std::uint32_t length) {
    return length == 0 ? 0u : ~Ipv4{0} << (32u - length);
}

const char* Environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

}  // namespace

std::optional<Ipv4> ParseIpv4(std::string_view text) {
    Ipv4 address = 0;
    for (int part = 0; part < 4; ++part) {
        const std::size_t dot = part < 3 ? text.find('.') : text.size();
        if (dot == std::string_view::npos) {
            return std::nullopt;
        }
        const std::optional<std::uint32_t> value = ParseNumber(text.substr(0, dot), 255);
        if (!value || dot > 3) {
            return std::nullopt;
        }
        address = (address << 8) | *value;
        text.remove_prefix(part < 3 ? dot + 1 : dot);
    }
    return address;
}

std::string FormatIpv4(Ipv4 address) {
    return std::to_string(address >> 24) + "." + std::to_string((address >> 16) & 0xFFu) + "." +
           std::to_string((address >> 8) & 0xFFu) + "." + std::to_string(address & 0xFFu);
}

std::optional<std::uint64_t> ParseMac(std::string_view text) {
    if (text.size() != 17) {
        return std::nullopt;
    }
    std::uint64_t mac = 0;
    for (std::size_t part = 0; part < 6; ++part) {
        if (part < 5 && text[part * 3 + 2] != ':') {
            return std::nullopt;
        }
        const std::optional<std::uint32_t> value = ParseNumber(text.substr(part * 3, 2), 255, 16);
        if (!value) {
            return std::nullopt;
        }
        mac = (mac << 8) | *value;
    }
    return mac;
}

std::optional<DiscoveryFilter> DiscoveryFilter::Parse(
    std::string_view text, const std::vector<std::pair<std::string, Network>>& interfaces,
    std::string& error) {
    DiscoveryFilter filter;
    constexpr std::string_view kSeparators = ", \t\n";
    while (true) {
        const std::size_t begin = text.find_first_not_of(kSeparators);
        if (begin == std::string_view::npos) {
            break;
        }
        text.remove_prefix(begin);
        const std::size_t length = std::min(text.find_first_of(kSeparators), text.size());
        const std::string_view item = text.substr(0, length);
        text.remove_prefix(length);
        filter.restricted = true;

        const std::size_t slash = item.find('/');
        if (const std::optional<Ipv4> address = ParseIpv4(item.substr(0, slash))) {
            std::uint32_t prefix = 32;
            if (slash != std::string_view::npos) {
                const std::optional<std::uint32_t> parsed = ParseNumber(item.substr(slash + 1), 32);
                if (!parsed) {
                    error = "bad network " + std::string(item);
                    return std::nullopt;
                }
                prefix = *parsed;
            }
            const Ipv4 mask = PrefixMask(prefix);
            filter.networks.push_back({*address & mask, mask});
            continue;
        }
        if (slash != std::string_view::npos || item.find_first_of(".:") != std::string_view::npos) {
            error = "neither an IPv4 address nor an interface: " + std::string(item);
            return std::nullopt;
        }
        for (const auto& [name, network] : interfaces) {
            if (name == item) {
                filter.networks.push_back(network);
            }
        }
    }
    return filter;
}

bool DiscoveryFilter::Admits(Ipv4 address) const {
    if (!restricted) {
        return true;
    }
    for (const Network& network : networks) {
        if ((address & network.mask) == network.address) {
            return true;
        }
    }
    return false;
}

std::vector<std::pair<std::string, DiscoveryFilter::Network>> LocalInterfaces() {
    std::vector<std::pair<std::string, DiscoveryFilter::Network>> found;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) {
        return found;
    }
    const std::unique_ptr<ifaddrs, void (*)(ifaddrs*)> owned(list, freeifaddrs);
    for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
        if (entry->ifa_addr == nullptr || entry->ifa_netmask == nullptr ||
            entry->ifa_addr->sa_family != AF_INET) {
            continue;
        }
        sockaddr_in address{};
        sockaddr_in mask{};
        std::memcpy(&address, entry->ifa_addr, sizeof address);
        std::memcpy(&mask, entry->ifa_netmask, sizeof mask);
        const Ipv4 netmask = ntohl(mask.sin_addr.s_addr);
        found.emplace_back(entry->ifa_name, DiscoveryFilter::Network{
                                                ntohl(address.sin_addr.s_addr) & netmask, netmask});
    }
    return found;
}

std::optional<Settings> ReadSettings(std::string& error) {
    Settings settings;
    const std::string_view discovery = Environment("ZUR_GIGE_DISCOVERY");
    std::optional<DiscoveryFilter> filter = DiscoveryFilter::Parse(
        discovery, discovery.empty() ? decltype(LocalInterfaces()){} : LocalInterfaces(), error);
    if (!filter) {
        error = "ZUR_GIGE_DISCOVERY: " + error;
        return std::nullopt;
    }
    settings.discovery = std::move(*filter);

    const std::string_view packetSize = Environment("ZUR_GIGE_PACKET_SIZE");
    if (!packetSize.empty()) {
        // GVSP packets carry at least their headers and fit an IP datagram.
        const std::optional<std::uint32_t> size = ParseNumber(packetSize, 65500);
        if (!size || *size < 576) {
            error = "ZUR_GIGE_PACKET_SIZE: not a packet size from 576 to 65500: " +
                    std::string(packetSize);
            return std::nullopt;
        }
        settings.packetSize = *size;
    }
    const std::string_view trace = Environment("ZUR_GIGE_TRACE");
    settings.trace = !trace.empty() && trace != "0";
    return settings;
}

}  // namespace zurgige
