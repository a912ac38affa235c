#include "PixelFormat.h"

#include <array>

namespace zurgige {
namespace {

// The ColorIDs the simulated library reports: 0 for monochrome, 9 for 8-bit
// raw Bayer and 5 for raw Bayer in 16-bit words.
constexpr std::uint32_t kColorIdMono = 0;
constexpr std::uint32_t kColorIdBayer8 = 9;
constexpr std::uint32_t kColorIdBayer16 = 5;

struct Entry {
    std::uint32_t code;
    bool bayer;
    std::uint32_t filter;
    std::uint32_t depth;
};

// PFNC codes: Mono8 .. Mono16, then per depth the four Bayer orders.
constexpr std::array kFormats = {
    Entry{0x01080001u, false, 0, 8},
    Entry{0x01100003u, false, 0, 10},
    Entry{0x01100005u, false, 0, 12},
    Entry{0x01100025u, false, 0, 14},
    Entry{0x01100007u, false, 0, 16},
    // BayerRG, BayerGB, BayerGR, BayerBG in filter-code order.
    Entry{0x01080009u, true, 0, 8},
    Entry{0x0108000Au, true, 1, 8},
    Entry{0x01080008u, true, 2, 8},
    Entry{0x0108000Bu, true, 3, 8},
    Entry{0x0110000Du, true, 0, 10},
    Entry{0x0110000Eu, true, 1, 10},
    Entry{0x0110000Cu, true, 2, 10},
    Entry{0x0110000Fu, true, 3, 10},
    Entry{0x01100011u, true, 0, 12},
    Entry{0x01100012u, true, 1, 12},
    Entry{0x01100010u, true, 2, 12},
    Entry{0x01100013u, true, 3, 12},
    Entry{0x0110002Fu, true, 0, 16},
    Entry{0x01100030u, true, 1, 16},
    Entry{0x0110002Eu, true, 2, 16},
    Entry{0x01100031u, true, 3, 16},
};

}  // namespace

std::optional<PixelFormatInfo> DescribePixelFormat(std::uint32_t code) {
    for (const Entry& entry : kFormats) {
        if (entry.code == code) {
            PixelFormatInfo info;
            info.code = code;
            info.bayer = entry.bayer;
            info.filter = entry.filter;
            info.depth = entry.depth;
            info.bytesPerSample = entry.depth > 8 ? 2u : 1u;
            info.colorId =
                !entry.bayer ? kColorIdMono : (entry.depth > 8 ? kColorIdBayer16 : kColorIdBayer8);
            return info;
        }
    }
    return std::nullopt;
}

std::optional<std::uint32_t> BayerFormat(std::uint32_t filter, std::uint32_t depth) {
    for (const Entry& entry : kFormats) {
        if (entry.bayer && entry.filter == filter && entry.depth == depth) {
            return entry.code;
        }
    }
    return std::nullopt;
}

}  // namespace zurgige
