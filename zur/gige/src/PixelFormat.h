#pragma once

// The GenICam pixel formats (PFNC codes) that the driver can take, and what
// ZUR reports for them: the same ColorID, data depth and colour filter code
// that the simulated library reports for the same kind of data, so that the
// driver converts the images of both alike.

#include <cstdint>
#include <optional>

namespace zurgige {

struct PixelFormatInfo {
    std::uint32_t code = 0;     // PFNC value of the PixelFormat feature
    bool bayer = false;         // raw colour data
    std::uint32_t filter = 0;   // Bayer order: 0 RGGB, 1 GBRG, 2 GRBG, 3 BGGR; 0 for mono
    std::uint32_t depth = 8;    // significant bits per sample
    std::uint32_t colorId = 0;  // 0 monochrome, 9 8-bit Bayer, 5 wider Bayer
    std::uint32_t bytesPerSample = 1;
};

// Monochrome and Bayer formats of 8 to 16 bits, one sample per byte or per
// little-endian 16-bit word; packed formats and RGB are not among them.
std::optional<PixelFormatInfo> DescribePixelFormat(std::uint32_t code);

// The Bayer format of the given order and depth, if there is one.
std::optional<std::uint32_t> BayerFormat(std::uint32_t filter, std::uint32_t depth);

}  // namespace zurgige
