#pragma once

// ZUR's colour conversion, the same in every ZUR library of ours: which
// convert modes it takes and how it turns a raw Bayer image into 4 bytes per
// pixel, so that the same raw frame gives the same pixels whatever delivered
// it.

#include <cstdint>

#include "ZUR.h"

namespace zursim {

struct Conversion {
    std::int32_t convertMode = 0;
    std::int32_t shiftId = 0;
};

// Convert modes 4 and 7 read 16-bit samples shifted right by shiftId (0 to
// 8) and clamped to 255; 5, 9 and 11 read 8-bit samples.
bool ValidConversion(const Conversion& conversion);
bool ValidConversionSize(std::int32_t width, std::int32_t height);
// The bitmap of the conversion's output: width x height, 32 bits per pixel.
void FillBitmapInfo(std::int32_t width, std::int32_t height, BITMAPINFO& info);
// Demosaics width x height samples of source (filter 0 to 3, a size that
// ValidConversionSize accepts) into blue, green, red, 255 per pixel.
void Convert(const Conversion& conversion, std::uint32_t filter, std::int32_t width,
             std::int32_t height, const void* source, void* target);

}  // namespace zursim
