#pragma once

// Bayer colour filter arrays: which colour a sensor pixel sees, and the
// reconstruction of full colour from a mosaic (bilinear interpolation).

#include <cstdint>
#include <span>

namespace zursim {

enum class Channel { Red, Green, Blue };

// Filter codes as the camera-mode record carries them.
inline constexpr std::uint32_t kFilterRGGB = 0;
inline constexpr std::uint32_t kFilterGBRG = 1;
inline constexpr std::uint32_t kFilterGRBG = 2;
inline constexpr std::uint32_t kFilterBGGR = 3;

// The colour of pixel (x, y) under the filter; the pattern repeats every 2 x 2
// pixels and its name reads the top-left 2 x 2 block line by line.
// filter must be 0 to 3.
Channel ChannelAt(std::uint32_t filter, std::uint32_t x, std::uint32_t y);

// Reconstructs width x height pixels from the mosaic (one 8-bit sample per
// pixel, lines top first) into 4 bytes per pixel: blue, green, red, 255.
// Missing colours are the mean of the nearest samples of that colour; at the
// image border the lines and columns are mirrored, which keeps the filter
// phase, so a uniform field comes out uniform up to the border.
// mosaic.size() >= width * height, target.size() >= width * height * 4.
void Demosaic(std::uint32_t filter, std::uint32_t width, std::uint32_t height,
              std::span<const std::uint8_t> mosaic, std::span<std::uint8_t> target);

// The instruction sets Demosaic chooses from at run time, the best it finds;
// every one gives the same pixels. For tests and the benchmark.
enum class Vectors { None, Sse2, Avx2 };
bool DemosaicRuns(Vectors vectors);
// Demosaic with the given set, or the best one where this processor lacks it.
void DemosaicUsing(Vectors vectors, std::uint32_t filter, std::uint32_t width, std::uint32_t height,
                   std::span<const std::uint8_t> mosaic, std::span<std::uint8_t> target);

// Demosaic of a raw image as a camera delivers it: one byte per sample, or
// (wide) two little-endian bytes per sample, shifted right by `shift` (0 to
// 8) and clamped to 255. raw.size() >= width * height * (wide ? 2 : 1),
// target.size() >= width * height * 4.
void DemosaicRaw(std::uint32_t filter, std::uint32_t width, std::uint32_t height, bool wide,
                 std::uint32_t shift, std::span<const std::uint8_t> raw,
                 std::span<std::uint8_t> target);

}  // namespace zursim
