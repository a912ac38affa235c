#include "zursim/Conversion.h"

#include <cstddef>
#include <span>

#include "zursim/Bayer.h"

namespace zursim {
namespace {

constexpr std::int32_t kMaxConversionSide = 16384;

bool SixteenBitMode(std::int32_t convertMode) {
    return convertMode == 4 || convertMode == 7;
}

}  // namespace

bool ValidConversion(const Conversion& conversion) {
    const std::int32_t mode = conversion.convertMode;
    const bool knownMode = mode == 4 || mode == 5 || mode == 7 || mode == 9 || mode == 11;
    return knownMode && conversion.shiftId >= 0 && conversion.shiftId <= 8;
}

bool ValidConversionSize(std::int32_t width, std::int32_t height) {
    return width > 0 && height > 0 && width <= kMaxConversionSide && height <= kMaxConversionSide;
}

void FillBitmapInfo(std::int32_t width, std::int32_t height, BITMAPINFO& info) {
    info = BITMAPINFO{};
    BITMAPINFOHEADER& header = info.bmiHeader;
    header.biSize = sizeof(BITMAPINFOHEADER);
    header.biWidth = width;
    header.biHeight = height;
    header.biPlanes = 1;
    header.biBitCount = 32;
    header.biCompression = 0;  // BI_RGB
    header.biSizeImage =
        static_cast<std::uint32_t>(width) * static_cast<std::uint32_t>(height) * 4u;
}

void Convert(const Conversion& conversion, std::uint32_t filter, std::int32_t width,
             std::int32_t height, const void* source, void* target) {
    const std::size_t pixels = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    const bool wide = SixteenBitMode(conversion.convertMode);
    DemosaicRaw(filter, static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height), wide,
                static_cast<std::uint32_t>(conversion.shiftId),
                std::span<const std::uint8_t>(static_cast<const std::uint8_t*>(source),
                                              pixels * (wide ? 2 : 1)),
                std::span<std::uint8_t>(static_cast<std::uint8_t*>(target), pixels * 4));
}

}  // namespace zursim
